#pragma once
// Conversions between the host's transforms and times and the core's matrices and frames.

#include <glm/glm.hpp>

#include "host/Matrix3.h"
#include "host/MaxTypes.h"

/// A host transform (rows = axes, last row = translation, row vectors) as the core's column-major
/// matrix with every one of the twelve entries multiplied by `scale`.
glm::mat4 QX_ToPhysicsMatrix(const Matrix3& m, float scale);

/// The tick of simulation frame `frame` when frame 0 is scene frame `startFrame`: the product
/// ticksPerFrame x (startFrame + frame) in single precision, truncated toward zero (NaN gives 0,
/// values past the tick range are pinned to its ends).
TimeValue QX_FrameToTick(int startFrame, float frame, int ticksPerFrame);
