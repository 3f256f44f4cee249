#pragma once

// Maths conventions shared by the whole core.
//
// Matrices are GLM's single-precision mat4: four columns of four floats, applied to column
// vectors, translation in column 3. Points are transformed as M * (x, y, z, 1) and the first three
// components are used without dividing by w; directions (normals) use the upper-left 3x3 block
// and are not renormalised.

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

namespace Quarix {

/// Transforms a point (w = 1) by an affine matrix; the w component of the result is ignored.
inline glm::vec3 TransformPoint(const glm::mat4& m, const glm::vec3& p) {
    return glm::vec3(m * glm::vec4(p, 1.0f));
}

/// Transforms a direction by the upper-left 3x3 block of a matrix, without renormalising.
inline glm::vec3 TransformDirection(const glm::mat4& m, const glm::vec3& d) {
    return glm::mat3(m) * d;
}

/// The translation-only part of M: identity with M's decomposed translation in column 3.
/// A matrix that cannot be decomposed (element (3, 3) zero) yields the identity.
glm::mat4 TranslationPart(const glm::mat4& m);

/// The rotation-only part of M: the rotation of M's decomposed orientation, no scale, skew or
/// translation. A matrix that cannot be decomposed yields the identity.
glm::mat4 RotationPart(const glm::mat4& m);

} // namespace Quarix
