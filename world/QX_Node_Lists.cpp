#include "world/QX_Node_Lists.h"

#include "modifier/QX_RIGID_MOD.h"
#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_Params.h"
#include "world/QX_World_Forces.h"

#include "host/Window.h"

#include <algorithm>
#include <vector>

namespace Quarix {

namespace {

const QX_Node_List_Ids kSimulationIds{WorldParam::NodesList, WorldParam::PickBtn, 2033,
                                      _T("Add Nodes")};
const QX_Node_List_Ids kForceIds{WorldParam::ForcesList, WorldParam::SupportPickBtn, 1037,
                                 _T("Add Forces")};

bool Contains(const std::vector<INode*>& nodes, INode* node) {
    return std::find(nodes.begin(), nodes.end(), node) != nodes.end();
}

/// The non-empty entries of a list at t, each node once, in list order.
std::vector<INode*> ListedNodes(IParamBlock2& pb, ParamID list, TimeValue t,
                                bool* anyEmpty = nullptr) {
    std::vector<INode*> nodes;
    for (int i = 0; i < pb.Count(list); ++i) {
        INode* node = pb.GetINode(list, t, i);
        if (!node) {
            if (anyEmpty)
                *anyEmpty = true;
        } else if (!Contains(nodes, node)) {
            nodes.push_back(node);
        }
    }
    return nodes;
}

void ReplaceList(IParamBlock2& pb, ParamID list, std::vector<INode*> nodes) {
    pb.Delete(list, 0, pb.Count(list));
    if (!nodes.empty())
        pb.Append(list, static_cast<int>(nodes.size()), nodes.data());
}

/// Refills a list box with the names of the list's non-empty entries, in list order.
void FillListBox(HWND rollout, int listBox, IParamBlock2& pb, ParamID list, TimeValue t) {
    if (!rollout)
        return;
    SendDlgItemMessage(rollout, listBox, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < pb.Count(list); ++i) {
        if (INode* node = pb.GetINode(list, t, i))
            SendDlgItemMessage(rollout, listBox, LB_ADDSTRING, 0,
                               reinterpret_cast<LPARAM>(node->GetName()));
    }
}

std::vector<int> SelectedItems(HWND rollout, int listBox) {
    const LRESULT count = SendDlgItemMessage(rollout, listBox, LB_GETSELCOUNT, 0, 0);
    if (count <= 0)
        return {};
    std::vector<int> items(static_cast<size_t>(count));
    const LRESULT n = SendDlgItemMessage(rollout, listBox, LB_GETSELITEMS, items.size(),
                                         reinterpret_cast<LPARAM>(items.data()));
    items.resize(static_cast<size_t>(std::max<LRESULT>(n, 0)));
    return items;
}

IParamBlock2* ParamsOf(QX_BULLET_OBJ* world) {
    return world ? world->Params() : nullptr;
}

/// A world's node or the whole scene is going: the pick modes let go of the world first.
void OnSceneLifetime(void*, NotifyInfo* info) {
    for (QX_Node_List which : {QX_Node_List::Simulation, QX_Node_List::Forces}) {
        QX_BULLET_OBJ* world = PickModeFor(which).world;
        if (!world)
            continue;
        if (info->intcode == NOTIFY_SCENE_PRE_DELETED_NODE) {
            auto* node = static_cast<INode*>(info->callParam);
            Object* obj = node ? node->GetObjectRef() : nullptr;
            if (!obj || (obj != world && obj->FindBaseObject() != world))
                continue;
        }
        ForgetPickWorld(world);
    }
}

} // namespace

const QX_Node_List_Ids& NodeListIds(QX_Node_List which) {
    return which == QX_Node_List::Simulation ? kSimulationIds : kForceIds;
}

bool IsForceNode(INode* node) {
    Object* obj = node ? node->GetObjectRef() : nullptr;
    if (!obj)
        return false;
    if (IsSupportNode(node))
        return true;
    if (ForceField* field = GetNodeForceField(node)) {
        field->DeleteThis();
        return true;
    }
    return IsBlastObject(obj);
}

void RefreshSimulationList(QX_BULLET_OBJ* world, HWND rollout) {
    IParamBlock2* pb = ParamsOf(world);
    if (!pb)
        return;
    bool anyEmpty = false;
    std::vector<INode*> nodes = ListedNodes(*pb, WorldParam::NodesList, 0, &anyEmpty);
    if (anyEmpty)
        ReplaceList(*pb, WorldParam::NodesList, std::move(nodes));
    FillListBox(rollout, kSimulationIds.listBox, *pb, WorldParam::NodesList, 0);
}

void RefreshForceList(QX_BULLET_OBJ* world, HWND rollout) {
    IParamBlock2* pb = ParamsOf(world);
    if (!pb)
        return;
    const TimeValue now = GetCOREInterface()->GetTime();
    std::vector<INode*> kept;
    for (INode* node : ListedNodes(*pb, WorldParam::ForcesList, now)) {
        if (IsForceNode(node))
            kept.push_back(node);
    }
    ReplaceList(*pb, WorldParam::ForcesList, std::move(kept));
    FillListBox(rollout, kForceIds.listBox, *pb, WorldParam::ForcesList, now);
}

void RefreshNodeList(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout) {
    if (which == QX_Node_List::Simulation)
        RefreshSimulationList(world, rollout);
    else
        RefreshForceList(world, rollout);
}

// --- pick modes --------------------------------------------------------------------------------

BOOL QX_List_Pick::HitTest(Interface* ip, HWND hWnd, ViewExp*, IPoint2 m, int) {
    return ip->PickNode(hWnd, m, GetFilter()) ? TRUE : FALSE;
}

BOOL QX_List_Pick::RightClick(Interface*, ViewExp*) {
    return TRUE;
}

void QX_List_Pick::EnterMode(Interface* ip) {
    ip->PushPrompt(_T("pick"));
}

void QX_List_Pick::ExitMode(Interface* ip) {
    // Releases the rollout's "Pick" button.
    if (IParamBlock2* pb = ParamsOf(world))
        pb->SetValue(NodeListIds(m_which).pickBtn, 0, 0);
    ip->PopPrompt();
}

BOOL QX_Bullet_ObjPick::Pick(Interface* ip, ViewExp*) {
    IParamBlock2* pb = ParamsOf(world);
    INode* node = pb ? ip->PickNode(nullptr, IPoint2{}, GetFilter()) : nullptr;
    if (!node)
        return TRUE;
    theHold.Begin();
    QX_RIGID_MOD::AttachRigidModifier(node);
    if (QX_RIGID_MOD::FindRigidModifier(node) &&
        !Contains(ListedNodes(*pb, WorldParam::NodesList, 0), node)) {
        pb->Append(WorldParam::NodesList, 1, &node);
        RefreshSimulationList(world, rollout);
    }
    theHold.Accept(kSimulationIds.undoName);
    return FALSE;
}

BOOL QX_Bullet_ForcePick::Pick(Interface* ip, ViewExp*) {
    IParamBlock2* pb = ParamsOf(world);
    INode* node = pb ? ip->PickNode(nullptr, IPoint2{}, GetFilter()) : nullptr;
    if (!node)
        return TRUE;
    theHold.Begin();
    if (!Contains(ListedNodes(*pb, WorldParam::ForcesList, ip->GetTime()), node))
        pb->Append(WorldParam::ForcesList, 1, &node);
    RefreshForceList(world, rollout);
    theHold.Accept(kForceIds.undoName);
    return FALSE;
}

QX_List_Pick& PickModeFor(QX_Node_List which) {
    static QX_Bullet_ObjPick objPick;
    static QX_Bullet_ForcePick forcePick;
    if (which == QX_Node_List::Simulation)
        return objPick;
    return forcePick;
}

void BeginListPick(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout) {
    for (int code : {NOTIFY_SYSTEM_PRE_RESET, NOTIFY_FILE_PRE_OPEN, NOTIFY_SCENE_PRE_DELETED_NODE})
        RegisterNotification(OnSceneLifetime, nullptr, code);
    QX_List_Pick& mode = PickModeFor(which);
    Interface* ip = GetCOREInterface();
    // A new world for a mode already running: end the old run first so its world's button is
    // released.
    if (ip->GetCurPickMode() == &mode && mode.world != world)
        ip->ClearPickMode();
    mode.world = world;
    mode.rollout = rollout;
    ip->SetPickMode(&mode);
    if (which == QX_Node_List::Simulation)
        RefreshSimulationList(world, rollout);
}

void ForgetPickWorld(QX_BULLET_OBJ* world) {
    if (!world)
        return;
    Interface* ip = GetCOREInterface();
    for (QX_Node_List which : {QX_Node_List::Simulation, QX_Node_List::Forces}) {
        QX_List_Pick& mode = PickModeFor(which);
        if (mode.world != world)
            continue;
        if (ip->GetCurPickMode() == &mode)
            ip->ClearPickMode();
        mode.world = nullptr;
        mode.rollout = nullptr;
    }
}

// --- buttons -----------------------------------------------------------------------------------

void AddSelectedNodes(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout) {
    IParamBlock2* pb = ParamsOf(world);
    if (!pb)
        return;
    const QX_Node_List_Ids& ids = NodeListIds(which);
    Interface* ip = GetCOREInterface();
    const TimeValue t = which == QX_Node_List::Simulation ? 0 : ip->GetTime();
    std::vector<INode*> nodes = ListedNodes(*pb, ids.list, t);
    INode* first = ip->GetSelNode(0);
    std::vector<INode*> selection;
    for (int i = 0; i < ip->GetSelNodeCount(); ++i)
        selection.push_back(ip->GetSelNode(i));

    // The list change belongs to the record too: undoing "Add Nodes" gives back the list, the
    // objects' stacks and the selection as they were.
    theHold.Begin();
    for (INode* node : selection) {
        bool qualifies = false;
        if (which == QX_Node_List::Simulation) {
            QX_RIGID_MOD::AttachRigidModifier(node);
            qualifies = QX_RIGID_MOD::FindRigidModifier(node) != nullptr;
        } else {
            qualifies = IsForceNode(node);
        }
        if (qualifies && !Contains(nodes, node))
            nodes.push_back(node);
    }
    ReplaceList(*pb, ids.list, std::move(nodes));
    FillListBox(rollout, ids.listBox, *pb, ids.list, t);
    ip->SelectNode(first, 1);
    theHold.Accept(ids.undoName);
}

void RemoveSelectedItems(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout) {
    IParamBlock2* pb = ParamsOf(world);
    if (!pb)
        return;
    const QX_Node_List_Ids& ids = NodeListIds(which);
    const TimeValue t = which == QX_Node_List::Simulation ? 0 : GetCOREInterface()->GetTime();
    const std::vector<int> selected = SelectedItems(rollout, ids.listBox);
    std::vector<INode*> kept;
    for (int i = 0; i < pb->Count(ids.list); ++i) {
        INode* node = pb->GetINode(ids.list, t, i);
        const bool remove = std::find(selected.begin(), selected.end(), i) != selected.end();
        if (node && !remove && !Contains(kept, node))
            kept.push_back(node);
    }
    ReplaceList(*pb, ids.list, std::move(kept));
    FillListBox(rollout, ids.listBox, *pb, ids.list, t);
}

void SelectAllItems(QX_Node_List which, HWND rollout) {
    SendDlgItemMessage(rollout, NodeListIds(which).listBox, LB_SETSEL, TRUE, -1);
}

void InvertItems(QX_Node_List which, HWND rollout) {
    const int listBox = NodeListIds(which).listBox;
    const std::vector<int> selected = SelectedItems(rollout, listBox);
    SendDlgItemMessage(rollout, listBox, LB_SETSEL, TRUE, -1);
    for (int item : selected)
        SendDlgItemMessage(rollout, listBox, LB_SETSEL, FALSE, item);
}

void SelectListedNode(QX_BULLET_OBJ* world, HWND rollout) {
    IParamBlock2* pb = ParamsOf(world);
    const std::vector<int> selected = SelectedItems(rollout, kSimulationIds.listBox);
    if (!pb || selected.empty() || selected.front() >= pb->Count(WorldParam::NodesList))
        return;
    if (INode* node = pb->GetINode(WorldParam::NodesList, 0, selected.front()))
        GetCOREInterface()->SelectNode(node, 1);
}

} // namespace Quarix
