#pragma once
// Module files: shared objects with the extension .dlm that export the four entry points
// LibDescription, LibNumberClasses, LibClassDesc and LibVersion (with C linkage), and optionally
// DllMain, which the host calls with DLL_PROCESS_ATTACH right after loading.

#include "host/ClassDesc2.h"
#include "host/DialogTemplate.h"
#include "host/ImageList.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

/// The host version a module's LibVersion must return: release 23000 in the high 16 bits,
/// interface 57 in bits 8..15, revision 0.
inline constexpr ULONG HOST_API_VERSION = 0x59D83900;

/// Marks a module's entry points for export with C linkage.
#define QX_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

/// A loaded module: its file, string table, dialogs, bitmaps, description and classes. HINSTANCE
/// points at it.
struct HostModule {
    std::string path;
    void* handle = nullptr;
    std::map<UINT, MSTR> strings;
    /// Dialog templates and bitmaps by resource id.
    std::map<int, DialogTemplate> dialogs;
    std::map<int, HostBitmap> bitmaps;
    MSTR description;
    std::vector<ClassDesc*> classes;

    /// String `id` of the module's table, or null.
    const MSTR* FindString(UINT id) const;
};

/// Loads modules and registers their classes in the class directory. Modules stay loaded for the
/// life of the process (their descriptors must outlive every object they created).
class ModuleRegistry {
public:
    explicit ModuleRegistry(ClassDirectory& directory) : m_directory(directory) {}
    ModuleRegistry(const ModuleRegistry&) = delete;
    ModuleRegistry& operator=(const ModuleRegistry&) = delete;

    /// Loads one module file. Refused, with a message naming the file, when it is not a .dlm,
    /// cannot be opened, misses an entry point, answers another LibVersion, fails DllMain, or hands
    /// out a null or already registered class. A refused module registers nothing.
    HostModule* Load(const std::string& path, std::string* error = nullptr);
    /// Loads every .dlm file of a folder in name order; returns the number loaded and appends
    /// one message per refused file to `errors`.
    int LoadFolder(const std::string& folder, std::vector<std::string>* errors = nullptr);
    /// A module record for classes linked into the process (tests, the application's own
    /// classes): strings and classes are added by the caller. Owned by the registry.
    HostModule* CreateInProcessModule(const std::string& name);
    int Count() const { return static_cast<int>(m_modules.size()); }
    HostModule* Get(int i) const { return m_modules[static_cast<size_t>(i)].get(); }

private:
    ClassDirectory& m_directory;
    std::vector<std::unique_ptr<HostModule>> m_modules;
};

namespace MaxSDK::Util {
/// Switches a module's resources to the host's language; the headless host has one language, so
/// this does nothing.
void UseLanguagePackLocale(HINSTANCE instance = nullptr);
} // namespace MaxSDK::Util
