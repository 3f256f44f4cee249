#pragma once

// Consistency checks of loaded results. The core trusts its meshes, layouts and body records
// without checking them; what comes from a file is checked here before it reaches the core, so
// that playing back, rewinding and rebuilding can never index past an array.

#include <optional>
#include <string>

#include "core/QX_BT_MeshController.h"

namespace Quarix {

/// Where loaded data is inconsistent ("body 3", "mesh history") and what is wrong.
struct QX_Check_Failure {
    std::string section;
    std::string problem;
};

/// Why `mesh` is not a well-formed record (face infos, geometry and channels describing the same
/// faces, every index inside its own vertex array, channels numbered -1..99), or empty when it
/// is.
std::string CheckMeshRecord(const QX_BT_Mesh_Data& mesh);

/// Whether cutting the well-formed `simulation` mesh back to each history layout and to `base`,
/// as rewinding does, leaves a well-formed record (whole faces, channels in step with the
/// geometry, no index past the vertices kept).
std::optional<QX_Check_Failure> CheckLayoutCuts(const QX_BT_Mesh_Data& simulation,
                                                const QX_BT_Mesh_History& history,
                                                const QX_BT_Mesh_Layout& base);

/// Whether every stored body fits every layout it can be rewound to (rewinding keeps the bodies
/// born at or before the frame and cuts the mesh to that frame's layout, or to `base` before the
/// history starts), and every shape of no body fits the smallest layout. Each group must belong
/// to at most one body and every index must be in range (the reader checks both first).
std::optional<QX_Check_Failure> CheckBodiesFitLayouts(const QX_BT_Mesh_Data& simulation,
                                                      const QX_BT_Mesh_History& history,
                                                      const QX_BT_Mesh_Layout& base,
                                                      const QX_BT_Stored_Bodies& stored);

/// Whether following parent indices from every body ends at a body without a parent. A loop
/// would make rewinding walk up the chain forever. Indices must be in range (the readers check
/// that first).
std::optional<QX_Check_Failure> CheckParentChains(const QX_BT_Stored_Bodies& stored);

} // namespace Quarix
