#include "host/ChunkFile.h"
#include "host/Primitives.h"
#include "host/SceneIO.h"
#include "tests/host/HostTestSupport.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// What a scene shows at one time: enough to tell whether two scenes evaluate identically.
struct Snapshot {
    std::vector<Point3> verts;
    Matrix3 nodeTM;
    Matrix3 objectTM;
    Matrix3 childTM;
    float childVisibility = 0.0f;
    bool operator==(const Snapshot& o) const {
        return verts == o.verts && nodeTM == o.nodeTM && objectTM == o.objectTM &&
               childTM == o.childTM && childVisibility == o.childVisibility;
    }
};

class SceneFileTest : public HostTest {
protected:
    // A box on an animated node with the test module's modifier, whose block holds every
    // parameter type (an animated float, a node table), plus a hidden child with a stepped
    // visibility track.
    void BuildTestScene() {
        const int tpf = GetTicksPerFrame();
        ASSERT_TRUE(Host().SetSystemUnitInfo(UNITS_METERS, 1.0f));
        IDerivedObject* derived = CreateDerivedObject(new BoxObject(10, 20, 30, 2, 2, 2));
        Modifier* lift = NewTestLift();
        ASSERT_NE(lift, nullptr);
        derived->AddModifier(
            lift, new ModContext(new Matrix3(TransMatrix(Point3(1, 2, 3))), nullptr, nullptr));
        INode* box = Host().CreateObjectNode(derived);
        box->SetName(_T("Wall"));
        box->SetWireColor(RGB(200, 10, 30));
        box->SetObjOffsetPos(Point3(0, 0, -5));
        box->SetObjOffsetRot(Quat(AngAxis(Point3(1, 0, 0), 0.25f)));

        INode* child = Host().CreateObjectNode(new SphereObject(3.0f, 12));
        child->SetName(_T("Helper\u00e9"));
        box->AttachChild(child, 0);
        child->SetNodeTM(0, TransMatrix(Point3(0, 50, 0)));
        child->Hide(TRUE);
        auto* vis = static_cast<Control*>(
            static_cast<Animatable*>(CreateInstance(CTRL_FLOAT_CLASS_ID, floatControllerClassID)));
        child->SetVisController(vis);
        IKeyControl* keys = GetKeyControlInterface(vis);
        IBezFloatKey key;
        key.flags = 0x900;
        key.time = 5 * tpf - 1;
        key.val = 0.0f;
        keys->AppendKey(&key);
        key.time = 5 * tpf;
        key.val = 1.0f;
        keys->AppendKey(&key);

        AnimateOn();
        box->SetNodeTM(10 * tpf, RotateZMatrix(kPi / 3) * TransMatrix(Point3(100, 0, 0)));
        IParamBlock2* pb = lift->GetParamBlock(0);
        pb->SetValue(kLiftParam, 10 * tpf, 20.0f);
        AnimateOff();
        pb->SetValue(kCountParam, 0, 7);
        pb->SetValue(kEnabledParam, 0, 1);
        pb->SetValue(kMarginParam, 0, 0.82f);
        pb->SetValue(kSuffixParam, 0, _T("_piece_"));
        INode* nodes[] = {child, box, child};
        pb->Append(kNodesParam, 3, nodes);
        Host().SelectNode(box);
        Host().SetTime(3 * tpf);
    }

    Snapshot Take(TimeValue t) {
        Snapshot s;
        INode* box = Host().GetINodeByName(_T("Wall"));
        INode* child = Host().GetINodeByName(_T("Helper\u00e9"));
        EXPECT_NE(box, nullptr);
        EXPECT_NE(child, nullptr);
        if (!box || !child)
            return s;
        const ObjectState& os = box->EvalWorldState(t);
        if (os.obj && os.obj->IsSubClassOf(triObjectClassID))
            s.verts = static_cast<TriObject*>(os.obj)->GetMesh().verts;
        s.nodeTM = box->GetNodeTM(t);
        s.objectTM = box->GetObjectTM(t);
        s.childTM = child->GetNodeTM(t);
        s.childVisibility = child->GetVisibility(t);
        return s;
    }

    std::vector<TimeValue> Times() const {
        const int tpf = GetTicksPerFrame();
        return {0,        tpf / 2, 5 * tpf - 1, 5 * tpf, static_cast<TimeValue>(7.25 * tpf),
                10 * tpf, 20 * tpf};
    }
};

TEST_F(SceneFileTest, SavedSceneReloadsAndEvaluatesIdentically) {
    BuildTestScene();
    std::vector<Snapshot> before;
    for (TimeValue t : Times())
        before.push_back(Take(t));
    ASSERT_FALSE(before[0].verts.empty());
    EXPECT_NE(before[1].verts, before[5].verts); // the lift is animated

    std::vector<BYTE> bytes;
    std::string error;
    ASSERT_TRUE(SaveScene(Host(), bytes, &error)) << error;
    const ULONG wallHandle = Host().GetINodeByName(_T("Wall"))->GetHandle();
    Host().ResetScene();
    ASSERT_TRUE(Host().AllNodes().empty());
    ASSERT_TRUE(LoadScene(Host(), bytes, &error)) << error;

    std::vector<TimeValue> times = Times();
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_TRUE(Take(times[i]) == before[i]) << "at tick " << times[i];

    INode* box = Host().GetINodeByName(_T("Wall"));
    INode* child = Host().GetINodeByName(_T("Helper\u00e9"));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(box->GetHandle(), wallHandle);
    EXPECT_EQ(Host().GetINodeByHandle(wallHandle), box);
    EXPECT_EQ(child->GetParentNode(), box);
    EXPECT_EQ(box->GetParentNode(), Host().GetRootNode());
    EXPECT_EQ(box->GetWireColor(), RGB(200, 10, 30));
    EXPECT_TRUE(child->IsHidden());
    EXPECT_TRUE(box->Selected());
    EXPECT_EQ(Host().GetTime(), 3 * GetTicksPerFrame());
    EXPECT_DOUBLE_EQ(GetMasterScale(UNITS_CENTIMETERS), 100.0);

    auto* derived = static_cast<IDerivedObject*>(box->GetObjectRef());
    ASSERT_EQ(derived->SuperClassID(), GEN_DERIVOB_CLASS_ID);
    ASSERT_EQ(derived->NumModifiers(), 1);
    Modifier* lift = derived->GetModifier(0);
    ASSERT_EQ(lift->ClassID(), kTestLiftClassID);
    ASSERT_NE(derived->GetModContext(0)->tm, nullptr);
    EXPECT_EQ(derived->GetModContext(0)->tm->GetTrans(), Point3(1, 2, 3));
    auto magic = TestModuleFunction<TestLiftMagicFn>("QxTestLiftLoadedMagic");
    ASSERT_NE(magic, nullptr);
    EXPECT_EQ(magic(lift), kPrivateMagic);

    IParamBlock2* pb = lift->GetParamBlock(0);
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->GetOwner(), lift);
    EXPECT_EQ(pb->GetInt(kCountParam), 7);
    EXPECT_EQ(pb->GetFloat(kMarginParam), 0.82f);
    EXPECT_EQ(MSTR(pb->GetStr(kSuffixParam)), _T("_piece_"));
    EXPECT_EQ(pb->GetKeyCount(kLiftParam), 2);
    ASSERT_EQ(pb->Count(kNodesParam), 3);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 0), child);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 1), box);
    EXPECT_EQ(pb->GetINode(kNodesParam, 0, 2), child);

    // Saving the reloaded scene writes the same bytes: the format is deterministic.
    std::vector<BYTE> again;
    ASSERT_TRUE(SaveScene(Host(), again, &error)) << error;
    EXPECT_EQ(again, bytes);

    // New nodes continue the handle sequence.
    INode* fresh = Host().CreateObjectNode(nullptr);
    EXPECT_GT(fresh->GetHandle(), child->GetHandle());
    Host().DeleteNode(fresh);
}

TEST_F(SceneFileTest, FilesRoundTripAndMissingFilesAreNamed) {
    BuildTestScene();
    const std::string path = ::testing::TempDir() + "qx_host_scene.qxs";
    std::string error;
    ASSERT_TRUE(SaveSceneFile(Host(), path, &error)) << error;
    Snapshot before = Take(400);
    Host().ResetScene();
    ASSERT_TRUE(LoadSceneFile(Host(), path, &error)) << error;
    EXPECT_TRUE(Take(400) == before);
    std::remove(path.c_str());
    EXPECT_FALSE(LoadSceneFile(Host(), path, &error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
}

TEST_F(SceneFileTest, PolygonObjectsKeepTheirPolygonsAndMaps) {
    auto* poly = new PolyObject();
    MNMesh& mm = poly->GetMesh();
    for (int i = 0; i < 5; ++i)
        mm.NewVert(Point3(std::cos(i * 1.2566f), std::sin(i * 1.2566f), 0.0f));
    const int pentagon[5] = {0, 1, 2, 3, 4};
    mm.NewFace(5, pentagon, 4, 9);
    mm.F(0)->visedg[2] = false;
    mm.SetMapSupport(3, true);
    mm.M(3)->v = {Point3(0, 0, 0), Point3(1, 1, 1)};
    mm.M(3)->f[0] = {0, 1, 0, 1, 1};
    Host().CreateObjectNode(poly)->SetName(_T("Poly"));
    Mesh before;
    mm.OutToTri(before);

    std::vector<BYTE> bytes;
    std::string error;
    ASSERT_TRUE(SaveScene(Host(), bytes, &error)) << error;
    Host().ResetScene();
    ASSERT_TRUE(LoadScene(Host(), bytes, &error)) << error;
    auto* loaded = static_cast<PolyObject*>(Host().GetINodeByName(_T("Poly"))->GetObjectRef());
    ASSERT_EQ(loaded->ClassID(), polyObjectClassID);
    ASSERT_EQ(loaded->GetMesh().FNum(), 1);
    EXPECT_EQ(loaded->GetMesh().F(0)->deg, 5);
    Mesh after;
    loaded->GetMesh().OutToTri(after);
    EXPECT_TRUE(after == before);
    EXPECT_EQ(after.getNumFaces(), 3);
}

class BadSceneTest : public SceneFileTest {
protected:
    void SetUp() override {
        SceneFileTest::SetUp();
        BuildTestScene();
        std::string error;
        ASSERT_TRUE(SaveScene(Host(), good, &error)) << error;
        // The scene that must survive every failed load.
        Host().ResetScene();
        keeper = Host().CreateObjectNode(new BoxObject());
        keeper->SetName(_T("Keeper"));
        keeperHandle = keeper->GetHandle();
    }
    void ExpectSceneUntouched() {
        std::vector<INode*> nodes = Host().AllNodes();
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(nodes[0], keeper);
        EXPECT_EQ(keeper->GetHandle(), keeperHandle);
        EXPECT_EQ(MSTR(keeper->GetName()), _T("Keeper"));
        EXPECT_EQ(Host().GetFrameRate(), 30);
    }
    std::vector<BYTE> good;
    INode* keeper = nullptr;
    ULONG keeperHandle = 0;
};

TEST_F(BadSceneTest, EveryTruncationIsRefusedWithPlaceAndLeavesTheScene) {
    ASSERT_GT(good.size(), 200u);
    for (size_t cut = 0; cut < good.size(); cut += 1 + cut / 16) {
        std::span<const BYTE> part(good.data(), cut);
        std::string error;
        ASSERT_FALSE(LoadScene(Host(), part, &error)) << "cut at " << cut;
        EXPECT_FALSE(error.empty());
        if (cut >= 12) {
            EXPECT_NE(error.find("offset"), std::string::npos) << error;
        }
        ExpectSceneUntouched();
    }
}

TEST_F(BadSceneTest, CorruptedBytesNeverCrashOrHalfLoad) {
    // Flip bytes all over the file. A flip may hit a float value and still load; then the
    // loaded scene replaced the old one completely. Otherwise the old scene is untouched.
    for (size_t at = 12; at < good.size(); at += 3) {
        std::vector<BYTE> bad = good;
        bad[at] ^= 0xA5;
        std::string error;
        if (LoadScene(Host(), bad, &error)) {
            EXPECT_EQ(Host().GetINodeByName(_T("Keeper")), nullptr);
            Host().ResetScene();
            keeper = Host().CreateObjectNode(new BoxObject());
            keeper->SetName(_T("Keeper"));
            keeperHandle = keeper->GetHandle();
        } else {
            EXPECT_FALSE(error.empty());
            ExpectSceneUntouched();
        }
    }
}

// Writes a scene file by hand: the settings, then objects given as (super class, class id,
// data writer, references), then the node list.
struct HandObject {
    SClass_ID sclass;
    Class_ID cid;
    std::function<void(ISave&)> data;
    std::vector<std::int32_t> refs;
};

std::vector<BYTE> HandScene(const std::vector<HandObject>& objects,
                            const std::vector<std::int32_t>& nodes) {
    ChunkWriter w;
    w.BeginChunk(0x0001);
    for (std::int32_t v : {30, 0, 0, 100, 0})
        WriteValue(w, v);
    WriteValue(w, 1.0f);
    WriteValue(w, std::uint32_t(10));
    w.EndChunk();
    w.BeginChunk(0x0002);
    for (const HandObject& o : objects) {
        w.BeginChunk(0x0010);
        w.BeginChunk(0x0011);
        WriteValue(w, std::uint32_t(o.sclass));
        WriteValue(w, o.cid.PartA());
        WriteValue(w, o.cid.PartB());
        w.EndChunk();
        w.BeginChunk(0x0012);
        o.data(w);
        w.EndChunk();
        w.BeginChunk(0x0013);
        WriteValue(w, static_cast<std::int32_t>(o.refs.size()));
        for (std::int32_t r : o.refs)
            WriteValue(w, r);
        w.EndChunk();
        w.EndChunk();
    }
    w.EndChunk();
    w.BeginChunk(0x0003);
    WriteValue(w, static_cast<std::uint32_t>(nodes.size()));
    for (std::int32_t n : nodes)
        WriteValue(w, n);
    w.EndChunk();
    return w.Bytes();
}

std::function<void(ISave&)> NodeData(ULONG handle) {
    return [handle](ISave& w) {
        w.BeginChunk(0x0601);
        WriteValue(w, handle);
        w.EndChunk();
    };
}

TEST_F(BadSceneTest, WrongKindsOfReferencesAndCyclesAreRefused) {
    std::string error;
    // A node given another node as its transform controller.
    std::vector<BYTE> confused =
        HandScene({{BASENODE_CLASS_ID, nodeClassID, NodeData(1), {-1, -1, -1}},
                   {BASENODE_CLASS_ID, nodeClassID, NodeData(2), {}}},
                  {0, 1});
    ASSERT_FALSE(LoadScene(Host(), confused, &error));
    EXPECT_NE(error.find("object 1 has 3 references, the file 0"), std::string::npos) << error;
    confused = HandScene({{BASENODE_CLASS_ID, nodeClassID, NodeData(1), {1, -1, -1}},
                          {BASENODE_CLASS_ID, nodeClassID, NodeData(2), {-1, -1, -1}}},
                         {0, 1});
    ASSERT_FALSE(LoadScene(Host(), confused, &error));
    EXPECT_NE(error.find("object 0 cannot take object 1 as its reference 0"), std::string::npos)
        << error;
    ExpectSceneUntouched();

    // Two derived objects referencing each other would never be freed.
    auto noData = [](ISave&) {};
    std::vector<BYTE> cycle = HandScene({{BASENODE_CLASS_ID, nodeClassID, NodeData(1), {-1, 1, -1}},
                                         {GEN_DERIVOB_CLASS_ID, derivObjectClassID, noData, {2}},
                                         {GEN_DERIVOB_CLASS_ID, derivObjectClassID, noData, {1}}},
                                        {0});
    ASSERT_FALSE(LoadScene(Host(), cycle, &error));
    EXPECT_NE(error.find("cycle"), std::string::npos) << error;
    ExpectSceneUntouched();

    // The same shape without the cycle loads, and an object nobody reaches is dropped.
    std::vector<BYTE> fine = HandScene(
        {{BASENODE_CLASS_ID, nodeClassID, NodeData(7), {-1, 1, -1}},
         {GEN_DERIVOB_CLASS_ID, derivObjectClassID, noData, {2}},
         {GEOMOBJECT_CLASS_ID, boxObjectClassID, [](ISave& w) { BoxObject().Save(&w); }, {-1}},
         {GEOMOBJECT_CLASS_ID,
          sphereObjectClassID,
          [](ISave& w) { SphereObject().Save(&w); },
          {-1}}},
        {0});
    ASSERT_TRUE(LoadScene(Host(), fine, &error)) << error;
    INode* node = Host().GetINodeByHandle(7);
    ASSERT_NE(node, nullptr);
    // A node stored without a transform controller gets a default one.
    EXPECT_NE(node->GetTMController(), nullptr);
    EXPECT_NE(node->EvalWorldState(0).obj, nullptr);
}

TEST_F(BadSceneTest, HostileLengthsAndUnknownClassesAreNamed) {
    std::string error;
    // The first object's reference count (the last int of the first object chunk) raised to
    // two billion: refused against the chunk size before anything is allocated.
    {
        ChunkWriter w;
        w.BeginChunk(0x0001);
        for (std::int32_t v : {30, 0, 0, 100, 0})
            WriteValue(w, v);
        WriteValue(w, 1.0f);
        WriteValue(w, std::uint32_t(2));
        w.EndChunk();
        w.BeginChunk(0x0002);
        w.BeginChunk(0x0010);
        w.BeginChunk(0x0011);
        WriteValue(w, std::uint32_t(GEOMOBJECT_CLASS_ID));
        WriteValue(w, boxObjectClassID.PartA());
        WriteValue(w, boxObjectClassID.PartB());
        w.EndChunk();
        w.BeginChunk(0x0012);
        BoxObject().Save(&w);
        w.EndChunk();
        w.BeginChunk(0x0013);
        WriteValue(w, std::int32_t(2000000000));
        w.EndChunk();
        w.EndChunk();
        w.EndChunk();
        ASSERT_FALSE(LoadScene(Host(), w.Bytes(), &error));
        EXPECT_NE(error.find("reference count 2000000000"), std::string::npos) << error;
        EXPECT_NE(error.find("chunk 0x0002/0x0010/0x0013"), std::string::npos) << error;
        ExpectSceneUntouched();
    }
    {
        ChunkWriter w;
        w.BeginChunk(0x0001);
        for (std::int32_t v : {30, 0, 0, 100, 0})
            WriteValue(w, v);
        WriteValue(w, 1.0f);
        WriteValue(w, std::uint32_t(2));
        w.EndChunk();
        w.BeginChunk(0x0002);
        w.BeginChunk(0x0010);
        w.BeginChunk(0x0011);
        WriteValue(w, std::uint32_t(OSM_CLASS_ID));
        WriteValue(w, std::uint32_t(0xDEAD));
        WriteValue(w, std::uint32_t(0xBEEF));
        w.EndChunk();
        w.EndChunk();
        w.EndChunk();
        ASSERT_FALSE(LoadScene(Host(), w.Bytes(), &error));
        EXPECT_NE(error.find("object 0: class (0x0000DEAD, 0x0000BEEF)"), std::string::npos)
            << error;
        EXPECT_NE(error.find("is not registered"), std::string::npos) << error;
        ExpectSceneUntouched();
    }
    {
        ASSERT_FALSE(LoadScene(Host(), std::span<const BYTE>(), &error));
        EXPECT_NE(error.find("shorter than its 12-byte header"), std::string::npos);
        ExpectSceneUntouched();
    }
}

} // namespace
