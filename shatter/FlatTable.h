#pragma once
// A small open-addressing hash table from keys to ints for the clipper's per-cut caches. It is
// emptied in constant time (entries of an older generation count as free) and keeps its memory
// between cuts, so a cut allocates nothing once the table has grown.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Quarix::Shatter {

/// Hash of 64-bit keys (packed index pairs) that spreads neighbouring values over the table.
struct Hash64 {
    std::size_t operator()(std::uint64_t k) const {
        k ^= k >> 31;
        k *= 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(k ^ (k >> 29));
    }
};

/// Key must be default-constructible and equality-comparable; Hash a callable giving a
/// well-mixed std::size_t.
template <class Key, class Hash>
class FlatTable {
public:
    /// Empties the table, sized for about `expected` entries (it grows as needed).
    void Reset(std::size_t expected) {
        std::size_t wanted = kMinSlots;
        while (wanted < 2 * expected)
            wanted <<= 1;
        // A table far bigger than needed would scatter a small cut's entries over memory.
        if (slots_.size() < wanted || slots_.size() > 8 * wanted) {
            slots_.assign(wanted, Slot{});
            generation_ = 0;
        }
        if (++generation_ == 0) { // wrapped: every old stamp could look current
            for (Slot& s : slots_)
                s.generation = 0;
            generation_ = 1;
        }
        count_ = 0;
    }

    /// The value stored for `key`; a new entry (value 0, `inserted` true) when there is none.
    int& FindOrInsert(const Key& key, bool& inserted) {
        if (2 * (count_ + 1) > slots_.size())
            Grow();
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = Hash{}(key)&mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.generation != generation_) {
                s = Slot{key, 0, generation_};
                ++count_;
                inserted = true;
                return s.value;
            }
            if (s.key == key) {
                inserted = false;
                return s.value;
            }
        }
    }

private:
    static constexpr std::size_t kMinSlots = 64;
    struct Slot {
        Key key{};
        int value = 0;
        std::uint32_t generation = 0;
    };

    void Grow() {
        std::vector<Slot> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? kMinSlots : 2 * old.size(), Slot{});
        const std::uint32_t live = generation_;
        generation_ = 1;
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.generation != live)
                continue;
            std::size_t i = Hash{}(s.key) & mask;
            while (slots_[i].generation == generation_)
                i = (i + 1) & mask;
            slots_[i] = Slot{s.key, s.value, generation_};
        }
    }

    std::vector<Slot> slots_;
    std::uint32_t generation_ = 0;
    std::size_t count_ = 0;
};

} // namespace Quarix::Shatter
