// Benchmarks of the shatter library's Voronoi fragmenter.

#include "bench/bench.h"
#include "bench/benchmarks.h"

#include "host/IQXShatter.h"
#include "shatter/QXShatter.h"
#include "tests/fixtures/shatter/ShatterTestMeshes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace Quarix::Bench {

namespace {

using Shatter::ShatterMesh;
using Shatter::Tri;
using Shatter::Vec3;

/// Material id of the inner faces in every shatter benchmark.
constexpr int kInnerMaterial = 16;

std::vector<Tri> HostTris(const Mesh& m) {
    std::vector<Tri> tris;
    for (const Face& f : m.faces)
        tris.push_back(
            {static_cast<int>(f.v[0]), static_cast<int>(f.v[1]), static_cast<int>(f.v[2])});
    return tris;
}

/// Icosphere of radius 1 with 20 * 4^subdivisions triangles and texture coordinates (the
/// positions themselves, so every cut edge has a map channel to interpolate).
ShatterMesh MakeSphere(int subdivisions) {
    ShatterMesh m = Shatter::Test::MakeIcosphere(1.0, subdivisions);
    Shatter::MapChannel& uv = m.channels[1];
    uv.verts = m.verts;
    for (const Shatter::MeshFace& f : m.faces)
        uv.faces.push_back(f.v);
    return m;
}

/// A 2 x 1 x 0.5 box of 12 triangles.
ShatterMesh MakeBox() {
    ShatterMesh m;
    for (int i = 0; i < 8; ++i)
        m.verts.push_back({(i & 1) ? 2.0 : 0.0, (i & 2) ? 1.0 : 0.0, (i & 4) ? 0.5 : 0.0});
    const int quads[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    for (const auto& q : quads) {
        m.faces.push_back({{q[0], q[1], q[2]}, 3u, 1});
        m.faces.push_back({{q[0], q[2], q[3]}, 6u, 1});
    }
    return m;
}

/// The engine's mesh as a host mesh (the library's input).
Mesh ToHost(const ShatterMesh& source) {
    Mesh mesh;
    Shatter::ToHostMesh(source, mesh);
    return mesh;
}

double HostVolume(const Mesh& m) {
    std::vector<Vec3> verts;
    for (const Point3& p : m.verts)
        verts.push_back({p.x, p.y, p.z});
    return Shatter::SignedVolume(verts, HostTris(m));
}

struct Run {
    double ms = 0.0;
    double cpuMs = 0.0;
    int pieces = 0;
    double volumeError = 0.0;
};

/// Fragments a copy of `source` through the library interface, with the calls and values the
/// rigid modifier uses, and measures it; the volume error is relative to the input's volume.
Run Fragment(const Mesh& source, int count) {
    Mesh mesh = source;
    Stopwatch watch;
    CpuStopwatch cpu;
    IQXShatter::QXShatterPtr shatter = IQXShatter::New(mesh, 1, true);
    Interval valid(TIME_NegInfinity, TIME_NegInfinity);
    Matrix3 impact;
    impact.SetTrans(Point3(0.1f, 0.1f, 0.1f));
    IQXShatter::IQXParams::setParam<int>(shatter, IQXShatter::kParamFragmentCount, 0, count, valid,
                                         0);
    IQXShatter::IQXParams::setParam<int>(shatter, IQXShatter::kParamInnerMaterialId, 0,
                                         kInnerMaterial, valid, 0);
    IQXShatter::IQXParams::setParam<Matrix3>(shatter, IQXShatter::kParamImpactTransform, 0, impact,
                                             valid, 0);
    IQXShatter::IQXParams::setParam<float>(shatter, IQXShatter::kParamBias, 0, 0.0f, valid, 0);
    Interval all(TIME_NegInfinity, TIME_PosInfinity);
    IQXShatter::Modify(shatter, 0, all);
    IQXShatter::GetFinalMesh(shatter, mesh);
    shatter.reset();
    Run run;
    run.ms = watch.ms();
    run.cpuMs = cpu.ms();
    Shatter::LabelEdgeConnectedElements(HostTris(mesh), &run.pieces);
    const double volume = HostVolume(source);
    run.volumeError = std::fabs(HostVolume(mesh) - volume) / volume;
    return run;
}

/// One benchmark result; the baseline is a two-piece cut of the same mesh in the same run,
/// the fixed cost of a call (copies, validation, closure test, inside tester, one cut).
std::string Report(const std::string& name, const Mesh& mesh, int count) {
    const Run baseline = Fragment(mesh, 2);
    const Run run = Fragment(mesh, count);
    JsonObject json;
    json.add("name", name)
        .add("ms", run.ms)
        .add("cpu_ms", run.cpuMs)
        .add("pieces", static_cast<long long>(run.pieces))
        .add("volume_error", run.volumeError)
        .add("triangles", static_cast<long long>(mesh.getNumFaces()))
        .add("fragments", static_cast<long long>(count))
        .add("baseline_two_pieces_ms", baseline.ms)
        .add("ratio_to_baseline", run.ms / baseline.ms)
        .add("target_ms", 100.0);
    return json.str();
}

} // namespace

std::string ShatterMesh20k100() {
    return Report("shatter_mesh20k_100", ToHost(MakeSphere(5)), 100);
}

std::string ShatterBox1000() {
    return Report("shatter_box_1000", ToHost(MakeBox()), 1000);
}

std::string ShatterScaling() {
    std::string cases;
    auto add = [&](const Mesh& mesh, int count) {
        const Run run = Fragment(mesh, count);
        JsonObject json;
        json.add("triangles", static_cast<long long>(mesh.getNumFaces()))
            .add("fragments", static_cast<long long>(count))
            .add("ms", run.ms)
            .add("cpu_ms", run.cpuMs)
            .add("pieces", static_cast<long long>(run.pieces))
            .add("volume_error", run.volumeError);
        cases += (cases.empty() ? "" : ", ") + json.str();
    };
    // Growth with the fragment count on a small and a large mesh, then with the mesh size.
    const Mesh box = ToHost(MakeBox());
    const Mesh sphere = ToHost(MakeSphere(5));
    for (int count : {10, 100, 1000})
        add(box, count);
    for (int count : {10, 100, 1000})
        add(sphere, count);
    for (int subdivisions : {2, 3, 4, 5, 6})
        add(ToHost(MakeSphere(subdivisions)), 100);
    JsonObject json;
    json.add("name", std::string("shatter_scaling")).addRaw("cases", "[" + cases + "]");
    return json.str();
}

} // namespace Quarix::Bench
