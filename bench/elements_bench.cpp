#include "bench/bench.h"
#include "bench/benchmarks.h"

#include "core/QX_BT_Mesh_Data.h"
#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix::Bench {

std::string ElementsBench100k() {
    // 1,000 closed spheres of 100 triangles each (10 segments, 6 rings), welded within each.
    constexpr int kElements = 1000;
    QX_BT_Mesh_Data mesh;
    const QX_BT_Mesh_Data sphere = Fixtures::MakeSphere(glm::vec3(0), 1.0f, 10, 6);
    for (int i = 0; i < kElements; ++i) {
        QX_BT_Mesh_Data copy = sphere;
        glm::mat4 shift(1.0f);
        shift[3] = glm::vec4(float(i % 10) * 3, float((i / 10) % 10) * 3, float(i / 100) * 3, 1);
        copy.TransformVertices(shift);
        mesh.AppendMesh(copy.faceInfos, copy);
    }

    constexpr int kRuns = 5;
    double best = 1e30;
    size_t elements = 0;
    for (int run = 0; run < kRuns; ++run) {
        Stopwatch watch;
        const QX_BT_Element_List list = ExtractElements(mesh.geometry.faces);
        best = std::min(best, watch.ms());
        elements = list.size();
    }
    return JsonObject()
        .add("name", std::string("elements_100k"))
        .add("ms", best)
        .add("elements", static_cast<long long>(elements))
        .add("triangles", static_cast<long long>(mesh.faceCount()))
        .str();
}

} // namespace Quarix::Bench
