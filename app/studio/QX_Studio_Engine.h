#pragma once
// The studio's engine: the one thread that owns the host. It runs the host's message loop (the
// simulation driver's ticks), executes the jobs the HTTP threads queue, and after every change
// publishes an immutable snapshot (node tree, pieces, per-frame placements, progress) that the
// HTTP threads read without touching the scene.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "app/studio/QX_Studio_Rollouts.h"
#include "app/studio/QX_Studio_Scene.h"

class Interface;
class INode;
class IQXWorldControl;

namespace Quarix::Studio {

/// What the HTTP threads may read: never changed after publishing.
struct Snapshot {
    /// DescribeTree of the scene.
    nlohmann::json tree;
    std::shared_ptr<const PieceSet> pieces;
    /// Placements from `firstFrame`, one block per frame (the world's range).
    std::vector<std::shared_ptr<const FrameBlock>> frames;
    int firstFrame = 0;
    /// Running mode, frame, bodies alive, ms per frame and their history.
    nlohmann::json progress;
};

/// The engine. Construct, Load and Run on the thread that owns the host; Post and Published are
/// safe from any thread.
class Engine {
public:
    /// A job run on the host thread; returns the JSON answer or throws StudioError.
    using Job = std::function<nlohmann::json(Engine&)>;

    explicit Engine(Interface& ip);
    ~Engine();

    /// Replaces the scene with the file at `path` and publishes it. Host thread only. Throws
    /// InputError for a file that cannot be read.
    void Load(const std::string& path);

    /// Runs jobs and simulation ticks until Stop(). Host thread only.
    void Run();
    /// Presses "Range" when no object of the scene holds results yet, and steps until the run
    /// ends. Host thread only; false when the scene has nothing to simulate.
    bool SimulateIfEmpty();
    /// Makes Run return after its current step. Any thread.
    void Stop();

    /// Queues `job` for the host thread. The future holds its answer or its exception.
    std::future<nlohmann::json> Post(Job job);
    /// Post and wait up to `timeoutMs`; throws StudioError 503 on timeout, or the job's error.
    nlohmann::json Call(Job job, int timeoutMs = 30000);

    /// The latest snapshot (never null after Load).
    std::shared_ptr<const Snapshot> Published() const;

    // --- actions, host thread only (from jobs) ---------------------------------------------

    /// Moves the time slider to `frame` (within the world's range).
    nlohmann::json SetFrame(int frame);
    /// Presses a mode button: a start request (0..4) or -1 to stop the running mode.
    nlohmann::json PressMode(int request);
    /// Appends the node `handle` to the world's list "NodesList" or "ForcesList".
    nlohmann::json AddToList(const std::string& list, std::uint32_t handle);
    /// Opens the rollouts of node `handle` and returns them (RolloutDesk::Open).
    nlohmann::json Rollouts(std::uint32_t handle);
    /// Performs a rollout action (RolloutDesk::Act), lets the scene follow, and returns the
    /// open rollouts.
    nlohmann::json RolloutAction(const nlohmann::json& action);
    /// While a rollout's pick mode runs: offers node `handle` to it, or ends it (right click)
    /// when `handle` is negative. StudioError 409 when no pick mode runs, 422 when refused.
    nlohmann::json Pick(long long handle);
    /// Presses "Bake" of node `handle`'s rigid modifier; returns the new node tree.
    nlohmann::json Bake(std::uint32_t handle);
    /// The evaluated mesh of node `handle` at `frame`, encoded (EncodeMesh).
    std::string NodeMesh(std::uint32_t handle, int frame);
    /// The node of a handle. Throws StudioError 404 for an unknown node.
    INode& NodeOf(std::uint32_t handle);
    /// The host (host thread only).
    Interface& Host() { return m_ip; }
    /// Publishes the scene again from scratch (after an action changed it).
    void Refresh();

private:
    void RunJobs();
    void Step();
    void Publish();
    void ResampleAll();
    void ResampleRange(int from, int to);
    nlohmann::json ProgressJson() const;
    /// After an action through the rollouts: which mode runs now, and the scene again.
    void FollowRollouts();

    Interface& m_ip;
    IQXWorldControl* m_control = nullptr;
    INode* m_world = nullptr;

    // host thread state
    PieceSources m_sources;
    std::shared_ptr<const PieceSet> m_pieces;
    std::vector<std::shared_ptr<const FrameBlock>> m_frames;
    nlohmann::json m_tree;
    int m_start = 0, m_end = 0;
    int m_version = 0;
    std::string m_mode;
    bool m_running = false;
    int m_runFrame = 0;
    int m_ticksSinceRebuild = 0;
    double m_msPerFrame = 0.0;
    int m_alive = 0;
    nlohmann::json m_history = nlohmann::json::array();
    std::unique_ptr<RolloutDesk> m_desk;

    // shared with the HTTP threads
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<Job, std::promise<nlohmann::json>>> m_jobs;
    std::shared_ptr<const Snapshot> m_published;
    std::atomic<bool> m_stop{false};
};

} // namespace Quarix::Studio
