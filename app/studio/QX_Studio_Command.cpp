#include "app/studio/QX_Studio_Command.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

namespace {

/// Loads the scene into the engine; false after printing why not.
bool LoadScene(Engine& engine, const std::string& scene, const char* command) {
    try {
        engine.Load(scene);
        return true;
    } catch (const App::InputError& e) {
        std::cerr << command << ": " << e.what() << "\n";
        return false;
    }
}

/// Serves the engine's scene until the engine stops (a signal, or `started`'s own thread).
/// `started` runs once the server listens. Returns 1 when the server cannot start, else 0.
int Serve(Engine& engine, const ServerOptions& options, const char* command,
          const std::function<void(Server&)>& started) {
    sigset_t signals;
    std::thread waiter = StopOnSignal(engine, signals);
    int status = 0;
    try {
        Server http(engine, options);
        started(http);
        engine.Run();
    } catch (const StudioError& e) {
        std::cerr << command << ": " << e.what() << "\n";
        engine.Stop();
        status = 1;
    }
    EndSignalThread(waiter);
    return status;
}

} // namespace

int CommandStudio(const StudioOptions& options) {
    Engine engine(StartHost());
    if (!LoadScene(engine, options.scene, "quarix studio"))
        return 1;
    ServerOptions server;
    server.host = options.host;
    server.port = options.port;
    server.webRoot = WebRoot();
    if (options.host != "127.0.0.1")
        server.token = NewToken();
    return Serve(engine, server, "quarix studio", [](Server& http) {
        std::cout << "Quarix studio: " << http.Url() << "  (Ctrl+C stops)" << std::endl;
    });
}

int CommandRender(const RenderOptions& options) {
    std::string error;
    if (!App::CheckWritable(options.out, error)) {
        std::cerr << "quarix render: " << error << "\n";
        return 1;
    }
    Engine engine(StartHost());
    if (!LoadScene(engine, options.scene, "quarix render"))
        return 1;
    const std::shared_ptr<const Snapshot> loaded = engine.Published();
    const nlohmann::json& tree = loaded->tree;
    for (int f : options.frames) {
        if (f < tree["start"].get<int>() || f > tree["end"].get<int>()) {
            std::cerr << "quarix render: frame " << f << " is outside the scene's range "
                      << tree["start"] << ".." << tree["end"] << "\n";
            return 1;
        }
    }
    if (!engine.SimulateIfEmpty())
        std::cerr << "quarix render: nothing to simulate; rendering the scene as it is\n";
    ServerOptions server;
    server.webRoot = WebRoot();
    int browserStatus = 0;
    std::thread browser;
    std::string frames;
    for (int f : options.frames)
        frames += (frames.empty() ? "" : ",") + std::to_string(f);
    int status = Serve(engine, server, "quarix render", [&](Server& http) {
        browser = std::thread([&, url = http.Url()] {
            browserStatus =
                RunChild({"node", ScriptsFolder() + "/render.mjs", url, frames, options.out,
                          std::to_string(options.width) + "x" + std::to_string(options.height)});
            engine.Stop();
        });
    });
    if (browser.joinable())
        browser.join();
    status = status ? status : browserStatus;
    if (status == 0)
        std::cout << "written: " << options.out << "\n";
    return status;
}

} // namespace Quarix::Studio
