#pragma once
// Tab<T>: the host's growable table of plain values, with checked indexing.

#include <stdexcept>
#include <vector>

class INode;

/// Growable table of plain values (pointers, numbers). Indexing outside 0..Count()-1 throws
/// std::out_of_range with the host's message instead of touching memory.
template <class T>
class Tab {
public:
    /// Message of the exception thrown for a bad index.
    static constexpr const char* kRangeMessage =
        "table index out of range (Tab::operator[])";

    int Count() const { return static_cast<int>(m_items.size()); }
    /// Resizes; new entries are value-initialised (null for pointers).
    void SetCount(int n) { m_items.resize(n < 0 ? 0 : static_cast<size_t>(n)); }
    void ZeroCount() { m_items.clear(); }
    /// Appends num entries copied from el; returns the index of the first.
    int Append(int num, const T* el, int allocExtra = 0) {
        (void)allocExtra;
        int at = Count();
        m_items.insert(m_items.end(), el, el + num);
        return at;
    }
    /// Inserts num entries at index `at` (0..Count()); returns `at`.
    int Insert(int at, int num, const T* el) {
        Check(at, true);
        m_items.insert(m_items.begin() + at, el, el + num);
        return at;
    }
    /// Deletes num entries from `start`; returns the new count.
    int Delete(int start, int num) {
        if (num <= 0)
            return Count();
        Check(start, false);
        Check(start + num - 1, false);
        m_items.erase(m_items.begin() + start, m_items.begin() + start + num);
        return Count();
    }
    /// Reserves space; kept for plug-ins that pre-size tables.
    void Resize(int n) { m_items.reserve(n < 0 ? 0 : static_cast<size_t>(n)); }
    T& operator[](int i) {
        Check(i, false);
        return m_items[static_cast<size_t>(i)];
    }
    const T& operator[](int i) const {
        Check(i, false);
        return m_items[static_cast<size_t>(i)];
    }
    T* Addr(int i) { return &(*this)[i]; }
    /// Index of the first entry equal to v, or -1.
    int IndexOf(const T& v) const {
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i] == v)
                return static_cast<int>(i);
        }
        return -1;
    }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    void Check(int i, bool allowEnd) const {
        if (i < 0 || i > Count() || (!allowEnd && i == Count()))
            throw std::out_of_range(kRangeMessage);
    }
    std::vector<T> m_items;
};

/// A table of scene nodes (not owned).
using INodeTab = Tab<INode*>;
