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

/// An ordered table from an integer key to a setting entry.
template <typename T>
class QX_BT_Setting_Table {
public:
    using Entries = std::map<int32_t, SettingEntry<T>>;

    /// Stores `value`; marks the entry changed when it is new or the value differs.
    void set(int32_t key, const T& value) {
        auto [it, inserted] = entries_.try_emplace(key);
        if (inserted || Detail::SettingDiffers(it->second.value, value))
            it->second.changed = 1;
        it->second.value = value;
    }
    /// Stores `value` and clears the changed flag (marks written by the cores themselves).
    void setQuiet(int32_t key, const T& value) {
        SettingEntry<T>& e = entries_[key];
        e.value = value;
        e.changed = 0;
    }
    /// The value at `key`; an absent key is inserted as zero with the flag clear.
    const T& get(int32_t key) { return entries_[key].value; }
    /// Whether the entry at `key` is marked changed (inserting it as zero when absent).
    bool changed(int32_t key) { return entries_[key].changed != 0; }
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
    const Entries& entries() const { return entries_; }

private:
    Entries entries_;
};

using QX_BT_Int_Settings = QX_BT_Setting_Table<int32_t>;
using QX_BT_Float_Settings = QX_BT_Setting_Table<float>;
using QX_BT_Vector_Settings = QX_BT_Setting_Table<QX_BT_Vector4>;

} // namespace Quarix
