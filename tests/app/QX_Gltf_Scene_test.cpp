#include "app/QX_Gltf_Scene.h"

#include <tiny_gltf.h>

#include <cstdlib>

#include "app/QX_Mesh_Sources.h"
#include "app/QX_Session.h"
#include "host/IQXBodyPlayback.h"
#include "host/Modifier.h"
#include "host/Primitives.h"
#include "tests/app/QX_App_Test_Support.h"

namespace Quarix::App {
namespace {

using namespace Testing;

/// A simulated object as the exporter sees it: body 0 lives through frames 0..9 moving 1 unit
/// along x per frame; body 1 is born at frame 5 (a demolition piece) and lives to the end.
class FakeRigid : public Modifier, public IQXBodyPlayback {
public:
    float shift = 0.0f;

    Class_ID ClassID() override { return Class_ID(0x51A7E0F0, 1); }
    ChannelMask ChannelsUsed() override { return GEOM_CHANNEL; }
    ChannelMask ChannelsChanged() override { return GEOM_CHANNEL; }
    Class_ID InputType() override { return triObjectClassID; }
    void ModifyObject(TimeValue, ModContext&, ObjectState*, INode*) override {}
    void* GetInterface(ULONG id) override {
        return id == I_QX_BODY_PLAYBACK ? static_cast<IQXBodyPlayback*>(this)
                                        : Modifier::GetInterface(id);
    }

    int BodyCount() override { return 2; }
    int RecordedFrameCount() override { return 10; }
    int FirstFrame() override { return 0; }
    bool GetBodyMesh(int i, Mesh& mesh) override {
        if (i < 0 || i > 1)
            return false;
        mesh = Mesh();
        AppendBoxElement(mesh, Point3(), Point3(10, 10, 10));
        return true;
    }
    bool GetBodyTM(int i, float frame, Matrix3& tm) override {
        float birth, death;
        if (!GetBodyLife(i, birth, death) || frame < birth || frame >= death)
            return false;
        tm = Matrix3();
        tm.SetTrans(Point3(frame + shift, float(i) * 100.0f, 5.0f));
        return true;
    }
    bool GetBodyLife(int i, float& birth, float& death) override {
        if (i < 0 || i > 1)
            return false;
        birth = i == 0 ? 0.0f : 5.0f;
        death = 10.0f;
        return true;
    }
};

/// A scene of a simulated object (two bodies) and a static box, in centimetres.
FakeRigid* BuildScene(Interface& ip) {
    ip.ResetScene();
    ip.SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
    TriObject* tri = CreateNewTriObject();
    AppendBoxElement(tri->GetMesh(), Point3(), Point3(10, 10, 10));
    IDerivedObject* derived = CreateDerivedObject(tri);
    auto* rigid = new FakeRigid();
    derived->AddModifier(rigid);
    ip.CreateObjectNode(derived)->SetName(_T("Rigid"));
    INode* box = ip.CreateObjectNode(new BoxObject(100, 100, 20));
    box->SetName(_T("Floor"));
    box->SetWireColor(RGB(255, 0, 0));
    return rigid;
}

const tinygltf::Node* FindNode(const tinygltf::Model& model, const std::string& name) {
    for (const tinygltf::Node& n : model.nodes)
        if (n.name == name)
            return &n;
    return nullptr;
}

/// Float element `i` (of `width` floats) of an accessor.
std::vector<float> Element(const tinygltf::Model& model, int accessor, size_t i, size_t width) {
    const tinygltf::Accessor& a = model.accessors[size_t(accessor)];
    const tinygltf::BufferView& v = model.bufferViews[size_t(a.bufferView)];
    const auto* f =
        reinterpret_cast<const float*>(model.buffers[0].data.data() + v.byteOffset + a.byteOffset);
    return std::vector<float>(f + i * width, f + (i + 1) * width);
}

TEST(QX_Gltf_Scene, BodiesBecomeAnimatedNodesInMetresHiddenOutsideTheirLife) {
    Interface& ip = *GetCOREInterface();
    BuildScene(ip);
    const std::string path = TempPath("bodies.glb");
    std::string error;
    SceneExportStats stats;
    ASSERT_TRUE(ExportSceneGltf(ip, {0, 9, {}}, path, error, &stats)) << error;
    EXPECT_EQ(stats.meshNodes, 3);
    EXPECT_EQ(stats.bodies, 2);
    EXPECT_EQ(stats.animated, 2); // the floor does not move

    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string warn;
    ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warn, path)) << error;
    // Z-up under a Y-up root.
    ASSERT_EQ(model.scenes[0].nodes.size(), 1u);
    const tinygltf::Node& root = model.nodes[size_t(model.scenes[0].nodes[0])];
    ASSERT_EQ(root.rotation.size(), 4u);
    EXPECT_NEAR(root.rotation[0], -0.70710678, 1e-6);
    EXPECT_EQ(root.children.size(), 3u);

    const tinygltf::Node* born = FindNode(model, "Rigid_1");
    ASSERT_NE(born, nullptr);
    EXPECT_EQ(born->scale, (std::vector<double>{0, 0, 0})); // not yet born at frame 0
    // Channels of the born body: translation at frame 9 is (9 cm, 1 m, 5 cm) in metres; scale
    // switches on at frame 5.
    const int index = int(born - model.nodes.data());
    ASSERT_EQ(model.animations.size(), 1u);
    int checked = 0;
    for (const tinygltf::AnimationChannel& c : model.animations[0].channels) {
        if (c.target_node != index)
            continue;
        const tinygltf::AnimationSampler& s = model.animations[0].samplers[size_t(c.sampler)];
        if (c.target_path == "translation") {
            const std::vector<float> t = Element(model, s.output, 9, 3);
            EXPECT_FLOAT_EQ(t[0], 0.09f);
            EXPECT_FLOAT_EQ(t[1], 1.0f);
            EXPECT_FLOAT_EQ(t[2], 0.05f);
            // Before birth the piece waits hidden where it will appear.
            EXPECT_FLOAT_EQ(Element(model, s.output, 0, 3)[0], 0.05f);
            ++checked;
        } else if (c.target_path == "scale") {
            EXPECT_EQ(s.interpolation, "STEP");
            EXPECT_FLOAT_EQ(Element(model, s.output, 4, 3)[0], 0.0f);
            EXPECT_FLOAT_EQ(Element(model, s.output, 5, 3)[0], 1.0f);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2);
    // The time input runs in seconds at the scene's frame rate.
    const tinygltf::AnimationSampler& s0 = model.animations[0].samplers[0];
    EXPECT_FLOAT_EQ(Element(model, s0.input, 9, 1)[0], 9.0f / 30.0f);
    // Materials from wire colours: pure red stays red in linear space.
    bool red = false;
    for (const tinygltf::Material& m : model.materials)
        red |= m.pbrMetallicRoughness.baseColorFactor == std::vector<double>{1, 0, 0, 1};
    EXPECT_TRUE(red);
    // Box faces keep their own normals: 6 sides x 4 corners.
    const tinygltf::Node* floor = FindNode(model, "Floor");
    ASSERT_NE(floor, nullptr);
    const tinygltf::Primitive& prim = model.meshes[size_t(floor->mesh)].primitives[0];
    EXPECT_EQ(model.accessors[size_t(prim.attributes.at("POSITION"))].count, 24u);
    EXPECT_DOUBLE_EQ(model.accessors[size_t(prim.attributes.at("POSITION"))].maxValues[0], 0.5);
    std::remove(path.c_str());
}

// Baked pieces are ordinary nodes with transform keys and a visibility track.
TEST(QX_Gltf_Scene, KeyedNodesCarryTheirMotionAndVisibility) {
    Interface& ip = *GetCOREInterface();
    ip.ResetScene();
    ip.SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
    INode* piece = ip.CreateObjectNode(new BoxObject(10, 10, 10));
    piece->SetName(_T("Piece"));
    const int tpf = GetTicksPerFrame();
    auto* prs = static_cast<PRSController*>(piece->GetTMController());
    prs->SetPositionKey(0, Point3(0, 0, 0));
    prs->SetPositionKey(4 * tpf, Point3(400, 0, 0));
    auto* vis = new FloatController();
    IBezFloatKey key;
    SetOutTanType(key.flags, BEZKEY_STEP);
    key.time = 0;
    key.val = 0.0f;
    vis->AppendKey(&key);
    key.time = 2 * tpf;
    key.val = 1.0f;
    vis->AppendKey(&key);
    piece->SetVisController(vis);

    const std::string path = TempPath("keyed.glb");
    std::string error;
    ASSERT_TRUE(ExportSceneGltf(ip, {0, 4, {}}, path, error)) << error;
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string warn;
    ASSERT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warn, path)) << error;
    const int index = int(FindNode(model, "Piece") - model.nodes.data());
    int checked = 0;
    for (const tinygltf::AnimationChannel& c : model.animations.at(0).channels) {
        const tinygltf::AnimationSampler& s = model.animations[0].samplers[size_t(c.sampler)];
        if (c.target_node == index && c.target_path == "translation") {
            EXPECT_FLOAT_EQ(Element(model, s.output, 2, 3)[0], 2.0f); // 200 cm at frame 2
            ++checked;
        } else if (c.target_node == index && c.target_path == "scale") {
            EXPECT_FLOAT_EQ(Element(model, s.output, 1, 3)[0], 0.0f); // hidden until frame 2
            EXPECT_FLOAT_EQ(Element(model, s.output, 2, 3)[0], 1.0f);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2);
    std::remove(path.c_str());
}

TEST(QX_Gltf_Scene, OutputPassesKhronosValidator) {
    Interface& ip = *GetCOREInterface();
    BuildScene(ip);
    const std::string path = TempPath("validate.glb");
    std::string error;
    ASSERT_TRUE(ExportSceneGltf(ip, {0, 9, {}}, path, error)) << error;
    const std::string command = std::string(QX_SOURCE_DIR) + "/scripts/gltf-validate " + path +
                                " > " + TempPath("validate.txt") + " 2>&1";
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "gltf-validator is not installed (scripts/setup installs it)";
    std::ifstream report(TempPath("validate.txt"));
    const std::string text((std::istreambuf_iterator<char>(report)), {});
    EXPECT_EQ(status, 0) << text;
    EXPECT_NE(text.find("0 errors"), std::string::npos) << text;
    std::remove(path.c_str());
}

TEST(QX_Gltf_Scene, RefusesAnUnwritablePathAndKeepsNoPartialFile) {
    Interface& ip = *GetCOREInterface();
    BuildScene(ip);
    std::string error;
    const std::string path = "/nonexistent-folder/out.glb";
    EXPECT_FALSE(ExportSceneGltf(ip, {0, 9, {}}, path, error));
    EXPECT_NE(error.find(path), std::string::npos);
}

TEST(QX_Session, RecordHashFollowsEveryBodyStateBitForBit) {
    Interface& ip = *GetCOREInterface();
    FakeRigid* rigid = BuildScene(ip);
    const RecordSummary a = SummarizeRecords(ip);
    EXPECT_EQ(a.simulatedObjects, 1);
    EXPECT_EQ(a.bodies, 2);
    EXPECT_EQ(a.bodiesAliveAtEnd, 2);
    EXPECT_EQ(a.recordedFrames, 10);
    EXPECT_EQ(SummarizeRecords(ip).hash, a.hash);
    rigid->shift = 1e-6f; // one ulp-sized move somewhere changes the hash
    EXPECT_NE(SummarizeRecords(ip).hash, a.hash);
    EXPECT_EQ(CountBodiesAlive(ip, 4), 1);
    EXPECT_EQ(CountBodiesAlive(ip, 5), 2);
}

} // namespace
} // namespace Quarix::App
