#pragma once
// The rollouts the studio's page shows and drives, through the host's dialog model and its
// scripting surface: the world's rollouts stay open while the scene has a world (its mode
// buttons are the page's), and the selected node's object and modifiers get theirs opened as
// the command panel would. Every action is validated here (rollout, control, value within the
// control's limits, item index) before it is posted to the host's message loop, and delivered
// at once. Host thread only.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class Interface;
class INode;
class ReferenceMaker;
class Animatable;
struct HostWindow;

namespace Quarix::Studio {

/// The open rollouts of the studio.
class RolloutDesk {
public:
    explicit RolloutDesk(Interface& ip) : m_ip(ip) {}
    ~RolloutDesk() { CloseAll(); }

    /// Opens the world's rollouts (null world: none). Closes what was open before.
    void Start(INode* world);
    /// Closes every rollout the desk opened (before the scene goes).
    void CloseAll();

    /// Opens the rollouts of `node` (its object and modifiers; the world's stay open) and
    /// returns them as {"node", "rollouts": [...]}.
    nlohmann::json Open(INode& node);
    /// The rollouts of the node opened last, as Open returns them.
    nlohmann::json Current();

    /// Performs one action {"rollout": serial, "control": id, "action": "click" | "spinner" |
    /// "select" | "doubleclick" | "combo" | "type" | "focus", "value" | "index" | "text"}.
    /// Throws StudioError 400 (malformed), 404 (no such rollout or control), 422 (value outside
    /// the control's limits, bad index, wrong kind of control, disabled control).
    void Act(const nlohmann::json& action);

    /// Clicks the world's mode button `request` (0 Range .. 4 Extend). False without a world.
    bool PressWorldButton(int request);
    /// Adds `node` to the world's list ("NodesList" or "ForcesList") as a user does: "Pick" in
    /// the list's rollout, a click on the node, a right click to end. Throws StudioError when
    /// there is no world or the list's filter refuses the node.
    void PickIntoList(const std::string& list, INode& node);

    /// Presses "Bake" in the "Animation" rollout of `node`'s rigid modifier (opening the node's
    /// rollouts). Throws StudioError 422 when the node has no such rollout or the button is
    /// disabled.
    void Bake(INode& node);

    /// Whether the world's rollout shows `request`'s button checked.
    bool WorldButtonChecked(int request);

private:
    /// Opens the rollouts of every object of `node`'s stack into `opened`.
    void OpenStack(INode& node, std::vector<Animatable*>& opened);
    void CloseSet(std::vector<Animatable*>& opened);
    /// The open rollouts owned by one of `owners`, as JSON.
    nlohmann::json RolloutsOf(const std::vector<Animatable*>& owners);
    /// The window of the world's rollout `title`; StudioError 409 when it is not open.
    HostWindow* WorldRollout(const char* title);

    Interface& m_ip;
    INode* m_world = nullptr;
    std::vector<Animatable*> m_worldSet;
    INode* m_node = nullptr;
    std::vector<Animatable*> m_nodeSet;
};

} // namespace Quarix::Studio
