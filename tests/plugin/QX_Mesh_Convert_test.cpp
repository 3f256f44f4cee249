// Host mesh to core mesh record and back.

#include <gtest/gtest.h>

#include "modifier/QX_Mesh_Convert.h"

namespace {

using Quarix::QX_BT_Mesh_Data;
using namespace QX_Mesh_Convert;

// Two triangles sharing an edge, with distinct flags, material ids and smoothing groups.
Mesh Quad() {
    Mesh m;
    m.setNumVerts(4);
    m.setVert(0, 0, 0, 0);
    m.setVert(1, 1, 0, 0);
    m.setVert(2, 1, 1, 0.5f);
    m.setVert(3, 0, 1, -0.25f);
    m.setNumFaces(2);
    m.faces[0].setVerts(0, 1, 2);
    m.faces[0].setEdgeVisFlags(TRUE, TRUE, FALSE);
    m.faces[0].setMatID(3);
    m.faces[0].setSmGroup(0x5);
    m.faces[1].setVerts(0, 2, 3);
    m.faces[1].setEdgeVisFlags(FALSE, TRUE, TRUE);
    m.faces[1].setMatID(0xFFFF);
    m.faces[1].setSmGroup(0x80000000u);
    m.faces[1].Hide();
    return m;
}

TEST(QX_Mesh_Convert, TriangleMeshSurvivesExportAndImportButLosesOtherFaceFlags) {
    const Mesh source = Quad();
    QX_BT_Mesh_Data data;
    ExportMesh(source, data);
    ASSERT_EQ(data.faceInfos.size(), 2u);
    // Raw edge bits, not booleans.
    EXPECT_EQ(data.faceInfos[0].edgeA, 1);
    EXPECT_EQ(data.faceInfos[0].edgeB, 2);
    EXPECT_EQ(data.faceInfos[0].edgeC, 0);
    EXPECT_EQ(data.faceInfos[1].edgeC, 4);
    EXPECT_EQ(data.faceInfos[1].materialID, 0xFFFF);
    EXPECT_EQ(data.faceInfos[1].smoothingGroup, 0x80000000u);
    EXPECT_EQ(data.geometry.faces, (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_TRUE(data.channels.empty());

    Mesh back;
    back.setNumVerts(9); // old content must not survive
    ImportMesh(data, back);
    ASSERT_EQ(back.getNumVerts(), 4);
    ASSERT_EQ(back.getNumFaces(), 2);
    EXPECT_EQ(back.verts, source.verts);
    for (int f = 0; f < 2; ++f) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(back.faces[size_t(f)].v[c], source.faces[size_t(f)].v[c]);
            EXPECT_EQ(back.faces[size_t(f)].getEdgeVis(c), source.faces[size_t(f)].getEdgeVis(c));
        }
        EXPECT_EQ(back.faces[size_t(f)].getMatID(), source.faces[size_t(f)].getMatID());
        EXPECT_EQ(back.faces[size_t(f)].getSmGroup(), source.faces[size_t(f)].getSmGroup());
    }
    EXPECT_FALSE(back.faces[1].Hidden());
}

TEST(QX_Mesh_Convert, MapChannelsAndFullSpecifiedNormalsRoundTrip) {
    Mesh source = Quad();
    source.setMapSupport(1, TRUE);
    source.setNumMapVerts(1, 3);
    source.Map(1).tv = {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0.5f, 1, 0)};
    source.Map(1).tf = {TVFace(0, 1, 2), TVFace(0, 2, 1)};
    source.setMapSupport(99, TRUE);
    source.setNumMapVerts(99, 1);
    source.Map(99).tv = {Point3(0.25f, 0.5f, 0.75f)};
    source.SpecifyNormals();
    MeshNormalSpec& spec = *source.GetSpecifiedNormals();
    spec.SetNumFaces(2);
    spec.SetNumNormals(2);
    spec.Normal(0) = Point3(0, 0, 1);
    spec.Normal(1) = Point3(0, 1, 0);
    spec.Face(1).SetNormalID(2, 1);

    QX_BT_Mesh_Data data;
    ExportMesh(source, data);
    ASSERT_EQ(data.channels.size(), 3u);
    EXPECT_EQ(data.channels.begin()->first, Quarix::kNormalChannel);
    EXPECT_EQ(data.channels[1].faces, (std::vector<int32_t>{0, 1, 2, 0, 2, 1}));
    EXPECT_EQ(data.channels[-1].faces, (std::vector<int32_t>{0, 0, 0, 0, 0, 1}));

    Mesh back;
    ImportMesh(data, back);
    EXPECT_TRUE(back.mapSupport(1));
    EXPECT_TRUE(back.mapSupport(99));
    EXPECT_FALSE(back.mapSupport(0));
    EXPECT_EQ(back.Map(1), source.Map(1));
    EXPECT_EQ(back.Map(99).tv, source.Map(99).tv);
    const MeshNormalSpec* normals = back.GetSpecifiedNormals();
    ASSERT_NE(normals, nullptr);
    EXPECT_EQ(normals->GetNumNormals(), 2);
    EXPECT_EQ(normals->GetNormalIndex(1, 2), 1);
    EXPECT_EQ(normals->Normal(1), Point3(0, 1, 0));
    EXPECT_TRUE(normals->GetNormalExplicit(0));
    std::string why;
    EXPECT_TRUE(back.IsValid(&why)) << why;
}

TEST(QX_Mesh_Convert, NormalsSpecifiedForSomeFacesOnlyAreNotExported) {
    Mesh source = Quad();
    source.SpecifyNormals();
    source.GetSpecifiedNormals()->SetNumFaces(1);
    source.GetSpecifiedNormals()->SetNumNormals(1);
    QX_BT_Mesh_Data data;
    ExportMesh(source, data);
    EXPECT_EQ(data.channels.count(Quarix::kNormalChannel), 0u);
    // An empty record for a mesh without faces is not a normal channel either.
    Mesh empty;
    empty.SpecifyNormals();
    ExportMesh(empty, data);
    EXPECT_TRUE(data.channels.empty());
    EXPECT_TRUE(data.faceInfos.empty());
}

TEST(QX_Mesh_Convert, ImportKeepsTheHostMeshValidWhateverTheRecordHolds) {
    QX_BT_Mesh_Data data;
    data.geometry.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    data.geometry.faces = {0, 1, 7, -4, 1, 2}; // two corners out of range
    data.faceInfos.resize(1);                  // fewer infos than faces
    data.faceInfos[0].materialID = 0x12345;    // only the low 16 bits fit
    data.channels[2].faces = {0, 0, 9, 0, 0, 0};
    data.channels[2].vertices = {0.5f, 0.5f, 0};
    data.channels[150].faces = {0, 0, 0, 0, 0, 0}; // no such host channel
    data.channels[-1].faces = {0, 0, 3, 0, 0, 0};
    data.channels[-1].vertices = {0, 0, 1};
    Mesh mesh;
    ImportMesh(data, mesh);
    std::string why;
    EXPECT_TRUE(mesh.IsValid(&why)) << why;
    EXPECT_EQ(mesh.getNumFaces(), 2);
    EXPECT_EQ(mesh.faces[0].getMatID(), 0x2345);
    EXPECT_TRUE(mesh.mapSupport(2));
    EXPECT_EQ(mesh.getNumMaps(), 3);
}

} // namespace
