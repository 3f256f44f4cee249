#pragma once

#include <chrono>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>

namespace Quarix::Bench {

/// Builds one flat JSON object, field by field, in insertion order.
class JsonObject {
public:
    /// Adds a string field; the value is escaped for quotes and backslashes.
    JsonObject& add(const std::string& key, const std::string& value);
    /// Adds a numeric field, written with enough digits to round-trip a double.
    JsonObject& add(const std::string& key, double value);
    /// Adds an integer field.
    JsonObject& add(const std::string& key, long long value);
    /// Adds a field whose value is already valid JSON (an array or nested object).
    JsonObject& addRaw(const std::string& key, const std::string& json);
    /// The object as one line of JSON.
    std::string str() const { return "{" + body_ + "}"; }

private:
    void key(const std::string& k);
    std::string body_;
};

/// Wall-clock stopwatch in milliseconds on the steady clock.
class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    /// Milliseconds since construction or the last restart.
    double ms() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
            .count();
    }
    void restart() { start_ = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::time_point start_;
};

/// CPU time of the calling thread in milliseconds: on a shared machine it counts the work done,
/// not the time spent waiting for a core.
class CpuStopwatch {
public:
    CpuStopwatch() : start_(Now()) {}
    /// Milliseconds of this thread's CPU time since construction.
    double ms() const { return Now() - start_; }

private:
    static double Now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
    }
    double start_;
};

/// Peak resident set size of this process in megabytes (from /proc/self/status), 0 if unknown.
double PeakRssMb();

/// A benchmark: runs its scene, may print progress lines, and returns its one JSON result object.
using BenchFunction = std::string (*)();

} // namespace Quarix::Bench
