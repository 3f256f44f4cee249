#pragma once
// Closing the part of a closed surface inside one Voronoi cell with the cell's own face polygons:
// each face of the cell gets its cap once, as the part of its polygon inside the solid, instead
// of capping every plane cut and cutting the earlier caps again with every later plane.

#include "shatter/CutMesh.h"
#include "shatter/VoronoiCells.h"

#include <vector>

namespace Quarix::Shatter {

/// Adds the caps that close `piece`, the part of a closed, outward-wound surface inside the
/// convex cell `poly` (cut by the cell's planes without caps, so its open edges lie on the cell's
/// faces). `facePlanes[f]` is the plane of face f, facing out of the cell. A cap is the part of
/// a face polygon inside the solid: bounded by the surface's open edges on that face and by the
/// stretches of the polygon's edges between them; faces the surface does not reach are wholly
/// inside or wholly outside, as their neighbours say. Cap faces get `style` with planeId = the
/// face index. Points within `tolerance` (scene units) of a plane lie on it. Returns false when
/// the surface's open edges do not fit the polygons (an edge along a cell edge, a pinch, a touch
/// at a polygon corner, a plane without a polygon): `piece` is then left half-capped and the
/// caller cuts the cell another way. On true, `piece` is closed.
bool CapFromPolytope(CutMesh& piece, const CellPolytope& poly, const std::vector<Plane>& facePlanes,
                     const CapStyle& style, double tolerance);

} // namespace Quarix::Shatter
