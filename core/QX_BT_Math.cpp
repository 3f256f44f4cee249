#include "core/QX_BT_Math.h"

#include <glm/gtx/matrix_decompose.hpp>

namespace Quarix {

namespace {

struct Decomposed {
    glm::vec3 scale;
    glm::quat orientation;
    glm::vec3 translation;
    glm::vec3 skew;
    glm::vec4 perspective;
};

// glm::decompose refuses matrices whose element (3, 3) is zero (it divides by it); callers get
// false and fall back to the identity rather than reading uninitialised parts.
bool Decompose(const glm::mat4& m, Decomposed& out) {
    return glm::decompose(m, out.scale, out.orientation, out.translation, out.skew,
                          out.perspective);
}

} // namespace

glm::mat4 TranslationPart(const glm::mat4& m) {
    Decomposed d;
    glm::mat4 result(1.0f);
    if (Decompose(m, d))
        result[3] = glm::vec4(d.translation, 1.0f);
    return result;
}

glm::mat4 RotationPart(const glm::mat4& m) {
    Decomposed d;
    if (!Decompose(m, d))
        return glm::mat4(1.0f);
    const glm::mat3 r = glm::mat3_cast(d.orientation);
    glm::mat4 result(1.0f);
    for (int c = 0; c < 3; ++c)
        result[c] = glm::vec4(r[c], 0.0f);
    return result;
}

} // namespace Quarix
