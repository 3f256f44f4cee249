#include "app/QX_Rotation.h"

#include <cmath>

namespace Quarix::App {

void RotationQuaternion(const Point3 axis[3], double q[4]) {
    // R maps column vectors: its columns are the images of the axes.
    const auto r = [&](int row, int col) { return double(axis[col][row]); };
    double x, y, z, w;
    const double trace = r(0, 0) + r(1, 1) + r(2, 2);
    if (trace > 0.0) {
        const double k = 0.5 / std::sqrt(trace + 1.0);
        w = 0.25 / k;
        x = (r(2, 1) - r(1, 2)) * k;
        y = (r(0, 2) - r(2, 0)) * k;
        z = (r(1, 0) - r(0, 1)) * k;
    } else if (r(0, 0) > r(1, 1) && r(0, 0) > r(2, 2)) {
        const double k = 2.0 * std::sqrt(1.0 + r(0, 0) - r(1, 1) - r(2, 2));
        w = (r(2, 1) - r(1, 2)) / k;
        x = 0.25 * k;
        y = (r(0, 1) + r(1, 0)) / k;
        z = (r(0, 2) + r(2, 0)) / k;
    } else if (r(1, 1) > r(2, 2)) {
        const double k = 2.0 * std::sqrt(1.0 + r(1, 1) - r(0, 0) - r(2, 2));
        w = (r(0, 2) - r(2, 0)) / k;
        x = (r(0, 1) + r(1, 0)) / k;
        y = 0.25 * k;
        z = (r(1, 2) + r(2, 1)) / k;
    } else {
        const double k = 2.0 * std::sqrt(1.0 + r(2, 2) - r(0, 0) - r(1, 1));
        w = (r(1, 0) - r(0, 1)) / k;
        x = (r(0, 2) + r(2, 0)) / k;
        y = (r(1, 2) + r(2, 1)) / k;
        z = 0.25 * k;
    }
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    q[0] = x / n;
    q[1] = y / n;
    q[2] = z / n;
    q[3] = w / n;
}

} // namespace Quarix::App
