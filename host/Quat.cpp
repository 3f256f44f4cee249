#include "host/Quat.h"

#include <algorithm>
#include <cmath>

AngAxis::AngAxis(const Quat& qIn) {
    Quat q = qIn;
    q.Normalize();
    float s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    if (s < 1e-12f) {
        axis = Point3(0.0f, 0.0f, 1.0f);
        angle = 0.0f;
        return;
    }
    axis = Point3(q.x / s, q.y / s, q.z / s);
    angle = 2.0f * std::atan2(s, q.w);
}

Quat::Quat(const AngAxis& aa) {
    Point3 n = aa.axis.Normalize();
    float h = aa.angle * 0.5f;
    float s = std::sin(h);
    x = n.x * s;
    y = n.y * s;
    z = n.z * s;
    w = std::cos(h);
}

Quat::Quat(const Matrix3& mIn) {
    Matrix3 m = mIn;
    m.NoScale();
    if (m.Determinant() < 0.0f)
        m[0] = -m[0];
    // Row-vector convention: row r is the image of axis r, so the column-vector rotation matrix
    // R has R[i][j] = m[j][i].
    auto R = [&](int i, int j) { return m[j][i]; };
    float trace = R(0, 0) + R(1, 1) + R(2, 2);
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f) * 2.0f;
        w = 0.25f * s;
        x = (R(2, 1) - R(1, 2)) / s;
        y = (R(0, 2) - R(2, 0)) / s;
        z = (R(1, 0) - R(0, 1)) / s;
    } else if (R(0, 0) > R(1, 1) && R(0, 0) > R(2, 2)) {
        float s = std::sqrt(1.0f + R(0, 0) - R(1, 1) - R(2, 2)) * 2.0f;
        w = (R(2, 1) - R(1, 2)) / s;
        x = 0.25f * s;
        y = (R(0, 1) + R(1, 0)) / s;
        z = (R(0, 2) + R(2, 0)) / s;
    } else if (R(1, 1) > R(2, 2)) {
        float s = std::sqrt(1.0f + R(1, 1) - R(0, 0) - R(2, 2)) * 2.0f;
        w = (R(0, 2) - R(2, 0)) / s;
        x = (R(0, 1) + R(1, 0)) / s;
        y = 0.25f * s;
        z = (R(1, 2) + R(2, 1)) / s;
    } else {
        float s = std::sqrt(1.0f + R(2, 2) - R(0, 0) - R(1, 1)) * 2.0f;
        w = (R(1, 0) - R(0, 1)) / s;
        x = (R(0, 2) + R(2, 0)) / s;
        y = (R(1, 2) + R(2, 1)) / s;
        z = 0.25f * s;
    }
    Normalize();
}

Quat& Quat::Normalize() {
    float len = std::sqrt(x * x + y * y + z * z + w * w);
    if (len == 0.0f || !std::isfinite(len)) {
        Identity();
        return *this;
    }
    x /= len;
    y /= len;
    z /= len;
    w /= len;
    return *this;
}

void Quat::MakeMatrix(Matrix3& m) const {
    float xx = x * x, yy = y * y, zz = z * z;
    float xy = x * y, xz = x * z, yz = y * z;
    float wx = w * x, wy = w * y, wz = w * z;
    // Rows are the rotated axes (transpose of the column-vector rotation matrix).
    m[0] = Point3(1.0f - 2.0f * (yy + zz), 2.0f * (xy + wz), 2.0f * (xz - wy));
    m[1] = Point3(2.0f * (xy - wz), 1.0f - 2.0f * (xx + zz), 2.0f * (yz + wx));
    m[2] = Point3(2.0f * (xz + wy), 2.0f * (yz - wx), 1.0f - 2.0f * (xx + yy));
}

Matrix3 Quat::ToMatrix() const {
    Matrix3 m;
    MakeMatrix(m);
    return m;
}

Quat Quat::operator*(const Quat& b) const {
    // Hamilton product b * a: rotating by a first, then b.
    const Quat& a = *this;
    return {b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y,
            b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
            b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w,
            b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z};
}

bool Quat::Equals(const Quat& b, float eps) const {
    float d = std::fabs(x * b.x + y * b.y + z * b.z + w * b.w);
    return d >= 1.0f - eps;
}

Quat Slerp(const Quat& p, const Quat& qIn, float u) {
    Quat q = qIn;
    float cosom = p.x * q.x + p.y * q.y + p.z * q.z + p.w * q.w;
    if (cosom < 0.0f) {
        cosom = -cosom;
        q = Quat(-q.x, -q.y, -q.z, -q.w);
    }
    float sp, sq;
    if (cosom > 0.9995f) {
        sp = 1.0f - u;
        sq = u;
    } else {
        float omega = std::acos(std::clamp(cosom, -1.0f, 1.0f));
        float sinom = std::sin(omega);
        sp = std::sin((1.0f - u) * omega) / sinom;
        sq = std::sin(u * omega) / sinom;
    }
    Quat r(sp * p.x + sq * q.x, sp * p.y + sq * q.y, sp * p.z + sq * q.z, sp * p.w + sq * q.w);
    return r.Normalize();
}

AffineParts DecompAffine(const Matrix3& m) {
    AffineParts parts;
    parts.t = m.GetTrans();
    Point3 s(m[0].Length(), m[1].Length(), m[2].Length());
    if (m.Determinant() < 0.0f)
        s.x = -s.x;
    parts.s = s;
    Matrix3 r = m;
    r.NoTrans();
    for (int i = 0; i < 3; ++i)
        r[i] = s[i] != 0.0f ? r[i] / s[i] : Point3::Origin;
    parts.q = Quat(r);
    return parts;
}

Matrix3 ComposeAffine(const AffineParts& parts) {
    Matrix3 m = parts.q.ToMatrix();
    for (int i = 0; i < 3; ++i)
        m[i] = m[i] * parts.s[i];
    m.SetTrans(parts.t);
    return m;
}

void DecomposeMatrix(const Matrix3& m, Point3& pos, Quat& rot, Point3& scale) {
    AffineParts parts = DecompAffine(m);
    pos = parts.t;
    rot = parts.q;
    scale = parts.s;
}
