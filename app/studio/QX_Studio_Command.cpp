#include "app/studio/QX_Studio_Command.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <pthread.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/QX_Commands.h"
#include "app/QX_Mesh_Sources.h"
#include "app/QX_Session.h"
#include "app/studio/QX_Studio_Engine.h"
#include "app/studio/QX_Studio_Request.h"
#include "app/studio/QX_Studio_Server.h"
#include "host/Interface.h"

namespace Quarix::Studio {

namespace {

std::string EnvOr(const char* name, const char* fallback) {
    const char* env = std::getenv(name);
    return env && *env ? env : fallback;
}

/// The host with the plug-in loaded; module refusals are shown, not fatal.
Interface& StartHost() {
    Interface& ip = *GetCOREInterface();
    std::vector<std::string> errors;
    App::LoadPlugins(ip, App::PluginFolder(), errors);
    for (const std::string& e : errors)
        std::cerr << "quarix: warning: " << e << "\n";
    return ip;
}

/// Blocks SIGINT and SIGTERM in this thread and every thread it starts later, and waits for
/// them on a thread of its own, which stops the engine.
std::thread StopOnSignal(Engine& engine, sigset_t& signals) {
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return std::thread([&engine, &signals] {
        int sig = 0;
        sigwait(&signals, &sig);
        engine.Stop();
    });
}

/// Wakes the signal thread when the engine stopped for another reason.
void EndSignalThread(std::thread& waiter) {
    pthread_kill(waiter.native_handle(), SIGUSR1);
    waiter.join();
}

/// Runs `argv` and waits; the child's exit status, or 127 when it cannot start.
int RunChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        pthread_sigmask(SIG_SETMASK, &none, nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0)
        return 127;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

} // namespace

std::string WebRoot() {
    return EnvOr("QUARIX_STUDIO_WEB", QX_STUDIO_DIR "/web");
}

std::string ScriptsFolder() {
    return EnvOr("QUARIX_STUDIO", QX_STUDIO_DIR);
}

int CommandStudio(const StudioOptions& options) {
    Interface& ip = StartHost();
    Engine engine(ip);
    try {
        engine.Load(options.scene);
    } catch (const App::InputError& e) {
        std::cerr << "quarix studio: " << e.what() << "\n";
        return 1;
    }
    sigset_t signals;
    std::thread waiter = StopOnSignal(engine, signals);
    int status = 0;
    try {
        ServerOptions server;
        server.host = options.host;
        server.port = options.port;
        server.webRoot = WebRoot();
        if (options.host != "127.0.0.1")
            server.token = NewToken();
        Server http(engine, server);
        std::cout << "Quarix studio: " << http.Url() << "  (Ctrl+C stops)" << std::endl;
        engine.Run();
    } catch (const StudioError& e) {
        std::cerr << "quarix studio: " << e.what() << "\n";
        engine.Stop();
        status = 1;
    }
    EndSignalThread(waiter);
    return status;
}

int CommandRender(const RenderOptions& options) {
    std::string error;
    if (!App::CheckWritable(options.out, error)) {
        std::cerr << "quarix render: " << error << "\n";
        return 1;
    }
    Interface& ip = StartHost();
    Engine engine(ip);
    try {
        engine.Load(options.scene);
    } catch (const App::InputError& e) {
        std::cerr << "quarix render: " << e.what() << "\n";
        return 1;
    }
    const nlohmann::json& tree = engine.Published()->tree;
    for (int f : options.frames) {
        if (f < tree["start"].get<int>() || f > tree["end"].get<int>()) {
            std::cerr << "quarix render: frame " << f << " is outside the scene's range "
                      << tree["start"] << ".." << tree["end"] << "\n";
            return 1;
        }
    }
    if (!engine.SimulateIfEmpty())
        std::cerr << "quarix render: nothing to simulate; rendering the scene as it is\n";
    sigset_t signals;
    std::thread waiter = StopOnSignal(engine, signals);
    int status = 0;
    try {
        ServerOptions serverOptions;
        serverOptions.webRoot = WebRoot();
        Server http(engine, serverOptions);
        std::string frames;
        for (int f : options.frames)
            frames += (frames.empty() ? "" : ",") + std::to_string(f);
        std::thread browser([&] {
            status =
                RunChild({"node", ScriptsFolder() + "/render.mjs", http.Url(), frames, options.out,
                          std::to_string(options.width) + "x" + std::to_string(options.height)});
            engine.Stop();
        });
        engine.Run();
        browser.join();
    } catch (const StudioError& e) {
        std::cerr << "quarix render: " << e.what() << "\n";
        engine.Stop();
        status = 1;
    }
    EndSignalThread(waiter);
    if (status == 0)
        std::cout << "written: " << options.out << "\n";
    return status;
}

} // namespace Quarix::Studio
