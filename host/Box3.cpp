#include "host/Box3.h"

#include <algorithm>
#include <limits>

void Box3::Init() {
    const float big = std::numeric_limits<float>::max();
    pmin = Point3(big, big, big);
    pmax = Point3(-big, -big, -big);
}

Point3 Box3::operator[](int i) const {
    return {(i & 1) ? pmax.x : pmin.x, (i & 2) ? pmax.y : pmin.y, (i & 4) ? pmax.z : pmin.z};
}

bool Box3::Contains(const Point3& p) const {
    return p.x >= pmin.x && p.x <= pmax.x && p.y >= pmin.y && p.y <= pmax.y && p.z >= pmin.z &&
           p.z <= pmax.z;
}

Box3& Box3::operator+=(const Point3& p) {
    for (int a = 0; a < 3; ++a) {
        pmin[a] = std::min(pmin[a], p[a]);
        pmax[a] = std::max(pmax[a], p[a]);
    }
    return *this;
}

Box3& Box3::operator+=(const Box3& b) {
    if (!b.IsEmpty()) {
        *this += b.pmin;
        *this += b.pmax;
    }
    return *this;
}

void Box3::EnlargeBy(float s) {
    if (IsEmpty())
        return;
    pmin -= Point3(s, s, s);
    pmax += Point3(s, s, s);
}

Box3 Box3::operator*(const Matrix3& m) const {
    Box3 out;
    if (IsEmpty())
        return out;
    for (int i = 0; i < 8; ++i)
        out += (*this)[i] * m;
    return out;
}
