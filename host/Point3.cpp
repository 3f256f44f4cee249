#include "host/Point3.h"

const Point3 Point3::Origin(0.0f, 0.0f, 0.0f);
const Point3 Point3::XAxis(1.0f, 0.0f, 0.0f);
const Point3 Point3::YAxis(0.0f, 1.0f, 0.0f);
const Point3 Point3::ZAxis(0.0f, 0.0f, 1.0f);

Point3& Point3::Unify() {
    return *this = Normalize();
}

Point3 Point3::Normalize() const {
    float len = Length();
    if (len == 0.0f)
        return {0.0f, 0.0f, 0.0f};
    return *this / len;
}

bool Point3::Equals(const Point3& b, float eps) const {
    return std::fabs(x - b.x) <= eps && std::fabs(y - b.y) <= eps && std::fabs(z - b.z) <= eps;
}
