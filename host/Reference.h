#pragma once
// Animatables and references: the dependency graph of the scene. A ReferenceMaker holds numbered
// references to ReferenceTargets; every target knows its dependents and tells them about changes
// (NotifyDependents) and about its deletion.
//
// Ownership: a reference target is owned jointly by the makers that reference it. When its last
// dependent drops it, it deletes itself (unless auto-delete is off, as for scene nodes, which the
// scene owns). An object nobody references yet belongs to whoever created it, who hands it to a
// reference or calls MaybeAutoDelete()/DeleteThis() on it.

#include "host/ClassID.h"
#include "host/ISave.h"
#include "host/Interval.h"

#include <map>
#include <vector>

class ReferenceTarget;
class ReferenceMaker;
class IParamBlock2;
class RemapDir;
using RefTargetHandle = ReferenceTarget*;
using RefMakerHandle = ReferenceMaker*;

/// Part of a change message: which channels changed. For REFMSG_GET_NODE_HANDLE it carries the
/// address of a ULONG that receives the node handle.
using PartID = ULONG_PTR;
inline constexpr PartID PART_TOPO = 1u << 0;
inline constexpr PartID PART_GEOM = 1u << 1;
inline constexpr PartID PART_TEXMAP = 1u << 2;
inline constexpr PartID PART_MTL = 1u << 3;
inline constexpr PartID PART_SELECT = 1u << 4;
inline constexpr PartID PART_SUBSEL_TYPE = 1u << 5;
inline constexpr PartID PART_DISPLAY = 1u << 6;
inline constexpr PartID PART_VERTCOLOR = 1u << 7;
inline constexpr PartID PART_TM = 1u << 8;
inline constexpr PartID PART_OBJ = PART_TOPO | PART_GEOM | PART_TEXMAP | PART_MTL | PART_SELECT |
                                   PART_SUBSEL_TYPE | PART_DISPLAY | PART_VERTCOLOR;
inline constexpr PartID PART_ALL = 0xFFFFFFFF;

/// Kind of a reference message.
using RefMessage = ULONG;
/// Something about the target changed (partID says what).
inline constexpr RefMessage REFMSG_CHANGE = 0x00000004;
/// The target is about to be deleted; the host clears the references to it afterwards.
inline constexpr RefMessage REFMSG_TARGET_DELETED = 0x00000005;
/// Query: the first node reached writes its handle to *(ULONG*)partID and stops.
inline constexpr RefMessage REFMSG_GET_NODE_HANDLE = 0x0000000C;
inline constexpr RefMessage REFMSG_BEGIN_EDIT = 0x00000010;
inline constexpr RefMessage REFMSG_END_EDIT = 0x00000011;
inline constexpr RefMessage REFMSG_MOD_DISPLAY_ON = 0x00000012;
inline constexpr RefMessage REFMSG_MOD_DISPLAY_OFF = 0x00000013;
inline constexpr RefMessage REFMSG_NODE_NAMECHANGE = 0x00000020;
inline constexpr RefMessage REFMSG_SUBANIM_STRUCTURE_CHANGED = 0x00000021;

/// Answer to a reference message. Only REF_SUCCEED lets a propagated message travel on to the
/// dependent's own dependents; REF_STOP ends the whole notification.
enum RefResult {
    REF_FAIL = 0,
    REF_SUCCEED = 1,
    /// Handled; do not pass it on from this dependent (others still get it).
    REF_DONTCARE = 2,
    /// Stop the whole notification (queries that found their answer).
    REF_STOP = 3,
};

/// Id of an extension interface asked through Animatable::GetInterface.
class Interface_ID {
public:
    constexpr Interface_ID() = default;
    constexpr Interface_ID(ULONG a, ULONG b) : m_a(a), m_b(b) {}
    constexpr ULONG PartA() const { return m_a; }
    constexpr ULONG PartB() const { return m_b; }
    constexpr bool operator==(const Interface_ID&) const = default;

private:
    ULONG m_a = 0;
    ULONG m_b = 0;
};

/// Base of extension interfaces returned by Animatable::GetInterface(Interface_ID).
class BaseInterface {
public:
    virtual ~BaseInterface() = default;
    virtual Interface_ID GetID() const = 0;
};

/// Interface number of the key-control interface of keyframed controllers (IKeyControl).
inline constexpr ULONG I_KEYCONTROL = 0x00001100;
/// Interface number of the world-space-modifier interface of space-warp objects.
inline constexpr ULONG I_WSMOBJECT = 0x000010A0;

/// Root of every scene class: class identity, extension interfaces and sub-animatables.
class Animatable {
public:
    Animatable() = default;
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;
    virtual ~Animatable() = default;

    virtual Class_ID ClassID() = 0;
    virtual SClass_ID SuperClassID() = 0;
    /// The class's display name (localized or not).
    virtual void GetClassName(MSTR& s, bool localized = true) const {
        (void)localized;
        s.clear();
    }
    /// Extension interface by number (I_KEYCONTROL ...); null when not offered.
    virtual void* GetInterface(ULONG id) {
        (void)id;
        return nullptr;
    }
    /// Extension interface by id; null when not offered.
    virtual BaseInterface* GetInterface(Interface_ID id) {
        (void)id;
        return nullptr;
    }
    /// Animatable sub-items (parameter blocks, controllers) shown in track views.
    virtual int NumSubs() { return 0; }
    virtual Animatable* SubAnim(int i) {
        (void)i;
        return nullptr;
    }
    virtual MSTR SubAnimName(int i, bool localized = true) {
        (void)i;
        (void)localized;
        return {};
    }
    /// Parameter blocks of the object (for scripts and the application); none by default.
    virtual int NumParamBlocks() { return 0; }
    virtual IParamBlock2* GetParamBlock(int i) {
        (void)i;
        return nullptr;
    }
    virtual IParamBlock2* GetParamBlockByID(short id) {
        (void)id;
        return nullptr;
    }
    /// Frees the object. The default deletes it; classes with special storage override it.
    virtual void DeleteThis() { delete this; }
};

/// Something that holds numbered references to targets. Derived classes store their references
/// in their own members through NumRefs / GetReference / SetReference; every change of a
/// reference must go through ReplaceReference so the host can track dependents.
class ReferenceMaker : public Animatable {
public:
    ~ReferenceMaker() override;

    virtual int NumRefs() { return 0; }
    virtual RefTargetHandle GetReference(int i) {
        (void)i;
        return nullptr;
    }
    /// Stores a reference into the derived class's member; called only by the host
    /// (ReplaceReference, loading, deletion of the target).
    virtual void SetReference(int i, RefTargetHandle rtarg) {
        (void)i;
        (void)rtarg;
    }
    /// Receives a message from one of the targets this object references.
    virtual RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget,
                                       PartID& partID, RefMessage message, BOOL propagate) {
        (void)changeInt;
        (void)hTarget;
        (void)partID;
        (void)message;
        (void)propagate;
        return REF_SUCCEED;
    }
    /// Writes the class's private data (references are stored by the host).
    virtual IOResult Save(ISave* isave) {
        (void)isave;
        return IO_OK;
    }
    /// Reads the data written by Save; references are set after Load returns.
    virtual IOResult Load(ILoad* iload) {
        (void)iload;
        return IO_OK;
    }
    virtual bool IsRefTarget() { return false; }
    /// Whether reference `i` may point at `target`. Loading a scene asks before wiring a
    /// reference, so a file cannot put an object of the wrong kind into a slot. The default
    /// accepts null, refuses the maker itself, and, when the slot already holds a target (for
    /// example one made by the constructor), accepts only targets of the same super class.
    virtual bool AcceptsReference(int i, ReferenceTarget* target);

    /// Makes reference `which` point at newTarget (may be null). The old target loses this
    /// dependent and, when delOld is true and nothing else references it, is deleted.
    RefResult ReplaceReference(int which, RefTargetHandle newTarget, BOOL delOld = TRUE);
    /// ReplaceReference(which, nullptr).
    RefResult DeleteReference(int which) { return ReplaceReference(which, nullptr); }
    /// Drops every reference of this object.
    void DeleteAllRefsFromMe();
    /// Clears every reference slot that points at target (the target is going away).
    void DropReferencesTo(ReferenceTarget* target);

    /// Marked by the host's rollout list while rollouts edit this object: their procedures refer
    /// to it, so the host closes them before the object goes (deletion or destructor).
    void SetRolloutsOpen(bool open) { m_rolloutsOpen = open; }
    bool RolloutsOpen() const { return m_rolloutsOpen; }

protected:
    /// Closes the rollouts editing this object, if any (their procedures get WM_DESTROY).
    void CloseOwnRollouts();

private:
    friend class ReferenceTarget;
    std::vector<ReferenceTarget*> m_held; // one entry per reference held, for teardown
    bool m_rolloutsOpen = false;
};

/// Something that can be referenced: it knows its dependents and notifies them.
class ReferenceTarget : public ReferenceMaker {
public:
    ~ReferenceTarget() override;

    bool IsRefTarget() override { return true; }
    /// Sends a message to every dependent (of super class sclass, or all for NOTIFY_ALL). With
    /// propagate, a dependent that is itself a target passes it on to its own dependents. A
    /// REF_STOP answer ends the whole notification and is returned.
    RefResult NotifyDependents(const Interval& changeInt, PartID partID, RefMessage message,
                               SClass_ID sclass = NOTIFY_ALL, BOOL propagate = TRUE,
                               RefTargetHandle hTarg = nullptr);
    /// Makes a copy through the remap directory (shared sub-targets are cloned once); null when
    /// the class cannot be cloned.
    virtual ReferenceTarget* Clone(RemapDir& remap) {
        (void)remap;
        return nullptr;
    }
    /// Copies host-side data of `from` into `to` after a class's Clone built `to`.
    void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);
    /// Points every dependent of this target at `to` instead (without deleting this target).
    void TransferReferences(ReferenceTarget* to);

    /// The makers referencing this target (one entry per reference).
    const std::vector<ReferenceMaker*>& GetDependents() const { return m_dependents; }
    /// Deletes the target when no dependent is left and auto-delete is on. Returns true when it
    /// was deleted.
    bool MaybeAutoDelete();
    /// Tells the dependents the target is going (REFMSG_TARGET_DELETED), clears their references
    /// to it, drops its own references and frees it.
    void DeleteMe();
    /// Whether the last dropped reference deletes the target (on by default).
    void SetAutoDelete(bool on) { m_autoDelete = on; }
    bool AutoDelete() const { return m_autoDelete; }

private:
    friend class ReferenceMaker;
    std::vector<ReferenceMaker*> m_dependents;
    bool m_autoDelete = true;
    bool m_deleting = false;
};

/// Maps originals to their clones during one Clone operation, so that a target shared by several
/// makers is cloned once.
class RemapDir {
public:
    /// The clone of `from` (made on first request, reused afterwards); null for null.
    ReferenceTarget* CloneRef(ReferenceTarget* from);
    /// The clone already made for `from`, or null.
    ReferenceTarget* FindMapping(ReferenceTarget* from) const;
    void AddEntry(ReferenceTarget* from, ReferenceTarget* to) { m_map[from] = to; }

private:
    std::map<ReferenceTarget*, ReferenceTarget*> m_map;
};

/// Makes a clone of `from` through a fresh remap directory.
template <class T>
T* CloneRefHierarchy(T* from) {
    RemapDir remap;
    return static_cast<T*>(remap.CloneRef(from));
}
