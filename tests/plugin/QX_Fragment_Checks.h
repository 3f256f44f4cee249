#pragma once
// Measures of fragment demolitions shared by the plug-in tests: signed volumes of face lists and
// the pieces every body broken "To Fragments" left behind.

#include "core/QX_BT_Body.h"
#include "core/QX_BT_MeshController.h"
#include "host/Control.h"
#include "host/INode.h"

#include <glm/glm.hpp>
#include <gtest/gtest.h>

#include <vector>

namespace Quarix::Checks {

/// The keys of a node's visibility controller, in key order; none when it has no controller.
inline std::vector<IBezFloatKey> VisibilityKeys(INode* node) {
    std::vector<IBezFloatKey> keys;
    IKeyControl* control = GetKeyControlInterface(node->GetVisController());
    for (int k = 0; control && k < control->GetNumKeys(); ++k) {
        IBezFloatKey key;
        control->GetKey(k, &key);
        keys.push_back(key);
    }
    return keys;
}

/// Expects the two stepped keys of a piece born (0 then 1) or ending (1 then 0) at `tick`: the
/// old value one tick before, the new one at `tick`, both with the step flags 0x900.
inline void ExpectVisibilityStep(const std::vector<IBezFloatKey>& keys, TimeValue tick,
                                 float before, float after) {
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].time, tick - 1);
    EXPECT_EQ(keys[0].val, before);
    EXPECT_EQ(keys[1].time, tick);
    EXPECT_EQ(keys[1].val, after);
    EXPECT_EQ(keys[0].flags, 0x900u);
    EXPECT_EQ(keys[1].flags, 0x900u);
}

/// Signed volume enclosed by `faces` of `m` (positive for closed, outward-facing triangles).
inline double RecordVolume(const QX_BT_Mesh_Data& m, const std::vector<int32_t>& faces) {
    double sum = 0.0;
    const QX_BT_Mesh_Channel& g = m.geometry;
    for (int32_t f : faces) {
        const glm::dvec3 a = g.vertex(g.faces[3 * size_t(f)]);
        const glm::dvec3 b = g.vertex(g.faces[3 * size_t(f) + 1]);
        const glm::dvec3 c = g.vertex(g.faces[3 * size_t(f) + 2]);
        sum += glm::dot(a, glm::cross(b, c));
    }
    return sum / 6.0;
}

/// One body broken into fragments and the faces of each body made from it.
struct Breakup {
    const QX_BT_Body* body = nullptr;
    std::vector<QX_BT_Face_List> pieces;
};

/// Every body of `core` demolished into fragments, in body order, with its children's faces.
inline std::vector<Breakup> FragmentBreakups(const QX_BT_MeshController& core) {
    std::vector<Breakup> result;
    for (const auto& body : core.bodies) {
        if (body->demolishedAs != 1)
            continue;
        Breakup breakup{body.get(), {}};
        for (const auto& child : core.bodies)
            if (child->parent == body.get())
                breakup.pieces.push_back(CollectBodyFaces(*child));
        result.push_back(std::move(breakup));
    }
    return result;
}

} // namespace Quarix::Checks
