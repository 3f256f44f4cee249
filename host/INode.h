#pragma once
// Scene nodes: a named, selectable place in the hierarchy that carries an object (possibly a
// modifier stack), a transform controller, an object offset and an optional visibility track.

#include "host/Control.h"
#include "host/Object.h"
#include "host/Win32.h"

#include <vector>

/// A scene node. Nodes are created and deleted through the Interface, which owns them; the root
/// node has no object and handle 0. References: 0 transform controller, 1 object, 2 visibility
/// controller (may be null).
///
/// Transforms use the row-vector convention with translation in the last row:
///   node TM   = local (controller value) * parent node TM
///   object TM = object offset (scale * rotation * translation) * node TM
class INode : public ReferenceTarget {
public:
    /// A node with a fresh transform controller at the identity; use Interface::CreateObjectNode.
    INode();
    ~INode() override;

    Class_ID ClassID() override { return nodeClassID; }
    SClass_ID SuperClassID() override { return BASENODE_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;

    const MCHAR* GetName() const { return m_name.c_str(); }
    void SetName(const MCHAR* name);
    /// Unique, stable handle (kept in scene files); 0 for the root node.
    ULONG GetHandle() const { return m_handle; }

    INode* GetParentNode() const { return m_parent; }
    bool IsRootNode() const { return m_isRoot; }
    int NumberOfChildren() const { return static_cast<int>(m_children.size()); }
    INode* GetChildNode(int i) const;
    /// Makes `child` a child of this node. With keepTM its world transform at the current time
    /// is kept (its local transform changes); otherwise its local transform is kept.
    void AttachChild(INode* child, int keepTM = 1);
    /// Moves the node under the root (keeping its world transform at t when keepTM).
    void Detach(TimeValue t, int keepTM = 1);

    Object* GetObjectRef() const { return m_object; }
    Object* GetObjOrWSMRef() const { return m_object; }
    /// Sets the node's object (the node references it).
    void SetObjectRef(Object* obj);
    Control* GetTMController() const { return m_tmControl; }
    /// Replaces the transform controller; false for null or a non-matrix controller.
    BOOL SetTMController(Control* control);
    Control* GetVisController() const { return m_visControl; }
    void SetVisController(Control* control);
    /// Visibility at t: the visibility controller's value, 1 without one.
    float GetVisibility(TimeValue t, Interval* valid = nullptr);

    /// Transform of the parent at t (identity for children of the root).
    Matrix3 GetParentTM(TimeValue t);
    /// World transform of the node's pivot at t; *valid is intersected with its validity.
    Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr);
    /// Sets the world transform at t through the transform controller (keys when animating).
    void SetNodeTM(TimeValue t, const Matrix3& tm);
    /// World transform of the object: offset * node TM.
    Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr);
    /// The object transform before space warps (the host has none, so the same as GetObjectTM).
    Matrix3 GetObjTMBeforeWSM(TimeValue t, Interval* valid = nullptr);
    Matrix3 GetObjTMAfterWSM(TimeValue t, Interval* valid = nullptr);

    Point3 GetObjOffsetPos() const { return m_offsetPos; }
    void SetObjOffsetPos(const Point3& p);
    Quat GetObjOffsetRot() const { return m_offsetRot; }
    void SetObjOffsetRot(const Quat& q);
    Point3 GetObjOffsetScale() const { return m_offsetScale; }
    void SetObjOffsetScale(const Point3& s);

    COLORREF GetWireColor() const { return m_wireColor; }
    void SetWireColor(COLORREF color);
    /// Whether the node is in the scene's selection.
    int Selected() const;
    BOOL IsHidden(DWORD hflags = 0, BOOL forRenderer = FALSE) const;
    void Hide(BOOL onOff);
    BOOL IsFrozen() const { return m_frozen; }
    void Freeze(BOOL onOff) { m_frozen = onOff != FALSE; }
    /// Whether the node depends on the object being edited (viewports draw it in the host's
    /// dependent colour rather than its wire colour).
    int Dependent() const { return m_dependent ? 1 : 0; }
    void SetDependent(BOOL onOff) { m_dependent = onOff != FALSE; }
    /// Whether the viewport highlights the node (the cursor is over it in a pick mode).
    BOOL IsHighlighted() const { return m_highlighted; }
    void SetHighlighted(BOOL onOff) { m_highlighted = onOff != FALSE; }

    /// Evaluates the object (with its modifier stack) at t. The state stays valid until the next
    /// evaluation of this node. Hidden nodes are evaluated unless evalHidden is false.
    const ObjectState& EvalWorldState(TimeValue t, BOOL evalHidden = TRUE);

    int NumRefs() override { return 3; }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle rtarg) override;
    bool AcceptsReference(int i, ReferenceTarget* target) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;
    int NumSubs() override { return 3; }
    Animatable* SubAnim(int i) override { return GetReference(i); }
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    friend class Interface;
    friend class SceneReader;

    Matrix3 OffsetTM() const;
    void LinkParent(INode* parent);
    void UnlinkParent();

    MSTR m_name;
    ULONG m_handle = 0;
    bool m_isRoot = false;
    INode* m_parent = nullptr;
    std::vector<INode*> m_children;
    Control* m_tmControl = nullptr;
    Object* m_object = nullptr;
    Control* m_visControl = nullptr;
    Point3 m_offsetPos;
    Quat m_offsetRot;
    Point3 m_offsetScale = Point3(1.0f, 1.0f, 1.0f);
    COLORREF m_wireColor = RGB(88, 144, 225);
    bool m_hidden = false;
    bool m_frozen = false;
    bool m_dependent = false;
    bool m_highlighted = false;
    ObjectState m_worldState;
    Matrix3 m_worldStateTM;
    ULONG m_loadedParent = 0; // parent handle read by Load, linked by the scene reader
    bool m_loadedSelected = false;
};
