#include "modifier/QX_Button_Images.h"

#include "plugin/QX_Resources.h"

#include <map>
#include <utility>

namespace {

// The module's image lists by bitmap pair. The holder is a function-local static: it is made on
// first use and destroyed when the module unloads, destroying the lists with it.
class ImageListCache {
public:
    ImageListCache() = default;
    ImageListCache(const ImageListCache&) = delete;
    ImageListCache& operator=(const ImageListCache&) = delete;
    ~ImageListCache() {
        for (auto& entry : m_lists)
            if (entry.second)
                ImageList_Destroy(entry.second);
    }

    HIMAGELIST Get(int imageId, int maskId, int width, int height) {
        const auto key = std::make_pair(imageId, maskId);
        auto found = m_lists.find(key);
        if (found != m_lists.end())
            return found->second;
        HIMAGELIST list = Make(imageId, maskId, width, height);
        // A missing bitmap is not retried: the module's resources do not change while it runs.
        m_lists.emplace(key, list);
        return list;
    }

private:
    static HIMAGELIST Make(int imageId, int maskId, int width, int height) {
        HBITMAP image = LoadBitmap(QX_ModuleInstance(), imageId);
        HBITMAP mask = LoadBitmap(QX_ModuleInstance(), maskId);
        HIMAGELIST list = nullptr;
        if (image) {
            list = ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 5, 0);
            if (list && ImageList_Add(list, image, mask) < 0) {
                ImageList_Destroy(list);
                list = nullptr;
            }
        }
        // The list holds its own copy of the cells: the bitmaps go at once.
        if (image)
            DeleteObject(image);
        if (mask)
            DeleteObject(mask);
        return list;
    }

    std::map<std::pair<int, int>, HIMAGELIST> m_lists;
};

ImageListCache& Cache() {
    static ImageListCache cache;
    return cache;
}

} // namespace

HIMAGELIST QX_ModuleImageList(int imageId, int maskId, int width, int height) {
    return Cache().Get(imageId, maskId, width, height);
}

int QX_OnOffImageIndex(ICustButton& button) {
    if (!button.IsEnabled())
        return QX_OnOff_Image::Disabled;
    return button.IsChecked() ? QX_OnOff_Image::On : QX_OnOff_Image::Off;
}

QX_Custom_Button::QX_Custom_Button(HWND window, int id) {
    HWND control = window ? GetDlgItem(window, id) : nullptr;
    m_button = control ? GetICustButton(control) : nullptr;
}

QX_Custom_Button::~QX_Custom_Button() {
    if (m_button)
        ReleaseICustButton(m_button);
}

bool QX_IsButtonChecked(HWND window, int id, bool otherwise) {
    QX_Custom_Button button(window, id);
    return button ? button->IsChecked() != FALSE : otherwise;
}

bool QX_SetButtonImage(HWND window, int id, HIMAGELIST list, int index, int width, int height,
                       COLORREF highlight) {
    QX_Custom_Button button(window, id);
    if (!button)
        return false;
    if (list)
        button->SetImage(list, index, index, index, index, width, height);
    button->SetHighlightColor(highlight);
    return true;
}

bool QX_SetOnOffButtonImage(HWND window, int id, HIMAGELIST list, COLORREF highlight) {
    QX_Custom_Button button(window, id);
    if (!button)
        return false;
    const int index = QX_OnOffImageIndex(*button);
    if (list)
        button->SetImage(list, index, index, index, index, kOnOffImageWidth, kOnOffImageHeight);
    button->SetHighlightColor(highlight);
    return true;
}
