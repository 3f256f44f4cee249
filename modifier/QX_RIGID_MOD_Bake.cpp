#include "modifier/QX_RIGID_MOD_Bake.h"

#include "core/QX_BT_Math.h"
#include "host/ClassID.h"
#include "host/Hold.h"
#include "host/Interface.h"
#include "modifier/QX_Mesh_Convert.h"
#include "modifier/QX_RIGID_MOD.h"

#include <cmath>
#include <cstdlib>

using namespace Quarix;

namespace {

/// Key flags of the visibility keys: step tangents in and out, so a piece pops in and out.
constexpr DWORD kStepKeyFlags = 0x900;

/// One body to bake, or one whose motion a baked piece may follow before its birth.
struct Piece {
    QX_BT_Face_List faces;
    /// Centre of the body's shape (simulation space).
    glm::vec3 centre{0.0f};
    const QX_BT_Body_Data* data = nullptr;
    /// Index of the parent piece, -1 for none.
    int parent = -1;
};

Matrix3 ToHostMatrix(const glm::mat4& m) {
    auto row = [&](int c) { return Point3(m[c][0], m[c][1], m[c][2]); };
    return Matrix3(row(0), row(1), row(2), row(3));
}

/// The same placement with all three axes collapsed: the piece shrinks to its origin.
Matrix3 ZeroAxes(const Matrix3& tm) {
    return Matrix3(Point3(0, 0, 0), Point3(0, 0, 0), Point3(0, 0, 0), tm.GetRow(3));
}

glm::mat4 NodeTransform(QX_BT_MeshController& core, float frame) {
    glm::mat4 m(1.0f);
    if (core.api)
        core.api->GetNodeTransform(m, frame, 1.0f);
    return m;
}

/// The piece's transform at frame offset `o`, given the state `state` of the body it follows.
glm::mat4 ComposePieceTransform(QX_BT_MeshController& core, float o, const glm::mat4& state,
                                const glm::vec3& followedCentre, const glm::vec3& pieceCentre) {
    const glm::mat4 n = NodeTransform(core, o);
    const glm::mat4 p = glm::inverse(core.startTransform) * n;
    const glm::mat4 f = (TranslationPart(n) * RotationPart(n)) *
                        glm::inverse(TranslationPart(p) * RotationPart(p)) * p;
    return f * Translation(followedCentre) * state * Translation(pieceCentre - followedCentre);
}

/// A piece that did not exist yet at `o` follows the body it came from.
glm::mat4 PieceTransform(QX_BT_MeshController& core, const std::vector<Piece>& pieces, int i,
                         float o) {
    int source = i;
    for (size_t steps = 0; steps < pieces.size(); ++steps) {
        const Piece& s = pieces[size_t(source)];
        if (s.parent < 0 || !(o < s.data->lifeStart) || s.data->beforeMode == 0)
            break;
        source = s.parent;
    }
    const Piece& s = pieces[size_t(source)];
    return ComposePieceTransform(core, o, SampleTrack(s.data->track, o).transform, s.centre,
                                 pieces[size_t(i)].centre);
}

INode* MakeMeshNode(const QX_BT_Mesh_Data& mesh, Tab<INode*>& out) {
    TriObject* object = CreateNewTriObject();
    QX_Mesh_Convert::ImportMesh(mesh, object->GetMesh());
    INode* node = GetCOREInterface()->CreateObjectNode(object);
    out.Append(1, &node);
    return node;
}

INode* MakePieceNode(const QX_BT_Mesh_Data& simulation, const Piece& piece, Tab<INode*>& out) {
    QX_BT_Mesh_Data mesh;
    simulation.ExtractFaces(mesh, piece.faces);
    mesh.TransformVertices(Translation(-piece.centre));
    return MakeMeshNode(mesh, out);
}

void AddVisibilityKey(INode* node, TimeValue t, float value) {
    Control* vis = node->GetVisController();
    if (!vis) {
        vis = static_cast<Control*>(CreateInstance(CTRL_FLOAT_CLASS_ID, floatControllerClassID));
        node->SetVisController(vis);
    }
    IKeyControl* keys = GetKeyControlInterface(vis);
    if (!keys)
        return;
    IBezFloatKey key;
    key.time = t;
    key.val = value;
    key.flags = kStepKeyFlags;
    keys->AppendKey(&key);
}

TimeValue Tick(int frame) {
    return static_cast<TimeValue>(std::trunc(double(GetTicksPerFrame()) * double(frame)));
}

/// Keys one piece's node over the bake range: its base transform on its first frame, a key on
/// every frame of its life, and the hiding before its birth and after its end.
void KeyPiece(QX_BT_MeshController& core, const std::vector<Piece>& pieces, int i, INode* node,
              const QX_Bake_Settings& s) {
    const Piece& piece = pieces[size_t(i)];
    const bool born = piece.parent >= 0 && (piece.data->childFlag != 0 ||
                                            pieces[size_t(piece.parent)].data->childFlag != 0);
    bool first = true, ended = false;
    Matrix3 previous;
    AnimateOn();
    for (int o = 0; o < s.end - s.start; ++o) {
        const TimeValue t = Tick(o + s.start);
        const bool alive = IsAlive(*piece.data, float(o));
        if (!alive && s.hideMode != QX_Hide_Mode::None) {
            if (!first && !ended) {
                // The piece's life ended: it keeps its last pose, then vanishes.
                ended = true;
                node->SetNodeTM(t - 1, previous);
                if (s.hideMode == QX_Hide_Mode::Visibility) {
                    AddVisibilityKey(node, t - 1, 1.0f);
                    AddVisibilityKey(node, t, 0.0f);
                } else {
                    node->SetNodeTM(t, ZeroAxes(previous));
                }
            }
            continue;
        }
        if (ended)
            continue;
        const Matrix3 tm = ToHostMatrix(PieceTransform(core, pieces, i, float(o)));
        if (first) {
            first = false;
            AnimateOff();
            node->SetNodeTM(t, tm);
            AnimateOn();
            if (born && s.hideMode == QX_Hide_Mode::Visibility) {
                AddVisibilityKey(node, t - 1, 0.0f);
                AddVisibilityKey(node, t, 1.0f);
            } else if (born && s.hideMode == QX_Hide_Mode::Scale) {
                node->SetNodeTM(0, ZeroAxes(tm));
                node->SetNodeTM(t - 1, ZeroAxes(tm));
            }
        }
        node->SetNodeTM(t, tm);
        previous = tm;
    }
    AnimateOff();
}

/// The base transform alone: without recorded frames (or an empty range) the piece sits where
/// the simulation starts.
void PlacePiece(QX_BT_MeshController& core, const Piece& piece, INode* node,
                const QX_Bake_Settings& s) {
    const glm::mat4 state = piece.data->pristine
                                ? SampleTrack(piece.data->track, float(s.start)).transform
                                : piece.data->startState.transform;
    AnimateOff();
    node->SetNodeTM(Tick(s.start), ToHostMatrix(ComposePieceTransform(core, 0.0f, state,
                                                                      piece.centre, piece.centre)));
}

/// Names and colours of the nodes made, after the source node.
void NameNodes(INode* source, const QX_Bake_Settings& s, Tab<INode*>& out, int firstMade) {
    std::srand(static_cast<unsigned>(out.Count()));
    const MSTR base = source ? MSTR(source->GetName()) : MSTR();
    for (int i = 0; firstMade + i < out.Count(); ++i) {
        INode* node = out[firstMade + i];
        if (s.randomColours) {
            const int green = std::rand() % 255;
            const int blue = std::rand() % 255;
            const int red = std::rand() % 255;
            node->SetWireColor(RGB(red, green, blue));
        } else if (source) {
            node->SetWireColor(source->GetWireColor());
        }
        node->SetName((base + s.suffix + std::to_wstring(i)).c_str());
    }
}

/// The part both variants share once the pieces are known.
bool BakePieces(QX_BT_MeshController& core, INode* source, const QX_Bake_Settings& settings,
                const std::vector<Piece>& pieces, bool haveBodies, Tab<INode*>& out,
                QX_Bake_Report* report) {
    const int firstMade = out.Count();
    const bool recorded = !core.meshHistory.empty();
    if (!haveBodies && core.simulationMesh.faceCount() == 0 && core.inputMesh.faceCount() > 0) {
        // Never simulated: the object as it is, where its node is at the start.
        INode* node = MakeMeshNode(core.inputMesh, out);
        AnimateOff();
        node->SetNodeTM(Tick(settings.start), ToHostMatrix(NodeTransform(core, 0.0f)));
    }
    QX_Bake_Settings s = settings;
    if (!recorded)
        s.hideMode = QX_Hide_Mode::None;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const int marker = pieces[i].data->demolishedAs;
        if (!(marker < 0 || (marker == 1 && s.hideMode != QX_Hide_Mode::None)))
            continue;
        INode* node = MakePieceNode(core.simulationMesh, pieces[i], out);
        if (recorded && s.end > s.start)
            KeyPiece(core, pieces, int(i), node, s);
        else
            PlacePiece(core, pieces[i], node, s);
    }
    NameNodes(source, s, out, firstMade);
    if (report)
        report->nodes = out.Count() - firstMade;
    return settings.deleteSource;
}

/// Surface centre and volume of one stored element, as its shape would have them.
bool ElementCentre(const QX_BT_Mesh_Data& mesh, const QX_BT_Face_List& faces, glm::vec3& centre,
                   float& volume) {
    std::vector<int32_t> corners;
    for (int32_t f : faces) {
        if (f < 0 || size_t(f) >= mesh.faceCount())
            return false;
        for (int k = 0; k < 3; ++k)
            corners.push_back(mesh.geometry.faces[3 * size_t(f) + k]);
    }
    for (int32_t v : corners)
        if (v < 0 || size_t(v) >= mesh.geometry.vertexCount())
            return false;
    const std::optional<glm::vec3> c = ComputeSurfaceCentroid(mesh.geometry.vertices, corners);
    if (!c)
        return false;
    centre = *c;
    volume = ComputeEnclosedVolume(mesh.geometry.vertices, corners, *c);
    return std::isfinite(volume);
}

} // namespace

QX_Bake_Settings ReadBakeSettings(IParamBlock2& pb, TimeValue t) {
    namespace P = QX_RigidParam;
    QX_Bake_Settings s;
    s.start = pb.GetInt(P::ExplodeStart, t);
    s.end = pb.GetInt(P::ExplodeEnd, t);
    const MCHAR* suffix = pb.GetStr(P::ExplodeSuffix, t);
    s.suffix = suffix ? suffix : L"";
    s.deleteSource = pb.GetInt(P::ExplodeDel, t) != 0;
    s.randomColours = pb.GetInt(P::ExplodeRandColors, t) != 0;
    s.hideMode = pb.GetInt(P::ExplodeType, t);
    return s;
}

bool BakeBodies(QX_BT_MeshController& core, INode* source, const QX_Bake_Settings& settings,
                Tab<INode*>& out, QX_Bake_Report* report) {
    core.restorePending();
    std::vector<Piece> pieces(core.bodies.size());
    std::map<const QX_BT_Body_Data*, int> index;
    for (size_t b = 0; b < core.bodies.size(); ++b)
        index[core.bodies[b].get()] = int(b);
    for (size_t b = 0; b < core.bodies.size(); ++b) {
        const QX_BT_Body& body = *core.bodies[b];
        pieces[b].faces = CollectBodyFaces(body);
        pieces[b].centre = body.compoundShape() ? body.compoundShape()->centre : glm::vec3(0.0f);
        pieces[b].data = &body;
        const auto parent = body.parent ? index.find(body.parent) : index.end();
        pieces[b].parent = parent == index.end() ? -1 : parent->second;
    }
    return BakePieces(core, source, settings, pieces, !core.bodies.empty(), out, report);
}

bool BakeRecords(QX_BT_MeshController& core, INode* source, const QX_Bake_Settings& settings,
                 Tab<INode*>& out, QX_Bake_Report* report) {
    const QX_BT_Stored_Bodies& stored = core.pending;
    const std::vector<QX_BT_Body_Data>& records = stored.records;
    std::vector<Piece> pieces;
    std::vector<int> pieceOf(records.size(), -1);
    int skipped = 0;
    for (size_t r = 0; r < records.size(); ++r) {
        const QX_BT_Body_Data& record = records[r];
        Piece piece;
        piece.data = &record;
        bool valid = record.shapeIndex >= 0 && size_t(record.shapeIndex) < stored.groups.size();
        float volume = 0.0f;
        for (size_t g = 0; valid && g < stored.groups[size_t(record.shapeIndex)].size(); ++g) {
            const int32_t e = stored.groups[size_t(record.shapeIndex)][g];
            glm::vec3 c;
            float v = 0.0f;
            valid = e >= 0 && size_t(e) < stored.elementFaces.size() &&
                    ElementCentre(core.simulationMesh, stored.elementFaces[size_t(e)], c, v);
            if (!valid)
                break;
            // Weighted as a compound weighs its children.
            const float combined = volume + v;
            if (combined != 0.0f)
                piece.centre = (volume / combined) * piece.centre + (v / combined) * c;
            volume = combined;
            const QX_BT_Face_List& faces = stored.elementFaces[size_t(e)];
            piece.faces.insert(piece.faces.end(), faces.begin(), faces.end());
        }
        if (!valid || piece.faces.empty()) {
            ++skipped;
            continue;
        }
        pieceOf[r] = int(pieces.size());
        pieces.push_back(std::move(piece));
    }
    for (size_t r = 0; r < records.size(); ++r) {
        const int32_t p = records[r].parentIndex;
        if (pieceOf[r] >= 0 && p >= 0 && size_t(p) < records.size())
            pieces[size_t(pieceOf[r])].parent = pieceOf[size_t(p)];
    }
    const bool result = BakePieces(core, source, settings, pieces, !records.empty(), out, report);
    if (report)
        report->skippedRecords = skipped;
    return result;
}

bool BakeToNodes(QX_RIGID_MOD& mod, Tab<INode*>& out, QX_Bake_Report* report) {
    const QX_Bake_Settings s =
        ReadBakeSettings(*mod.GetParamBlock(0), GetCOREInterface()->GetTime());
    return BakeBodies(mod.GetCore(), mod.GetModifierNode(), s, out, report);
}

bool BakeToNodesFromRecords(QX_RIGID_MOD& mod, Tab<INode*>& out, QX_Bake_Report* report) {
    const QX_Bake_Settings s =
        ReadBakeSettings(*mod.GetParamBlock(0), GetCOREInterface()->GetTime());
    return BakeRecords(mod.GetCore(), mod.GetModifierNode(), s, out, report);
}

bool DeleteAfterExplode(INode* source, const Tab<INode*>& made, bool deleteSource) {
    if (!deleteSource || made.Count() == 0 || !source)
        return false;
    Interface* ip = GetCOREInterface();
    ip->ClearNodeSelection(FALSE);
    for (int i = 0; i < made.Count(); ++i)
        ip->SelectNode(made[i], 0);
    theHold.Begin();
    ip->DeleteNode(source);
    theHold.Accept(_T("Delete After Explode"));
    return true;
}
