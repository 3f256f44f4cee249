#include "host/Reference.h"

#include "host/Interface.h"

#include <algorithm>

namespace {

template <class T>
void EraseOne(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
        list.erase(it);
}

} // namespace

ReferenceMaker::~ReferenceMaker() {
    // Normally closed already when the deletion began (DeleteMe); this catches a plain delete.
    CloseOwnRollouts();
    // The derived part is gone, so its reference members cannot be cleared; the tracked list
    // still says which targets lose this dependent.
    std::vector<ReferenceTarget*> held;
    held.swap(m_held);
    for (ReferenceTarget* target : held)
        EraseOne(target->m_dependents, static_cast<ReferenceMaker*>(this));
    for (ReferenceTarget* target : held)
        target->MaybeAutoDelete();
}

RefResult ReferenceMaker::ReplaceReference(int which, RefTargetHandle newTarget, BOOL delOld) {
    if (which < 0 || which >= NumRefs())
        return REF_FAIL;
    ReferenceTarget* old = GetReference(which);
    if (old == newTarget)
        return REF_SUCCEED;
    if (old) {
        EraseOne(old->m_dependents, static_cast<ReferenceMaker*>(this));
        EraseOne(m_held, old);
    }
    if (newTarget) {
        newTarget->m_dependents.push_back(this);
        m_held.push_back(newTarget);
    }
    SetReference(which, newTarget);
    if (old && delOld)
        old->MaybeAutoDelete();
    return REF_SUCCEED;
}

bool ReferenceMaker::AcceptsReference(int i, ReferenceTarget* target) {
    if (!target)
        return true;
    if (target == static_cast<ReferenceMaker*>(this) || i < 0 || i >= NumRefs())
        return false;
    ReferenceTarget* current = GetReference(i);
    return !current || current->SuperClassID() == target->SuperClassID();
}

void ReferenceMaker::DeleteAllRefsFromMe() {
    for (int i = 0; i < NumRefs(); ++i)
        ReplaceReference(i, nullptr);
}

void ReferenceMaker::DropReferencesTo(ReferenceTarget* target) {
    for (int i = 0; i < NumRefs(); ++i) {
        if (GetReference(i) == target) {
            EraseOne(target->m_dependents, static_cast<ReferenceMaker*>(this));
            EraseOne(m_held, target);
            SetReference(i, nullptr);
        }
    }
}

ReferenceTarget::~ReferenceTarget() {
    // Reached without DeleteMe (a directly owned target such as a scene node): the dependents
    // must not keep pointers to it.
    m_deleting = true;
    while (!m_dependents.empty()) {
        ReferenceMaker* maker = m_dependents.back();
        maker->DropReferencesTo(this);
        EraseOne(m_dependents, maker); // in case the maker no longer listed it in a slot
        EraseOne(maker->m_held, this);
    }
}

RefResult ReferenceTarget::NotifyDependents(const Interval& changeInt, PartID partID,
                                            RefMessage message, SClass_ID sclass, BOOL propagate,
                                            RefTargetHandle hTarg) {
    ReferenceTarget* source = hTarg ? hTarg : this;
    // A dependent may drop its reference while handling the message; walk a snapshot.
    std::vector<ReferenceMaker*> dependents = m_dependents;
    for (ReferenceMaker* maker : dependents) {
        if (std::find(m_dependents.begin(), m_dependents.end(), maker) == m_dependents.end())
            continue;
        if (sclass != NOTIFY_ALL && maker->SuperClassID() != sclass)
            continue;
        PartID part = partID;
        RefResult result = maker->NotifyRefChanged(changeInt, source, part, message, propagate);
        if (result == REF_STOP)
            return REF_STOP;
        if (propagate && result == REF_SUCCEED && maker->IsRefTarget()) {
            auto* next = static_cast<ReferenceTarget*>(maker);
            if (next->NotifyDependents(changeInt, part, message, sclass, propagate, nullptr) ==
                REF_STOP)
                return REF_STOP;
        }
    }
    return REF_SUCCEED;
}

void ReferenceTarget::BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap) {
    if (from && to)
        remap.AddEntry(from, to);
}

void ReferenceTarget::TransferReferences(ReferenceTarget* to) {
    std::vector<ReferenceMaker*> dependents = m_dependents;
    for (ReferenceMaker* maker : dependents) {
        if (maker == to)
            continue;
        for (int i = 0; i < maker->NumRefs(); ++i) {
            if (maker->GetReference(i) == this)
                maker->ReplaceReference(i, to, FALSE);
        }
    }
}

bool ReferenceTarget::MaybeAutoDelete() {
    if (!m_autoDelete || m_deleting || !m_dependents.empty())
        return false;
    DeleteMe();
    return true;
}

void ReferenceMaker::CloseOwnRollouts() {
    if (m_rolloutsOpen)
        GetCOREInterface()->GetRollouts().CloseFor(this);
    m_rolloutsOpen = false;
}

void ReferenceTarget::DeleteMe() {
    if (m_deleting)
        return;
    m_deleting = true;
    // The rollouts go first, while their procedures still find the object whole.
    CloseOwnRollouts();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_TARGET_DELETED, NOTIFY_ALL, FALSE);
    while (!m_dependents.empty()) {
        ReferenceMaker* maker = m_dependents.back();
        maker->DropReferencesTo(this);
        EraseOne(m_dependents, maker);
        EraseOne(maker->m_held, static_cast<ReferenceTarget*>(this));
    }
    DeleteAllRefsFromMe();
    DeleteThis();
}

ReferenceTarget* RemapDir::CloneRef(ReferenceTarget* from) {
    if (!from)
        return nullptr;
    if (ReferenceTarget* done = FindMapping(from))
        return done;
    ReferenceTarget* clone = from->Clone(*this);
    if (clone)
        m_map[from] = clone;
    return clone;
}

ReferenceTarget* RemapDir::FindMapping(ReferenceTarget* from) const {
    auto it = m_map.find(from);
    return it == m_map.end() ? nullptr : it->second;
}
