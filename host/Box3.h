#pragma once
// Axis-aligned bounding boxes.

#include "host/Matrix3.h"

/// Axis-aligned box [pmin, pmax]. A freshly constructed or Init()ed box is empty (pmin > pmax)
/// and grows with `+=`.
class Box3 {
public:
    Point3 pmin;
    Point3 pmax;

    /// The empty box.
    Box3() { Init(); }
    Box3(const Point3& lo, const Point3& hi) : pmin(lo), pmax(hi) {}

    /// Makes the box empty.
    void Init();
    /// True when the box holds no point.
    bool IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y || pmin.z > pmax.z; }
    Point3 Min() const { return pmin; }
    Point3 Max() const { return pmax; }
    Point3 Center() const { return (pmin + pmax) * 0.5f; }
    /// Extent along each axis; zero for the empty box.
    Point3 Width() const { return IsEmpty() ? Point3() : pmax - pmin; }
    /// Corner i (0..7): bit 0 selects max x, bit 1 max y, bit 2 max z.
    Point3 operator[](int i) const;
    /// True when p lies inside or on the box.
    bool Contains(const Point3& p) const;

    /// Grows the box to contain a point or another box.
    Box3& operator+=(const Point3& p);
    Box3& operator+=(const Box3& b);
    /// Grows (or, for negative values, shrinks) every side by s.
    void EnlargeBy(float s);
    /// The box around the eight transformed corners; the empty box stays empty.
    Box3 operator*(const Matrix3& m) const;
};
