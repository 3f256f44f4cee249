#include "app/studio/QX_Studio_Request.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <system_error>

namespace Quarix::Studio {

using nlohmann::json;

json ParseJsonObject(const std::string& body) {
    json j;
    try {
        j = json::parse(body);
    } catch (const json::parse_error& e) {
        throw StudioError(400, "malformed JSON body at byte " + std::to_string(e.byte));
    }
    if (!j.is_object())
        throw StudioError(400, std::string("the body must be a JSON object, not ") + j.type_name());
    return j;
}

namespace {

const json& Field(const json& obj, const char* key) {
    const auto it = obj.find(key);
    if (it == obj.end())
        throw StudioError(400, std::string("missing field \"") + key + "\"");
    return *it;
}

} // namespace

int RequireInt(const json& obj, const char* key, int lo, int hi) {
    const json& v = Field(obj, key);
    if (!v.is_number_integer())
        throw StudioError(400, std::string("\"") + key + "\" must be an integer, not " + v.dump());
    const long long value = v.get<long long>();
    if (value < lo || value > hi)
        throw StudioError(422, std::string("\"") + key + "\" = " + std::to_string(value) +
                                   " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    return int(value);
}

double RequireNumber(const json& obj, const char* key) {
    const json& v = Field(obj, key);
    if (!v.is_number() || !std::isfinite(v.get<double>()))
        throw StudioError(400,
                          std::string("\"") + key + "\" must be a finite number, not " + v.dump());
    return v.get<double>();
}

std::string RequireString(const json& obj, const char* key) {
    const json& v = Field(obj, key);
    if (!v.is_string())
        throw StudioError(400, std::string("\"") + key + "\" must be a string, not " + v.dump());
    return v.get<std::string>();
}

int ParseIntParam(const std::string& text, const char* name, int lo, int hi) {
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    const bool digits = i < text.size() && text.size() - i <= 10 &&
                        text.find_first_not_of("0123456789", i) == std::string::npos;
    if (!digits)
        throw StudioError(400, std::string("parameter \"") + name +
                                   "\" must be an integer, not \"" + text + "\"");
    const long long value = std::stoll(text);
    if (value < lo || value > hi)
        throw StudioError(422, std::string("parameter \"") + name + "\" = " + text +
                                   " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    return int(value);
}

int ModeRequest(const std::string& mode) {
    static const char* const kModes[] = {"range", "loop", "quiet", "relax", "extend"};
    for (int i = 0; i < 5; ++i)
        if (mode == kModes[i])
            return i;
    if (mode == "stop")
        return -1;
    throw StudioError(400,
                      "unknown mode \"" + mode + "\" (range, loop, quiet, relax, extend or stop)");
}

std::filesystem::path ResolveStaticPath(const std::filesystem::path& root,
                                        const std::string& urlPath) {
    if (urlPath.empty() || urlPath[0] != '/' || urlPath.find('\0') != std::string::npos ||
        urlPath.find('\\') != std::string::npos)
        throw StudioError(403, "refused path \"" + urlPath + "\"");
    const std::filesystem::path relative =
        std::filesystem::path(urlPath.substr(1)).lexically_normal();
    for (const auto& part : relative)
        if (part == "..")
            throw StudioError(403, "refused path \"" + urlPath + "\": outside the web root");
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::canonical(root, ec);
    if (ec)
        throw StudioError(404, "no web root at " + root.string());
    std::filesystem::path file = base / relative;
    if (urlPath.back() == '/' || relative.empty() || relative == ".")
        file /= "index.html";
    const std::filesystem::path real = std::filesystem::canonical(file, ec);
    if (ec || !std::filesystem::is_regular_file(real))
        throw StudioError(404, "no file \"" + urlPath + "\"");
    // A symbolic link inside the root may still point elsewhere.
    const auto [rootEnd, fileIt] =
        std::mismatch(base.begin(), base.end(), real.begin(), real.end());
    if (rootEnd != base.end())
        throw StudioError(403, "refused path \"" + urlPath + "\": outside the web root");
    return real;
}

bool TokenMatches(const std::string& expected, const std::string& given) {
    if (expected.empty())
        return true;
    unsigned diff = expected.size() == given.size() ? 0u : 1u;
    for (size_t i = 0; i < expected.size(); ++i)
        diff |= unsigned(expected[i]) ^ unsigned(i < given.size() ? given[i] : 0);
    return diff == 0;
}

std::string NewToken() {
    std::random_device device;
    std::string token;
    char hex[9];
    for (int i = 0; i < 4; ++i) {
        std::snprintf(hex, sizeof hex, "%08x", unsigned(device()));
        token += hex;
    }
    return token;
}

const char* ContentTypeOf(const std::filesystem::path& file) {
    const std::string ext = file.extension().string();
    if (ext == ".html")
        return "text/html; charset=utf-8";
    if (ext == ".js" || ext == ".mjs")
        return "text/javascript; charset=utf-8";
    if (ext == ".css")
        return "text/css; charset=utf-8";
    if (ext == ".json")
        return "application/json";
    if (ext == ".png")
        return "image/png";
    if (ext == ".svg")
        return "image/svg+xml";
    return "application/octet-stream";
}

} // namespace Quarix::Studio
