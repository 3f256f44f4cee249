#pragma once
// What the world object answers the core about its force list: the forces at a body's position
// (space-warp force fields and blast objects) and the boxes of the supporting nodes.

#include "core/QX_BT_API_Interfaces.h"
#include "host/INode.h"
#include "host/ParamBlock2.h"

#include <glm/glm.hpp>

#include <vector>

class ForceField;

namespace Quarix {

/// The two outside blast classes the force list recognises; only their block 0 is read.
inline constexpr Class_ID kBlastHelperClassID(0x3EDA2E28, 0x4B4FCA19);   ///< super class 0x50
inline constexpr Class_ID kBlastGeometryClassID(0x21665A78, 0x56A44A2B); ///< super class 0x10
/// The world object's own class id: a world in the force list never supports anything.
inline constexpr Class_ID kWorldClassID(0x986DF9B4, 0x792CE6D7);
/// Field forces are tiny per-tick accelerations; this brings them to the core's velocity scale.
inline constexpr float kFieldForceScale = 10000000.0f;

/// Parameter ids of a blast object's block 0.
namespace BlastParam {
constexpr ParamID Mode = 0;            ///< int: 0 cone, 1 plane along Z, 2 radial in XY
constexpr ParamID FalloffDistance = 2; ///< float, scene units
constexpr ParamID ConeAngle = 3;       ///< float, radians, full angle (mode 0)
constexpr ParamID StartFrame = 7;      ///< int, scene frame
constexpr ParamID Strength = 8;        ///< float
constexpr ParamID Chaos = 9;           ///< int, percent bound
constexpr ParamID Spin = 10;           ///< float, amplitude
constexpr ParamID WaveSpeed = 11;      ///< float, scene units per frame; <= 0: one impulse
constexpr ParamID FalloffType = 12;    ///< int: 1 linear, 2 quadratic, else none
} // namespace BlastParam

/// A blast object's parameters read at one time, with its node's placement at that time.
struct QX_Blast_Params {
    int mode = 0;
    float falloffDistance = 0.0f;
    float coneAngle = 0.0f;
    int startFrame = 0;
    float strength = 0.0f;
    int chaos = 0;
    float spin = 0.0f;
    float waveSpeed = 0.0f;
    int falloffType = 0;
    /// The blast node's transform at that time (row-vector convention, translation in row 3).
    Matrix3 nodeTM;
};

/// What one blast object adds for one body.
struct QX_Blast_Contribution {
    glm::vec3 force{0.0f}; ///< added to the blast force
    glm::vec3 spin{0.0f};  ///< added to the blast spin
    bool acts = false;     ///< false: the gate (or bad input) kept the blast out; nothing added
};

/// The force nodes of a world block's "ForcesList": non-empty entries, each node once, in list
/// order. A null block gives an empty list.
std::vector<INode*> CollectForceNodes(IParamBlock2* worldBlock);

/// The force field the node's object yields (space warps answering the world-space-modifier
/// interface, or of super class 0x830), owned by the caller (DeleteThis); null when none.
ForceField* GetNodeForceField(INode* node);

/// Whether `obj` is one of the two blast classes.
bool IsBlastObject(Object* obj);

/// Reads the blast parameters of `node`'s object at time t; false when it is no blast object.
bool ReadBlastParams(INode* node, TimeValue t, QX_Blast_Params& out);

/// The blast law for a body at `position` (scene units) at scene frame `absFrame` with
/// `substeps` sub-steps per frame and `ticksPerFrame`. Draws the chaos and spin values from the C
/// runtime's rand() (chaos first, then the three spin draws) whenever the parameters are finite;
/// a blast with a non-finite parameter, or whose result is not finite, draws nothing and acts
/// not.
QX_Blast_Contribution EvaluateBlast(const QX_Blast_Params& blast, float absFrame,
                                    const glm::vec3& position, int substeps, int ticksPerFrame);

/// Accumulates the forces of the world's force list at `position` (see
/// QX_BT_World_API_Interface::ComputeForces). `startFrame` is the world's settings key 8; the
/// sub-step count is the world's "Simule Speed" at the current host time. A field force that is
/// not finite adds nothing (the field still counts in `forceIndex`).
void ComputeWorldForces(IParamBlock2* worldBlock, int startFrame, float frameOffset,
                        const glm::vec3& position, int& forceIndex, glm::vec3& fieldForce,
                        glm::vec3& blastForce, glm::vec3& blastSpin);

/// Whether a force-list node supports bodies: a geometric (or derived) object that is no force
/// field, no blast object and no world object.
bool IsSupportNode(INode* node);

/// The boxes of the supporting nodes of the world's force list at the current host time: the
/// object's deformed box moved by the translation of the node's object transform (no rotation or
/// scale), times `scale`, w = 0. Nodes whose object has no points give no box.
std::vector<QX_BT_Box> ComputeSupportBoxes(IParamBlock2* worldBlock, float scale);

} // namespace Quarix
