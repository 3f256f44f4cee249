#pragma once

// Every setting key of the two cores, each with the table it lives in (its value type) and the
// value it holds in a new core. This is the one place that says which table a key belongs to:
// reading a key through the wrong table does not compile.

#include <array>
#include <cstdint>

#include "core/QX_BT_Settings.h"

namespace Quarix {

/// Group count meaning "one group per element" (and "one body per child" when splitting).
constexpr int32_t kOneGroupPerElement = 2147483647;

/// Object setting keys of the object core's tables, with the modifier's parameter defaults.
namespace ObjectKey {
inline constexpr QX_BT_Int_Key MeshBuilt{0, 0}; ///< 1 after a rebuild, 0 when the input differs
inline constexpr QX_BT_Int_Key ScaleUnchanged{1, 0}; ///< written by the world's restart test
inline constexpr QX_BT_Int_Key RigidType{2, 1};      ///< 0 Static, 1 Dynamic, 2 Kinematic, 3 Dead
inline constexpr QX_BT_Int_Key MeshType{3, 0};       ///< 0 Convex, 1 Concave Low, 2 Concave High
/// kOneGroupPerElement one group per element, 1 one group, otherwise the number of clusters.
inline constexpr QX_BT_Int_Key GroupCount{4, kOneGroupPerElement};
inline constexpr QX_BT_Int_Key Amount{5, 25};
inline constexpr QX_BT_Int_Key Seed{6, 0};
inline constexpr QX_BT_Int_Key Percentage{7, 10};
inline constexpr QX_BT_Float_Key Density{8, 4.0f};
inline constexpr QX_BT_Float_Key Friction{9, 0.82f};
inline constexpr QX_BT_Float_Key Restitution{10, 0.04f};
inline constexpr QX_BT_Float_Key Solidity{11,
                                          22.0f}; ///< "Separate Impulse" of the Properties rollout
inline constexpr QX_BT_Int_Key Variation{12, 25};
inline constexpr QX_BT_Int_Key DemolishToCapture{13, 0};
inline constexpr QX_BT_Int_Key PrimaryToFragments{14, 0};
inline constexpr QX_BT_Int_Key PrimaryToClusters{15, 0};
inline constexpr QX_BT_Int_Key PrimaryToElements{16, 0};
inline constexpr QX_BT_Int_Key SecondaryToFragments{17, 0};
inline constexpr QX_BT_Int_Key SecondaryToClusters{18, 0};
inline constexpr QX_BT_Int_Key SecondaryToElements{19, 0};
inline constexpr QX_BT_Int_Key ClusterizationDepth{20, 1};
inline constexpr QX_BT_Int_Key SafeFrames{21, 2}; ///< "Timde Delay"
inline constexpr QX_BT_Int_Key Probability{22, 100};
inline constexpr QX_BT_Float_Key SizeLimit{23, 0.0f};
inline constexpr QX_BT_Float_Key SpeedLimit{24, 0.0f};
inline constexpr QX_BT_Int_Key AmountLimit{25, 4000};
inline constexpr QX_BT_Int_Key NumFragments{26, 5};
inline constexpr QX_BT_Int_Key FragmentsVariation{27, 30};
inline constexpr QX_BT_Float_Key DepthFade{28, 0.5f};
inline constexpr QX_BT_Float_Key Bias{29, 0.0f};
inline constexpr QX_BT_Int_Key FragmentsMaterialID{30, 1};
inline constexpr QX_BT_Int_Key EnableDTD{31, 0};
inline constexpr QX_BT_Int_Key Continuity{32, 0};
inline constexpr QX_BT_Float_Key ReviveByVelocity{33, 10.0f};
inline constexpr QX_BT_Float_Key ReviveByOffset{34, 10.0f};
inline constexpr QX_BT_Int_Key EnableDTDBG{35, 0};
inline constexpr QX_BT_Int_Key EnableKTD{36, 0};
inline constexpr QX_BT_Int_Key KTDByCollide{37, 0};
inline constexpr QX_BT_Int_Key KtDFrame{38, 0};
inline constexpr QX_BT_Float_Key KtDForce{39, 0.0f};
inline constexpr QX_BT_Float_Key KtDDistance{40, 0.0f};
inline constexpr QX_BT_Int_Key EnableKTDBG{41, 0};
inline constexpr QX_BT_Float_Key Margin{42, 0.0f};
inline constexpr QX_BT_Float_Key DampingLinear{43, 0.0f};
inline constexpr QX_BT_Float_Key DampingAngular{44, 0.2f};
inline constexpr QX_BT_Int_Key DeactivationTime{45, 1000};
inline constexpr QX_BT_Float_Key SleepingLinear{46, 1.0f};
inline constexpr QX_BT_Float_Key SleepingAngular{47, 1.0f};
/// "Separate Impulse" of the Advanced rollout, shown as "Start Impulse Factor".
inline constexpr QX_BT_Float_Key StartImpulseFactor{48, 1.0f};
inline constexpr QX_BT_Int_Key ExplodeStart{49, 0}; ///< scene frame of simulation frame 0
inline constexpr QX_BT_Int_Key ExplodeEnd{50, 100};

/// The int keys a new object core writes (keys 0 and 1 are written by the cores themselves).
inline constexpr std::array kInts{RigidType,
                                  MeshType,
                                  GroupCount,
                                  Amount,
                                  Seed,
                                  Percentage,
                                  Variation,
                                  DemolishToCapture,
                                  PrimaryToFragments,
                                  PrimaryToClusters,
                                  PrimaryToElements,
                                  SecondaryToFragments,
                                  SecondaryToClusters,
                                  SecondaryToElements,
                                  ClusterizationDepth,
                                  SafeFrames,
                                  Probability,
                                  AmountLimit,
                                  NumFragments,
                                  FragmentsVariation,
                                  FragmentsMaterialID,
                                  EnableDTD,
                                  Continuity,
                                  EnableDTDBG,
                                  EnableKTD,
                                  KTDByCollide,
                                  KtDFrame,
                                  EnableKTDBG,
                                  DeactivationTime,
                                  ExplodeStart,
                                  ExplodeEnd};
/// The float keys a new object core writes.
inline constexpr std::array kFloats{
    Density,          Friction,          Restitution,    Solidity,
    SizeLimit,        SpeedLimit,        DepthFade,      Bias,
    ReviveByVelocity, ReviveByOffset,    KtDForce,       KtDDistance,
    Margin,           DampingLinear,     DampingAngular, SleepingLinear,
    SleepingAngular,  StartImpulseFactor};
} // namespace ObjectKey

/// World setting keys, with the world parameter defaults that matter before the first fill.
namespace WorldKey {
inline constexpr QX_BT_Float_Key DeltaTime{0, 0.0f};   ///< time scale of a frame
inline constexpr QX_BT_Float_Key ScaleFactor{1, 0.0f}; ///< scene-to-simulation scale
inline constexpr QX_BT_Int_Key SubSteps{2, 5};         ///< "Simule Speed": Bullet steps per frame
inline constexpr QX_BT_Float_Key Gravity{3, 0.0f};     ///< gravity magnitude
inline constexpr QX_BT_Vector_Key GravityDirection{4, {0, 0, 0, 0}};
inline constexpr QX_BT_Int_Key GroundPlane{5, 1}; ///< "Infinit Plane": ground on when non-zero
inline constexpr QX_BT_Vector_Key GroundOrigin{6, {0, 0, 0, 0}}; ///< scene units
inline constexpr QX_BT_Vector_Key GroundNormal{7, {0, 0, 0, 0}};
inline constexpr QX_BT_Int_Key StartFrame{8, 0}; ///< scene frame of simulation frame 0
inline constexpr QX_BT_Int_Key EndFrame{9, 100}; ///< read by the driver only
inline constexpr QX_BT_Float_Key GlobalSolidity{10, 0.0f};
inline constexpr QX_BT_Float_Key Margin{11, 0.0f};
inline constexpr QX_BT_Float_Key SeparateImpulse{12, 0.0f};
inline constexpr QX_BT_Int_Key HideCorrupted{13, 0};
inline constexpr QX_BT_Float_Key DampingLinear{14, 0.0f};
inline constexpr QX_BT_Float_Key DampingAngular{15, 0.0f};
inline constexpr QX_BT_Int_Key DeactivationTime{16,
                                                1000}; ///< milliseconds: Bullet's gDeactivationTime
inline constexpr QX_BT_Float_Key SleepingLinear{17, 0.0f};
inline constexpr QX_BT_Float_Key SleepingAngular{18, 0.0f};
inline constexpr QX_BT_Float_Key ForcesStrength{19, 0.0f}; ///< "Forces Strenght"

/// Every world key by table; a new world writes all of them.
inline constexpr std::array kInts{SubSteps, GroundPlane,   StartFrame,
                                  EndFrame, HideCorrupted, DeactivationTime};
inline constexpr std::array kFloats{DeltaTime,      ScaleFactor,     Gravity,       GlobalSolidity,
                                    Margin,         SeparateImpulse, DampingLinear, DampingAngular,
                                    SleepingLinear, SleepingAngular, ForcesStrength};
inline constexpr std::array kVectors{GravityDirection, GroundOrigin, GroundNormal};
} // namespace WorldKey

} // namespace Quarix
