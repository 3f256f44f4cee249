#pragma once
// Triangulation of the cut faces: a planar polygon with holes, possibly touching itself at a
// vertex, given as rings of indices into a 2D point array.

#include "shatter/ShatterMesh.h"

#include <vector>

namespace Quarix::Shatter {

/// A point in the plane of a cut face.
struct Point2 {
    double x = 0.0;
    double y = 0.0;
};

/// Twice the signed area of a ring (positive for counter-clockwise order).
double RingArea2(const std::vector<Point2>& points, const std::vector<int>& ring);

/// True when `p` lies strictly inside the ring (even-odd rule).
bool RingContains(const std::vector<Point2>& points, const std::vector<int>& ring, Point2 p);

/// Triangulates one polygon: `rings[0]` is the outer boundary (counter-clockwise), every further
/// ring a hole inside it (clockwise). Indices refer to `points`; triangles are appended to `out`
/// counter-clockwise. Every ring vertex is used and every ring edge ends up in exactly one
/// triangle (triangles that would visit a point index twice are left out, their edges cancel), so
/// the triangles close the surrounding surface without T-junctions. Degenerate, self-touching and
/// slightly self-intersecting rings are handled by ear clipping with fallbacks; the last fallback
/// is a fan, so the summed signed area always equals the polygon's signed area. Rings with fewer
/// than three vertices are ignored.
void TriangulatePolygon(const std::vector<Point2>& points,
                        const std::vector<std::vector<int>>& rings, std::vector<Tri>& out);

} // namespace Quarix::Shatter
