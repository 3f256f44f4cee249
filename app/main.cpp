// quarix: the command-line tool.
//
//   quarix demo [--frames N] [--out FILE]   simulate the built-in scene and write a .glb

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

#include "app/QX_Demo_Scene.h"
#include "app/QX_Gltf_Export.h"
#include "app/QX_Run.h"

namespace {

using namespace Quarix;

/// Upper bound on the frames of one command: keeps a typo from running for days.
constexpr int kMaxFrames = 100000;

void PrintUsage(std::ostream& out) {
    out << "usage: quarix demo [--frames N] [--out FILE]\n"
           "\n"
           "  demo    simulate the built-in scene (a brick wall hit by a heavy ball) and write\n"
           "          the recorded motion as a binary glTF file with one animated node per body\n"
           "\n"
           "options:\n"
           "  --frames N   frames to simulate (1.."
        << kMaxFrames
        << ", default 100)\n"
           "  --out FILE   output file (default quarix-demo.glb)\n";
}

bool ParseFrames(const std::string& text, int& frames) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > kMaxFrames)
        return false;
    frames = int(value);
    return true;
}

// A one-line progress bar, redrawn in place on a terminal and printed sparsely otherwise.
void ShowProgress(int done, int total) {
    const bool terminal = isatty(fileno(stderr));
    if (!terminal && done != total && done % 25 != 0)
        return;
    constexpr int kWidth = 40;
    const int filled = total > 0 ? done * kWidth / total : kWidth;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kWidth - filled), '.');
    std::fprintf(stderr, "%s[%s] %d/%d frames", terminal ? "\r" : "", bar.c_str(), done, total);
    if (!terminal || done == total)
        std::fprintf(stderr, "\n");
}

int RunDemo(int argc, char** argv) {
    int frames = 100;
    std::string out = "quarix-demo.glb";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            if (!ParseFrames(argv[++i], frames)) {
                std::cerr << "quarix demo: --frames wants a whole number from 1 to " << kMaxFrames
                          << ", got '" << argv[i] << "'\n";
                return 2;
            }
        } else if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else {
            std::cerr << "quarix demo: unknown or incomplete option '" << arg << "'\n";
            PrintUsage(std::cerr);
            return 2;
        }
    }

    // Refuse an unwritable output before spending time on the simulation.
    if (FILE* probe = std::fopen((out + ".part").c_str(), "wb")) {
        std::fclose(probe);
        std::remove((out + ".part").c_str());
    } else {
        std::cerr << "quarix demo: cannot write '" << out << "': " << std::strerror(errno) << "\n";
        return 1;
    }

    std::unique_ptr<App::Scene> scene = App::MakeDemoScene();
    // Every brick is a closed box of 12 triangles.
    const size_t bricks = scene->objects[0]->core->inputMesh.faceCount() / 12;
    std::cout << "Simulating the demo scene: a wall of " << bricks << " bricks and a heavy ball, "
              << frames << " frames" << std::endl;
    const App::RunSummary summary = App::RunScene(*scene, frames, ShowProgress);

    std::vector<App::GltfObject> objects;
    const glm::vec3 colours[] = {{0.72f, 0.33f, 0.22f}, {0.25f, 0.3f, 0.35f}};
    for (size_t i = 0; i < scene->objects.size(); ++i)
        objects.push_back({scene->objects[i]->core.get(), scene->names[i], colours[i % 2]});
    App::GltfOptions options;
    options.frames = frames;
    options.frameRate = App::kSceneFrameRate;
    std::string error;
    if (!App::ExportGltf(objects, options, out, error)) {
        std::cerr << "quarix demo: " << error << "\n";
        return 1;
    }
    std::printf("bodies: %d alive at the end (%d made)\nframes: %d\nms per frame: %.2f\n"
                "written: %s\n",
                summary.bodiesAlive, summary.bodiesTotal, summary.frames, summary.msPerFrame(),
                out.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "help" || std::string(argv[1]) == "--help") {
        PrintUsage(std::cout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    if (command == "demo")
        return RunDemo(argc, argv);
    std::cerr << "quarix: unknown command '" << command << "'\n";
    PrintUsage(std::cerr);
    return 2;
}
