#include "host/ParamBlock2.h"

#include "host/ChunkValueReader.h"
#include "host/ClassDesc2.h"
#include "host/Control.h"
#include "host/INode.h"
#include "host/Interface.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace {

constexpr USHORT kHeaderChunk = 0x0700;
constexpr USHORT kParamChunk = 0x0701;

bool IsNumeric(ParamType2 base) {
    return base == TYPE_FLOAT || base == TYPE_INT || base == TYPE_BOOL || base == TYPE_ANGLE ||
           base == TYPE_PCNT_FRAC || base == TYPE_WORLD;
}

bool IsIntegral(ParamType2 base) {
    return base == TYPE_INT || base == TYPE_BOOL;
}

// Numbers are stored in double; integer parameters hold whole numbers, float parameters hold
// values that are exactly representable in single precision.
double Normalise(ParamType2 base, double v) {
    if (IsIntegral(base))
        return std::nearbyint(std::clamp(v, -2147483648.0, 2147483647.0));
    return static_cast<double>(static_cast<float>(v));
}

[[noreturn]] void ThrowRange() {
    throw std::out_of_range(Tab<int>::kRangeMessage);
}

// Binds a parameter to one kind of control in one rollout; a null label shows no text.
void BindControl(ParamUI& ui, ControlType2 type, MapID map, std::vector<int> controls,
                 const MCHAR* label) {
    ui.type = type;
    ui.map = map;
    ui.controls = std::move(controls);
    ui.label = label ? label : _T("");
}

} // namespace

ParamDef& ParamDef::Spinner(MapID map, EditSpinnerType edit, int editCtrl, int spinCtrl,
                            float scale, const MCHAR* label) {
    BindControl(ui, TYPE_SPINNER, map, {editCtrl, spinCtrl}, label);
    ui.editType = edit;
    ui.scale = scale;
    return *this;
}

ParamDef& ParamDef::CheckButton(MapID map, int ctrl, const MCHAR* label) {
    BindControl(ui, TYPE_CHECKBUTTON, map, {ctrl}, label);
    return *this;
}

ParamDef& ParamDef::CheckBox(MapID map, int ctrl, const MCHAR* label) {
    BindControl(ui, TYPE_SINGLECHECKBOX, map, {ctrl}, label);
    return *this;
}

ParamDef& ParamDef::EditBox(MapID map, int ctrl, const MCHAR* label) {
    BindControl(ui, TYPE_EDITBOX, map, {ctrl}, label);
    return *this;
}

ParamDef& ParamDef::ComboBox(MapID map, int ctrl, std::vector<MSTR> texts) {
    ui.type = TYPE_INT_COMBOBOX;
    ui.map = map;
    ui.controls = {ctrl};
    ui.itemTexts = std::move(texts);
    return *this;
}

ParamBlockDesc2::ParamBlockDesc2(BlockID id, const MCHAR* internalName, StringResID localName,
                                 ClassDesc2* owner, int blockFlags, int refNo)
    : ID(id), int_name(internalName ? internalName : _T("")), local_name(localName), cd(owner),
      flags(blockFlags), ref_no(refNo) {
    if (cd)
        cd->AddParamBlockDesc(this);
}

void ParamBlockDesc2::AddRollout(MapID map, int dialogId, StringResID title, int rolloutFlags) {
    m_rollouts.push_back(RolloutMap{map, dialogId, title, rolloutFlags});
}

ParamDef& ParamBlockDesc2::AddParam(ParamID id, const MCHAR* internalName, ParamType2 type,
                                    int paramFlags, StringResID localName) {
    ParamDef def;
    def.id = id;
    def.int_name = internalName ? internalName : _T("");
    def.type = type;
    def.flags = paramFlags;
    def.local_name = localName;
    m_params.push_back(std::move(def));
    return m_params.back();
}

int ParamBlockDesc2::IDtoIndex(ParamID id) const {
    for (size_t i = 0; i < m_params.size(); ++i) {
        if (m_params[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

ParamID ParamBlockDesc2::IndextoID(int index) const {
    return index >= 0 && index < Count() ? m_params[static_cast<size_t>(index)].id : -1;
}

const ParamDef* ParamBlockDesc2::GetParamDef(ParamID id) const {
    int index = IDtoIndex(id);
    return index < 0 ? nullptr : &m_params[static_cast<size_t>(index)];
}

ParamID ParamBlockDesc2::NameToID(const MCHAR* internalName) const {
    if (!internalName)
        return -1;
    for (const ParamDef& def : m_params) {
        if (def.int_name == internalName)
            return def.id;
    }
    return -1;
}

bool ParamBlockDesc2::Validate(std::string* why) const {
    std::set<ParamID> seen;
    for (const ParamDef& def : m_params) {
        if (!seen.insert(def.id).second) {
            if (why)
                *why = "parameter id " + std::to_string(def.id) + " declared twice in block " +
                       ToUtf8(int_name);
            return false;
        }
        if (def.hasRange && IsNumeric(def.BaseType()) && !def.IsTab() &&
            (def.defNumber < def.rangeLo || def.defNumber > def.rangeHi)) {
            if (why)
                *why = "default of parameter " + ToUtf8(def.int_name) + " lies outside its range";
            return false;
        }
    }
    return true;
}

IParamBlock2::IParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner)
    : m_desc(desc), m_owner(owner) {
    InitFromDesc();
}

IParamBlock2::IParamBlock2() = default;

IParamBlock2::~IParamBlock2() {
    for (IParamMap2* map : m_maps)
        map->BlockDeleted();
}

IParamMap2* IParamBlock2::GetMap(MapID map) const {
    for (IParamMap2* open : m_maps) {
        if (open->GetMapID() == map)
            return open;
    }
    return nullptr;
}

void IParamBlock2::AttachMap(IParamMap2* map) {
    if (map && std::find(m_maps.begin(), m_maps.end(), map) == m_maps.end())
        m_maps.push_back(map);
}

void IParamBlock2::DetachMap(IParamMap2* map) {
    m_maps.erase(std::remove(m_maps.begin(), m_maps.end(), map), m_maps.end());
}

void IParamBlock2::GetClassName(MSTR& s, bool) const {
    s = _T("ParamBlock2");
}

void IParamBlock2::InitFromDesc() {
    m_slots.clear();
    if (!m_desc)
        return;
    for (int i = 0; i < m_desc->Count(); ++i) {
        const ParamDef& def = m_desc->ParamAt(i);
        Slot slot;
        slot.id = def.id;
        slot.type = def.type;
        if (!def.IsTab()) {
            Entry entry;
            entry.number = Normalise(def.BaseType(), def.defNumber);
            entry.text = def.defString;
            slot.entries.push_back(std::move(entry));
        }
        m_slots.push_back(std::move(slot));
    }
}

IParamBlock2::Slot* IParamBlock2::FindSlot(ParamID id) {
    for (Slot& slot : m_slots) {
        if (slot.id == id)
            return &slot;
    }
    return nullptr;
}

IParamBlock2::Entry* IParamBlock2::FindEntry(ParamID id, int tabIndex, ParamType2 wanted,
                                             Slot** slotOut) {
    Slot* slot = FindSlot(id);
    if (!slot)
        return nullptr;
    auto base = static_cast<ParamType2>(slot->type & ~TYPE_TAB);
    bool ok = wanted == base || (IsNumeric(wanted) && IsNumeric(base));
    if (!ok)
        return nullptr;
    if (tabIndex < 0 || tabIndex >= static_cast<int>(slot->entries.size()))
        ThrowRange();
    if (slotOut)
        *slotOut = slot;
    return &slot->entries[static_cast<size_t>(tabIndex)];
}

double IParamBlock2::Evaluate(const Entry& entry, TimeValue t, Interval& valid) const {
    const std::vector<Key>& keys = entry.keys;
    if (keys.empty())
        return entry.number;
    if (t <= keys.front().time) {
        valid &= Interval(TIME_NegInfinity, keys.front().time);
        return keys.front().value;
    }
    if (t >= keys.back().time) {
        valid &= Interval(keys.back().time, TIME_PosInfinity);
        return keys.back().value;
    }
    auto next = std::upper_bound(keys.begin(), keys.end(), t,
                                 [](TimeValue v, const Key& k) { return v < k.time; });
    const Key& a = *(next - 1);
    const Key& b = *next;
    valid &= Interval(t, t);
    double u = static_cast<double>(t - a.time) / (b.time - a.time);
    return a.value + (b.value - a.value) * u;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex) {
    Slot* slot = nullptr;
    Entry* entry = FindEntry(id, tabIndex, TYPE_FLOAT, &slot);
    if (!entry) {
        v = 0.0f;
        return FALSE;
    }
    double value = Evaluate(*entry, t, ivalid);
    v = static_cast<float>(IsIntegral(static_cast<ParamType2>(slot->type & ~TYPE_TAB))
                               ? std::nearbyint(value)
                               : value);
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue t, int& v, Interval& ivalid, int tabIndex) {
    Entry* entry = FindEntry(id, tabIndex, TYPE_INT);
    if (!entry) {
        v = 0;
        return FALSE;
    }
    double value = Evaluate(*entry, t, ivalid);
    v = static_cast<int>(std::nearbyint(std::clamp(value, -2147483648.0, 2147483647.0)));
    return TRUE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, INode*& v, Interval&, int tabIndex) {
    Entry* entry = FindEntry(id, tabIndex, TYPE_INODE);
    v = entry ? entry->node : nullptr;
    return entry ? TRUE : FALSE;
}

BOOL IParamBlock2::GetValue(ParamID id, TimeValue, const MCHAR*& v, Interval&, int tabIndex) {
    Entry* entry = FindEntry(id, tabIndex, TYPE_STRING);
    v = entry ? entry->text.c_str() : _T("");
    return entry ? TRUE : FALSE;
}

int IParamBlock2::GetInt(ParamID id, TimeValue t, int tabIndex) {
    int v = 0;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

float IParamBlock2::GetFloat(ParamID id, TimeValue t, int tabIndex) {
    float v = 0.0f;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

INode* IParamBlock2::GetINode(ParamID id, TimeValue t, int tabIndex) {
    INode* v = nullptr;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

const MCHAR* IParamBlock2::GetStr(ParamID id, TimeValue t, int tabIndex) {
    const MCHAR* v = _T("");
    Interval valid = FOREVER;
    GetValue(id, t, v, valid, tabIndex);
    return v;
}

void IParamBlock2::SetNumber(const ParamDef& def, Entry& entry, TimeValue t, double v) {
    v = Normalise(def.BaseType(), v);
    if (def.IsAnimatable() && !def.IsTab() && Animating()) {
        if (entry.keys.empty() && t != 0)
            entry.keys.push_back(Key{0, entry.number});
        auto it = std::lower_bound(entry.keys.begin(), entry.keys.end(), t,
                                   [](const Key& k, TimeValue time) { return k.time < time; });
        if (it != entry.keys.end() && it->time == t)
            it->value = v;
        else
            entry.keys.insert(it, Key{t, v});
    } else if (!entry.keys.empty()) {
        Interval ignored = FOREVER;
        double delta = v - Evaluate(entry, t, ignored);
        for (Key& key : entry.keys)
            key.value = Normalise(def.BaseType(), key.value + delta);
    } else {
        entry.number = v;
    }
}

/// The values of one parameter before a change. The block and the listed nodes are held as
/// references: the block stays alive while the record does, and a node deleted for good comes
/// back as an empty entry rather than a dangling one.
class ParamSlotRestore final : public RestoreObj {
public:
    ParamSlotRestore(IParamBlock2* block, ParamID id) : m_id(id) {
        m_block.Add(block);
        Keep(*block);
    }

    void Restore(int) override { Swap(); }
    void Redo() override { Swap(); }

private:
    void Keep(IParamBlock2& block) {
        IParamBlock2::Slot* slot = block.FindSlot(m_id);
        m_entries = slot ? slot->entries : std::vector<IParamBlock2::Entry>{};
        m_nodes = std::make_unique<HeldRefs>();
        for (IParamBlock2::Entry& entry : m_entries) {
            m_nodes->Add(entry.node);
            entry.node = nullptr;
        }
    }

    void Swap() {
        auto* block = static_cast<IParamBlock2*>(m_block.Get(0));
        if (!block)
            return;
        std::vector<IParamBlock2::Entry> entries = std::move(m_entries);
        std::unique_ptr<HeldRefs> held = std::move(m_nodes);
        Keep(*block);
        std::vector<INode*> nodes;
        for (int i = 0; i < held->Size(); ++i)
            nodes.push_back(static_cast<INode*>(held->Get(i)));
        block->ReplaceSlot(m_id, std::move(entries), nodes);
    }

    ParamID m_id;
    HeldRefs m_block;
    std::vector<IParamBlock2::Entry> m_entries;
    std::unique_ptr<HeldRefs> m_nodes;
};

void IParamBlock2::HoldSlot(ParamID id) {
    if (theHold.Holding() && FindSlot(id))
        theHold.Put(new ParamSlotRestore(this, id));
}

void IParamBlock2::ReplaceSlot(ParamID id, std::vector<Entry> entries,
                               const std::vector<INode*>& nodes) {
    Slot* slot = FindSlot(id);
    if (!slot)
        return;
    const bool nodeSlot = (slot->type & ~TYPE_TAB) == TYPE_INODE;
    if (nodeSlot) {
        for (int k = 0; k < static_cast<int>(slot->entries.size()); ++k)
            ReplaceReference(RefIndexOf(slot, k), nullptr, FALSE);
    }
    slot->entries = std::move(entries);
    if (nodeSlot) {
        for (int k = 0; k < static_cast<int>(slot->entries.size()); ++k) {
            INode* node =
                k < static_cast<int>(nodes.size()) ? nodes[static_cast<size_t>(k)] : nullptr;
            if (node)
                ReplaceReference(RefIndexOf(slot, k), node, FALSE);
        }
    }
    Changed(id);
}

void IParamBlock2::Changed(ParamID id) {
    m_lastNotify = id;
    // The open rollouts show every change, also one made with notifications off or by undo.
    for (IParamMap2* map : std::vector<IParamMap2*>(m_maps))
        map->Invalidate(id);
    if (m_notify)
        NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue t, float v, int tabIndex) {
    Entry* entry = FindEntry(id, tabIndex, TYPE_FLOAT);
    const ParamDef* def = GetParamDef(id);
    if (!entry || !def)
        return FALSE;
    HoldSlot(id);
    SetNumber(*def, *entry, t, v);
    Changed(id);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue t, int v, int tabIndex) {
    Entry* entry = FindEntry(id, tabIndex, TYPE_INT);
    const ParamDef* def = GetParamDef(id);
    if (!entry || !def)
        return FALSE;
    HoldSlot(id);
    SetNumber(*def, *entry, t, v);
    Changed(id);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, INode* v, int tabIndex) {
    Slot* slot = nullptr;
    Entry* entry = FindEntry(id, tabIndex, TYPE_INODE, &slot);
    if (!entry)
        return FALSE;
    HoldSlot(id);
    ReplaceReference(RefIndexOf(slot, tabIndex), v, FALSE);
    Changed(id);
    return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, const MCHAR* v, int tabIndex) {
    Entry* entry = FindEntry(id, tabIndex, TYPE_STRING);
    if (!entry)
        return FALSE;
    HoldSlot(id);
    entry->text = v ? v : _T("");
    Changed(id);
    return TRUE;
}

int IParamBlock2::Count(ParamID id) {
    Slot* slot = FindSlot(id);
    return slot ? static_cast<int>(slot->entries.size()) : 0;
}

int IParamBlock2::SetCount(ParamID id, int n) {
    Slot* slot = FindSlot(id);
    if (!slot || !(slot->type & TYPE_TAB) || n < 0)
        return -1;
    int old = static_cast<int>(slot->entries.size());
    if (n < old)
        return Delete(id, n, old - n);
    if (n != old)
        HoldSlot(id);
    slot->entries.resize(static_cast<size_t>(n));
    if (n != old)
        Changed(id);
    return n;
}

int IParamBlock2::Append(ParamID id, int num, INode** el, int) {
    Slot* slot = FindSlot(id);
    if (!slot || slot->type != TYPE_INODE_TAB || num < 0 || (num > 0 && !el))
        return -1;
    HoldSlot(id);
    int first = static_cast<int>(slot->entries.size());
    slot->entries.resize(static_cast<size_t>(first + num));
    for (int k = 0; k < num; ++k)
        ReplaceReference(RefIndexOf(slot, first + k), el[k], FALSE);
    Changed(id);
    return first + num;
}

int IParamBlock2::Append(ParamID id, int num, int* el, int) {
    Slot* slot = FindSlot(id);
    if (!slot || !(slot->type & TYPE_TAB) ||
        !IsNumeric(static_cast<ParamType2>(slot->type & ~TYPE_TAB)) || num < 0 || (num > 0 && !el))
        return -1;
    HoldSlot(id);
    auto base = static_cast<ParamType2>(slot->type & ~TYPE_TAB);
    for (int k = 0; k < num; ++k) {
        Entry entry;
        entry.number = Normalise(base, el[k]);
        slot->entries.push_back(std::move(entry));
    }
    Changed(id);
    return static_cast<int>(slot->entries.size());
}

int IParamBlock2::Append(ParamID id, int num, float* el, int) {
    Slot* slot = FindSlot(id);
    if (!slot || !(slot->type & TYPE_TAB) ||
        !IsNumeric(static_cast<ParamType2>(slot->type & ~TYPE_TAB)) || num < 0 || (num > 0 && !el))
        return -1;
    HoldSlot(id);
    auto base = static_cast<ParamType2>(slot->type & ~TYPE_TAB);
    for (int k = 0; k < num; ++k) {
        Entry entry;
        entry.number = Normalise(base, el[k]);
        slot->entries.push_back(std::move(entry));
    }
    Changed(id);
    return static_cast<int>(slot->entries.size());
}

int IParamBlock2::Append(ParamID id, int num, const MCHAR** el, int) {
    Slot* slot = FindSlot(id);
    if (!slot || slot->type != TYPE_STRING_TAB || num < 0 || (num > 0 && !el))
        return -1;
    HoldSlot(id);
    for (int k = 0; k < num; ++k) {
        Entry entry;
        entry.text = el[k] ? el[k] : _T("");
        slot->entries.push_back(std::move(entry));
    }
    Changed(id);
    return static_cast<int>(slot->entries.size());
}

int IParamBlock2::Delete(ParamID id, int start, int num) {
    Slot* slot = FindSlot(id);
    if (!slot || !(slot->type & TYPE_TAB))
        return -1;
    int count = static_cast<int>(slot->entries.size());
    if (num <= 0)
        return count;
    if (start < 0 || start + num > count)
        ThrowRange();
    HoldSlot(id);
    if ((slot->type & ~TYPE_TAB) == TYPE_INODE) {
        for (int k = start; k < start + num; ++k)
            ReplaceReference(RefIndexOf(slot, k), nullptr, FALSE);
    }
    slot->entries.erase(slot->entries.begin() + start, slot->entries.begin() + start + num);
    Changed(id);
    return static_cast<int>(slot->entries.size());
}

bool IParamBlock2::IsAnimated(ParamID id) {
    return GetKeyCount(id) > 0;
}

int IParamBlock2::GetKeyCount(ParamID id) {
    Slot* slot = FindSlot(id);
    return slot && !slot->entries.empty() ? static_cast<int>(slot->entries[0].keys.size()) : 0;
}

std::vector<TimeValue> IParamBlock2::GetKeyTimes(ParamID id) {
    std::vector<TimeValue> times;
    Slot* slot = FindSlot(id);
    if (slot && !slot->entries.empty()) {
        for (const Key& key : slot->entries[0].keys)
            times.push_back(key.time);
    }
    return times;
}

void IParamBlock2::ResetAll() {
    for (int i = 0; i < NumRefs(); ++i)
        ReplaceReference(i, nullptr, FALSE);
    InitFromDesc();
    Changed(-1);
}

ParamID IParamBlock2::FindParamByName(const MCHAR* internalName) const {
    return m_desc ? m_desc->NameToID(internalName) : -1;
}

bool IParamBlock2::SetValueByName(const MCHAR* internalName, TimeValue t, double v,
                                  std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    const std::string name = ToUtf8(internalName ? internalName : _T(""));
    ParamID id = FindParamByName(internalName);
    const ParamDef* def = GetParamDef(id);
    if (!def)
        return fail("no parameter named \"" + name + "\" in block " +
                    (m_desc ? ToUtf8(m_desc->int_name) : std::string("?")));
    if (def->IsTab() || !IsNumeric(def->BaseType()))
        return fail("parameter \"" + name + "\" is not a single number");
    if (!std::isfinite(v))
        return fail("value for \"" + name + "\" is not a finite number");
    if (def->hasRange && (v < def->rangeLo || v > def->rangeHi))
        return fail("value " + std::to_string(v) + " for \"" + name + "\" lies outside " +
                    std::to_string(def->rangeLo) + " .. " + std::to_string(def->rangeHi));
    if (IsIntegral(def->BaseType()))
        return SetValue(id, t, static_cast<int>(std::nearbyint(v))) == TRUE;
    return SetValue(id, t, static_cast<float>(v)) == TRUE;
}

int IParamBlock2::RefIndexOf(const Slot* target, int tabIndex) const {
    int index = 0;
    for (const Slot& slot : m_slots) {
        if (&slot == target)
            return index + tabIndex;
        if ((slot.type & ~TYPE_TAB) == TYPE_INODE)
            index += static_cast<int>(slot.entries.size());
    }
    return -1;
}

IParamBlock2::Entry* IParamBlock2::EntryForRef(int i) {
    if (i < 0)
        return nullptr;
    for (Slot& slot : m_slots) {
        if ((slot.type & ~TYPE_TAB) != TYPE_INODE)
            continue;
        if (i < static_cast<int>(slot.entries.size()))
            return &slot.entries[static_cast<size_t>(i)];
        i -= static_cast<int>(slot.entries.size());
    }
    return nullptr;
}

int IParamBlock2::NumRefs() {
    int n = 0;
    for (const Slot& slot : m_slots) {
        if ((slot.type & ~TYPE_TAB) == TYPE_INODE)
            n += static_cast<int>(slot.entries.size());
    }
    return n;
}

RefTargetHandle IParamBlock2::GetReference(int i) {
    Entry* entry = EntryForRef(i);
    return entry ? entry->node : nullptr;
}

void IParamBlock2::SetReference(int i, RefTargetHandle rtarg) {
    if (Entry* entry = EntryForRef(i))
        entry->node = static_cast<INode*>(rtarg);
}

bool IParamBlock2::AcceptsReference(int i, ReferenceTarget* target) {
    return !target || (EntryForRef(i) && dynamic_cast<INode*>(target) != nullptr);
}

RefResult IParamBlock2::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&,
                                         RefMessage message, BOOL) {
    // Changes of listed nodes (a node moving, being renamed) are not changes of the block; the
    // owner only hears about the block's own values.
    (void)message;
    return REF_DONTCARE;
}

ReferenceTarget* IParamBlock2::Clone(RemapDir& remap) {
    auto* copy = new IParamBlock2(m_desc, nullptr);
    copy->m_slots = m_slots;
    for (Slot& slot : copy->m_slots) {
        for (Entry& entry : slot.entries)
            entry.node = nullptr;
    }
    // Node entries keep pointing at the same scene nodes (nodes are never cloned with a block).
    for (int i = 0; i < NumRefs(); ++i)
        copy->ReplaceReference(i, GetReference(i), FALSE);
    BaseClone(this, copy, remap);
    return copy;
}

IOResult IParamBlock2::Save(ISave* isave) {
    if (!m_desc || !m_desc->cd)
        return IO_ERROR;
    isave->BeginChunk(kHeaderChunk);
    IOResult res = WriteValue(*isave, static_cast<std::uint32_t>(m_desc->cd->SuperClassID()));
    res = res == IO_OK ? WriteValue(*isave, m_desc->cd->ClassID().PartA()) : res;
    res = res == IO_OK ? WriteValue(*isave, m_desc->cd->ClassID().PartB()) : res;
    res = res == IO_OK ? WriteValue(*isave, m_desc->ID) : res;
    isave->EndChunk();
    for (const Slot& slot : m_slots) {
        if (res != IO_OK)
            break;
        isave->BeginChunk(kParamChunk);
        res = WriteValue(*isave, slot.id);
        res = res == IO_OK ? WriteValue(*isave, static_cast<std::int32_t>(slot.type)) : res;
        res = res == IO_OK ? WriteValue(*isave, static_cast<std::uint32_t>(slot.entries.size()))
                           : res;
        auto base = static_cast<ParamType2>(slot.type & ~TYPE_TAB);
        for (const Entry& entry : slot.entries) {
            if (res != IO_OK)
                break;
            if (IsNumeric(base)) {
                res = WriteValue(*isave, entry.number);
                res = res == IO_OK
                          ? WriteValue(*isave, static_cast<std::uint32_t>(entry.keys.size()))
                          : res;
                for (const Key& key : entry.keys) {
                    res = res == IO_OK ? WriteValue(*isave, static_cast<std::int32_t>(key.time))
                                       : res;
                    res = res == IO_OK ? WriteValue(*isave, key.value) : res;
                }
            } else if (base == TYPE_STRING) {
                res = isave->WriteWString(entry.text);
            } else {
                // Nodes are references; one placeholder byte keeps every entry at least one
                // byte long, so a count can be checked against the chunk size on load.
                res = WriteValue(*isave, static_cast<BYTE>(0));
            }
        }
        isave->EndChunk();
    }
    return res;
}

ParamBlockDesc2* IParamBlock2::ReadHeader(ChunkValueReader& in) {
    std::uint32_t sclass = 0, a = 0, b = 0;
    BlockID blockId = 0;
    if (!in(sclass, a, b, blockId).ok())
        return nullptr;
    ClassDesc* cd = GetCOREInterface()->GetClassDirectory().Find(sclass, Class_ID(a, b));
    auto* cd2 = dynamic_cast<ClassDesc2*>(cd);
    return cd2 ? cd2->GetParamBlockDescByID(blockId) : nullptr;
}

void IParamBlock2::ReadParam(ChunkValueReader& in, std::vector<Slot>& slots) {
    ParamID id = -1;
    std::int32_t type = 0;
    std::uint32_t count = 0;
    in(id, type, count);
    auto it = std::find_if(slots.begin(), slots.end(), [&](const Slot& s) { return s.id == id; });
    // A parameter the description no longer has, or whose type changed, is an error: node
    // entries are references counted by position and would shift.
    if (!in.require(it != slots.end() && it->type == type &&
                    ((it->type & TYPE_TAB) || count == 1) && count <= in.remaining()))
        return;
    const auto base = static_cast<ParamType2>(type & ~TYPE_TAB);
    std::vector<Entry> entries(count);
    for (Entry& entry : entries)
        ReadEntry(in, base, entry);
    it->entries = std::move(entries);
}

// Numbers come with their keys (time, value) in strictly increasing time; strings as written;
// nodes are references restored elsewhere and leave one placeholder byte.
void IParamBlock2::ReadEntry(ChunkValueReader& in, ParamType2 base, Entry& entry) {
    if (IsNumeric(base)) {
        std::uint32_t keys = 0;
        in(entry.number, keys);
        in.require(std::uint64_t(keys) * 12 <= in.remaining());
        for (std::uint32_t k = 0; k < keys && in.ok(); ++k) {
            std::int32_t time = 0;
            double value = 0.0;
            in(time, value).require(entry.keys.empty() || entry.keys.back().time < time);
            entry.keys.push_back(Key{time, Normalise(base, value)});
        }
        entry.number = Normalise(base, entry.number);
    } else if (base == TYPE_STRING) {
        in.string(entry.text);
    } else {
        BYTE placeholder = 0;
        in(placeholder);
    }
}

IOResult IParamBlock2::Load(ILoad* iload) {
    std::vector<Slot> slots;
    bool haveHeader = false;
    const IOResult res = ReadChunks(*iload, [&](ChunkValueReader& in) {
        if (in.id() == kHeaderChunk) {
            ParamBlockDesc2* desc = ReadHeader(in);
            if (!in.require(desc != nullptr))
                return;
            m_desc = desc;
            InitFromDesc();
            slots = m_slots;
            haveHeader = true;
        } else if (in.id() == kParamChunk && haveHeader) {
            ReadParam(in, slots);
        }
    });
    if (res != IO_OK || !haveHeader)
        return IO_ERROR;
    m_slots = std::move(slots);
    return IO_OK;
}

IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner) {
    return desc ? new IParamBlock2(desc, owner) : nullptr;
}
