// quarix: the command-line tool.
//
//   quarix run SCENE [--frames N] [--mode range|quiet|relax] [--save OUT] [--gltf OUT.glb]
//                    [--bake] [--hash] [--json]
//   quarix export SAVED --gltf OUT.glb
//   quarix info FILE
//   quarix demo [--frames N] [--out FILE]

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "app/QX_Commands.h"
#include "app/QX_Demo_Scene.h"
#include "app/QX_Gltf_Export.h"
#include "app/QX_Run.h"

namespace {

using namespace Quarix;

/// Upper bound on the frames of one command: keeps a typo from running for days.
constexpr int kMaxFrames = 100000;

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

/// The built-in demo, still driven through the physics core directly.
int RunDemo(int frames, const std::string& out) {
    std::string error;
    if (!App::CheckWritable(out, error)) {
        std::cerr << "quarix demo: " << error << "\n";
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
    CLI::App cli{"quarix: rigid-body simulation and demolition of scenes, through the host and "
                 "the Quarix Rigid plug-in"};
    cli.require_subcommand(1);

    App::RunOptions run;
    int runFrames = 0;
    CLI::App* runCmd = cli.add_subcommand("run", "simulate a scene (JSON description or saved)");
    runCmd->add_option("scene", run.scene, "scene file")->required();
    CLI::Option* framesOpt = runCmd->add_option("--frames", runFrames, "frames to simulate")
                                 ->check(CLI::Range(1, kMaxFrames));
    runCmd->add_option("--mode", run.mode, "range, quiet or relax")
        ->check(CLI::IsMember({"range", "quiet", "relax"}));
    runCmd->add_option("--save", run.saveOut, "write the scene with its results");
    runCmd->add_option("--gltf", run.gltfOut, "write a .glb of the result");
    runCmd->add_flag("--bake", run.bake, "bake every simulated object before saving/exporting");
    runCmd->add_flag("--hash", run.hash, "print a hash of every recorded body state");
    runCmd->add_flag("--json", run.json, "print a machine-readable summary as the last line");

    std::string exportIn, exportOut;
    CLI::App* exportCmd = cli.add_subcommand("export", "play back a saved scene into a .glb");
    exportCmd->add_option("saved", exportIn, "saved scene file")->required();
    exportCmd->add_option("--gltf", exportOut, "output .glb")->required();

    std::string infoIn;
    CLI::App* infoCmd = cli.add_subcommand("info", "describe a scene file");
    infoCmd->add_option("file", infoIn, "scene file (JSON description or saved)")->required();

    int demoFrames = 100;
    std::string demoOut = "quarix-demo.glb";
    CLI::App* demoCmd = cli.add_subcommand("demo", "simulate the demo scene, write a .glb");
    demoCmd->add_option("--frames", demoFrames, "frames to simulate")
        ->check(CLI::Range(1, kMaxFrames));
    demoCmd->add_option("--out", demoOut, "output .glb");

    CLI11_PARSE(cli, argc, argv);
    if (runCmd->parsed()) {
        if (framesOpt->count())
            run.frames = runFrames;
        run.terminal = isatty(fileno(stderr));
        return App::CommandRun(run);
    }
    if (exportCmd->parsed())
        return App::CommandExport(exportIn, exportOut);
    if (infoCmd->parsed())
        return App::CommandInfo(infoIn);
    return RunDemo(demoFrames, demoOut);
}
