#include "bench/bench.h"
#include "bench/benchmarks.h"

#include <cstring>
#include <iostream>

namespace {

struct Entry {
    const char* name;
    const char* what;
    Quarix::Bench::BenchFunction run;
};

// The table of named benchmarks; `qx_bench NAME` runs one of them.
const Entry kBenchmarks[] = {
    {"elements_100k", "ExtractElements on 100,000 welded triangles in 1,000 elements",
     &Quarix::Bench::ElementsBench100k},
    {"shapes_wall1000", "BuildElementShapes + GroupElementShapes, 1,000 box elements, Fragments",
     &Quarix::Bench::ShapesBenchWall1000},
    {"hacd_torus1000_low", "Concave Low element shape of a 1,000-triangle torus",
     &Quarix::Bench::HacdTorus1000Low},
    {"hacd_torus1000_high", "Concave High element shape of a 1,000-triangle torus",
     &Quarix::Bench::HacdTorus1000High},
    {"hacd_torus2000_low", "Concave Low element shape of a 2,000-triangle torus",
     &Quarix::Bench::HacdTorus2000Low},
    {"shatter_mesh20k_100", "Voronoi fragmenter: 100 pieces of a closed 20,480-triangle sphere",
     &Quarix::Bench::ShatterMesh20k100},
    {"shatter_box_1000", "Voronoi fragmenter: 1,000 pieces of a 12-triangle box",
     &Quarix::Bench::ShatterBox1000},
    {"shatter_scaling", "Voronoi fragmenter: time against fragment count and mesh size",
     &Quarix::Bench::ShatterScaling},
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cout << "usage: qx_bench NAME\n\nbenchmarks:\n";
        for (const Entry& e : kBenchmarks)
            std::cout << "  " << e.name << "  -  " << e.what << "\n";
        return 0;
    }
    for (const Entry& e : kBenchmarks) {
        if (std::strcmp(e.name, argv[1]) == 0) {
            std::string json = e.run();
            std::cout << json << std::endl;
            return 0;
        }
    }
    std::cerr << "qx_bench: unknown benchmark '" << argv[1] << "' (run without arguments for the list)\n";
    return 2;
}
