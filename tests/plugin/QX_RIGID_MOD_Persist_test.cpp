// Simulation results saved with the scene and played back after loading without simulating.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/SceneIO.h"
#include "tests/plugin/QX_Plugin_Test_Support.h"

namespace {

namespace P = QX_RigidParam;
using QX_Plugin_Test::PluginTest;

class QX_RIGID_MOD_Persist : public PluginTest {};

TEST_F(QX_RIGID_MOD_Persist, ResultsReloadAndPlayBackWithoutSimulating) {
    // Two boxes, one landing on the other's corner so that it tumbles.
    INode* lower = BoxNode(20.0f, Point3(0, 0, 0));
    INode* upper = BoxNode(10.0f, Point3(9, 7, 40));
    upper->SetNodeTM(0, RotateXMatrix(0.3f) * TransMatrix(Point3(9, 7, 40)));
    QX_RIGID_MOD* a = Rigid(lower);
    QX_RIGID_MOD* b = Rigid(upper);
    a->refTarg_ParamBlock->SetValue(P::RigidType, 0, 0);
    lower->EvalWorldState(0);
    upper->EvalWorldState(0);
    Quarix::QX_BT_World world;
    Quarix::Fixtures::ConfigureWorld(world, 2, 1470.0f, true);
    constexpr int kFrames = 30;
    QX_Plugin_Test::SimulateThroughModifiers(world, {a, b}, 0, kFrames);
    a->UpdatePlaybackEnd(true);
    b->UpdatePlaybackEnd(true);

    auto eval = [&](INode* n, TimeValue t) { return Evaluated(n, t); };
    std::vector<std::vector<Point3>> before;
    for (int f = 0; f <= kFrames; ++f)
        before.push_back(eval(upper, f * GetTicksPerFrame())->verts);
    ASSERT_NE(before.front(), before.back());
    const auto tracksBefore = b->GetCore().bodies.front()->track;
    const auto intsBefore = b->GetCore().intSettings.entries();
    const auto floatsBefore = b->GetCore().floatSettings.entries();

    std::vector<BYTE> saved;
    INode* loaded = SaveAndReload(upper->GetName(), saved);
    ASSERT_NE(loaded, nullptr);
    QX_RIGID_MOD* mod = QX_RIGID_MOD::FindRigidModifier(loaded);
    ASSERT_NE(mod, nullptr);
    EXPECT_TRUE(mod->LoadRefusal().empty()) << mod->LoadRefusal();
    Quarix::QX_BT_MeshController& core = mod->GetCore();
    // Every setting as it was, none marked changed.
    ASSERT_EQ(core.intSettings.entries().size(), intsBefore.size());
    for (const auto& [key, entry] : core.intSettings.entries()) {
        EXPECT_EQ(entry.value, intsBefore.at(key).value) << key;
        EXPECT_EQ(entry.changed, 0) << key;
    }
    for (const auto& [key, entry] : core.floatSettings.entries()) {
        EXPECT_EQ(entry.value, floatsBefore.at(key).value) << key;
        EXPECT_EQ(entry.changed, 0) << key;
    }
    // Saving the loaded, never re-simulated scene writes the same bytes.
    std::vector<BYTE> again;
    std::string error;
    ASSERT_TRUE(SaveScene(Host(), again, &error)) << error;
    EXPECT_EQ(again, saved);

    for (int f = 0; f <= kFrames; ++f) {
        const Mesh* mesh = eval(loaded, f * GetTicksPerFrame());
        ASSERT_NE(mesh, nullptr);
        ASSERT_EQ(mesh->verts.size(), before[size_t(f)].size());
        // Loaded results are taken back out of the node's scale part once more, which may move
        // a vertex by rounding; the recorded transforms themselves are compared bit for bit below.
        for (size_t v = 0; v < mesh->verts.size(); ++v) {
            const Point3 d = mesh->verts[v] - before[size_t(f)][v];
            EXPECT_LT(d.Length(), 1e-4f) << "frame " << f << " vertex " << v;
        }
    }
    core.restorePending();
    ASSERT_EQ(core.bodies.size(), 1u);
    EXPECT_EQ(core.bodies.front()->track.size(), tracksBefore.size());
    EXPECT_TRUE(
        std::equal(tracksBefore.begin(), tracksBefore.end(), core.bodies.front()->track.begin()));
    EXPECT_FALSE(core.bodies.front()->needsRecord);
    EXPECT_FALSE(core.bodies.front()->supported);
}

} // namespace

namespace {

// The helper half of the fresh-process test: loads the scene file named by QX_CHILD_SCENE, plays
// node QX_CHILD_NODE back frame by frame and writes every vertex's bits to QX_CHILD_OUT. Skipped
// when run by itself.
TEST_F(QX_RIGID_MOD_Persist, ChildProcessPlaysBackASceneFile) {
    const char* scene = std::getenv("QX_CHILD_SCENE");
    const char* out = std::getenv("QX_CHILD_OUT");
    const char* name = std::getenv("QX_CHILD_NODE");
    if (!scene || !out || !name)
        GTEST_SKIP() << "runs only as the child of ResultsPlayBackIdenticallyInAFreshProcess";
    std::string error;
    ASSERT_TRUE(LoadSceneFile(Host(), scene, &error)) << error;
    INode* node = Host().GetINodeByName(FromUtf8(name).c_str());
    ASSERT_NE(node, nullptr);
    std::FILE* file = std::fopen(out, "wb");
    ASSERT_NE(file, nullptr);
    for (int f = 0; f <= 30; ++f) {
        const Mesh* mesh = Evaluated(node, f * GetTicksPerFrame());
        ASSERT_NE(mesh, nullptr);
        std::fwrite(mesh->verts.data(), sizeof(Point3), mesh->verts.size(), file);
    }
    std::fclose(file);
}

TEST_F(QX_RIGID_MOD_Persist, ResultsPlayBackIdenticallyInAFreshProcess) {
    INode* node = BoxNode(10.0f, Point3(0, 0, 20));
    node->SetNodeTM(0, RotateYMatrix(0.5f) * TransMatrix(Point3(0, 0, 20)));
    QX_RIGID_MOD* mod = Rigid(node);
    node->EvalWorldState(0);
    Quarix::QX_BT_World world;
    Quarix::Fixtures::ConfigureWorld(world, 2, 1470.0f, true);
    QX_Plugin_Test::SimulateThroughModifiers(world, {mod}, 0, 30);
    mod->UpdatePlaybackEnd(true);

    const std::string dir = ::testing::TempDir();
    const std::string scene = dir + "qx_rigid_fresh_process.qxs";
    const std::string out = dir + "qx_rigid_fresh_process.bin";
    std::string error;
    ASSERT_TRUE(SaveSceneFile(Host(), scene, &error)) << error;
    const std::string name = ToUtf8(node->GetName());

    // This process's own playback of the loaded file is the reference.
    Host().ResetScene();
    ASSERT_TRUE(LoadSceneFile(Host(), scene, &error)) << error;
    INode* loaded = Host().GetINodeByName(FromUtf8(name).c_str());
    ASSERT_NE(loaded, nullptr);
    std::vector<Point3> expected;
    for (int f = 0; f <= 30; ++f) {
        const Mesh* mesh = Evaluated(loaded, f * GetTicksPerFrame());
        ASSERT_NE(mesh, nullptr);
        expected.insert(expected.end(), mesh->verts.begin(), mesh->verts.end());
    }

    std::remove(out.c_str());
    const std::string command = "QX_CHILD_SCENE='" + scene + "' QX_CHILD_OUT='" + out +
                                "' QX_CHILD_NODE='" + name + "' /proc/" + std::to_string(getpid()) +
                                "/exe --gtest_filter=QX_RIGID_MOD_Persist."
                                "ChildProcessPlaysBackASceneFile > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::FILE* file = std::fopen(out.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<Point3> got(expected.size() + 1);
    const size_t read = std::fread(got.data(), sizeof(Point3), got.size(), file);
    std::fclose(file);
    ASSERT_EQ(read, expected.size());
    EXPECT_EQ(std::memcmp(got.data(), expected.data(), expected.size() * sizeof(Point3)), 0);
    std::remove(out.c_str());
    std::remove(scene.c_str());
}

} // namespace
