// Activation of Kinematic and Dead bodies, and the continuity of Dead bodies.

#include "core/QX_BT_MeshController.h"

namespace Quarix {

bool QX_BT_MeshController::testActivation(QX_BT_Body&, const std::vector<QX_BT_Box>&, float, bool,
                                          float) {
    return false;
}

void QX_BT_MeshController::updateContinuity(const std::vector<QX_BT_Body*>&, float, float) {}

} // namespace Quarix
