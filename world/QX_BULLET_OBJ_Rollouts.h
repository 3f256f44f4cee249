#pragma once
// The world's rollouts beyond their automatic bindings: the simulation buttons of "World", the
// list editing of "Simulation Objects" and "Supporting Objects", and the on/off images of
// "Ground :" and "Bad Mesh :". One user procedure per map, attached by the world's
// BeginEditParams and freed by the host when the rollouts close.

#include "host/CustomControls.h"
#include "host/Dialog.h"
#include "world/QX_Node_Lists.h"

#include <vector>

namespace Quarix {

class QX_BULLET_OBJ;

/// Control ids of the world's rollouts that the procedures act on.
namespace WorldControl {
inline constexpr int Ground = 1057;
inline constexpr int Range = 1005;
inline constexpr int Extend = 1059;
inline constexpr int Loop = 1026;
inline constexpr int Quiet = 1028;
inline constexpr int Relax = 1023;
inline constexpr int Restart = 2152;
inline constexpr int Erase = 2163;
inline constexpr int Reset = 2110;
inline constexpr int Slider = 1058;
inline constexpr int BadMesh = 2188;
} // namespace WorldControl

/// Highlight colour of the world's image buttons.
inline constexpr COLORREF kWorldButtonHighlight = RGB(255, 100, 0);

/// The world's on/off images (54 x 16: 0 off, 1 on, 2 disabled), made from bitmaps 2078 and 2079
/// on first use and owned by the module for its life. Null without the bitmaps.
HIMAGELIST WorldOnOffImages();
/// The list tool images (25 x 25: 0 "Pick", 1 "All", 2 "Invert", 3 "Add..", 4 "Remove"), made
/// from bitmaps 2034 and 2035 on first use and owned by the module for its life.
HIMAGELIST ListToolImages();

/// Shows the on/off image of check button `id` of `window`: 2 when the button is disabled, else 1
/// when it is pressed in, else 0; sets the highlight colour. No such custom button: nothing.
void SetOnOffImage(HWND window, int id);

/// What a mode button of "World" starts: its switch parameter and start request.
struct QX_Mode_Button {
    int control;   ///< the check button
    ParamID param; ///< the switch it is bound to
    int request;   ///< StartRequest::*
};
/// The five mode buttons in the order the others are cleared: "Extend", "Range", "Loop", "Quiet",
/// "Relax".
const std::vector<QX_Mode_Button>& ModeButtons();

/// "World": stores its window in the world on every message, keeps the ground button's image,
/// starts and stops the driver from the mode buttons and resets the results.
class QX_BULLET_OBJ_World_DlgProc final : public ParamMap2UserDlgProc {
public:
    /// `world` must outlive the procedure (the rollout closes before the world goes).
    explicit QX_BULLET_OBJ_World_DlgProc(QX_BULLET_OBJ* world) : m_world(world) {}
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
    void DeleteThis() override { delete this; }

private:
    void OnModeButton(HWND hWnd, const QX_Mode_Button& button, UINT code);
    QX_BULLET_OBJ* m_world;
};

/// "Simulation Objects" and "Supporting Objects": the list box and its five tool buttons.
class QX_BULLET_OBJ_List_DlgProc final : public ParamMap2UserDlgProc {
public:
    QX_BULLET_OBJ_List_DlgProc(QX_BULLET_OBJ* world, QX_Node_List which)
        : m_world(world), m_which(which) {}
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
    void DeleteThis() override { delete this; }

private:
    void OnCommand(HWND hWnd, int id, UINT code);
    QX_BULLET_OBJ* m_world;
    QX_Node_List m_which;
};

/// "Global Advanced": the image of "Bad Mesh :".
class QX_BULLET_OBJ_Advanced_DlgProc final : public ParamMap2UserDlgProc {
public:
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
    void DeleteThis() override { delete this; }
};

/// The tool buttons of a list rollout: "Pick", "All", "Invert", "Add..", "Remove" (in the order of
/// their images).
struct QX_List_Tools {
    int pick, all, invert, add, remove;
};
/// The tool buttons of `which`.
const QX_List_Tools& ListTools(QX_Node_List which);

} // namespace Quarix
