#include "core/QX_BT_Decomposition_Cache.h"

#include <cstring>

namespace Quarix {

namespace {

/// The listed faces' corner positions, nine floats per face in list order. Assumes the list
/// passed IsValidFaceSet.
std::vector<float> CornerPositions(const std::vector<float>& vertices,
                                   const std::vector<int32_t>& faces, const QX_BT_Face_List& list) {
    std::vector<float> corners;
    corners.reserve(9 * list.size());
    for (int32_t f : list) {
        for (int k = 0; k < 3; ++k) {
            const size_t v = 3 * static_cast<size_t>(faces[3 * static_cast<size_t>(f) + k]);
            corners.insert(corners.end(), {vertices[v], vertices[v + 1], vertices[v + 2]});
        }
    }
    return corners;
}

/// FNV-1a over the corners' bytes and the preset.
uint64_t HashCorners(const std::vector<float>& corners, bool high) {
    uint64_t h = 14695981039346656037ull;
    auto mix = [&h](unsigned char byte) {
        h ^= byte;
        h *= 1099511628211ull;
    };
    mix(high ? 1 : 0);
    const auto* bytes = reinterpret_cast<const unsigned char*>(corners.data());
    for (size_t i = 0; i < corners.size() * sizeof(float); ++i)
        mix(bytes[i]);
    return h;
}

size_t ClusterBytes(const std::vector<QX_BT_Hull_Cluster>& clusters) {
    size_t bytes = 0;
    for (const QX_BT_Hull_Cluster& c : clusters)
        bytes += sizeof(c) + c.vertices.size() * sizeof(float) + c.triangles.size() * 4;
    return bytes;
}

} // namespace

std::vector<QX_BT_Hull_Cluster>
QX_BT_Decomposition_Cache::decompose(const std::vector<float>& vertices,
                                     const std::vector<int32_t>& faces, const QX_BT_Face_List& list,
                                     bool high) {
    if (!IsValidFaceSet(vertices, faces, list))
        return {};
    std::vector<float> corners = CornerPositions(vertices, faces, list);
    const uint64_t hash = HashCorners(corners, high);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = find(hash, high, corners);
        if (it != entries_.end()) {
            it->second.lastUse = ++clock_;
            return it->second.clusters;
        }
    }

    std::vector<QX_BT_Hull_Cluster> clusters = DecomposeFaceSet(
        vertices, faces, list, high ? QX_BT_HACD_Settings::High() : QX_BT_HACD_Settings::Low());

    std::lock_guard<std::mutex> lock(mutex_);
    ++computed_;
    Entry entry;
    entry.bytes = sizeof(Entry) + corners.size() * sizeof(float) + ClusterBytes(clusters);
    if (entry.bytes > budget_ || find(hash, high, corners) != entries_.end())
        return clusters;
    evictUntil(entry.bytes);
    entry.high = high;
    entry.corners = std::move(corners);
    entry.clusters = clusters;
    entry.lastUse = ++clock_;
    bytes_ += entry.bytes;
    entries_.emplace(hash, std::move(entry));
    return clusters;
}

QX_BT_Decomposition_Cache::Map::iterator
QX_BT_Decomposition_Cache::find(uint64_t hash, bool high, const std::vector<float>& corners) {
    auto [first, last] = entries_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        const Entry& e = it->second;
        if (e.high == high && e.corners.size() == corners.size() &&
            std::memcmp(e.corners.data(), corners.data(), corners.size() * sizeof(float)) == 0)
            return it;
    }
    return entries_.end();
}

void QX_BT_Decomposition_Cache::evictUntil(size_t room) {
    while (!entries_.empty() && bytes_ + room > budget_) {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        }
        bytes_ -= oldest->second.bytes;
        entries_.erase(oldest);
    }
}

size_t QX_BT_Decomposition_Cache::computed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return computed_;
}

size_t QX_BT_Decomposition_Cache::bytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

void QX_BT_Decomposition_Cache::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    bytes_ = 0;
}

} // namespace Quarix
