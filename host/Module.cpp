#include "host/Module.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

using LibVersionFn = ULONG (*)();
using LibNumberClassesFn = int (*)();
using LibClassDescFn = ClassDesc* (*)(int);
using LibDescriptionFn = const MCHAR* (*)();
using DllMainFn = BOOL (*)(HINSTANCE, DWORD, void*);

// A module declaring more classes than this is not taken at its word.
constexpr int kMaxClassesPerModule = 4096;

template <class Fn>
Fn Symbol(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

std::string Hex(ULONG v) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(v));
    return text;
}

} // namespace

const MSTR* HostModule::FindString(UINT id) const {
    auto it = strings.find(id);
    return it == strings.end() ? nullptr : &it->second;
}

HostModule* ModuleRegistry::Load(const std::string& path, std::string* error) {
    auto refuse = [&](const std::string& why) -> HostModule* {
        if (error)
            *error = "module " + path + ": " + why;
        return nullptr;
    };
    if (std::filesystem::path(path).extension() != ".dlm")
        return refuse("not a module file (the extension must be .dlm)");
    std::error_code ec;
    std::string canonical = std::filesystem::weakly_canonical(path, ec).string();
    for (const auto& m : m_modules) {
        if (!m->path.empty() && m->path == canonical)
            return refuse("already loaded");
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        return refuse(std::string("cannot be loaded: ") + (why ? why : "unknown error"));
    }
    auto version = Symbol<LibVersionFn>(handle, "LibVersion");
    auto numClasses = Symbol<LibNumberClassesFn>(handle, "LibNumberClasses");
    auto classDesc = Symbol<LibClassDescFn>(handle, "LibClassDesc");
    auto description = Symbol<LibDescriptionFn>(handle, "LibDescription");
    auto dllMain = Symbol<DllMainFn>(handle, "DllMain");
    const char* missing = !version       ? "LibVersion"
                          : !numClasses  ? "LibNumberClasses"
                          : !classDesc   ? "LibClassDesc"
                          : !description ? "LibDescription"
                                         : nullptr;
    if (missing) {
        dlclose(handle);
        return refuse(std::string("missing entry point ") + missing);
    }

    auto module = std::make_unique<HostModule>();
    module->path = canonical;
    module->handle = handle;
    auto drop = [&](const std::string& why) -> HostModule* {
        if (dllMain)
            dllMain(module.get(), DLL_PROCESS_DETACH, nullptr);
        dlclose(handle);
        return refuse(why);
    };
    if (dllMain && !dllMain(module.get(), DLL_PROCESS_ATTACH, nullptr))
        return drop("DllMain refused to attach");
    const ULONG got = version();
    if (got != HOST_API_VERSION)
        return drop("LibVersion " + Hex(got) + " does not match the host's " +
                    Hex(HOST_API_VERSION));
    const int n = numClasses();
    if (n < 0 || n > kMaxClassesPerModule)
        return drop("LibNumberClasses answered " + std::to_string(n));
    std::vector<ClassDesc*> classes;
    for (int i = 0; i < n; ++i) {
        ClassDesc* cd = classDesc(i);
        if (!cd)
            return drop("LibClassDesc(" + std::to_string(i) + ") returned no descriptor");
        classes.push_back(cd);
    }
    for (size_t i = 0; i < classes.size(); ++i) {
        std::string why;
        if (!m_directory.Register(classes[i], &why)) {
            for (size_t k = 0; k < i; ++k)
                m_directory.Unregister(classes[k]);
            return drop("class " + std::to_string(i) + ": " + why);
        }
    }
    const MCHAR* text = description();
    module->description = text ? text : _T("");
    module->classes = std::move(classes);
    m_modules.push_back(std::move(module));
    return m_modules.back().get();
}

int ModuleRegistry::LoadFolder(const std::string& folder, std::vector<std::string>* errors) {
    std::error_code ec;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.is_regular_file() && entry.path().extension() == ".dlm")
            files.push_back(entry.path().string());
    }
    if (ec && errors)
        errors->push_back("module folder " + folder + ": " + ec.message());
    std::sort(files.begin(), files.end());
    int loaded = 0;
    for (const std::string& file : files) {
        std::string why;
        if (Load(file, &why))
            ++loaded;
        else if (errors)
            errors->push_back(why);
    }
    return loaded;
}

HostModule* ModuleRegistry::CreateInProcessModule(const std::string& name) {
    auto module = std::make_unique<HostModule>();
    module->description = FromUtf8(name);
    m_modules.push_back(std::move(module));
    return m_modules.back().get();
}

namespace MaxSDK::Util {
void UseLanguagePackLocale(HINSTANCE) {}
} // namespace MaxSDK::Util
