#include "host/Primitives.h"
#include "tests/host/HostTestSupport.h"

#include <numbers>
#include <set>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Records the order in which stack entries run and can narrow validity to an instant.
class RecordingModifier : public Modifier {
public:
    RecordingModifier(std::vector<int>* log, int id, bool instant)
        : m_log(log), m_id(id), m_instant(instant) {}
    Class_ID ClassID() override { return Class_ID(0x7E570001, 0); }
    ChannelMask ChannelsUsed() override { return GEOM_CHANNEL; }
    ChannelMask ChannelsChanged() override { return GEOM_CHANNEL; }
    Class_ID InputType() override { return triObjectClassID; }
    void ModifyObject(TimeValue t, ModContext&, ObjectState* os, INode* node) override {
        m_log->push_back(m_id);
        m_node = node;
        auto* tri = static_cast<TriObject*>(os->obj);
        for (Point3& p : tri->GetMesh().verts)
            p = p * 2.0f + Point3(static_cast<float>(m_id), 0.0f, 0.0f);
        if (m_instant)
            tri->UpdateValidity(GEOM_CHAN_NUM, Interval(t, t));
    }
    // The node-handle query the plug-in uses to find its node.
    INode* FindNode() {
        ULONG handle = 0;
        NotifyDependents(FOREVER, reinterpret_cast<PartID>(&handle), REFMSG_GET_NODE_HANDLE);
        return GetCOREInterface()->GetINodeByHandle(handle);
    }
    INode* m_node = nullptr;

private:
    std::vector<int>* m_log;
    int m_id;
    bool m_instant;
};

// A maker with one reference that records the messages it receives.
class Watcher : public ReferenceMaker {
public:
    Class_ID ClassID() override { return Class_ID(0x7E570002, 0); }
    SClass_ID SuperClassID() override { return 0x7777; }
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return m_target; }
    void SetReference(int, RefTargetHandle r) override { m_target = r; }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message,
                               BOOL) override {
        m_messages.push_back(message);
        return REF_SUCCEED;
    }
    RefTargetHandle m_target = nullptr;
    std::vector<RefMessage> m_messages;
};

class SceneGraphTest : public HostTest {};

TEST_F(SceneGraphTest, ObjectTransformIsOffsetTimesNodeTimesParent) {
    INode* parent = Host().CreateObjectNode(nullptr);
    INode* child = Host().CreateObjectNode(new BoxObject());
    EXPECT_EQ(ToUtf8(child->GetName()), "Box001");
    parent->AttachChild(child, 0);
    parent->SetNodeTM(0, RotateZMatrix(kPi / 2) * TransMatrix(Point3(0, 0, 10)));
    child->SetNodeTM(0, TransMatrix(Point3(5, 0, 10))); // world placement
    child->SetObjOffsetPos(Point3(1, 0, 0));

    EXPECT_TRUE(child->GetNodeTM(0).GetTrans().Equals(Point3(5, 0, 10), 1e-5f));
    // The offset is applied in the node's space before the node transform.
    Matrix3 objectTM = child->GetObjectTM(0);
    Point3 expected = Point3(1, 0, 0) * child->GetNodeTM(0);
    EXPECT_TRUE(objectTM.GetTrans().Equals(expected, 1e-5f));
    EXPECT_TRUE(child->GetObjTMBeforeWSM(0).Equals(objectTM));
    // Moving the parent carries the child.
    parent->SetNodeTM(0, TransMatrix(Point3(0, 0, 20)));
    EXPECT_NEAR(child->GetNodeTM(0).GetTrans().z, 20.0f, 1e-4f);
    EXPECT_EQ(child->GetParentNode(), parent);
    parent->AttachChild(parent, 1); // refused silently
    child->AttachChild(parent, 1);  // would make a cycle: refused
    EXPECT_EQ(parent->GetParentNode(), Host().GetRootNode());
}

TEST_F(SceneGraphTest, AnimatedNodeInterpolatesAtFractionalFrames) {
    INode* node = Host().CreateObjectNode(new BoxObject());
    const int tpf = GetTicksPerFrame();
    AnimateOn();
    node->SetNodeTM(10 * tpf, TransMatrix(Point3(100, 0, 0)));
    AnimateOff();
    Interval valid = FOREVER;
    Matrix3 tm = node->GetNodeTM(static_cast<TimeValue>(2.5 * tpf), &valid);
    EXPECT_TRUE(tm.GetTrans().Equals(Point3(25, 0, 0), 1e-4f));
    EXPECT_EQ(valid.Start(), valid.End());
}

TEST_F(SceneGraphTest, StackRunsBottomToTopAndCachesByValidity) {
    std::vector<int> log;
    auto* tri = CreateNewTriObject();
    tri->GetMesh().setNumVerts(1);
    tri->GetMesh().setVert(0, 1, 0, 0);
    IDerivedObject* derived = CreateDerivedObject(tri);
    auto* bottom = new RecordingModifier(&log, 1, false);
    auto* top = new RecordingModifier(&log, 2, false);
    derived->AddModifier(bottom);
    derived->AddModifier(top); // index 0 is the top
    ASSERT_EQ(derived->GetModifier(0), top);
    INode* node = Host().CreateObjectNode(derived);

    const ObjectState& os = node->EvalWorldState(0);
    ASSERT_NE(os.obj, nullptr);
    ASSERT_EQ(log, (std::vector<int>{1, 2}));
    // (1 * 2 + 1) * 2 + 2 = 8: bottom first, then top.
    EXPECT_EQ(static_cast<TriObject*>(os.obj)->GetMesh().verts[0].x, 8.0f);
    // The base object itself is untouched.
    EXPECT_EQ(tri->GetMesh().verts[0].x, 1.0f);
    EXPECT_EQ(top->m_node, node);

    // Valid forever: another time reuses the cached result.
    node->EvalWorldState(500);
    EXPECT_EQ(derived->EvaluationCount(), 1);
    // A change in the stack invalidates the cache.
    top->NotifyDependents(FOREVER, PART_GEOM, REFMSG_CHANGE);
    node->EvalWorldState(500);
    EXPECT_EQ(derived->EvaluationCount(), 2);

    // A modifier valid for an instant only is run again at every other time.
    derived->AddModifier(new RecordingModifier(&log, 3, true));
    node->EvalWorldState(10);
    node->EvalWorldState(10);
    node->EvalWorldState(11);
    EXPECT_EQ(derived->EvaluationCount(), 4);

    top->DisableMod();
    log.clear();
    node->EvalWorldState(10);
    EXPECT_EQ(log, (std::vector<int>{1, 3}));
}

TEST_F(SceneGraphTest, StackEditsAndConversionsHandOutOwnedCopies) {
    std::vector<int> log;
    IDerivedObject* derived = CreateDerivedObject(new BoxObject(1, 1, 1));
    derived->AddModifier(
        new RecordingModifier(&log, 1, false),
        new ModContext(new Matrix3(TransMatrix(Point3(0, 0, 4))), nullptr, nullptr));
    derived->AddModifier(new RecordingModifier(&log, 2, false), nullptr, 1); // below the first
    INode* node = Host().CreateObjectNode(derived);
    ASSERT_EQ(derived->NumModifiers(), 2);
    ASSERT_NE(derived->GetModContext(0)->tm, nullptr);
    EXPECT_EQ(derived->GetModContext(1)->tm, nullptr);
    ModContext copy(*derived->GetModContext(0));
    EXPECT_NE(copy.tm.get(), derived->GetModContext(0)->tm.get());
    EXPECT_EQ(copy.tm->GetTrans(), Point3(0, 0, 4));

    node->EvalWorldState(0);
    EXPECT_EQ(log, (std::vector<int>{2, 1}));
    // The converted result belongs to the caller; the stack keeps its own cache.
    Object* tri = derived->ConvertToType(0, triObjectClassID);
    ASSERT_NE(tri, nullptr);
    EXPECT_NE(tri, node->EvalWorldState(0).obj);
    tri->DeleteThis();

    derived->DeleteModifier(0);
    ASSERT_EQ(derived->NumModifiers(), 1);
    log.clear();
    node->EvalWorldState(0);
    EXPECT_EQ(log, (std::vector<int>{2}));
    derived->DeleteModifier(5); // out of range: ignored
    EXPECT_EQ(derived->NumModifiers(), 1);
}

TEST_F(SceneGraphTest, NodeHandleQueryFindsTheModifiersNode) {
    std::vector<int> log;
    auto* mod = new RecordingModifier(&log, 1, false);
    IDerivedObject* derived = CreateDerivedObject(new BoxObject());
    derived->AddModifier(mod);
    EXPECT_EQ(mod->FindNode(), nullptr); // not applied to a node yet
    INode* first = Host().CreateObjectNode(derived);
    Host().CreateObjectNode(nullptr);
    EXPECT_EQ(mod->FindNode(), first);
    EXPECT_EQ(Host().GetINodeByHandle(first->GetHandle()), first);
    EXPECT_EQ(Host().GetINodeByHandle(0), nullptr);
    EXPECT_EQ(Host().GetINodeByHandle(12345), nullptr);
}

TEST_F(SceneGraphTest, ReferencesNotifyAndDeletionReachesDependents) {
    Watcher watcher;
    INode* node = Host().CreateObjectNode(new SphereObject(2.0f, 8));
    watcher.ReplaceReference(0, node);
    node->SetWireColor(RGB(1, 2, 3));
    ASSERT_FALSE(watcher.m_messages.empty());
    EXPECT_EQ(watcher.m_messages.back(), REFMSG_CHANGE);
    Host().DeleteNode(node);
    EXPECT_EQ(watcher.m_messages.back(), REFMSG_TARGET_DELETED);
    EXPECT_EQ(watcher.m_target, nullptr);
}

TEST_F(SceneGraphTest, LastReferenceDropDeletesSharedTargetsOnce) {
    // One controller shared by two nodes: deleting the first keeps it, the second frees it.
    // ASan would report a double free or a leak here.
    INode* a = Host().CreateObjectNode(nullptr);
    INode* b = Host().CreateObjectNode(nullptr);
    Control* shared = NewDefaultMatrix3Controller();
    a->SetTMController(shared);
    b->SetTMController(shared);
    EXPECT_EQ(shared->GetDependents().size(), 2u);
    Host().DeleteNode(a);
    EXPECT_EQ(shared->GetDependents().size(), 1u);
    Host().DeleteNode(b);
    EXPECT_TRUE(Host().AllNodes().empty());
}

TEST_F(SceneGraphTest, CloneThroughRemapDirectoryClonesSharedTargetsOnce) {
    IDerivedObject* derived = CreateDerivedObject(new BoxObject(2, 2, 2));
    Modifier* lift = NewTestLift();
    ASSERT_NE(lift, nullptr);
    derived->AddModifier(lift);
    Host().CreateObjectNode(derived);
    RemapDir remap;
    auto* copy = static_cast<IDerivedObject*>(remap.CloneRef(derived));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->NumModifiers(), 1);
    EXPECT_NE(copy->GetModifier(0), lift);
    EXPECT_EQ(remap.CloneRef(derived), copy);
    IParamBlock2* original = lift->GetParamBlock(0);
    IParamBlock2* cloned = copy->GetModifier(0)->GetParamBlock(0);
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(cloned, original);
    INode* node = Host().CreateObjectNode(copy);
    EXPECT_NE(node->EvalWorldState(0).obj, nullptr);
}

TEST_F(SceneGraphTest, PrimitivesAreSingleClosedElements) {
    auto countOpenEdges = [](const Mesh& mesh) {
        std::map<std::pair<DWORD, DWORD>, int> edges;
        for (const Face& f : mesh.faces) {
            for (int e = 0; e < 3; ++e) {
                DWORD a = f.v[e], b = f.v[(e + 1) % 3];
                edges[{std::min(a, b), std::max(a, b)}]++;
            }
        }
        int open = 0;
        for (const auto& [edge, count] : edges)
            open += count != 2;
        return open;
    };
    BoxObject box(10, 20, 30, 2, 3, 4);
    box.BuildMesh(0);
    // 2 * (3*2 + 2*4 + 3*4) quads -> twice as many triangles.
    EXPECT_EQ(box.mesh.getNumFaces(), 2 * 2 * (3 * 2 + 2 * 4 + 3 * 4));
    EXPECT_EQ(box.mesh.getNumVerts(), (3 + 1) * (2 + 1) * (4 + 1) - (3 - 1) * (2 - 1) * (4 - 1));
    EXPECT_EQ(countOpenEdges(box.mesh), 0);
    Box3 bounds = box.mesh.getBoundingBox();
    EXPECT_EQ(bounds.pmin, Point3(-10, -5, 0)); // width 20 along x, length 10 along y
    EXPECT_EQ(bounds.pmax, Point3(10, 5, 30));
    std::set<MtlID> ids;
    for (const Face& f : box.mesh.faces)
        ids.insert(f.getMatID());
    EXPECT_EQ(ids.size(), 6u);

    SphereObject sphere(1.0f, 8);
    sphere.BuildMesh(0);
    EXPECT_EQ(countOpenEdges(sphere.mesh), 0);
    CylinderObject cylinder(1.0f, 2.0f, 3, 6);
    cylinder.BuildMesh(0);
    EXPECT_EQ(countOpenEdges(cylinder.mesh), 0);
    EXPECT_EQ(cylinder.mesh.getNumFaces(), 6 * 2 + 6 * 3 * 2);
    PlaneObject plane(4, 4, 2, 2);
    plane.BuildMesh(0);
    EXPECT_EQ(plane.mesh.getNumFaces(), 8);

    // Outward winding: for the box every face normal points away from the centre.
    for (const Face& f : box.mesh.faces) {
        Point3 a = box.mesh.verts[f.v[0]], b = box.mesh.verts[f.v[1]], c = box.mesh.verts[f.v[2]];
        Point3 n = (b - a) ^ (c - a);
        Point3 centre = (a + b + c) / 3.0f - Point3(0, 0, 15);
        EXPECT_GT(n % centre, 0.0f);
    }
}

TEST_F(SceneGraphTest, ViewportBoxesFollowTheObjectTransform) {
    auto* box = new BoxObject(2, 2, 2);
    INode* node = Host().CreateObjectNode(box);
    node->SetNodeTM(0, TransMatrix(Point3(10, 0, 0)));
    node->SetObjOffsetPos(Point3(0, 0, 1));
    ViewExp view;
    Box3 world, local;
    box->GetWorldBoundBox(0, node, &view, world);
    box->GetLocalBoundBox(0, node, &view, local);
    EXPECT_EQ(local.pmin, Point3(-1, -1, 0));
    EXPECT_EQ(world.pmin, Point3(9, -1, 1));
    EXPECT_EQ(world.pmax, Point3(11, 1, 3));
    EXPECT_EQ(box->Display(0, node, &view, 0), 0);
    EXPECT_EQ(box->NumSubObjTypes(), 0);
    GenSubObjType gravity(_T("Gravity"), _T("SubObjectIcons"), 0);
    EXPECT_EQ(MSTR(gravity.GetName()), _T("Gravity"));
}

TEST_F(SceneGraphTest, ConversionsBetweenMeshKinds) {
    BoxObject box;
    EXPECT_TRUE(box.CanConvertToType(triObjectClassID));
    Object* tri = box.ConvertToType(0, triObjectClassID);
    ASSERT_NE(tri, nullptr);
    EXPECT_TRUE(tri->IsSubClassOf(triObjectClassID));
    Object* poly = tri->ConvertToType(0, polyObjectClassID);
    ASSERT_NE(poly, nullptr);
    EXPECT_EQ(static_cast<PolyObject*>(poly)->GetMesh().FNum(), 12);
    EXPECT_EQ(tri->ConvertToType(0, Class_ID(1, 2)), nullptr);
    poly->DeleteThis();
    tri->DeleteThis();
}

TEST_F(SceneGraphTest, SelectionPickingAndUndoRecords) {
    INode* a = Host().CreateObjectNode(nullptr);
    INode* b = Host().CreateObjectNode(nullptr);
    Host().SelectNode(a);
    Host().SelectNode(b, 0);
    EXPECT_EQ(Host().GetSelNodeCount(), 2);
    EXPECT_TRUE(b->Selected());
    Host().SelectNode(b);
    EXPECT_EQ(Host().GetSelNodeCount(), 1);
    EXPECT_EQ(Host().GetSelNode(0), b);

    struct Picker : PickModeCallback {
        INode* picked = nullptr;
        bool exited = false;
        BOOL HitTest(Interface* ip, HWND h, ViewExp*, IPoint2 m, int) override {
            return ip->PickNode(h, m, nullptr) != nullptr;
        }
        BOOL Pick(Interface* ip, ViewExp*) override {
            picked = ip->PickNode(nullptr, IPoint2{}, nullptr);
            return FALSE; // stay in the mode
        }
        BOOL RightClick(Interface*, ViewExp*) override { return TRUE; }
        void EnterMode(Interface* ip) override { ip->PushPrompt(_T("pick")); }
        void ExitMode(Interface* ip) override {
            exited = true;
            ip->PopPrompt();
        }
    } picker;
    Host().SetPickMode(&picker);
    EXPECT_EQ(Host().GetPrompt(), _T("pick"));
    EXPECT_TRUE(Host().PickAt(a));
    EXPECT_EQ(picker.picked, a);
    EXPECT_FALSE(Host().PickAt(nullptr));
    Host().RightClickPick();
    EXPECT_TRUE(picker.exited);
    EXPECT_EQ(Host().GetCurPickMode(), nullptr);
    EXPECT_TRUE(Host().GetPrompt().empty());

    struct IntRestore : RestoreObj {
        int* value;
        int old;
        explicit IntRestore(int* v) : value(v), old(*v) {}
        void Restore(int) override { *value = old; }
        void Redo() override {}
    };
    int value = 1;
    theHold.Begin();
    theHold.Put(new IntRestore(&value));
    value = 5;
    theHold.Cancel();
    EXPECT_EQ(value, 1); // a cancelled record is undone at once and not kept
    EXPECT_TRUE(theHold.RecordNames().empty());
    theHold.Put(new IntRestore(&value)); // outside a record: dropped
    theHold.Begin();
    theHold.Put(new IntRestore(&value));
    value = 2;
    theHold.Accept(_T("Add Nodes"));
    ASSERT_EQ(theHold.RecordNames(), std::vector<MSTR>{_T("Add Nodes")});
    EXPECT_TRUE(theHold.Undo());
    EXPECT_EQ(value, 1);
}

} // namespace
