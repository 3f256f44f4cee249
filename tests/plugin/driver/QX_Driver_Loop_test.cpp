// A wall hit by a ball, run through the host's message loop, against the same frames driven
// directly: the loop, the time slider and the host's re-evaluation between frames must not change
// a single recorded value.

#include "tests/fixtures/driver/QX_Driver_Scene.h"
#include "tests/plugin/driver/QX_Driver_Test_Support.h"

#include <cstring>

namespace QX_Driver_Test {
namespace {

class DriverLoopTest : public DriverTest {};

TEST_F(DriverLoopTest, RangeThroughTheLoopMatchesDirectFramesBitForBit) {
    constexpr int kFrames = 40;
    Fixtures::QX_Wall_Scene looped = Fixtures::BuildWallScene(6, 4, kFrames);
    StartSimulation(looped.world, StartRequest::Range);
    EXPECT_EQ(RunSimulationLoop(1000), kFrames + 1);
    const std::vector<float> throughLoop = Fixtures::RecordedStates(looped);

    Fixtures::QX_Wall_Scene direct = Fixtures::BuildWallScene(6, 4, kFrames);
    Fixtures::SimulateDirectly(direct, 0, kFrames);
    const std::vector<float> directly = Fixtures::RecordedStates(direct);

    ASSERT_FALSE(throughLoop.empty());
    ASSERT_EQ(throughLoop.size(), directly.size());
    EXPECT_EQ(std::memcmp(throughLoop.data(), directly.data(), throughLoop.size() * sizeof(float)),
              0);

    // The ball went through: some brick left its place by more than 5 scene units (tracks are in
    // simulation units: metres in a new centimetre world).
    const float scale = direct.world->Core().floatSettings.get(WorldKey::ScaleFactor);
    float moved = 0.0f;
    for (INode* brick : direct.bricks) {
        const auto& bodies = QX_RIGID_MOD::FindRigidModifier(brick)->GetCore().bodies;
        for (const auto& body : bodies) {
            const glm::vec3 p((body->track.end() - 1)->second.transform[3]);
            moved = std::max(moved, glm::length(p));
        }
    }
    EXPECT_GT(moved, 5.0f * scale);
}

} // namespace
} // namespace QX_Driver_Test
