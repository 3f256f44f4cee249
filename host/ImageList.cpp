#include "host/ImageList.h"

#include "host/Module.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

/// Reads one line's integer fields; false when a field is missing or not a whole number.
bool ReadInts(std::istringstream& in, int* values, int n) {
    for (int i = 0; i < n; ++i) {
        std::string word;
        if (!(in >> word))
            return false;
        char* end = nullptr;
        const long v = std::strtol(word.c_str(), &end, 10);
        if (*end != 0 || v < -1000000 || v > 1000000)
            return false;
        values[i] = static_cast<int>(v);
    }
    return true;
}

/// Reads "#RRGGBB" as an opaque 0xAARRGGBB pixel.
bool ReadColour(std::istringstream& in, std::uint32_t& pixel) {
    std::string word;
    if (!(in >> word) || word.size() != 7 || word[0] != '#')
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(word.c_str() + 1, &end, 16);
    if (*end != 0)
        return false;
    pixel = 0xFF000000u | static_cast<std::uint32_t>(v);
    return true;
}

/// Parses one non-comment line into `out`; an empty string means success.
std::string ParseBitmapLine(const std::string& line, std::vector<std::pair<int, HostBitmap>>& out) {
    std::istringstream in(line);
    std::string keyword;
    in >> keyword;
    std::uint32_t colour = 0;
    std::string rest;
    if (keyword == "bitmap") {
        int v[3];
        if (!ReadInts(in, v, 3) || !ReadColour(in, colour))
            return "expected: bitmap ID WIDTH HEIGHT #RRGGBB";
        if (v[0] <= 0 || v[1] <= 0 || v[2] <= 0 || v[1] > 4096 || v[2] > 4096)
            return "bitmap id and size must be positive (size at most 4096)";
        for (const auto& entry : out) {
            if (entry.first == v[0])
                return "bitmap " + std::to_string(v[0]) + " is defined twice";
        }
        HostBitmap bitmap;
        bitmap.width = v[1];
        bitmap.height = v[2];
        bitmap.pixels.assign(static_cast<size_t>(v[1]) * static_cast<size_t>(v[2]), colour);
        out.emplace_back(v[0], std::move(bitmap));
    } else if (keyword == "rect") {
        int v[4];
        if (!ReadInts(in, v, 4) || !ReadColour(in, colour))
            return "expected: rect X Y W H #RRGGBB";
        if (out.empty())
            return "rect outside a bitmap";
        HostBitmap& bitmap = out.back().second;
        if (v[0] < 0 || v[1] < 0 || v[2] <= 0 || v[3] <= 0 || v[0] + v[2] > bitmap.width ||
            v[1] + v[3] > bitmap.height)
            return "rect does not lie inside its bitmap";
        for (int y = v[1]; y < v[1] + v[3]; ++y) {
            for (int x = v[0]; x < v[0] + v[2]; ++x)
                bitmap.pixels[static_cast<size_t>(y) * static_cast<size_t>(bitmap.width) +
                              static_cast<size_t>(x)] = colour;
        }
    } else {
        return "unknown keyword '" + keyword + "'";
    }
    if (in >> rest)
        return "unexpected '" + rest + "' at the end of the line";
    return {};
}

} // namespace

bool ParseBitmapResources(const std::string& text, const std::string& sourceName,
                          std::vector<std::pair<int, HostBitmap>>& out, std::string* error) {
    std::vector<std::pair<int, HostBitmap>> parsed;
    std::istringstream lines(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(lines, line)) {
        ++lineNo;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const std::string why = ParseBitmapLine(line, parsed);
        if (!why.empty()) {
            if (error)
                *error = sourceName + ":" + std::to_string(lineNo) + ": " + why;
            return false;
        }
    }
    out = std::move(parsed);
    return true;
}

bool AddBitmapResources(HINSTANCE instance, const std::string& text, const std::string& sourceName,
                        std::string* error) {
    std::vector<std::pair<int, HostBitmap>> parsed;
    if (!instance) {
        if (error)
            *error = sourceName + ": no module to add bitmaps to";
        return false;
    }
    if (!ParseBitmapResources(text, sourceName, parsed, error))
        return false;
    for (auto& entry : parsed)
        instance->bitmaps[entry.first] = std::move(entry.second);
    return true;
}

HBITMAP LoadBitmap(HINSTANCE instance, int id) {
    if (!instance)
        return nullptr;
    auto it = instance->bitmaps.find(id);
    return it == instance->bitmaps.end() ? nullptr : new HostBitmap(it->second);
}

BOOL DeleteObject(HBITMAP bitmap) {
    if (!bitmap)
        return FALSE;
    delete bitmap;
    return TRUE;
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
    (void)grow;
    if (cx <= 0 || cy <= 0)
        return nullptr;
    auto* list = new HostImageList;
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    list->images.reserve(static_cast<size_t>(std::max(initial, 0)));
    return list;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
    if (!list || !image || image->height != list->cy || image->width % list->cx != 0 ||
        image->width == 0)
        return -1;
    if (mask && (mask->width != image->width || mask->height != image->height))
        return -1;
    const int first = static_cast<int>(list->images.size());
    for (int left = 0; left < image->width; left += list->cx) {
        HostBitmap cut;
        cut.width = list->cx;
        cut.height = list->cy;
        cut.pixels.reserve(static_cast<size_t>(list->cx) * static_cast<size_t>(list->cy));
        for (int y = 0; y < list->cy; ++y) {
            for (int x = left; x < left + list->cx; ++x) {
                std::uint32_t pixel = image->At(x, y);
                // A white mask pixel marks a transparent one, as in a monochrome mask.
                if (mask && (list->flags & ILC_MASK) &&
                    (mask->At(x, y) & 0x00FFFFFFu) == 0x00FFFFFFu)
                    pixel &= 0x00FFFFFFu;
                cut.pixels.push_back(pixel);
            }
        }
        list->images.push_back(std::move(cut));
    }
    return first;
}

int ImageList_GetImageCount(HIMAGELIST list) {
    return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL ImageList_Destroy(HIMAGELIST list) {
    if (!list)
        return FALSE;
    delete list;
    return TRUE;
}
