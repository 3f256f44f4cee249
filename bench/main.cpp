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
    {"sim_boxes3008", "3,008 falling boxes: our frame loop against a persistent Bullet world",
     &Quarix::Bench::SimBoxes3008},
    {"sim_stack1076", "pyramid, walls and tower of 1,076 boxes: ours against persistent Bullet",
     &Quarix::Bench::SimStack1076},
    {"wall_stability", "10 x 10 brick wall left alone for 1,000 frames, single vs multipoint",
     &Quarix::Bench::WallStability},
    {"stacking", "walls, column, pyramid and balls in centimetre and metre scenes, sleeping on/off",
     &Quarix::Bench::Stacking},
    {"shatter_mesh20k_100", "Voronoi fragmenter: 100 pieces of a closed 20,480-triangle sphere",
     &Quarix::Bench::ShatterMesh20k100},
    {"shatter_box_1000", "Voronoi fragmenter: 1,000 pieces of a 12-triangle box",
     &Quarix::Bench::ShatterBox1000},
    {"shatter_scaling", "Voronoi fragmenter: time against fragment count and mesh size",
     &Quarix::Bench::ShatterScaling},
    {"demolition_wall400", "400-brick wall in 20 clusters hit by a projectile, To Elements",
     &Quarix::Bench::DemolitionWall400},
    {"blob_roundtrip", "modifier results of 1,000 bodies x 200 frames saved and loaded",
     &Quarix::Bench::BlobRoundtrip},
    {"forces_1000", "1,000 bricks under two force fields and a blast, against no forces",
     &Quarix::Bench::Forces1000},
    {"driver_wall",
     "200-brick wall hit by a ball: Range run through the host's loop vs SimulateFrame",
     &Quarix::Bench::DriverWall},
    {"demolition_voronoi",
     "100-brick wall hit by a projectile, To Fragments (8) by the shatter library",
     &Quarix::Bench::DemolitionVoronoi},
    {"bake_1000", "1,000 bodies x 100 frames baked into animated nodes", &Quarix::Bench::Bake1000},
    {"app_wall", "quarix run of a 1,000-brick wall through host and plug-in, against the core loop",
     &Quarix::Bench::AppWall},
    {"modifier_playback", "1,000-box object simulated 100 frames, host evaluation per frame",
     &Quarix::Bench::ModifierPlayback},
    // --- studio (begin) ---
    {"studio_stream", "1,000-brick wall played back in the studio page: fps and bytes per frame",
     &Quarix::Bench::StudioStream},
    // --- studio (end) ---
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
    std::cerr << "qx_bench: unknown benchmark '" << argv[1]
              << "' (run without arguments for the list)\n";
    return 2;
}
