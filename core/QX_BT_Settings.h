#pragma once

// Keyed settings tables: the only way settings travel from the scene into the cores. Each entry
// remembers whether its value changed since the flags were last cleared, which is how the world
// decides that a simulation must start over.

#include <array>
#include <cmath>
#include <cstdint>
#include <map>

namespace Quarix {

/// Four floats (x, y, z and a fourth component the core does not read).
using QX_BT_Vector4 = std::array<float, 4>;

/// One setting: its value and whether it changed since the flags were last cleared.
template <typename T>
struct SettingEntry {
    T value{};
    uint8_t changed = 0;
};

namespace Detail {

inline bool SettingDiffers(int32_t a, int32_t b) {
    return a != b;
}
// NaN never equals anything, itself included, so a NaN on either side always counts as a change.
inline bool SettingDiffers(float a, float b) {
    return !(a == b) || std::isnan(a) || std::isnan(b);
}
inline bool SettingDiffers(const QX_BT_Vector4& a, const QX_BT_Vector4& b) {
    for (size_t i = 0; i < 4; ++i) {
        if (SettingDiffers(a[i], b[i]))
            return true;
    }
    return false;
}

} // namespace Detail

/// A setting key: its number in the table of values of type T and the value it holds in a new
/// core (also what a read gives while the key is absent). Keys of one table type cannot be used
/// with a table of another.
template <typename T>
struct QX_BT_Setting_Key {
    int32_t id;
    T initial;
};

using QX_BT_Int_Key = QX_BT_Setting_Key<int32_t>;
using QX_BT_Float_Key = QX_BT_Setting_Key<float>;
using QX_BT_Vector_Key = QX_BT_Setting_Key<QX_BT_Vector4>;

/// An ordered table from an integer key to a setting entry. Reading never changes the table, so
/// what is saved is exactly what was written.
template <typename T>
class QX_BT_Setting_Table {
public:
    using Entries = std::map<int32_t, SettingEntry<T>>;
    using Key = QX_BT_Setting_Key<T>;

    /// Stores `value` at key number `key`; marks the entry changed when it is new or the value
    /// differs. For callers that push whole parameter tables by key number.
    void set(int32_t key, const T& value) {
        auto [it, inserted] = entries_.try_emplace(key);
        if (inserted || Detail::SettingDiffers(it->second.value, value))
            it->second.changed = 1;
        it->second.value = value;
    }
    /// Stores `value` at `key` (as above).
    void set(const Key& key, const T& value) { set(key.id, value); }
    /// Stores `value` and clears the changed flag (marks written by the cores themselves).
    void setQuiet(const Key& key, const T& value) {
        SettingEntry<T>& e = entries_[key.id];
        e.value = value;
        e.changed = 0;
    }
    /// The value at `key`; the key's initial value while it is absent (the table is unchanged).
    T get(const Key& key) const {
        auto it = entries_.find(key.id);
        return it == entries_.end() ? key.initial : it->second.value;
    }
    /// The entry at key number `key`; null when absent.
    const SettingEntry<T>* find(int32_t key) const {
        auto it = entries_.find(key);
        return it == entries_.end() ? nullptr : &it->second;
    }
    /// Whether the entry at `key` is present and marked changed.
    bool changed(const Key& key) const {
        const SettingEntry<T>* e = find(key.id);
        return e && e->changed != 0;
    }
    /// Whether any entry is marked changed.
    bool anyChanged() const {
        for (const auto& [key, entry] : entries_) {
            if (entry.changed)
                return true;
        }
        return false;
    }
    /// Clears every changed flag.
    void clearChanged() {
        for (auto& [key, entry] : entries_)
            entry.changed = 0;
    }
    /// Replaces the whole table (loading); every entry comes in with its flag clear.
    void assign(const std::map<int32_t, T>& values) {
        entries_.clear();
        for (const auto& [key, value] : values)
            entries_[key] = SettingEntry<T>{value, 0};
    }
    /// Writes every key of `keys` with its initial value through `set` (a new core).
    template <size_t N>
    void setInitial(const std::array<Key, N>& keys) {
        for (const Key& key : keys)
            set(key, key.initial);
    }
    const Entries& entries() const { return entries_; }

private:
    Entries entries_;
};

using QX_BT_Int_Settings = QX_BT_Setting_Table<int32_t>;
using QX_BT_Float_Settings = QX_BT_Setting_Table<float>;
using QX_BT_Vector_Settings = QX_BT_Setting_Table<QX_BT_Vector4>;

} // namespace Quarix
