#include "app/QX_Gltf_Export.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cstdio>
#include <filesystem>

#include "app/QX_Demo_Scene.h"
#include "app/QX_Run.h"
#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix::App {
namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

// Two boxes falling onto the ground for a few frames.
std::unique_ptr<Scene> SmallScene() {
    auto scene = std::make_unique<Scene>();
    Fixtures::ConfigureWorld(scene->world, 5, 9.81f, true);
    QX_BT_Mesh_Data boxes = Fixtures::MakeBox(glm::vec3(0, 0, 2), glm::vec3(0.5f));
    Fixtures::AppendElement(boxes, Fixtures::MakeBox(glm::vec3(3, 0, 4), glm::vec3(0.5f)));
    scene->objects.push_back(std::make_unique<Fixtures::TestObject>(boxes));
    scene->names.push_back("boxes");
    return scene;
}

TEST(QX_Gltf_Export, WritesOneAnimatedNodePerBodyThatReadsBack) {
    std::unique_ptr<Scene> scene = SmallScene();
    const RunSummary summary = RunScene(*scene, 6);
    EXPECT_EQ(summary.bodiesAlive, 2);
    QX_BT_MeshController& core = *scene->objects[0]->core;

    GltfOptions options;
    options.frames = 6;
    const std::string path = TempPath("qx_gltf_export_test.glb");
    std::string error;
    ASSERT_TRUE(ExportGltf({{&core, "boxes", glm::vec3(0.5f)}}, options, path, error)) << error;

    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string warning;
    ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warning, path)) << error;
    std::remove(path.c_str());

    ASSERT_EQ(model.nodes.size(), 3u); // the Y-up root and one node per body
    EXPECT_EQ(model.nodes[0].children.size(), 2u);
    ASSERT_EQ(model.animations.size(), 1u);
    EXPECT_EQ(model.animations[0].channels.size(), 6u); // translation, rotation, scale each

    // The last translation key is where the body ended, in the scene's Z-up space.
    for (const tinygltf::AnimationChannel& channel : model.animations[0].channels) {
        if (channel.target_path != "translation")
            continue;
        const tinygltf::Accessor& accessor =
            model.accessors[model.animations[0].samplers[channel.sampler].output];
        ASSERT_EQ(accessor.count, 7u);
        const tinygltf::BufferView& view = model.bufferViews[accessor.bufferView];
        const float* keys = reinterpret_cast<const float*>(model.buffers[view.buffer].data.data() +
                                                           view.byteOffset + accessor.byteOffset);
        const int body = channel.target_node - 1;
        const btVector3 origin = core.bodies[size_t(body)]->getWorldTransform().getOrigin();
        EXPECT_NEAR(keys[3 * 6 + 0], origin.x(), 1e-4f);
        EXPECT_NEAR(keys[3 * 6 + 2], origin.z(), 1e-4f);
        EXPECT_LT(keys[3 * 6 + 2], keys[2]); // it fell
    }
}

TEST(QX_Gltf_Export, UnwritablePathFailsWithoutLeavingAFile) {
    std::unique_ptr<Scene> scene = SmallScene();
    RunScene(*scene, 1);
    const std::string path = TempPath("qx_no_such_folder/out.glb");
    std::string error;
    EXPECT_FALSE(
        ExportGltf({{scene->objects[0]->core.get(), "boxes", glm::vec3(1)}}, {}, path, error));
    EXPECT_NE(error.find("out.glb"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(QX_Demo_Scene, WallStandsUntilTheBallArrives) {
    std::unique_ptr<Scene> scene = MakeDemoScene(8, 4);
    RunScene(*scene, 4);
    // Four courses settle by at most their four mortar gaps before the ball gets there.
    for (const auto& brick : scene->objects[0]->core->bodies) {
        const glm::vec3 offset(brick->track.find(4.0f)->second.transform[3]);
        EXPECT_LT(glm::length(offset), 0.02f);
    }
    const QX_BT_Body& ball = *scene->objects[1]->core->bodies.at(0);
    EXPECT_GT(ball.track.find(1.0f)->second.linearVelocity.y, 20.0f); // thrown by its node
}

} // namespace
} // namespace Quarix::App
