#pragma once
// The world parameter block "params": its ids, its static description and the rules that keep
// the frame parameters consistent with each other.

#include "host/ParamBlock2.h"

class ClassDesc2;

namespace Quarix {

/// Parameter ids of the world block (block id 0). Names follow the internal names.
namespace WorldParam {
constexpr ParamID Size = 0;
constexpr ParamID DeltaTime = 1;
constexpr ParamID SimuleSpeed = 2;
constexpr ParamID Gravity = 3;
constexpr ParamID StartFrame = 4;
constexpr ParamID EndFrame = 5;
constexpr ParamID FramesRange = 6;
constexpr ParamID NodesList = 7;
constexpr ParamID PickBtn = 8;
constexpr ParamID GlobalSolidity = 9;
constexpr ParamID SimuleRange = 10;
constexpr ParamID SimuleLoop = 11;
constexpr ParamID SimuleQuietly = 12;
constexpr ParamID SeparateImpulse = 13;
constexpr ParamID Margin = 14;
constexpr ParamID DampingLinear = 15;
constexpr ParamID DampingAngular = 16;
constexpr ParamID SleepingLinear = 17;
constexpr ParamID SleepingAngular = 18;
constexpr ParamID DeactivationTime = 19;
constexpr ParamID SimuleState = 20;
constexpr ParamID SupportPickBtn = 21;
constexpr ParamID ForcesList = 22;
constexpr ParamID ForcesStrenght = 23;
constexpr ParamID SimuleRelax = 24;
constexpr ParamID MassFactor = 25;
constexpr ParamID PertPoints = 26;
constexpr ParamID PertIters = 27;
constexpr ParamID ContactDiscard = 28;
constexpr ParamID Test1 = 29; ///< "test 1" .. "test 10" are ids 29..38
constexpr ParamID InfinitPlane = 39;
constexpr ParamID SimuleRangeNext = 40;
constexpr ParamID Reset = 41;
constexpr ParamID ScaleFactor = 42;
constexpr ParamID HideCorrupted = 43;
} // namespace WorldParam

/// Block id and reference of the world parameter block.
constexpr BlockID kWorldParamsBlockID = 0;
constexpr int kWorldParamsRef = 0;
/// Rollout maps of the block.
namespace WorldMap {
constexpr MapID World = 0;
constexpr MapID SimulationObjects = 1;
constexpr MapID GlobalAdvanced = 2;
constexpr MapID SupportingObjects = 3;
constexpr MapID About = 4;
} // namespace WorldMap
/// Rollout flag: appended to the panel closed.
constexpr int kRolloutAppendedClosed = 0x1;

/// The block description, built once and owned by `owner` (the world's class descriptor); the
/// first call registers it there, later calls return the same description.
ParamBlockDesc2* QX_World_ParamBlockDesc(ClassDesc2* owner);

/// Applies the frame rules after parameter `lastChanged` changed, reading and writing at time 0:
/// StartFrame or EndFrame keep EndFrame above StartFrame and FramesRange = EndFrame - StartFrame
/// (written only when it differs); FramesRange sets EndFrame = StartFrame + FramesRange. Other
/// ids change nothing. A null block is ignored.
void ApplyWorldFrameRules(IParamBlock2* block, ParamID lastChanged);

} // namespace Quarix
