// A box handed from the rigid modifier to the world core the way the driver does it: settings
// pushed, the node evaluated, then frames simulated. The box must get a body and fall.

#include "tests/plugin/world/QX_World_Test_Support.h"

#include "modifier/QX_RIGID_MOD.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "tests/fixtures/QX_Test_Units.h"

namespace QX_World_Test {
namespace {

// Sizes in centimetres: a brick, and boxes of one and of an eighth of a cubic centimetre, which
// a world simulating in metres must not take for degenerate.
TEST_F(WorldTest, BoxThroughTheRigidModifierFalls) {
    for (const float size : {20.0f, 1.0f, 0.5f}) {
        Host().ResetScene();
        Host().SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
        INode* node = BoxNode(size, Point3(0.0f, 0.0f, 100.0f));
        QX_RIGID_MOD* mod = Rigid(node);
        ASSERT_NE(mod, nullptr);
        mod->PushSettingsToCore(0);
        ASSERT_NE(Evaluated(node, 0), nullptr);

        QX_BT_World world;
        Fixtures::ConfigureHostWorld(world, Fixtures::Centimetres());
        QX_BT_MeshController& core = mod->GetCore();
        std::vector<QX_BT_MeshController*> objects{&core};
        // Like the driver, which clears the world's change marks after every tick: a mark left
        // set would start the run over at every frame.
        Fixtures::Simulate(world, objects, 10);

        EXPECT_EQ(core.elementShapes.size(), 1u) << size;
        ASSERT_EQ(core.bodyShapes.size(), 1u) << size;
        ASSERT_EQ(core.bodies.size(), 1u) << size;
        const auto& track = core.bodies.front()->track;
        ASSERT_GE(track.size(), 10u) << size;
        // Ten frames are a quarter of a simulated second (40 frames per second) of free fall at
        // 14.7 m/s^2, in metres since a new centimetre world simulates in metres: about 0.46 m
        // (stepping adds a little). The ground at z = 0 is a metre below.
        const float seconds = float(track.size() - 1) / float(kFramesPerSimulatedSecond);
        const float expected = 0.5f * 14.7f * seconds * seconds;
        const float drop =
            track.begin()->second.transform[3][2] - std::prev(track.end())->second.transform[3][2];
        EXPECT_NEAR(drop, expected, 0.05f * expected) << size;
    }
}

} // namespace
} // namespace QX_World_Test
