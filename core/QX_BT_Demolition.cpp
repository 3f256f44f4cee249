// Demolition: replacing a Dynamic body hit hard enough by new bodies made of its parts.

#include "core/QX_BT_MeshController.h"

namespace Quarix {

bool QX_BT_MeshController::testDemolition(QX_BT_Body&, float, bool, float) { return false; }

bool QX_BT_MeshController::demolishBody(int32_t, QX_BT_Body&, float, bool, float, int32_t, int32_t,
                                        bool) {
    return false;
}

void QX_BT_MeshController::splitToGroups(QX_BT_Body&, QX_BT_Body_List&, float, int32_t, float,
                                         bool) {}

void QX_BT_MeshController::shatterBody(QX_BT_Body&, QX_BT_Body_List&, float, int32_t, float) {}

void QX_BT_MeshController::replaceByCaptured(QX_BT_Body_List&, float, float) {}

void QX_BT_MeshController::addPieces(QX_BT_Mesh_Data&, QX_BT_Body_List&, float, float) {}

} // namespace Quarix
