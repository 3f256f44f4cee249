#pragma once
// The module's button images: image lists made from the module's bitmap resources on first use
// and kept for the module's life, and the look of the rollouts' image buttons (on/off images and
// list tool icons).

#include "host/CustomControls.h"
#include "host/Dialog.h"

/// A custom button of a rollout, released when the holder goes. Empty when the window has no such
/// control or it is not a custom button.
class QX_Custom_Button {
public:
    QX_Custom_Button(HWND window, int id);
    QX_Custom_Button(const QX_Custom_Button&) = delete;
    QX_Custom_Button& operator=(const QX_Custom_Button&) = delete;
    ~QX_Custom_Button();
    ICustButton* operator->() const { return m_button; }
    ICustButton& operator*() const { return *m_button; }
    explicit operator bool() const { return m_button != nullptr; }

private:
    ICustButton* m_button = nullptr;
};

/// Whether custom button `id` of `window` is pressed in; `otherwise` when there is no such button.
bool QX_IsButtonChecked(HWND window, int id, bool otherwise);

/// Image indices of the on/off image lists.
namespace QX_OnOff_Image {
inline constexpr int Off = 0;
inline constexpr int On = 1;
inline constexpr int Disabled = 2;
} // namespace QX_OnOff_Image

/// Size of an on/off image, pixels.
inline constexpr int kOnOffImageWidth = 54;
inline constexpr int kOnOffImageHeight = 16;

/// The module-wide image list made from bitmap resources `imageId` and `maskId` of the module
/// (cells of width x height pixels, 32-bit colour with mask). Made on the first call for that pair
/// and owned by the module: it lives until the module unloads, so buttons of every rollout may
/// keep showing it. Null when the module has no such bitmap (the buttons then keep their text).
HIMAGELIST QX_ModuleImageList(int imageId, int maskId, int width, int height);

/// The on/off image a check button shows: Disabled when it is disabled (whatever its state), else
/// On when it is pressed in, else Off.
int QX_OnOffImageIndex(ICustButton& button);

/// Shows image `index` of `list` (cells width x height) in all four states of the custom button
/// `id` of `window`, and sets its highlight colour. Nothing happens when `window` has no such
/// control or it is not a custom button. Returns whether the button was found.
bool QX_SetButtonImage(HWND window, int id, HIMAGELIST list, int index, int width, int height,
                       COLORREF highlight);

/// Sets the on/off image of check button `id` of `window` from `list` (QX_OnOffImageIndex) and
/// its highlight colour. Returns whether the button was found.
bool QX_SetOnOffButtonImage(HWND window, int id, HIMAGELIST list, COLORREF highlight);
