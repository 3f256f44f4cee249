// quarix: the command-line tool.
//
//   quarix run SCENE [--frames N] [--mode range|quiet|relax] [--save OUT] [--gltf OUT.glb]
//                    [--bake] [--hash] [--json]
//   quarix export SAVED --gltf OUT.glb
//   quarix info FILE
//   quarix demo [--frames N] [--out FILE]      run scenes/demo.json --gltf quarix-demo.glb
//   quarix studio SCENE [--port N] [--host ADDR]   the scene in a browser page
//   quarix render SCENE --frames 0,25,50,99 --out sheet.png

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "app/QX_Commands.h"
#include "app/studio/QX_Studio_Command.h"

namespace {

using namespace Quarix;

/// Upper bound on the frames of one command: keeps a typo from running for days.
constexpr int kMaxFrames = 100000;

/// The folder of the example scenes: $QUARIX_SCENES, else the source tree's scenes/.
std::string ScenesFolder() {
    const char* env = std::getenv("QUARIX_SCENES");
    return env && *env ? env : QX_SCENES_DIR;
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
    CLI::Option* demoFramesOpt = demoCmd->add_option("--frames", demoFrames, "frames to simulate")
                                     ->check(CLI::Range(1, kMaxFrames));
    demoCmd->add_option("--out", demoOut, "output .glb");

    Studio::StudioOptions studio;
    CLI::App* studioCmd = cli.add_subcommand("studio", "serve the scene in a browser page");
    studioCmd->add_option("scene", studio.scene, "scene file")->required();
    studioCmd->add_option("--port", studio.port, "port (0 picks a free one)")
        ->check(CLI::Range(0, 65535));
    studioCmd->add_option("--host", studio.host,
                          "address to bind; anything but 127.0.0.1 requires a token");

    Studio::RenderOptions render;
    CLI::App* renderCmd =
        cli.add_subcommand("render", "render frames through the studio page into a contact sheet");
    renderCmd->add_option("scene", render.scene, "scene file (JSON description or saved)")
        ->required();
    renderCmd->add_option("--frames", render.frames, "frames, e.g. 0,25,50,99")
        ->delimiter(',')
        ->required()
        ->check(CLI::Range(-kMaxFrames, kMaxFrames));
    renderCmd->add_option("--out", render.out, "output PNG")->required();

    CLI11_PARSE(cli, argc, argv);
    if (studioCmd->parsed())
        return Studio::CommandStudio(studio);
    if (renderCmd->parsed())
        return Studio::CommandRender(render);
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
    // The demo is `run scenes/demo.json --gltf quarix-demo.glb`.
    App::RunOptions demo;
    demo.scene = ScenesFolder() + "/demo.json";
    demo.gltfOut = demoOut;
    if (demoFramesOpt->count())
        demo.frames = demoFrames;
    demo.terminal = isatty(fileno(stderr));
    std::cout << "Simulating " << demo.scene
              << ": a wall of 195 bricks and a heavy ball, through the host and the plug-in"
              << std::endl;
    return App::CommandRun(demo);
}
