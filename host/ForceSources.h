#pragma once
// The host's force sources: two space-warp force fields and two blast objects. Simulations read
// them from a force list: the fields through WSMObject::GetForceField, the blast objects through
// their parameter block 0 only (their law lives with whoever reads them). All four keep their
// values in parameter block 0 (reference 0) and are saved with the scene like any object.
//
// Field-force unit. A field's Force(t, position, velocity, index) is an acceleration in scene
// units per tick squared, as particle systems take it. The fields here scale their "Strength" by
// kFieldForceUnit (1e-6), so that strength 1 is a gentle push at the scale simulations use.
//
// Wind Field (space warp, super class 0x830):
//   Force = Strength x 1e-6 x Z, with Z the unit Z axis of the field's node at t;
//   with Turbulence T > 0, plus Strength x T x 1e-6 x n, where n is a pseudo-random vector with
//   components in [-1, 1], fixed per cube of side "Turbulence Scale" around the position and per
//   frame of t (deterministic: the same inputs always give the same n).
// Push Field (space warp, super class 0x830):
//   with c the field node's position at t, r = |position - c| and R the "Falloff Radius":
//   Force = Strength x 1e-6 x (position - c) / r x w, w = max(0, 1 - r / R) when R > 0, else 1;
//   zero at the centre (r = 0). A negative strength pulls.
// Blast Marker (helper, super class 0x50) and Blast Shell (geometry, super class 0x10, with a
//   visible star-shaped mesh of "Icon Size"): parameter block 0 holds 0 mode (int: 0 cone, 1 plane
//   along the node's Z, 2 radial in its XY plane), 2 falloff distance (scene units), 3 cone angle
//   (radians, full angle), 7 start frame, 8 strength, 9 chaos percent (int), 10 spin amplitude,
//   11 wave speed (scene units per frame, 0 a single impulse at the start frame), 12 falloff type
//   (1 linear, 2 quadratic, other none), 1 icon size.

#include "host/Object.h"
#include "host/ParamBlock2.h"

class ClassDirectory;

/// Class ids of the four force sources.
inline constexpr Class_ID windFieldClassID(0x51D0F1E1, 0x00A1B1E5);
inline constexpr Class_ID pushFieldClassID(0x51D0F1E2, 0x00A1B1E5);
inline constexpr Class_ID blastMarkerClassID(0x3EDA2E28, 0x4B4FCA19);
inline constexpr Class_ID blastShellClassID(0x21665A78, 0x56A44A2B);

/// Field-force unit: a strength of 1 is this many scene units per tick squared.
inline constexpr float kFieldForceUnit = 1e-6f;

/// Parameter ids of the two fields.
namespace FieldParam {
constexpr ParamID Strength = 0;
constexpr ParamID Turbulence = 1;      ///< wind only; 0 (off) by default
constexpr ParamID TurbulenceScale = 2; ///< wind only; scene units
constexpr ParamID FalloffRadius = 3;   ///< push only; scene units, 0 = no falloff
} // namespace FieldParam

/// Parameter ids of the two blast objects.
namespace BlastObjectParam {
constexpr ParamID Mode = 0;
constexpr ParamID IconSize = 1;
constexpr ParamID FalloffDistance = 2;
constexpr ParamID ConeAngle = 3;
constexpr ParamID StartFrame = 7;
constexpr ParamID Strength = 8;
constexpr ParamID Chaos = 9;
constexpr ParamID Spin = 10;
constexpr ParamID WaveSpeed = 11;
constexpr ParamID FalloffType = 12;
} // namespace BlastObjectParam

/// Base of the two fields: the parameter block in reference 0.
class ForceFieldObject : public WSMObject {
public:
    IParamBlock2* pblock = nullptr;

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    void SetReference(int i, RefTargetHandle rtarg) override;
    bool AcceptsReference(int i, ReferenceTarget* target) override;
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override { return i == 0 ? pblock : nullptr; }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override;
};

/// A uniform directional force along the node's Z axis (see the law above).
class WindFieldObject : public ForceFieldObject {
public:
    WindFieldObject();
    Class_ID ClassID() override { return windFieldClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    ForceField* GetForceField(INode* node) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
};

/// A point force from the node's position (see the law above).
class PushFieldObject : public ForceFieldObject {
public:
    PushFieldObject();
    Class_ID ClassID() override { return pushFieldClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    ForceField* GetForceField(INode* node) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
};

/// The blast helper: parameters only, no geometry.
class BlastMarkerObject : public Object {
public:
    BlastMarkerObject();
    IParamBlock2* pblock = nullptr;

    Class_ID ClassID() override { return blastMarkerClassID; }
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    void SetReference(int i, RefTargetHandle rtarg) override;
    bool AcceptsReference(int i, ReferenceTarget* target) override;
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override { return i == 0 ? pblock : nullptr; }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
};

/// The blast as geometry: the same parameters and a star-shaped mesh of "Icon Size".
class BlastShellObject : public SimpleObject2 {
public:
    BlastShellObject();
    Class_ID ClassID() override { return blastShellClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    void BuildMesh(TimeValue t) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
};

/// Registers the four force sources in a class directory.
void RegisterForceSourceClasses(ClassDirectory& directory);
