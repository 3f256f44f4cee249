#include "app/QX_Demo_Scene.h"

#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix::App {

namespace {

/// Brick size (metres): long side along x, thin along y, courses along z.
constexpr glm::vec3 kBrickHalf{0.3f, 0.15f, 0.15f};
/// Gap left between neighbouring bricks so that hulls do not start interpenetrating.
constexpr float kMortarGap = 0.004f;
/// Ball radius and where it starts, in front of the wall.
constexpr float kBallRadius = 0.6f;
constexpr glm::vec3 kBallStart{0.0f, -6.0f, 1.2f};
/// Node travel during frame 0; with "Start Impulse Factor" 1 the ball leaves at 50 x this per
/// second (25 m/s towards the wall).
constexpr glm::vec3 kBallThrow{0.0f, 0.5f, 0.0f};
/// The ball is much denser than the bricks so that it punches through.
constexpr float kBallDensity = 60.0f;

} // namespace

std::vector<QX_BT_MeshController*> Scene::cores() const {
    std::vector<QX_BT_MeshController*> list;
    for (const auto& o : objects)
        list.push_back(o->core.get());
    return list;
}

std::unique_ptr<Scene> MakeDemoScene(int columns, int rows) {
    auto scene = std::make_unique<Scene>();
    QX_BT_World& world = scene->world;
    Fixtures::ConfigureWorld(world, 5, 9.81f, true);
    // One frame is DeltaTime / 40 simulated seconds: match it to the timeline's frame rate.
    world.floatSettings.set(WorldKey::DeltaTime,
                            float(kFramesPerSimulatedSecond) / kSceneFrameRate);

    QX_BT_Mesh_Data wall;
    const float pitchX = 2.0f * kBrickHalf.x + kMortarGap;
    const float pitchZ = 2.0f * kBrickHalf.z + kMortarGap;
    for (int row = 0; row < rows; ++row) {
        // Running bond: every other course has one brick less and is shifted by half a brick, so
        // that every brick rests on two below.
        const float shift = (row % 2 == 0) ? 0.0f : 0.5f * pitchX;
        for (int c = 0; c < columns - row % 2; ++c) {
            const float x = (float(c) - 0.5f * float(columns - 1)) * pitchX + shift;
            const float z = kBrickHalf.z + float(row) * pitchZ;
            Fixtures::AppendElement(wall, Fixtures::MakeBox(glm::vec3(x, 0, z), kBrickHalf));
        }
    }
    auto wallObject = std::make_unique<Fixtures::TestObject>(wall);
    wallObject->core->intSettings.set(ObjectKey::GroupCount, kOneGroupPerElement);
    wallObject->core->intSettings.set(ObjectKey::MeshType, QX_BT_Mesh_Convex);
    scene->objects.push_back(std::move(wallObject));
    scene->names.push_back("wall");

    auto ball = std::make_unique<Fixtures::TestObject>(
        Fixtures::MakeSphere(glm::vec3(0.0f), kBallRadius, 24, 12));
    glm::mat4 start(1.0f);
    start[3] = glm::vec4(kBallStart, 1.0f);
    glm::mat4 thrown = start;
    thrown[3] = glm::vec4(kBallStart + kBallThrow, 1.0f);
    ball->node->keys = {{0.0f, start}, {1.0f, thrown}};
    ball->core->floatSettings.set(ObjectKey::Density, kBallDensity);
    ball->core->intSettings.set(ObjectKey::GroupCount, 1);
    scene->objects.push_back(std::move(ball));
    scene->names.push_back("ball");
    return scene;
}

} // namespace Quarix::App
