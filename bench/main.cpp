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
