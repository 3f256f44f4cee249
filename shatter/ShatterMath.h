#pragma once
// Double-precision vector maths for the fragmenter. Cutting runs in doubles so that a piece's
// vertices agree with its neighbours' far below the float resolution of the host mesh.

#include <cmath>

namespace Quarix::Shatter {

/// A point or direction in the mesh's object space (scene units).
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Vec3() = default;
    constexpr Vec3(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}

    constexpr Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vec3 operator-() const { return {-x, -y, -z}; }
    constexpr Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
    constexpr Vec3& operator+=(const Vec3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    constexpr bool operator==(const Vec3& o) const = default;
    constexpr double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

constexpr double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}
/// Unit vector along `a`; the zero vector stays zero.
inline Vec3 Normalized(const Vec3& a) {
    double len = Length(a);
    return len > 0.0 ? a * (1.0 / len) : a;
}
/// a + t (b - a).
constexpr Vec3 Lerp(const Vec3& a, const Vec3& b, double t) {
    return a + (b - a) * t;
}
inline bool IsFinite(const Vec3& a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

/// Oriented plane {p : Dot(normal, p) = offset} with a unit normal. The positive side
/// (Dot(normal, p) > offset) is the side that a clip removes.
struct Plane {
    Vec3 normal;
    double offset = 0.0;

    /// Signed distance of p from the plane, positive on the removed side.
    double Distance(const Vec3& p) const { return Dot(normal, p) - offset; }
    /// The same plane facing the other way; distances are negated exactly.
    Plane Flipped() const { return {-normal, -offset}; }
};

/// Axis-aligned bounding box; empty until the first point is added.
struct Bounds {
    Vec3 min{HUGE_VAL, HUGE_VAL, HUGE_VAL};
    Vec3 max{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};

    void Add(const Vec3& p) {
        min = {std::fmin(min.x, p.x), std::fmin(min.y, p.y), std::fmin(min.z, p.z)};
        max = {std::fmax(max.x, p.x), std::fmax(max.y, p.y), std::fmax(max.z, p.z)};
    }
    bool Empty() const { return min.x > max.x; }
    Vec3 Center() const { return (min + max) * 0.5; }
    Vec3 Size() const { return max - min; }
    /// Length of the diagonal; 0 for an empty box.
    double Diagonal() const { return Empty() ? 0.0 : Length(max - min); }
};

} // namespace Quarix::Shatter
