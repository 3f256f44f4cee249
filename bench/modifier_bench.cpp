// The rigid modifier during playback: one object of 1,000 box elements simulated for 100 frames,
// then the host evaluates the node at every frame, against one plain copy of the output mesh.

#include <algorithm>
#include <memory>
#include <vector>

#include "bench/bench.h"
#include "bench/benchmarks.h"
#include "core/QX_BT_World.h"
#include "host/Interface.h"
#include "modifier/QX_RIGID_MOD.h"
#include "plugin/QX_Resources.h"

namespace Quarix::Bench {

namespace {

constexpr int kBoxesPerSide = 10; // 1,000 boxes
constexpr float kBoxSize = 10.0f;
constexpr float kSpacing = 12.0f;
constexpr int kFrames = 100;

// 1,000 separate boxes in a 10 x 10 x 10 grid, the lowest layer on the ground.
TriObject* MakeBoxGrid() {
    auto* tri = new TriObject();
    Mesh& mesh = tri->mesh;
    const int boxes = kBoxesPerSide * kBoxesPerSide * kBoxesPerSide;
    mesh.setNumVerts(8 * boxes);
    mesh.setNumFaces(12 * boxes);
    static constexpr int kFaces[12][3] = {{0, 2, 3}, {3, 1, 0}, {4, 5, 7}, {7, 6, 4},
                                          {0, 1, 5}, {5, 4, 0}, {1, 3, 7}, {7, 5, 1},
                                          {3, 2, 6}, {6, 7, 3}, {2, 0, 4}, {4, 6, 2}};
    int box = 0;
    for (int x = 0; x < kBoxesPerSide; ++x) {
        for (int y = 0; y < kBoxesPerSide; ++y) {
            for (int z = 0; z < kBoxesPerSide; ++z, ++box) {
                const Point3 origin(x * kSpacing, y * kSpacing, z * kSpacing);
                for (int c = 0; c < 8; ++c)
                    mesh.setVert(8 * box + c, origin + Point3((c & 1) ? kBoxSize : 0.0f,
                                                              (c & 2) ? kBoxSize : 0.0f,
                                                              (c & 4) ? kBoxSize : 0.0f));
                for (int f = 0; f < 12; ++f) {
                    Face& face = mesh.faces[size_t(12 * box + f)];
                    face.setVerts(8 * box + kFaces[f][0], 8 * box + kFaces[f][1],
                                  8 * box + kFaces[f][2]);
                    face.setEdgeVisFlags(TRUE, TRUE, FALSE);
                    face.setMatID(static_cast<MtlID>(f / 2));
                    face.setSmGroup(1u << (f / 2));
                }
            }
        }
    }
    return tri;
}

void RegisterModifierClass(Interface& ip) {
    if (ip.GetClassDirectory().Find(OSM_CLASS_ID, QX_RIGID_MOD_CLASS_ID))
        return;
    QX_AttachModuleInstance(ip.GetModules().CreateInProcessModule("Quarix_Rigid (bench)"));
    ip.GetClassDirectory().Register(GetQXRigidModDesc());
}

void Simulate(QX_RIGID_MOD& mod) {
    QX_BT_World world;
    world.floatSettings.set(WorldKey::DeltaTime, 1.0f);
    world.floatSettings.set(WorldKey::ScaleFactor, 1.0f);
    world.intSettings.set(WorldKey::SubSteps, 1);
    world.floatSettings.set(WorldKey::Gravity, 1470.0f);
    world.vectorSettings.set(WorldKey::GravityDirection, {0, 0, -1, 0});
    world.intSettings.set(WorldKey::GroundPlane, 1);
    world.vectorSettings.set(WorldKey::GroundNormal, {0, 0, 1, 0});
    for (int f = 0; f < kFrames; ++f) {
        mod.PushSettingsToCore(0);
        std::shared_ptr<QX_BT_MeshController> core = mod.ShareCore();
        world.HasChanges({core.get()});
        world.SimulateFrame({core.get()}, float(f), float(f + 1), 1.0f, false);
        world.intSettings.clearChanged();
        world.floatSettings.clearChanged();
        core->intSettings.clearChanged();
        core->floatSettings.clearChanged();
    }
    mod.UpdatePlaybackEnd(true);
}

} // namespace

std::string ModifierPlayback() {
    Interface& ip = *GetCOREInterface();
    ip.ResetScene();
    ip.SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
    RegisterModifierClass(ip);
    INode* node = ip.CreateObjectNode(MakeBoxGrid());
    QX_RIGID_MOD::AttachRigidModifier(node);
    QX_RIGID_MOD* mod = QX_RIGID_MOD::FindRigidModifier(node);
    mod->refTarg_ParamBlock->SetValue(QX_RigidParam::Separate, 0, false); // one body per box
    node->EvalWorldState(0);
    Stopwatch simWatch;
    Simulate(*mod);
    const double simulateMs = simWatch.ms();

    // Scrub the time slider once through the range, several passes, best pass kept.
    constexpr int kPasses = 10;
    double evalBest = 1e30;
    size_t verts = 0, faces = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        Stopwatch watch;
        for (int f = 0; f <= kFrames; ++f) {
            const ObjectState& os = node->EvalWorldState(f * GetTicksPerFrame());
            const Mesh& mesh = static_cast<TriObject*>(os.obj)->mesh;
            verts = mesh.verts.size();
            faces = mesh.faces.size();
        }
        evalBest = std::min(evalBest, watch.ms() / (kFrames + 1));
    }

    // The baseline: one plain copy of the output mesh's vertex and face arrays per frame.
    const Mesh& out = static_cast<TriObject*>(node->EvalWorldState(0).obj)->mesh;
    double copyBest = 1e30;
    size_t checksum = 0;
    for (int pass = 0; pass < kPasses; ++pass) {
        Stopwatch watch;
        for (int f = 0; f <= kFrames; ++f) {
            std::vector<Point3> v = out.verts;
            std::vector<Face> fc = out.faces;
            checksum += v.size() + fc.size() + static_cast<size_t>(v[size_t(f)].z != 0.0f);
        }
        copyBest = std::min(copyBest, watch.ms() / (kFrames + 1));
    }
    const size_t bodies = mod->GetCore().bodies.size();
    ip.ResetScene();
    return JsonObject()
        .add("name", std::string("modifier_playback"))
        .add("ms_per_frame", evalBest)
        .add("copy_ms_per_frame", copyBest)
        .add("ratio", evalBest / copyBest)
        .add("bodies", static_cast<long long>(bodies))
        .add("vertices", static_cast<long long>(verts))
        .add("faces", static_cast<long long>(faces))
        .add("simulate_ms", simulateMs)
        .add("checksum", static_cast<long long>(checksum))
        .str();
}

} // namespace Quarix::Bench
