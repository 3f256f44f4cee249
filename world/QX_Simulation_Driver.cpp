#include "world/QX_Simulation_Driver.h"

#include "modifier/QX_RIGID_MOD.h"
#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_Params.h"
#include "world/QX_Node_Lists.h"

#include "host/Window.h"

#include <cfloat>
#include <cmath>
#include <memory>

namespace Quarix {

namespace {

QX_Driver_State g_driver;

// --- the driven world's simulated objects ------------------------------------------------------

/// Calls fn(modifier) for every entry of the world's node list that carries a rigid modifier. The
/// count is re-read after every entry, since fn may change the list.
template <class Fn>
void ForEachRigidModifier(QX_BULLET_OBJ* world, Fn&& fn) {
    IParamBlock2* pb = world ? world->Params() : nullptr;
    if (!pb)
        return;
    for (int i = 0; i < pb->Count(WorldParam::NodesList); ++i) {
        INode* node = pb->GetINode(WorldParam::NodesList, 0, i);
        if (QX_RIGID_MOD* mod = node ? QX_RIGID_MOD::FindRigidModifier(node) : nullptr)
            fn(*mod);
    }
}

/// The cores of one simulation call, held so that a modifier deleted meanwhile cannot free a core
/// whose bodies a Bullet world still holds.
struct HeldCores {
    std::vector<std::shared_ptr<QX_BT_MeshController>> held;
    std::vector<QX_BT_MeshController*> cores;
};

HeldCores HoldCores(QX_BULLET_OBJ* world, int stamp) {
    HeldCores result;
    ForEachRigidModifier(world, [&](QX_RIGID_MOD& mod) {
        if (stamp != kNoStamp && mod.refTarg_ParamBlock)
            mod.refTarg_ParamBlock->SetValue(QX_RigidParam::ExplodeStart,
                                             stamp * GetTicksPerFrame(), stamp);
        result.held.push_back(mod.ShareCore());
        result.cores.push_back(result.held.back().get());
    });
    return result;
}

int StartFrameOf(QX_BULLET_OBJ& world) {
    return world.Core().intSettings.get(WorldKey::StartFrame);
}

TimeValue FrameTime(int frame) {
    return static_cast<TimeValue>(frame) * GetTicksPerFrame();
}

void SimulateOneFrame(QX_BULLET_OBJ& world, int from, bool relax) {
    HeldCores held = HoldCores(&world, kNoStamp);
    world.Core().SimulateFrame(held.cores, static_cast<float>(from), static_cast<float>(from + 1),
                               1.0f, relax);
}

void ShowResults(QX_BULLET_OBJ* world) {
    ForEachRigidModifier(world, [](QX_RIGID_MOD& mod) { mod.ForceReevaluation(); });
    GetCOREInterface()->ForceCompleteRedraw(TRUE);
}

// --- settings snapshot -------------------------------------------------------------------------

QX_BT_Vector4 Vector(const Point3& p) {
    return {p.x, p.y, p.z, 0.0f};
}

/// Key 4: the gizmo's up point, turned by the world node's rotation at time 0. Without a node the
/// gizmo alone decides (straight down with the gizmo at rest), so the run goes on.
QX_BT_Vector4 GravityDirection(QX_BULLET_OBJ& world, INode* node, TimeValue now) {
    Point3 up = world.GizmoValue(now).PointTransform(Point3(0.0f, 0.0f, 1.0f));
    if (node) {
        Matrix3 rotation = node->GetNodeTM(0);
        rotation.NoScale();
        rotation.NoTrans();
        up = rotation.PointTransform(up);
    }
    return Vector(up.Normalize());
}

} // namespace

const QX_Driver_State& DriverState() {
    return g_driver;
}

float GravityFactor(int frameRate, double centimetresPerUnit) {
    float g = -(1000.0f / static_cast<float>(frameRate) * 44.1f);
    if (centimetresPerUnit > 0.0)
        g = static_cast<float>(static_cast<double>(g) / centimetresPerUnit);
    return g;
}

void SnapshotWorldSettings(TimeValue t) {
    QX_BULLET_OBJ* world = g_driver.world;
    IParamBlock2* pb = world ? world->Params() : nullptr;
    if (!pb)
        return;
    QX_BT_World& core = world->Core();
    const TimeValue now = GetCOREInterface()->GetTime();
    INode* node = world->FindNode();
    const float gravity = pb->GetFloat(WorldParam::Gravity, t) *
                          GravityFactor(GetFrameRate(), GetMasterScale(UNITS_CENTIMETERS));

    core.floatSettings.set(WorldKey::DeltaTime, pb->GetFloat(WorldParam::DeltaTime, t));
    core.floatSettings.set(WorldKey::ScaleFactor, pb->GetFloat(WorldParam::ScaleFactor, t));
    core.intSettings.set(WorldKey::SubSteps, pb->GetInt(WorldParam::SimuleSpeed, t));
    core.floatSettings.set(WorldKey::Gravity, gravity);
    core.vectorSettings.set(WorldKey::GravityDirection, GravityDirection(*world, node, now));
    core.intSettings.set(WorldKey::GroundPlane, pb->GetInt(WorldParam::InfinitPlane, t));
    if (node) {
        const Matrix3 tm = node->GetNodeTM(now);
        Matrix3 turn = tm;
        turn.NoTrans();
        core.vectorSettings.set(WorldKey::GroundOrigin, Vector(tm.GetTrans()));
        core.vectorSettings.set(WorldKey::GroundNormal,
                                Vector(turn.VectorTransform(Point3(0.0f, 0.0f, 1.0f)).Normalize()));
    } else {
        core.vectorSettings.set(WorldKey::GroundOrigin, QX_BT_Vector4{0.0f, 0.0f, 0.0f, 0.0f});
        core.vectorSettings.set(WorldKey::GroundNormal, QX_BT_Vector4{0.0f, 0.0f, 1.0f, 0.0f});
    }
    core.intSettings.set(WorldKey::StartFrame, pb->GetInt(WorldParam::StartFrame, t));
    core.intSettings.set(WorldKey::EndFrame, pb->GetInt(WorldParam::EndFrame, t));
    core.floatSettings.set(WorldKey::GlobalSolidity, pb->GetFloat(WorldParam::GlobalSolidity, t));
    core.floatSettings.set(WorldKey::Margin, pb->GetFloat(WorldParam::Margin, t));
    core.floatSettings.set(WorldKey::SeparateImpulse, pb->GetFloat(WorldParam::SeparateImpulse, t));
    core.intSettings.set(WorldKey::HideCorrupted, pb->GetInt(WorldParam::HideCorrupted, t));
    core.floatSettings.set(WorldKey::DampingLinear, pb->GetFloat(WorldParam::DampingLinear, t));
    core.floatSettings.set(WorldKey::DampingAngular, pb->GetFloat(WorldParam::DampingAngular, t));
    core.intSettings.set(WorldKey::DeactivationTime, pb->GetInt(WorldParam::DeactivationTime, t));
    core.floatSettings.set(WorldKey::SleepingLinear, pb->GetFloat(WorldParam::SleepingLinear, t));
    core.floatSettings.set(WorldKey::SleepingAngular, pb->GetFloat(WorldParam::SleepingAngular, t));
    core.floatSettings.set(WorldKey::ForcesStrength, pb->GetFloat(WorldParam::ForcesStrenght, t));
}

std::vector<QX_BT_MeshController*> CollectMeshControllers(int stamp) {
    return HoldCores(g_driver.world, stamp).cores;
}

void SetQuietOutput(bool quiet) {
    ForEachRigidModifier(g_driver.world,
                         [&](QX_RIGID_MOD& mod) { mod.GetCore().quietOutput = quiet ? 1 : 0; });
}

// --- lifetime ----------------------------------------------------------------------------------

namespace {

/// Whether the node carries the world (directly or under a modifier stack).
bool NodeCarries(INode* node, QX_BULLET_OBJ* world) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    return obj && (obj == world || obj->FindBaseObject() == world);
}

/// The scene or the world's node is going: stop and forget the world before it is freed.
void OnSceneLifetime(void*, NotifyInfo* info) {
    if (!g_driver.world)
        return;
    if (info->intcode == NOTIFY_SCENE_PRE_DELETED_NODE &&
        !NodeCarries(static_cast<INode*>(info->callParam), g_driver.world))
        return;
    ForgetWorld(g_driver.world);
}

void WatchSceneLifetime() {
    for (int code : {NOTIFY_SYSTEM_PRE_RESET, NOTIFY_FILE_PRE_OPEN, NOTIFY_SCENE_PRE_DELETED_NODE})
        RegisterNotification(OnSceneLifetime, nullptr, code);
}

} // namespace

void ForgetWorld(QX_BULLET_OBJ* world) {
    if (!world)
        return;
    ForgetPickWorld(world);
    if (world != g_driver.world)
        return;
    StopSimulation();
    g_driver.world = nullptr;
}

// --- start, stop, tick -------------------------------------------------------------------------

void StartSimulation(QX_BULLET_OBJ* world, int request) {
    if (request < StartRequest::Range || request > StartRequest::Extend)
        return;
    bool keep = request == StartRequest::Extend;
    const int newMode = keep ? DriverMode::Range : request;
    if (!g_driver.running) {
        WatchSceneLifetime();
        g_driver.world = world;
        g_driver.timerId = SetTimer(nullptr, 0, 1, OnSimulationTimer);
        g_driver.running = g_driver.timerId != 0;
    } else {
        // Switching between Range and Loop keeps the counter.
        keep = keep || (g_driver.mode == DriverMode::Range && newMode == DriverMode::Loop) ||
               (g_driver.mode == DriverMode::Loop && newMode == DriverMode::Range);
    }
    if (world) {
        for (QX_BT_MeshController* core : CollectMeshControllers(kNoStamp))
            core->ResetRunState();
    }
    if (g_driver.world) {
        SnapshotWorldSettings(FrameTime(g_driver.frame));
        if (!keep)
            g_driver.frame = StartFrameOf(*g_driver.world);
    }
    g_driver.mode = newMode;
}

void StopSimulation() {
    if (!g_driver.running)
        return;
    KillTimer(nullptr, g_driver.timerId);
    g_driver.timerId = 0;
    g_driver.running = false;
    SetQuietOutput(false);
}

namespace {

/// Step 1 of a tick: snapshots, settings pushed into the objects, the change test.
void PrepareTick(QX_BULLET_OBJ& world) {
    const TimeValue t = FrameTime(g_driver.frame);
    SnapshotWorldSettings(t);
    ForEachRigidModifier(&world, [&](QX_RIGID_MOD& mod) { mod.PushSettingsToCore(t); });
    const int start = StartFrameOf(world);
    HeldCores held = HoldCores(&world, start);
    if (world.Core().HasChanges(held.cores))
        g_driver.frame = start;
}

void RangeTick(QX_BULLET_OBJ& world, bool atEnd) {
    SetQuietOutput(false);
    GetCOREInterface()->SetTime(FrameTime(g_driver.frame), TRUE);
    if (!atEnd) {
        SimulateOneFrame(world, g_driver.frame, false);
        ++g_driver.frame;
        return;
    }
    if (g_driver.mode == DriverMode::Loop) {
        g_driver.frame = StartFrameOf(world);
        return;
    }
    StopSimulation();
    ClearModeSwitch(&world, DriverControl::SimuleRange, DriverControl::RangeButton);
    ClearModeSwitch(&world, DriverControl::SimuleRangeNext, DriverControl::ExtendButton);
}

void QuietTick(QX_BULLET_OBJ& world) {
    SetQuietOutput(true);
    const int target = GetCOREInterface()->GetTime() / GetTicksPerFrame();
    if (g_driver.frame >= target)
        return;
    SimulateOneFrame(world, g_driver.frame, false);
    ++g_driver.frame;
    if (g_driver.frame >= GetCOREInterface()->GetTime() / GetTicksPerFrame()) {
        SetQuietOutput(false);
        ShowResults(&world);
        SetQuietOutput(true);
    }
}

void RelaxTick(QX_BULLET_OBJ& world) {
    SetQuietOutput(false);
    SimulateOneFrame(world, StartFrameOf(world), true);
    ShowResults(&world);
}

} // namespace

void OnSimulationTimer(HWND, UINT, UINT_PTR, DWORD) {
    QX_BULLET_OBJ* world = g_driver.world;
    if (!world) {
        // The world went away between ticks; nothing is left to drive.
        StopSimulation();
        return;
    }
    PrepareTick(*world);
    const bool atEnd = g_driver.frame >= world->Core().intSettings.get(WorldKey::EndFrame);
    switch (g_driver.mode) {
    case DriverMode::Range:
    case DriverMode::Loop:
        RangeTick(*world, atEnd);
        break;
    case DriverMode::Quiet:
        QuietTick(*world);
        break;
    case DriverMode::Relax:
        RelaxTick(*world);
        break;
    default:
        break;
    }
    if (g_driver.world != world)
        return;
    world->Core().intSettings.clearChanged();
    world->Core().floatSettings.clearChanged();
    ForEachRigidModifier(world, [](QX_RIGID_MOD& mod) { mod.UpdatePlaybackEnd(false); });
}

// --- rollout operations ------------------------------------------------------------------------

void ClearModeSwitch(QX_BULLET_OBJ* world, ParamID param, int controlId) {
    IParamBlock2* pb = world ? world->Params() : nullptr;
    if (!pb)
        return;
    const TimeValue now = GetCOREInterface()->GetTime();
    if (pb->GetInt(param, now) != 0)
        pb->SetValue(param, now, 0);
    HWND rollout = world->mainRolloutWindow;
    if (rollout && SendDlgItemMessage(rollout, controlId, BM_GETCHECK, 0, 0) ==
                       static_cast<LRESULT>(BST_CHECKED))
        SendDlgItemMessage(rollout, controlId, BM_SETCHECK, BST_UNCHECKED, 0);
}

void ResetResults(QX_BULLET_OBJ* world, float frame, bool erase) {
    if (!world)
        return;
    ForEachRigidModifier(world, [&](QX_RIGID_MOD& mod) {
        if (erase)
            mod.GetCore().resetRelaxed(frame);
        else
            mod.GetCore().rewindTo(frame, false);
        mod.ForceReevaluation();
    });
    Interface* ip = GetCOREInterface();
    ip->RedrawViews(ip->GetTime(), REDRAW_NORMAL);
}

void StartRelax(QX_BULLET_OBJ* world) {
    ResetResults(world, -FLT_MAX, false);
    StartSimulation(world, StartRequest::Relax);
}

int RunSimulationLoop(int maxTicks) {
    return GetCOREInterface()->GetMessageLoop().RunUntil([] { return !g_driver.running; },
                                                         maxTicks);
}

} // namespace Quarix
