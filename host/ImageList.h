#pragma once
// Bitmaps and image lists: module bitmap resources loaded into memory, cut into equal images
// and combined with their masks, as custom buttons show them.

#include "host/Win32.h"

#include <cstdint>
#include <string>
#include <vector>

/// An image in memory: width x height pixels, rows top to bottom, each pixel 0xAARRGGBB.
struct HostBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

/// Equal-sized images with transparency from their masks.
struct HostImageList {
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    /// Each image cx x cy; a pixel whose mask was white (transparent) has alpha 0.
    std::vector<HostBitmap> images;
};

using HBITMAP = HostBitmap*;
using HIMAGELIST = HostImageList*;
using HGDIOBJ = void*;

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR32 = 0x0020;

/// Resource ids are plain integers here.
constexpr int MAKEINTRESOURCE(int id) {
    return id;
}

/// A copy of bitmap resource `id` of a module, owned by the caller (DeleteObject frees it).
/// Null when the module or the bitmap is missing.
HBITMAP LoadBitmap(HINSTANCE instance, int id);
/// Frees a bitmap from LoadBitmap; FALSE for null.
BOOL DeleteObject(HBITMAP bitmap);

/// A new, empty image list of cx x cy images, owned by the caller (ImageList_Destroy frees it).
/// Null for a size that is not positive.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
/// Cuts `image` into as many cx-wide images as it holds and appends them; where `mask` (same
/// size, may be null) is white the pixels become transparent. Returns the index of the first
/// image added, or -1 when the list or image is null, the image is not cy high or not a whole
/// number of images wide, or the mask's size differs.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_Destroy(HIMAGELIST list);

/// Parses bitmap resources in our text format (see resources/QX_Bitmaps.txt):
///   bitmap ID WIDTH HEIGHT #RRGGBB      starts a bitmap filled with a colour
///   rect X Y W H #RRGGBB                fills a rectangle of the current bitmap
/// Empty lines and lines starting with '#' are comments. Errors name `sourceName` and the line. On
/// failure nothing is returned in `out`.
bool ParseBitmapResources(const std::string& text, const std::string& sourceName,
                          std::vector<std::pair<int, HostBitmap>>& out, std::string* error);
/// Parses and registers bitmap resources with a module; false (and nothing added) on an error.
bool AddBitmapResources(HINSTANCE instance, const std::string& text, const std::string& sourceName,
                        std::string* error);
