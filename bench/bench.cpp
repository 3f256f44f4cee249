#include "bench/bench.h"

#include <fstream>
#include <iomanip>
#include <limits>

namespace Quarix::Bench {

void JsonObject::key(const std::string& k) {
    if (!body_.empty())
        body_ += ", ";
    body_ += "\"" + k + "\": ";
}

JsonObject& JsonObject::add(const std::string& k, const std::string& value) {
    key(k);
    body_ += '"';
    for (char c : value) {
        if (c == '"' || c == '\\')
            body_ += '\\';
        body_ += c;
    }
    body_ += '"';
    return *this;
}

JsonObject& JsonObject::add(const std::string& k, double value) {
    key(k);
    std::ostringstream out;
    out << std::setprecision(std::numeric_limits<double>::max_digits10) << value;
    body_ += out.str();
    return *this;
}

JsonObject& JsonObject::add(const std::string& k, long long value) {
    key(k);
    body_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::addRaw(const std::string& k, const std::string& json) {
    key(k);
    body_ += json;
    return *this;
}

double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

} // namespace Quarix::Bench
