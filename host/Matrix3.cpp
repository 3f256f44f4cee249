#include "host/Matrix3.h"

#include <cmath>

Point3 Matrix3::GetColumn3(int c) const {
    return {m_rows[0][c], m_rows[1][c], m_rows[2][c]};
}

void Matrix3::IdentityMatrix() {
    *this = Matrix3();
}

void Matrix3::Zero() {
    *this = Matrix3(false);
}

bool Matrix3::IsIdentity() const {
    return *this == Matrix3();
}

void Matrix3::PreTranslate(const Point3& p) {
    m_rows[3] += VectorTransform(p);
}

void Matrix3::RotateX(float angle) {
    *this = *this * RotateXMatrix(angle);
}

void Matrix3::RotateY(float angle) {
    *this = *this * RotateYMatrix(angle);
}

void Matrix3::RotateZ(float angle) {
    *this = *this * RotateZMatrix(angle);
}

void Matrix3::Scale(const Point3& s, bool trans) {
    for (int r = 0; r < 3; ++r)
        m_rows[r] = m_rows[r] * s;
    if (trans)
        m_rows[3] = m_rows[3] * s;
}

void Matrix3::NoScale() {
    for (int r = 0; r < 3; ++r)
        m_rows[r].Unify();
}

void Matrix3::NoRot() {
    for (int r = 0; r < 3; ++r) {
        Point3 axis;
        axis[r] = m_rows[r].Length();
        m_rows[r] = axis;
    }
}

Point3 Matrix3::PointTransform(const Point3& p) const {
    return VectorTransform(p) + m_rows[3];
}

Point3 Matrix3::VectorTransform(const Point3& v) const {
    return m_rows[0] * v.x + m_rows[1] * v.y + m_rows[2] * v.z;
}

float Matrix3::Determinant() const {
    return m_rows[0] % (m_rows[1] ^ m_rows[2]);
}

bool Matrix3::Equals(const Matrix3& other, float eps) const {
    for (int r = 0; r < 4; ++r) {
        if (!m_rows[r].Equals(other.m_rows[r], eps))
            return false;
    }
    return true;
}

Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 out;
    for (int r = 0; r < 3; ++r)
        out.m_rows[r] = b.VectorTransform(m_rows[r]);
    out.m_rows[3] = b.PointTransform(m_rows[3]);
    return out;
}

Matrix3 Matrix3::operator+(const Matrix3& b) const {
    Matrix3 out;
    for (int r = 0; r < 4; ++r)
        out.m_rows[r] = m_rows[r] + b.m_rows[r];
    return out;
}

Matrix3 Matrix3::operator-(const Matrix3& b) const {
    Matrix3 out;
    for (int r = 0; r < 4; ++r)
        out.m_rows[r] = m_rows[r] - b.m_rows[r];
    return out;
}

bool Matrix3::operator==(const Matrix3& other) const {
    for (int r = 0; r < 4; ++r) {
        if (!(m_rows[r] == other.m_rows[r]))
            return false;
    }
    return true;
}

Matrix3 Inverse(const Matrix3& m) {
    // Inverse of the 3x3 part by cofactors (in double to keep round trips tight), then the
    // translation follows as -t * inverse(R).
    double a[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            a[r][c] = m[r][c];
    double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                 a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                 a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    if (det == 0.0 || !std::isfinite(det))
        return Matrix3();
    double inv[3][3];
    inv[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
    inv[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    inv[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    inv[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
    inv[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    inv[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    inv[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
    inv[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    inv[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
    Matrix3 out;
    for (int r = 0; r < 3; ++r)
        out[r] = Point3(inv[r][0], inv[r][1], inv[r][2]);
    Point3 t = m.GetTrans();
    Point3 it;
    for (int c = 0; c < 3; ++c)
        it[c] = static_cast<float>(-(t.x * inv[0][c] + t.y * inv[1][c] + t.z * inv[2][c]));
    out.SetTrans(it);
    return out;
}

Matrix3 TransMatrix(const Point3& p) {
    Matrix3 m;
    m.SetTrans(p);
    return m;
}

Matrix3 ScaleMatrix(const Point3& s) {
    Matrix3 m;
    m.Scale(s);
    return m;
}

// Rotations keep the right-handed, counter-clockwise sense: RotateZMatrix(pi/2) maps x onto y.
Matrix3 RotateXMatrix(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return {Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, c, s), Point3(0.0f, -s, c), Point3()};
}

Matrix3 RotateYMatrix(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return {Point3(c, 0.0f, -s), Point3(0.0f, 1.0f, 0.0f), Point3(s, 0.0f, c), Point3()};
}

Matrix3 RotateZMatrix(float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    return {Point3(c, s, 0.0f), Point3(-s, c, 0.0f), Point3(0.0f, 0.0f, 1.0f), Point3()};
}
