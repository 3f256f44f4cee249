#include "host/ClassDesc2.h"

#include "host/Interface.h"

#include <algorithm>
#include <cstdio>

void ClassDesc2::AddParamBlockDesc(ParamBlockDesc2* pbd) {
    if (pbd && std::find(m_descs.begin(), m_descs.end(), pbd) == m_descs.end())
        m_descs.push_back(pbd);
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int i) const {
    return i >= 0 && i < NumParamBlockDescs() ? m_descs[static_cast<size_t>(i)] : nullptr;
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID id) const {
    for (ParamBlockDesc2* pbd : m_descs) {
        if (pbd->ID == id)
            return pbd;
    }
    return nullptr;
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByName(const MCHAR* internalName) const {
    for (ParamBlockDesc2* pbd : m_descs) {
        if (internalName && pbd->int_name == internalName)
            return pbd;
    }
    return nullptr;
}

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
    if (!owner)
        return;
    for (ParamBlockDesc2* pbd : m_descs) {
        if (pbd->flags & P_AUTO_CONSTRUCT)
            owner->ReplaceReference(pbd->ref_no, CreateParameterBlock2(pbd, owner));
    }
}

void ClassDesc2::BeginEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG, Animatable*) {
    m_edited = obj;
    (ip ? ip : GetCOREInterface())->GetRollouts().OpenFor(*this, obj);
}

void ClassDesc2::EndEditParams(IObjParam* ip, ReferenceMaker* obj, ULONG, Animatable*) {
    (ip ? ip : GetCOREInterface())->GetRollouts().CloseFor(obj);
    if (m_edited == obj)
        m_edited = nullptr;
}

IParamMap2* ClassDesc2::GetParamMap(ParamBlockDesc2* pbd, MapID map) const {
    const RolloutList& rollouts = GetCOREInterface()->GetRollouts();
    for (int i = 0; i < rollouts.Count(); ++i) {
        IParamMap2* open = rollouts.Get(i)->Map();
        if (rollouts.Get(i)->Owner() == m_edited && open->GetParamBlock() &&
            open->GetParamBlock()->GetDesc() == pbd && open->GetMapID() == map)
            return open;
    }
    return nullptr;
}

bool ClassDesc2::SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc) {
    IParamMap2* open = GetParamMap(pbd, map);
    if (!open)
        return false;
    open->SetUserDlgProc(proc);
    return true;
}

bool ClassDirectory::Register(ClassDesc* cd, std::string* error) {
    if (!cd) {
        if (error)
            *error = "no class descriptor";
        return false;
    }
    if (Find(cd->SuperClassID(), cd->ClassID())) {
        if (error) {
            char text[96];
            std::snprintf(text, sizeof(text), "class id (0x%08X, 0x%08X) is already registered",
                          static_cast<unsigned>(cd->ClassID().PartA()),
                          static_cast<unsigned>(cd->ClassID().PartB()));
            *error = text;
        }
        return false;
    }
    m_classes.push_back(cd);
    return true;
}

bool ClassDirectory::RegisterOwned(std::unique_ptr<ClassDesc> cd, std::string* error) {
    if (!Register(cd.get(), error))
        return false;
    m_owned.push_back(std::move(cd));
    return true;
}

void ClassDirectory::Unregister(ClassDesc* cd) {
    m_classes.erase(std::remove(m_classes.begin(), m_classes.end(), cd), m_classes.end());
}

ClassDesc* ClassDirectory::Find(SClass_ID sclass, Class_ID cid) const {
    for (ClassDesc* cd : m_classes) {
        if (cd->SuperClassID() == sclass && cd->ClassID() == cid)
            return cd;
    }
    return nullptr;
}

ClassDesc* ClassDirectory::FindByName(const MCHAR* name) const {
    if (!name)
        return nullptr;
    for (ClassDesc* cd : m_classes) {
        const MCHAR* internal = cd->InternalName();
        if (internal && MSTR(internal) == name)
            return cd;
    }
    for (ClassDesc* cd : m_classes) {
        const MCHAR* cls = cd->ClassName();
        if (cls && MSTR(cls) == name)
            return cd;
    }
    return nullptr;
}

void* ClassDirectory::CreateInstance(SClass_ID sclass, Class_ID cid) const {
    ClassDesc* cd = Find(sclass, cid);
    return cd ? cd->Create(FALSE) : nullptr;
}

void* CreateInstance(SClass_ID sclass, Class_ID cid) {
    return GetCOREInterface()->GetClassDirectory().CreateInstance(sclass, cid);
}
