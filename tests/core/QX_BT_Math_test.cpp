#include "core/QX_BT_Math.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace Quarix {
namespace {

void ExpectMatNear(const glm::mat4& a, const glm::mat4& b, float eps) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(a[c][r], b[c][r], eps) << "column " << c << " row " << r;
}

TEST(QX_BT_Math, TranslationAndRotationPartsSeparateAScaledTransform) {
    const glm::mat4 rotation =
        glm::rotate(glm::mat4(1.0f), 0.7f, glm::normalize(glm::vec3(1, 2, 3)));
    const glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(4, -5, 6)) * rotation *
                        glm::scale(glm::mat4(1.0f), glm::vec3(2, 3, 0.5f));
    glm::mat4 expectedTranslation(1.0f);
    expectedTranslation[3] = glm::vec4(4, -5, 6, 1);
    ExpectMatNear(TranslationPart(m), expectedTranslation, 1e-6f);
    ExpectMatNear(RotationPart(m), rotation, 1e-5f);
}

TEST(QX_BT_Math, UndecomposableMatrixGivesIdentity) {
    glm::mat4 m(1.0f);
    m[3] = glm::vec4(1, 2, 3, 0); // element (3, 3) zero
    EXPECT_EQ(TranslationPart(m), glm::mat4(1.0f));
    EXPECT_EQ(RotationPart(m), glm::mat4(1.0f));
    EXPECT_EQ(TranslationPart(glm::mat4(0.0f)), glm::mat4(1.0f));
}

} // namespace
} // namespace Quarix
