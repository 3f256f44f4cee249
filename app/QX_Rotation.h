#pragma once
// The rotation of a host transform as a quaternion, for formats that store rotations that way
// (glTF nodes, the studio's streamed placements).

#include "host/Point3.h"

namespace Quarix::App {

/// The unit quaternion (x, y, z, w) of the rotation whose images of the x, y and z axes are
/// `axis[0..2]` (unit length, a right-handed frame: a host Matrix3's first three rows with
/// scale removed).
void RotationQuaternion(const Point3 axis[3], double q[4]);

} // namespace Quarix::App
