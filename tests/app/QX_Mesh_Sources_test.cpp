#include "app/QX_Mesh_Sources.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "app/QX_Gltf_Scene.h"
#include "host/Primitives.h"
#include "tests/app/QX_App_Test_Support.h"

namespace Quarix::App {
namespace {

using namespace Testing;

TEST(QX_Mesh_Sources, GeneratorsMakeOneClosedElementPerPieceWhereAsked) {
    const Mesh stack = MakeStack(3, Point3(2, 2, 1), 0.5f);
    EXPECT_EQ(stack.getNumFaces(), 36);
    EXPECT_EQ(stack.getNumVerts(), 24);
    EXPECT_FLOAT_EQ(stack.getBoundingBox().pmax.z, 3 * 1.0f + 2 * 0.5f);
    const Mesh grid = MakeGrid(2, 3, 1, Point3(1, 1, 1), 1.0f);
    EXPECT_EQ(grid.getNumFaces(), 6 * 12);
    const Box3 box = grid.getBoundingBox();
    EXPECT_FLOAT_EQ(box.pmin.x, -1.5f); // centred: 2 pieces and one gap
    EXPECT_FLOAT_EQ(box.pmax.y, 2.5f);  // 3 pieces and two gaps
    EXPECT_FLOAT_EQ(box.pmin.z, 0.0f);
    // Every box is closed and faces outwards: the signed volume of its triangles is its volume.
    double volume = 0.0;
    for (const Face& f : stack.faces) {
        const Point3 a = stack.verts[f.v[0]], b = stack.verts[f.v[1]], c = stack.verts[f.v[2]];
        volume += DotProd(a, CrossProd(b, c)) / 6.0;
    }
    EXPECT_NEAR(volume, 3 * 4.0, 1e-4);
    EXPECT_THROW(MakeBrickWall(2, 2, Point3(1, 0, 1), 0.0f), InputError);
}

// A glTF export in metres reads back into a centimetre scene at its original size.
TEST(QX_Mesh_Sources, GltfRoundTripKeepsSizesAcrossUnits) {
    Interface& ip = *GetCOREInterface();
    ip.ResetScene();
    ip.SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
    INode* node = ip.CreateObjectNode(new BoxObject(40, 20, 10));
    Matrix3 tm;
    tm.SetTrans(Point3(100, 200, 0));
    node->SetNodeTM(0, tm);
    const std::string path = TempPath("roundtrip.glb");
    std::string error;
    ASSERT_TRUE(ExportSceneGltf(ip, {0, 0, {}}, path, error)) << error;
    const Mesh mesh = LoadGltfMesh(path, 100.0);
    ASSERT_EQ(mesh.getNumFaces(), 12);
    const Box3 box = mesh.getBoundingBox();
    // The box's length runs along y and its width along x.
    EXPECT_NEAR(box.pmin.x, 90.0f, 1e-3f);
    EXPECT_NEAR(box.pmax.x, 110.0f, 1e-3f);
    EXPECT_NEAR(box.pmin.y, 180.0f, 1e-3f);
    EXPECT_NEAR(box.pmax.y, 220.0f, 1e-3f);
    EXPECT_NEAR(box.pmax.z, 10.0f, 1e-3f);
    EXPECT_NEAR(box.pmin.z, 0.0f, 1e-3f);
    std::remove(path.c_str());
}

TEST(QX_Mesh_Sources, DamagedGltfFilesAreRefusedWithTheirName) {
    const std::string path = TempPath("broken.gltf");
    WriteText(path, R"({"asset": {"version": "2.0"}, "meshes": [{"primitives": [
        {"attributes": {"POSITION": 0}}]}], "accessors": [{"componentType": 5126, "count": 3,
        "type": "VEC3"}]})");
    try {
        LoadGltfMesh(path, 100.0);
        ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_THROW(LoadGltfMesh(TempPath("absent.glb"), 100.0), InputError);
}

// The command line: a refused scene exits with status 1, says where, and writes nothing.
TEST(QX_Commands, RefusedSceneExitsNonZeroAndWritesNothing) {
    const std::string scene = TempPath("cli-bad.json");
    WriteText(scene, R"({"nodes": [{"name": "A", "mesh": {"primitive": "cone"}}]})");
    const std::string out = TempPath("cli-bad.glb"), log = TempPath("cli-bad.txt");
    std::remove(out.c_str());
    const std::string command =
        std::string(QX_QUARIX_EXE) + " run " + scene + " --gltf " + out + " > " + log + " 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("at /nodes/0/mesh/primitive: expected \"box\""), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
} // namespace Quarix::App
