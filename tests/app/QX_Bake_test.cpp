// `quarix run --bake` through the plug-in of this build: the baked nodes must replay what the
// bodies recorded, births and deaths included, and leave the record hash alone.

#include <tiny_gltf.h>

#include <array>
#include <cstdlib>
#include <fstream>

#include "app/QX_Commands.h"
#include "app/QX_Session.h"
#include "host/SceneIO.h"
#include "tests/app/QX_App_Test_Support.h"

namespace Quarix::App {
namespace {

using namespace Testing;

/// A slab dropped onto the ground that breaks into Voronoi fragments where it lands (about
/// frame 11 of 16, still tumbling at the end): one body before, several born after. Its bake range
/// ends with the world's range, as after any run of 100 frames or more: "Explode End" then names
/// the last recorded frame, which a bake leaves out unless it is moved on.
constexpr size_t kEnd = 16;
std::string SlabScene(bool deleteSource) {
    return std::string(R"({"format": "quarix-scene", "units": "cm", "frameRate": 30, "nodes": [
      {"name": "Slab", "mesh": {"primitive": "box", "size": [60, 60, 20]}, "position": [0, 0, 60],
       "modifiers": [{"class": "Quarix_Rigid_Mod", "params": {"Fraction Type": 2,
         "Separate Impulse": 0.05, "#70": true, "Num Fragments": 6, "Density": 2.4,
         "Explode End": 16, "ExplodeDel": )") +
           (deleteSource ? "true" : "false") + R"(}}]},
      {"name": "World", "object": {"class": "QX_Bullet_World",
       "params": {"EndFrame": 16, "NodesList": ["Slab"]}}}]})";
}

/// The mesh nodes of an exported .glb posed frame by frame (the exporter samples every frame).
class GlbPoses {
public:
    explicit GlbPoses(const std::string& path) {
        tinygltf::TinyGLTF loader;
        std::string error, warn;
        loaded = loader.LoadBinaryFromFile(&m_model, &error, &warn, path);
        EXPECT_TRUE(loaded) << path << ": " << error;
    }

    bool loaded = false;

    /// Positions (metres, Z-up) of the visible mesh nodes at sample `k`.
    std::vector<std::array<float, 3>> Visible(size_t k) const {
        std::vector<std::array<float, 3>> out;
        for (size_t n = 0; n < m_model.nodes.size(); ++n) {
            const tinygltf::Node& node = m_model.nodes[n];
            if (node.mesh < 0)
                continue;
            std::array<float, 3> t{}, s{1, 1, 1};
            for (int i = 0; i < 3 && node.translation.size() == 3; ++i)
                t[size_t(i)] = float(node.translation[size_t(i)]);
            for (int i = 0; i < 3 && node.scale.size() == 3; ++i)
                s[size_t(i)] = float(node.scale[size_t(i)]);
            Animated(int(n), "translation", k, t);
            Animated(int(n), "scale", k, s);
            if (s[0] != 0.0f)
                out.push_back(t);
        }
        return out;
    }

    /// Index of the node named `name`, or -1.
    int Find(const std::string& name) const {
        for (size_t n = 0; n < m_model.nodes.size(); ++n)
            if (m_model.nodes[n].name == name)
                return int(n);
        return -1;
    }

    /// Whether node `n` is shown (non-zero scale) at sample k.
    bool Shown(int n, size_t k) const {
        std::array<float, 3> s{1, 1, 1};
        const tinygltf::Node& node = m_model.nodes[size_t(n)];
        if (node.scale.size() == 3)
            s[0] = float(node.scale[0]);
        Animated(n, "scale", k, s);
        return s[0] != 0.0f;
    }

private:
    void Animated(int node, const std::string& path, size_t k, std::array<float, 3>& value) const {
        for (const tinygltf::Animation& a : m_model.animations) {
            for (const tinygltf::AnimationChannel& c : a.channels) {
                if (c.target_node != node || c.target_path != path)
                    continue;
                const tinygltf::Accessor& acc =
                    m_model.accessors[size_t(a.samplers[size_t(c.sampler)].output)];
                const tinygltf::BufferView& view = m_model.bufferViews[size_t(acc.bufferView)];
                const auto* f = reinterpret_cast<const float*>(m_model.buffers[0].data.data() +
                                                               view.byteOffset + acc.byteOffset);
                const size_t i = std::min(k, acc.count - 1);
                value = {f[3 * i], f[3 * i + 1], f[3 * i + 2]};
            }
        }
    }

    tinygltf::Model m_model;
};

/// Every visible node of `a` has one of `b` within 1 mm and the counts agree; a message when not.
std::string SamePoses(const GlbPoses& a, const GlbPoses& b, size_t k) {
    const auto pa = a.Visible(k);
    auto pb = b.Visible(k);
    if (pa.size() != pb.size())
        return "frame " + std::to_string(k) + ": " + std::to_string(pa.size()) + " against " +
               std::to_string(pb.size()) + " visible nodes";
    for (const auto& p : pa) {
        const auto near = std::find_if(pb.begin(), pb.end(), [&](const std::array<float, 3>& q) {
            return std::abs(p[0] - q[0]) < 1e-3f && std::abs(p[1] - q[1]) < 1e-3f &&
                   std::abs(p[2] - q[2]) < 1e-3f;
        });
        if (near == pb.end())
            return "frame " + std::to_string(k) + ": a node at (" + std::to_string(p[0]) + ", " +
                   std::to_string(p[1]) + ", " + std::to_string(p[2]) + ") has no counterpart";
        pb.erase(near);
    }
    return "";
}

class QX_Bake_Run : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("QUARIX_PLUGINS", QX_PLUGIN_DIR, 1); }

    /// Runs the slab scene; the .glb (and, when asked, the saved scene) go to temporary files.
    RunResult Run(bool bake, bool deleteSource, const std::string& tag, bool save = false) {
        const std::string scene = TempPath("slab-" + tag + ".json");
        WriteText(scene, SlabScene(deleteSource));
        RunOptions options;
        options.scene = scene;
        options.bake = bake;
        options.gltfOut = TempPath("slab-" + tag + ".glb");
        if (save)
            options.saveOut = TempPath("slab-" + tag + ".qxs");
        return RunScene(options);
    }
};

TEST_F(QX_Bake_Run, BakedNodesReplayTheBodiesBirthsAndDeathsIncluded) {
    const RunResult bodies = Run(false, false, "bodies");
    const RunResult baked = Run(true, false, "baked", true);
    ASSERT_GT(bodies.records.bodies, 1) << "the slab did not break";
    // The records are hashed as simulated, before the bake.
    EXPECT_EQ(baked.records.hash, bodies.records.hash);
    EXPECT_EQ(baked.baked.objects, 1);
    EXPECT_EQ(baked.baked.nodes, bodies.records.bodies);
    // The kept source is not exported beside its baked nodes.
    EXPECT_EQ(baked.exported.bodies, 0);
    EXPECT_EQ(baked.exported.meshNodes, bodies.exported.meshNodes);

    const GlbPoses a(TempPath("slab-bodies.glb")), b(TempPath("slab-baked.glb"));
    ASSERT_TRUE(a.loaded && b.loaded);
    // The scene has births and deaths to show: one body at first, the fragments at the end.
    ASSERT_EQ(a.Visible(0).size(), 1u);
    ASSERT_GT(a.Visible(kEnd).size(), 1u);
    for (size_t k = 0; k <= kEnd; ++k)
        EXPECT_EQ(SamePoses(a, b, k), "");
    // The whole slab shows until it breaks; its first fragment only from then on.
    const int slab = b.Find("Slab_b_0"), piece = b.Find("Slab_b_1");
    ASSERT_GE(slab, 0);
    ASSERT_GE(piece, 0);
    EXPECT_TRUE(b.Shown(slab, 0) && !b.Shown(slab, kEnd));
    EXPECT_TRUE(!b.Shown(piece, 0) && b.Shown(piece, kEnd));

    // The saved scene holds the keys: it exports the same without simulating.
    Interface& ip = *GetCOREInterface();
    LoadSceneAny(ip, TempPath("slab-baked.qxs"));
    SceneExportOptions options;
    options.lastFrame = int(kEnd);
    options.skip = {ip.GetINodeByName(_T("Slab")), FindNodeOfClass(ip, "QX_Bullet_World")};
    std::string error;
    const std::string reloaded = TempPath("slab-reloaded.glb");
    ASSERT_TRUE(ExportSceneGltf(ip, options, reloaded, error)) << error;
    const GlbPoses c(reloaded);
    for (size_t k = 0; k <= kEnd; ++k)
        EXPECT_EQ(SamePoses(b, c, k), "");

    const std::string report = TempPath("slab-validate.txt");
    const std::string command = std::string(QX_SOURCE_DIR) + "/scripts/gltf-validate " +
                                TempPath("slab-baked.glb") + " > " + report + " 2>&1";
    const int status = std::system(command.c_str());
    if (!(WIFEXITED(status) && WEXITSTATUS(status) == 3)) {
        std::ifstream in(report);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(text.find("0 errors"), std::string::npos) << text;
    }
    for (const char* f :
         {"slab-bodies.glb", "slab-baked.glb", "slab-baked.qxs", "slab-reloaded.glb",
          "slab-validate.txt", "slab-bodies.json", "slab-baked.json"})
        std::remove(TempPath(f).c_str());
}

TEST_F(QX_Bake_Run, DeletingTheSourceLeavesOnlyTheBakedNodes) {
    const RunResult r = Run(true, true, "deleted");
    EXPECT_GT(r.baked.nodes, 1);
    EXPECT_TRUE(r.baked.keptSources.empty());
    EXPECT_NE(r.records.bodies, 0); // hashed before the source went
    Interface& ip = *GetCOREInterface();
    EXPECT_EQ(ip.GetINodeByName(_T("Slab")), nullptr);
    EXPECT_NE(ip.GetINodeByName(_T("Slab_b_0")), nullptr);
    EXPECT_EQ(r.exported.meshNodes, r.baked.nodes);
    EXPECT_EQ(SummarizeRecords(ip).simulatedObjects, 0);
    for (const char* f : {"slab-deleted.glb", "slab-deleted.json"})
        std::remove(TempPath(f).c_str());
}

} // namespace
} // namespace Quarix::App
