#pragma once
// The module's resources: its instance handle and its string table, loaded from the text under
// resources/ that is compiled into the module.

#include "host/Win32.h"

#include <string>
#include <vector>

/// Stores the module instance and registers the module's string table, dialog templates and
/// bitmaps with the host. Called by DllMain on process attach (tests that link the plug-in into
/// their own process call it with an in-process module record). Null detaches: strings are then
/// no longer found. False, with `error` naming the resource file and line, when a template or
/// bitmap text is malformed (the module is then refused).
bool QX_AttachModuleInstance(HINSTANCE instance, std::string* error = nullptr);

/// The module instance stored at attach, or null before.
HINSTANCE QX_ModuleInstance();

/// String `id` of the module's string table, loaded into the module's one shared buffer of 256
/// wide characters: the result stays valid until the next call. Null before the module instance
/// is stored and for an id without text.
const MCHAR* QX_GetString(int id);

/// The string table compiled into the module: (id, UTF-8 text) pairs in file order. Lines that
/// are not "id<TAB>text" with a positive id are skipped.
struct QX_String_Entry {
    int id;
    std::string text;
};
std::vector<QX_String_Entry> QX_ParseStringTable(const std::string& source);
