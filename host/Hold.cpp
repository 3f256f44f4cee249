#include "host/Hold.h"

#include "host/Interface.h"

Hold& theHold = GetCOREInterface()->GetHold();

int HeldRefs::Add(ReferenceTarget* target) {
    m_refs.push_back(nullptr);
    const int slot = Size() - 1;
    ReplaceReference(slot, target);
    return slot;
}

ReferenceTarget* HeldRefs::Get(int i) const {
    return i >= 0 && i < Size() ? m_refs[static_cast<size_t>(i)] : nullptr;
}

void HeldRefs::SetReference(int i, RefTargetHandle rtarg) {
    if (i >= 0 && i < Size())
        m_refs[static_cast<size_t>(i)] = rtarg;
}

void Hold::Begin() {
    ++m_depth;
}

void Hold::Put(RestoreObj* rob) {
    std::unique_ptr<RestoreObj> owned(rob);
    if (Holding() && owned)
        m_open.push_back(std::move(owned));
}

void Hold::Accept(const MCHAR* name) {
    if (m_depth == 0)
        return;
    if (--m_depth > 0)
        return;
    std::vector<std::unique_ptr<RestoreObj>> changes = std::move(m_open);
    m_open.clear();
    // An empty bracket changed nothing: keep no record, and keep what Redo can still apply.
    if (changes.empty())
        return;
    m_redo.clear();
    m_records.push_back(Record{name ? name : _T(""), std::move(changes)});
}

void Hold::Cancel() {
    if (m_depth == 0)
        return;
    m_depth = 0;
    std::vector<std::unique_ptr<RestoreObj>> changes = std::move(m_open);
    m_open.clear();
    // Restoring goes through the same host calls that record; nothing of it may be recorded.
    Suspend();
    for (auto it = changes.rbegin(); it != changes.rend(); ++it)
        (*it)->Restore(FALSE);
    Resume();
}

bool Hold::Undo() {
    if (m_records.empty() || m_depth > 0)
        return false;
    Record record = std::move(m_records.back());
    m_records.pop_back();
    Suspend();
    for (auto it = record.changes.rbegin(); it != record.changes.rend(); ++it)
        (*it)->Restore(TRUE);
    Resume();
    m_redo.push_back(std::move(record));
    return true;
}

bool Hold::Redo() {
    if (m_redo.empty() || m_depth > 0)
        return false;
    Record record = std::move(m_redo.back());
    m_redo.pop_back();
    Suspend();
    for (auto& change : record.changes)
        change->Redo();
    Resume();
    m_records.push_back(std::move(record));
    return true;
}

std::vector<MSTR> Hold::RecordNames() const {
    std::vector<MSTR> names;
    for (const Record& record : m_records)
        names.push_back(record.name);
    return names;
}

std::vector<MSTR> Hold::RedoNames() const {
    std::vector<MSTR> names;
    for (auto it = m_redo.rbegin(); it != m_redo.rend(); ++it)
        names.push_back(it->name);
    return names;
}

void Hold::Clear() {
    m_depth = 0;
    m_suspend = 0;
    // Records may own nodes taken out of the scene; they go with the records.
    std::vector<std::unique_ptr<RestoreObj>> open = std::move(m_open);
    std::vector<Record> records = std::move(m_records);
    std::vector<Record> redo = std::move(m_redo);
    m_open.clear();
    m_records.clear();
    m_redo.clear();
}
