#pragma once

// Decompositions an object core has already computed. HACD is by far the slowest step of a
// rebuild (about a second for a thousand triangles), and most rebuilds (a new Fraction Type or
// seed, a moved node, a loaded scene) leave the elements as they were.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "core/QX_BT_Mesh_Data.h"
#include "core/QX_BT_Shape_Builder.h"

namespace Quarix {

/// Clusters of earlier decompositions keyed by the element's face corners (positions in list
/// order) and the preset. Holds at most `byteBudget` bytes of keys and clusters; the entry used
/// longest ago goes first. Safe to share between threads building one object's shapes.
class QX_BT_Decomposition_Cache {
public:
    /// Default budget: 64 MiB, room for the decompositions of some 300,000 element triangles.
    static constexpr size_t kDefaultByteBudget = size_t(64) << 20;

    explicit QX_BT_Decomposition_Cache(size_t byteBudget = kDefaultByteBudget)
        : budget_(byteBudget) {}

    /// The decomposition of the listed faces with the fine (`high`) or coarse preset: the stored
    /// one when the same corners were decomposed with the same preset before, else a new one
    /// from DecomposeFaceSet, which is then stored. Input rules are DecomposeFaceSet's.
    std::vector<QX_BT_Hull_Cluster> decompose(const std::vector<float>& vertices,
                                              const std::vector<int32_t>& faces,
                                              const QX_BT_Face_List& list, bool high);

    /// Number of decompositions actually computed (not answered from the cache) so far.
    size_t computed() const;
    /// Bytes held by keys and clusters.
    size_t bytes() const;
    /// Drops every entry.
    void clear();

private:
    struct Entry {
        bool high = false;
        std::vector<float> corners;
        std::vector<QX_BT_Hull_Cluster> clusters;
        uint64_t lastUse = 0;
        size_t bytes = 0;
    };
    using Map = std::unordered_multimap<uint64_t, Entry>;

    Map::iterator find(uint64_t hash, bool high, const std::vector<float>& corners);
    void evictUntil(size_t room);

    mutable std::mutex mutex_;
    Map entries_;
    size_t budget_;
    size_t bytes_ = 0;
    size_t computed_ = 0;
    uint64_t clock_ = 0;
};

} // namespace Quarix
