#pragma once
// Scene objects and the data flowing through modifier stacks: Object, GeomObject, TriObject,
// PolyObject, SimpleObject2 (procedural objects that build a mesh) and ObjectState.

#include "host/MNMesh.h"
#include "host/Quat.h"
#include "host/Reference.h"
#include "host/Viewport.h"

class INode;
class Object;
class Interface;
class ModContext;
using IObjParam = Interface;

/// Channels of an object flowing up a modifier stack (bit masks and channel numbers).
using ChannelMask = DWORD;
inline constexpr ChannelMask TOPO_CHANNEL = 1u << 0;
inline constexpr ChannelMask GEOM_CHANNEL = 1u << 1;
inline constexpr ChannelMask TEXMAP_CHANNEL = 1u << 2;
inline constexpr ChannelMask MTL_CHANNEL = 1u << 3;
inline constexpr ChannelMask SELECT_CHANNEL = 1u << 4;
inline constexpr ChannelMask SUBSEL_TYPE_CHANNEL = 1u << 5;
inline constexpr ChannelMask DISP_ATTRIB_CHANNEL = 1u << 6;
inline constexpr ChannelMask VERTCOLOR_CHANNEL = 1u << 7;
inline constexpr ChannelMask ALL_CHANNELS = 0xFFu;
inline constexpr int TOPO_CHAN_NUM = 0;
inline constexpr int GEOM_CHAN_NUM = 1;
inline constexpr int TEXMAP_CHAN_NUM = 2;
inline constexpr int MTL_CHAN_NUM = 3;
inline constexpr int SELECT_CHAN_NUM = 4;
inline constexpr int SUBSEL_TYPE_CHAN_NUM = 5;
inline constexpr int DISP_ATTRIB_CHAN_NUM = 6;
inline constexpr int VERT_COLOR_CHAN_NUM = 7;
inline constexpr int NUM_OBJ_CHANS = 8;

/// The result of evaluating an object or a node at a time: the object (owned by the object
/// itself or by the pipeline cache of its derived object; valid until the next evaluation of the
/// same node or stack) and the interval over which the node transform holds.
class ObjectState {
public:
    Object* obj = nullptr;
    /// The node's object transform when evaluated through a node, null otherwise.
    Matrix3* tm = nullptr;
    Interval tmValid = FOREVER;

    ObjectState() = default;
    explicit ObjectState(Object* o) : obj(o) {}
    /// Validity of the object at t (empty when there is no object).
    Interval Validity(TimeValue t) const;
};

/// Base of objects and modifiers (everything that appears in a modifier stack): its name, its
/// viewport behaviour, its sub-object levels and its editing in the command panel. Every
/// operation has a neutral default, so a class overrides only what it does.
class BaseObject : public ReferenceTarget {
public:
    /// Name shown in the modifier stack.
    virtual MSTR GetObjectName() {
        MSTR name;
        GetClassName(name);
        return name;
    }

    /// Draws the object for `inode` in a view at t; answers 0.
    virtual int Display(TimeValue t, INode* inode, ViewExp* vpt, int flags);
    /// Non-zero when the object is hit in the region around *p.
    virtual int HitTest(TimeValue t, INode* inode, int type, int crossing, int flags, IPoint2* p,
                        ViewExp* vpt);
    /// Offers the object's points to the snapping system.
    virtual void Snap(TimeValue t, INode* inode, SnapInfo* snap, IPoint2* p, ViewExp* vpt);
    /// World-space box for the view (the deformed box under the node's object transform for
    /// objects; empty by default).
    virtual void GetWorldBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box);
    /// Object-space box for the view.
    virtual void GetLocalBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box);
    /// The callback that creates the object interactively, or null.
    virtual CreateMouseCallBack* GetCreateMouseCallBack() { return nullptr; }

    /// Sub-object levels (0 is the object level).
    virtual int NumSubObjTypes() { return 0; }
    virtual ISubObjType* GetSubObjType(int i) {
        (void)i;
        return nullptr;
    }
    virtual void ActivateSubobjSel(int level, XFormModes& modes) {
        (void)level;
        (void)modes;
    }
    virtual void GetSubObjectCenters(SubObjAxisCallback* cb, TimeValue t, INode* node,
                                     ModContext* mc);
    virtual void GetSubObjectTMs(SubObjAxisCallback* cb, TimeValue t, INode* node, ModContext* mc);
    /// Sub-object transforms; partm is the parent transform, tmAxis the transform axis frame.
    virtual void Move(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Point3& val,
                      BOOL localOrigin = FALSE);
    virtual void Rotate(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Quat& val,
                        BOOL localOrigin = FALSE);
    virtual void Scale(TimeValue t, Matrix3& partm, Matrix3& tmAxis, Point3& val,
                       BOOL localOrigin = FALSE);

    /// The object is about to be / is no longer edited in the command panel.
    virtual void BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev);
    virtual void EndEditParams(IObjParam* ip, ULONG flags, Animatable* next);
};

/// An object at the bottom of (or flowing through) a modifier stack. Each of its channels has a
/// validity interval; the object's validity is their intersection.
class Object : public BaseObject {
public:
    /// Evaluates the object at t. Base objects return themselves.
    virtual ObjectState Eval(TimeValue t);
    /// Intersection of all channel validities.
    virtual Interval ObjectValidity(TimeValue t);
    virtual Interval ChannelValidity(TimeValue t, int nchan);
    virtual void SetChannelValidity(int nchan, Interval v);
    /// Intersects the validity of one channel (TOPO_CHAN_NUM ...) with v.
    void UpdateValidity(int nchan, Interval v);
    /// Whether ConvertToType can produce an object of class obtype.
    virtual int CanConvertToType(Class_ID obtype) { return obtype == ClassID(); }
    /// The object converted to obtype at t: this object itself when it already is one (the
    /// caller must then not delete it), else a new object the caller owns; null when impossible.
    virtual Object* ConvertToType(TimeValue t, Class_ID obtype);
    /// Whether the object is of class classID or derives from it.
    virtual BOOL IsSubClassOf(Class_ID classID) { return classID == ClassID(); }
    /// Bounding box of the deformable points, transformed by *tm when given.
    virtual void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE);
    /// The deformed box under the node's object transform.
    void GetWorldBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box) override;
    void GetLocalBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box) override;
    /// The object at the bottom of a stack (this for base objects).
    virtual Object* FindBaseObject() { return this; }
    /// A copy for modification in a stack, owned by the caller.
    virtual Object* MakeShallowCopy(ChannelMask channels);
    virtual BOOL IsWorldSpaceObject() { return FALSE; }
    /// True for objects whose points modifiers can move.
    virtual int IsDeformable() { return FALSE; }

protected:
    Interval m_chanValid[NUM_OBJ_CHANS] = {FOREVER, FOREVER, FOREVER, FOREVER,
                                           FOREVER, FOREVER, FOREVER, FOREVER};
};

/// Objects with geometry (super class GEOMOBJECT_CLASS_ID).
class GeomObject : public Object {
public:
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
};

/// An object holding a triangle mesh.
class TriObject : public GeomObject {
public:
    Mesh mesh;

    Mesh& GetMesh() { return mesh; }
    Class_ID ClassID() override { return triObjectClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    Object* MakeShallowCopy(ChannelMask channels) override;
    int IsDeformable() override { return TRUE; }
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;
};

/// A new empty triangle object, owned by the caller until referenced.
TriObject* CreateNewTriObject();

/// An object holding a polygon mesh.
class PolyObject : public GeomObject {
public:
    MNMesh mm;

    MNMesh& GetMesh() { return mm; }
    Class_ID ClassID() override { return polyObjectClassID; }
    void GetClassName(MSTR& s, bool localized = true) const override;
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    Object* MakeShallowCopy(ChannelMask channels) override;
    int IsDeformable() override { return TRUE; }
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;
};

/// A procedural geometric object that builds a triangle mesh from its parameters. Reference 0
/// is its parameter block (null when the class keeps its parameters elsewhere). Derived classes
/// implement BuildMesh, which fills `mesh` for time t and sets `ivalid`.
class SimpleObject2 : public GeomObject {
public:
    IParamBlock2* pblock2 = nullptr;
    Mesh mesh;
    /// The time span over which `mesh` is current; emptied by InvalidateMesh.
    Interval ivalid;

    /// Builds `mesh` for time t and sets `ivalid`.
    virtual void BuildMesh(TimeValue t) = 0;
    virtual BOOL OKtoDisplay(TimeValue t) {
        (void)t;
        return TRUE;
    }
    /// Rebuilds the mesh when it is not current at t.
    void UpdateMesh(TimeValue t);
    /// Marks the mesh out of date.
    void InvalidateMesh() { ivalid.SetEmpty(); }

    ObjectState Eval(TimeValue t) override;
    Interval ObjectValidity(TimeValue t) override;
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    Object* MakeShallowCopy(ChannelMask channels) override;

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle rtarg) override;
    bool AcceptsReference(int i, ReferenceTarget* target) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;
    int NumParamBlocks() override { return pblock2 ? 1 : 0; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock2 : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override;
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override;
};

/// A force field of a space warp: the force it exerts on a particle. Obtained from
/// WSMObject::GetForceField for one node and released with DeleteThis.
class ForceField {
public:
    virtual ~ForceField() = default;
    /// Force at `pos` moving with `vel` at time t; `index` numbers the particle.
    virtual Point3 Force(TimeValue t, const Point3& pos, const Point3& vel, int index) = 0;
    virtual void DeleteThis() { delete this; }
};

/// A space-warp object (super class WSM_OBJECT_CLASS_ID), the world-space-modifier interface
/// that GetInterface(I_WSMOBJECT) answers.
class WSMObject : public Object {
public:
    SClass_ID SuperClassID() override { return WSM_OBJECT_CLASS_ID; }
    void* GetInterface(ULONG id) override {
        return id == I_WSMOBJECT ? static_cast<WSMObject*>(this) : Object::GetInterface(id);
    }
    /// The force field acting for `node`, owned by the caller (DeleteThis); null when the space
    /// warp is no force.
    virtual ForceField* GetForceField(INode* node) {
        (void)node;
        return nullptr;
    }
};
