#pragma once

// The two questions the core asks the scene. The core never touches the host: a rigid modifier
// answers for its node, the world object for its force and support nodes. The core holds plain,
// non-owning pointers to these interfaces.

#include <vector>

#include <glm/glm.hpp>

namespace Quarix {

/// An axis-aligned box in simulation space: (min x, y, z, 0) and (max x, y, z, 0).
struct QX_BT_Box {
    glm::vec4 min{0.0f};
    glm::vec4 max{0.0f};
};

/// Answers questions about the one node an object core simulates.
class QX_BT_MeshController_API_Interface {
public:
    /// The node's object transform at `frame` (simulation frame, may be fractional or negative)
    /// with the upper three rows multiplied by `scale`; the identity when there is no node.
    virtual void GetNodeTransform(glm::mat4& out, float frame, float scale) = 0;
    /// Writes the continuity gizmo's axis-aligned bounds in simulation space; the returned float
    /// carries no meaning.
    virtual float GetGizmoBounds(float frame, float scale, glm::vec3& min, glm::vec3& max) = 0;
    /// Whether the node's frame-0 transform (same scaling) differs from the start transform the
    /// object core stored when it last built its bodies.
    virtual bool HasNodeMoved(float scale) = 0;

protected:
    ~QX_BT_MeshController_API_Interface() = default;
};

/// Answers questions about the world's force and support nodes.
class QX_BT_World_API_Interface {
public:
    /// Adds the forces acting at `position` (scene units) at `frameOffset` to the three vectors
    /// (never overwrites them) and increases `forceIndex` by one per force field evaluated.
    virtual void ComputeForces(float frameOffset, const glm::vec3& position, int& forceIndex,
                               glm::vec3& fieldForce, glm::vec3& blastForce,
                               glm::vec3& blastSpin) = 0;
    /// Boxes of the supporting nodes in simulation space; empty when there are none.
    virtual std::vector<QX_BT_Box> GetSupportBoxes(float scale) = 0;

protected:
    ~QX_BT_World_API_Interface() = default;
};

} // namespace Quarix
