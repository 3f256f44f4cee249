#include "host/ChunkFile.h"
#include "host/MNMesh.h"

#include <gtest/gtest.h>

namespace {

// Two triangles sharing an edge, with material ids, smoothing groups, a UV channel, a colour
// channel and explicit normals: every part of the mesh that must survive a round trip.
Mesh MakeQuadMesh() {
    Mesh mesh;
    mesh.setNumVerts(4);
    mesh.setVert(0, 0, 0, 0);
    mesh.setVert(1, 1, 0, 0);
    mesh.setVert(2, 1, 1, 0);
    mesh.setVert(3, 0, 1, 0);
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[0].setEdgeVisFlags(TRUE, TRUE, FALSE);
    mesh.faces[0].setMatID(7);
    mesh.faces[0].setSmGroup(1);
    mesh.faces[1].setVerts(2, 3, 0);
    mesh.faces[1].setEdgeVisFlags(TRUE, TRUE, FALSE);
    mesh.faces[1].setMatID(0xFFFF);
    mesh.faces[1].setSmGroup(0x80000001u);
    mesh.setMapSupport(1);
    mesh.setNumMapVerts(1, 4);
    for (int i = 0; i < 4; ++i)
        mesh.mapVerts(1)[i] = Point3(mesh.verts[static_cast<size_t>(i)].x, mesh.verts[i].y, 0);
    mesh.mapFaces(1)[0].setTVerts(0, 1, 2);
    mesh.mapFaces(1)[1].setTVerts(2, 3, 0);
    mesh.setMapSupport(99);
    mesh.setNumMapVerts(99, 1);
    mesh.mapVerts(99)[0] = Point3(0.5f, 0.25f, 1.0f);
    mesh.SpecifyNormals();
    MeshNormalSpec* normals = mesh.GetSpecifiedNormals();
    normals->SetNumFaces(2);
    normals->SetNumNormals(1);
    normals->Normal(0) = Point3(0, 0, 1);
    normals->SetNormalExplicit(0, true);
    return mesh;
}

std::vector<BYTE> SaveMesh(const Mesh& mesh) {
    ChunkWriter writer;
    writer.BeginChunk(0x10);
    EXPECT_EQ(mesh.Save(&writer), IO_OK);
    writer.EndChunk();
    EXPECT_FALSE(writer.Failed());
    return writer.Bytes();
}

IOResult LoadMesh(std::span<const BYTE> bytes, Mesh& mesh) {
    ChunkReader reader(bytes);
    if (reader.OpenChunk() != IO_OK)
        return IO_ERROR;
    return mesh.Load(&reader);
}

TEST(Mesh, FaceFlagsKeepEdgeBitsAndMaterialInUpperHalf) {
    Face face;
    face.setEdgeVisFlags(TRUE, FALSE, TRUE);
    face.setMatID(0x1234);
    EXPECT_EQ(face.flags, 0x12340005u);
    EXPECT_EQ(face.getEdgeVis(0), 1u);
    EXPECT_EQ(face.getEdgeVis(2), 4u);
    face.setVerts(3, 4, 5);
    EXPECT_EQ(face.getMatID(), 0x1234);
}

TEST(Mesh, MapChannelsAreLimitedToZeroTo99) {
    Mesh mesh;
    mesh.setNumFaces(3);
    EXPECT_FALSE(mesh.mapSupport(0));
    mesh.setMapSupport(100);
    mesh.setMapSupport(-1);
    EXPECT_EQ(mesh.getNumMaps(), 0);
    EXPECT_EQ(mesh.mapVerts(-1), nullptr);
    mesh.setMapSupport(2);
    EXPECT_EQ(mesh.getNumMaps(), 3);
    EXPECT_EQ(mesh.getNumMapFaces(2), 3);
    mesh.setNumFaces(5, TRUE);
    EXPECT_EQ(mesh.getNumMapFaces(2), 5);
    mesh.setMapSupport(2, FALSE);
    EXPECT_EQ(mesh.getNumMapFaces(2), 0);
}

TEST(Mesh, SaveLoadRoundTripKeepsEverything) {
    Mesh original = MakeQuadMesh();
    std::vector<BYTE> bytes = SaveMesh(original);
    Mesh loaded;
    ASSERT_EQ(LoadMesh(bytes, loaded), IO_OK);
    EXPECT_TRUE(loaded == original);
    EXPECT_EQ(loaded.faces[1].getMatID(), 0xFFFF);
    EXPECT_TRUE(loaded.GetSpecifiedNormals()->GetNormalExplicit(0));
    EXPECT_TRUE(loaded.mapSupport(99));
    EXPECT_FALSE(loaded.mapSupport(2));
    Box3 box = loaded.getBoundingBox();
    EXPECT_EQ(box.pmax, Point3(1, 1, 0));
}

TEST(Mesh, LoadOfDamagedDataFailsAndKeepsTheMesh) {
    std::vector<BYTE> bytes = SaveMesh(MakeQuadMesh());
    const Mesh before = MakeQuadMesh();
    // Every truncation inside the chunk must be refused, never crash or half-load.
    for (size_t cut = 12; cut + 1 < bytes.size(); cut += 7) {
        Mesh mesh = before;
        std::vector<BYTE> truncated(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_NE(LoadMesh(truncated, mesh), IO_OK) << "cut at " << cut;
        EXPECT_TRUE(mesh == before);
    }
    // A face pointing past the vertex list is rejected. Face 0, corner 0 sits after the header,
    // the mesh chunk header, the vertex chunk and the face chunk header and count.
    std::vector<BYTE> bad = bytes;
    size_t faceCorner = 12 + 10 + (10 + 4 + 4 * 12) + 10 + 4;
    bad[faceCorner] = 9;
    Mesh mesh = before;
    EXPECT_EQ(LoadMesh(bad, mesh), IO_ERROR);
    EXPECT_TRUE(mesh == before);
}

TEST(MNMesh, QuadTriangulatesWithHiddenDiagonalAndKeepsMaps) {
    MNMesh poly;
    for (Point3 p : {Point3(0, 0, 0), Point3(1, 0, 0), Point3(1, 1, 0), Point3(0, 1, 0)})
        poly.NewVert(p);
    const int quad[4] = {0, 1, 2, 3};
    ASSERT_EQ(poly.NewFace(4, quad, 2, 5), 0);
    poly.SetMapSupport(1, true);
    poly.M(1)->v = {Point3(0, 0, 0), Point3(1, 0, 0), Point3(1, 1, 0), Point3(0, 1, 0)};
    poly.M(1)->f[0] = {0, 1, 2, 3};
    EXPECT_EQ(poly.NewFace(2, quad), -1);

    Mesh tri;
    poly.OutToTri(tri);
    ASSERT_EQ(tri.getNumFaces(), 2);
    EXPECT_EQ(tri.faces[0].flags & EDGE_ALL, EDGE_A | EDGE_B);
    EXPECT_EQ(tri.faces[1].flags & EDGE_ALL, EDGE_B | EDGE_C);
    EXPECT_EQ(tri.faces[1].getMatID(), 5);
    EXPECT_EQ(tri.faces[1].smGroup, 2u);
    EXPECT_EQ(tri.mapFaces(1)[1], TVFace(0, 2, 3));

    // Back through AddTri: the triangles come out the same.
    MNMesh again;
    again.Clear();
    again.AddTri(tri);
    again.FillInMesh();
    Mesh tri2;
    again.OutToTri(tri2);
    EXPECT_TRUE(tri2 == tri);
}

} // namespace
