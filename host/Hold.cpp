#include "host/Hold.h"

#include "host/Interface.h"

Hold& theHold = GetCOREInterface()->GetHold();

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
    m_records.push_back(Record{name ? name : _T(""), std::move(m_open)});
    m_open.clear();
}

void Hold::Cancel() {
    if (m_depth == 0)
        return;
    m_depth = 0;
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
        (*it)->Restore(FALSE);
    m_open.clear();
}

bool Hold::Undo() {
    if (m_records.empty() || m_depth > 0)
        return false;
    Record record = std::move(m_records.back());
    m_records.pop_back();
    for (auto it = record.changes.rbegin(); it != record.changes.rend(); ++it)
        (*it)->Restore(TRUE);
    return true;
}

std::vector<MSTR> Hold::RecordNames() const {
    std::vector<MSTR> names;
    for (const Record& record : m_records)
        names.push_back(record.name);
    return names;
}

void Hold::Clear() {
    m_depth = 0;
    m_suspend = 0;
    m_open.clear();
    m_records.clear();
}
