#include "plugin/QX_Resources.h"

#include "host/DialogTemplate.h"
#include "host/ImageList.h"

#include <cstdlib>

// The texts of resources/QX_Strings.txt, QX_Dialogs.txt and QX_Bitmaps.txt, generated into the
// build tree.
extern const char* const kQXStringTableSource;
extern const char* const kQXDialogsSource;
extern const char* const kQXBitmapsSource;

namespace {

// Module-wide resource state: the instance handle stored at attach and the one shared buffer
// strings are loaded into.
HINSTANCE g_instance = nullptr;
MCHAR g_stringBuffer[256];

std::string Unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 't')) {
            out += text[i + 1] == 'n' ? '\n' : '\t';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::vector<QX_String_Entry> QX_ParseStringTable(const std::string& source) {
    std::vector<QX_String_Entry> entries;
    size_t pos = 0;
    while (pos < source.size()) {
        size_t end = source.find('\n', pos);
        if (end == std::string::npos)
            end = source.size();
        std::string line = source.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos || tab == 0)
            continue;
        char* stop = nullptr;
        const long id = std::strtol(line.c_str(), &stop, 10);
        if (stop != line.c_str() + tab || id <= 0 || id > 0x7FFFFFFF)
            continue;
        entries.push_back({static_cast<int>(id), Unescape(line.substr(tab + 1))});
    }
    return entries;
}

bool QX_AttachModuleInstance(HINSTANCE instance, std::string* error) {
    g_instance = instance;
    if (!instance)
        return true;
    for (const QX_String_Entry& entry : QX_ParseStringTable(kQXStringTableSource))
        SetStringResource(instance, static_cast<UINT>(entry.id), FromUtf8(entry.text).c_str());
    return AddDialogResources(instance, kQXDialogsSource, "resources/QX_Dialogs.txt", error) &&
           AddBitmapResources(instance, kQXBitmapsSource, "resources/QX_Bitmaps.txt", error);
}

HINSTANCE QX_ModuleInstance() {
    return g_instance;
}

const MCHAR* QX_GetString(int id) {
    if (!g_instance || id <= 0)
        return nullptr;
    const int n = LoadString(g_instance, static_cast<UINT>(id), g_stringBuffer,
                             static_cast<int>(sizeof(g_stringBuffer) / sizeof(MCHAR)));
    return n > 0 ? g_stringBuffer : nullptr;
}
