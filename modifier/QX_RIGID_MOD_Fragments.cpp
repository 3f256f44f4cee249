#include "modifier/QX_RIGID_MOD_Fragments.h"

#include "modifier/QX_Mesh_Convert.h"

#include <bit>
#include <cstdio>
#include <exception>

using namespace Quarix;

ModData::ModData(IQXShatter::QXShatterPtr shatter) : m_shatter(std::move(shatter)) {}

ModData::~ModData() = default;

LocalModData* ModData::Clone() {
    return new ModData(IQXShatter::Clone(m_shatter));
}

void* ModData::GetInterface(ULONG) {
    return nullptr;
}

void QX_LogToStderr(const std::string& message) {
    std::fprintf(stderr, "Quarix Rigid: %s\n", message.c_str());
}

namespace {

/// FNV-1a over 32-bit words: fixed by its definition, so seeds agree across builds and runs.
class SeedHash {
public:
    void Add(uint32_t word) {
        for (int b = 0; b < 4; ++b) {
            m_hash ^= (word >> (8 * b)) & 0xffu;
            m_hash *= 16777619u;
        }
    }
    void Add(float value) { Add(std::bit_cast<uint32_t>(value)); }
    uint32_t Value() const { return m_hash; }

private:
    uint32_t m_hash = 2166136261u;
};

/// Leaves face infos and channels as they were, as a failed cut must.
void EmptyGeometry(QX_BT_Mesh_Data& record) {
    record.geometry.faces.clear();
    record.geometry.vertices.clear();
}

} // namespace

int32_t FragmentSeed(const QX_BT_Mesh_Data& record, int32_t count, const glm::vec3& impact) {
    SeedHash hash;
    hash.Add(impact.x);
    hash.Add(impact.y);
    hash.Add(impact.z);
    hash.Add(static_cast<uint32_t>(count));
    for (float v : record.geometry.vertices)
        hash.Add(v);
    return static_cast<int32_t>(hash.Value());
}

bool FragmentMesh(QX_BT_Mesh_Data& record, int32_t count, float bias, int32_t materialID,
                  const glm::vec3& impact, const QX_Fragment_Log& log) {
    Mesh mesh;
    QX_Mesh_Convert::ImportMesh(record, mesh);
    const size_t corners = record.geometry.faces.size();
    bool result = false;
    try {
        ModData data(IQXShatter::New(mesh, 0, true));
        IQXShatter::QXShatterPtr& shatter = data.Shatter();
        Interval valid(TIME_NegInfinity, TIME_NegInfinity);
        Matrix3 at;
        at.SetTrans(Point3(impact.x, impact.y, impact.z));
        IQXShatter::IQXParams::setParam<int>(shatter, IQXShatter::kParamFragmentCount, 0, count,
                                             valid, 0);
        IQXShatter::IQXParams::setParam<int>(shatter, IQXShatter::kParamInnerMaterialId, 0,
                                             materialID, valid, 0);
        IQXShatter::IQXParams::setParam<Matrix3>(shatter, IQXShatter::kParamImpactTransform, 0, at,
                                                 valid, 0);
        IQXShatter::IQXParams::setParam<float>(shatter, IQXShatter::kParamBias, 0, bias, valid, 0);
        // Identical bodies would otherwise break in identical patterns.
        const int seed = FragmentSeed(record, count, impact);
        IQXShatter::IQXParams::setParam<int>(shatter, IQXShatter::kParamRandomSeed, 0, seed, valid,
                                             0);
        Interval always(TIME_NegInfinity, TIME_PosInfinity);
        IQXShatter::Modify(shatter, 0, always);
        IQXShatter::GetFinalMesh(shatter, mesh);
        const std::string warnings = IQXShatter::GetWarnings(shatter);
        if (!warnings.empty() && log)
            log(warnings);
        QX_Mesh_Convert::ExportMesh(mesh, record);
        result = true;
    } catch (const std::exception& e) {
        if (log)
            log(std::string("fragmenting a body failed: ") + e.what());
        EmptyGeometry(record);
        return false;
    }
    if (record.geometry.faces.size() == corners) {
        // The library did not cut anything (a count below 2, an empty or uncuttable mesh).
        EmptyGeometry(record);
        return false;
    }
    return result;
}

QX_BT_Fragment_Operation MakeFragmentOperation(QX_Fragment_Log log) {
    return [log = std::move(log)](QX_BT_Mesh_Data& piece, int32_t count, float bias,
                                  int32_t materialID, const glm::vec3& impact) {
        return FragmentMesh(piece, count, bias, materialID, impact, log);
    };
}

std::wstring QX_CaptureButtonText(bool pressed, size_t capturedFaces) {
    if (!pressed)
        return L"Capture<NONE>";
    return L"Captured: " + std::to_wstring(capturedFaces) + L" faces";
}

std::wstring CaptureButtonText(const QX_BT_MeshController& core) {
    const size_t faces = core.capturedMesh.faceCount();
    return QX_CaptureButtonText(faces != 0, faces);
}
