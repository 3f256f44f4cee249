#pragma once
// Single-precision points and vectors: Point2, Point3 and Point4.

#include <cmath>
#include <type_traits>

/// Two floats, used for screen positions and 2D texture coordinates.
class Point2 {
public:
    float x = 0.0f, y = 0.0f;

    constexpr Point2() = default;
    constexpr Point2(float ax, float ay) : x(ax), y(ay) {}
    constexpr bool operator==(const Point2&) const = default;
};

/// A point or vector in 3D (scene units for positions). Arithmetic is component-wise; `^` is the
/// cross product and `%` the dot product, as plug-in code expects.
class Point3 {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Point3() = default;
    /// Constructs from any three numbers (converted to float), so Point3(0, 1, 0.5f) works.
    template <class X, class Y, class Z>
    requires std::is_arithmetic_v<X> && std::is_arithmetic_v<Y> && std::is_arithmetic_v<Z>
    constexpr Point3(X ax, Y ay, Z az)
        : x(static_cast<float>(ax)), y(static_cast<float>(ay)), z(static_cast<float>(az)) {}
    /// Constructs from three consecutive floats.
    explicit Point3(const float* p) : x(p[0]), y(p[1]), z(p[2]) {}

    /// Component i (0 x, 1 y, 2 z); i outside 0..2 is a programming error.
    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    float Length() const { return std::sqrt(x * x + y * y + z * z); }
    constexpr float LengthSquared() const { return x * x + y * y + z * z; }
    /// Normalises in place; a zero vector stays zero. Returns *this.
    Point3& Unify();
    /// The normalised vector; a zero vector yields zero.
    Point3 Normalize() const;
    constexpr Point3& Set(float ax, float ay, float az) {
        x = ax;
        y = ay;
        z = az;
        return *this;
    }

    constexpr Point3 operator-() const { return {-x, -y, -z}; }
    constexpr Point3 operator+(const Point3& b) const { return {x + b.x, y + b.y, z + b.z}; }
    constexpr Point3 operator-(const Point3& b) const { return {x - b.x, y - b.y, z - b.z}; }
    constexpr Point3 operator*(const Point3& b) const { return {x * b.x, y * b.y, z * b.z}; }
    constexpr Point3 operator/(const Point3& b) const { return {x / b.x, y / b.y, z / b.z}; }
    constexpr Point3 operator*(float f) const { return {x * f, y * f, z * f}; }
    constexpr Point3 operator/(float f) const { return {x / f, y / f, z / f}; }
    constexpr Point3& operator+=(const Point3& b) { return *this = *this + b; }
    constexpr Point3& operator-=(const Point3& b) { return *this = *this - b; }
    constexpr Point3& operator*=(float f) { return *this = *this * f; }
    constexpr Point3& operator/=(float f) { return *this = *this / f; }
    /// Cross product.
    constexpr Point3 operator^(const Point3& b) const {
        return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x};
    }
    /// Dot product.
    constexpr float operator%(const Point3& b) const { return x * b.x + y * b.y + z * b.z; }
    constexpr bool operator==(const Point3&) const = default;
    /// True when every component differs by at most eps.
    bool Equals(const Point3& b, float eps = 1e-6f) const;

    static const Point3 Origin;
    static const Point3 XAxis;
    static const Point3 YAxis;
    static const Point3 ZAxis;
};

constexpr Point3 operator*(float f, const Point3& p) {
    return p * f;
}
inline float Length(const Point3& p) {
    return p.Length();
}
inline float DotProd(const Point3& a, const Point3& b) {
    return a % b;
}
inline Point3 CrossProd(const Point3& a, const Point3& b) {
    return a ^ b;
}
/// The normalised vector; a zero vector yields zero.
inline Point3 Normalize(const Point3& p) {
    return p.Normalize();
}
inline Point3 FNormalize(const Point3& p) {
    return p.Normalize();
}

/// Four floats: homogeneous points, colours with alpha and the support boxes' (x, y, z, w) pairs.
class Point4 {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    constexpr Point4() = default;
    constexpr Point4(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
    constexpr Point4(const Point3& p, float aw) : x(p.x), y(p.y), z(p.z), w(aw) {}

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    constexpr Point3 XYZ() const { return {x, y, z}; }
    constexpr Point4 operator+(const Point4& b) const {
        return {x + b.x, y + b.y, z + b.z, w + b.w};
    }
    constexpr Point4 operator-(const Point4& b) const {
        return {x - b.x, y - b.y, z - b.z, w - b.w};
    }
    constexpr Point4 operator*(float f) const { return {x * f, y * f, z * f, w * f}; }
    constexpr bool operator==(const Point4&) const = default;
};

/// Texture and colour vertices are plain points.
using UVVert = Point3;
using VertColor = Point3;
