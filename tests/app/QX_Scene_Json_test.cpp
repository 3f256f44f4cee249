#include "app/QX_Scene_Json.h"

#include "host/Modifier.h"
#include "host/Primitives.h"
#include "tests/app/QX_App_Test_Support.h"
#include "tests/host/module/TestModule.h"

namespace Quarix::App {
namespace {

using namespace Testing;

/// The first modifier of a node's stack.
Modifier* TopModifier(INode* node) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    if (!obj || obj->SuperClassID() != GEN_DERIVOB_CLASS_ID)
        return nullptr;
    auto* derived = static_cast<IDerivedObject*>(obj);
    return derived->NumModifiers() > 0 ? derived->GetModifier(0) : nullptr;
}

const char* kGoodScene = R"({
  "format": "quarix-scene",
  "units": "m",
  "frameRate": 25,
  "nodes": [
    {"name": "Wall", "mesh": {"generator": "wall", "columns": 3, "rows": 4, "brick": [2, 1, 1],
                              "gap": 0.5},
     "modifiers": [{"class": "TestLift", "params": {
        "Count": 30, "Enabled": false, "Suffix": "_x_", "#3": 2.5,
        "Lift": {"keys": [[0, 1.0], [10, 3.0]]},
        "Nodes": ["Ball", "Wall"]}}]},
    {"name": "Ball", "mesh": {"primitive": "sphere", "radius": 0.5},
     "position": [1, 2, 3], "rotation": [0, 0, 90], "wireColor": [10, 20, 30],
     "keys": [{"frame": 0, "position": [0, 0, 0]}, {"frame": 10, "position": [10, 0, 0]}]}
  ]
})";

TEST(QX_Scene_Json, ReadsSettingsMeshesTransformsKeysAndParametersByName) {
    Interface& ip = HostWithTestModule();
    ASSERT_EQ(LoadError(ip, kGoodScene), "");
    EXPECT_EQ(ip.GetFrameRate(), 25);
    EXPECT_DOUBLE_EQ(ip.GetMasterScale(UNITS_CENTIMETERS), 100.0);

    INode* wall = ip.GetINodeByName(_T("Wall"));
    INode* ball = ip.GetINodeByName(_T("Ball"));
    ASSERT_TRUE(wall && ball);
    // Running bond: 3 + 2 + 3 + 2 bricks of 12 triangles each; the modifier sees them all.
    Object* base = static_cast<IDerivedObject*>(wall->GetObjectRef())->GetObjRef();
    ASSERT_EQ(base->ClassID(), triObjectClassID);
    const Mesh& mesh = static_cast<TriObject*>(base)->GetMesh();
    EXPECT_EQ(mesh.getNumFaces(), 10 * 12);
    const Box3 box = mesh.getBoundingBox();
    EXPECT_FLOAT_EQ(box.pmin.z, 0.0f);
    EXPECT_FLOAT_EQ(box.pmax.z, 4.0f); // courses rest on each other
    EXPECT_FLOAT_EQ(box.pmax.x - box.pmin.x, 3 * 2.0f + 2 * 0.5f);

    Modifier* mod = TopModifier(wall);
    ASSERT_NE(mod, nullptr);
    IParamBlock2* pb = mod->GetParamBlock(0);
    EXPECT_EQ(pb->GetInt(kCountParam), 30);
    EXPECT_EQ(pb->GetInt(kEnabledParam), 0);
    EXPECT_EQ(ToUtf8(pb->GetStr(kSuffixParam)), "_x_");
    EXPECT_FLOAT_EQ(pb->GetFloat(kMarginParam), 2.5f); // by "#id"
    // Animated: keys at frames 0 and 10 at 25 fps.
    const int tpf = GetTicksPerFrame();
    EXPECT_FLOAT_EQ(pb->GetFloat(kLiftParam, 0), 1.0f);
    EXPECT_FLOAT_EQ(pb->GetFloat(kLiftParam, 10 * tpf), 3.0f);
    EXPECT_FLOAT_EQ(pb->GetFloat(kLiftParam, 5 * tpf), 2.0f);
    // Node lists resolve names in the listed order, whatever the order of the nodes.
    ASSERT_EQ(pb->Count(kNodesParam), 2);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), ball);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 1), wall);

    // Keys override the static position; the rotation stays: 90 degrees about z.
    EXPECT_TRUE(ball->GetNodeTM(5 * tpf).GetTrans().Equals(Point3(5, 0, 0), 1e-5f));
    EXPECT_TRUE(ball->GetNodeTM(0).GetRow(0).Equals(Point3(0, 1, 0), 1e-5f));
    EXPECT_EQ(ball->GetWireColor(), RGB(10, 20, 30));
}

// Every bad input names the file, the place and what was expected, and leaves an empty scene.
TEST(QX_Scene_Json, RefusesBadInputWithFilePlaceAndExpectation) {
    Interface& ip = HostWithTestModule();
    const std::string obj = TempPath("nan.obj");
    WriteText(obj, "v 0 0 0\nv 1 0 1e999\nv 0 1 0\nf 1 2 3\n");
    const std::string flat = TempPath("nofaces.obj");
    WriteText(flat, "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
    const std::string node = R"({"name": "A", "mesh": {"primitive": "box", "size": [1, 1, 1]}})";
    const auto withMod = [&](const std::string& params) {
        return R"({"nodes": [{"name": "A", "mesh": {"primitive": "box", "size": [1, 1, 1]},
                   "modifiers": [{"class": "TestLift", "params": )" +
               params + "}]}]}";
    };
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"{\n  \"nodes\": [\n    {\"name\": \"A\",, }\n  ]\n}", "scene.json:3:18: syntax error"},
        {R"({"nodes": {}})", "at /nodes: expected a list of nodes, got {}"},
        {R"({"nodes": [], "unit": "cm"})", "at /unit: unknown key \"unit\""},
        {R"({"units": "furlong", "nodes": []})", "at /units: expected one of"},
        {R"({"frameRate": 0, "nodes": []})", "at /frameRate: expected a whole number from 1"},
        {R"({"nodes": [{"name": "A", "mesh": {"primitive": "box", "size": [1, "x", 1]}}]})",
         "at /nodes/0/mesh/size/1: expected a number"},
        {R"({"nodes": [{"name": "A", "mesh": {"primitive": "box", "size": [1, -1, 1]}}]})",
         "at /nodes/0/mesh/size/1: expected a number from 1e-06"},
        {"{\"nodes\": [" + node + ", " + node + "]}",
         "at /nodes/1/name: a node named \"A\" exists already"},
        {R"({"nodes": [{"name": "A", "mesh": {"file": "missing.obj"}}]})",
         "at /nodes/0/mesh/file: "},
        {R"({"nodes": [{"name": "A", "mesh": {"file": ")" + obj + R"("}}]})",
         "not a finite number"},
        {R"({"nodes": [{"name": "A", "mesh": {"file": ")" + flat + R"("}}]})", "has no faces"},
        {R"({"nodes": [{"name": "A", "mesh": {"generator": "wall", "columns": 2.5, "rows": 1,
             "brick": [1, 1, 1]}}]})",
         "at /nodes/0/mesh/columns: expected a whole number"},
        {R"({"nodes": [{"name": "A", "object": {"class": "NoSuchClass"}}]})",
         "at /nodes/0/object/class: no class named \"NoSuchClass\" is registered"},
        {R"({"nodes": [{"name": "A", "object": {"class": "TestLift"}}]})", "is a modifier"},
        {withMod(R"({"Lfit": 1})"),
         "at /nodes/0/modifiers/0/params/Lfit: class \"TestLift\" has no parameter named"},
        {withMod(R"({"Count": 1})"),
         "at /nodes/0/modifiers/0/params/Count: expected a whole number from 2 to 9999, got 1"},
        {withMod(R"({"Count": "30"})"), "params/Count: expected a whole number"},
        {withMod(R"({"Enabled": 2})"), "params/Enabled: expected true or false, got 2"},
        {withMod(R"({"Nodes": ["A", "B"]})"), "params/Nodes/1: no node named \"B\" in this scene"},
        {withMod(R"({"Count": {"keys": [[0, 3]]}})"), "the parameter is not animatable"},
    };
    for (const Case& c : cases) {
        const std::string error = LoadError(ip, c.text);
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << "input: " << c.text << "\nerror: " << error;
        EXPECT_EQ(error.rfind("scene.json:", 0), 0u) << error;
        EXPECT_TRUE(ip.AllNodes().empty()) << "input: " << c.text;
    }
}

TEST(QX_Scene_Json, ReadsObjFilesRelativeToTheDescription) {
    Interface& ip = HostWithTestModule();
    WriteText(TempPath("quad.obj"), "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nf 1 2 3 4\n");
    ASSERT_EQ(LoadError(ip, R"({"nodes": [{"name": "Q", "mesh": {"file": "qx_app_quad.obj"}}]})"),
              "");
    Object* obj = ip.GetINodeByName(_T("Q"))->GetObjectRef();
    const Mesh& mesh = static_cast<TriObject*>(obj)->GetMesh();
    EXPECT_EQ(mesh.getNumFaces(), 2);
    EXPECT_EQ(mesh.getNumVerts(), 4);
}

TEST(QX_Scene_Json, SyntaxErrorPositionsCountLinesAndColumnsFromOne) {
    EXPECT_EQ(LineAndColumn("ab\ncd", 0), std::make_pair(1, 1));
    EXPECT_EQ(LineAndColumn("ab\ncd", 4), std::make_pair(2, 2));
    EXPECT_EQ(LineAndColumn("ab\n", 99), std::make_pair(2, 1));
}

} // namespace
} // namespace Quarix::App
