#pragma once
// Rotations: unit quaternions, axis-angle pairs and decomposition of transforms into
// translation, rotation and scale.

#include "host/Matrix3.h"

class Quat;

/// A rotation of `angle` radians about the unit vector `axis`, counter-clockwise when looking down
/// the axis towards the origin.
class AngAxis {
public:
    Point3 axis = Point3(0.0f, 0.0f, 1.0f);
    float angle = 0.0f;

    AngAxis() = default;
    AngAxis(const Point3& ax, float ang) : axis(ax), angle(ang) {}
    /// The axis and angle of a unit quaternion (angle in 0..2pi).
    explicit AngAxis(const Quat& q);
};

/// Unit quaternion (x, y, z imaginary, w real) describing a rotation with the same sense as
/// AngAxis. The identity is (0, 0, 0, 1).
class Quat {
public:
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;

    Quat() = default;
    Quat(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
    explicit Quat(const AngAxis& aa);
    /// The rotation part of a transform; scale is removed first, translation ignored.
    explicit Quat(const Matrix3& m);

    void Identity() { *this = Quat(); }
    bool IsIdentity() const { return x == 0.0f && y == 0.0f && z == 0.0f && w == 1.0f; }
    /// Normalises in place (a zero quaternion becomes the identity).
    Quat& Normalize();
    /// The inverse rotation.
    Quat Conjugate() const { return {-x, -y, -z, w}; }
    /// Writes the rotation into the 3x3 part of `m` (translation left unchanged).
    void MakeMatrix(Matrix3& m) const;
    /// The rotation as a matrix with zero translation.
    Matrix3 ToMatrix() const;
    /// Composition: the result rotates by *this first, then by `b`.
    Quat operator*(const Quat& b) const;
    bool operator==(const Quat&) const = default;
    /// True when both describe the same rotation within eps (q and -q are the same rotation).
    bool Equals(const Quat& b, float eps = 1e-5f) const;
};

/// Spherical linear interpolation along the shorter arc; u = 0 gives p, u = 1 gives q.
Quat Slerp(const Quat& p, const Quat& q, float u);

/// A transform split into translation t, rotation q and per-axis scale s, so that
/// M = ScaleMatrix(s) * rotation(q) * TransMatrix(t). Shear is dropped; a mirroring transform puts
/// the sign into s.x.
struct AffineParts {
    Point3 t;
    Quat q;
    Point3 s = Point3(1.0f, 1.0f, 1.0f);
};

/// Splits a transform into translation, rotation and scale.
AffineParts DecompAffine(const Matrix3& m);
/// Rebuilds the transform of DecompAffine.
Matrix3 ComposeAffine(const AffineParts& parts);
/// Splits a transform into position, rotation and scale (the host's three-output form).
void DecomposeMatrix(const Matrix3& m, Point3& pos, Quat& rot, Point3& scale);
