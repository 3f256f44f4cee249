// The module file as the host sees it: entry points, class descriptors and a modifier made
// through the class registry.

#include <dlfcn.h>

#include <gtest/gtest.h>

#include "host/Interface.h"
#include "host/Modifier.h"
#include "host/Primitives.h"

namespace {

constexpr Class_ID kRigidModClassID(0x14EF7D31, 0x0D274686);
constexpr Class_ID kWorldClassID(0x986DF9B4, 0x792CE6D7);

using LibDescriptionFn = const MCHAR* (*)();
using LibClassDescFn = ClassDesc* (*)(int);

HostModule* LoadPlugin() {
    static HostModule* module = nullptr;
    if (!module) {
        std::string error;
        module = GetCOREInterface()->GetModules().Load(QX_PLUGIN_MODULE_PATH, &error);
        EXPECT_NE(module, nullptr) << error;
    }
    return module;
}

TEST(QX_Module, EntryPointsBeforeAndAfterTheHostAttachesTheModule) {
    // Opened behind the host's back, the module has no instance yet: no description.
    void* raw = dlopen(QX_PLUGIN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(raw, nullptr) << dlerror();
    auto description = reinterpret_cast<LibDescriptionFn>(dlsym(raw, "LibDescription"));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description(), nullptr);

    HostModule* module = LoadPlugin();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->description, MSTR(_T("Quarix Bullet Physic World")));
    ASSERT_EQ(module->classes.size(), 2u);
    EXPECT_EQ(module->classes[0]->ClassID(), kWorldClassID);
    EXPECT_EQ(module->classes[0]->SuperClassID(), GEOMOBJECT_CLASS_ID);
    EXPECT_EQ(module->classes[1]->ClassID(), kRigidModClassID);
    EXPECT_EQ(module->classes[1]->SuperClassID(), OSM_CLASS_ID);
    EXPECT_EQ(MSTR(module->classes[1]->ClassName()), MSTR(_T("Quarix Rigid")));
    EXPECT_EQ(MSTR(module->classes[1]->Category()), MSTR(_T("MAX ADDITIONAL")));
    EXPECT_EQ(MSTR(module->classes[1]->InternalName()), MSTR(_T("Quarix_Rigid_Mod")));
    EXPECT_EQ(module->classes[1]->HInstance(), module);

    auto classDesc = reinterpret_cast<LibClassDescFn>(dlsym(module->handle, "LibClassDesc"));
    ASSERT_NE(classDesc, nullptr);
    EXPECT_EQ(classDesc(2), nullptr);
    EXPECT_EQ(classDesc(-1), nullptr);
    dlclose(raw);
}

TEST(QX_Module, ModifierMadeThroughTheRegistryEvaluatesABox) {
    ASSERT_NE(LoadPlugin(), nullptr);
    Interface* ip = GetCOREInterface();
    ip->ResetScene();
    auto* mod = static_cast<Modifier*>(
        static_cast<Animatable*>(ip->CreateInstance(OSM_CLASS_ID, kRigidModClassID)));
    ASSERT_NE(mod, nullptr);
    IParamBlock2* pb = mod->GetParamBlockByID(0);
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->NumParams(), 78);
    EXPECT_EQ(pb->GetInt(pb->FindParamByName(_T("Rigid Type"))), 1);

    auto* box = new BoxObject(10.0f, 10.0f, 10.0f);
    INode* node = ip->CreateObjectNode(box);
    IDerivedObject* derived = CreateDerivedObject();
    box->TransferReferences(derived);
    derived->ReferenceObject(box);
    derived->AddModifier(mod);
    Object* out = node->EvalWorldState(0).obj;
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->IsSubClassOf(triObjectClassID));
    const Mesh& mesh = static_cast<TriObject*>(out)->mesh;
    box->UpdateMesh(0);
    EXPECT_EQ(mesh.getNumVerts(), box->mesh.getNumVerts());
    EXPECT_EQ(mesh.getNumFaces(), box->mesh.getNumFaces());
    // Valid for the evaluated instant only.
    EXPECT_EQ(out->ChannelValidity(0, GEOM_CHAN_NUM), Interval(0, 0));
    ip->ResetScene();
}

} // namespace
