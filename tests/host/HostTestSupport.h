#pragma once
// Shared helpers of the host tests: a fixture that starts every test from an empty scene, and
// access to the test module.

#include "host/Interface.h"
#include "host/Modifier.h"
#include "tests/host/module/TestModule.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <string>

/// Starts and ends every test with an empty scene at default settings.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { GetCOREInterface()->ResetScene(); }
    void TearDown() override { GetCOREInterface()->ResetScene(); }
    Interface& Host() { return *GetCOREInterface(); }
};

inline std::string TestModulePath(const char* variant) {
    return std::string(QX_TEST_MODULE_DIR) + "/HostTest_" + variant + ".dlm";
}

/// The good test module, loaded on first use (modules stay loaded for the process).
inline HostModule* GoodTestModule() {
    ModuleRegistry& modules = GetCOREInterface()->GetModules();
    const std::string path = std::filesystem::weakly_canonical(TestModulePath("good")).string();
    for (int i = 0; i < modules.Count(); ++i) {
        if (modules.Get(i)->path == path)
            return modules.Get(i);
    }
    std::string error;
    HostModule* module = modules.Load(TestModulePath("good"), &error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

/// An entry point of the test module looked up by name.
template <class Fn>
Fn TestModuleFunction(const char* name) {
    HostModule* module = GoodTestModule();
    return module ? reinterpret_cast<Fn>(dlsym(module->handle, name)) : nullptr;
}

/// A new "Test Lift" modifier made through the class registry.
inline Modifier* NewTestLift() {
    GoodTestModule();
    return static_cast<Modifier*>(static_cast<Animatable*>(
        GetCOREInterface()->CreateInstance(OSM_CLASS_ID, kTestLiftClassID)));
}
