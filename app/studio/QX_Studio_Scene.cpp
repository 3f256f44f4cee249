#include "app/studio/QX_Studio_Scene.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "app/QX_Rotation.h"
#include "app/QX_Session.h"
#include "host/IQXBodyPlayback.h"
#include "host/Interface.h"
#include "host/Modifier.h"

namespace Quarix::Studio {

using nlohmann::json;

namespace {

constexpr const char* kWorldClass = "QX_Bullet_World";
constexpr int kFloatsPerPiece = 7;

TimeValue Time(int frame) {
    return frame * GetTicksPerFrame();
}

std::string ClassNameOf(Animatable* anim) {
    MSTR name;
    anim->GetClassName(name, false);
    return ToUtf8(name);
}

std::uint32_t Rgb(COLORREF c) {
    return (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) |
           std::uint32_t(GetBValue(c));
}

/// The world's parameter block, or null.
IParamBlock2* WorldParams(INode* world) {
    Object* obj = world ? world->GetObjectRef() : nullptr;
    return obj && obj->NumParamBlocks() > 0 ? obj->GetParamBlock(0) : nullptr;
}

/// Handles of the nodes of a world's node table `name` (empty entries left out).
json ListHandles(IParamBlock2* params, const MCHAR* name) {
    json out = json::array();
    const ParamID id = params ? params->FindParamByName(name) : -1;
    for (int i = 0; id >= 0 && i < params->Count(id); ++i)
        if (INode* n = params->GetINode(id, 0, i))
            out.push_back(n->GetHandle());
    return out;
}

/// The world node and its force sources: helpers drawn as icons, not scene geometry.
std::set<INode*> HelperNodes(Interface& ip) {
    std::set<INode*> skip;
    INode* world = App::FindNodeOfClass(ip, kWorldClass);
    if (IParamBlock2* params = WorldParams(world)) {
        skip.insert(world);
        const ParamID forces = params->FindParamByName(_T("ForcesList"));
        for (int i = 0; forces >= 0 && i < params->Count(forces); ++i)
            if (INode* n = params->GetINode(forces, 0, i))
                skip.insert(n);
    }
    return skip;
}

void AppendFloats(std::string& out, const float* data, size_t count) {
    out.append(reinterpret_cast<const char*>(data), count * sizeof(float));
}

void AppendU32(std::string& out, std::uint32_t value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void AppendMeshData(std::string& out, const Piece& piece) {
    AppendU32(out, std::uint32_t(piece.positions.size() / 3));
    AppendU32(out, std::uint32_t(piece.indices.size() / 3));
    AppendFloats(out, piece.positions.data(), piece.positions.size());
    out.append(reinterpret_cast<const char*>(piece.indices.data()),
               piece.indices.size() * sizeof(std::uint32_t));
}

/// Translation and rotation of a host transform into seven floats.
void Place(const Matrix3& tm, float* out) {
    Point3 axis[3];
    for (int r = 0; r < 3; ++r) {
        axis[r] = tm.GetRow(r);
        const float length =
            std::sqrt(axis[r].x * axis[r].x + axis[r].y * axis[r].y + axis[r].z * axis[r].z);
        if (length > 0.0f)
            axis[r] = axis[r] * (1.0f / length);
    }
    const Point3 t = tm.GetTrans();
    out[0] = t.x;
    out[1] = t.y;
    out[2] = t.z;
    double q[4];
    App::RotationQuaternion(axis, q);
    for (int i = 0; i < 4; ++i)
        out[3 + i] = float(q[i]);
}

void CopyMesh(const Mesh& mesh, Piece& out) {
    out.positions.clear();
    out.indices.clear();
    out.positions.reserve(mesh.verts.size() * 3);
    for (const Point3& p : mesh.verts) {
        out.positions.push_back(p.x);
        out.positions.push_back(p.y);
        out.positions.push_back(p.z);
    }
    const auto vertexCount = std::uint32_t(mesh.verts.size());
    for (const Face& f : mesh.faces) {
        if (f.v[0] >= vertexCount || f.v[1] >= vertexCount || f.v[2] >= vertexCount)
            continue; // a corrupt face would make the page read out of bounds
        for (int k = 0; k < 3; ++k)
            out.indices.push_back(f.v[k]);
    }
}

} // namespace

json DescribeTree(Interface& ip) {
    json tree;
    INode* world = App::FindNodeOfClass(ip, kWorldClass);
    IParamBlock2* params = WorldParams(world);
    int start = 0, end = 100;
    if (params) {
        start = params->GetInt(params->FindParamByName(_T("StartFrame")));
        end = params->GetInt(params->FindParamByName(_T("EndFrame")));
    }
    tree["frameRate"] = ip.GetFrameRate();
    tree["start"] = start;
    tree["end"] = end;
    tree["frame"] = ip.GetTime() / GetTicksPerFrame();
    tree["world"] = world ? json(world->GetHandle()) : json(nullptr);
    tree["lists"] = {{"NodesList", ListHandles(params, _T("NodesList"))},
                     {"ForcesList", ListHandles(params, _T("ForcesList"))}};
    json nodes = json::array();
    for (INode* node : ip.AllNodes()) {
        Object* base = nullptr;
        json mods = json::array();
        bool simulated = false;
        for (Modifier* mod : App::StackOf(*node, base)) {
            mods.push_back(ClassNameOf(mod));
            if (IQXBodyPlayback* p = GetBodyPlaybackInterface(mod))
                simulated = simulated || p->BodyCount() > 0;
        }
        const std::uint32_t wire = Rgb(node->GetWireColor());
        INode* parent = node->GetParentNode();
        nodes.push_back({{"id", node->GetHandle()},
                         {"name", ToUtf8(node->GetName())},
                         {"class", base ? ClassNameOf(base) : std::string()},
                         {"modifiers", mods},
                         {"wire", {wire >> 16, (wire >> 8) & 255, wire & 255}},
                         {"hidden", bool(node->IsHidden())},
                         {"parent", parent && !parent->IsRootNode() ? json(parent->GetHandle())
                                                                    : json(nullptr)},
                         {"simulated", simulated}});
    }
    tree["nodes"] = nodes;
    return tree;
}

std::vector<std::uint64_t> PieceSignature(Interface& ip) {
    std::vector<std::uint64_t> signature;
    for (INode* node : ip.AllNodes()) {
        IQXBodyPlayback* p = App::FindBodyPlayback(*node);
        signature.push_back((std::uint64_t(node->GetHandle()) << 32) |
                            std::uint32_t(p ? p->BodyCount() : 0) |
                            (node->IsHidden() ? 1ull << 31 : 0));
    }
    return signature;
}

bool EvaluateNodeMesh(INode& node, int frame, Piece& out) {
    const ObjectState& os = node.EvalWorldState(Time(frame));
    Object* obj = os.obj;
    if (!obj || obj->SuperClassID() != GEOMOBJECT_CLASS_ID ||
        !obj->CanConvertToType(triObjectClassID))
        return false;
    Object* converted = obj->ConvertToType(Time(frame), triObjectClassID);
    if (!converted)
        return false;
    CopyMesh(static_cast<TriObject*>(converted)->GetMesh(), out);
    if (converted != obj)
        delete converted;
    out.node = node.GetHandle();
    out.body = -1;
    out.colour = Rgb(node.GetWireColor());
    return true;
}

std::shared_ptr<const PieceSet> CollectPieces(Interface& ip, int frame, int version,
                                              PieceSources& sources) {
    auto set = std::make_shared<PieceSet>();
    set->version = version;
    sources = PieceSources{};
    sources.signature = PieceSignature(ip);
    const std::set<INode*> skip = HelperNodes(ip);
    for (INode* node : ip.AllNodes()) {
        if (node->IsHidden() || skip.count(node))
            continue;
        IQXBodyPlayback* playback = App::FindBodyPlayback(*node);
        if (playback && playback->BodyCount() > 0) {
            for (int i = 0; i < playback->BodyCount(); ++i) {
                Piece piece;
                Mesh mesh;
                if (!playback->GetBodyMesh(i, mesh))
                    continue;
                CopyMesh(mesh, piece);
                piece.node = node->GetHandle();
                piece.body = i;
                piece.colour = Rgb(node->GetWireColor());
                set->pieces.push_back(std::move(piece));
                sources.nodes.push_back(node);
                sources.playbacks.push_back(playback);
                sources.bodies.push_back(i);
            }
            continue;
        }
        Piece piece;
        if (!EvaluateNodeMesh(*node, frame, piece))
            continue;
        set->pieces.push_back(std::move(piece));
        sources.nodes.push_back(node);
        sources.playbacks.push_back(nullptr);
        sources.bodies.push_back(-1);
    }
    return set;
}

std::shared_ptr<const FrameBlock> SampleFrame(const PieceSources& sources, int frame) {
    auto block = std::make_shared<FrameBlock>();
    block->frame = frame;
    block->values.resize(sources.nodes.size() * kFloatsPerPiece);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (size_t i = 0; i < sources.nodes.size(); ++i) {
        float* out = block->values.data() + i * kFloatsPerPiece;
        Matrix3 tm;
        bool alive;
        if (sources.playbacks[i]) {
            alive = sources.playbacks[i]->GetBodyTM(sources.bodies[i], float(frame), tm);
        } else {
            tm = sources.nodes[i]->GetObjectTM(Time(frame));
            alive = sources.nodes[i]->GetVisibility(Time(frame)) > 0.0f;
        }
        if (alive) {
            Place(tm, out);
        } else {
            std::fill(out, out + kFloatsPerPiece, 0.0f);
            out[0] = nan;
        }
    }
    return block;
}

std::string EncodeMesh(const Piece& piece) {
    std::string out = "QXM1";
    AppendMeshData(out, piece);
    return out;
}

std::string EncodePieces(const PieceSet& set) {
    std::string out = "QXP1";
    AppendU32(out, std::uint32_t(set.pieces.size()));
    AppendU32(out, std::uint32_t(set.version));
    for (const Piece& piece : set.pieces) {
        AppendU32(out, piece.node);
        AppendU32(out, std::uint32_t(piece.body));
        AppendU32(out, piece.colour);
        AppendMeshData(out, piece);
    }
    return out;
}

std::string EncodeFrames(const std::vector<std::shared_ptr<const FrameBlock>>& frames,
                         int pieceCount) {
    std::string out = "QXF1";
    AppendU32(out, std::uint32_t(frames.empty() ? 0 : frames.front()->frame));
    AppendU32(out, std::uint32_t(frames.size()));
    AppendU32(out, std::uint32_t(pieceCount));
    out.reserve(out.size() + frames.size() * size_t(pieceCount) * kFloatsPerPiece * 4);
    for (const auto& block : frames) {
        // A block sampled for another piece layout is sent as "not alive" rather than misread.
        if (block->values.size() == size_t(pieceCount) * kFloatsPerPiece) {
            AppendFloats(out, block->values.data(), block->values.size());
        } else {
            std::vector<float> dead(size_t(pieceCount) * kFloatsPerPiece, 0.0f);
            for (int i = 0; i < pieceCount; ++i)
                dead[size_t(i) * kFloatsPerPiece] = std::numeric_limits<float>::quiet_NaN();
            AppendFloats(out, dead.data(), dead.size());
        }
    }
    return out;
}

} // namespace Quarix::Studio
