// The rigid modifier on a node: attaching, evaluating, advanced settings, playback range, the
// node answers the core asks for, the continuity gizmo and the core's lifetime.

#include <cfloat>
#include <cmath>
#include <cstring>

#include "core/QX_BT_World.h"
#include "host/IQXBodyPlayback.h"
#include "modifier/QX_RIGID_MOD_Node.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "tests/plugin/QX_Plugin_Test_Support.h"

namespace {

namespace P = QX_RigidParam;
namespace K = Quarix::ObjectKey;
using QX_Plugin_Test::PluginTest;

class QX_RIGID_MOD_Test : public PluginTest {
protected:
    IDerivedObject* Derived(INode* node) {
        Object* obj = node->GetObjectRef();
        return obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID
                   ? static_cast<IDerivedObject*>(obj)
                   : nullptr;
    }
};

// An object of the world object's class, as far as the modifier can tell.
class FakeWorldObject : public GeomObject {
public:
    Class_ID ClassID() override { return QX_BULLET_OBJ_CLASS_ID; }
};

float MinZ(const Mesh& mesh) {
    float z = FLT_MAX;
    for (const Point3& p : mesh.verts)
        z = std::min(z, p.z);
    return z;
}

// --- finding and attaching -----------------------------------------------------------------------

TEST_F(QX_RIGID_MOD_Test, AttachPutsOneModifierOnAnObjectAndFindsItThroughNestedStacks) {
    INode* node = BoxNode(10.0f);
    EXPECT_EQ(QX_RIGID_MOD::FindRigidModifier(node), nullptr);
    ASSERT_TRUE(QX_RIGID_MOD::AttachRigidModifier(node));
    IDerivedObject* derived = Derived(node);
    ASSERT_NE(derived, nullptr);
    ASSERT_EQ(derived->NumModifiers(), 1);
    QX_RIGID_MOD* mod = QX_RIGID_MOD::FindRigidModifier(node);
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(mod->GetModifierNode(), node);
    ASSERT_NE(derived->GetModContext(0)->tm, nullptr);
    EXPECT_TRUE(derived->GetModContext(0)->tm->IsIdentity());

    // A second attach finds the first modifier and adds nothing.
    EXPECT_TRUE(QX_RIGID_MOD::AttachRigidModifier(node));
    EXPECT_EQ(derived->NumModifiers(), 1);

    // A stack above the stack: the modifier is still found below it.
    IDerivedObject* outer = CreateDerivedObject();
    derived->TransferReferences(outer);
    outer->ReferenceObject(derived);
    EXPECT_EQ(node->GetObjectRef(), outer);
    EXPECT_EQ(QX_RIGID_MOD::FindRigidModifier(node), mod);
    EXPECT_EQ(mod->GetModifierNode(), node);

    // The node still evaluates with the modifier inside.
    EXPECT_NE(Evaluated(node, 0), nullptr);
}

TEST_F(QX_RIGID_MOD_Test, AttachRefusesNodesWithoutObjectAndTheWorldObject) {
    EXPECT_FALSE(QX_RIGID_MOD::AttachRigidModifier(nullptr));
    EXPECT_FALSE(QX_RIGID_MOD::AttachRigidModifier(Host().CreateObjectNode(nullptr)));
    INode* world = Host().CreateObjectNode(new FakeWorldObject());
    EXPECT_FALSE(QX_RIGID_MOD::AttachRigidModifier(world));
    EXPECT_EQ(world->GetObjectRef()->SuperClassID(), GEOMOBJECT_CLASS_ID);
    QX_RIGID_MOD free;
    EXPECT_EQ(free.GetModifierNode(), nullptr);
}

// --- evaluation ----------------------------------------------------------------------------------

TEST_F(QX_RIGID_MOD_Test, UnsimulatedObjectPassesThroughForOneInstantOnly) {
    INode* node = BoxNode(10.0f);
    Mesh original = static_cast<BoxObject*>(node->GetObjectRef())->mesh;
    static_cast<BoxObject*>(node->GetObjectRef())->UpdateMesh(0);
    original = static_cast<BoxObject*>(node->GetObjectRef())->mesh;
    QX_RIGID_MOD* mod = Rigid(node);
    IParamBlock2& pb = *mod->refTarg_ParamBlock;
    pb.SetValue(P::ExplodeStart, 0, 12);
    pb.SetValue(P::ExplodeEnd, 0, 40);
    Quarix::QX_BT_MeshController& core = mod->GetCore();
    core.intSettings.clearChanged();

    const TimeValue t = 7 * GetTicksPerFrame();
    Object* out = node->EvalWorldState(t).obj;
    ASSERT_TRUE(out && out->IsSubClassOf(triObjectClassID));
    const Mesh& mesh = static_cast<TriObject*>(out)->mesh;
    EXPECT_EQ(mesh.verts, original.verts);
    ASSERT_EQ(mesh.getNumFaces(), original.getNumFaces());
    for (int f = 0; f < mesh.getNumFaces(); ++f)
        EXPECT_EQ(mesh.faces[size_t(f)].getMatID(), original.faces[size_t(f)].getMatID());
    EXPECT_EQ(out->ChannelValidity(t, GEOM_CHAN_NUM), Interval(t, t));
    EXPECT_EQ(out->ChannelValidity(t, TOPO_CHAN_NUM), Interval(t, t));
    // The playback range reached the core without marking a change.
    EXPECT_EQ(core.intSettings.get(K::ExplodeStart), 12);
    EXPECT_EQ(core.intSettings.get(K::ExplodeEnd), 40);
    EXPECT_FALSE(core.intSettings.changed(K::ExplodeStart));
    EXPECT_FALSE(core.intSettings.changed(K::ExplodeEnd));
}

TEST_F(QX_RIGID_MOD_Test, PolygonObjectComesOutTriangulated) {
    auto* poly = new PolyObject();
    for (int i = 0; i < 4; ++i)
        poly->mm.NewVert(Point3(i % 2, i / 2, 0));
    const int quad[4] = {0, 1, 3, 2};
    poly->mm.NewFace(4, quad, 1, 5);
    INode* node = Host().CreateObjectNode(poly);
    Rigid(node);
    Object* out = node->EvalWorldState(0).obj;
    ASSERT_TRUE(out && out->IsSubClassOf(polyObjectClassID));
    const MNMesh& mm = static_cast<PolyObject*>(out)->mm;
    ASSERT_EQ(mm.FNum(), 2);
    EXPECT_EQ(mm.VNum(), 4);
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(mm.F(f)->deg, 3);
        EXPECT_EQ(mm.F(f)->material, 5);
        EXPECT_EQ(mm.F(f)->smGroup, 1u);
    }
}

TEST_F(QX_RIGID_MOD_Test, OtherConvertibleObjectsAreReplacedByTheirSimulatedTriangleForm) {
    QX_RIGID_MOD mod;
    auto* box = new BoxObject(4.0f, 4.0f, 4.0f);
    box->UpdateMesh(0);
    ObjectState os(box);
    ModContext mc;
    mod.ModifyObject(0, mc, &os, nullptr);
    ASSERT_NE(os.obj, box);
    ASSERT_TRUE(os.obj && os.obj->IsSubClassOf(triObjectClassID));
    EXPECT_EQ(static_cast<TriObject*>(os.obj)->mesh.verts, box->mesh.verts);
    EXPECT_EQ(os.obj->ChannelValidity(0, GEOM_CHAN_NUM), Interval(0, 0));
    EXPECT_EQ(mod.GetCore().inputMesh.geometry.vertexCount(), box->mesh.verts.size());
    os.obj->DeleteThis();
    box->DeleteThis();

    // An object that cannot become a mesh passes through untouched.
    FakeWorldObject other;
    ObjectState untouched(&other);
    mod.ModifyObject(0, mc, &untouched, nullptr);
    EXPECT_EQ(untouched.obj, &other);
}

TEST_F(QX_RIGID_MOD_Test, ReferenceChangesMarkTheCoreAndForceReevaluationRunsTheStackAgain) {
    INode* node = BoxNode(10.0f);
    QX_RIGID_MOD* mod = Rigid(node);
    node->EvalWorldState(0);
    IDerivedObject* derived = Derived(node);
    const int runs = derived->EvaluationCount();
    mod->GetCore().changedMark = 0;
    node->EvalWorldState(0);
    EXPECT_EQ(derived->EvaluationCount(), runs); // served from the cache
    mod->ForceReevaluation();
    EXPECT_EQ(mod->GetCore().changedMark, 1);
    EXPECT_EQ(mod->refTarg_ParamBlock->GetInt(P::ForceUpdate), 0);
    node->EvalWorldState(0);
    EXPECT_EQ(derived->EvaluationCount(), runs + 1);
}

TEST_F(QX_RIGID_MOD_Test, LegacySettingsApplyOnceAtTheNextEvaluation) {
    INode* node = BoxNode(10.0f);
    QX_RIGID_MOD* mod = Rigid(node);
    IParamBlock2& pb = *mod->refTarg_ParamBlock;
    auto record = [](size_t items, int32_t rigid, int32_t mesh, int32_t fraction) {
        std::vector<uint8_t> bytes(items * 8, 0);
        auto put = [&](size_t i, int32_t v) {
            const int32_t set = 1;
            std::memcpy(&bytes[i * 8], &v, 4);
            std::memcpy(&bytes[i * 8 + 4], &set, 4);
        };
        if (items > 42) {
            put(41, rigid);
            put(42, mesh);
            put(38, fraction);
        }
        return bytes;
    };
    Quarix::QX_BT_Legacy_Data& legacy = mod->GetCore().legacy;
    legacy.settingsRecord = record(42, 0, 0, 0);
    legacy.settingsPending = true;
    node->EvalWorldState(0);
    EXPECT_FALSE(legacy.settingsPending);
    EXPECT_EQ(pb.GetInt(P::RigidType), 1);
    EXPECT_EQ(pb.GetInt(P::FractionType), 0);

    legacy.settingsRecord = record(43, 2, 1, 1);
    legacy.settingsPending = true;
    mod->ForceReevaluation();
    node->EvalWorldState(0);
    EXPECT_EQ(pb.GetInt(P::RigidType), 2);
    EXPECT_EQ(pb.GetInt(P::MeshType), 1);
    EXPECT_EQ(pb.GetInt(P::FractionType), 2);
    // Applied once: the user's later choice stands.
    pb.SetValue(P::RigidType, 0, 3);
    node->EvalWorldState(0);
    EXPECT_EQ(pb.GetInt(P::RigidType), 3);
}

// --- advanced settings --------------------------------------------------------------------------

TEST_F(QX_RIGID_MOD_Test, AdvancedValuesFollowTheWorldUnlessOverridden) {
    INode* node = BoxNode(10.0f);
    QX_RIGID_MOD* mod = Rigid(node);
    IParamBlock2& pb = *mod->refTarg_ParamBlock;
    auto evaluate = [&] {
        mod->ForceReevaluation();
        node->EvalWorldState(0);
    };
    // Without world values nothing is written.
    pb.SetValue(P::Margin, 0, 0.3f);
    evaluate();
    EXPECT_FLOAT_EQ(pb.GetFloat(P::Margin), 0.3f);

    QX_RIGID_MOD_AdvancedSettings world;
    world.solidity = 5.0f;
    world.margin = 2.5f;
    world.impulse = 3.0f;
    world.hideCorrupted = true;
    world.dampingLinear = 0.1f;
    world.dampingAngular = 0.4f;
    world.deactivationTime = 1500;
    world.sleepingLinear = 0.7f;
    world.sleepingAngular = 0.6f;
    world.valid = true;
    mod->SetWorldSettings(world);
    evaluate();
    EXPECT_EQ(pb.GetFloat(P::Margin), 2.5f);
    EXPECT_EQ(pb.GetFloat(P::StartImpulse), 3.0f);
    EXPECT_EQ(pb.GetInt(P::HideCorrupted), 1);
    EXPECT_EQ(pb.GetFloat(P::DampingLinear), 0.1f);
    EXPECT_EQ(pb.GetFloat(P::DampingAngular), 0.4f);
    EXPECT_EQ(pb.GetInt(P::DeactivationTime), 1500);
    EXPECT_EQ(pb.GetFloat(P::SleepingLinear), 0.7f);
    EXPECT_EQ(pb.GetFloat(P::SleepingAngular), 0.6f);
    EXPECT_EQ(pb.GetFloat(P::Solidity), 22.0f); // solidity is never written

    // Override off: a user's edit is overwritten at the next evaluation.
    pb.SetValue(P::Margin, 0, 7.0f);
    node->EvalWorldState(0);
    EXPECT_EQ(pb.GetFloat(P::Margin), 2.5f);

    // Override on: the first evaluation keeps what is shown, later edits are captured.
    pb.SetValue(P::Override, 0, true);
    node->EvalWorldState(0);
    EXPECT_FALSE(mod->OverrideSettings().valid);
    pb.SetValue(P::Margin, 0, 7.0f);
    node->EvalWorldState(0);
    EXPECT_EQ(pb.GetFloat(P::Margin), 7.0f);
    ASSERT_TRUE(mod->OverrideSettings().valid);
    EXPECT_EQ(mod->OverrideSettings().margin, 7.0f);
    EXPECT_EQ(mod->OverrideSettings().solidity, 1.0f);

    // Off brings the world back, on again the object's own values.
    pb.SetValue(P::Override, 0, false);
    node->EvalWorldState(0);
    EXPECT_EQ(pb.GetFloat(P::Margin), 2.5f);
    pb.SetValue(P::Override, 0, true);
    node->EvalWorldState(0);
    EXPECT_EQ(pb.GetFloat(P::Margin), 7.0f);
    EXPECT_EQ(pb.GetFloat(P::StartImpulse), 3.0f);
}

// --- playback range -----------------------------------------------------------------------------

TEST_F(QX_RIGID_MOD_Test, PlaybackEndFollowsTheRecordedFrames) {
    QX_RIGID_MOD mod;
    IParamBlock2& pb = *mod.refTarg_ParamBlock;
    pb.SetValue(P::ExplodeStart, 0, 10);
    mod.UpdatePlaybackEnd(true);
    EXPECT_EQ(pb.GetInt(P::ExplodeEnd), 11); // no frames still spans one

    for (int f = 0; f < 101; ++f)
        mod.GetCore().meshHistory[float(f)] = {};
    mod.UpdatePlaybackEnd(true);
    EXPECT_EQ(pb.GetInt(P::ExplodeEnd), 110);
    pb.SetValue(P::ExplodeEnd, 0, 500);
    mod.UpdatePlaybackEnd(false);
    EXPECT_EQ(pb.GetInt(P::ExplodeEnd), 500);
    pb.SetValue(P::ExplodeEnd, 0, 50);
    mod.UpdatePlaybackEnd(false);
    EXPECT_EQ(pb.GetInt(P::ExplodeEnd), 110);
    mod.UpdatePlaybackEnd(true);
    EXPECT_EQ(pb.GetInt(P::ExplodeEnd), 110);
}

// --- node answers -------------------------------------------------------------------------------

TEST_F(QX_RIGID_MOD_Test, FramesBecomeTicksTruncatedTowardZero) {
    EXPECT_EQ(QX_FrameToTick(10, 0.5f, 160), 1680);
    EXPECT_EQ(QX_FrameToTick(0, 0.999f, 160), 159);
    EXPECT_EQ(QX_FrameToTick(0, -0.999f, 160), -159);
    EXPECT_EQ(QX_FrameToTick(0, NAN, 160), 0);
    EXPECT_EQ(QX_FrameToTick(0, 1e30f, 160), INT_MAX);
    EXPECT_EQ(QX_FrameToTick(0, -1e30f, 160), INT_MIN);
}

TEST_F(QX_RIGID_MOD_Test, NodeTransformIsScaledWholeAndReadAtThePlaybackStart) {
    QX_RIGID_MOD free;
    glm::mat4 m;
    free.GetNodeTransform(m, 3.0f, 5.0f);
    EXPECT_EQ(m, glm::mat4(1.0f)); // no node: identity, unscaled
    glm::vec3 lo, hi;
    free.GetGizmoBounds(7.0f, 3.0f, lo, hi);
    EXPECT_EQ(lo, glm::vec3(-10.0f));
    EXPECT_EQ(hi, glm::vec3(10.0f));

    INode* node = BoxNode(10.0f, Point3(1, 2, 3));
    QX_RIGID_MOD* mod = Rigid(node);
    Host().SetAnimateMode(true);
    node->SetNodeTM(10 * GetTicksPerFrame(), TransMatrix(Point3(11, 2, 3)));
    Host().SetAnimateMode(false);
    mod->GetNodeTransform(m, 0.0f, 2.0f);
    EXPECT_EQ(m[3], glm::vec4(2, 4, 6, 1));
    EXPECT_EQ(m[0], glm::vec4(2, 0, 0, 0));
    // Simulation frame 0 is scene frame "Explode Start", read at the current scene time.
    mod->refTarg_ParamBlock->SetValue(P::ExplodeStart, 0, 10);
    mod->GetNodeTransform(m, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(m[3].x, 11.0f);
    mod->GetNodeTransform(m, -10.0f, 1.0f);
    EXPECT_FLOAT_EQ(m[3].x, 1.0f);
    // Animated, it is read at the slider's time, not at the frame asked for.
    Host().SetAnimateMode(true);
    mod->refTarg_ParamBlock->SetValue(P::ExplodeStart, 0, 0);
    mod->refTarg_ParamBlock->SetValue(P::ExplodeStart, 10 * GetTicksPerFrame(), 10);
    Host().SetAnimateMode(false);
    mod->GetNodeTransform(m, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(m[3].x, 1.0f);
    Host().SetTime(10 * GetTicksPerFrame(), FALSE);
    mod->GetNodeTransform(m, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(m[3].x, 11.0f);
}

TEST_F(QX_RIGID_MOD_Test, GizmoBoundsEncloseTheRotatedBox) {
    INode* node = BoxNode(10.0f, Point3(100, 0, 0));
    QX_RIGID_MOD* mod = Rigid(node);
    glm::vec3 lo, hi;
    mod->GetGizmoBounds(0.0f, 1.0f, lo, hi);
    EXPECT_FLOAT_EQ(lo.x, 90.0f);
    EXPECT_FLOAT_EQ(hi.x, 110.0f);
    Matrix3 identity;
    Matrix3 axis;
    Quat quarter = Quat(AngAxis(Point3(0, 0, 1), 0.78539816f));
    mod->ActivateSubobjSel(1, *std::make_unique<XFormModes>());
    mod->Rotate(0, identity, axis, quarter, TRUE);
    mod->GetGizmoBounds(0.0f, 2.0f, lo, hi);
    const float half = 2.0f * 10.0f * std::sqrt(2.0f);
    EXPECT_NEAR(hi.x - 200.0f, half, 1e-3f);
    EXPECT_NEAR(lo.y, -half, 1e-3f);
    EXPECT_NEAR(hi.z, 20.0f, 1e-4f);
}

TEST_F(QX_RIGID_MOD_Test, NodeMovedUsesAnAbsoluteThresholdAfterScaling) {
    INode* node = BoxNode(10.0f);
    QX_RIGID_MOD* mod = Rigid(node);
    glm::mat4 start;
    mod->GetNodeTransform(start, 0.0f, 1.0f);
    mod->GetCore().startTransform = start;
    EXPECT_FALSE(mod->HasNodeMoved(1.0f));
    node->SetNodeTM(0, RotateZMatrix(2e-8f)); // entries change by about 2e-8
    EXPECT_FALSE(mod->HasNodeMoved(1.0f));
    mod->GetCore().startTransform =
        glm::mat4(1.0f) * glm::mat4(glm::vec4(100, 0, 0, 0), glm::vec4(0, 100, 0, 0),
                                    glm::vec4(0, 0, 100, 0), glm::vec4(0, 0, 0, 1));
    EXPECT_TRUE(mod->HasNodeMoved(100.0f)); // the same turn is 2e-6 at scale 100
    node->SetNodeTM(0, TransMatrix(Point3(0, 0, 0.001f)));
    mod->GetCore().startTransform = start;
    EXPECT_TRUE(mod->HasNodeMoved(1.0f));
}

// --- continuity gizmo ---------------------------------------------------------------------------

class RecordAxis : public SubObjAxisCallback {
public:
    void Center(Point3 c, int) override { center = c; }
    void TM(Matrix3 tm, int) override { this->tm = tm; }
    Point3 center;
    Matrix3 tm;
};

TEST_F(QX_RIGID_MOD_Test, GizmoIsShownAtItsLevelAndMovedThroughItsController) {
    INode* node = BoxNode(10.0f, Point3(100, 0, 0));
    QX_RIGID_MOD* mod = Rigid(node);
    ViewExp view;
    EXPECT_EQ(mod->NumSubObjTypes(), 1);
    EXPECT_EQ(MSTR(mod->GetSubObjType(0)->GetName()), MSTR(_T("Continuity")));
    EXPECT_EQ(mod->GetSubObjType(1), nullptr);
    mod->Display(0, node, &view, 0, nullptr);
    EXPECT_EQ(view.getGW()->MeshesDrawn(), 0);

    XFormModes modes;
    mod->ActivateSubobjSel(1, modes);
    EXPECT_NE(modes.move, nullptr);
    EXPECT_NE(modes.squash, nullptr);
    mod->Display(0, node, &view, 0, nullptr);
    EXPECT_EQ(view.getGW()->MeshesDrawn(), 1);
    const Mesh& box = mod->GizmoMesh();
    ASSERT_EQ(box.getNumFaces(), 12);
    EXPECT_EQ(box.verts[7], Point3(10, 10, 10));
    EXPECT_EQ(box.faces[0].getEdgeVis(2), 0u);
    EXPECT_EQ(box.faces[0].getSmGroup(), 2u);

    Matrix3 parent, axis;
    Point3 by(5, 0, 0);
    mod->Move(0, parent, axis, by);
    RecordAxis cb;
    mod->GetSubObjectCenters(&cb, 0, node, nullptr);
    EXPECT_FLOAT_EQ(cb.center.x, 105.0f);
    ModContext mc(new Matrix3(TransMatrix(Point3(0, 0, 4))), nullptr, nullptr);
    mod->GetSubObjectTMs(&cb, 0, node, &mc);
    EXPECT_FLOAT_EQ(cb.tm.GetTrans().z, -4.0f);
    Box3 bounds;
    mod->GetWorldBoundBox(0, node, &view, bounds, nullptr);
    EXPECT_FLOAT_EQ(bounds.pmax.x, 115.0f);
    view.SetAlive(false);
    mod->GetWorldBoundBox(0, node, &view, bounds, nullptr);
    EXPECT_TRUE(bounds.IsEmpty());
}

// --- simulation through the modifier ------------------------------------------------------------

TEST_F(QX_RIGID_MOD_Test, BoxFallsOntoTheGroundAndPlaysBack) {
    INode* node = BoxNode(10.0f, Point3(0, 0, 100));
    QX_RIGID_MOD* mod = Rigid(node);
    ASSERT_NE(Evaluated(node, 0), nullptr);
    Quarix::QX_BT_World world;
    Quarix::Fixtures::ConfigureWorld(world, 4, 1470.0f, true);
    QX_Plugin_Test::SimulateThroughModifiers(world, {mod}, 0, 40);
    mod->UpdatePlaybackEnd(true);
    EXPECT_EQ(mod->refTarg_ParamBlock->GetInt(P::ExplodeEnd), 40);

    const Mesh* first = Evaluated(node, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NEAR(MinZ(*first), 0.0f, 1e-3f);
    const Mesh* landed = Evaluated(node, 40 * GetTicksPerFrame());
    ASSERT_NE(landed, nullptr);
    // Resting on the ground at world z = 0, the node's pivot stays at z = 100.
    EXPECT_NEAR(MinZ(*landed), -100.0f, 1.5f);
    const Mesh* midway = Evaluated(node, 5 * GetTicksPerFrame());
    EXPECT_LT(MinZ(*midway), -0.5f);
    EXPECT_GT(MinZ(*midway), -99.0f);
}

TEST_F(QX_RIGID_MOD_Test, CloneStartsWithAnEmptyCoreAndItsOwnReferences) {
    INode* node = BoxNode(10.0f, Point3(0, 0, 50));
    QX_RIGID_MOD* mod = Rigid(node);
    node->EvalWorldState(0);
    Quarix::QX_BT_World world;
    Quarix::Fixtures::ConfigureWorld(world, 1, 1470.0f, true);
    QX_Plugin_Test::SimulateThroughModifiers(world, {mod}, 0, 3);
    ASSERT_FALSE(mod->GetCore().bodies.empty());
    mod->refTarg_ParamBlock->SetValue(P::Density, 0, 9.0f);

    auto* copy = static_cast<QX_RIGID_MOD*>(CloneRefHierarchy(static_cast<ReferenceTarget*>(mod)));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->GetCore().bodies.empty());
    EXPECT_TRUE(copy->GetCore().meshHistory.empty());
    EXPECT_NE(copy->refTarg_ParamBlock, mod->refTarg_ParamBlock);
    EXPECT_EQ(copy->refTarg_ParamBlock->GetOwner(), copy);
    EXPECT_EQ(copy->refTarg_ParamBlock->GetFloat(P::Density), 9.0f);
    EXPECT_NE(copy->GizmoController(), mod->GizmoController());
    copy->MaybeAutoDelete();
}

TEST_F(QX_RIGID_MOD_Test, DeletingASimulatedNodeMidRunLeavesNoDanglingCore) {
    INode* keep = BoxNode(10.0f, Point3(0, 0, 30));
    INode* gone = BoxNode(10.0f, Point3(50, 0, 30));
    QX_RIGID_MOD* kept = Rigid(keep);
    QX_RIGID_MOD* doomed = Rigid(gone);
    keep->EvalWorldState(0);
    gone->EvalWorldState(0);
    Quarix::QX_BT_World world;
    Quarix::Fixtures::ConfigureWorld(world, 1, 1470.0f, true);
    QX_Plugin_Test::SimulateThroughModifiers(world, {kept, doomed}, 0, 3);

    // The world holds both cores for a call; the node goes in the middle of it.
    std::vector<std::shared_ptr<Quarix::QX_BT_MeshController>> held = {kept->ShareCore(),
                                                                       doomed->ShareCore()};
    std::weak_ptr<Quarix::QX_BT_MeshController> orphan = held[1];
    Host().DeleteNode(gone);
    ASSERT_FALSE(orphan.expired());
    EXPECT_EQ(held[1]->api, nullptr);
    world.SimulateFrame({held[0].get(), held[1].get()}, 3.0f, 4.0f, 1.0f, false);
    held.clear();
    EXPECT_TRUE(orphan.expired());

    // The remaining object simulates on.
    QX_Plugin_Test::SimulateThroughModifiers(world, {kept}, 4, 6);
    EXPECT_FALSE(kept->GetCore().bodies.empty());
}

} // namespace

namespace {

TEST_F(QX_RIGID_MOD_Test, BodyPlaybackPlacesEachPieceWhereTheObjectShowsIt) {
    // Two boxes in one object, on a node scaled by 2, in a world simulating at half scale.
    auto* tri = new TriObject();
    {
        auto* box = new BoxObject(5.0f, 5.0f, 5.0f);
        box->UpdateMesh(0);
        Mesh& m = tri->mesh;
        m = box->mesh;
        const int n = m.getNumVerts();
        Mesh second = box->mesh;
        m.setNumVerts(2 * n, TRUE);
        m.setNumFaces(2 * second.getNumFaces(), TRUE);
        for (int v = 0; v < n; ++v)
            m.verts[size_t(n + v)] = second.verts[size_t(v)] + Point3(8, 0, 1);
        for (int f = 0; f < second.getNumFaces(); ++f) {
            Face face = second.faces[size_t(f)];
            face.setVerts(face.v[0] + n, face.v[1] + n, face.v[2] + n);
            m.faces[size_t(second.getNumFaces() + f)] = face;
        }
        box->MaybeAutoDelete();
    }
    INode* node = Host().CreateObjectNode(tri);
    node->SetNodeTM(0, ScaleMatrix(Point3(2, 2, 2)) * RotateZMatrix(0.4f) *
                           TransMatrix(Point3(3, -2, 30)));
    QX_RIGID_MOD* mod = Rigid(node);
    mod->refTarg_ParamBlock->SetValue(P::Separate, 0, false);
    node->EvalWorldState(0);
    Quarix::QX_BT_World world;
    Quarix::Fixtures::ConfigureWorld(world, 2, 1470.0f, true);
    world.floatSettings.set(Quarix::WorldKey::ScaleFactor, 0.5f);
    QX_Plugin_Test::SimulateThroughModifiers(world, {mod}, 0, 20);
    mod->UpdatePlaybackEnd(true);

    auto* playback = GetBodyPlaybackInterface(mod);
    ASSERT_NE(playback, nullptr);
    ASSERT_EQ(playback->BodyCount(), 2);
    EXPECT_EQ(playback->RecordedFrameCount(), 21); // frames 0 to 20
    EXPECT_EQ(playback->FirstFrame(), 0);
    float birth = -1, death = -1;
    ASSERT_TRUE(playback->GetBodyLife(1, birth, death));
    EXPECT_EQ(birth, 0.0f);
    EXPECT_GE(death, 20.0f);
    Mesh piece;
    EXPECT_FALSE(playback->GetBodyMesh(2, piece));
    Matrix3 tm;
    EXPECT_FALSE(playback->GetBodyTM(-1, 0.0f, tm));

    for (int frame : {0, 7, 19}) {
        const TimeValue t = frame * GetTicksPerFrame();
        const Mesh* shown = Evaluated(node, t);
        ASSERT_NE(shown, nullptr);
        const Matrix3 objectTM = node->GetObjectTM(t);
        Box3 shownBox;
        for (const Point3& p : shown->verts)
            shownBox += p * objectTM;
        Box3 pieces;
        for (int b = 0; b < 2; ++b) {
            ASSERT_TRUE(playback->GetBodyMesh(b, piece));
            ASSERT_TRUE(playback->GetBodyTM(b, float(frame), tm));
            EXPECT_EQ(piece.getNumFaces(), 12);
            // About its own centre, in scene units: a 5-unit box spans 5 along each axis.
            const Box3 local = piece.getBoundingBox();
            EXPECT_NEAR(local.pmax.x - local.pmin.x, 5.0f, 1e-3f);
            EXPECT_NEAR(local.pmin.z + local.pmax.z, 0.0f, 1e-3f);
            for (const Point3& p : piece.verts)
                pieces += p * tm;
        }
        EXPECT_NEAR(pieces.pmin.x, shownBox.pmin.x, 1e-2f) << frame;
        EXPECT_NEAR(pieces.pmax.y, shownBox.pmax.y, 1e-2f) << frame;
        EXPECT_NEAR(pieces.pmin.z, shownBox.pmin.z, 1e-2f) << frame;
        EXPECT_NEAR(pieces.pmax.z, shownBox.pmax.z, 1e-2f) << frame;
    }
}

} // namespace
