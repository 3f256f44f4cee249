#include "host/DialogScript.h"

#include "host/CustomControls.h"
#include "host/Interface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace {

const char* UnitsName(SpinnerUnits units) {
    switch (units) {
    case SpinnerUnits::Int:
        return "int";
    case SpinnerUnits::World:
        return "world";
    default:
        return "float";
    }
}

/// Moves the keyboard focus of a rollout to `control` (null: nowhere): the field losing it gets
/// EN_KILLFOCUS, the one gaining it EN_SETFOCUS.
void MoveFocus(HostWindow& dialog, HostWindow* control) {
    for (const auto& child : dialog.children) {
        if (child->focused && child.get() != control) {
            child->focused = false;
            SendMessage(&dialog, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(child->id), EN_KILLFOCUS),
                        reinterpret_cast<LPARAM>(child.get()));
        }
    }
    if (control && !control->focused) {
        control->focused = true;
        SendMessage(&dialog, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(control->id), EN_SETFOCUS),
                    reinterpret_cast<LPARAM>(control));
    }
}

/// Selects a list item as a click does; with `extend` in a multi-selection list it toggles.
void SelectItem(HostWindow& list, int index, bool extend) {
    const auto i = static_cast<size_t>(index);
    if (extend && list.multiSelect) {
        list.selected[i] = !list.selected[i];
    } else {
        list.selected.assign(list.items.size(), false);
        list.selected[i] = true;
    }
    list.curSel = index;
}

void Notify(HostWindow& control, UINT code) {
    SendMessage(control.parent, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(control.id), code),
                reinterpret_cast<LPARAM>(&control));
}

/// Reads a whole string as a number (blanks around it allowed).
bool ParseNumber(const MSTR& text, double& value) {
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    value = std::wcstod(begin, &end);
    if (end == begin)
        return false;
    while (*end && std::iswspace(static_cast<wint_t>(*end)))
        ++end;
    return *end == 0 && std::isfinite(value);
}

void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

std::string JsonNumber(double v) {
    if (!std::isfinite(v))
        return "null";
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", v);
    return text;
}

/// Writes `"key":` then the value.
class JsonObject {
public:
    explicit JsonObject(std::string& out) : m_out(out) { m_out += '{'; }
    ~JsonObject() { m_out += '}'; }
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;
    std::string& Key(const char* key) {
        if (!m_first)
            m_out += ',';
        m_first = false;
        AppendJsonString(m_out, key);
        m_out += ':';
        return m_out;
    }
    void Str(const char* key, const std::string& v) { AppendJsonString(Key(key), v); }
    void Num(const char* key, double v) { Key(key) += JsonNumber(v); }
    void Bool(const char* key, bool v) { Key(key) += v ? "true" : "false"; }

private:
    std::string& m_out;
    bool m_first = true;
};

void ControlToJson(std::string& out, const ControlSnapshot& c) {
    JsonObject o(out);
    o.Num("id", c.id);
    o.Str("kind", c.kind);
    o.Str("text", c.text);
    o.Num("group", c.group);
    o.Key("rect") += "[" + std::to_string(c.rect.x) + "," + std::to_string(c.rect.y) + "," +
                     std::to_string(c.rect.w) + "," + std::to_string(c.rect.h) + "]";
    o.Bool("enabled", c.enabled);
    o.Bool("visible", c.visible);
    o.Bool("checked", c.checked);
    o.Bool("checkButton", c.checkButton);
    o.Bool("focused", c.focused);
    if (c.kind == "spinner") {
        o.Num("value", c.value);
        o.Num("min", c.minValue);
        o.Num("max", c.maxValue);
        o.Num("scale", c.scale);
        o.Str("units", c.units);
    }
    o.Num("linked", c.linked);
    if (c.kind == "list" || c.kind == "combo" || c.kind == "unknown") {
        std::string& items = o.Key("items");
        items += '[';
        for (size_t i = 0; i < c.items.size(); ++i) {
            if (i)
                items += ',';
            AppendJsonString(items, c.items[i]);
        }
        items += ']';
        std::string& sel = o.Key("selection");
        sel += '[';
        for (size_t i = 0; i < c.selection.size(); ++i)
            sel += (i ? "," : "") + std::to_string(c.selection[i]);
        sel += ']';
        o.Num("curSel", c.curSel);
        o.Bool("multiSelect", c.multiSelect);
    }
    if (c.image >= 0) {
        o.Num("image", c.image);
        o.Num("imageWidth", c.imageWidth);
        o.Num("imageHeight", c.imageHeight);
    }
    if (c.hasHighlight)
        o.Num("highlight", c.highlight);
}

} // namespace

ControlSnapshot SnapshotControl(const HostWindow& control) {
    ControlSnapshot s;
    s.id = control.id;
    s.kind = ControlKindName(control.kind);
    s.text = ToUtf8(control.text);
    s.group = control.group;
    s.rect = control.rect;
    s.enabled = control.enabled;
    s.visible = control.visible;
    s.checked = control.checked;
    s.checkButton = control.checkButton;
    s.focused = control.focused;
    s.value = control.kind == ControlKind::Spinner ? control.SpinnerValue() : control.value;
    s.minValue = control.minValue;
    s.maxValue = control.maxValue;
    s.scale = control.scale;
    s.units = UnitsName(control.units);
    s.linked = control.linkedEdit ? control.linkedEdit : control.linkedSpinner;
    for (size_t i = 0; i < control.items.size(); ++i) {
        s.items.push_back(ToUtf8(control.items[i]));
        if (i < control.selected.size() && control.selected[i])
            s.selection.push_back(static_cast<int>(i));
    }
    s.curSel = control.curSel;
    s.multiSelect = control.multiSelect;
    s.image = control.CurrentImage();
    s.imageWidth = control.imageWidth;
    s.imageHeight = control.imageHeight;
    s.hasHighlight = control.hasHighlight;
    s.highlight = control.highlight;
    return s;
}

std::vector<RolloutSnapshot> SnapshotRollouts(const RolloutList& rollouts) {
    std::vector<RolloutSnapshot> out;
    for (int i = 0; i < rollouts.Count(); ++i) {
        const Rollout& r = *rollouts.Get(i);
        RolloutSnapshot s;
        s.serial = r.Serial();
        s.title = ToUtf8(r.Title());
        if (auto* owner = dynamic_cast<Animatable*>(r.Owner())) {
            MSTR name;
            owner->GetClassName(name);
            s.owner = ToUtf8(name);
        }
        s.dialogId = r.DialogId();
        s.map = r.Map()->GetMapID();
        s.rolledUp = r.RolledUp();
        s.width = r.Window()->rect.w;
        s.height = r.Window()->rect.h;
        for (const auto& child : r.Window()->children)
            s.controls.push_back(SnapshotControl(*child));
        out.push_back(std::move(s));
    }
    return out;
}

std::string SnapshotToJson(const std::vector<RolloutSnapshot>& rollouts) {
    std::string out;
    {
        JsonObject root(out);
        std::string& list = root.Key("rollouts");
        list += '[';
        for (size_t i = 0; i < rollouts.size(); ++i) {
            if (i)
                list += ',';
            const RolloutSnapshot& r = rollouts[i];
            JsonObject o(list);
            o.Num("serial", r.serial);
            o.Str("title", r.title);
            o.Str("owner", r.owner);
            o.Num("dialog", r.dialogId);
            o.Num("map", r.map);
            o.Bool("rolledUp", r.rolledUp);
            o.Num("width", r.width);
            o.Num("height", r.height);
            std::string& controls = o.Key("controls");
            controls += '[';
            for (size_t k = 0; k < r.controls.size(); ++k) {
                if (k)
                    controls += ',';
                ControlToJson(controls, r.controls[k]);
            }
            controls += ']';
        }
        list += ']';
    }
    return out;
}

HWND DialogScript::FindRollout(const MCHAR* title, ReferenceMaker* owner) const {
    Rollout* r = title ? m_ip.GetRollouts().FindByTitle(title, owner) : nullptr;
    return r ? r->Window() : nullptr;
}

HWND DialogScript::FindControl(HWND rollout, int id) const {
    return m_ip.GetRollouts().FindByWindow(rollout) ? rollout->FindControl(id) : nullptr;
}

ControlSnapshot DialogScript::Read(HWND rollout, int id) const {
    HWND control = FindControl(rollout, id);
    if (control)
        return SnapshotControl(*control);
    ControlSnapshot none;
    none.kind = "unknown";
    return none;
}

HostWindow* DialogScript::Target(HWND rollout, int id, std::initializer_list<ControlKind> kinds,
                                 std::string* error) const {
    auto fail = [&](const std::string& why) -> HostWindow* {
        if (error)
            *error = why;
        return nullptr;
    };
    Rollout* r = m_ip.GetRollouts().FindByWindow(rollout);
    if (!r)
        return fail("no such open rollout");
    const std::string where = "rollout \"" + ToUtf8(r->Title()) + "\"";
    HostWindow* control = rollout->FindControl(id);
    if (!control)
        return fail(where + " has no control " + std::to_string(id));
    if (std::find(kinds.begin(), kinds.end(), control->kind) == kinds.end())
        return fail("control " + std::to_string(id) + " of " + where + " is a " +
                    ControlKindName(control->kind) + ", which does not take this action");
    if (!control->enabled)
        return fail("control " + std::to_string(id) + " of " + where + " is disabled");
    return control;
}

void DialogScript::Post(HWND rollout, int id, std::function<void(Rollout&, HostWindow&)> action) {
    const int serial = m_ip.GetRollouts().FindByWindow(rollout)->Serial();
    Interface* ip = &m_ip;
    m_ip.GetMessageLoop().PostMessage([ip, serial, id, action = std::move(action)] {
        // The rollout may have closed and the control been disabled since the action was made.
        Rollout* r = ip->GetRollouts().FindBySerial(serial);
        HostWindow* control = r ? r->Window()->FindControl(id) : nullptr;
        if (control && control->enabled)
            action(*r, *control);
    });
}

bool DialogScript::Click(HWND rollout, int id, std::string* error) {
    if (!Target(rollout, id, {ControlKind::CustButton, ControlKind::CheckBox}, error))
        return false;
    Post(rollout, id, [](Rollout&, HostWindow& c) { SendMessage(&c, BM_CLICK, 0, 0); });
    return true;
}

bool DialogScript::SetSpinner(HWND rollout, int id, double value, std::string* error) {
    if (!Target(rollout, id, {ControlKind::Spinner}, error))
        return false;
    if (!std::isfinite(value)) {
        if (error)
            *error = "spinner value is not a finite number";
        return false;
    }
    Post(rollout, id, [value](Rollout&, HostWindow& c) {
        ISpinnerControl(&c).SetValue(static_cast<float>(value), TRUE);
    });
    return true;
}

namespace {

bool CheckIndex(const HostWindow& control, int index, std::string* error) {
    if (index >= 0 && index < static_cast<int>(control.items.size()))
        return true;
    if (error)
        *error = "control " + std::to_string(control.id) + " has no item " + std::to_string(index) +
                 " (it has " + std::to_string(control.items.size()) + ")";
    return false;
}

} // namespace

bool DialogScript::SelectListItem(HWND rollout, int id, int index, bool extend,
                                  std::string* error) {
    HostWindow* list = Target(rollout, id, {ControlKind::ListBox}, error);
    if (!list || !CheckIndex(*list, index, error))
        return false;
    Post(rollout, id, [index, extend](Rollout&, HostWindow& c) {
        if (index >= static_cast<int>(c.items.size()))
            return;
        SelectItem(c, index, extend);
        Notify(c, LBN_SELCHANGE);
    });
    return true;
}

bool DialogScript::DoubleClick(HWND rollout, int id, int index, std::string* error) {
    HostWindow* list = Target(rollout, id, {ControlKind::ListBox}, error);
    if (!list || !CheckIndex(*list, index, error))
        return false;
    Post(rollout, id, [index](Rollout&, HostWindow& c) {
        if (index >= static_cast<int>(c.items.size()))
            return;
        SelectItem(c, index, false);
        Notify(c, LBN_SELCHANGE);
        Notify(c, LBN_DBLCLK);
    });
    return true;
}

bool DialogScript::SelectComboItem(HWND rollout, int id, int index, std::string* error) {
    HostWindow* combo = Target(rollout, id, {ControlKind::ComboBox}, error);
    if (!combo || !CheckIndex(*combo, index, error))
        return false;
    Post(rollout, id, [index](Rollout&, HostWindow& c) {
        if (index >= static_cast<int>(c.items.size()))
            return;
        c.curSel = index;
        Notify(c, CBN_SELCHANGE);
    });
    return true;
}

bool DialogScript::TypeText(HWND rollout, int id, const MCHAR* text, std::string* error) {
    if (!Target(rollout, id, {ControlKind::Edit}, error))
        return false;
    MSTR typed = text ? text : _T("");
    Post(rollout, id, [typed](Rollout& r, HostWindow& edit) {
        MoveFocus(*r.Window(), &edit);
        HostWindow* spinner =
            edit.linkedSpinner ? r.Window()->FindControl(edit.linkedSpinner) : nullptr;
        if (spinner && spinner->kind == ControlKind::Spinner) {
            // A spinner's field takes numbers only; anything else shows the old value again.
            double value = 0.0;
            if (ParseNumber(typed, value))
                ISpinnerControl(spinner).SetValue(static_cast<float>(value), TRUE);
            else
                edit.text = spinner->SpinnerText();
        } else {
            edit.text = typed;
            Notify(edit, EN_CHANGE);
        }
        SendMessage(r.Window(), WM_CUSTEDIT_ENTER, MAKEWPARAM(static_cast<UINT>(edit.id), 0),
                    reinterpret_cast<LPARAM>(&edit));
    });
    return true;
}

bool DialogScript::Focus(HWND rollout, int id, std::string* error) {
    if (id == 0) {
        if (!m_ip.GetRollouts().FindByWindow(rollout)) {
            if (error)
                *error = "no such open rollout";
            return false;
        }
        const int serial = m_ip.GetRollouts().FindByWindow(rollout)->Serial();
        Interface* ip = &m_ip;
        m_ip.GetMessageLoop().PostMessage([ip, serial] {
            if (Rollout* r = ip->GetRollouts().FindBySerial(serial))
                MoveFocus(*r->Window(), nullptr);
        });
        return true;
    }
    if (!Target(rollout, id, {ControlKind::Edit}, error))
        return false;
    Post(rollout, id, [](Rollout& r, HostWindow& edit) { MoveFocus(*r.Window(), &edit); });
    return true;
}
