#pragma once
// Undo: plug-ins wrap a change in theHold.Begin() / Accept(name); the restore objects put in
// between form one named undo record. The host's own changes (node creation and deletion,
// selection, parameter values and tables, modifier stack edits) put their restore objects
// whenever a record is open, so a plug-in only brackets them.

#include "host/MaxTypes.h"
#include "host/Reference.h"

#include <memory>
#include <vector>

/// Super class of plain reference makers (helpers that only hold references).
inline constexpr SClass_ID REF_MAKER_CLASS_ID = 0x0100;

/// One undoable change. A restore object keeps what it needs to put the state back (and forward
/// again) for as long as its record lives.
class RestoreObj {
public:
    virtual ~RestoreObj() = default;
    /// Puts the state back (isUndo: an undo rather than a cancel). An implementation that
    /// supports Redo saves the state it replaces here.
    virtual void Restore(int isUndo) = 0;
    /// Puts the state of the change back after an undo.
    virtual void Redo() = 0;
};

/// Targets a restore object needs later, held as references: they stay alive while the record
/// lives (a removed modifier, a block whose values were replaced), and a target that the scene
/// deletes for good (a node deleted outside any record) leaves its slot null instead of a
/// dangling pointer.
class HeldRefs final : public ReferenceMaker {
public:
    HeldRefs() = default;
    ~HeldRefs() override { DeleteAllRefsFromMe(); }
    /// Appends a slot holding target (may be null); returns its index.
    int Add(ReferenceTarget* target);
    /// The target of slot i, or null (slot emptied or out of range).
    ReferenceTarget* Get(int i) const;
    int Size() const { return static_cast<int>(m_refs.size()); }

    Class_ID ClassID() override { return Class_ID(0x48454C44, 0x52454653); }
    SClass_ID SuperClassID() override { return REF_MAKER_CLASS_ID; }
    int NumRefs() override { return Size(); }
    RefTargetHandle GetReference(int i) override { return Get(i); }
    void SetReference(int i, RefTargetHandle rtarg) override;
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_DONTCARE;
    }

private:
    std::vector<ReferenceTarget*> m_refs;
};

/// The undo recorder.
class Hold {
public:
    /// Starts a record (records nest; only the outermost Accept names the record).
    void Begin();
    /// Whether a record is open and not suspended: only then do Put calls count.
    int Holding() const { return m_depth > 0 && m_suspend == 0; }
    /// Adds a restore object to the open record; without one it is deleted at once.
    void Put(RestoreObj* rob);
    /// Closes the record and keeps it under `name`. A new record drops the redo records.
    void Accept(const MCHAR* name);
    /// Closes the record and undoes its changes.
    void Cancel();
    void Suspend() { ++m_suspend; }
    void Resume() {
        if (m_suspend > 0)
            --m_suspend;
    }
    /// Undoes the last accepted record (newest change first) and keeps it for Redo; false when
    /// there is none or a record is open.
    bool Undo();
    /// Applies the last undone record again (oldest change first); false when there is none or
    /// a record is open.
    bool Redo();
    /// Names of the accepted records, oldest first.
    std::vector<MSTR> RecordNames() const;
    /// Names of the undone records that Redo would apply, next first.
    std::vector<MSTR> RedoNames() const;
    /// Drops all records (undo and redo).
    void Clear();

private:
    struct Record {
        MSTR name;
        std::vector<std::unique_ptr<RestoreObj>> changes;
    };
    int m_depth = 0;
    int m_suspend = 0;
    std::vector<std::unique_ptr<RestoreObj>> m_open;
    std::vector<Record> m_records;
    std::vector<Record> m_redo;
};

/// The scene's undo recorder (owned by the Interface).
extern Hold& theHold;
