// studio_stream: the 1,000-brick wall simulated by `quarix studio` and played back in its page in
// headless Chromium (app/studio/bench_stream.mjs measures; this passes its JSON line on).
#include <array>
#include <cstdio>
#include <string>

#include "bench/benchmarks.h"

namespace Quarix::Bench {

std::string StudioStream() {
#ifndef QX_BENCH_QUARIX
    return R"({"benchmark": "studio_stream", "error": "built without the quarix tool"})";
#else
    const std::string command = std::string("QUARIX_PLUGINS=") + QX_BENCH_PLUGINS + " node " +
                                QX_BENCH_STUDIO + "/bench_stream.mjs " + QX_BENCH_QUARIX + " " +
                                QX_BENCH_SCENES + "/bench-wall1000.json 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return R"({"benchmark": "studio_stream", "error": "cannot start node"})";
    std::array<char, 4096> buffer{};
    std::string last;
    while (std::fgets(buffer.data(), int(buffer.size()), pipe))
        if (buffer[0] != '\n')
            last = buffer.data();
    const int status = pclose(pipe);
    while (!last.empty() && last.back() == '\n')
        last.pop_back();
    if (last.empty() || last[0] != '{')
        return "{\"benchmark\": \"studio_stream\", \"error\": \"bench_stream.mjs failed (status " +
               std::to_string(status) + ")\"}";
    return last;
#endif
}

} // namespace Quarix::Bench
