#pragma once
// Modifiers and modifier stacks: Modifier, ModContext, LocalModData and IDerivedObject, the object
// that holds an object reference plus a stack of modifiers and evaluates it.

#include "host/Object.h"

#include <memory>

/// Per-application data a modifier keeps in its ModContext.
class LocalModData {
public:
    virtual ~LocalModData() = default;
    /// A copy for a cloned stack; owned by the caller.
    virtual LocalModData* Clone() = 0;
    virtual void* GetInterface(ULONG id) {
        (void)id;
        return nullptr;
    }
};

/// What a modifier knows about one of its applications: the transform from the object into the
/// modifier's space (null for identity), its bounding box and its local data. The context owns
/// all three.
class ModContext {
public:
    std::unique_ptr<Matrix3> tm;
    std::unique_ptr<Box3> box;
    std::unique_ptr<LocalModData> localData;

    ModContext() = default;
    /// Adopts the three pointers (any may be null).
    ModContext(Matrix3* aTm, Box3* aBox, LocalModData* data);
    ModContext(const ModContext& other);
    ModContext& operator=(const ModContext& other);
};

/// An object-space modifier: changes the object flowing up the stack in ModifyObject.
class Modifier : public BaseObject {
public:
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    /// Changes os->obj (already converted to InputType()) for time t. It may narrow the object's
    /// channel validities (UpdateValidity) or replace os->obj by a new object it created.
    virtual void ModifyObject(TimeValue t, ModContext& mc, ObjectState* os, INode* node) = 0;
    /// Channels the modifier reads / changes.
    virtual ChannelMask ChannelsUsed() = 0;
    virtual ChannelMask ChannelsChanged() = 0;
    /// Class the incoming object must be converted to (defObjectClassID: any deformable object).
    virtual Class_ID InputType() = 0;
    /// How long the modifier's own effect holds around t (all time by default).
    virtual Interval LocalValidity(TimeValue t) {
        (void)t;
        return FOREVER;
    }
    /// Viewport operations of a modifier: as for objects, with the modifier's context.
    using BaseObject::Display;
    using BaseObject::GetWorldBoundBox;
    using BaseObject::HitTest;
    virtual int Display(TimeValue t, INode* inode, ViewExp* vpt, int flags, ModContext* mc) {
        (void)t, (void)inode, (void)vpt, (void)flags, (void)mc;
        return 0;
    }
    virtual int HitTest(TimeValue t, INode* inode, int type, int crossing, int flags, IPoint2* p,
                        ViewExp* vpt, ModContext* mc) {
        (void)t, (void)inode, (void)type, (void)crossing, (void)flags, (void)p, (void)vpt, (void)mc;
        return 0;
    }
    virtual void GetWorldBoundBox(TimeValue t, INode* inode, ViewExp* vpt, Box3& box,
                                  ModContext* mc) {
        (void)t, (void)inode, (void)vpt, (void)mc;
        box.Init();
    }
    bool IsEnabled() const { return m_enabled; }
    void EnableMod();
    void DisableMod();

private:
    bool m_enabled = true;
};

/// An object reference with a modifier stack. Modifier 0 is the top of the stack; evaluation
/// runs from the bottom (NumModifiers() - 1) to the top. The result is cached and reused while
/// its validity contains the asked time and nothing in the stack changed.
class IDerivedObject : public Object {
public:
    SClass_ID SuperClassID() override { return GEN_DERIVOB_CLASS_ID; }
    Class_ID ClassID() override { return derivObjectClassID; }

    virtual int NumModifiers() = 0;
    virtual Modifier* GetModifier(int index) = 0;
    virtual ModContext* GetModContext(int index) = 0;
    /// Inserts a modifier before stack index `before` (0 puts it on top). The derived object
    /// references the modifier and takes ownership of mc (a default context when null).
    virtual void AddModifier(Modifier* mod, ModContext* mc = nullptr, int before = 0) = 0;
    /// Removes modifier `index` from the stack.
    virtual void DeleteModifier(int index = 0) = 0;
    /// The object at the bottom of this stack (may itself be a derived object).
    virtual Object* GetObjRef() = 0;
    /// Makes the stack work on `obj`.
    virtual void ReferenceObject(Object* obj) = 0;
    /// Evaluates the stack at t for a node (handed to ModifyObject); Eval(t) passes none.
    virtual ObjectState EvalForNode(TimeValue t, INode* node) = 0;
    /// Drops the cached result (the next evaluation runs the stack again).
    virtual void InvalidateCache() = 0;
    /// How many times the stack has been run (not served from the cache).
    virtual int EvaluationCount() const = 0;
};

/// A new derived object over `obj` (may be null), owned by the caller until referenced.
IDerivedObject* CreateDerivedObject(Object* obj = nullptr);
