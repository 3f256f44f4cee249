#include "app/studio/QX_Studio_Engine.h"

#include <algorithm>
#include <chrono>

#include "app/QX_Mesh_Sources.h"
#include "app/QX_Session.h"
#include "app/studio/QX_Studio_Request.h"
#include "host/IQXWorldControl.h"
#include "host/Interface.h"

namespace Quarix::Studio {

using nlohmann::json;

namespace {

constexpr const char* kWorldClass = "QX_Bullet_World";
/// While pieces keep appearing (demolition), the layout is rebuilt at most every this many ticks.
constexpr int kRebuildEveryTicks = 10;
/// Progress history kept for the page's chart.
constexpr size_t kHistoryLength = 2000;
const char* const kModeNames[] = {"range", "loop", "quiet", "relax", "extend"};

using Clock = std::chrono::steady_clock;

IParamBlock2* ParamsOf(INode* world) {
    Object* obj = world ? world->GetObjectRef() : nullptr;
    return obj && obj->NumParamBlocks() > 0 ? obj->GetParamBlock(0) : nullptr;
}

} // namespace

Engine::Engine(Interface& ip) : m_ip(ip), m_desk(std::make_unique<RolloutDesk>(ip)) {}

Engine::~Engine() {
    // Jobs never run are answered, so no HTTP thread waits for ever.
    std::lock_guard lock(m_mutex);
    for (auto& [job, promise] : m_jobs)
        promise.set_exception(std::make_exception_ptr(StudioError(503, "the studio is closing")));
}

void Engine::Load(const std::string& path) {
    // The rollouts belong to the old scene's objects.
    m_desk->CloseAll();
    App::LoadSceneAny(m_ip, path);
    m_world = App::FindNodeOfClass(m_ip, kWorldClass);
    m_desk->Start(m_world);
    m_control = m_world ? GetWorldControlInterface(m_world->GetObjectRef()) : nullptr;
    m_running = false;
    m_mode.clear();
    m_history = json::array();
    Refresh();
}

void Engine::Refresh() {
    m_tree = DescribeTree(m_ip);
    m_start = m_tree["start"].get<int>();
    m_end = std::max(m_start, m_tree["end"].get<int>());
    m_pieces = CollectPieces(m_ip, m_start, ++m_version, m_sources);
    ResampleAll();
    Publish();
}

void Engine::ResampleAll() {
    m_frames.assign(size_t(m_end - m_start + 1), nullptr);
    ResampleRange(m_start, m_end);
}

void Engine::ResampleRange(int from, int to) {
    from = std::max(from, m_start);
    to = std::min(to, m_end);
    for (int f = from; f <= to; ++f)
        m_frames[size_t(f - m_start)] = SampleFrame(m_sources, f);
}

json Engine::ProgressJson() const {
    return {{"running", m_running},
            {"mode", m_mode},
            {"frame", m_runFrame},
            {"time", m_ip.GetTime() / GetTicksPerFrame()},
            {"bodiesAlive", m_alive},
            {"msPerFrame", m_msPerFrame},
            {"piecesVersion", m_version},
            {"history", m_history},
            {"canSimulate", m_control != nullptr},
            {"picking", m_ip.GetCurPickMode() != nullptr}};
}

void Engine::Publish() {
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->tree = m_tree;
    snapshot->pieces = m_pieces;
    snapshot->frames = m_frames;
    snapshot->firstFrame = m_start;
    snapshot->progress = ProgressJson();
    std::lock_guard lock(m_mutex);
    m_published = std::move(snapshot);
}

std::shared_ptr<const Snapshot> Engine::Published() const {
    std::lock_guard lock(m_mutex);
    return m_published;
}

std::future<json> Engine::Post(Job job) {
    std::promise<json> promise;
    std::future<json> future = promise.get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            throw StudioError(503, "the studio is closing");
        m_jobs.emplace_back(std::move(job), std::move(promise));
    }
    m_wake.notify_one();
    return future;
}

json Engine::Call(Job job, int timeoutMs) {
    std::future<json> answer = Post(std::move(job));
    if (answer.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready)
        throw StudioError(503, "the studio is busy; try again");
    return answer.get();
}

void Engine::Stop() {
    m_stop = true;
    m_wake.notify_all();
}

void Engine::RunJobs() {
    std::deque<std::pair<Job, std::promise<json>>> jobs;
    {
        std::lock_guard lock(m_mutex);
        jobs.swap(m_jobs);
    }
    for (auto& [job, promise] : jobs) {
        try {
            promise.set_value(job(*this));
        } catch (...) {
            promise.set_exception(std::current_exception());
        }
    }
}

void Engine::Run() {
    while (!m_stop) {
        RunJobs();
        if (m_running) {
            Step();
            continue;
        }
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(100),
                        [&] { return m_stop || !m_jobs.empty(); });
    }
}

bool Engine::SimulateIfEmpty() {
    for (const auto& node : m_tree["nodes"])
        if (node["simulated"].get<bool>())
            return true;
    if (!m_control || !m_control->StartSimulation(IQXWorldControl::kRange))
        return false;
    m_running = m_control->IsRunning();
    m_mode = "range";
    while (m_running && !m_stop)
        Step();
    return true;
}

/// One tick of the driver, then what it recorded is sampled and published.
void Engine::Step() {
    const int before = m_control->CurrentFrame();
    const auto t0 = Clock::now();
    const int ticks = m_ip.GetMessageLoop().RunTicks(1);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    const int after = m_control->CurrentFrame();
    m_running = m_control->IsRunning() && ticks > 0;
    ++m_ticksSinceRebuild;
    const bool layoutChanged = PieceSignature(m_ip) != m_sources.signature;
    if (!m_running || (layoutChanged && m_ticksSinceRebuild >= kRebuildEveryTicks)) {
        // New bodies (a first run, demolition pieces) or the end of the run: everything again.
        Refresh();
        m_ticksSinceRebuild = 0;
    } else {
        ResampleRange(std::min(before, after) - 1, std::max(before, after));
    }
    if (after != before) {
        m_runFrame = after;
        m_msPerFrame = ms;
        m_alive = App::CountBodiesAlive(m_ip, std::clamp(after - 1, m_start, m_end));
        m_history.push_back({after, m_alive, std::round(ms * 100.0) / 100.0});
        if (m_history.size() > kHistoryLength)
            m_history.erase(m_history.begin());
    }
    if (!m_running)
        m_mode.clear();
    Publish();
    if (after == before && m_running) {
        // An idling mode (quiet at the time slider): no reason to spin.
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(30), [&] { return bool(m_stop); });
    }
}

json Engine::SetFrame(int frame) {
    if (m_running)
        throw StudioError(409, "the time slider follows \"" + m_mode + "\" while it runs");
    if (frame < m_start || frame > m_end)
        throw StudioError(422, "frame " + std::to_string(frame) + " is outside the world's range " +
                                   std::to_string(m_start) + ".." + std::to_string(m_end));
    m_ip.SetTime(frame * GetTicksPerFrame(), FALSE);
    m_tree["frame"] = frame;
    Publish();
    return {{"frame", frame}};
}

json Engine::PressMode(int request) {
    if (!m_control)
        throw StudioError(409, "the scene has no world object to simulate");
    if (request < 0) {
        // The checked mode button, pressed again, stops its mode; the driver directly otherwise.
        for (int r = 0; r < 5; ++r)
            if (m_running && m_desk->WorldButtonChecked(r))
                m_desk->PressWorldButton(r);
        if (m_control->IsRunning())
            m_control->StopSimulation();
        m_running = false;
        m_mode.clear();
        Refresh();
        return {{"running", false}};
    }
    if (m_running)
        throw StudioError(409, "\"" + m_mode + "\" is running; stop it first");
    // The same click the world's rollout receives; without rollouts, the driver's request.
    if (!m_desk->PressWorldButton(request) && !m_control->StartSimulation(request))
        throw StudioError(400, "the world refused the start request");
    m_running = m_control->IsRunning();
    m_mode = m_running ? kModeNames[request] : "";
    m_runFrame = m_control->CurrentFrame();
    m_history = json::array();
    Publish();
    return {{"running", m_running}, {"mode", m_mode}};
}

void Engine::FollowRollouts() {
    const bool wasRunning = m_running;
    m_running = m_control && m_control->IsRunning();
    m_mode.clear();
    for (int r = 0; m_running && r < 5; ++r)
        if (m_desk->WorldButtonChecked(r))
            m_mode = kModeNames[r];
    if (m_running && !wasRunning) {
        m_runFrame = m_control->CurrentFrame();
        m_history = json::array();
    }
    Refresh();
}

json Engine::Rollouts(std::uint32_t handle) {
    return m_desk->Open(NodeOf(handle));
}

json Engine::RolloutAction(const json& action) {
    m_desk->Act(action);
    FollowRollouts();
    return m_desk->Current();
}

json Engine::Pick(long long handle) {
    if (!m_ip.GetCurPickMode())
        throw StudioError(409, "no pick mode runs; press a rollout's \"Pick\" first");
    if (handle < 0) {
        m_ip.RightClickPick();
    } else if (!m_ip.PickAt(&NodeOf(std::uint32_t(handle)))) {
        throw StudioError(422, "the pick mode does not take node " + std::to_string(handle));
    }
    m_ip.GetMessageLoop().DeliverPosted();
    FollowRollouts();
    return m_desk->Current();
}

json Engine::Bake(std::uint32_t handle) {
    if (m_running)
        throw StudioError(409, "\"" + m_mode + "\" is running; stop it first");
    m_desk->Bake(NodeOf(handle));
    FollowRollouts();
    return m_tree;
}

json Engine::AddToList(const std::string& list, std::uint32_t handle) {
    if (list != "NodesList" && list != "ForcesList")
        throw StudioError(400, "unknown list \"" + list + "\" (NodesList or ForcesList)");
    INode& node = NodeOf(handle);
    IParamBlock2* params = ParamsOf(m_world);
    if (!params)
        throw StudioError(409, "the scene has no world object");
    if (m_running)
        throw StudioError(409, "lists cannot change while \"" + m_mode + "\" runs");
    if (&node == m_world)
        throw StudioError(422, "the world cannot be in its own list");
    const ParamID id = params->FindParamByName(FromUtf8(list).c_str());
    for (int i = 0; i < params->Count(id); ++i)
        if (params->GetINode(id, 0, i) == &node)
            throw StudioError(409, "\"" + ToUtf8(node.GetName()) + "\" is in " + list + " already");
    m_desk->PickIntoList(list, node);
    FollowRollouts();
    return {{"list", list}, {"count", params->Count(id)}};
}

INode& Engine::NodeOf(std::uint32_t handle) {
    INode* node = m_ip.GetINodeByHandle(handle);
    if (!node || node->IsRootNode())
        throw StudioError(404, "no node " + std::to_string(handle));
    return *node;
}

std::string Engine::NodeMesh(std::uint32_t handle, int frame) {
    INode& node = NodeOf(handle);
    if (frame < m_start || frame > m_end)
        throw StudioError(422, "frame " + std::to_string(frame) + " is outside the world's range");
    Piece piece;
    if (!EvaluateNodeMesh(node, frame, piece))
        throw StudioError(422, "\"" + ToUtf8(node.GetName()) + "\" has no triangle mesh");
    return EncodeMesh(piece);
}

} // namespace Quarix::Studio
