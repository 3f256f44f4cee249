#pragma once
// The host interface: the one object that owns the scene (nodes, settings, selection), the class
// directory, the loaded modules, the undo recorder and the message loop. Plug-ins reach it
// through GetCOREInterface().

#include "host/ClassDesc2.h"
#include "host/Hold.h"
#include "host/INode.h"
#include "host/Module.h"
#include "host/Notify.h"
#include "host/Rollout.h"
#include "host/Viewport.h"
#include "host/Win32.h"

#include <memory>
#include <string>
#include <vector>

class PickNodeCallback;

/// Redraw flags of RedrawViews.
inline constexpr DWORD REDRAW_BEGIN = 1u << 0;
inline constexpr DWORD REDRAW_INTERACTIVE = 1u << 1;
inline constexpr DWORD REDRAW_END = 1u << 2;
inline constexpr DWORD REDRAW_NORMAL = 1u << 3;

/// Unit types of the system unit and GetMasterScale.
inline constexpr int UNITS_INCHES = 0;
inline constexpr int UNITS_FEET = 1;
inline constexpr int UNITS_MILES = 2;
inline constexpr int UNITS_MILLIMETERS = 3;
inline constexpr int UNITS_CENTIMETERS = 4;
inline constexpr int UNITS_METERS = 5;
inline constexpr int UNITS_KILOMETERS = 6;

/// Filter of PickNode: which nodes a pick mode accepts.
class PickNodeCallback {
public:
    virtual ~PickNodeCallback() = default;
    virtual BOOL Filter(INode* node) = 0;
};

/// An interactive pick mode (SetPickMode). The headless host delivers picks through
/// Interface::PickAt and Interface::RightClickPick.
class PickModeCallback {
public:
    virtual ~PickModeCallback() = default;
    /// Whether something pickable is under the cursor (use Interface::PickNode).
    virtual BOOL HitTest(Interface* ip, HWND hWnd, ViewExp* vpt, IPoint2 m, int flags) = 0;
    /// A click on a hit; answer TRUE to end the mode.
    virtual BOOL Pick(Interface* ip, ViewExp* vpt) = 0;
    /// A right click; answer TRUE to end the mode.
    virtual BOOL RightClick(Interface* ip, ViewExp* vpt) {
        (void)ip;
        (void)vpt;
        return FALSE;
    }
    virtual void EnterMode(Interface* ip) { (void)ip; }
    virtual void ExitMode(Interface* ip) { (void)ip; }
    virtual PickNodeCallback* GetFilter() { return nullptr; }
};

/// The host. One instance exists per process (GetCOREInterface). Times are ticks.
class Interface {
public:
    Interface();
    ~Interface();
    Interface(const Interface&) = delete;
    Interface& operator=(const Interface&) = delete;

    // --- time -------------------------------------------------------------------------------
    /// The time slider position.
    TimeValue GetTime() const { return m_time; }
    /// Moves the time slider; with redraw the viewports re-evaluate every visible node.
    void SetTime(TimeValue t, BOOL redraw = TRUE);
    Interval GetAnimRange() const { return m_animRange; }
    void SetAnimRange(Interval range) { m_animRange = range; }
    /// Frames per second (a scene setting, 30 by default).
    int GetFrameRate() const { return m_frameRate; }
    /// Sets the frame rate; refused (false) unless it is 1..TIME_TICKSPERSEC.
    bool SetFrameRate(int fps);

    // --- units ------------------------------------------------------------------------------
    /// The system unit: a unit type and how many of them one scene unit is.
    void GetSystemUnitInfo(int* type, float* scale) const;
    /// Refused (false) for an unknown type or a scale that is not positive and finite.
    bool SetSystemUnitInfo(int type, float scale);
    /// How many units of `type` one scene unit is (centimetres for UNITS_CENTIMETERS); 0 for an
    /// unknown type.
    double GetMasterScale(int type) const;

    // --- redraw -----------------------------------------------------------------------------
    /// Re-evaluates every visible node at t (what the viewports would show); counts redraws.
    void RedrawViews(TimeValue t, DWORD vpFlags = REDRAW_NORMAL, ReferenceTarget* change = nullptr);
    /// RedrawViews at the current time.
    void ForceCompleteRedraw(BOOL doDisabled = TRUE);
    int RedrawCount() const { return m_redraws; }

    // --- nodes ------------------------------------------------------------------------------
    INode* GetRootNode() const { return m_root.get(); }
    /// A new node under the root referencing `obj` (may be null), named after the object's class
    /// with a running number ("Box001"). Inside an undo record, undo takes it out of the scene.
    INode* CreateObjectNode(Object* obj);
    /// Deletes a node: NOTIFY_SCENE_PRE_DELETED_NODE is broadcast, its children move to its
    /// parent keeping their world transforms, its dependents see REFMSG_TARGET_DELETED and lose
    /// their references to it. Inside an undo record the node is kept by the record (undo puts
    /// it back with its parent, children, selection and the references it lost); otherwise it
    /// is freed at once.
    void DeleteNode(INode* node, BOOL redraw = TRUE, BOOL overrideSlaves = FALSE);
    /// The node with this handle (null for 0 or an unknown handle).
    INode* GetINodeByHandle(ULONG handle) const;
    /// The first node with this name, or null.
    INode* GetINodeByName(const MCHAR* name) const;
    /// Every node except the root, in creation order.
    std::vector<INode*> AllNodes() const;
    /// Whether the node is the root or one of the scene's nodes (false for a deleted node kept
    /// by an undo record, and for any other pointer).
    bool IsInScene(const INode* node) const;

    // --- selection --------------------------------------------------------------------------
    int GetSelNodeCount() const { return static_cast<int>(m_selection.size()); }
    INode* GetSelNode(int i) const;
    /// Selects a node, first clearing the selection when clearSel is non-zero. Selection changes
    /// made inside an undo record are undone with it.
    void SelectNode(INode* node, int clearSel = 1);
    void DeSelectNode(INode* node);
    void ClearNodeSelection(BOOL redraw = TRUE);
    bool IsNodeSelected(const INode* node) const;

    // --- objects ----------------------------------------------------------------------------
    /// A new instance of a registered class, or null.
    void* CreateInstance(SClass_ID sclass, Class_ID cid);
    ClassDirectory& GetClassDirectory() { return m_classes; }
    ModuleRegistry& GetModules() { return *m_modules; }

    // --- animate mode -----------------------------------------------------------------------
    void SetAnimateMode(bool on) { m_animate = on; }
    bool InAnimateMode() const { return m_animate; }
    void SuspendAnimate() { ++m_animateSuspend; }
    void ResumeAnimate();
    bool Animating() const { return m_animate && m_animateSuspend == 0; }

    // --- picking and prompts ----------------------------------------------------------------
    /// Makes `mode` the active pick mode (EnterMode is called; a previous mode gets ExitMode).
    void SetPickMode(PickModeCallback* mode);
    /// Ends the active pick mode (ExitMode).
    void ClearPickMode();
    PickModeCallback* GetCurPickMode() const { return m_pickMode; }
    /// The node under the cursor that passes the filter: the node PickAt offers, or null.
    INode* PickNode(HWND hWnd, IPoint2 pt, PickNodeCallback* filt = nullptr);
    /// Delivers a click on `node` to the active pick mode (HitTest, then Pick). Returns whether
    /// the mode took the pick.
    bool PickAt(INode* node);
    /// Delivers a right click to the active pick mode.
    void RightClickPick();
    void PushPrompt(const MCHAR* text);
    void PopPrompt();
    /// The prompt shown in the status line (empty when none).
    MSTR GetPrompt() const;

    // --- keyboard accelerators (suspended while a text field has the focus) -----------------
    void DisableAccelerators() { m_accelerators = false; }
    void EnableAccelerators() { m_accelerators = true; }
    bool GetAcceleratorsEnabled() const { return m_accelerators; }

    // --- message loop and undo --------------------------------------------------------------
    MessageLoop& GetMessageLoop() { return m_loop; }
    /// The open rollouts (ClassDesc2::BeginEditParams opens them).
    RolloutList& GetRollouts() { return *m_rollouts; }
    Hold& GetHold() { return m_hold; }
    /// Broadcast notifications (Notify.h); registrations survive ResetScene.
    NotificationRegistry& GetNotifications() { return m_notifications; }

    /// Empties the scene and restores every scene setting (time 0, 30 fps, inches, animate off,
    /// no timers, no undo records). Classes, modules and notification registrations stay.
    /// Broadcasts NOTIFY_SYSTEM_PRE_RESET before and NOTIFY_SYSTEM_POST_RESET after, so that
    /// modules can drop state that belongs to the old scene (a new scene then simulates exactly as
    /// in a fresh process).
    void ResetScene();

private:
    friend class SceneReader;
    friend class SceneWriter;
    friend class NodeLifeRestore;
    friend class SelectionRestore;

    /// Takes a node out of the scene (no longer listed, selected or linked) and hands it over.
    std::unique_ptr<INode> ParkNode(INode* node);
    /// Puts a parked node back at position `index` of the node list (or at the end).
    void UnparkNode(std::unique_ptr<INode> node, size_t index);
    /// Records the selection as it is now, when an undo record is open.
    void HoldSelection();
    /// Records the creation of a node, when an undo record is open.
    void HoldNodeCreation(INode* node);
    /// Deletion inside an undo record: the record keeps the node.
    void DeleteNodeUndoably(INode* node);

    ULONG NextHandle() { return m_nextHandle++; }
    void AdoptNode(std::unique_ptr<INode> node);

    TimeValue m_time = 0;
    Interval m_animRange;
    int m_frameRate = 30;
    int m_unitType = UNITS_INCHES;
    float m_unitScale = 1.0f;
    int m_redraws = 0;
    bool m_animate = false;
    int m_animateSuspend = 0;

    ClassDirectory m_classes;
    std::unique_ptr<ModuleRegistry> m_modules;
    std::unique_ptr<INode> m_root;
    std::vector<std::unique_ptr<INode>> m_nodes;
    ULONG m_nextHandle = 1;
    std::vector<INode*> m_selection;
    std::map<MSTR, int> m_nameCounters;

    bool m_accelerators = true;
    PickModeCallback* m_pickMode = nullptr;
    INode* m_pickCandidate = nullptr;
    std::vector<MSTR> m_prompts;

    MessageLoop m_loop;
    std::unique_ptr<RolloutList> m_rollouts;
    NotificationRegistry m_notifications;
    Hold m_hold;
};

/// The host interface of this process.
Interface* GetCOREInterface();

/// Ticks per frame at the scene's frame rate (TIME_TICKSPERSEC / frame rate; 160 at 30 fps).
int GetTicksPerFrame();
/// Frames per second of the scene.
int GetFrameRate();
/// How many units of `type` one scene unit is (see Interface::GetMasterScale).
double GetMasterScale(int type);

/// Interface colours by index (components 0..1).
inline constexpr int COLOR_SELECTION = 0;
inline constexpr int COLOR_SUBSELECTION = 1;
inline constexpr int COLOR_FREEZE = 2;
inline constexpr int COLOR_GIZMOS = 3;
/// An interface colour; white for the selection, grey for unknown indices.
Point3 GetUIColor(int which);
