#pragma once
// Shared set-up of the plug-in tests: an empty scene per test, the rigid modifier's class
// registered in-process, and small scene builders.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/QX_BT_World.h"
#include "host/Interface.h"
#include "host/Primitives.h"
#include "host/SceneIO.h"
#include "modifier/QX_RIGID_MOD.h"
#include "plugin/QX_Resources.h"
#include "tests/fixtures/QX_Test_Scene.h"

namespace QX_Plugin_Test {

/// Registers the rigid modifier's descriptor and the module strings once per process.
inline void RegisterPluginClasses() {
    static bool done = false;
    if (done)
        return;
    done = true;
    Interface* ip = GetCOREInterface();
    HostModule* module = ip->GetModules().CreateInProcessModule("Quarix_Rigid (in process)");
    QX_AttachModuleInstance(module);
    std::string error;
    ASSERT_TRUE(ip->GetClassDirectory().Register(GetQXRigidModDesc(), &error)) << error;
}

/// Starts and ends every test with an empty scene in centimetres at 30 frames per second.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterPluginClasses();
        Host().ResetScene();
        Host().SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
    }
    void TearDown() override { Host().ResetScene(); }
    Interface& Host() { return *GetCOREInterface(); }

    /// A node carrying a box of the given size, its pivot placed at `position`.
    INode* BoxNode(float size, const Point3& position = Point3()) {
        INode* node = Host().CreateObjectNode(new BoxObject(size, size, size));
        node->SetNodeTM(0, TransMatrix(position));
        return node;
    }
    /// Puts a rigid modifier on the node and returns it.
    QX_RIGID_MOD* Rigid(INode* node) {
        EXPECT_TRUE(QX_RIGID_MOD::AttachRigidModifier(node));
        return QX_RIGID_MOD::FindRigidModifier(node);
    }
    /// Saves the scene, empties it and loads the saved bytes (left in `saved`) back; returns the
    /// node named `name` in the loaded scene, null when it is missing.
    INode* SaveAndReload(const MSTR& name, std::vector<BYTE>& saved) {
        std::string error;
        EXPECT_TRUE(SaveScene(Host(), saved, &error)) << error;
        Host().ResetScene();
        EXPECT_TRUE(LoadScene(Host(), saved, &error)) << error;
        return Host().GetINodeByName(name.c_str());
    }
    /// The triangle mesh a node evaluates to at t (null when it is not a triangle object).
    const Mesh* Evaluated(INode* node, TimeValue t) {
        Object* obj = node->EvalWorldState(t).obj;
        return obj && obj->IsSubClassOf(triObjectClassID) ? &static_cast<TriObject*>(obj)->mesh
                                                          : nullptr;
    }
};

// Pushes the settings and simulates frames [first, last) of the given modifiers' cores, holding
// the cores for each call as the world does.
inline void SimulateThroughModifiers(Quarix::QX_BT_World& world,
                                     const std::vector<QX_RIGID_MOD*>& mods, int first, int last) {
    for (int f = first; f < last; ++f) {
        std::vector<std::shared_ptr<Quarix::QX_BT_MeshController>> held;
        std::vector<Quarix::QX_BT_MeshController*> cores;
        for (QX_RIGID_MOD* mod : mods) {
            mod->PushSettingsToCore(0);
            held.push_back(mod->ShareCore());
            cores.push_back(held.back().get());
        }
        world.HasChanges(cores);
        Quarix::Fixtures::SimulateFrames(world, cores, f, f + 1);
        for (auto& core : held) {
            core->intSettings.clearChanged();
            core->floatSettings.clearChanged();
        }
    }
}

} // namespace QX_Plugin_Test
