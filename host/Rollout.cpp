#include "host/Rollout.h"

#include "host/CustomControls.h"
#include "host/Interface.h"

#include <algorithm>

namespace {

/// The control kind a binding needs for control `index` of its ids.
ControlKind KindFor(const ParamUI& ui, size_t index) {
    switch (ui.type) {
    case TYPE_SPINNER:
        return index == 0 ? ControlKind::Edit : ControlKind::Spinner;
    case TYPE_SINGLECHECKBOX:
        return ControlKind::CheckBox;
    case TYPE_EDITBOX:
        return ControlKind::Edit;
    case TYPE_INT_COMBOBOX:
        return ControlKind::ComboBox;
    case TYPE_NODELISTBOX:
        return ControlKind::ListBox;
    default:
        return ControlKind::CustButton;
    }
}

SpinnerUnits UnitsFor(const ParamDef& def) {
    if (def.BaseType() == TYPE_INT || def.ui.editType == EDITTYPE_INT)
        return SpinnerUnits::Int;
    return def.ui.editType == EDITTYPE_UNIVERSE ? SpinnerUnits::World : SpinnerUnits::Float;
}

void SetUpSpinner(HostWindow& dialog, const ParamDef& def) {
    HostWindow* edit = dialog.FindControl(def.ui.controls[0]);
    HostWindow* spinner =
        def.ui.controls.size() > 1 ? dialog.FindControl(def.ui.controls[1]) : nullptr;
    if (!spinner || spinner->kind != ControlKind::Spinner)
        return;
    spinner->units = UnitsFor(def);
    spinner->scale =
        def.ui.scale > 0.0f ? def.ui.scale : (spinner->units == SpinnerUnits::Int ? 1.0f : 0.1f);
    if (def.hasRange) {
        spinner->minValue = def.rangeLo;
        spinner->maxValue = def.rangeHi;
    } else if (spinner->units == SpinnerUnits::Int) {
        spinner->minValue = -2147483648.0;
        spinner->maxValue = 2147483647.0;
    }
    if (edit && edit->kind == ControlKind::Edit)
        ISpinnerControl(spinner).LinkToEdit(edit, def.ui.editType);
}

} // namespace

Rollout::Rollout(int serial, ReferenceMaker* owner, IParamBlock2* block, const RolloutMap& map,
                 MSTR title, const DialogTemplate* dialog, std::vector<std::string>* problems)
    : m_serial(serial), m_owner(owner), m_title(std::move(title)), m_dialogId(map.dialogId),
      m_rolledUp((map.flags & APPENDROLL_CLOSED) != 0) {
    if (dialog) {
        m_window = CreateDialogFromTemplate(*dialog);
    } else {
        m_window = std::make_unique<HostWindow>();
        m_window->kind = ControlKind::Dialog;
        m_window->id = map.dialogId;
        if (problems)
            problems->push_back("dialog template " + std::to_string(map.dialogId) +
                                " of rollout \"" + ToUtf8(m_title) + "\" not found");
    }
    m_window->text = m_title;
    m_window->handler = this;
    if (block && block->GetDesc()) {
        AddMissingBoundControls(*block->GetDesc(), map.map, problems);
        SetUpBoundControls(*block->GetDesc(), map.map);
    }
    m_map = std::make_unique<IParamMap2>(block, map.map, m_window.get());
    m_map->Invalidate();
}

Rollout::~Rollout() {
    m_map.reset();
    m_window->handler = nullptr;
}

void Rollout::AddMissingBoundControls(const ParamBlockDesc2& desc, MapID map,
                                      std::vector<std::string>* problems) {
    for (int i = 0; i < desc.Count(); ++i) {
        const ParamDef& def = desc.ParamAt(i);
        if (def.ui.type == TYPE_NONE_UI || def.ui.map != map)
            continue;
        for (size_t k = 0; k < def.ui.controls.size(); ++k) {
            const ControlKind wanted = KindFor(def.ui, k);
            const int id = def.ui.controls[k];
            HostWindow* control = m_window->FindControl(id);
            std::string why;
            if (!control) {
                auto made = std::make_unique<HostWindow>();
                made->kind = wanted;
                made->id = id;
                m_window->AddChild(std::move(made));
                why = "has no control " + std::to_string(id);
            } else if (control->kind != wanted) {
                why = "has a " + std::string(ControlKindName(control->kind)) + " as control " +
                      std::to_string(id);
            }
            if (!why.empty() && problems)
                problems->push_back("dialog " + std::to_string(m_dialogId) + " " + why +
                                    ", parameter \"" + ToUtf8(def.int_name) + "\" binds a " +
                                    ControlKindName(wanted));
        }
    }
}

void Rollout::SetUpBoundControls(const ParamBlockDesc2& desc, MapID map) {
    HINSTANCE module = desc.cd ? desc.cd->HInstance() : nullptr;
    for (int i = 0; i < desc.Count(); ++i) {
        const ParamDef& def = desc.ParamAt(i);
        if (def.ui.type == TYPE_NONE_UI || def.ui.map != map || def.ui.controls.empty())
            continue;
        HostWindow* first = m_window->FindControl(def.ui.controls[0]);
        if (def.ui.type == TYPE_SPINNER)
            SetUpSpinner(*m_window, def);
        else if (first && def.ui.type == TYPE_CHECKBUTTON && first->kind == ControlKind::CustButton)
            first->checkButton = true;
        else if (first && def.ui.type == TYPE_INT_COMBOBOX &&
                 first->kind == ControlKind::ComboBox) {
            first->items = def.ui.itemTexts;
            for (StringResID item : def.ui.items) {
                const MSTR* text = module ? module->FindString(static_cast<UINT>(item)) : nullptr;
                first->items.push_back(text ? *text : MSTR());
            }
        }
        if (def.ui.hidden) {
            for (int id : def.ui.controls)
                ShowWindow(m_window->FindControl(id), SW_HIDE);
        }
    }
}

INT_PTR Rollout::HandleDialogMessage(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)dialog;
    // The map writes the bound parameter first, so the procedure sees the new value.
    if (msg == WM_COMMAND)
        m_map->ControlChanged(static_cast<int>(LOWORD(wParam)), HIWORD(wParam));
    else if (msg == CC_SPINNER_CHANGE || msg == WM_CUSTEDIT_ENTER)
        m_map->ControlChanged(static_cast<int>(LOWORD(wParam)), msg);
    return m_map->CallUserProc(msg, wParam, lParam);
}

void RolloutList::OpenFor(ClassDesc2& cd, ReferenceMaker* obj) {
    if (!obj)
        return;
    HINSTANCE module = cd.HInstance();
    for (int i = 0; i < cd.NumParamBlockDescs(); ++i) {
        ParamBlockDesc2* desc = cd.GetParamBlockDesc(i);
        if (!(desc->flags & P_AUTO_UI))
            continue;
        IParamBlock2* block = nullptr;
        for (int r = 0; r < obj->NumRefs() && !block; ++r) {
            auto* candidate = dynamic_cast<IParamBlock2*>(obj->GetReference(r));
            if (candidate && candidate->GetDesc() == desc)
                block = candidate;
        }
        if (!block) {
            m_problems.push_back("no block \"" + ToUtf8(desc->int_name) + "\" to show");
            continue;
        }
        for (const RolloutMap& map : desc->Rollouts()) {
            if (FindMap(block, map.map))
                continue;
            const MSTR* title = module ? module->FindString(static_cast<UINT>(map.title)) : nullptr;
            m_rollouts.push_back(
                std::make_unique<Rollout>(m_nextSerial++, obj, block, map, title ? *title : MSTR(),
                                          FindDialogTemplate(module, map.dialogId), &m_problems));
        }
    }
}

void RolloutList::CloseFor(ReferenceMaker* obj) {
    // Taken out of the list before closing, so a procedure reacting to WM_DESTROY sees a
    // consistent list.
    std::vector<std::unique_ptr<Rollout>> closing;
    for (auto it = m_rollouts.begin(); it != m_rollouts.end();) {
        if ((*it)->Owner() == obj) {
            closing.push_back(std::move(*it));
            it = m_rollouts.erase(it);
        } else {
            ++it;
        }
    }
    while (!closing.empty())
        closing.pop_back();
}

void RolloutList::CloseAll() {
    std::vector<std::unique_ptr<Rollout>> closing = std::move(m_rollouts);
    m_rollouts.clear();
    while (!closing.empty())
        closing.pop_back();
}

Rollout* RolloutList::FindBySerial(int serial) const {
    for (const auto& r : m_rollouts) {
        if (r->Serial() == serial)
            return r.get();
    }
    return nullptr;
}

Rollout* RolloutList::FindByWindow(HWND window) const {
    for (const auto& r : m_rollouts) {
        if (window && r->Window() == window)
            return r.get();
    }
    return nullptr;
}

Rollout* RolloutList::FindByTitle(const MSTR& title, ReferenceMaker* owner) const {
    for (const auto& r : m_rollouts) {
        if (r->Title() == title && (!owner || r->Owner() == owner))
            return r.get();
    }
    return nullptr;
}

IParamMap2* RolloutList::FindMap(IParamBlock2* block, MapID map) const {
    for (const auto& r : m_rollouts) {
        if (block && r->Map()->GetParamBlock() == block && r->Map()->GetMapID() == map)
            return r->Map();
    }
    return nullptr;
}

void RolloutList::TimeChanged() {
    for (const auto& r : m_rollouts)
        r->Map()->Invalidate();
}
