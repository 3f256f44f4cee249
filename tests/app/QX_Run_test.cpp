#include "app/QX_Commands.h"

#include <tiny_gltf.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/QX_Session.h"
#include "host/IQXBodyPlayback.h"
#include "host/IQXWorldControl.h"
#include "host/SceneIO.h"
#include "tests/app/QX_App_Test_Support.h"

namespace Quarix::App {
namespace {

using namespace Testing;

/// The --hash of scenes/demo.json (100 frames), built with -ffp-contract=off. A change of the
/// simulation's results changes it: update it only for a change meant to alter results.
constexpr const char* kDemoHash = "f4815f90f74dc277";

std::string Scene(const std::string& name) {
    return std::string(QX_SOURCE_DIR) + "/scenes/" + name;
}

/// Refusal text of RunScene, or "" when it ran.
std::string RunError(const RunOptions& options) {
    try {
        RunScene(options);
    } catch (const InputError& e) {
        return e.what();
    }
    return "";
}

TEST(QX_Run, RefusesUnwritableOutputsBeforeReadingTheScene) {
    RunOptions options;
    options.scene = TempPath("never-read.json");
    options.gltfOut = "/nonexistent-folder/out.glb";
    EXPECT_NE(RunError(options).find("/nonexistent-folder/out.glb"), std::string::npos);
    options.gltfOut.clear();
    options.saveOut = "/nonexistent-folder/out.qxs";
    EXPECT_NE(RunError(options).find("/nonexistent-folder/out.qxs"), std::string::npos);
    options.saveOut.clear();
    EXPECT_NE(RunError(options).find("cannot be opened"), std::string::npos);
    options.mode = "fast";
    EXPECT_NE(RunError(options).find("--mode"), std::string::npos);
}

TEST(QX_Run, DamagedSavedSceneNamesChunkAndOffset) {
    const std::string path = TempPath("damaged.qxs");
    Interface& ip = *GetCOREInterface();
    ip.ResetScene();
    ip.CreateObjectNode(CreateNewTriObject());
    std::string error;
    ASSERT_TRUE(SaveSceneFile(ip, path, &error)) << error;
    // Cut the file in the middle of its chunks.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    try {
        LoadSceneAny(ip, path);
        ADD_FAILURE() << "a truncated scene file was accepted";
    } catch (const InputError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find(path), std::string::npos) << what;
        EXPECT_NE(what.find("offset"), std::string::npos) << what;
        EXPECT_NE(what.find("chunk"), std::string::npos) << what;
    }
    std::remove(path.c_str());
}

/// Tests that run the plug-in module of this build.
class QX_Run_Plugin : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("QUARIX_PLUGINS", QX_PLUGIN_DIR, 1); }
};

TEST_F(QX_Run_Plugin, EveryExampleSceneLoadsWithItsClassesAndParameters) {
    Interface& ip = *GetCOREInterface();
    std::vector<std::string> errors;
    LoadPlugins(ip, PluginFolder(), errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    int scenes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Scene(""))) {
        if (entry.path().extension() != ".json")
            continue;
        ++scenes;
        try {
            LoadSceneAny(ip, entry.path().string());
        } catch (const InputError& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        EXPECT_NE(FindNodeOfClass(ip, "QX_Bullet_World"), nullptr) << entry.path();
    }
    EXPECT_GE(scenes, 6);
}

TEST_F(QX_Run_Plugin, DemoHashRepeatsInOneProcessAfterSavingAndInAnotherProcess) {
    Interface& ip = *GetCOREInterface();
    std::vector<std::string> errors;
    LoadPlugins(ip, PluginFolder(), errors);
    LoadSceneAny(ip, Scene("demo.json"));
    INode* world = FindNodeOfClass(ip, "QX_Bullet_World");
    ASSERT_NE(world, nullptr);
    if (!GetWorldControlInterface(world->GetObjectRef()))
        GTEST_SKIP() << "the world object offers no start requests yet";

    RunOptions options;
    options.scene = Scene("demo.json");
    options.saveOut = TempPath("demo.qxs");
    const RunResult first = RunScene(options);
    if (first.records.bodies == 0)
        GTEST_SKIP() << "the rigid modifier offers no body playback yet";
    EXPECT_EQ(first.frames, 100);
    EXPECT_EQ(first.records.bodies, 196); // 195 bricks and the ball
    EXPECT_EQ(HashText(first.records.hash), kDemoHash);
    // The wall stands on its own until the ball reaches it (about frame 8: the node's 50 cm in
    // frame 0 start it at 25 m/s, 62.5 cm a frame): no 60 cm brick has moved by 2 cm at frame 6.
    IQXBodyPlayback* wall = FindBodyPlayback(*ip.GetINodeByName(_T("Wall")));
    ASSERT_NE(wall, nullptr);
    ASSERT_EQ(wall->BodyCount(), 195);
    for (int i = 0; i < wall->BodyCount(); ++i) {
        Matrix3 at0, at6;
        ASSERT_TRUE(wall->GetBodyTM(i, 0.0f, at0) && wall->GetBodyTM(i, 6.0f, at6));
        EXPECT_LT((at6.GetTrans() - at0.GetTrans()).Length(), 2.0f) << "brick " << i;
    }

    // The same scene again in this process: the body counter starts over with the new scene.
    options.saveOut.clear();
    EXPECT_EQ(RunScene(options).records.hash, first.records.hash);

    // The saved results play back bit for bit without simulating.
    LoadSceneAny(ip, TempPath("demo.qxs"));
    EXPECT_EQ(SummarizeRecords(ip).hash, first.records.hash);

    // Another process.
    const std::string out = TempPath("demo-hash.txt");
    const std::string command = std::string("QUARIX_PLUGINS=") + QX_PLUGIN_DIR + " " +
                                QX_QUARIX_EXE + " run " + Scene("demo.json") + " --hash > " + out +
                                " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    std::string line, hash;
    while (std::getline(in, line))
        if (line.rfind("hash: ", 0) == 0)
            hash = line.substr(6);
    EXPECT_EQ(hash, HashText(first.records.hash));
    std::remove(out.c_str());
    std::remove(TempPath("demo.qxs").c_str());
}

} // namespace
} // namespace Quarix::App

namespace Quarix::App {
namespace {

using namespace Testing;

/// Eight stones held 40 cm over the ground, 20 frames.
constexpr const char* kPile = R"({"format": "quarix-scene", "units": "cm", "nodes": [
  {"name": "Stones", "mesh": {"generator": "grid", "counts": [2, 2, 2], "piece": [20, 20, 15],
   "gap": 6}, "position": [0, 0, 40],
   "modifiers": [{"class": "Quarix_Rigid_Mod", "params": {"Separate": false}}]},
  {"name": "World", "object": {"class": "QX_Bullet_World",
   "params": {"EndFrame": 20, "NodesList": ["Stones"]}}}]})";

// Every mode is started by pressing the world's button, as a user does, and the driver is left
// stopped. Quiet simulates the same frames as Range without moving the time slider.
TEST_F(QX_Run_Plugin, ModeButtonsStartTheRunsAndQuietRecordsWhatRangeRecords) {
    const std::string scene = TempPath("pile-modes.json");
    WriteText(scene, kPile);
    RunOptions options;
    options.scene = scene;
    const RunResult range = RunScene(options);
    EXPECT_TRUE(range.pressedButton);
    EXPECT_EQ(range.records.recordedFrames, 21);
    options.mode = "quiet";
    const RunResult quiet = RunScene(options);
    EXPECT_TRUE(quiet.pressedButton);
    EXPECT_EQ(quiet.records.recordedFrames, 21);
    EXPECT_EQ(quiet.records.hash, range.records.hash);
    options.mode = "relax";
    EXPECT_TRUE(RunScene(options).pressedButton);
    Interface& ip = *GetCOREInterface();
    INode* world = FindNodeOfClass(ip, "QX_Bullet_World");
    ASSERT_NE(world, nullptr);
    IQXWorldControl* control = GetWorldControlInterface(world->GetObjectRef());
    ASSERT_NE(control, nullptr);
    EXPECT_FALSE(control->IsRunning());
    std::remove(scene.c_str());
}

// A relax run records no frames, only each stone's relaxed start: the hash, the saved scene and
// the .glb must still carry the settling.
TEST_F(QX_Run_Plugin, RelaxRunSettlesVisiblyAndHashesTheRelaxedStart) {
    const std::string scene = TempPath("pile.json");
    WriteText(scene, kPile);
    RunOptions options;
    options.scene = scene;
    options.mode = "relax";
    options.gltfOut = TempPath("pile.glb");
    options.saveOut = TempPath("pile.qxs");
    const RunResult first = RunScene(options);
    EXPECT_EQ(first.frames, 20);
    EXPECT_EQ(first.records.bodies, 8);
    EXPECT_EQ(first.records.bodiesAliveAtEnd, 8);
    EXPECT_EQ(first.records.recordedFrames, 0);
    EXPECT_NE(first.records.hash, RecordSummary().hash) << "nothing was hashed";

    // The stones come down from 40 cm (the lowest layer's centre from 47.5 cm to 7.5 cm) over
    // the ticks of the run, which the .glb plays one per frame.
    Interface& ip = *GetCOREInterface();
    IQXBodyPlayback* pile = FindBodyPlayback(*ip.GetINodeByName(_T("Stones")));
    ASSERT_NE(pile, nullptr);
    float lowest = 1e9f;
    for (int i = 0; i < pile->BodyCount(); ++i) {
        Matrix3 tm;
        ASSERT_TRUE(pile->GetBodyTM(i, 0.0f, tm));
        lowest = std::min(lowest, tm.GetTrans().z);
    }
    EXPECT_NEAR(lowest, 7.5f, 1.0f);
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warn;
    ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warn, options.gltfOut)) << error;
    ASSERT_EQ(model.animations.size(), 1u);
    int falling = 0;
    for (const tinygltf::AnimationChannel& c : model.animations[0].channels) {
        if (c.target_path != "translation")
            continue;
        const tinygltf::Accessor& a =
            model.accessors[size_t(model.animations[0].samplers[size_t(c.sampler)].output)];
        const tinygltf::BufferView& v = model.bufferViews[size_t(a.bufferView)];
        const auto* f = reinterpret_cast<const float*>(model.buffers[0].data.data() + v.byteOffset +
                                                       a.byteOffset);
        ASSERT_EQ(a.count, 21u);
        // z of the first sample against the last, in metres.
        falling += f[2] - f[3 * 20 + 2] > 0.3f ? 1 : 0;
    }
    EXPECT_EQ(falling, 8);

    // Again in this process, and from the saved scene without simulating.
    options.gltfOut.clear();
    options.saveOut.clear();
    EXPECT_EQ(RunScene(options).records.hash, first.records.hash);
    LoadSceneAny(ip, TempPath("pile.qxs"));
    EXPECT_EQ(SummarizeRecords(ip).hash, first.records.hash);
    for (const char* f : {"pile.json", "pile.glb", "pile.qxs"})
        std::remove(TempPath(f).c_str());
}

} // namespace
} // namespace Quarix::App
