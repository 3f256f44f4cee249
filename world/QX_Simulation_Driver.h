#pragma once
// The simulation driver: a module-wide state machine clocked by a 1 millisecond thread timer on
// the host's user-interface thread. Every tick copies the world's and the simulated objects'
// parameters into the cores' settings, starts over when something changed, advances the
// simulation by at most one frame and moves the time slider or redraws, depending on the mode.
//
// The driver drives one world at a time and keeps a plain pointer to it. It never keeps a
// dangling one: when the world's node leaves the scene, the scene is reset or replaced by a file,
// or the world object itself is destroyed, the timer stops and the world is forgotten.

#include "host/Interface.h"

#include <climits>
#include <cstdint>
#include <vector>

namespace Quarix {

class QX_BULLET_OBJ;
class QX_BT_MeshController;

/// Start requests (the argument of StartSimulation).
namespace StartRequest {
inline constexpr int Range = 0;
inline constexpr int Loop = 1;
inline constexpr int Quiet = 2;
inline constexpr int Relax = 3;
/// Continue from the last simulated frame, as Range.
inline constexpr int Extend = 4;
} // namespace StartRequest

/// Modes the timer runs in (Extend runs as Range).
namespace DriverMode {
inline constexpr int Range = 0;
inline constexpr int Loop = 1;
inline constexpr int Quiet = 2;
inline constexpr int Relax = 3;
} // namespace DriverMode

/// CollectMeshControllers stamp meaning "do not write Explode Start".
inline constexpr int kNoStamp = INT_MIN;

/// The driver state, one per loaded module, zero-initialised and never freed.
struct QX_Driver_State {
    /// A timer is set and ticks are delivered.
    bool running = false;
    /// The world the ticks act on; set when the timer is set, kept after it stops, null when
    /// there is none or it went away.
    QX_BULLET_OBJ* world = nullptr;
    /// DriverMode::*.
    int mode = 0;
    /// The next frame to simulate from (scene frames); kept across stops.
    int frame = 0;
    /// The host timer id (0 when none).
    UINT_PTR timerId = 0;
};

/// The module's driver state (for the rollout and tests; change it only through the calls below).
const QX_Driver_State& DriverState();

/// Starts (or switches) the timer for a StartRequest::* (0..4; others are ignored). While the
/// timer runs it keeps its world; `world` may be null (then the run state is not reset).
void StartSimulation(QX_BULLET_OBJ* world, int request);
/// Stops the timer (when running) and lets quiet objects show their output again. The world and
/// the frame counter stay.
void StopSimulation();
/// The timer callback: one tick in the current mode.
void OnSimulationTimer(HWND window, UINT message, UINT_PTR id, DWORD time);

/// Writes the quiet-output mark of every mesh controller of the driven world's node list.
void SetQuietOutput(bool quiet);
/// The mesh controllers of the driven world's node list, in list order (nodes without a rigid
/// modifier are skipped). Unless stamp is kNoStamp, every modifier's "Explode Start" is set to
/// stamp at frame stamp. The pointers are valid until the next scene change: use them at once.
std::vector<QX_BT_MeshController*> CollectMeshControllers(int stamp);
/// Copies the driven world's parameters at host time t (ticks) into its core's settings, keys 0
/// to 19, marking only values that differ.
void SnapshotWorldSettings(TimeValue t);

/// Gravity factor in scene units per second squared for a "Gravity" of 1: -(1000 / frameRate x
/// 44.1), divided by the centimetres per scene unit when that is positive (in double).
float GravityFactor(int frameRate, double centimetresPerUnit);

/// Turns a mode switch of `world` off at the current host time (when on), and unchecks its
/// button in the world's main rollout when that is open. A null world is ignored.
void ClearModeSwitch(QX_BULLET_OBJ* world, ParamID param, int controlId);
/// Rewinds (or, with erase, drops the relaxed states and rewinds) every simulated object of
/// `world` to `frame`, re-evaluates them and redraws. A null world is ignored.
void ResetResults(QX_BULLET_OBJ* world, float frame, bool erase);
/// "Relax" switched on: ResetResults to the beginning, then StartSimulation(world, Relax).
void StartRelax(QX_BULLET_OBJ* world);

/// Called by the world object's destructor: a driven world that goes away is forgotten (and its
/// timer stopped) before it is freed; pick modes editing it end.
void ForgetWorld(QX_BULLET_OBJ* world);

/// Runs the host's message loop until the driver stops or `maxTicks` ticks were delivered;
/// returns the ticks delivered. For the application and tests.
int RunSimulationLoop(int maxTicks);

/// Buttons and parameters the driver touches.
namespace DriverControl {
inline constexpr ParamID SimuleRange = 10;
inline constexpr ParamID SimuleRangeNext = 40;
inline constexpr int RangeButton = 1005;
inline constexpr int ExtendButton = 1059;
} // namespace DriverControl

} // namespace Quarix
