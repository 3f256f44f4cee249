// The forces and support boxes the world answers the core with: force fields scaled by 1e7, the
// blast law step by step (wave gate, cone, falloff, chaos and spin draws), bad force sources,
// support nodes, and a body driven by the wind through the core.

#include "tests/plugin/world/QX_World_Test_Support.h"

#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "world/QX_World_Forces.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace QX_World_Test {
namespace {

struct Forces {
    glm::vec3 field{0.0f}, blast{0.0f}, spin{0.0f};
    int index = 0;
};

Forces At(QX_BULLET_OBJ* world, float frame, const glm::vec3& p, int startIndex = 0) {
    Forces f;
    f.index = startIndex;
    world->ComputeForces(frame, p, f.index, f.field, f.blast, f.spin);
    return f;
}

// A field whose force is whatever the test says, NaN included.
class FixedFieldObject : public WSMObject {
public:
    explicit FixedFieldObject(Point3 force) : m_force(force) {}
    Class_ID ClassID() override { return Class_ID(0x7E57F1E1, 1); }
    ForceField* GetForceField(INode*) override {
        struct Field : ForceField {
            Point3 f;
            Point3 Force(TimeValue, const Point3&, const Point3&, int) override { return f; }
        };
        auto* field = new Field;
        field->f = m_force;
        return field;
    }

private:
    Point3 m_force;
};

// A frame whose Z axis points along +x.
const Matrix3 kZAlongX(Point3(0, 0, -1), Point3(0, 1, 0), Point3(1, 0, 0), Point3(5, 5, 5));
constexpr float kBlastUnit = 8.0f * 33.0f; // linear term per unit strength

TEST_F(WorldTest, EmptyForceListChangesNothing) {
    QX_BULLET_OBJ* world = NewWorld();
    Forces f;
    f.field = glm::vec3(1, 2, 3);
    f.index = 7;
    world->ComputeForces(3.0f, glm::vec3(1, 1, 1), f.index, f.field, f.blast, f.spin);
    EXPECT_EQ(f.field, glm::vec3(1, 2, 3));
    EXPECT_EQ(f.blast, glm::vec3(0.0f));
    EXPECT_EQ(f.spin, glm::vec3(0.0f));
    EXPECT_EQ(f.index, 7);
    EXPECT_TRUE(world->GetSupportBoxes(1.0f).empty());
}

TEST_F(WorldTest, WindFieldIsScaledOnceEvenWhenListedTwice) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* wind = SourceNode(WSM_OBJECT_CLASS_ID, windFieldClassID, kZAlongX);
    Block(wind)->SetValue(FieldParam::Strength, 0, 2.0f);
    AddForce(world, wind);
    AddForce(world, wind);
    INode* none = nullptr;
    world->Params()->Append(WorldParam::ForcesList, 1, &none);
    const Forces f = At(world, 0.0f, glm::vec3(0, 0, 0), 4);
    EXPECT_EQ(f.index, 5);
    EXPECT_NEAR(f.field.x, 2.0f * 1e-6f * 1e7f, 1e-4f);
    EXPECT_NEAR(f.field.y, 0.0f, 1e-4f);
    EXPECT_NEAR(f.field.z, 0.0f, 1e-4f);
}

TEST_F(WorldTest, PushFieldFallsOffWithDistance) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* push = SourceNode(WSM_OBJECT_CLASS_ID, pushFieldClassID, TransMatrix(Point3(0, 0, 10)));
    Block(push)->SetValue(FieldParam::FalloffRadius, 0, 100.0f);
    AddForce(world, push);
    EXPECT_NEAR(At(world, 0, glm::vec3(0, 0, 60)).field.z, 10.0f * 0.5f, 1e-4f);
    EXPECT_NEAR(At(world, 0, glm::vec3(0, 0, -40)).field.z, -10.0f * 0.5f, 1e-4f);
    EXPECT_EQ(At(world, 0, glm::vec3(0, 0, 10)).field, glm::vec3(0.0f));  // at the centre
    EXPECT_EQ(At(world, 0, glm::vec3(0, 0, 200)).field, glm::vec3(0.0f)); // beyond the radius
}

TEST_F(WorldTest, SingleImpulseBlastActsOnlyInItsExactFrame) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* blast = SourceNode(HELPER_CLASS_ID, blastMarkerClassID);
    Block(blast)->SetValue(BlastObjectParam::StartFrame, 0, 10);
    Block(blast)->SetValue(BlastObjectParam::FalloffType, 0, 0);
    AddForce(world, blast);
    const glm::vec3 p(100, 0, 0);
    EXPECT_NEAR(At(world, 10.0f, p).blast.x, kBlastUnit, 1e-3f);
    for (float frame : {9.0f, 11.0f, 10.5f, 9.99f})
        EXPECT_EQ(At(world, frame, p).blast, glm::vec3(0.0f)) << frame;
    // The world's start frame shifts simulation frames: offset 4 from start 6 is frame 10.
    world->Core().intSettings.set(WorldKey::StartFrame, 6);
    EXPECT_NEAR(At(world, 4.0f, p).blast.x, kBlastUnit, 1e-3f);
}

TEST_F(WorldTest, WaveBlastActsInsideItsTravellingShell) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* blast = SourceNode(HELPER_CLASS_ID, blastMarkerClassID);
    IParamBlock2* pb = Block(blast);
    pb->SetValue(BlastObjectParam::StartFrame, 0, 0);
    pb->SetValue(BlastObjectParam::WaveSpeed, 0, 50.0f); // 50 units per frame, 10 thick at 5 steps
    pb->SetValue(BlastObjectParam::FalloffType, 0, 0);
    AddForce(world, blast);
    // At frame 2 the shell spans [100, 110).
    EXPECT_GT(At(world, 2.0f, glm::vec3(105, 0, 0)).blast.x, 0.0f);
    EXPECT_GT(At(world, 2.0f, glm::vec3(100, 0, 0)).blast.x, 0.0f);
    EXPECT_EQ(At(world, 2.0f, glm::vec3(110, 0, 0)).blast, glm::vec3(0.0f));
    EXPECT_EQ(At(world, 2.0f, glm::vec3(95, 0, 0)).blast, glm::vec3(0.0f));
}

TEST_F(WorldTest, ConeBlastPushesOnlyInsideItsHalfAngle) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* blast = SourceNode(GEOMOBJECT_CLASS_ID, blastShellClassID);
    IParamBlock2* pb = Block(blast);
    pb->SetValue(BlastObjectParam::StartFrame, 0, 0);
    pb->SetValue(BlastObjectParam::ConeAngle, 0, static_cast<float>(std::numbers::pi / 3)); // 60
    pb->SetValue(BlastObjectParam::FalloffType, 0, 0);
    AddForce(world, blast);
    const glm::vec3 up = At(world, 0, glm::vec3(0, 0, 100)).blast;
    EXPECT_NEAR(up.z, kBlastUnit, 1e-3f);
    const glm::vec3 inside = At(world, 0, glm::vec3(0, 40, 100)).blast; // 21.8 degrees off
    EXPECT_NEAR(glm::length(inside), kBlastUnit, 1e-3f);
    EXPECT_GT(inside.y, 0.0f);
    EXPECT_EQ(At(world, 0, glm::vec3(100, 0, 100)).blast, glm::vec3(0.0f)); // 45 degrees off
    EXPECT_EQ(At(world, 0, glm::vec3(0, 0, -100)).blast, glm::vec3(0.0f));  // behind
}

TEST_F(WorldTest, LinearAndQuadraticFalloff) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* blast = SourceNode(HELPER_CLASS_ID, blastMarkerClassID);
    IParamBlock2* pb = Block(blast);
    pb->SetValue(BlastObjectParam::StartFrame, 0, 0);
    pb->SetValue(BlastObjectParam::Mode, 0, 1); // along the node's Z: defined at the centre too
    pb->SetValue(BlastObjectParam::FalloffDistance, 0, 100.0f);
    AddForce(world, blast);
    const float linear[3] = {1.0f, 0.5f, 0.0f};
    const float quadratic[3] = {1.0f, 0.25f, 0.0f};
    for (int type : {1, 2}) {
        pb->SetValue(BlastObjectParam::FalloffType, 0, type);
        for (int i = 0; i < 3; ++i) {
            const float r = 50.0f * static_cast<float>(i);
            const float w = type == 1 ? linear[i] : quadratic[i];
            EXPECT_NEAR(At(world, 0, glm::vec3(0, 0, r)).blast.z, kBlastUnit * w, 1e-3f)
                << "type " << type << " at " << r;
        }
    }
}

TEST_F(WorldTest, ChaosAndSpinDrawFromTheRuntimeGeneratorInOrder) {
    QX_BULLET_OBJ* world = NewWorld();
    INode* blast = SourceNode(HELPER_CLASS_ID, blastMarkerClassID);
    IParamBlock2* pb = Block(blast);
    pb->SetValue(BlastObjectParam::StartFrame, 0, 0);
    pb->SetValue(BlastObjectParam::FalloffType, 0, 0);
    pb->SetValue(BlastObjectParam::Chaos, 0, 40);
    pb->SetValue(BlastObjectParam::Spin, 0, 3.0f);
    AddForce(world, blast);

    std::srand(1234);
    const int c = std::rand() % 40;
    const int r1 = std::rand(), r2 = std::rand(), r3 = std::rand();
    const float k = 2.0f * 3.0f / 32767.0f;
    std::srand(1234);
    const Forces f = At(world, 0, glm::vec3(10, 0, 0));
    EXPECT_NEAR(f.blast.x, kBlastUnit * (1.0f + static_cast<float>(c) * 0.01f), 1e-3f);
    EXPECT_NEAR(f.spin.x, (static_cast<float>(r3) * k - 3.0f) * 8.0f, 1e-4f);
    EXPECT_NEAR(f.spin.y, (static_cast<float>(r2) * k - 3.0f) * 8.0f, 1e-4f);
    EXPECT_NEAR(f.spin.z, (static_cast<float>(r1) * k - 3.0f) * 8.0f, 1e-4f);
}

TEST_F(WorldTest, BadForceSourcesAddNothingAndTheRestStillActs) {
    QX_BULLET_OBJ* world = NewWorld();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto blastWith = [&](ParamID id, float value) {
        INode* n = SourceNode(HELPER_CLASS_ID, blastMarkerClassID);
        Block(n)->SetValue(BlastObjectParam::StartFrame, 0, 0);
        Block(n)->SetValue(id, 0, value);
        return n;
    };
    AddForce(world, blastWith(BlastObjectParam::Strength, nan));
    AddForce(world, blastWith(BlastObjectParam::Spin, inf));
    AddForce(world, blastWith(BlastObjectParam::FalloffDistance, 0.0f)); // linear by default
    AddForce(world, blastWith(BlastObjectParam::WaveSpeed, nan));
    AddForce(world, Host().CreateObjectNode(new FixedFieldObject(Point3(nan, 0, 0))));
    INode* centred = blastWith(BlastObjectParam::FalloffType, 0.0f); // body at its centre
    AddForce(world, centred);
    Forces f = At(world, 0, glm::vec3(0, 0, 0));
    EXPECT_EQ(f.field, glm::vec3(0.0f));
    EXPECT_EQ(f.blast, glm::vec3(0.0f));
    EXPECT_EQ(f.spin, glm::vec3(0.0f));
    EXPECT_EQ(f.index, 1); // the NaN field was still evaluated

    AddForce(world, Host().CreateObjectNode(new FixedFieldObject(Point3(0, 0, 1e-7f))));
    f = At(world, 0, glm::vec3(0, 0, 0));
    EXPECT_NEAR(f.field.z, 1.0f, 1e-6f);
    EXPECT_EQ(f.index, 2);
}

TEST_F(WorldTest, SupportNodesAndTheirBoxes) {
    INode* worldNode = nullptr;
    QX_BULLET_OBJ* world = NewWorld(&worldNode);
    world->Params()->SetValue(WorldParam::Size, 0, 50.0f);
    Matrix3 tm = RotateZMatrix(0.7f) * ScaleMatrix(Point3(2, 2, 2));
    tm.SetTrans(Point3(10, 20, 30));
    INode* box = BoxNode(10.0f);
    box->SetNodeTM(0, tm);
    INode* rigidBox = BoxNode(4.0f, Point3(-50, 0, 0));
    Rigid(rigidBox); // a derived object counts as geometry
    INode* wind = SourceNode(WSM_OBJECT_CLASS_ID, windFieldClassID);
    INode* shell = SourceNode(GEOMOBJECT_CLASS_ID, blastShellClassID);
    INode* marker = SourceNode(HELPER_CLASS_ID, blastMarkerClassID);

    EXPECT_FALSE(IsSupportNode(nullptr));
    EXPECT_FALSE(IsSupportNode(worldNode));
    EXPECT_FALSE(IsSupportNode(wind));
    EXPECT_FALSE(IsSupportNode(shell));
    EXPECT_FALSE(IsSupportNode(marker));
    EXPECT_TRUE(IsSupportNode(box));
    EXPECT_TRUE(IsSupportNode(rigidBox));

    for (INode* n : {worldNode, wind, box, shell, marker, rigidBox, box})
        AddForce(world, n);
    const std::vector<QX_BT_Box> boxes = world->GetSupportBoxes(0.5f);
    ASSERT_EQ(boxes.size(), 2u);
    // The object's own box moved by the node's translation only, then scaled.
    EXPECT_EQ(boxes[0].min, glm::vec4((-5 + 10) * 0.5f, (-5 + 20) * 0.5f, 30 * 0.5f, 0));
    EXPECT_EQ(boxes[0].max, glm::vec4((5 + 10) * 0.5f, (5 + 20) * 0.5f, (10 + 30) * 0.5f, 0));
    EXPECT_EQ(boxes[1].min, glm::vec4((-2 - 50) * 0.5f, -2 * 0.5f, 0, 0));
}

// A floating box (no ground, no gravity) under a wind along +x: each frame the wind's velocity
// acts for that frame only, so the box moves by F x 1e7 x strength x frame time per frame, and
// stops moving once the wind leaves the list.
TEST_F(WorldTest, WindDrivesABodyForOneFrameAtATime) {
    QX_BULLET_OBJ* world = NewWorld();
    QX_BT_World& core = world->Core();
    Fixtures::ConfigureWorld(core, 5, 0.0f, false);
    core.floatSettings.set(WorldKey::ForcesStrength, 1.0f); // the driver copies "Forces Strenght"
    ASSERT_EQ(core.api, world);
    INode* wind = SourceNode(WSM_OBJECT_CLASS_ID, windFieldClassID, kZAlongX);
    Block(wind)->SetValue(FieldParam::Strength, 0, 100.0f);
    AddForce(world, wind);
    Fixtures::TestObject box(Fixtures::MakeBox(glm::vec3(0, 0, 50), glm::vec3(5.0f)));
    const std::vector<QX_BT_MeshController*> list{box.core.get()};

    auto x = [&](float frame) {
        const QX_BT_Body_Track& track = box.core->bodies.at(0)->track;
        return track.contains(frame) ? track.find(frame)->second.transform[3][0] : -1.0f;
    };
    const float perFrame = 100.0f * 1e-6f * 1e7f / 40.0f; // velocity x one frame of 1/40 s
    Fixtures::Simulate(core, list, 2);
    EXPECT_NEAR(x(1.0f), perFrame, 1e-3f);
    EXPECT_NEAR(x(2.0f), 2.0f * perFrame, 1e-3f);
    // The wind's velocity is taken back after each frame: nothing carries on without it.
    world->Params()->ZeroCount(WorldParam::ForcesList);
    Fixtures::SimulateFrames(core, list, 2, 4);
    EXPECT_NEAR(x(4.0f), 2.0f * perFrame, 1e-3f);
}

} // namespace
} // namespace QX_World_Test
