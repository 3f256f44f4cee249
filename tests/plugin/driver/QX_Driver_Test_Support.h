#pragma once
// Scenes for the driver and node-list tests: a world with its node, boxes on its ground, and the
// rollout windows the lists and mode buttons talk to.

#include "tests/plugin/QX_Plugin_Test_Support.h"

#include "host/Window.h"
#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"
#include "world/QX_BULLET_OBJ_Params.h"
#include "world/QX_Node_Lists.h"
#include "world/QX_Simulation_Driver.h"

namespace QX_Driver_Test {

using namespace Quarix;

/// Plug-in tests with the world's class registered too.
class DriverTest : public QX_Plugin_Test::PluginTest {
protected:
    void SetUp() override {
        QX_Plugin_Test::PluginTest::SetUp();
        static bool registered = false;
        if (!registered) {
            registered = true;
            std::string error;
            ASSERT_TRUE(Host().GetClassDirectory().Register(GetQX_BULLET_OBJ_Desc(), &error))
                << error;
        }
    }
    void TearDown() override {
        StopSimulation();
        QX_Plugin_Test::PluginTest::TearDown();
        EXPECT_EQ(DriverState().world, nullptr); // a reset always lets go of the world
    }

    /// A new world object on its own node at the origin; frames start..end.
    QX_BULLET_OBJ* MakeWorld(int start = 0, int end = 100) {
        auto* world = static_cast<QX_BULLET_OBJ*>(GetQX_BULLET_OBJ_Desc()->Create());
        worldNode = Host().CreateObjectNode(world);
        world->Params()->SetValue(WorldParam::EndFrame, 0, end);
        world->Params()->SetValue(WorldParam::StartFrame, 0, start);
        world->mainRolloutWindow = &mainRollout;
        return world;
    }
    /// Appends nodes to the world's simulation list (they get the rigid modifier).
    void Simulate(QX_BULLET_OBJ* world, std::vector<INode*> nodes) {
        for (INode* node : nodes) {
            Rigid(node);
            world->Params()->Append(WorldParam::NodesList, 1, &node);
        }
    }
    /// A falling box of 20 units, its lowest face `height` above the ground.
    INode* FallingBox(float x, float height) { return BoxNode(20.0f, Point3(x, 0.0f, height)); }
    int Frame() const { return DriverState().frame; }
    int SliderFrame() { return Host().GetTime() / GetTicksPerFrame(); }
    /// Frames recorded for the node's first body (0 before any body exists).
    size_t Recorded(INode* node) {
        const auto& bodies = QX_RIGID_MOD::FindRigidModifier(node)->GetCore().bodies;
        return bodies.empty() ? 0 : bodies.front()->track.size();
    }

    INode* worldNode = nullptr;
    HostWindow mainRollout;
    HostWindow listRollout;
};

} // namespace QX_Driver_Test
