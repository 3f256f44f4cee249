#pragma once
// The world's two node lists: the simulation list ("NodesList", the nodes it simulates, each
// carrying the rigid modifier) and the force list ("ForcesList", force fields, blast objects and
// supporting geometry). Both are edited through their rollout's buttons and list box: a pick
// mode, "Add.." from the scene selection, "Remove", "All", "Invert", and a double click that
// selects a listed node in the scene.

#include "host/Interface.h"
#include "host/ParamBlock2.h"

namespace Quarix {

class QX_BULLET_OBJ;

/// Which of the world's two lists.
enum class QX_Node_List { Simulation, Forces };

/// Parameters and controls of one list.
struct QX_Node_List_Ids {
    ParamID list;    ///< the node table
    ParamID pickBtn; ///< the "Pick" switch
    int listBox;     ///< the rollout's list box
    const MCHAR* undoName;
};
/// The ids of `which`.
const QX_Node_List_Ids& NodeListIds(QX_Node_List which);

/// The force filter: supporting geometry, a node whose object yields a force field, or a blast
/// object. False for null and for a node without object.
bool IsForceNode(INode* node);

/// Drops empty entries of the simulation list (and with them repeated nodes) and refills the
/// rollout's list box (`rollout` may be null: the list alone is normalised). Null world: nothing.
void RefreshSimulationList(QX_BULLET_OBJ* world, HWND rollout);
/// Keeps the force-list nodes that still pass IsForceNode, each once, and refills the list box.
void RefreshForceList(QX_BULLET_OBJ* world, HWND rollout);
/// RefreshSimulationList or RefreshForceList.
void RefreshNodeList(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout);

/// A pick mode of one list, with its node filter embedded. One module-wide instance per list
/// (PickModeFor). It holds the world being edited and the rollout window it refreshes.
class QX_List_Pick : public PickModeCallback {
public:
    explicit QX_List_Pick(QX_Node_List which) : m_which(which), m_filter(*this) {}
    BOOL HitTest(Interface* ip, HWND hWnd, ViewExp* vpt, IPoint2 m, int flags) override;
    BOOL RightClick(Interface* ip, ViewExp* vpt) override;
    void EnterMode(Interface* ip) override;
    void ExitMode(Interface* ip) override;
    PickNodeCallback* GetFilter() override { return &m_filter; }

    /// Whether the filter accepts a node (every node for the simulation list).
    virtual bool Accepts(INode* node) const = 0;

    QX_BULLET_OBJ* world = nullptr;
    HWND rollout = nullptr;

protected:
    QX_Node_List m_which;

private:
    class NodeFilter : public PickNodeCallback {
    public:
        explicit NodeFilter(QX_List_Pick& owner) : m_owner(owner) {}
        BOOL Filter(INode* node) override { return m_owner.Accepts(node) ? TRUE : FALSE; }

    private:
        QX_List_Pick& m_owner;
    };
    NodeFilter m_filter;
};

/// The simulation list's pick mode: a picked node gets the rigid modifier and joins the list.
class QX_Bullet_ObjPick final : public QX_List_Pick {
public:
    QX_Bullet_ObjPick() : QX_List_Pick(QX_Node_List::Simulation) {}
    BOOL Pick(Interface* ip, ViewExp* vpt) override;
    bool Accepts(INode* node) const override { return node != nullptr; }
};

/// The force list's pick mode: only force nodes can be picked.
class QX_Bullet_ForcePick final : public QX_List_Pick {
public:
    QX_Bullet_ForcePick() : QX_List_Pick(QX_Node_List::Forces) {}
    BOOL Pick(Interface* ip, ViewExp* vpt) override;
    bool Accepts(INode* node) const override { return IsForceNode(node); }
};

/// The module's pick mode of a list.
QX_List_Pick& PickModeFor(QX_Node_List which);

/// "Pick" pressed: the list's pick mode takes the world and window and becomes the host's pick
/// mode; the simulation list is refreshed at once.
void BeginListPick(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout);
/// "Add..": adds the selected scene nodes that qualify (the simulation list first puts the rigid
/// modifier on them), refreshes the list box and selects the first selected node alone. The whole
/// edit is one undo record ("Add Nodes" / "Add Forces").
void AddSelectedNodes(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout);
/// "Remove": drops the entries whose list-box items are selected.
void RemoveSelectedItems(QX_Node_List which, QX_BULLET_OBJ* world, HWND rollout);
/// "All": selects every item of the list box.
void SelectAllItems(QX_Node_List which, HWND rollout);
/// "Invert": selects exactly the items that were not selected.
void InvertItems(QX_Node_List which, HWND rollout);
/// Double click on the simulation list box: selects the first selected item's node in the scene.
void SelectListedNode(QX_BULLET_OBJ* world, HWND rollout);

/// Ends the pick modes that edit `world` (its node or the scene is going) and forgets it.
void ForgetPickWorld(QX_BULLET_OBJ* world);

} // namespace Quarix
