#include "app/studio/QX_Studio_Server.h"

#include <fstream>
#include <sstream>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "app/studio/QX_Studio_Engine.h"
#include "app/studio/QX_Studio_Request.h"

namespace Quarix::Studio {

using nlohmann::json;

namespace {

/// Longest range of frames one request may ask for.
constexpr int kMaxFramesPerRequest = 1000;
constexpr int kMaxHandle = 0x7fffffff;

void SendError(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(json{{"error", message}}.dump(), "application/json");
}

void SendJson(httplib::Response& res, const json& j) {
    res.set_content(j.dump(), "application/json");
}

/// A query parameter that must be present.
std::string Param(const httplib::Request& req, const char* name) {
    if (!req.has_param(name))
        throw StudioError(400, std::string("missing parameter \"") + name + "\"");
    return req.get_param_value(name);
}

/// The token a request carries: query, header, or the page's cookie.
std::string TokenOf(const httplib::Request& req) {
    if (req.has_param("token"))
        return req.get_param_value("token");
    if (req.has_header("X-Quarix-Token"))
        return req.get_header_value("X-Quarix-Token");
    const std::string cookies = req.get_header_value("Cookie");
    const std::string key = "quarix_token=";
    for (size_t at = cookies.find(key); at != std::string::npos; at = cookies.find(key, at + 1)) {
        if (at == 0 || cookies[at - 1] == ' ' || cookies[at - 1] == ';') {
            const size_t end = cookies.find(';', at);
            return cookies.substr(at + key.size(),
                                  end == std::string::npos ? end : end - at - key.size());
        }
    }
    return {};
}

/// Wraps a handler: StudioError becomes its status and message, anything else a 500.
httplib::Server::Handler Guard(std::function<void(const httplib::Request&, httplib::Response&)> f) {
    return [f = std::move(f)](const httplib::Request& req, httplib::Response& res) {
        try {
            f(req, res);
        } catch (const StudioError& e) {
            SendError(res, e.status(), e.what());
        } catch (const std::exception& e) {
            SendError(res, 500, e.what());
        }
    };
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

Server::Server(Engine& engine, const ServerOptions& options)
    : m_engine(engine), m_options(options), m_http(std::make_unique<httplib::Server>()) {
    Routes();
    m_port = options.port == 0
                 ? m_http->bind_to_any_port(options.host)
                 : (m_http->bind_to_port(options.host, options.port) ? options.port : -1);
    if (m_port <= 0)
        throw StudioError(500,
                          "cannot listen on " + options.host + ":" + std::to_string(options.port));
    m_thread = std::thread([this] { m_http->listen_after_bind(); });
}

Server::~Server() {
    m_http->stop();
    if (m_thread.joinable())
        m_thread.join();
}

std::string Server::Url() const {
    std::string url = "http://" + m_options.host + ":" + std::to_string(m_port) + "/";
    return m_options.token.empty() ? url : url + "?token=" + m_options.token;
}

void Server::Routes() {
    httplib::Server& http = *m_http;
    Engine& engine = m_engine;

    http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (TokenMatches(m_options.token, TokenOf(req)))
            return httplib::Server::HandlerResponse::Unhandled;
        SendError(res, 403, "this studio needs the token of its address");
        return httplib::Server::HandlerResponse::Handled;
    });

    // --- reading: the published snapshot ----------------------------------------------------
    http.Get("/api/scene", Guard([&engine](const httplib::Request&, httplib::Response& res) {
                 SendJson(res, engine.Published()->tree);
             }));
    http.Get("/api/progress", Guard([&engine](const httplib::Request&, httplib::Response& res) {
                 SendJson(res, engine.Published()->progress);
             }));
    http.Get("/api/pieces", Guard([&engine](const httplib::Request&, httplib::Response& res) {
                 res.set_content(EncodePieces(*engine.Published()->pieces),
                                 "application/octet-stream");
             }));
    http.Get("/api/frames", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                 const auto snap = engine.Published();
                 const int first = snap->firstFrame;
                 const int last = first + int(snap->frames.size()) - 1;
                 const int from = ParseIntParam(Param(req, "from"), "from", first, last);
                 const int count = req.has_param("count")
                                       ? ParseIntParam(req.get_param_value("count"), "count", 1,
                                                       kMaxFramesPerRequest)
                                       : 1;
                 const auto begin = snap->frames.begin() + (from - first);
                 const auto end =
                     snap->frames.begin() + std::min(from - first + count, last - first + 1);
                 res.set_content(EncodeFrames({begin, end}, int(snap->pieces->pieces.size())),
                                 "application/octet-stream");
             }));
    http.Get("/api/mesh", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                 const auto node =
                     std::uint32_t(ParseIntParam(Param(req, "node"), "node", 0, kMaxHandle));
                 const int frame = ParseIntParam(Param(req, "frame"), "frame", -1000000, 1000000);
                 auto bytes = std::make_shared<std::string>();
                 engine.Call([=](Engine& e) {
                     *bytes = e.NodeMesh(node, frame);
                     return json();
                 });
                 res.set_content(*bytes, "application/octet-stream");
             }));

    // --- actions: queued for the host thread -------------------------------------------------
    http.Post("/api/time", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                  const int frame =
                      RequireInt(ParseJsonObject(req.body), "frame", -1000000, 1000000);
                  SendJson(res, engine.Call([=](Engine& e) { return e.SetFrame(frame); }));
              }));
    http.Post("/api/mode", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                  const int request = ModeRequest(RequireString(ParseJsonObject(req.body), "mode"));
                  SendJson(res, engine.Call([=](Engine& e) { return e.PressMode(request); }));
              }));
    http.Post("/api/list", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                  const json body = ParseJsonObject(req.body);
                  const std::string list = RequireString(body, "list");
                  const auto node = std::uint32_t(RequireInt(body, "node", 0, kMaxHandle));
                  SendJson(res, engine.Call([=](Engine& e) { return e.AddToList(list, node); }));
              }));
    http.Post("/api/bake", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                  const auto node =
                      std::uint32_t(RequireInt(ParseJsonObject(req.body), "node", 0, kMaxHandle));
                  SendJson(res, engine.Call([=](Engine& e) { return e.Bake(node); }));
              }));
    http.Post("/api/pick", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                  const json body = ParseJsonObject(req.body);
                  const long long node =
                      body.contains("node") ? RequireInt(body, "node", 0, kMaxHandle) : -1;
                  SendJson(res, engine.Call([=](Engine& e) { return e.Pick(node); }));
              }));
    http.Get("/api/rollouts", Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                 const auto node =
                     std::uint32_t(ParseIntParam(Param(req, "node"), "node", 0, kMaxHandle));
                 SendJson(res, engine.Call([=](Engine& e) { return e.Rollouts(node); }));
             }));
    http.Post("/api/rollouts/action",
              Guard([&engine](const httplib::Request& req, httplib::Response& res) {
                  const json action = ParseJsonObject(req.body);
                  SendJson(res, engine.Call([=](Engine& e) { return e.RolloutAction(action); }));
              }));

    // --- the page ---------------------------------------------------------------------------
    http.Get(".*", Guard([this](const httplib::Request& req, httplib::Response& res) {
                 const std::filesystem::path file = ResolveStaticPath(m_options.webRoot, req.path);
                 res.set_content(ReadFile(file), ContentTypeOf(file));
                 res.set_header("Cache-Control", "no-cache");
                 if (!m_options.token.empty() && req.has_param("token"))
                     res.set_header("Set-Cookie", "quarix_token=" + m_options.token +
                                                      "; Path=/; HttpOnly; SameSite=Strict");
             }));
}

} // namespace Quarix::Studio
