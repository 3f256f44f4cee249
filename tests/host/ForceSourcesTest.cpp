// The host's force sources: the fields' laws, the blast objects' parameter blocks, registration
// and scene files.

#include "tests/host/HostTestSupport.h"

#include "host/ForceSources.h"
#include "host/SceneIO.h"

#include <numbers>

namespace {

class ForceSourcesTest : public HostTest {
protected:
    INode* Make(SClass_ID sclass, Class_ID cid, const Matrix3& tm = Matrix3()) {
        auto* obj =
            static_cast<Object*>(static_cast<Animatable*>(Host().CreateInstance(sclass, cid)));
        EXPECT_NE(obj, nullptr);
        INode* node = Host().CreateObjectNode(obj);
        node->SetNodeTM(0, tm);
        return node;
    }
    static Point3 ForceOf(INode* node, const Point3& at, TimeValue t = 0) {
        auto* wsm = static_cast<WSMObject*>(node->GetObjectRef()->GetInterface(I_WSMOBJECT));
        EXPECT_NE(wsm, nullptr);
        ForceField* field = wsm->GetForceField(node);
        EXPECT_NE(field, nullptr);
        const Point3 f = field->Force(t, at, Point3(), 0);
        field->DeleteThis();
        return f;
    }
};

TEST_F(ForceSourcesTest, WindBlowsAlongItsNodesZAxis) {
    INode* wind = Make(WSM_OBJECT_CLASS_ID, windFieldClassID, RotateXMatrix(0.5f));
    IParamBlock2* pb = wind->GetObjectRef()->GetParamBlockByID(0);
    pb->SetValue(FieldParam::Strength, 0, 3.0f);
    const Point3 axis = RotateXMatrix(0.5f).VectorTransform(Point3(0, 0, 1));
    EXPECT_TRUE(ForceOf(wind, Point3(5, 6, 7)).Equals(axis * 3e-6f, 1e-12f));
    EXPECT_EQ(ForceOf(wind, Point3(5, 6, 7)), ForceOf(wind, Point3(-500, 60, 7)));

    // Turbulence: the same cell and frame give the same push, another cell another one, and it
    // stays within strength x turbulence.
    pb->SetValue(FieldParam::Turbulence, 0, 0.5f);
    const Point3 a = ForceOf(wind, Point3(10, 10, 10));
    EXPECT_EQ(a, ForceOf(wind, Point3(20, 30, 40))); // one 100-unit cell
    EXPECT_NE(a, ForceOf(wind, Point3(150, 10, 10)));
    EXPECT_NE(a, ForceOf(wind, Point3(10, 10, 10), 5 * GetTicksPerFrame()));
    EXPECT_LE((a - axis * 3e-6f).Length(), 3e-6f * 0.5f * std::sqrt(3.0f) + 1e-12f);
}

TEST_F(ForceSourcesTest, PushActsFromItsCentreWithinItsRadius) {
    INode* push = Make(WSM_OBJECT_CLASS_ID, pushFieldClassID, TransMatrix(Point3(0, 0, 100)));
    IParamBlock2* pb = push->GetObjectRef()->GetParamBlockByID(0);
    EXPECT_TRUE(
        ForceOf(push, Point3(0, 0, 1000)).Equals(Point3(0, 0, 1e-6f), 1e-12f)); // no falloff
    pb->SetValue(FieldParam::FalloffRadius, 0, 200.0f);
    pb->SetValue(FieldParam::Strength, 0, -2.0f); // pulls
    EXPECT_TRUE(ForceOf(push, Point3(100, 0, 100)).Equals(Point3(-1e-6f, 0, 0), 1e-12f));
    EXPECT_EQ(ForceOf(push, Point3(300, 0, 100)), Point3());
    EXPECT_EQ(ForceOf(push, Point3(0, 0, 100)), Point3());
}

TEST_F(ForceSourcesTest, BlastObjectsCarryTheirBlockAndSaveWithTheScene) {
    INode* marker = Make(HELPER_CLASS_ID, blastMarkerClassID, TransMatrix(Point3(1, 2, 3)));
    INode* shell = Make(GEOMOBJECT_CLASS_ID, blastShellClassID);
    for (INode* n : {marker, shell}) {
        IParamBlock2* pb = n->GetObjectRef()->GetParamBlockByID(0);
        ASSERT_NE(pb, nullptr);
        for (ParamID id : {BlastObjectParam::Mode, BlastObjectParam::StartFrame,
                           BlastObjectParam::Chaos, BlastObjectParam::FalloffType})
            EXPECT_EQ(pb->GetParamDef(id)->type, TYPE_INT) << id;
        for (ParamID id :
             {BlastObjectParam::FalloffDistance, BlastObjectParam::ConeAngle,
              BlastObjectParam::Strength, BlastObjectParam::Spin, BlastObjectParam::WaveSpeed})
            EXPECT_NE(pb->GetParamDef(id)->type, TYPE_INT) << id;
        EXPECT_NEAR(pb->GetFloat(BlastObjectParam::ConeAngle), 2 * std::numbers::pi, 1e-6);
    }
    EXPECT_EQ(marker->GetObjectRef()->SuperClassID(), HELPER_CLASS_ID);
    const ObjectState& os = shell->EvalWorldState(0);
    ASSERT_NE(os.obj, nullptr);
    Box3 box;
    os.obj->GetDeformBBox(0, box);
    EXPECT_EQ(box.Width(), Point3(20, 20, 20)); // the visible star of "Icon Size"

    marker->GetObjectRef()->GetParamBlockByID(0)->SetValue(BlastObjectParam::Strength, 0, 7.5f);
    Make(WSM_OBJECT_CLASS_ID, windFieldClassID)
        ->GetObjectRef()
        ->GetParamBlockByID(0)
        ->SetValue(FieldParam::Turbulence, 0, 0.25f);
    std::vector<BYTE> bytes;
    std::string error;
    ASSERT_TRUE(SaveScene(Host(), bytes, &error)) << error;
    Host().ResetScene();
    ASSERT_TRUE(LoadScene(Host(), bytes, &error)) << error;
    const std::vector<INode*> nodes = Host().AllNodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->GetObjectRef()->ClassID(), blastMarkerClassID);
    EXPECT_EQ(nodes[0]->GetObjectRef()->GetParamBlockByID(0)->GetFloat(BlastObjectParam::Strength),
              7.5f);
    EXPECT_EQ(nodes[1]->GetObjectRef()->ClassID(), blastShellClassID);
    EXPECT_EQ(nodes[2]->GetObjectRef()->GetParamBlockByID(0)->GetFloat(FieldParam::Turbulence),
              0.25f);
}

TEST_F(ForceSourcesTest, ClonesOwnTheirBlocks) {
    INode* wind = Make(WSM_OBJECT_CLASS_ID, windFieldClassID);
    auto* original = static_cast<ForceFieldObject*>(wind->GetObjectRef());
    original->pblock->SetValue(FieldParam::Strength, 0, 4.0f);
    auto* copy =
        static_cast<ForceFieldObject*>(CloneRefHierarchy(static_cast<ReferenceTarget*>(original)));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->pblock, original->pblock);
    EXPECT_EQ(copy->pblock->GetFloat(FieldParam::Strength), 4.0f);
    copy->DeleteThis();
}

} // namespace
