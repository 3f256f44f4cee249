#pragma once
// Validity intervals: the closed range of scene times over which an evaluated value holds.

#include "host/MaxTypes.h"

/// A closed interval of scene time [Start(), End()] in ticks. The empty interval (NEVER) is stored
/// as (TIME_NegInfinity, TIME_NegInfinity); FOREVER spans all time.
class Interval {
public:
    /// Constructs [s, e]; an interval with s > e is empty.
    constexpr Interval(TimeValue s, TimeValue e) : m_start(s), m_end(e) { Normalise(); }
    /// Constructs the empty interval.
    constexpr Interval() : m_start(TIME_NegInfinity), m_end(TIME_NegInfinity) {}

    constexpr TimeValue Start() const { return m_start; }
    constexpr TimeValue End() const { return m_end; }
    /// Duration in ticks (End - Start), saturating at TIME_PosInfinity for open intervals; 0 for
    /// the empty interval.
    constexpr TimeValue Duration() const {
        if (Empty())
            return 0;
        long long d = static_cast<long long>(m_end) - static_cast<long long>(m_start);
        return d > TIME_PosInfinity ? TIME_PosInfinity : static_cast<TimeValue>(d);
    }

    constexpr void Set(TimeValue s, TimeValue e) {
        m_start = s;
        m_end = e;
        Normalise();
    }
    constexpr void SetStart(TimeValue s) { Set(s, m_end); }
    constexpr void SetEnd(TimeValue e) { Set(m_start, e); }
    constexpr void SetInfinite() { Set(TIME_NegInfinity, TIME_PosInfinity); }
    constexpr void SetEmpty() { Set(TIME_NegInfinity, TIME_NegInfinity); }
    /// Makes the interval the single instant [t, t].
    constexpr void SetInstant(TimeValue t) { Set(t, t); }

    /// True for the empty interval.
    constexpr bool Empty() const {
        return m_start == TIME_NegInfinity && m_end == TIME_NegInfinity;
    }
    /// True when t lies in the interval (ends included); never true for the empty interval.
    constexpr bool InInterval(TimeValue t) const { return !Empty() && m_start <= t && t <= m_end; }
    /// True when every time of `other` lies in this interval.
    constexpr bool InInterval(const Interval& other) const {
        return other.Empty() || (!Empty() && m_start <= other.m_start && other.m_end <= m_end);
    }

    /// Intersection; the result is empty when the intervals do not overlap.
    constexpr Interval operator&(const Interval& other) const {
        if (Empty() || other.Empty())
            return Interval();
        TimeValue s = m_start > other.m_start ? m_start : other.m_start;
        TimeValue e = m_end < other.m_end ? m_end : other.m_end;
        return Interval(s, e);
    }
    constexpr Interval& operator&=(const Interval& other) { return *this = *this & other; }
    /// Grows the interval to contain t.
    constexpr Interval& operator+=(TimeValue t) {
        if (Empty())
            return *this = Interval(t, t);
        if (t < m_start)
            m_start = t;
        if (t > m_end)
            m_end = t;
        return *this;
    }
    constexpr bool operator==(const Interval& other) const = default;

private:
    constexpr void Normalise() {
        if (m_start > m_end) {
            m_start = TIME_NegInfinity;
            m_end = TIME_NegInfinity;
        }
    }

    TimeValue m_start;
    TimeValue m_end;
};

/// The interval containing all time.
inline constexpr Interval FOREVER(TIME_NegInfinity, TIME_PosInfinity);
/// The empty interval.
inline constexpr Interval NEVER(TIME_NegInfinity, TIME_NegInfinity);
