#pragma once
// Undo: plug-ins wrap a change in theHold.Begin() / Accept(name); the restore objects put in
// between form one named undo record.

#include "host/MaxTypes.h"

#include <memory>
#include <vector>

/// One undoable change.
class RestoreObj {
public:
    virtual ~RestoreObj() = default;
    /// Puts the state back (isUndo: an undo rather than a cancel).
    virtual void Restore(int isUndo) = 0;
    virtual void Redo() = 0;
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
    /// Closes the record and keeps it under `name`.
    void Accept(const MCHAR* name);
    /// Closes the record and undoes its changes.
    void Cancel();
    void Suspend() { ++m_suspend; }
    void Resume() {
        if (m_suspend > 0)
            --m_suspend;
    }
    /// Undoes the last accepted record; false when there is none.
    bool Undo();
    /// Names of the accepted records, oldest first.
    std::vector<MSTR> RecordNames() const;
    /// Drops all records.
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
};

/// The scene's undo recorder (owned by the Interface).
extern Hold& theHold;
