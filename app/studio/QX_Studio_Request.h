#pragma once
// Validation of what arrives over HTTP, before anything reaches the scene: JSON bodies, numbers
// in query strings and bodies, mode names, static file paths and the access token. Every
// refusal is a StudioError with an HTTP status (4xx) and a message naming the field.

#include <filesystem>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace Quarix::Studio {

/// A refused request: `status` is the HTTP status to answer (400, 403, 404, 409, 422, 503...).
class StudioError : public std::runtime_error {
public:
    StudioError(int status, const std::string& message)
        : std::runtime_error(message), m_status(status) {}
    int status() const { return m_status; }

private:
    int m_status;
};

/// Parses a request body that must be one JSON object. Throws StudioError 400 naming the parse
/// position for malformed text, and for anything but an object.
nlohmann::json ParseJsonObject(const std::string& body);

/// The integer field `key` of `obj` within [lo, hi]. Throws StudioError 400 when it is missing or
/// not an integer (1.5, "3", true are refused), 422 when it lies outside the range.
int RequireInt(const nlohmann::json& obj, const char* key, int lo, int hi);
/// The finite number field `key` of `obj` (integers too). Throws StudioError 400 when missing,
/// not a number, or not finite.
double RequireNumber(const nlohmann::json& obj, const char* key);
/// The string field `key` of `obj`. Throws StudioError 400 when missing or not a string.
std::string RequireString(const nlohmann::json& obj, const char* key);

/// A decimal integer from a query string (optional sign, digits only) within [lo, hi]. `name`
/// names the parameter in the message. Throws StudioError 400 (not a number) or 422 (range).
int ParseIntParam(const std::string& text, const char* name, int lo, int hi);

/// The start request of a mode button's name ("range", "loop", "quiet", "relax", "extend"), or
/// -1 for "stop". Throws StudioError 400 for any other name.
int ModeRequest(const std::string& mode);

/// The file under `root` that a URL path names ("/" is index.html). Refuses (StudioError 403)
/// paths with "..", backslashes or NUL bytes and any path whose canonical form (symbolic links
/// followed) leaves the canonical root; 404 when no such regular file exists.
std::filesystem::path ResolveStaticPath(const std::filesystem::path& root,
                                        const std::string& urlPath);

/// Whether `given` equals `expected`, compared in time independent of where they differ.
/// An empty `expected` accepts everything (no token required).
bool TokenMatches(const std::string& expected, const std::string& given);

/// A fresh random token of 32 hexadecimal digits (from the system's random device).
std::string NewToken();

/// The Content-Type of a static file by its extension (application/octet-stream if unknown).
const char* ContentTypeOf(const std::filesystem::path& file);

} // namespace Quarix::Studio
