#pragma once
// Shared helpers of the application tests: temporary files, the host with the host tests' module
// loaded (a modifier "TestLift" whose block holds every parameter type), and a scene description
// run through the JSON reader.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "app/QX_Scene_Json.h"
#include "host/Interface.h"

namespace Quarix::App::Testing {

/// A file in the temporary folder, private to this process (test runs of other checkouts may
/// share the folder).
inline std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("qx_app_" + std::to_string(getpid()) + "_" + name))
        .string();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

/// The host with the test module loaded once per process.
inline Interface& HostWithTestModule() {
    Interface& ip = *GetCOREInterface();
    static const bool loaded = [&] {
        std::string error;
        const bool ok = ip.GetModules().Load(QX_TEST_MODULE, &error) != nullptr;
        EXPECT_TRUE(ok) << error;
        return ok;
    }();
    (void)loaded;
    return ip;
}

/// Reads `text` as a description named "scene.json" in the temporary folder; the error text,
/// or "" when it loaded.
inline std::string LoadError(Interface& ip, const std::string& text) {
    try {
        LoadJsonSceneText(ip, text, "scene.json", std::filesystem::temp_directory_path().string());
    } catch (const InputError& e) {
        return e.what();
    }
    return "";
}

} // namespace Quarix::App::Testing
