#include "world/QX_World_Forces.h"

#include "host/Interface.h"
#include "world/QX_BULLET_OBJ_Params.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Quarix {

namespace {

glm::vec3 ToGlm(const Point3& p) {
    return {p.x, p.y, p.z};
}

bool Finite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool Finite(const Matrix3& m) {
    for (int r = 0; r < 4; ++r) {
        const Point3& row = m.GetRow(r);
        if (!std::isfinite(row.x) || !std::isfinite(row.y) || !std::isfinite(row.z))
            return false;
    }
    return true;
}

bool FiniteParams(const QX_Blast_Params& b) {
    return std::isfinite(b.falloffDistance) && std::isfinite(b.coneAngle) &&
           std::isfinite(b.strength) && std::isfinite(b.spin) && std::isfinite(b.waveSpeed) &&
           Finite(b.nodeTM);
}

glm::vec3 SafeNormalize(const glm::vec3& v) {
    const float len = glm::length(v);
    return len > 0.0f ? v / len : glm::vec3(0.0f);
}

// The direction the blast pushes a body at p, for the blast centre c and its Z axis a.
glm::vec3 BlastDirection(const QX_Blast_Params& b, const glm::vec3& p, const glm::vec3& c,
                         const glm::vec3& a) {
    switch (b.mode) {
    case 0: {
        const glm::vec3 v = p - c;
        const float len = glm::length(v);
        // A body at the centre has no direction: its angle is NaN, taken as 0, and it gets the
        // zero vector rather than a NaN one.
        float angle = len > 0.0f ? std::acos(glm::dot(v / len, a)) : 0.0f;
        if (std::isnan(angle))
            angle = 0.0f;
        return b.coneAngle * 0.5f >= angle ? SafeNormalize(v) : glm::vec3(0.0f);
    }
    case 1:
        return glm::dot(p - c, a) >= 0.0f ? a : -a;
    case 2: {
        const Point3 w =
            b.nodeTM.VectorTransform(Point3(p.x - c.x, p.y - c.y, 0.0f)); // node's XY plane
        return 0.3f * SafeNormalize(ToGlm(w));
    }
    default:
        return glm::vec3(0.0f);
    }
}

float FalloffWeight(const QX_Blast_Params& b, float r) {
    const float d = b.falloffDistance;
    if (b.falloffType != 1 && b.falloffType != 2)
        return 1.0f;
    if (!(d > 0.0f))
        return 0.0f;
    const float w = 1.0f - std::min(d, r) / d;
    return b.falloffType == 2 ? w * w : w;
}

} // namespace

std::vector<INode*> CollectForceNodes(IParamBlock2* worldBlock) {
    std::vector<INode*> nodes;
    if (!worldBlock)
        return nodes;
    const int count = worldBlock->Count(WorldParam::ForcesList);
    for (int i = 0; i < count; ++i) {
        INode* node = worldBlock->GetINode(WorldParam::ForcesList, 0, i);
        if (node && std::find(nodes.begin(), nodes.end(), node) == nodes.end())
            nodes.push_back(node);
    }
    return nodes;
}

ForceField* GetNodeForceField(INode* node) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    if (!obj)
        return nullptr;
    auto* wsm = static_cast<WSMObject*>(obj->GetInterface(I_WSMOBJECT));
    if (!wsm && obj->SuperClassID() == WSM_OBJECT_CLASS_ID)
        wsm = dynamic_cast<WSMObject*>(obj);
    return wsm ? wsm->GetForceField(node) : nullptr;
}

bool IsBlastObject(Object* obj) {
    if (!obj)
        return false;
    const SClass_ID sc = obj->SuperClassID();
    const Class_ID cid = obj->ClassID();
    return (sc == HELPER_CLASS_ID && cid == kBlastHelperClassID) ||
           (sc == GEOMOBJECT_CLASS_ID && cid == kBlastGeometryClassID);
}

bool ReadBlastParams(INode* node, TimeValue t, QX_Blast_Params& out) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    if (!IsBlastObject(obj))
        return false;
    IParamBlock2* pb = obj->GetParamBlockByID(0);
    if (!pb)
        pb = obj->GetParamBlock(0);
    if (!pb)
        return false;
    out.mode = pb->GetInt(BlastParam::Mode, t);
    out.falloffDistance = pb->GetFloat(BlastParam::FalloffDistance, t);
    out.coneAngle = pb->GetFloat(BlastParam::ConeAngle, t);
    out.startFrame = pb->GetInt(BlastParam::StartFrame, t);
    out.strength = pb->GetFloat(BlastParam::Strength, t);
    out.chaos = pb->GetInt(BlastParam::Chaos, t);
    out.spin = pb->GetFloat(BlastParam::Spin, t);
    out.waveSpeed = pb->GetFloat(BlastParam::WaveSpeed, t);
    out.falloffType = pb->GetInt(BlastParam::FalloffType, t);
    out.nodeTM = node->GetNodeTM(t);
    return true;
}

QX_Blast_Contribution EvaluateBlast(const QX_Blast_Params& b, float absFrame, const glm::vec3& p,
                                    int substeps, int ticksPerFrame) {
    QX_Blast_Contribution out;
    if (!FiniteParams(b) || !std::isfinite(absFrame) || !Finite(p) || ticksPerFrame <= 0)
        return out;
    const float tpf = static_cast<float>(ticksPerFrame);
    const float t = absFrame * tpf;
    const float x = std::max(1.0f, static_cast<float>(substeps));
    const glm::vec3 c = ToGlm(b.nodeTM.GetTrans());
    const glm::vec3 a = SafeNormalize(ToGlm(b.nodeTM.VectorTransform(Point3(0, 0, 1))));

    // The wave shell: the blast front travels E units per frame and is E / X thick.
    const float start = static_cast<float>(static_cast<double>(b.startFrame) * ticksPerFrame);
    const float e = b.waveSpeed;
    const float outer = (t - start) / tpf * e + e / x;
    const float inner = outer - e / x;

    const int chaos = b.chaos != 0 ? std::rand() % b.chaos : 0;
    const glm::vec3 d = BlastDirection(b, p, c, a);
    const float s = b.strength * 8.0f * 33.0f;
    const float q = static_cast<float>(chaos * 0.01);
    const glm::vec3 linear = s * d * q + s * d;

    glm::vec3 spin(0.0f);
    if (b.spin != 0.0f) {
        const float o = b.spin;
        const float k = 2.0f * o / 32767.0f;
        const int r1 = std::rand();
        const int r2 = std::rand();
        const int r3 = std::rand();
        spin = glm::vec3(static_cast<float>(r3) * k - o, static_cast<float>(r2) * k - o,
                         static_cast<float>(r1) * k - o);
    }

    const float r = glm::length(p - c);
    const float w = FalloffWeight(b, r);
    const bool gate = e > 0.0f ? (inner <= r && r < outer) : start == t;
    if (!gate)
        return out;
    out.force = linear * w;
    out.spin = spin * w * 8.0f;
    out.acts = Finite(out.force) && Finite(out.spin);
    if (!out.acts)
        out.force = out.spin = glm::vec3(0.0f);
    return out;
}

void ComputeWorldForces(IParamBlock2* worldBlock, int startFrame, float frameOffset,
                        const glm::vec3& position, int& forceIndex, glm::vec3& fieldForce,
                        glm::vec3& blastForce, glm::vec3& blastSpin) {
    const std::vector<INode*> nodes = CollectForceNodes(worldBlock);
    if (nodes.empty())
        return;
    Interface* ip = GetCOREInterface();
    const TimeValue now = ip->GetTime();
    const float absFrame = frameOffset + static_cast<float>(startFrame);
    const int tpf = GetTicksPerFrame();
    const Point3 pos(position.x, position.y, position.z);
    for (INode* node : nodes) {
        if (ForceField* field = GetNodeForceField(node)) {
            const glm::vec3 f =
                ToGlm(field->Force(now, pos, Point3(0, 0, 0), forceIndex)) * kFieldForceScale;
            if (Finite(f))
                fieldForce += f;
            ++forceIndex;
            field->DeleteThis();
            continue;
        }
        if (!IsBlastObject(node->GetObjectRef()))
            continue;
        const float t = absFrame * static_cast<float>(tpf);
        // Times beyond the host's tick range have no parameter values to read.
        if (!(std::fabs(t) < 2.0e9f))
            continue;
        QX_Blast_Params blast;
        if (!ReadBlastParams(node, static_cast<TimeValue>(t), blast))
            continue;
        const int substeps = worldBlock->GetInt(WorldParam::SimuleSpeed, now);
        const QX_Blast_Contribution c = EvaluateBlast(blast, absFrame, position, substeps, tpf);
        if (c.acts) {
            blastForce += c.force;
            blastSpin += c.spin;
        }
    }
}

bool IsSupportNode(INode* node) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    if (!obj)
        return false;
    const SClass_ID sc = obj->SuperClassID();
    if (sc != GEOMOBJECT_CLASS_ID && sc != GEN_DERIVOB_CLASS_ID)
        return false;
    if (ForceField* field = GetNodeForceField(node)) {
        field->DeleteThis();
        return false;
    }
    return !IsBlastObject(obj) && obj->ClassID() != kWorldClassID;
}

std::vector<QX_BT_Box> ComputeSupportBoxes(IParamBlock2* worldBlock, float scale) {
    std::vector<QX_BT_Box> boxes;
    const TimeValue t = GetCOREInterface()->GetTime();
    for (INode* node : CollectForceNodes(worldBlock)) {
        if (!IsSupportNode(node))
            continue;
        const ObjectState& os = node->EvalWorldState(t, TRUE);
        if (!os.obj)
            continue;
        Box3 box;
        os.obj->GetDeformBBox(t, box, nullptr);
        if (box.IsEmpty())
            continue;
        const Point3 offset = node->GetObjectTM(t).GetTrans();
        const Point3 lo = (box.pmin + offset) * scale;
        const Point3 hi = (box.pmax + offset) * scale;
        boxes.push_back(
            QX_BT_Box{glm::vec4(lo.x, lo.y, lo.z, 0.0f), glm::vec4(hi.x, hi.y, hi.z, 0.0f)});
    }
    return boxes;
}

} // namespace Quarix
