#pragma once
// The shatter library's interface: Voronoi fragmentation of a host mesh, implemented by the
// shared library QXLib_3dsMax_2021 over an opaque shatter object.

#include "host/Interval.h"
#include "host/Matrix3.h"
#include "host/Mesh.h"

#include <memory>
#include <string>

namespace Quarix {

namespace Shatter {
/// One fragmentation job: a copy of the source mesh, its parameters and, after Modify, the
/// pieces. Opaque outside the library.
class QXShatter;
} // namespace Shatter

namespace IQXShatter {

/// Releases a shatter object; supplied by the library with every object it hands out.
using QXShatterDeleter = void (*)(Shatter::QXShatter*);
/// Owning pointer to a shatter object; destroying it releases the object through the library.
using QXShatterPtr = std::unique_ptr<Shatter::QXShatter, QXShatterDeleter>;

/// Parameter ids accepted by the setters, with the value type each takes.
enum ParamId : int {
    /// int: pieces wanted; 1 or less leaves the mesh unchanged. Counts are bounded by the work
    /// a few seconds allow (10,000 for meshes up to about 60,000 faces, fewer for bigger ones);
    /// a reduced count is reported by GetWarnings.
    kParamFragmentCount = 10017,
    /// int: material id of the new inner faces (0..65535; values outside are clamped).
    kParamInnerMaterialId = 16,
    /// Matrix3: impact transform in the source mesh's object space; its translation is the point
    /// of impact, its rotation and scale are not used.
    kParamImpactTransform = 30003,
    /// float: 0..1 (clamped), the fraction of cells gathered around the impact point. At 0 seeds
    /// are spread uniformly through the volume; at 1 every seed is drawn from a Gaussian cloud
    /// around the impact point whose standard deviation is 0.15 of the bounding-box diagonal.
    kParamBias = 10039,
    /// int: random seed of the seed points (read as unsigned); equal inputs and seed give
    /// bit-identical results. Defaults to the int passed to New.
    kParamRandomSeed = 10040,
};

/// Creates a shatter object holding a copy of `source` (object space). `randomSeed` is the
/// initial value of kParamRandomSeed; with `capClosedMeshes` false even closed meshes are cut
/// without inner faces. The fragment count starts at 1 (no cut), material id 0, impact at the
/// origin, bias 0. Never returns null.
QXShatterPtr New(Mesh& source, int randomSeed, bool capClosedMeshes);

namespace IQXParams {

/// Sets parameter `id` to `value`. Parameters do not vary over time: `time` is ignored and
/// `valid` is left as given. `index` must be 0 (no parameter is a table). Throws
/// std::invalid_argument for a null object, an unknown id, a value type the parameter does not
/// take, a non-zero index, or a non-finite float. Defined for int, float and Matrix3.
template <class T>
void setParam(QXShatterPtr& shatter, int id, int time, const T& value, Interval& valid, int index);

template <>
void setParam<int>(QXShatterPtr& shatter, int id, int time, const int& value, Interval& valid,
                   int index);
template <>
void setParam<float>(QXShatterPtr& shatter, int id, int time, const float& value, Interval& valid,
                     int index);
template <>
void setParam<Matrix3>(QXShatterPtr& shatter, int id, int time, const Matrix3& value,
                       Interval& valid, int index);

} // namespace IQXParams

/// Cuts the source mesh into Voronoi pieces with the current parameters. Returns true when the
/// mesh was cut into at least two pieces; false (and GetFinalMesh will leave its mesh alone) for
/// a fragment count of 1 or less or a mesh that cannot be cut. The result does not depend on
/// `time`; `valid` is left as given. Throws std::invalid_argument for a null object or a
/// malformed source mesh (indices out of range, non-finite coordinates).
bool Modify(QXShatterPtr& shatter, int time, Interval& valid);

/// Replaces `mesh` by the pieces of the last successful Modify: every piece is its own element
/// (no vertex shared between pieces); outer faces keep flags, smoothing groups, map values
/// (interpolated where cut) and specified normals; inner faces carry the inner material id,
/// per plane a smoothing group of their own (a bit no outer face and no neighbouring cut uses),
/// a planar map in every map channel and their plane's normal. Returns false
/// and leaves `mesh` untouched when Modify did not cut. Throws std::invalid_argument for a null
/// object.
bool GetFinalMesh(QXShatterPtr& shatter, Mesh& mesh);

/// What the last Modify did differently from what was asked, for the caller's log: the
/// fragment count it reduced to stay within its work bound, and the non-finite map values or
/// normals it repaired. Empty when there is nothing to report or for a null object.
std::string GetWarnings(QXShatterPtr& shatter);

/// A deep copy of the shatter object (source, parameters and result); a null pointer (with the
/// library's deleter) for a null object.
QXShatterPtr Clone(QXShatterPtr& shatter);

} // namespace IQXShatter
} // namespace Quarix
