#include "bench/bench.h"
#include "bench/benchmarks.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/QX_BT_World.h"
#include "host/ForceSources.h"
#include "host/Interface.h"
#include "tests/fixtures/QX_Test_Meshes.h"
#include "tests/fixtures/QX_Test_Scene.h"
#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"
#include "world/QX_BULLET_OBJ_Params.h"

namespace Quarix::Bench {

namespace {

constexpr int kFrames = 100;
constexpr int kColumns = 40; // 40 x 25 = 1,000 bricks
constexpr int kRows = 25;
constexpr float kBrick = 20.0f; // centimetres

// Forwards the core's questions to the world and times them.
class TimedWorldApi : public QX_BT_World_API_Interface {
public:
    explicit TimedWorldApi(QX_BULLET_OBJ& world) : world_(world) {}
    void ComputeForces(float frameOffset, const glm::vec3& position, int& forceIndex,
                       glm::vec3& fieldForce, glm::vec3& blastForce,
                       glm::vec3& blastSpin) override {
        Stopwatch watch;
        world_.ComputeForces(frameOffset, position, forceIndex, fieldForce, blastForce, blastSpin);
        ms += watch.ms();
    }
    std::vector<QX_BT_Box> GetSupportBoxes(float scale) override {
        Stopwatch watch;
        std::vector<QX_BT_Box> boxes = world_.GetSupportBoxes(scale);
        ms += watch.ms();
        return boxes;
    }
    double ms = 0.0;

private:
    QX_BULLET_OBJ& world_;
};

INode* SourceNode(Class_ID cid, SClass_ID sclass, const Matrix3& tm) {
    Interface* ip = GetCOREInterface();
    auto* obj = static_cast<Object*>(static_cast<Animatable*>(ip->CreateInstance(sclass, cid)));
    INode* node = ip->CreateObjectNode(obj);
    node->SetNodeTM(0, tm);
    return node;
}

// Two fields and a blast: a light wind across the wall, a push from behind one end and a blast
// at the foot of the other end that goes off at frame 60.
void AddForceSources(QX_BULLET_OBJ& world) {
    Matrix3 windTM = RotateXMatrix(-1.5707963f); // Z along +y
    INode* wind = SourceNode(windFieldClassID, WSM_OBJECT_CLASS_ID, windTM);
    wind->GetObjectRef()->GetParamBlockByID(0)->SetValue(FieldParam::Strength, 0, 0.02f);
    INode* push =
        SourceNode(pushFieldClassID, WSM_OBJECT_CLASS_ID, TransMatrix(Point3(300, -200, 100)));
    IParamBlock2* pushBlock = push->GetObjectRef()->GetParamBlockByID(0);
    pushBlock->SetValue(FieldParam::Strength, 0, 0.05f);
    pushBlock->SetValue(FieldParam::FalloffRadius, 0, 400.0f);
    INode* blast =
        SourceNode(blastMarkerClassID, HELPER_CLASS_ID, TransMatrix(Point3(-380, -30, 0)));
    IParamBlock2* blastBlock = blast->GetObjectRef()->GetParamBlockByID(0);
    blastBlock->SetValue(BlastObjectParam::StartFrame, 0, 60);
    blastBlock->SetValue(BlastObjectParam::FalloffDistance, 0, 150.0f);
    blastBlock->SetValue(BlastObjectParam::Strength, 0, 0.5f);
    blastBlock->SetValue(BlastObjectParam::Chaos, 0, 20);
    blastBlock->SetValue(BlastObjectParam::Spin, 0, 1.0f);
    for (INode* n : {wind, push, blast})
        world.Params()->Append(WorldParam::ForcesList, 1, &n);
}

struct Run {
    double msPerFrame = 0.0;
    double callbackMsPerFrame = 0.0;
};

Run RunWall(bool forces) {
    GetCOREInterface()->ResetScene();
    GetCOREInterface()->SetSystemUnitInfo(UNITS_CENTIMETERS, 1.0f);
    auto* world = static_cast<QX_BULLET_OBJ*>(GetQX_BULLET_OBJ_Desc()->Create(FALSE));
    GetCOREInterface()->CreateObjectNode(world);
    if (forces)
        AddForceSources(*world);
    QX_BT_World& core = world->Core();
    Fixtures::ConfigureWorld(core, 5, 1470.0f, true);
    core.floatSettings.set(WorldKey::ForcesStrength, 1.0f);
    TimedWorldApi api(*world);
    core.api = &api;

    QX_BT_Mesh_Data mesh = Fixtures::MakeBoxWall(kColumns, kRows, 0.0f);
    for (float& v : mesh.geometry.vertices)
        v *= kBrick;
    Fixtures::TestObject wall(mesh);
    const std::vector<QX_BT_MeshController*> objects = {wall.core.get()};
    Stopwatch watch;
    Fixtures::Simulate(core, objects, kFrames);
    Run run;
    run.msPerFrame = watch.ms() / kFrames;
    run.callbackMsPerFrame = api.ms / kFrames;
    core.api = world;
    GetCOREInterface()->ResetScene();
    return run;
}

} // namespace

std::string Forces1000() {
    // Baseline and force runs alternate; the better of two of each is kept against noise.
    Run base{1e30, 0}, with{1e30, 0};
    for (int round = 0; round < 2; ++round) {
        const Run b = RunWall(false);
        const Run f = RunWall(true);
        if (b.msPerFrame < base.msPerFrame)
            base = b;
        if (f.msPerFrame < with.msPerFrame)
            with = f;
    }
    JsonObject json;
    json.add("benchmark", std::string("forces_1000"))
        .add("bodies", static_cast<long long>(kColumns * kRows))
        .add("frames", static_cast<long long>(kFrames))
        .add("ms_per_frame", with.msPerFrame)
        .add("baseline_ms_per_frame", base.msPerFrame)
        .add("ratio", with.msPerFrame / base.msPerFrame)
        .add("callback_ms_per_frame", with.callbackMsPerFrame)
        .add("baseline_callback_ms_per_frame", base.callbackMsPerFrame);
    return json.str();
}

} // namespace Quarix::Bench
