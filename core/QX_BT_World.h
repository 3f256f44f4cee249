#pragma once

// The simulation core of the world object: global settings, the restart test and the frame loop
// that steps every simulated object in a Bullet world built for one call.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/QX_BT_API_Interfaces.h"
#include "core/QX_BT_MeshController.h"
#include "core/QX_BT_Setting_Keys.h"
#include "core/QX_BT_Settings.h"

class btSequentialImpulseConstraintSolver;

namespace Quarix {

/// Bullet steps per frame: one frame advances simulated time by "DeltaTime" / 40 seconds.
constexpr double kFramesPerSimulatedSecond = 40.0;

/// Constraint-solver iterations per Bullet step (Bullet's default is 10).
constexpr int kSolverIterations = 50;

/// The "ScaleFactor" (world key 1) a new world object takes in a scene whose system unit is
/// `centimetresPerUnit` centimetres (the host's master scale): metres per scene unit, 0.01 in a
/// centimetre scene and 1 in a metre scene, so that the core simulates in metres whatever unit
/// the artist works in. Bullet's fixed tolerances (contact slop, split-impulse and restitution
/// thresholds, the rolling-friction cap) and the sleeping thresholds are metre-sized. A
/// non-positive or non-finite unit gives 1.
float NewWorldScaleFactor(double centimetresPerUnit);

/// The world core. Owns none of the objects it simulates; the Bullet world exists only inside
/// one SimulateFrame call.
class QX_BT_World {
public:
    /// Tables hold the world parameter defaults, all marked changed; no API.
    QX_BT_World();
    ~QX_BT_World();
    QX_BT_World(const QX_BT_World&) = delete;
    QX_BT_World& operator=(const QX_BT_World&) = delete;

    /// Whether the simulation must start over: an object's mesh was not built or its node's
    /// scale, node placement or settings changed, or a world int/float setting changed (vector
    /// settings do not count). Writes each object's scale-unchanged mark.
    bool HasChanges(const std::vector<QX_BT_MeshController*>& objects);

    /// Simulates the objects from scene frame `from` to `to` in frames of `step` (relax: relax
    /// mode, from the relaxed start states). Objects are rewound and prepared even when no frame
    /// is simulated. A non-positive or non-finite step simulates nothing.
    void SimulateFrame(const std::vector<QX_BT_MeshController*>& objects, float from, float to,
                       float step, bool relax);

    /// The three tables as one byte block: per table an int32 byte count and that many bytes
    /// (entry count, keys, values, changed flags), little-endian.
    std::vector<uint8_t> Serialise() const;
    /// Replaces the tables from a block written by Serialise; every entry loads unchanged.
    /// On malformed input returns false with a message in `error` and leaves the tables as they
    /// were.
    bool Deserialise(const uint8_t* data, size_t size, std::string* error = nullptr);

    QX_BT_Int_Settings intSettings;
    QX_BT_Float_Settings floatSettings;
    QX_BT_Vector_Settings vectorSettings;
    /// The world object's answers about force and support nodes; not owned, may be null.
    QX_BT_World_API_Interface* api = nullptr;

    /// Multipoint iterations of convex-convex contact generation (0, the default: Bullet's
    /// single point per pair and step) and the manifold size below which they run.
    int convexMultipointIterations;
    int convexMultipointMinimumPoints;

private:
    /// The constraint solver, kept from call to call. It carries nothing from one solve to the
    /// next, but its constraint pools do: built afresh for every frame they were regrown and
    /// zeroed each time, which cost about a tenth of a frame in large stacks.
    std::unique_ptr<btSequentialImpulseConstraintSolver> solver_;
};

} // namespace Quarix
