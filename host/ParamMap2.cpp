#include "host/CustomControls.h"
#include "host/Interface.h"

#include <algorithm>
#include <cmath>

namespace {

TimeValue Now() {
    return GetCOREInterface()->GetTime();
}

bool IsIntParam(const ParamDef& def) {
    const ParamType2 base = def.BaseType();
    return base == TYPE_INT || base == TYPE_BOOL;
}

/// The spinner window of a spinner binding (edit id first, spinner id second), or null.
HostWindow* SpinnerOf(HWND window, const ParamDef& def) {
    if (!window || def.ui.controls.size() < 2)
        return nullptr;
    HostWindow* spinner = window->FindControl(def.ui.controls[1]);
    return spinner && spinner->kind == ControlKind::Spinner ? spinner : nullptr;
}

} // namespace

IParamMap2::IParamMap2(IParamBlock2* block, MapID map, HWND window)
    : m_block(block), m_map(map), m_window(window) {
    if (m_block && m_window)
        m_block->AttachMap(this);
}

IParamMap2::~IParamMap2() {
    Close();
    if (m_block)
        m_block->DetachMap(this);
}

void IParamMap2::SetUserDlgProc(ParamMap2UserDlgProc* proc) {
    if (m_proc && m_proc != proc)
        m_proc->DeleteThis();
    m_proc = proc;
    if (m_proc && m_window)
        m_proc->DlgProc(Now(), this, m_window, WM_INITDIALOG, 0, 0);
}

void IParamMap2::Close() {
    ParamMap2UserDlgProc* proc = m_proc;
    m_proc = nullptr;
    if (proc) {
        if (m_window)
            proc->DlgProc(Now(), this, m_window, WM_DESTROY, 0, 0);
        proc->DeleteThis();
    }
    m_window = nullptr;
}

INT_PTR IParamMap2::CallUserProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return m_proc && m_window ? m_proc->DlgProc(Now(), this, m_window, msg, wParam, lParam) : 0;
}

void IParamMap2::Invalidate() {
    if (!m_block || !m_block->GetDesc())
        return;
    const ParamBlockDesc2& desc = *m_block->GetDesc();
    for (int i = 0; i < desc.Count(); ++i) {
        const ParamDef& def = desc.ParamAt(i);
        if (def.ui.type != TYPE_NONE_UI && def.ui.map == m_map)
            ShowValue(def);
    }
}

void IParamMap2::Invalidate(ParamID id, int tabIndex) {
    (void)tabIndex;
    if (id < 0) {
        Invalidate();
        return;
    }
    const ParamDef* def = m_block ? m_block->GetParamDef(id) : nullptr;
    if (def && def->ui.type != TYPE_NONE_UI && def->ui.map == m_map)
        ShowValue(*def);
}

void IParamMap2::ShowValue(const ParamDef& def) {
    if (!m_window || !m_block || def.IsTab() || def.ui.controls.empty())
        return;
    const TimeValue t = Now();
    HostWindow* control = m_window->FindControl(def.ui.controls[0]);
    switch (def.ui.type) {
    case TYPE_SPINNER:
        if (HostWindow* spinner = SpinnerOf(m_window, def)) {
            ISpinnerControl spin(spinner);
            if (IsIntParam(def))
                spin.SetValue(m_block->GetInt(def.id, t), FALSE);
            else
                spin.SetValue(m_block->GetFloat(def.id, t), FALSE);
        }
        break;
    case TYPE_CHECKBUTTON:
    case TYPE_SINGLECHECKBOX:
        if (control)
            control->checked = m_block->GetInt(def.id, t) != 0;
        break;
    case TYPE_INT_COMBOBOX:
        if (control) {
            const int v = m_block->GetInt(def.id, t);
            control->curSel = v >= 0 && v < static_cast<int>(control->items.size()) ? v : -1;
        }
        break;
    case TYPE_EDITBOX:
        if (control)
            control->text = m_block->GetStr(def.id, t);
        break;
    default:
        break;
    }
}

void IParamMap2::Enable(ParamID id, BOOL onOff, int tabIndex) {
    (void)tabIndex;
    const ParamDef* def = m_block ? m_block->GetParamDef(id) : nullptr;
    if (!def || !m_window || def->ui.map != m_map)
        return;
    for (int control : def->ui.controls)
        EnableWindow(m_window->FindControl(control), onOff);
}

void IParamMap2::Show(ParamID id, BOOL onOff, int tabIndex) {
    (void)tabIndex;
    const ParamDef* def = m_block ? m_block->GetParamDef(id) : nullptr;
    if (!def || !m_window || def->ui.map != m_map)
        return;
    for (int control : def->ui.controls)
        ShowWindow(m_window->FindControl(control), onOff ? SW_SHOW : SW_HIDE);
}

const ParamDef* IParamMap2::BoundParam(int id) const {
    if (!m_block || !m_block->GetDesc())
        return nullptr;
    const ParamBlockDesc2& desc = *m_block->GetDesc();
    for (int i = 0; i < desc.Count(); ++i) {
        const ParamDef& def = desc.ParamAt(i);
        if (def.ui.type != TYPE_NONE_UI && def.ui.map == m_map && !def.IsTab() &&
            std::find(def.ui.controls.begin(), def.ui.controls.end(), id) != def.ui.controls.end())
            return &def;
    }
    return nullptr;
}

bool IParamMap2::ControlChanged(int id, UINT code) {
    const ParamDef* def = m_window ? BoundParam(id) : nullptr;
    HostWindow* control = m_window ? m_window->FindControl(id) : nullptr;
    if (!def || !control)
        return false;
    const TimeValue t = Now();
    IParamBlock2& block = *m_block;
    // Each edit is one undo record; a write of the value already stored records nothing.
    Hold& hold = GetCOREInterface()->GetHold();
    hold.Begin();
    switch (def->ui.type) {
    case TYPE_SPINNER:
        if (HostWindow* spinner = SpinnerOf(m_window, *def);
            spinner && (code == CC_SPINNER_CHANGE || code == WM_CUSTEDIT_ENTER)) {
            if (IsIntParam(*def)) {
                const int v = static_cast<int>(std::lround(spinner->SpinnerValue()));
                if (block.GetInt(def->id, t) != v)
                    block.SetValue(def->id, t, v);
            } else {
                const auto v = static_cast<float>(spinner->value);
                if (block.GetFloat(def->id, t) != v)
                    block.SetValue(def->id, t, v);
            }
        }
        break;
    case TYPE_CHECKBUTTON:
    case TYPE_SINGLECHECKBOX:
        if (code == BN_CLICKED && (block.GetInt(def->id, t) != 0) != control->checked)
            block.SetValue(def->id, t, control->checked ? 1 : 0);
        break;
    case TYPE_INT_COMBOBOX:
        if (code == CBN_SELCHANGE && control->curSel >= 0 &&
            block.GetInt(def->id, t) != control->curSel)
            block.SetValue(def->id, t, control->curSel);
        break;
    case TYPE_EDITBOX:
        if (code == WM_CUSTEDIT_ENTER && control->text != block.GetStr(def->id, t))
            block.SetValue(def->id, t, control->text.c_str());
        break;
    default:
        break;
    }
    hold.Accept(_T("Parameter Change"));
    return true;
}
