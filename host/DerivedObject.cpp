#include "host/Hold.h"
#include "host/Modifier.h"

#include <algorithm>
#include <vector>

namespace {

constexpr USHORT kModContextChunk = 0x0500;

// The host's modifier stack. References: 0 the object, 1 + i modifier i.
class DerivedObject final : public IDerivedObject {
public:
    explicit DerivedObject(Object* obj) {
        if (obj)
            ReferenceObject(obj);
    }
    ~DerivedObject() override { ClearCache(); }

    void GetClassName(MSTR& s, bool) const override { s = _T("Derived Object"); }

    int NumModifiers() override { return static_cast<int>(m_mods.size()); }
    Modifier* GetModifier(int index) override {
        return InRange(index) ? m_mods[static_cast<size_t>(index)].mod : nullptr;
    }
    ModContext* GetModContext(int index) override {
        return InRange(index) ? m_mods[static_cast<size_t>(index)].mc.get() : nullptr;
    }
    void AddModifier(Modifier* mod, ModContext* mc, int before) override {
        if (!mod) {
            delete mc;
            return;
        }
        if (before < 0 || before > NumModifiers())
            before = 0;
        HoldStackEdit(mod, before, mc);
        m_mods.insert(m_mods.begin() + before,
                      Entry{nullptr, std::unique_ptr<ModContext>(mc ? mc : new ModContext())});
        // Slots after the insertion point moved: keep the dependent lists right by treating the
        // insertion as a fresh reference in its own slot.
        ReplaceReference(1 + before, mod);
        InvalidateCache();
        NotifyDependents(FOREVER, PART_ALL, REFMSG_SUBANIM_STRUCTURE_CHANGED);
    }
    void DeleteModifier(int index) override {
        if (!InRange(index))
            return;
        // The record must hold the modifier before the stack lets go of it.
        HoldStackEdit(m_mods[static_cast<size_t>(index)].mod, index,
                      m_mods[static_cast<size_t>(index)].mc.get());
        ReplaceReference(1 + index, nullptr);
        m_mods.erase(m_mods.begin() + index);
        InvalidateCache();
        NotifyDependents(FOREVER, PART_ALL, REFMSG_SUBANIM_STRUCTURE_CHANGED);
    }
    Object* GetObjRef() override { return m_obj; }
    void ReferenceObject(Object* obj) override {
        ReplaceReference(0, obj);
        InvalidateCache();
    }
    void InvalidateCache() override { ClearCache(); }
    int EvaluationCount() const override { return m_evaluations; }

    ObjectState Eval(TimeValue t) override { return EvalForNode(t, nullptr); }
    ObjectState EvalForNode(TimeValue t, INode* node) override;
    Interval ObjectValidity(TimeValue t) override {
        return m_cache && m_cacheValid.InInterval(t) ? m_cacheValid : Eval(t).Validity(t);
    }
    int CanConvertToType(Class_ID obtype) override {
        Object* result = Eval(m_cacheTime).obj;
        return result && result != this ? result->CanConvertToType(obtype) : FALSE;
    }
    Object* ConvertToType(TimeValue t, Class_ID obtype) override {
        Object* result = Eval(t).obj;
        if (!result)
            return nullptr;
        Object* converted = result->ConvertToType(t, obtype);
        // The cached result belongs to the stack; hand out a copy the caller may delete.
        return converted == result ? result->MakeShallowCopy(ALL_CHANNELS) : converted;
    }
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm, BOOL useSel) override {
        if (Object* result = Eval(t).obj)
            result->GetDeformBBox(t, box, tm, useSel);
        else
            box.Init();
    }
    Object* FindBaseObject() override { return m_obj ? m_obj->FindBaseObject() : nullptr; }

    int NumRefs() override { return 1 + NumModifiers(); }
    RefTargetHandle GetReference(int i) override {
        if (i == 0)
            return m_obj;
        return InRange(i - 1) ? m_mods[static_cast<size_t>(i - 1)].mod : nullptr;
    }
    void SetReference(int i, RefTargetHandle rtarg) override {
        // The cache may be the old object itself (a stack without modifiers), which can be freed
        // right after this call: forget it first.
        ClearCache();
        if (i == 0)
            m_obj = static_cast<Object*>(rtarg);
        else if (InRange(i - 1))
            m_mods[static_cast<size_t>(i - 1)].mod = static_cast<Modifier*>(rtarg);
    }
    bool AcceptsReference(int i, ReferenceTarget* target) override {
        if (!target)
            return true;
        if (target == this)
            return false;
        if (i == 0)
            return dynamic_cast<Object*>(target) != nullptr;
        return InRange(i - 1) && dynamic_cast<Modifier*>(target) != nullptr;
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message,
                               BOOL) override {
        if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED ||
            message == REFMSG_SUBANIM_STRUCTURE_CHANGED)
            InvalidateCache();
        return REF_SUCCEED;
    }
    int NumSubs() override { return NumRefs(); }
    Animatable* SubAnim(int i) override { return GetReference(i); }

    ReferenceTarget* Clone(RemapDir& remap) override {
        auto* copy = new DerivedObject(nullptr);
        copy->ReplaceReference(0, remap.CloneRef(m_obj));
        for (int i = NumModifiers() - 1; i >= 0; --i) {
            const Entry& e = m_mods[static_cast<size_t>(i)];
            copy->AddModifier(static_cast<Modifier*>(remap.CloneRef(e.mod)), new ModContext(*e.mc),
                              0);
        }
        BaseClone(this, copy, remap);
        return copy;
    }

    // Saved: the stack size and each modifier's context (transform and box); the object and
    // the modifiers themselves are references.
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    struct Entry {
        Modifier* mod = nullptr;
        std::unique_ptr<ModContext> mc;
    };

    void HoldStackEdit(Modifier* mod, int index, const ModContext* mc);

    bool InRange(int index) const { return index >= 0 && index < static_cast<int>(m_mods.size()); }
    void ClearCache() {
        if (m_cache && m_ownsCache)
            m_cache->DeleteThis();
        m_ownsCache = false;
        m_cache = nullptr;
        m_cacheValid.SetEmpty();
    }

    Object* m_obj = nullptr;
    std::vector<Entry> m_mods;
    Object* m_cache = nullptr;
    // Whether m_cache is this stack's own result. A stack without modifiers hands on what its
    // object gives, which belongs to that object (or, for a nested stack, to the stack below).
    bool m_ownsCache = false;
    Interval m_cacheValid;
    TimeValue m_cacheTime = 0;
    int m_evaluations = 0;
    bool m_evaluating = false;
};

/// A modifier added to or removed from a stack. The record holds the stack and the modifier, so
/// a removed modifier lives on until the record goes; undo and redo toggle its presence.
class StackEditRestore final : public RestoreObj {
public:
    StackEditRestore(IDerivedObject* stack, Modifier* mod, int index, const ModContext* mc)
        : m_index(index), m_context(mc ? *mc : ModContext()) {
        m_refs.Add(stack);
        m_refs.Add(mod);
    }

    void Restore(int) override { Toggle(); }
    void Redo() override { Toggle(); }

private:
    void Toggle() {
        auto* stack = static_cast<IDerivedObject*>(m_refs.Get(0));
        auto* mod = static_cast<Modifier*>(m_refs.Get(1));
        if (!stack || !mod)
            return;
        for (int i = 0; i < stack->NumModifiers(); ++i) {
            if (stack->GetModifier(i) == mod) {
                m_index = i;
                m_context = *stack->GetModContext(i);
                stack->DeleteModifier(i);
                return;
            }
        }
        stack->AddModifier(mod, new ModContext(m_context),
                           std::min(m_index, stack->NumModifiers()));
    }

    HeldRefs m_refs; // 0 the stack, 1 the modifier
    int m_index;
    ModContext m_context;
};

void DerivedObject::HoldStackEdit(Modifier* mod, int index, const ModContext* mc) {
    if (theHold.Holding())
        theHold.Put(new StackEditRestore(this, mod, index, mc));
}

ObjectState DerivedObject::EvalForNode(TimeValue t, INode* node) {
    if (m_cache && m_cacheValid.InInterval(t))
        return ObjectState(m_cache);
    if (!m_obj || m_evaluating)
        return ObjectState();
    m_evaluating = true;
    ClearCache();
    ++m_evaluations;
    ObjectState base = m_obj->SuperClassID() == GEN_DERIVOB_CLASS_ID
                           ? static_cast<IDerivedObject*>(m_obj)->EvalForNode(t, node)
                           : m_obj->Eval(t);
    if (!base.obj || NumModifiers() == 0) {
        m_cache = base.obj;
        m_ownsCache = false;
        m_cacheValid = base.obj ? base.obj->ObjectValidity(t) : NEVER;
        m_cacheTime = t;
        m_evaluating = false;
        return ObjectState(m_cache);
    }
    Object* work = base.obj->MakeShallowCopy(ALL_CHANNELS);
    Interval valid = base.obj->ObjectValidity(t);
    for (int i = NumModifiers() - 1; i >= 0 && work; --i) {
        Entry& entry = m_mods[static_cast<size_t>(i)];
        if (!entry.mod || !entry.mod->IsEnabled())
            continue;
        Class_ID input = entry.mod->InputType();
        if (input != defObjectClassID && !work->IsSubClassOf(input)) {
            if (!work->CanConvertToType(input))
                continue;
            Object* converted = work->ConvertToType(t, input);
            if (converted && converted != work) {
                work->DeleteThis();
                work = converted;
            }
        }
        ObjectState os(work);
        entry.mod->ModifyObject(t, *entry.mc, &os, node);
        if (os.obj != work) {
            work->DeleteThis();
            work = os.obj;
        }
        valid &= entry.mod->LocalValidity(t);
    }
    if (work)
        valid &= work->ObjectValidity(t);
    m_cache = work;
    m_ownsCache = work != nullptr;
    m_cacheValid = work && valid.InInterval(t) ? valid : Interval(t, t);
    m_cacheTime = t;
    m_evaluating = false;
    return ObjectState(m_cache);
}

IOResult DerivedObject::Save(ISave* isave) {
    IOResult res = IO_OK;
    for (const Entry& e : m_mods) {
        isave->BeginChunk(kModContextChunk);
        BYTE hasTm = e.mc->tm ? 1 : 0;
        BYTE hasBox = e.mc->box ? 1 : 0;
        res = WriteValue(*isave, hasTm);
        for (int r = 0; r < 4 && hasTm && res == IO_OK; ++r) {
            const Point3& row = e.mc->tm->GetRow(r);
            for (int a = 0; a < 3 && res == IO_OK; ++a)
                res = WriteValue(*isave, row[a]);
        }
        res = res == IO_OK ? WriteValue(*isave, hasBox) : res;
        for (int a = 0; a < 3 && hasBox && res == IO_OK; ++a) {
            res = WriteValue(*isave, e.mc->box->pmin[a]);
            res = res == IO_OK ? WriteValue(*isave, e.mc->box->pmax[a]) : res;
        }
        isave->EndChunk();
        if (res != IO_OK)
            break;
    }
    return res;
}

IOResult DerivedObject::Load(ILoad* iload) {
    std::vector<Entry> mods;
    IOResult res;
    while ((res = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kModContextChunk) {
            auto mc = std::make_unique<ModContext>();
            BYTE hasTm = 0, hasBox = 0;
            res = ReadValue(*iload, hasTm);
            if (res == IO_OK && hasTm) {
                mc->tm = std::make_unique<Matrix3>();
                for (int r = 0; r < 4 && res == IO_OK; ++r) {
                    Point3 row;
                    for (int a = 0; a < 3 && res == IO_OK; ++a)
                        res = ReadValue(*iload, row[a]);
                    mc->tm->SetRow(r, row);
                }
            }
            res = res == IO_OK ? ReadValue(*iload, hasBox) : res;
            if (res == IO_OK && hasBox) {
                mc->box = std::make_unique<Box3>();
                for (int a = 0; a < 3 && res == IO_OK; ++a) {
                    res = ReadValue(*iload, mc->box->pmin[a]);
                    res = res == IO_OK ? ReadValue(*iload, mc->box->pmax[a]) : res;
                }
            }
            mods.push_back(Entry{nullptr, std::move(mc)});
        }
        if (res != IO_OK || iload->CloseChunk() != IO_OK)
            return IO_ERROR;
    }
    if (res != IO_END)
        return IO_ERROR;
    m_mods = std::move(mods);
    return IO_OK;
}

} // namespace

ModContext::ModContext(Matrix3* aTm, Box3* aBox, LocalModData* data)
    : tm(aTm), box(aBox), localData(data) {}

ModContext::ModContext(const ModContext& other)
    : tm(other.tm ? std::make_unique<Matrix3>(*other.tm) : nullptr),
      box(other.box ? std::make_unique<Box3>(*other.box) : nullptr),
      localData(other.localData ? other.localData->Clone() : nullptr) {}

ModContext& ModContext::operator=(const ModContext& other) {
    if (this != &other) {
        ModContext copy(other);
        tm = std::move(copy.tm);
        box = std::move(copy.box);
        localData = std::move(copy.localData);
    }
    return *this;
}

void Modifier::EnableMod() {
    m_enabled = true;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

void Modifier::DisableMod() {
    m_enabled = false;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

IDerivedObject* CreateDerivedObject(Object* obj) {
    return new DerivedObject(obj);
}
