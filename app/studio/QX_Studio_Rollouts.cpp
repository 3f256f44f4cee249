#include "app/studio/QX_Studio_Rollouts.h"

#include <algorithm>
#include <cmath>

#include "app/QX_Session.h"
#include "app/studio/QX_Studio_Request.h"
#include "host/DialogScript.h"
#include "host/Interface.h"
#include "host/Modifier.h"

namespace Quarix::Studio {

using nlohmann::json;

namespace {

/// The world's mode buttons in start-request order: "Range", "Loop", "Quiet", "Relax", "Extend".
constexpr int kModeButtons[] = {1005, 1026, 1028, 1023, 1059};
/// The world's rollout with the mode buttons.
constexpr const char* kWorldTitle = "World";
/// "Pick" of the simulation list ("Simulation Objects") and of the force list ("Supporting
/// Objects").
constexpr int kSimulationPick = 2028;
constexpr int kForcePick = 1032;
/// The rigid modifier's "Animation" rollout and its "Bake" button.
constexpr const char* kAnimationTitle = "Animation";
constexpr int kBakeButton = 2069;
/// Longest text typed into an edit field.
constexpr size_t kMaxText = 1000;

/// An action the scripting surface refused (a disabled control, a control of another kind).
[[noreturn]] void Refused(const std::string& error) {
    throw StudioError(422, error.empty() ? "the control refused the action" : error);
}

/// An item index of a list or combo box within its items.
int ItemIndex(const json& action, const ControlSnapshot& control) {
    if (control.items.empty())
        throw StudioError(422, "control " + std::to_string(control.id) + " has no items");
    return RequireInt(action, "index", 0, int(control.items.size()) - 1);
}

} // namespace

void RolloutDesk::Start(INode* world) {
    CloseAll();
    m_world = world;
    if (world)
        OpenStack(*world, m_worldSet);
}

void RolloutDesk::CloseAll() {
    CloseSet(m_nodeSet);
    CloseSet(m_worldSet);
    m_node = nullptr;
    m_world = nullptr;
}

void RolloutDesk::OpenStack(INode& node, std::vector<Animatable*>& opened) {
    Object* base = nullptr;
    std::vector<Modifier*> mods = App::StackOf(node, base);
    if (base) {
        base->BeginEditParams(&m_ip, 0, nullptr);
        opened.push_back(base);
    }
    // Bottom of the stack first, as the panel lists them from the top down.
    for (auto it = mods.rbegin(); it != mods.rend(); ++it) {
        (*it)->BeginEditParams(&m_ip, 0, nullptr);
        opened.push_back(*it);
    }
}

void RolloutDesk::CloseSet(std::vector<Animatable*>& opened) {
    for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
        if (auto* obj = dynamic_cast<Object*>(*it))
            obj->EndEditParams(&m_ip, 0, nullptr);
        else if (auto* mod = dynamic_cast<Modifier*>(*it))
            mod->EndEditParams(&m_ip, 0, nullptr);
    }
    opened.clear();
}

json RolloutDesk::Open(INode& node) {
    if (&node != m_node) {
        CloseSet(m_nodeSet);
        m_node = &node;
        if (&node != m_world)
            OpenStack(node, m_nodeSet);
    }
    return Current();
}

json RolloutDesk::Current() {
    if (m_node && !m_ip.IsInScene(m_node)) {
        // Deleted (a bake with "Delete :" on): its rollouts go with it.
        CloseSet(m_nodeSet);
        m_node = nullptr;
    }
    json out = RolloutsOf(m_node == m_world ? m_worldSet : m_nodeSet);
    out["node"] = m_node ? json(m_node->GetHandle()) : json(nullptr);
    return out;
}

json RolloutDesk::RolloutsOf(const std::vector<Animatable*>& owners) {
    const RolloutList& list = m_ip.GetRollouts();
    std::vector<RolloutSnapshot> all = SnapshotRollouts(list), mine;
    for (int i = 0; i < list.Count(); ++i) {
        auto* owner = dynamic_cast<Animatable*>(list.Get(i)->Owner());
        if (std::find(owners.begin(), owners.end(), owner) != owners.end())
            mine.push_back(all[size_t(i)]);
    }
    return json::parse(SnapshotToJson(mine));
}

void RolloutDesk::Act(const json& action) {
    const int serial = RequireInt(action, "rollout", 0, 0x7fffffff);
    const int id = RequireInt(action, "control", 0, 0xffff);
    const std::string kind = RequireString(action, "action");
    Rollout* rollout = m_ip.GetRollouts().FindBySerial(serial);
    const auto mine = [&](const std::vector<Animatable*>& set) {
        return rollout && std::find(set.begin(), set.end(),
                                    dynamic_cast<Animatable*>(rollout->Owner())) != set.end();
    };
    if (!mine(m_worldSet) && !mine(m_nodeSet))
        throw StudioError(404, "no open rollout " + std::to_string(serial));
    DialogScript script(m_ip);
    HWND window = rollout->Window();
    if (!script.FindControl(window, id))
        throw StudioError(404, "rollout \"" + ToUtf8(rollout->Title()) + "\" has no control " +
                                   std::to_string(id));
    const ControlSnapshot control = script.Read(window, id);
    std::string error;
    bool done = false;
    if (kind == "click") {
        done = script.Click(window, id, &error);
    } else if (kind == "spinner") {
        const double value = RequireNumber(action, "value");
        if (control.kind == "spinner" && (value < control.minValue || value > control.maxValue))
            throw StudioError(422, "value " + json(value).dump() + " is outside " +
                                       json(control.minValue).dump() + ".." +
                                       json(control.maxValue).dump());
        done = script.SetSpinner(window, id, value, &error);
    } else if (kind == "select" || kind == "doubleclick" || kind == "combo") {
        const int index = ItemIndex(action, control);
        const auto extendField = action.find("extend");
        if (extendField != action.end() && !extendField->is_boolean())
            throw StudioError(400, "\"extend\" must be true or false, not " + extendField->dump());
        const bool extend = extendField != action.end() && extendField->get<bool>();
        done = kind == "select"        ? script.SelectListItem(window, id, index, extend, &error)
               : kind == "doubleclick" ? script.DoubleClick(window, id, index, &error)
                                       : script.SelectComboItem(window, id, index, &error);
    } else if (kind == "type") {
        const std::string text = RequireString(action, "text");
        if (text.size() > kMaxText)
            throw StudioError(422, "text longer than " + std::to_string(kMaxText) + " bytes");
        done = script.TypeText(window, id, FromUtf8(text).c_str(), &error);
    } else if (kind == "focus") {
        done = script.Focus(window, id, &error);
    } else {
        throw StudioError(400, "unknown action \"" + kind +
                                   "\" (click, spinner, select, doubleclick, combo, type, focus)");
    }
    if (!done)
        Refused(error);
    m_ip.GetMessageLoop().DeliverPosted();
}

HostWindow* RolloutDesk::WorldRollout(const char* title) {
    Rollout* rollout = nullptr;
    for (int i = 0; i < m_ip.GetRollouts().Count() && !rollout; ++i) {
        Rollout* r = m_ip.GetRollouts().Get(i);
        const auto owner = dynamic_cast<Animatable*>(r->Owner());
        if (ToUtf8(r->Title()) == title &&
            std::find(m_worldSet.begin(), m_worldSet.end(), owner) != m_worldSet.end())
            rollout = r;
    }
    if (!rollout)
        throw StudioError(409, std::string("the world's rollout \"") + title + "\" is not open");
    return rollout->Window();
}

bool RolloutDesk::PressWorldButton(int request) {
    if (!m_world || request < 0 || request > 4)
        return false;
    DialogScript script(m_ip);
    std::string error;
    if (!script.Click(WorldRollout(kWorldTitle), kModeButtons[request], &error))
        Refused(error);
    m_ip.GetMessageLoop().DeliverPosted();
    return true;
}

void RolloutDesk::Bake(INode& node) {
    Open(node);
    DialogScript script(m_ip);
    for (int i = 0; i < m_ip.GetRollouts().Count(); ++i) {
        Rollout* r = m_ip.GetRollouts().Get(i);
        const auto owner = dynamic_cast<Animatable*>(r->Owner());
        if (ToUtf8(r->Title()) != kAnimationTitle ||
            std::find(m_nodeSet.begin(), m_nodeSet.end(), owner) == m_nodeSet.end())
            continue;
        std::string error;
        if (!script.Click(r->Window(), kBakeButton, &error))
            Refused(error);
        m_ip.GetMessageLoop().DeliverPosted();
        return;
    }
    throw StudioError(422, "\"" + ToUtf8(node.GetName()) + "\" has no rigid modifier to bake");
}

bool RolloutDesk::WorldButtonChecked(int request) {
    if (!m_world || request < 0 || request > 4)
        return false;
    return DialogScript(m_ip).Read(WorldRollout(kWorldTitle), kModeButtons[request]).checked;
}

void RolloutDesk::PickIntoList(const std::string& list, INode& node) {
    if (!m_world)
        throw StudioError(409, "the scene has no world object");
    const bool simulation = list == "NodesList";
    DialogScript script(m_ip);
    HWND window = WorldRollout(simulation ? "Simulation Objects" : "Supporting Objects");
    std::string error;
    if (!script.Click(window, simulation ? kSimulationPick : kForcePick, &error))
        Refused(error);
    m_ip.GetMessageLoop().DeliverPosted();
    const bool picked = m_ip.PickAt(&node);
    if (m_ip.GetCurPickMode())
        m_ip.RightClickPick();
    m_ip.GetMessageLoop().DeliverPosted();
    if (!picked)
        throw StudioError(422, "the list \"" + list + "\" does not take \"" +
                                   ToUtf8(node.GetName()) + "\"");
}

} // namespace Quarix::Studio
