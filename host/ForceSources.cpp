#include "host/ForceSources.h"

#include "host/ClassDesc2.h"
#include "host/INode.h"
#include "host/Interface.h"

#include <cmath>
#include <numbers>

namespace {

template <class T>
class ForceSourceDesc : public ClassDesc2 {
public:
    ForceSourceDesc(const MCHAR* name, const MCHAR* internal, SClass_ID sclass, Class_ID cid)
        : m_name(name), m_internal(internal), m_sclass(sclass), m_cid(cid) {}
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new T(); }
    const MCHAR* ClassName() override { return m_name; }
    SClass_ID SuperClassID() override { return m_sclass; }
    Class_ID ClassID() override { return m_cid; }
    const MCHAR* Category() override { return _T("Forces"); }
    const MCHAR* InternalName() override { return m_internal; }

private:
    const MCHAR* m_name;
    const MCHAR* m_internal;
    SClass_ID m_sclass;
    Class_ID m_cid;
};

constexpr int kBlockFlags = P_AUTO_CONSTRUCT;
constexpr int kAnim = P_ANIMATABLE | P_RESET_DEFAULT;
constexpr double kBig = 999999.0;

void DescribeBlast(ParamBlockDesc2& d) {
    using namespace BlastObjectParam;
    d.AddParam(Mode, _T("Mode"), TYPE_INT, P_RESET_DEFAULT, 0).Default(0).Range(0, 2);
    d.AddParam(IconSize, _T("Icon Size"), TYPE_WORLD, kAnim, 0).Default(20.0f).Range(0.0, kBig);
    d.AddParam(FalloffDistance, _T("Falloff Distance"), TYPE_WORLD, kAnim, 0)
        .Default(500.0f)
        .Range(0.0, kBig);
    // A full circle by default: the cone then takes in every direction.
    d.AddParam(ConeAngle, _T("Cone Angle"), TYPE_ANGLE, kAnim, 0)
        .Default(2.0 * std::numbers::pi)
        .Range(0.0, 2.0 * std::numbers::pi);
    d.AddParam(StartFrame, _T("Start Frame"), TYPE_INT, kAnim, 0).Default(10).Range(-kBig, kBig);
    d.AddParam(Strength, _T("Strength"), TYPE_FLOAT, kAnim, 0).Default(1.0f).Range(-kBig, kBig);
    d.AddParam(Chaos, _T("Chaos"), TYPE_INT, kAnim, 0).Default(0).Range(0, 100);
    d.AddParam(Spin, _T("Spin"), TYPE_FLOAT, kAnim, 0).Default(0.0f).Range(-kBig, kBig);
    d.AddParam(WaveSpeed, _T("Wave Speed"), TYPE_WORLD, kAnim, 0).Default(0.0f).Range(0.0, kBig);
    d.AddParam(FalloffType, _T("Falloff Type"), TYPE_INT, P_RESET_DEFAULT, 0)
        .Default(1)
        .Range(0, 2);
}

// The four descriptors and their block descriptions, built on first use so that a host made
// during static initialisation finds them complete.
struct Sources {
    ForceSourceDesc<WindFieldObject> windDesc{_T("Wind Field"), _T("WindField"),
                                              WSM_OBJECT_CLASS_ID, windFieldClassID};
    ForceSourceDesc<PushFieldObject> pushDesc{_T("Push Field"), _T("PushField"),
                                              WSM_OBJECT_CLASS_ID, pushFieldClassID};
    ForceSourceDesc<BlastMarkerObject> markerDesc{_T("Blast Marker"), _T("BlastMarker"),
                                                  HELPER_CLASS_ID, blastMarkerClassID};
    ForceSourceDesc<BlastShellObject> shellDesc{_T("Blast Shell"), _T("BlastShell"),
                                                GEOMOBJECT_CLASS_ID, blastShellClassID};
    ParamBlockDesc2 windParams{0, _T("params"), 0, &windDesc, kBlockFlags, 0};
    ParamBlockDesc2 pushParams{0, _T("params"), 0, &pushDesc, kBlockFlags, 0};
    ParamBlockDesc2 markerParams{0, _T("params"), 0, &markerDesc, kBlockFlags, 0};
    ParamBlockDesc2 shellParams{0, _T("params"), 0, &shellDesc, kBlockFlags, 0};

    Sources() {
        using namespace FieldParam;
        windParams.AddParam(Strength, _T("Strength"), TYPE_FLOAT, kAnim, 0)
            .Default(1.0f)
            .Range(-kBig, kBig);
        windParams.AddParam(Turbulence, _T("Turbulence"), TYPE_FLOAT, kAnim, 0)
            .Default(0.0f)
            .Range(0.0, kBig);
        windParams.AddParam(TurbulenceScale, _T("Turbulence Scale"), TYPE_WORLD, kAnim, 0)
            .Default(100.0f)
            .Range(0.001, kBig);
        pushParams.AddParam(Strength, _T("Strength"), TYPE_FLOAT, kAnim, 0)
            .Default(1.0f)
            .Range(-kBig, kBig);
        pushParams.AddParam(FalloffRadius, _T("Falloff Radius"), TYPE_WORLD, kAnim, 0)
            .Default(0.0f)
            .Range(0.0, kBig);
        DescribeBlast(markerParams);
        DescribeBlast(shellParams);
    }
};

Sources& TheSources() {
    static Sources sources;
    return sources;
}

// A deterministic value in [-1, 1] for a lattice cell, a frame and a component.
float LatticeNoise(std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t frame, int comp) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    for (std::int64_t v : {x, y, z, frame, static_cast<std::int64_t>(comp)}) {
        h ^= static_cast<std::uint64_t>(v) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    return static_cast<float>(h >> 40) / static_cast<float>(1ull << 23) - 1.0f;
}

std::int64_t Cell(float v, float size) {
    const double c = std::floor(static_cast<double>(v) / size);
    return std::isfinite(c) ? static_cast<std::int64_t>(std::fmax(-1e15, std::fmin(1e15, c))) : 0;
}

class WindField : public ForceField {
public:
    WindField(INode* node, IParamBlock2* pb) : m_node(node), m_pb(pb) {}
    Point3 Force(TimeValue t, const Point3& pos, const Point3&, int) override {
        const float strength = m_pb->GetFloat(FieldParam::Strength, t);
        const Point3 axis = m_node->GetObjectTM(t).VectorTransform(Point3(0, 0, 1)).Normalize();
        Point3 f = axis * (strength * kFieldForceUnit);
        const float turbulence = m_pb->GetFloat(FieldParam::Turbulence, t);
        if (turbulence > 0.0f) {
            const float size = std::fmax(m_pb->GetFloat(FieldParam::TurbulenceScale, t), 0.001f);
            const std::int64_t cx = Cell(pos.x, size), cy = Cell(pos.y, size),
                               cz = Cell(pos.z, size);
            const std::int64_t frame = t / GetTicksPerFrame();
            const Point3 n(LatticeNoise(cx, cy, cz, frame, 0), LatticeNoise(cx, cy, cz, frame, 1),
                           LatticeNoise(cx, cy, cz, frame, 2));
            f += n * (strength * turbulence * kFieldForceUnit);
        }
        return f;
    }

private:
    INode* m_node;
    IParamBlock2* m_pb;
};

class PushField : public ForceField {
public:
    PushField(INode* node, IParamBlock2* pb) : m_node(node), m_pb(pb) {}
    Point3 Force(TimeValue t, const Point3& pos, const Point3&, int) override {
        const Point3 offset = pos - m_node->GetObjectTM(t).GetTrans();
        const float r = offset.Length();
        if (!(r > 0.0f))
            return Point3();
        const float radius = m_pb->GetFloat(FieldParam::FalloffRadius, t);
        const float w = radius > 0.0f ? std::fmax(0.0f, 1.0f - r / radius) : 1.0f;
        return offset / r * (m_pb->GetFloat(FieldParam::Strength, t) * kFieldForceUnit * w);
    }

private:
    INode* m_node;
    IParamBlock2* m_pb;
};

bool AcceptsBlock(int i, ReferenceTarget* target) {
    return !target || (i == 0 && dynamic_cast<IParamBlock2*>(target) != nullptr);
}

IParamBlock2* BlockByID(IParamBlock2* pb, short id) {
    return pb && pb->ID() == id ? pb : nullptr;
}

template <class T>
ReferenceTarget* CloneWithBlock(ReferenceTarget* from, IParamBlock2* pb, RemapDir& remap) {
    auto* copy = new T();
    copy->ReplaceReference(0, remap.CloneRef(pb));
    from->BaseClone(from, copy, remap);
    return copy;
}

} // namespace

void ForceFieldObject::SetReference(int i, RefTargetHandle rtarg) {
    if (i == 0)
        pblock = static_cast<IParamBlock2*>(rtarg);
}

bool ForceFieldObject::AcceptsReference(int i, ReferenceTarget* target) {
    return AcceptsBlock(i, target);
}

IParamBlock2* ForceFieldObject::GetParamBlockByID(short id) {
    return BlockByID(pblock, id);
}

WindFieldObject::WindFieldObject() {
    TheSources().windDesc.MakeAutoParamBlocks(this);
}

void WindFieldObject::GetClassName(MSTR& s, bool) const {
    s = _T("Wind Field");
}

ForceField* WindFieldObject::GetForceField(INode* node) {
    return node && pblock ? new WindField(node, pblock) : nullptr;
}

ReferenceTarget* WindFieldObject::Clone(RemapDir& remap) {
    return CloneWithBlock<WindFieldObject>(this, pblock, remap);
}

PushFieldObject::PushFieldObject() {
    TheSources().pushDesc.MakeAutoParamBlocks(this);
}

void PushFieldObject::GetClassName(MSTR& s, bool) const {
    s = _T("Push Field");
}

ForceField* PushFieldObject::GetForceField(INode* node) {
    return node && pblock ? new PushField(node, pblock) : nullptr;
}

ReferenceTarget* PushFieldObject::Clone(RemapDir& remap) {
    return CloneWithBlock<PushFieldObject>(this, pblock, remap);
}

BlastMarkerObject::BlastMarkerObject() {
    TheSources().markerDesc.MakeAutoParamBlocks(this);
}

void BlastMarkerObject::GetClassName(MSTR& s, bool) const {
    s = _T("Blast Marker");
}

void BlastMarkerObject::SetReference(int i, RefTargetHandle rtarg) {
    if (i == 0)
        pblock = static_cast<IParamBlock2*>(rtarg);
}

bool BlastMarkerObject::AcceptsReference(int i, ReferenceTarget* target) {
    return AcceptsBlock(i, target);
}

IParamBlock2* BlastMarkerObject::GetParamBlockByID(short id) {
    return BlockByID(pblock, id);
}

ReferenceTarget* BlastMarkerObject::Clone(RemapDir& remap) {
    return CloneWithBlock<BlastMarkerObject>(this, pblock, remap);
}

BlastShellObject::BlastShellObject() {
    TheSources().shellDesc.MakeAutoParamBlocks(this);
}

void BlastShellObject::GetClassName(MSTR& s, bool) const {
    s = _T("Blast Shell");
}

// An octahedron: six points on the axes at "Icon Size" / 2, eight faces.
void BlastShellObject::BuildMesh(TimeValue t) {
    const float h =
        pblock2 ? std::fabs(pblock2->GetFloat(BlastObjectParam::IconSize, t)) * 0.5f : 10.0f;
    mesh.FreeAll();
    mesh.verts = {Point3(h, 0, 0),  Point3(0, h, 0), Point3(-h, 0, 0),
                  Point3(0, -h, 0), Point3(0, 0, h), Point3(0, 0, -h)};
    const DWORD tris[8][3] = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4},
                              {1, 0, 5}, {2, 1, 5}, {3, 2, 5}, {0, 3, 5}};
    for (const auto& tri : tris) {
        Face f;
        f.setVerts(tri[0], tri[1], tri[2]);
        f.setEdgeVisFlags(TRUE, TRUE, TRUE);
        f.setSmGroup(1);
        mesh.faces.push_back(f);
    }
    ivalid = Interval(t, t);
}

ReferenceTarget* BlastShellObject::Clone(RemapDir& remap) {
    return CloneWithBlock<BlastShellObject>(this, pblock2, remap);
}

void RegisterForceSourceClasses(ClassDirectory& directory) {
    Sources& s = TheSources();
    directory.Register(&s.windDesc);
    directory.Register(&s.pushDesc);
    directory.Register(&s.markerDesc);
    directory.Register(&s.shellDesc);
}
