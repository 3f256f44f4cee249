#pragma once
// Parameter blocks: ParamBlockDesc2 describes a block statically (ids, internal names, types,
// defaults, ranges, rollouts and control bindings); IParamBlock2 holds one object's values,
// keyframed for animatable parameters, and is saved with the scene.
//
// Descriptions are built in code with AddParam / AddRollout, one call per parameter:
//   static ParamBlockDesc2 desc(0, _T("params"), 0, &theClassDesc, P_AUTO_CONSTRUCT | P_AUTO_UI);
//   desc.AddParam(1, _T("Size"), TYPE_FLOAT, P_ANIMATABLE, IDS_SIZE)
//       .Default(1.0f).Range(0.0f, 100.0f).Spinner(0, EDITTYPE_FLOAT, 1024, 1025);

#include "host/Reference.h"
#include "host/Tab.h"

#include <string>
#include <vector>

class ClassDesc2;
class INode;
class IParamMap2;

using ParamID = short;
using BlockID = short;
using MapID = short;
/// Id of a string in a module's string table.
using StringResID = int;

/// Parameter types. TYPE_TAB marks a variable-size table of the base type.
enum ParamType2 {
    TYPE_FLOAT = 0,
    TYPE_INT = 1,
    TYPE_BOOL = 4,
    TYPE_ANGLE = 5,
    TYPE_PCNT_FRAC = 6,
    /// A float in scene units (shown with a unit spinner).
    TYPE_WORLD = 7,
    TYPE_STRING = 8,
    TYPE_INODE = 17,
    TYPE_TAB = 0x800,
    TYPE_FLOAT_TAB = TYPE_FLOAT | TYPE_TAB,
    TYPE_INT_TAB = TYPE_INT | TYPE_TAB,
    TYPE_BOOL_TAB = TYPE_BOOL | TYPE_TAB,
    TYPE_WORLD_TAB = TYPE_WORLD | TYPE_TAB,
    TYPE_STRING_TAB = TYPE_STRING | TYPE_TAB,
    TYPE_INODE_TAB = TYPE_INODE | TYPE_TAB,
};

/// Block flags.
inline constexpr int P_CLASS_PARAMS = 0x01;
/// The class descriptor builds the block into reference `refNo` of every new object.
inline constexpr int P_AUTO_CONSTRUCT = 0x02;
/// The host builds the rollouts from the control bindings.
inline constexpr int P_AUTO_UI = 0x04;
inline constexpr int P_USE_PARAMS = 0x08;
inline constexpr int P_INCLUDE_PARAMS = 0x10;
/// The block has several rollouts (maps).
inline constexpr int P_MULTIMAP = 0x20;

/// Parameter flags (other bits are kept as declared).
inline constexpr int P_ANIMATABLE = 0x0001;
inline constexpr int P_TRANSIENT = 0x0002;
inline constexpr int P_RESET_DEFAULT = 0x0020;
inline constexpr int P_VARIABLE_SIZE = 0x1000;

/// Kind of control a parameter is bound to in its rollout.
enum ControlType2 {
    TYPE_NONE_UI,
    TYPE_SPINNER,
    TYPE_RADIO,
    TYPE_SINGLECHECKBOX,
    TYPE_CHECKBUTTON,
    TYPE_EDITBOX,
    TYPE_INT_COMBOBOX,
    TYPE_NODELISTBOX,
    TYPE_PICKNODEBUTTON,
};

/// How a spinner edits its value.
enum EditSpinnerType { EDITTYPE_FLOAT, EDITTYPE_INT, EDITTYPE_UNIVERSE, EDITTYPE_POS_FLOAT };
/// Spinner scale meaning "choose automatically".
inline constexpr float SPIN_AUTOSCALE = -1.0f;

/// The control binding of one parameter.
struct ParamUI {
    ControlType2 type = TYPE_NONE_UI;
    MapID map = 0;
    EditSpinnerType editType = EDITTYPE_FLOAT;
    /// Control ids: edit + spinner for spinners, one id for buttons, boxes and lists.
    std::vector<int> controls;
    float scale = SPIN_AUTOSCALE;
    /// Combo box entries as string ids (or literal texts in `itemTexts`).
    std::vector<StringResID> items;
    std::vector<MSTR> itemTexts;
    /// Text shown beside the control.
    MSTR label;
    bool hidden = false;
};

/// Definition of one parameter; built with IParamBlockDesc2::AddParam and the setters below.
class ParamDef {
public:
    ParamID id = -1;
    MSTR int_name;
    ParamType2 type = TYPE_FLOAT;
    int flags = 0;
    StringResID local_name = 0;
    /// Default of numeric types (converted to the parameter's type) and of strings.
    double defNumber = 0.0;
    MSTR defString;
    bool hasRange = false;
    double rangeLo = 0.0;
    double rangeHi = 0.0;
    ParamUI ui;

    ParamDef& Default(double v) {
        defNumber = v;
        return *this;
    }
    ParamDef& Default(float v) { return Default(static_cast<double>(v)); }
    ParamDef& Default(int v) { return Default(static_cast<double>(v)); }
    ParamDef& Default(bool v) { return Default(v ? 1.0 : 0.0); }
    ParamDef& Default(const MCHAR* s) {
        defString = s ? s : _T("");
        return *this;
    }
    ParamDef& Range(double lo, double hi) {
        hasRange = true;
        rangeLo = lo;
        rangeHi = hi;
        return *this;
    }
    ParamDef& Spinner(MapID map, EditSpinnerType edit, int editCtrl, int spinCtrl,
                      float scale = SPIN_AUTOSCALE, const MCHAR* label = nullptr);
    ParamDef& CheckButton(MapID map, int ctrl, const MCHAR* label = nullptr);
    ParamDef& CheckBox(MapID map, int ctrl, const MCHAR* label = nullptr);
    ParamDef& EditBox(MapID map, int ctrl, const MCHAR* label = nullptr);
    ParamDef& ComboBox(MapID map, int ctrl, std::vector<MSTR> texts);
    ParamDef& Hidden() {
        ui.hidden = true;
        return *this;
    }

    bool IsTab() const { return (type & TYPE_TAB) != 0; }
    ParamType2 BaseType() const { return static_cast<ParamType2>(type & ~TYPE_TAB); }
    bool IsAnimatable() const { return (flags & P_ANIMATABLE) != 0; }
};

/// Rollout flag: the rollout opens rolled up.
inline constexpr int APPENDROLL_CLOSED = 0x0001;

/// One rollout of a block.
struct RolloutMap {
    MapID map = 0;
    int dialogId = 0;
    StringResID title = 0;
    /// Rollout flags (for example "appended closed").
    int flags = 0;
};

/// Static description of a parameter block. Constructing it with a class descriptor registers
/// it there (the descriptor does not own it; both usually are statics of one module).
class ParamBlockDesc2 {
public:
    BlockID ID;
    MSTR int_name;
    StringResID local_name;
    ClassDesc2* cd;
    int flags;
    /// Reference of the owner the block is built into (P_AUTO_CONSTRUCT).
    int ref_no;

    ParamBlockDesc2(BlockID id, const MCHAR* internalName, StringResID localName, ClassDesc2* owner,
                    int blockFlags, int refNo = 0);
    ParamBlockDesc2(const ParamBlockDesc2&) = delete;
    ParamBlockDesc2& operator=(const ParamBlockDesc2&) = delete;

    /// Appends a rollout (maps are listed in declaration order).
    void AddRollout(MapID map, int dialogId, StringResID title, int rolloutFlags = 0);
    /// Appends a parameter and returns it for the setters.
    ParamDef& AddParam(ParamID id, const MCHAR* internalName, ParamType2 type, int paramFlags,
                       StringResID localName);

    int Count() const { return static_cast<int>(m_params.size()); }
    /// Index of a parameter id, or -1.
    int IDtoIndex(ParamID id) const;
    /// Id of the parameter at an index, or -1.
    ParamID IndextoID(int index) const;
    /// The parameter with this id, or null.
    const ParamDef* GetParamDef(ParamID id) const;
    const ParamDef& ParamAt(int index) const { return m_params[static_cast<size_t>(index)]; }
    /// Id of the first parameter with this internal name (exact match), or -1.
    ParamID NameToID(const MCHAR* internalName) const;
    const std::vector<RolloutMap>& Rollouts() const { return m_rollouts; }
    /// Checks ids for duplicates and defaults against ranges; `why` gets the first problem.
    bool Validate(std::string* why = nullptr) const;

private:
    std::vector<ParamDef> m_params;
    std::vector<RolloutMap> m_rollouts;
};

/// One object's parameter values. Node parameters are references of the block (deleting a node
/// leaves an empty entry). Changing a value records its id (LastNotifyParamID) and, unless
/// notifications are disabled, sends REFMSG_CHANGE to the owner. Inside an undo record every
/// change of a value or a table is undone (and redone) with the record.
///
/// Reads and writes by id check the id and the type: an unknown id or a mismatched type reads as
/// zero / null and makes SetValue answer FALSE. A table index outside 0..Count-1 throws
/// std::out_of_range with Tab<T>'s message.
class ChunkValueReader;

class IParamBlock2 : public ReferenceTarget {
public:
    /// A block with the description's defaults (tables empty).
    IParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);
    /// An empty block for loading; Load finds its description.
    IParamBlock2();
    /// Open maps forget the block.
    ~IParamBlock2() override;

    Class_ID ClassID() override { return paramBlock2ClassID; }
    SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }
    void GetClassName(MSTR& s, bool localized = true) const override;

    ParamBlockDesc2* GetDesc() const { return m_desc; }
    BlockID ID() const { return m_desc ? m_desc->ID : -1; }
    ReferenceMaker* GetOwner() const { return m_owner; }
    void SetOwner(ReferenceMaker* owner) { m_owner = owner; }
    int NumParams() const { return m_desc ? m_desc->Count() : 0; }
    int IDtoIndex(ParamID id) const { return m_desc ? m_desc->IDtoIndex(id) : -1; }
    ParamID IndextoID(int index) const { return m_desc ? m_desc->IndextoID(index) : -1; }
    const ParamDef* GetParamDef(ParamID id) const {
        return m_desc ? m_desc->GetParamDef(id) : nullptr;
    }

    BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, int& v, Interval& ivalid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, INode*& v, Interval& ivalid, int tabIndex = 0);
    BOOL GetValue(ParamID id, TimeValue t, const MCHAR*& v, Interval& ivalid, int tabIndex = 0);
    int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0);
    float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0);
    INode* GetINode(ParamID id, TimeValue t = 0, int tabIndex = 0);
    /// The string value; the pointer stays valid until the value changes. Empty for non-strings.
    const MCHAR* GetStr(ParamID id, TimeValue t = 0, int tabIndex = 0);

    BOOL SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, double v, int tabIndex = 0) {
        return SetValue(id, t, static_cast<float>(v), tabIndex);
    }
    BOOL SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, bool v, int tabIndex = 0) {
        return SetValue(id, t, v ? 1 : 0, tabIndex);
    }
    BOOL SetValue(ParamID id, TimeValue t, INode* v, int tabIndex = 0);
    BOOL SetValue(ParamID id, TimeValue t, const MCHAR* v, int tabIndex = 0);

    /// Number of entries of a table parameter (1 for a plain parameter, 0 for an unknown id).
    int Count(ParamID id);
    /// Appends num entries to a table; returns the new count (-1 for a non-table or wrong type).
    int Append(ParamID id, int num, INode** el, int allocExtra = 0);
    int Append(ParamID id, int num, int* el, int allocExtra = 0);
    int Append(ParamID id, int num, float* el, int allocExtra = 0);
    int Append(ParamID id, int num, const MCHAR** el, int allocExtra = 0);
    /// Deletes num entries from start; returns the new count.
    int Delete(ParamID id, int start, int num);
    /// Sets a table's size (new entries hold zero / null / empty); returns the new count.
    int SetCount(ParamID id, int n);
    void ZeroCount(ParamID id) { SetCount(id, 0); }

    /// Whether the parameter has keys, and how many.
    bool IsAnimated(ParamID id);
    int GetKeyCount(ParamID id);
    /// Key times of an animated parameter.
    std::vector<TimeValue> GetKeyTimes(ParamID id);

    /// Id of the parameter changed last (-1 before any change).
    ParamID LastNotifyParamID() const { return m_lastNotify; }
    /// Turns the owner's change notifications off or on (changes are still recorded).
    void EnableNotifications(BOOL onOff) { m_notify = onOff != FALSE; }
    BOOL NotificationsEnabled() const { return m_notify; }
    /// Resets every parameter to its default (tables emptied, keys dropped).
    void ResetAll();

    /// The open rollout map `map` of this block, or null when that rollout is not open.
    IParamMap2* GetMap(MapID map = 0) const;
    /// Registers / unregisters an open map (done by IParamMap2); every change of a value, undo
    /// included, is shown in the registered maps' controls.
    void AttachMap(IParamMap2* map);
    void DetachMap(IParamMap2* map);

    /// Finds a parameter by internal name (-1 when none). For scripts and the application.
    ParamID FindParamByName(const MCHAR* internalName) const;
    /// Sets a numeric parameter by internal name, refusing unknown names, wrong types and values
    /// outside the declared range; `error` receives the reason.
    bool SetValueByName(const MCHAR* internalName, TimeValue t, double v,
                        std::string* error = nullptr);

    int NumRefs() override;
    RefTargetHandle GetReference(int i) override;
    void SetReference(int i, RefTargetHandle rtarg) override;
    bool AcceptsReference(int i, ReferenceTarget* target) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

private:
    friend class ParamSlotRestore;

    struct Key {
        TimeValue time;
        double value;
    };
    struct Entry {
        double number = 0.0;
        MSTR text;
        INode* node = nullptr;
        std::vector<Key> keys;
    };
    struct Slot {
        ParamID id = -1;
        ParamType2 type = TYPE_FLOAT;
        std::vector<Entry> entries;
    };

    void InitFromDesc();
    /// The description named by a header chunk; null when no loaded class has it.
    static ParamBlockDesc2* ReadHeader(ChunkValueReader& in);
    /// Reads one parameter chunk into the matching slot; fails for unknown or retyped ids.
    static void ReadParam(ChunkValueReader& in, std::vector<Slot>& slots);
    static void ReadEntry(ChunkValueReader& in, ParamType2 base, Entry& entry);
    Slot* FindSlot(ParamID id);
    Entry* FindEntry(ParamID id, int tabIndex, ParamType2 wanted, Slot** slotOut = nullptr);
    double Evaluate(const Entry& entry, TimeValue t, Interval& valid) const;
    void SetNumber(const ParamDef& def, Entry& entry, TimeValue t, double v);
    int RefIndexOf(const Slot* slot, int tabIndex) const;
    Entry* EntryForRef(int i);
    void Changed(ParamID id);
    /// Records the values of one parameter before a change, when an undo record is open.
    void HoldSlot(ParamID id);
    /// Replaces the entries of one parameter (undo), re-pointing its node references.
    void ReplaceSlot(ParamID id, std::vector<Entry> entries, const std::vector<INode*>& nodes);

    ParamBlockDesc2* m_desc = nullptr;
    ReferenceMaker* m_owner = nullptr;
    std::vector<Slot> m_slots;
    ParamID m_lastNotify = -1;
    bool m_notify = true;
    std::vector<IParamMap2*> m_maps;
};

/// A new block for `desc` owned by `owner` (not yet referenced by it).
IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);
