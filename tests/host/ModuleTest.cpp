#include "tests/host/HostTestSupport.h"

namespace {

class ModuleTest : public HostTest {};

TEST_F(ModuleTest, GoodModuleRegistersItsClassesAndStrings) {
    HostModule* module = GoodTestModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->description, _T("Host test module"));
    ASSERT_EQ(module->classes.size(), 1u);
    ClassDesc* cd = Host().GetClassDirectory().Find(OSM_CLASS_ID, kTestLiftClassID);
    ASSERT_EQ(cd, module->classes[0]);
    EXPECT_EQ(cd->HInstance(), module); // DllMain received the instance
    EXPECT_EQ(Host().GetClassDirectory().FindByName(_T("TestLift")), cd);

    MCHAR buffer[256];
    EXPECT_EQ(LoadString(module, kStringRollout, buffer, 256), 4);
    EXPECT_EQ(MSTR(buffer), _T("Lift"));
    EXPECT_EQ(LoadString(module, 999, buffer, 256), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(LoadString(nullptr, kStringRollout, buffer, 256), 0);
    // A short buffer truncates and stays terminated.
    EXPECT_EQ(LoadString(module, kStringDescription, buffer, 5), 4);
    EXPECT_EQ(MSTR(buffer), _T("Host"));

    Modifier* mod = NewTestLift();
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(mod->ClassID(), kTestLiftClassID);
    EXPECT_NE(mod->GetParamBlock(0), nullptr);
    mod->DeleteMe();
}

TEST_F(ModuleTest, LoadingTheSameFileTwiceIsRefused) {
    GoodTestModule();
    std::string error;
    EXPECT_EQ(Host().GetModules().Load(TestModulePath("good"), &error), nullptr);
    EXPECT_NE(error.find("already loaded"), std::string::npos);
}

TEST_F(ModuleTest, ForeignOrBrokenModulesAreRefusedNamingTheFile) {
    const int before = Host().GetClassDirectory().Count();
    struct Case {
        std::string path;
        const char* expect;
    };
    const Case cases[] = {
        {TestModulePath("bad_version"), "LibVersion 0x59D83901"},
        {TestModulePath("missing_entry"), "missing entry point LibClassDesc"},
        {std::string(QX_TEST_MODULE_DIR) + "/nothing_here.dlm", "cannot be loaded"},
        {std::string(QX_TEST_MODULE_DIR) + "/../CMakeFiles", "not a module file"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Host().GetModules().Load(c.path, &error), nullptr) << c.path;
        EXPECT_NE(error.find(c.expect), std::string::npos) << error;
        EXPECT_NE(error.find("module "), std::string::npos) << error;
    }
    EXPECT_EQ(Host().GetClassDirectory().Count(), before);
}

TEST_F(ModuleTest, FolderLoadReportsEachRefusal) {
    GoodTestModule();
    std::vector<std::string> errors;
    int loaded = Host().GetModules().LoadFolder(QX_TEST_MODULE_DIR, &errors);
    EXPECT_EQ(loaded, 0); // the good one is loaded already
    EXPECT_EQ(errors.size(), 3u);
}

TEST_F(ModuleTest, CreateInstanceOfUnknownClassIsNull) {
    EXPECT_EQ(CreateInstance(OSM_CLASS_ID, Class_ID(1, 1)), nullptr);
    void* box = CreateInstance(GEOMOBJECT_CLASS_ID, boxObjectClassID);
    ASSERT_NE(box, nullptr);
    static_cast<Animatable*>(box)->DeleteThis();
}

} // namespace
