#pragma once

#include <string>

/// Every benchmark the bench tool can run. Each returns its one-line JSON result.
namespace Quarix::Bench {

/// Splits a welded mesh of 100,000 triangles (1,000 closed elements) with ExtractElements.
std::string ElementsBench100k();

} // namespace Quarix::Bench
