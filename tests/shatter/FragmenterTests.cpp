#include "tests/fixtures/shatter/ShatterTestMeshes.h"

#include "shatter/Fragmenter.h"
#include "shatter/SeedSampler.h"
#include "shatter/VoronoiCells.h"

#include <voro++.hh>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

namespace Quarix::Shatter {
namespace {

using namespace Test;

FragmentSettings Settings(int count, std::uint32_t seed = 7) {
    FragmentSettings s;
    s.fragmentCount = count;
    s.innerMaterialId = kInnerMaterial;
    s.randomSeed = seed;
    return s;
}

/// Checks what every fragmentation of a closed mesh must give: closed pieces as separate
/// elements, conserved volume and surface, inner faces with the inner material.
void ExpectSoundClosedResult(const ShatterMesh& source, const ShatterMesh& out,
                             const FragmentStats& stats) {
    EXPECT_TRUE(stats.closed);
    EXPECT_TRUE(IsClosedManifold(Tris(out)));
    EXPECT_TRUE(ElementsShareNoVertex(out));
    EXPECT_EQ(ElementCount(out), stats.pieces);
    EXPECT_GE(stats.pieces, 2);
    const double volume = SignedVolume(source);
    EXPECT_LT(std::fabs(SignedVolume(out) - volume), 1e-6 * std::fabs(volume));
    // The original surface is all there, no more and no less.
    EXPECT_NEAR(AreaOfMaterial(out, kOuterMaterial), AreaOfMaterial(source, kOuterMaterial),
                1e-9 * AreaOfMaterial(source, kOuterMaterial));
    EXPECT_GT(AreaOfMaterial(out, kInnerMaterial), 0.0);
    for (const MeshFace& f : out.faces)
        EXPECT_TRUE(f.MaterialId() == kInnerMaterial || f.MaterialId() == kOuterMaterial);
}

/// Each element on its own must be a closed solid with positive volume.
void ExpectEveryPieceClosed(const ShatterMesh& out) {
    int count = 0;
    std::vector<Tri> tris = Tris(out);
    std::vector<int> label = LabelEdgeConnectedElements(tris, &count);
    std::vector<std::vector<Tri>> pieces(count);
    for (std::size_t f = 0; f < tris.size(); ++f)
        pieces[label[f]].push_back(tris[f]);
    for (int p = 0; p < count; ++p) {
        EXPECT_TRUE(IsClosedManifold(pieces[p])) << "piece " << p;
        EXPECT_GT(SignedVolume(out.verts, pieces[p]), 0.0) << "piece " << p;
    }
}

TEST(Fragmenter, ClosedMeshesBreakIntoClosedPiecesThatAddUpToTheWhole) {
    struct Case {
        const char* name;
        ShatterMesh mesh;
        int count;
    } cases[] = {
        {"box", MakeBox({-1, -2, 0}, {3, 1, 0.5}), 40},
        {"L prism", MakeLPrism(), 25},
        {"U prism", MakeUPrism(), 25},
        {"torus", MakeTorus(2.0, 0.6, 32, 16), 30},
        {"sphere", MakeIcosphere(1.5, 3), 20},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShatterMesh out;
        FragmentStats stats;
        ASSERT_TRUE(FragmentMesh(c.mesh, Settings(c.count), out, &stats));
        EXPECT_EQ(stats.cells, c.count);
        ExpectSoundClosedResult(c.mesh, out, stats);
        ExpectEveryPieceClosed(out);
    }
}

TEST(Fragmenter, ManySeedsKeepEveryPieceClosed) {
    // Rare configurations (a cell corner next to a mesh vertex, a bisector grazing an edge)
    // show up only over many random diagrams.
    const ShatterMesh meshes[] = {MakeLPrism(), MakeTorus(1.5, 0.7, 12, 8),
                                  MakeBox({0, 0, 0}, {1, 1, 1})};
    for (const ShatterMesh& mesh : meshes) {
        for (std::uint32_t seed = 100; seed < 120; ++seed) {
            SCOPED_TRACE(seed);
            ShatterMesh out;
            FragmentStats stats;
            ASSERT_TRUE(FragmentMesh(mesh, Settings(9, seed), out, &stats));
            ExpectSoundClosedResult(mesh, out, stats);
        }
    }
}

TEST(Fragmenter, ResultDoesNotDependOnScaleOrPlacement) {
    // Tolerances are relative to the mesh, so tiny, huge and far-off meshes cut alike.
    const ShatterMesh meshes[] = {MakeBox({1e3, 1e3, 1e3}, {1e3 + 1e-4, 1e3 + 2e-4, 1e3 + 1e-4}),
                                  MakeBox({-3e4, 0, 0}, {1e4, 2e4, 5e3}),
                                  MakeBox({1e5, -1e5, 1e5}, {1e5 + 1, -1e5 + 1, 1e5 + 1})};
    for (const ShatterMesh& mesh : meshes) {
        ShatterMesh out;
        FragmentStats stats;
        ASSERT_TRUE(FragmentMesh(mesh, Settings(15), out, &stats));
        EXPECT_EQ(stats.pieces, 15);
        EXPECT_TRUE(IsClosedManifold(Tris(out)));
        const double volume = SignedVolume(mesh);
        EXPECT_LT(std::fabs(SignedVolume(out) - volume), 1e-6 * volume);
    }
}

TEST(Fragmenter, CutFacesKeepOnlyCornerVertices) {
    // A vertex only cut faces use must be a corner where at least three cut planes meet;
    // vertices strung along a crease between two planes would only multiply the triangles.
    ShatterMesh out;
    ASSERT_TRUE(FragmentMesh(MakeBox({0, 0, 0}, {2, 1, 1}), Settings(30), out));
    std::vector<std::vector<Vec3>> normals(out.verts.size());
    std::vector<bool> onSurface(out.verts.size(), false);
    for (const MeshFace& f : out.faces)
        for (int v : f.v) {
            if (f.MaterialId() != kInnerMaterial)
                onSurface[v] = true;
            else
                normals[v].push_back(FaceNormal(out, f));
        }
    for (std::size_t v = 0; v < out.verts.size(); ++v) {
        if (onSurface[v] || normals[v].empty())
            continue;
        std::vector<Vec3> distinct;
        for (const Vec3& n : normals[v])
            if (std::none_of(distinct.begin(), distinct.end(),
                             [&](const Vec3& d) { return Dot(d, n) > 1.0 - 1e-6; }))
                distinct.push_back(n);
        EXPECT_GE(distinct.size(), 3u) << "vertex " << v;
    }
    // A convex cell of a dozen faces needs a few dozen triangles, not hundreds.
    EXPECT_LT(out.faces.size(), 30u * 80u);
}

TEST(Fragmenter, ConcaveCellsSplitIntoSeparateElements) {
    // A cell reaching across the gap of a U meets both arms; those parts must come out as two
    // closed elements. Over a handful of seeds such a cell appears.
    ShatterMesh u = MakeUPrism();
    int extraPieces = 0;
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        ShatterMesh out;
        FragmentStats stats;
        ASSERT_TRUE(FragmentMesh(u, Settings(3, seed), out, &stats));
        ExpectSoundClosedResult(u, out, stats);
        ExpectEveryPieceClosed(out);
        extraPieces += stats.pieces - stats.cells;
    }
    EXPECT_GT(extraPieces, 0);
}

TEST(Fragmenter, OuterFacesKeepMapsNormalsAndSmoothingInnerFacesGetTheirOwn) {
    ShatterMesh box = MakeBox({0, 0, 0}, {2, 1, 1});
    ShatterMesh out;
    ASSERT_TRUE(FragmentMesh(box, Settings(12), out));
    const MapChannel& uv = out.channels.at(kUvChannel);
    const MapChannel& normals = out.channels.at(kNormalChannel);
    ASSERT_EQ(uv.faces.size(), out.faces.size());
    ASSERT_EQ(normals.faces.size(), out.faces.size());
    for (std::size_t f = 0; f < out.faces.size(); ++f) {
        const MeshFace& face = out.faces[f];
        const Vec3 n = FaceNormal(out, face);
        for (int i = 0; i < 3; ++i) {
            // Explicit normals stay those of the box sides, and inner faces get their plane's.
            EXPECT_NEAR(Length(normals.verts[normals.faces[f][i]] - n), 0.0, 1e-6);
            if (face.MaterialId() == kOuterMaterial) {
                // Interpolated coordinates equal the box's own mapping at the new corners.
                EXPECT_NEAR(Length(uv.verts[uv.faces[f][i]] - BoxUv(out.verts[face.v[i]], n)), 0.0,
                            1e-9);
            }
        }
        if (face.MaterialId() == kInnerMaterial) {
            // One bit of its own: none of the six the box sides use.
            EXPECT_EQ(face.smoothing & (face.smoothing - 1), 0u);
            EXPECT_EQ(face.smoothing & 0x3fu, 0u);
            EXPECT_NE(face.smoothing, 0u);
        } else {
            EXPECT_NE(face.smoothing, 0u);
        }
    }
    // Cut faces of different planes meeting at a vertex never share a smoothing bit.
    std::vector<std::vector<std::pair<Vec3, std::uint32_t>>> around(out.verts.size());
    for (const MeshFace& face : out.faces)
        if (face.MaterialId() == kInnerMaterial)
            for (int v : face.v)
                around[v].emplace_back(FaceNormal(out, face), face.smoothing);
    for (const auto& faces : around)
        for (const auto& [na, sa] : faces)
            for (const auto& [nb, sb] : faces)
                if (Dot(na, nb) < 0.999) {
                    EXPECT_NE(sa, sb);
                }
}

TEST(Fragmenter, MapVerticesStaySharedAcrossCutsWithoutSeams) {
    // The L prism's map channel shares one map vertex per geometry vertex. Cutting must keep
    // that: on outer faces, one geometry vertex never gets two different map vertices.
    ShatterMesh out;
    ASSERT_TRUE(FragmentMesh(MakeLPrism(), Settings(10), out));
    const MapChannel& uv = out.channels.at(kUvChannel);
    std::vector<int> mapOf(out.verts.size(), -1);
    for (std::size_t f = 0; f < out.faces.size(); ++f) {
        if (out.faces[f].MaterialId() != kOuterMaterial)
            continue;
        for (int i = 0; i < 3; ++i) {
            int v = out.faces[f].v[i];
            int m = uv.faces[f][i];
            if (mapOf[v] < 0)
                mapOf[v] = m;
            EXPECT_EQ(mapOf[v], m);
            EXPECT_NEAR(Length(uv.verts[m] - out.verts[v]), 0.0, 1e-12);
        }
    }
}

TEST(Fragmenter, SameInputsAndSeedGiveBitIdenticalOutput) {
    ShatterMesh torus = MakeTorus(2.0, 0.6, 24, 12);
    ShatterMesh a, b, c;
    ASSERT_TRUE(FragmentMesh(torus, Settings(15, 3), a));
    ASSERT_TRUE(FragmentMesh(torus, Settings(15, 3), b));
    ASSERT_TRUE(FragmentMesh(torus, Settings(15, 4), c));
    ASSERT_EQ(a.verts.size(), b.verts.size());
    ASSERT_EQ(a.faces.size(), b.faces.size());
    EXPECT_EQ(std::memcmp(a.verts.data(), b.verts.data(), a.verts.size() * sizeof(Vec3)), 0);
    for (std::size_t f = 0; f < a.faces.size(); ++f) {
        EXPECT_EQ(a.faces[f].v, b.faces[f].v);
        EXPECT_EQ(a.faces[f].flags, b.faces[f].flags);
    }
    const auto& ua = a.channels.at(kUvChannel);
    const auto& ub = b.channels.at(kUvChannel);
    ASSERT_EQ(ua.verts.size(), ub.verts.size());
    EXPECT_EQ(std::memcmp(ua.verts.data(), ub.verts.data(), ua.verts.size() * sizeof(Vec3)), 0);
    EXPECT_EQ(ua.faces, ub.faces);
    // Another seed gives another result.
    EXPECT_TRUE(a.verts.size() != c.verts.size() ||
                std::memcmp(a.verts.data(), c.verts.data(), a.verts.size() * sizeof(Vec3)) != 0);
}

TEST(Fragmenter, InsideOutMeshIsCutAndStaysInsideOut) {
    ShatterMesh box = MakeBox({0, 0, 0}, {1, 1, 1});
    for (MeshFace& f : box.faces)
        std::swap(f.v[1], f.v[2]);
    for (auto& [number, channel] : box.channels)
        for (Tri& t : channel.faces)
            std::swap(t[1], t[2]);
    ShatterMesh out;
    FragmentStats stats;
    ASSERT_TRUE(FragmentMesh(box, Settings(10), out, &stats));
    EXPECT_TRUE(stats.closed);
    EXPECT_TRUE(IsClosedManifold(Tris(out)));
    EXPECT_NEAR(SignedVolume(out), -1.0, 1e-9);
}

TEST(Fragmenter, OpenSurfaceIsCutWithoutCaps) {
    ShatterMesh grid = MakeGrid(8);
    ShatterMesh out;
    FragmentStats stats;
    ASSERT_TRUE(FragmentMesh(grid, Settings(10), out, &stats));
    EXPECT_FALSE(stats.closed);
    EXPECT_EQ(AreaOfMaterial(out, kInnerMaterial), 0.0);
    EXPECT_NEAR(AreaOfMaterial(out, kOuterMaterial), 1.0, 1e-12);
    EXPECT_GE(stats.pieces, 2);
    EXPECT_EQ(ElementCount(out), stats.pieces);
    EXPECT_TRUE(ElementsShareNoVertex(out));
    for (const Vec3& v : out.verts)
        EXPECT_EQ(v.z, 0.0);
}

TEST(Fragmenter, CountsOfOneOrLessOrUncuttableMeshesLeaveTheOutputAlone) {
    ShatterMesh box = MakeBox({0, 0, 0}, {1, 1, 1});
    ShatterMesh point = MakeBox({1, 1, 1}, {1, 1, 1}); // every face welds to nothing
    ShatterMesh empty;
    ShatterMesh out;
    out.verts.push_back({5, 5, 5});
    for (int count : {1, 0, -3})
        EXPECT_FALSE(FragmentMesh(box, Settings(count), out));
    EXPECT_FALSE(FragmentMesh(empty, Settings(10), out));
    EXPECT_FALSE(FragmentMesh(point, Settings(10), out));
    ASSERT_EQ(out.verts.size(), 1u);
    EXPECT_EQ(out.verts[0], Vec3(5, 5, 5));
}

TEST(Fragmenter, CountsBeyondTheWorkBoundAreReducedAndReported) {
    // A normal request on a normal mesh is honoured in full: 1,000 pieces of 20,480 faces.
    EXPECT_EQ(MaxFragmentCount(12), kMaxFragments);
    EXPECT_EQ(MaxFragmentCount(20480), kMaxFragments);
    EXPECT_EQ(MaxFragmentCount(1u << 30), 2);
    const int big = MaxFragmentCount(2000000);
    EXPECT_LT(big, kMaxFragments);
    EXPECT_LE(EstimatedCutMicros(big, 2000000), kCutWorkBudget);
    EXPECT_GT(EstimatedCutMicros(big + 1, 2000000), kCutWorkBudget);

    // A small budget stands in for a big mesh so the test stays quick.
    ShatterMesh box = MakeBox({0, 0, 0}, {1, 1, 1});
    FragmentSettings settings = Settings(999999);
    settings.cutWorkBudget = EstimatedCutMicros(60, 12);
    ShatterMesh out;
    FragmentStats stats;
    ASSERT_TRUE(FragmentMesh(box, settings, out, &stats));
    EXPECT_EQ(stats.cells, 60);
    EXPECT_TRUE(stats.reduced);
    EXPECT_EQ(stats.requested, 999999);
    EXPECT_EQ(stats.limit, 60);
    EXPECT_NEAR(SignedVolume(out), 1.0, 1e-9);
    ASSERT_TRUE(FragmentMesh(box, Settings(60), out, &stats));
    EXPECT_FALSE(stats.reduced);
}

/// The mesh with every vertex duplicated for the faces that `split` selects, as importers do
/// at texture seams: the geometry stays closed but no longer shares indices across the seam.
ShatterMesh SplitVertices(ShatterMesh mesh, const std::function<bool(const Vec3&)>& split) {
    const int count = static_cast<int>(mesh.verts.size());
    for (int v = 0; v < count; ++v)
        mesh.verts.push_back(mesh.verts[v]);
    for (MeshFace& f : mesh.faces) {
        const Vec3 centre =
            (mesh.verts[f.v[0]] + mesh.verts[f.v[1]] + mesh.verts[f.v[2]]) * (1.0 / 3);
        if (split(centre))
            for (int& v : f.v)
                v += count;
    }
    return mesh;
}

TEST(Fragmenter, SeamSplitSolidsBreakIntoClosedPieces) {
    // A box whose sides each have their own four vertices, and a sphere split along a seam.
    ShatterMesh box = MakeBox({0, 0, 0}, {2, 1, 1});
    ShatterMesh splitBox;
    splitBox.channels = box.channels;
    for (const MeshFace& f : box.faces) {
        MeshFace g = f;
        for (int i = 0; i < 3; ++i) {
            g.v[i] = static_cast<int>(splitBox.verts.size());
            splitBox.verts.push_back(box.verts[f.v[i]]);
        }
        splitBox.faces.push_back(g);
    }
    ShatterMesh sphere = MakeIcosphere(1.0, 3);
    for (MeshFace& f : sphere.faces)
        f.flags |= static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
    const ShatterMesh seamed = SplitVertices(sphere, [](const Vec3& c) { return c.x > 0.0; });
    ASSERT_FALSE(IsClosedManifold(Tris(splitBox)));
    ASSERT_FALSE(IsClosedManifold(Tris(seamed)));
    for (const ShatterMesh* mesh : {&std::as_const(splitBox), &seamed}) {
        ShatterMesh out;
        FragmentStats stats;
        ASSERT_TRUE(FragmentMesh(*mesh, Settings(12), out, &stats));
        ExpectSoundClosedResult(*mesh, out, stats);
        ExpectEveryPieceClosed(out);
        EXPECT_EQ(stats.pieces, ElementCount(out));
    }
}

TEST(Fragmenter, EveryElementIsCappedOrNotOnItsOwn) {
    // A closed box and an open sheet below it, in one mesh: the box's pieces are closed solids,
    // the sheet's pieces stay flat surfaces without cap faces.
    ShatterMesh mesh = MakeBox({0, 0, 0}, {1, 1, 1});
    mesh.channels.clear();
    ShatterMesh sheet = MakeGrid(4);
    const int offset = static_cast<int>(mesh.verts.size());
    for (Vec3 v : sheet.verts)
        mesh.verts.push_back({v.x, v.y, -0.5});
    for (MeshFace f : sheet.faces) {
        for (int& v : f.v)
            v += offset;
        f.flags |= static_cast<std::uint32_t>(kOuterMaterial) << kMaterialShift;
        mesh.faces.push_back(f);
    }
    ShatterMesh out;
    FragmentStats stats;
    ASSERT_TRUE(FragmentMesh(mesh, Settings(16), out, &stats));
    EXPECT_TRUE(stats.closed);
    EXPECT_TRUE(stats.open);
    int count = 0;
    const std::vector<Tri> tris = Tris(out);
    const std::vector<int> label = LabelEdgeConnectedElements(tris, &count);
    std::vector<std::vector<Tri>> pieces(count);
    std::vector<bool> flat(count, true);
    for (std::size_t f = 0; f < tris.size(); ++f) {
        pieces[label[f]].push_back(tris[f]);
        for (int v : tris[f])
            flat[label[f]] = flat[label[f]] && out.verts[v].z == -0.5;
    }
    double volume = 0.0, sheetArea = 0.0;
    int solids = 0;
    for (int p = 0; p < count; ++p) {
        if (flat[p])
            continue;
        ++solids;
        EXPECT_TRUE(IsClosedManifold(pieces[p])) << "piece " << p;
        volume += SignedVolume(out.verts, pieces[p]);
    }
    for (std::size_t f = 0; f < tris.size(); ++f)
        if (flat[label[f]]) {
            EXPECT_NE(out.faces[f].MaterialId(), kInnerMaterial);
            sheetArea += 0.5 * Length(Cross(out.verts[tris[f][1]] - out.verts[tris[f][0]],
                                            out.verts[tris[f][2]] - out.verts[tris[f][0]]));
        }
    EXPECT_GE(solids, 2);
    EXPECT_LT(solids, count);
    EXPECT_NEAR(volume, 1.0, 1e-9);
    EXPECT_NEAR(sheetArea, 1.0, 1e-9);
}

TEST(Fragmenter, NonFiniteMapValuesAndNormalsAreRepairedNotRefused) {
    ShatterMesh box = MakeBox({0, 0, 0}, {1, 1, 1});
    box.channels.at(kUvChannel).verts[0].x = std::nan("");
    box.channels.at(kNormalChannel).verts[2].z = HUGE_VAL;
    ShatterMesh out;
    FragmentStats stats;
    ASSERT_TRUE(FragmentMesh(box, Settings(8), out, &stats));
    EXPECT_EQ(stats.repairedValues, 2);
    ExpectSoundClosedResult(box, out, stats);
    for (const auto& [number, channel] : out.channels)
        for (const Vec3& v : channel.verts)
            ASSERT_TRUE(IsFinite(v)) << "channel " << number;
    // The repaired normal is the face's own: side 1 (+x) of the box.
    const MapChannel& normals = out.channels.at(kNormalChannel);
    for (std::size_t f = 0; f < out.faces.size(); ++f)
        if (out.faces[f].MaterialId() == kOuterMaterial && FaceNormal(out, out.faces[f]).x > 0.5) {
            for (int m : normals.faces[f])
                EXPECT_NEAR(normals.verts[m].x, 1.0, 1e-9);
        }
}

TEST(Fragmenter, FlatClosedBoxIsCutAsATwoSidedSheet) {
    // Welded, a box of no height is two coincident sheets: cut as surfaces, never capped.
    ShatterMesh flat = MakeBox({0, 0, 0}, {1, 1, 0});
    ShatterMesh out;
    FragmentStats stats;
    ASSERT_TRUE(FragmentMesh(flat, Settings(6), out, &stats));
    EXPECT_FALSE(stats.closed);
    EXPECT_EQ(AreaOfMaterial(out, kInnerMaterial), 0.0);
    EXPECT_NEAR(AreaOfMaterial(out, kOuterMaterial), 2.0, 1e-12);
}

TEST(Fragmenter, VoroPlusPlusFatalErrorsBecomeExceptions) {
    // voro++ would print and exit(); a wall list beyond its fixed maximum reaches that path.
    voro::wall_list walls;
    std::vector<std::unique_ptr<voro::wall_plane>> planes;
    EXPECT_THROW(
        {
            for (int i = 0; i < 5000; ++i) {
                planes.push_back(std::make_unique<voro::wall_plane>(1.0, 0.0, 0.0, i));
                walls.add_wall(planes.back().get());
            }
        },
        VoronoiError);
}

TEST(Fragmenter, MalformedMeshesAreRejectedWithAClearMessage) {
    ShatterMesh badIndex = MakeBox({0, 0, 0}, {1, 1, 1});
    badIndex.faces[3].v[1] = 8;
    ShatterMesh badValue = MakeBox({0, 0, 0}, {1, 1, 1});
    badValue.verts[2].y = std::nan("");
    ShatterMesh badChannel = MakeBox({0, 0, 0}, {1, 1, 1});
    badChannel.channels[kUvChannel].faces.pop_back();
    ShatterMesh out;
    for (const ShatterMesh* m : {&badIndex, &badValue, &badChannel}) {
        try {
            FragmentMesh(*m, Settings(5), out);
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::strstr(e.what(), "shatter:"), nullptr);
        }
    }
}

TEST(Fragmenter, DegenerateAndSelfIntersectingInputNeverBreaksTheCut) {
    // Two interpenetrating boxes in one mesh: closed and outward wound, but self-intersecting.
    ShatterMesh overlap = MakeBox({0, 0, 0}, {1, 1, 1});
    ShatterMesh second = MakeBox({0.5, 0.3, 0.2}, {1.5, 1.3, 1.2});
    const int offset = static_cast<int>(overlap.verts.size());
    overlap.verts.insert(overlap.verts.end(), second.verts.begin(), second.verts.end());
    for (MeshFace f : second.faces) {
        for (int& v : f.v)
            v += offset;
        overlap.faces.push_back(f);
    }
    overlap.channels.clear();
    // Collapsed faces, a face with a repeated index and a lone sliver.
    ShatterMesh degenerate = MakeBox({0, 0, 0}, {1, 1, 1});
    degenerate.channels.clear();
    degenerate.verts.push_back({0.5, 0.5, 0.5});
    degenerate.faces.push_back({{8, 8, 8}, 0, 0});
    degenerate.faces.push_back({{0, 0, 1}, 0, 0});
    degenerate.verts.push_back({0.5, 0.5, 0.5 + 1e-14});
    degenerate.faces.push_back({{8, 9, 0}, 0, 0});
    // A soup of random triangles.
    ShatterMesh soup;
    Random random(11);
    for (int i = 0; i < 90; ++i)
        soup.verts.push_back({random.Uniform(), random.Uniform(), random.Uniform()});
    for (int i = 0; i < 30; ++i)
        soup.faces.push_back({{3 * i, 3 * i + 1, 3 * i + 2}, 0, 0});

    for (const ShatterMesh* m : {&overlap, &degenerate, &soup}) {
        ShatterMesh out;
        FragmentStats stats;
        ASSERT_NO_THROW(FragmentMesh(*m, Settings(12), out, &stats));
        for (const MeshFace& f : out.faces)
            for (int v : f.v)
                ASSERT_LT(static_cast<std::size_t>(v), out.verts.size());
    }
    // The overlapping boxes are still closed and keep their combined (doubly counted) volume.
    ShatterMesh out;
    ASSERT_TRUE(FragmentMesh(overlap, Settings(12), out));
    EXPECT_TRUE(IsClosedManifold(Tris(out)));
    EXPECT_NEAR(SignedVolume(out), 2.0, 1e-6);
}

TEST(Fragmenter, BiasGathersPiecesAroundTheImpactPoint) {
    // With the impact at one corner, a strong bias makes the pieces near it small and many: the
    // mean distance of piece centres from the impact point drops.
    ShatterMesh box = MakeBox({0, 0, 0}, {2, 2, 2});
    auto meanDistance = [&](double bias) {
        FragmentSettings s = Settings(40);
        s.bias = bias;
        s.impactPoint = {0.2, 0.2, 0.2};
        ShatterMesh out;
        EXPECT_TRUE(FragmentMesh(box, s, out));
        int count = 0;
        std::vector<int> label = LabelEdgeConnectedElements(Tris(out), &count);
        std::vector<Vec3> sum(count);
        std::vector<int> corners(count, 0);
        for (std::size_t f = 0; f < out.faces.size(); ++f)
            for (int v : out.faces[f].v) {
                sum[label[f]] += out.verts[v];
                ++corners[label[f]];
            }
        double total = 0.0;
        for (int p = 0; p < count; ++p)
            total += Length(sum[p] * (1.0 / corners[p]) - s.impactPoint);
        return total / count;
    };
    const double uniform = meanDistance(0.0);
    const double half = meanDistance(0.5);
    const double full = meanDistance(1.0);
    EXPECT_LT(half, uniform);
    EXPECT_LT(full, 0.6 * uniform);
}

TEST(SeedSampler, InsideTesterSeesTheTorusHole) {
    ShatterMesh torus = MakeTorus(2.0, 0.5, 32, 16);
    std::vector<Tri> tris = Tris(torus);
    InsideTester inside(torus.verts, tris);
    EXPECT_EQ(inside.Winding({0.013, 0.021, 0.003}), 0);   // the hole
    EXPECT_EQ(inside.Winding({2.013, 0.021, 0.003}), 1);   // the tube
    EXPECT_EQ(inside.Winding({-1.987, 0.021, -0.203}), 1); // the tube, other side
    EXPECT_EQ(inside.Winding({3.013, 0.021, 0.003}), 0);   // outside
    EXPECT_EQ(inside.Winding({2.013, 0.021, 0.9}), 0);     // above the tube
}

} // namespace
} // namespace Quarix::Shatter
