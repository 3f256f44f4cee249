#pragma once
// Shared set-up of the plug-in tests: an empty scene per test, the rigid modifier's class
// registered in-process, and small scene builders.

#include <gtest/gtest.h>

#include "host/Interface.h"
#include "host/Primitives.h"
#include "modifier/QX_RIGID_MOD.h"
#include "plugin/QX_Resources.h"

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
    /// The triangle mesh a node evaluates to at t (null when it is not a triangle object).
    const Mesh* Evaluated(INode* node, TimeValue t) {
        Object* obj = node->EvalWorldState(t).obj;
        return obj && obj->IsSubClassOf(triObjectClassID) ? &static_cast<TriObject*>(obj)->mesh
                                                          : nullptr;
    }
};

} // namespace QX_Plugin_Test
