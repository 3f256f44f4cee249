#include "host/Interface.h"

#include "host/Primitives.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Centimetres in one unit of each unit type (UNITS_INCHES .. UNITS_KILOMETERS).
constexpr double kCentimetresPerUnit[] = {2.54, 30.48, 160934.4, 0.1, 1.0, 100.0, 100000.0};
constexpr int kUnitTypes = static_cast<int>(std::size(kCentimetresPerUnit));

} // namespace

Interface::Interface()
    : m_animRange(0, 100 * (TIME_TICKSPERSEC / 30)),
      m_modules(std::make_unique<ModuleRegistry>(m_classes)), m_root(std::make_unique<INode>()),
      m_rollouts(std::make_unique<RolloutList>()) {
    m_root->m_isRoot = true;
    m_root->SetName(_T("Scene Root"));
    RegisterHostClasses(m_classes);
}

Interface::~Interface() {
    // Rollouts first: their procedures may still refer to the objects being edited.
    m_rollouts->CloseAll();
    // Nodes go first (children before parents does not matter: links are plain pointers that
    // each destructor unhooks), then the root.
    m_selection.clear();
    m_nodes.clear();
    m_root.reset();
}

void Interface::SetTime(TimeValue t, BOOL redraw) {
    m_time = t;
    m_rollouts->TimeChanged();
    if (redraw)
        RedrawViews(t);
}

bool Interface::SetFrameRate(int fps) {
    if (fps < 1 || fps > TIME_TICKSPERSEC)
        return false;
    m_frameRate = fps;
    return true;
}

void Interface::GetSystemUnitInfo(int* type, float* scale) const {
    if (type)
        *type = m_unitType;
    if (scale)
        *scale = m_unitScale;
}

bool Interface::SetSystemUnitInfo(int type, float scale) {
    if (type < 0 || type >= kUnitTypes || !std::isfinite(scale) || scale <= 0.0f)
        return false;
    m_unitType = type;
    m_unitScale = scale;
    return true;
}

double Interface::GetMasterScale(int type) const {
    if (type < 0 || type >= kUnitTypes)
        return 0.0;
    double centimetres = kCentimetresPerUnit[m_unitType] * static_cast<double>(m_unitScale);
    return centimetres / kCentimetresPerUnit[type];
}

void Interface::RedrawViews(TimeValue t, DWORD, ReferenceTarget*) {
    for (const auto& node : m_nodes) {
        if (!node->IsHidden())
            node->EvalWorldState(t);
    }
    ++m_redraws;
}

void Interface::ForceCompleteRedraw(BOOL) {
    RedrawViews(m_time);
}

void Interface::AdoptNode(std::unique_ptr<INode> node) {
    m_nodes.push_back(std::move(node));
}

INode* Interface::CreateObjectNode(Object* obj) {
    auto node = std::make_unique<INode>();
    node->m_handle = NextHandle();
    MSTR base = _T("Object");
    if (obj) {
        MSTR name = obj->GetObjectName();
        if (!name.empty())
            base = name;
    }
    int number = ++m_nameCounters[base];
    wchar_t suffix[16];
    std::swprintf(suffix, 16, L"%03d", number);
    node->m_name = base + suffix;
    node->LinkParent(m_root.get());
    if (obj)
        node->ReplaceReference(1, obj);
    INode* raw = node.get();
    AdoptNode(std::move(node));
    HoldNodeCreation(raw);
    return raw;
}

void Interface::DeleteNode(INode* node, BOOL redraw, BOOL) {
    if (!node || node == m_root.get() || !IsInScene(node))
        return;
    if (m_hold.Holding()) {
        DeleteNodeUndoably(node);
        if (redraw)
            RedrawViews(m_time);
        return;
    }
    BroadcastNotification(NOTIFY_SCENE_PRE_DELETED_NODE, node);
    // A handler may have deleted the node itself.
    auto it = std::find_if(m_nodes.begin(), m_nodes.end(),
                           [&](const auto& owned) { return owned.get() == node; });
    if (it == m_nodes.end())
        return;
    INode* parent = node->m_parent ? node->m_parent : m_root.get();
    std::vector<INode*> children = node->m_children;
    for (INode* child : children) {
        Matrix3 world = child->GetNodeTM(m_time);
        child->LinkParent(parent);
        SuspendAnimate();
        child->SetNodeTM(m_time, world);
        ResumeAnimate();
    }
    DeSelectNode(node);
    if (m_pickCandidate == node)
        m_pickCandidate = nullptr;
    // Tell the dependents (parameter blocks listing the node ...) and clear their references
    // before the node goes.
    node->NotifyDependents(FOREVER, PART_ALL, REFMSG_TARGET_DELETED, NOTIFY_ALL, FALSE);
    it = std::find_if(m_nodes.begin(), m_nodes.end(),
                      [&](const auto& owned) { return owned.get() == node; });
    std::unique_ptr<INode> owned = std::move(*it);
    m_nodes.erase(it);
    owned.reset();
    if (redraw)
        RedrawViews(m_time);
}

INode* Interface::GetINodeByHandle(ULONG handle) const {
    if (handle == 0)
        return nullptr;
    // Nodes are kept in creation order and handles grow with creation, so the list is sorted by
    // handle (plug-ins ask for every simulated node at every tick). A hand-made file may break
    // the order: the walk below still finds the node then.
    size_t lo = 0;
    size_t hi = m_nodes.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const ULONG h = m_nodes[mid]->m_handle;
        if (h == handle)
            return m_nodes[mid].get();
        if (h < handle)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (const auto& node : m_nodes) {
        if (node->m_handle == handle)
            return node.get();
    }
    return nullptr;
}

INode* Interface::GetINodeByName(const MCHAR* name) const {
    if (!name)
        return nullptr;
    for (const auto& node : m_nodes) {
        if (node->m_name == name)
            return node.get();
    }
    return nullptr;
}

std::vector<INode*> Interface::AllNodes() const {
    std::vector<INode*> nodes;
    for (const auto& node : m_nodes)
        nodes.push_back(node.get());
    return nodes;
}

INode* Interface::GetSelNode(int i) const {
    return i >= 0 && i < GetSelNodeCount() ? m_selection[static_cast<size_t>(i)] : nullptr;
}

void Interface::SelectNode(INode* node, int clearSel) {
    // Record only real changes: a new node, or other nodes that the clearing drops.
    const bool valid = node && !node->m_isRoot;
    const bool wasSelected = valid && IsNodeSelected(node);
    bool changes = valid && !wasSelected;
    if (clearSel)
        changes = changes || m_selection.size() > (wasSelected ? 1u : 0u);
    if (changes)
        HoldSelection();
    if (clearSel)
        m_selection.clear();
    if (node && !node->m_isRoot && !IsNodeSelected(node))
        m_selection.push_back(node);
}

void Interface::DeSelectNode(INode* node) {
    if (IsNodeSelected(node))
        HoldSelection();
    m_selection.erase(std::remove(m_selection.begin(), m_selection.end(), node), m_selection.end());
}

void Interface::ClearNodeSelection(BOOL) {
    if (!m_selection.empty())
        HoldSelection();
    m_selection.clear();
}

bool Interface::IsNodeSelected(const INode* node) const {
    return std::find(m_selection.begin(), m_selection.end(), node) != m_selection.end();
}

void* Interface::CreateInstance(SClass_ID sclass, Class_ID cid) {
    return m_classes.CreateInstance(sclass, cid);
}

void Interface::ResumeAnimate() {
    if (m_animateSuspend > 0)
        --m_animateSuspend;
}

void Interface::SetPickMode(PickModeCallback* mode) {
    if (m_pickMode == mode)
        return;
    ClearPickMode();
    m_pickMode = mode;
    if (m_pickMode)
        m_pickMode->EnterMode(this);
}

void Interface::ClearPickMode() {
    PickModeCallback* mode = m_pickMode;
    m_pickMode = nullptr;
    if (mode)
        mode->ExitMode(this);
}

INode* Interface::PickNode(HWND, IPoint2, PickNodeCallback* filt) {
    if (!m_pickCandidate)
        return nullptr;
    if (filt && !filt->Filter(m_pickCandidate))
        return nullptr;
    return m_pickCandidate;
}

bool Interface::PickAt(INode* node) {
    if (!m_pickMode)
        return false;
    m_pickCandidate = node;
    bool taken = false;
    if (m_pickMode->HitTest(this, nullptr, nullptr, IPoint2{}, 0)) {
        taken = true;
        if (m_pickMode->Pick(this, nullptr))
            ClearPickMode();
    }
    m_pickCandidate = nullptr;
    return taken;
}

void Interface::RightClickPick() {
    if (m_pickMode && m_pickMode->RightClick(this, nullptr))
        ClearPickMode();
}

void Interface::PushPrompt(const MCHAR* text) {
    m_prompts.push_back(text ? text : _T(""));
}

void Interface::PopPrompt() {
    if (!m_prompts.empty())
        m_prompts.pop_back();
}

MSTR Interface::GetPrompt() const {
    return m_prompts.empty() ? MSTR() : m_prompts.back();
}

void Interface::ResetScene() {
    m_notifications.Broadcast(NOTIFY_SYSTEM_PRE_RESET);
    ClearPickMode();
    m_prompts.clear();
    m_rollouts->CloseAll();
    m_loop.Clear();
    m_hold.Clear();
    m_selection.clear();
    // Delete children before parents so that no node is re-parented on the way out.
    while (!m_nodes.empty())
        DeleteNode(m_nodes.back().get(), FALSE);
    m_nextHandle = 1;
    m_nameCounters.clear();
    m_time = 0;
    m_frameRate = 30;
    m_animRange = Interval(0, 100 * GetTicksPerFrame());
    m_unitType = UNITS_INCHES;
    m_unitScale = 1.0f;
    m_animate = false;
    m_animateSuspend = 0;
    m_redraws = 0;
    m_accelerators = true;
    m_notifications.Broadcast(NOTIFY_SYSTEM_POST_RESET);
}

Interface* GetCOREInterface() {
    static Interface host;
    return &host;
}

int GetTicksPerFrame() {
    return TIME_TICKSPERSEC / GetCOREInterface()->GetFrameRate();
}

int GetFrameRate() {
    return GetCOREInterface()->GetFrameRate();
}

double GetMasterScale(int type) {
    return GetCOREInterface()->GetMasterScale(type);
}

Point3 GetUIColor(int which) {
    switch (which) {
    case COLOR_SELECTION:
        return Point3(1.0f, 1.0f, 1.0f);
    case COLOR_SUBSELECTION:
        return Point3(1.0f, 0.0f, 0.0f);
    case COLOR_FREEZE:
        return Point3(0.5f, 0.5f, 0.5f);
    case COLOR_GIZMOS:
        return Point3(1.0f, 1.0f, 0.0f);
    default:
        return Point3(0.6f, 0.6f, 0.6f);
    }
}

void AnimateOn() {
    GetCOREInterface()->SetAnimateMode(true);
}

void AnimateOff() {
    GetCOREInterface()->SetAnimateMode(false);
}

BOOL Animating() {
    return GetCOREInterface()->Animating() ? TRUE : FALSE;
}

void SuspendAnimate() {
    GetCOREInterface()->SuspendAnimate();
}

void ResumeAnimate() {
    GetCOREInterface()->ResumeAnimate();
}
