// Activation of Kinematic and Dead bodies, and the continuity of Dead bodies.
//
// An activated body is replaced like an element split that keeps its depth: one new Dynamic body
// per child shape, starting from the body's state in that frame.

#include <algorithm>
#include <cmath>
#include <set>

#include "core/QX_BT_Math.h"
#include "core/QX_BT_MeshController.h"

namespace Quarix {

namespace {

struct Aabb {
    glm::vec3 min;
    glm::vec3 max;
};

Aabb BodyBox(const QX_BT_Body& body) {
    btVector3 lo, hi;
    body.getAabb(lo, hi);
    return {{lo.x(), lo.y(), lo.z()}, {hi.x(), hi.y(), hi.z()}};
}

bool CornerInside(const glm::vec3& minA, const glm::vec3& maxA, const glm::vec3& minB,
                  const glm::vec3& maxB) {
    for (int corner = 0; corner < 8; ++corner) {
        const glm::vec3 p((corner & 1) ? maxA.x : minA.x, (corner & 2) ? maxA.y : minA.y,
                          (corner & 4) ? maxA.z : minA.z);
        if (p.x >= minB.x && p.x <= maxB.x && p.y >= minB.y && p.y <= maxB.y && p.z >= minB.z &&
            p.z <= maxB.z)
            return true;
    }
    return false;
}

bool TouchesAnyBox(const QX_BT_Body& body, const std::vector<QX_BT_Box>& boxes) {
    const Aabb box = BodyBox(body);
    return std::any_of(boxes.begin(), boxes.end(), [&](const QX_BT_Box& support) {
        return BoxesTouch(box.min, box.max, glm::vec3(support.min), glm::vec3(support.max));
    });
}

} // namespace

bool BoxesTouch(const glm::vec3& minA, const glm::vec3& maxA, const glm::vec3& minB,
                const glm::vec3& maxB) {
    return CornerInside(minA, maxA, minB, maxB) || CornerInside(minB, maxB, minA, maxA);
}

bool QX_BT_MeshController::testActivation(QX_BT_Body& body,
                                          const std::vector<QX_BT_Box>& supportBoxes, float x,
                                          bool relax, float scale) {
    auto activate = [&] {
        return demolishBody(DemolitionKind::Elements, body, x, relax, scale, kOneGroupPerElement,
                            kOneGroupPerElement, true);
    };
    bool wake = false;
    if (body.state == Dead && intSettings.get(ObjectKey::EnableDTD) != 0) {
        const float velocityLimit = floatSettings.get(ObjectKey::ReviveByVelocity);
        // The limit is in scene units per second, like the offset below; the body moves in
        // simulation units.
        if (velocityLimit > 0.0f)
            wake = body.getLinearVelocity().length() > scale * velocityLimit;
        const float offsetLimit = floatSettings.get(ObjectKey::ReviveByOffset);
        if (offsetLimit > 0.0f) {
            // The recorded offset from the body's place on its node.
            const glm::vec3 offset(SampleTrack(body.track, x).transform[3]);
            wake = wake || glm::length(offset) > scale * offsetLimit;
        }
        if (intSettings.get(ObjectKey::EnableDTDBG) == 1 && TouchesAnyBox(body, supportBoxes))
            wake = true;
        if (intSettings.get(ObjectKey::Continuity) == 1)
            wake = wake || !body.supported;
    } else if (body.state == Kinematic && intSettings.get(ObjectKey::EnableKTD) != 0) {
        if (intSettings.get(ObjectKey::KTDByCollide) == 1)
            wake = wake || body.impulseSum > 0.0f;
        // "KtD Frame" is a scene frame; 0 switches the test off.
        const int32_t frame = intSettings.get(ObjectKey::KtDFrame);
        if (frame != 0 &&
            x >= float(int64_t(frame) - int64_t(intSettings.get(ObjectKey::ExplodeStart))))
            wake = true;
        const float forceLimit = floatSettings.get(ObjectKey::KtDForce);
        const QX_BT_CompoundShape* shape = body.compoundShape();
        const float volume = shape ? shape->volume : 0.0f;
        if (forceLimit > 0.0f && volume > 0.0f)
            wake = wake || body.impulseSum / (scale * volume) > forceLimit;
        const float distanceLimit = floatSettings.get(ObjectKey::KtDDistance);
        if (distanceLimit > 0.0f) {
            // The node's travel since simulation frame 0.
            const glm::vec3 travel =
                glm::vec3(nodeTransform(x, scale)[3]) - glm::vec3(nodeTransform(0.0f, scale)[3]);
            wake = wake || glm::length(travel) > scale * distanceLimit;
        }
        if (intSettings.get(ObjectKey::EnableKTDBG) == 1 && TouchesAnyBox(body, supportBoxes))
            return activate();
    }
    return wake && activate();
}

void QX_BT_MeshController::updateContinuity(const std::vector<QX_BT_Body*>& list, float x,
                                            float scale) {
    if (intSettings.get(ObjectKey::RigidType) != Dead ||
        intSettings.get(ObjectKey::EnableDTD) == 0 || intSettings.get(ObjectKey::Continuity) == 0)
        return;
    std::vector<QX_BT_Body*> dead;
    for (QX_BT_Body* body : list) {
        if (body != nullptr && body->state == Dead) {
            body->supported = false;
            dead.push_back(body);
        }
    }
    std::vector<Aabb> boxes;
    boxes.reserve(dead.size());
    for (const QX_BT_Body* body : dead)
        boxes.push_back(BodyBox(*body));

    // Contact graph. Touching boxes overlap along x, so a sweep over the boxes sorted by their
    // lower x bound finds every touching pair without testing all pairs. A box with a NaN bound
    // touches nothing and would break the sort's ordering, so it stays out of the sweep.
    std::vector<size_t> order;
    order.reserve(dead.size());
    for (size_t i = 0; i < dead.size(); ++i) {
        if (!std::isnan(boxes[i].min.x) && !std::isnan(boxes[i].max.x))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return boxes[a].min.x < boxes[b].min.x; });
    std::vector<std::vector<size_t>> neighbours(dead.size());
    for (size_t a = 0; a < order.size(); ++a) {
        const size_t i = order[a];
        for (size_t b = a + 1; b < order.size(); ++b) {
            const size_t j = order[b];
            if (boxes[j].min.x > boxes[i].max.x)
                break;
            if (dead[i] == dead[j] ||
                !BoxesTouch(boxes[i].min, boxes[i].max, boxes[j].min, boxes[j].max))
                continue;
            neighbours[i].push_back(j);
            neighbours[j].push_back(i);
        }
    }

    // Flood from the Dead bodies touching the gizmo box. A body touching no other Dead body is
    // not part of the graph and stays unsupported even on the gizmo.
    glm::vec3 gizmoMin(0.0f), gizmoMax(0.0f);
    if (api)
        api->GetGizmoBounds(x, scale, gizmoMin, gizmoMax);
    std::set<size_t> work;
    for (size_t i = 0; i < dead.size(); ++i) {
        if (!neighbours[i].empty() && BoxesTouch(boxes[i].min, boxes[i].max, gizmoMin, gizmoMax))
            work.insert(i);
    }
    std::vector<bool> visited(dead.size(), false);
    while (!work.empty()) {
        const size_t i = *work.begin();
        work.erase(work.begin());
        dead[i]->supported = true;
        if (visited[i])
            continue;
        visited[i] = true;
        for (size_t j : neighbours[i]) {
            if (!visited[j])
                work.insert(j);
        }
    }
}

} // namespace Quarix
