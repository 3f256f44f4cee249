#pragma once
// The host's affine transform: four rows of three floats in row-vector convention.

#include "host/Point3.h"

/// Affine transform stored as four rows: rows 0..2 are the images of the x, y and z axes and row 3
/// is the translation. Points are row vectors, so p' = p * M and `A * B` applies A first, then B
/// (a node's object transform is offset * node TM). Default construction gives the identity.
class Matrix3 {
public:
    /// The identity transform.
    constexpr Matrix3() = default;
    /// The identity when `init` is true, the zero matrix otherwise.
    explicit constexpr Matrix3(bool init) {
        if (!init)
            m_rows[0] = m_rows[1] = m_rows[2] = Point3();
    }
    /// Builds a matrix from its three axes and its translation.
    constexpr Matrix3(const Point3& r0, const Point3& r1, const Point3& r2, const Point3& r3)
        : m_rows{r0, r1, r2, r3} {}

    /// Row i (0..3); row 3 is the translation.
    const Point3& GetRow(int i) const { return m_rows[i]; }
    void SetRow(int i, const Point3& p) { m_rows[i] = p; }
    Point3& operator[](int i) { return m_rows[i]; }
    const Point3& operator[](int i) const { return m_rows[i]; }
    /// Column c (0..2) of the 4x3 matrix: (m[0][c], m[1][c], m[2][c], m[3][c]).
    Point3 GetColumn3(int c) const;

    Point3 GetTrans() const { return m_rows[3]; }
    void SetTrans(const Point3& p) { m_rows[3] = p; }
    void SetTrans(int axis, float v) { m_rows[3][axis] = v; }

    /// Resets to the identity.
    void IdentityMatrix();
    /// Resets to the zero matrix.
    void Zero();
    /// True when the matrix equals the identity exactly.
    bool IsIdentity() const;

    /// Appends a translation (applied after the current transform).
    void Translate(const Point3& p) { m_rows[3] += p; }
    /// Prepends a translation (applied before the current transform, in local space).
    void PreTranslate(const Point3& p);
    /// Appends a rotation about the world x, y or z axis; angles in radians, counter-clockwise when
    /// looking down the axis towards the origin.
    void RotateX(float angle);
    void RotateY(float angle);
    void RotateZ(float angle);
    /// Appends a scale about the origin; with `trans` false the translation row is kept.
    void Scale(const Point3& s, bool trans = false);
    /// Removes the translation.
    void NoTrans() { m_rows[3] = Point3(); }
    /// Normalises the three axes (removes scale, keeps rotation and translation).
    void NoScale();
    /// Replaces the rotation by the identity keeping each axis length (scale) and translation.
    void NoRot();

    /// Transforms a point (rotation, scale and translation).
    Point3 PointTransform(const Point3& p) const;
    /// Transforms a direction (no translation).
    Point3 VectorTransform(const Point3& v) const;
    /// Determinant of the upper 3x3 part; negative for mirroring transforms.
    float Determinant() const;
    /// True when every entry differs by at most eps.
    bool Equals(const Matrix3& other, float eps = 1e-6f) const;

    /// Composition: the result applies *this first, then `b`.
    Matrix3 operator*(const Matrix3& b) const;
    Matrix3& operator*=(const Matrix3& b) { return *this = *this * b; }
    Matrix3 operator+(const Matrix3& b) const;
    Matrix3 operator-(const Matrix3& b) const;
    bool operator==(const Matrix3& other) const;

private:
    Point3 m_rows[4] = {Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f),
                        Point3(0.0f, 0.0f, 1.0f), Point3(0.0f, 0.0f, 0.0f)};
};

/// p * M: transforms a point by M.
inline Point3 operator*(const Point3& p, const Matrix3& m) {
    return m.PointTransform(p);
}
inline Point3 VectorTransform(const Matrix3& m, const Point3& v) {
    return m.VectorTransform(v);
}
/// Inverse of an affine transform; a singular matrix yields the identity.
Matrix3 Inverse(const Matrix3& m);
/// Translation matrix.
Matrix3 TransMatrix(const Point3& p);
/// Scale matrix.
Matrix3 ScaleMatrix(const Point3& s);
/// Rotation about the x, y or z axis (radians).
Matrix3 RotateXMatrix(float angle);
Matrix3 RotateYMatrix(float angle);
Matrix3 RotateZMatrix(float angle);
