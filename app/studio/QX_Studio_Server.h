#pragma once
// The studio's HTTP side: static files of the page and the JSON/binary API over an Engine.
// Handlers run on the server's threads: they validate, then either read the engine's published
// snapshot or queue a job for the host thread and wait for its answer. They never touch the
// scene themselves.

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace Quarix::Studio {

class Engine;

/// Where and how to listen.
struct ServerOptions {
    /// Address to bind; anything but 127.0.0.1 requires `token`.
    std::string host = "127.0.0.1";
    /// 0 picks a free port.
    int port = 0;
    /// Required on every request (query "token", header "X-Quarix-Token" or the cookie the page
    /// gets); empty: none.
    std::string token;
    /// The page's files.
    std::filesystem::path webRoot;
};

/// An HTTP server on its own thread.
class Server {
public:
    /// Binds at once. Throws StudioError 500 (with the address) when the port cannot be bound.
    Server(Engine& engine, const ServerOptions& options);
    /// Stops listening and joins the thread.
    ~Server();

    /// The bound port.
    int Port() const { return m_port; }
    /// The page's address, with the token when one is required.
    std::string Url() const;

private:
    void Routes();

    Engine& m_engine;
    ServerOptions m_options;
    std::unique_ptr<httplib::Server> m_http;
    int m_port = 0;
    std::thread m_thread;
};

} // namespace Quarix::Studio
