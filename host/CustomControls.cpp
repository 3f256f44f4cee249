#include "host/CustomControls.h"

#include <algorithm>
#include <cmath>

namespace {

/// Shows a spinner's value in its linked edit field.
void ShowSpinnerText(HostWindow& spinner) {
    if (!spinner.linkedEdit || !spinner.parent)
        return;
    if (HostWindow* edit = spinner.parent->FindControl(spinner.linkedEdit))
        edit->text = spinner.SpinnerText();
}

void SetSpinnerValue(HostWindow& spinner, double value, BOOL notify) {
    spinner.value = std::clamp(value, spinner.minValue, spinner.maxValue);
    if (spinner.units == SpinnerUnits::Int)
        spinner.value = spinner.SpinnerValue();
    ShowSpinnerText(spinner);
    if (notify && spinner.parent)
        SendMessage(spinner.parent, CC_SPINNER_CHANGE, MAKEWPARAM(static_cast<UINT>(spinner.id), 0),
                    reinterpret_cast<LPARAM>(&spinner));
}

} // namespace

void ICustButton::SetType(int type) {
    m_w->checkButton = type == CBT_CHECK;
    if (!m_w->checkButton)
        m_w->checked = false;
}

void ICustButton::SetCheck(BOOL checked) {
    m_w->checked = checked != FALSE;
}

BOOL ICustButton::IsChecked() const {
    return m_w->checked ? TRUE : FALSE;
}

void ICustButton::Enable(BOOL onOff) {
    EnableWindow(m_w, onOff);
}

BOOL ICustButton::IsEnabled() const {
    return IsWindowEnabled(m_w);
}

void ICustButton::SetImage(HIMAGELIST list, int outEnabled, int inEnabled, int outDisabled,
                           int inDisabled, int w, int h) {
    m_w->images = list;
    m_w->imageIndex[0] = outEnabled;
    m_w->imageIndex[1] = inEnabled;
    m_w->imageIndex[2] = outDisabled;
    m_w->imageIndex[3] = inDisabled;
    m_w->imageWidth = w;
    m_w->imageHeight = h;
}

void ICustButton::SetHighlightColor(COLORREF colour) {
    m_w->highlight = colour;
    m_w->hasHighlight = true;
}

void ICustButton::SetText(const MCHAR* text) {
    SetWindowText(m_w, text);
}

void ICustButton::GetText(MCHAR* buffer, int bufferMax) const {
    GetWindowText(m_w, buffer, bufferMax);
}

void ISpinnerControl::SetLimits(float minValue, float maxValue, BOOL limitCurrent) {
    m_w->minValue = std::min(minValue, maxValue);
    m_w->maxValue = std::max(minValue, maxValue);
    if (limitCurrent)
        SetSpinnerValue(*m_w, m_w->value, FALSE);
}

void ISpinnerControl::SetLimits(int minValue, int maxValue, BOOL limitCurrent) {
    SetLimits(static_cast<float>(minValue), static_cast<float>(maxValue), limitCurrent);
}

void ISpinnerControl::SetValue(float value, BOOL notify) {
    SetSpinnerValue(*m_w, value, notify);
}

void ISpinnerControl::SetValue(int value, BOOL notify) {
    SetSpinnerValue(*m_w, value, notify);
}

float ISpinnerControl::GetFVal() const {
    return static_cast<float>(m_w->SpinnerValue());
}

int ISpinnerControl::GetIVal() const {
    return static_cast<int>(std::lround(m_w->value));
}

void ISpinnerControl::SetScale(float scale) {
    m_w->scale = scale;
}

void ISpinnerControl::Enable(BOOL onOff) {
    EnableWindow(m_w, onOff);
    if (m_w->linkedEdit && m_w->parent)
        EnableWindow(m_w->parent->FindControl(m_w->linkedEdit), onOff);
}

BOOL ISpinnerControl::IsEnabled() const {
    return IsWindowEnabled(m_w);
}

void ISpinnerControl::LinkToEdit(HWND edit, int editType) {
    (void)editType;
    if (!edit)
        return;
    m_w->linkedEdit = edit->id;
    edit->linkedSpinner = m_w->id;
    ShowSpinnerText(*m_w);
}

void ICustEdit::SetText(const MCHAR* text) {
    SetWindowText(m_w, text);
}

void ICustEdit::GetText(MCHAR* buffer, int bufferMax) const {
    GetWindowText(m_w, buffer, bufferMax);
}

MSTR ICustEdit::GetText() const {
    return m_w->text;
}

BOOL ICustEdit::HasFocus() const {
    return m_w->focused ? TRUE : FALSE;
}

void ICustEdit::Enable(BOOL onOff) {
    EnableWindow(m_w, onOff);
}

BOOL ICustEdit::IsEnabled() const {
    return IsWindowEnabled(m_w);
}

ICustButton* GetICustButton(HWND window) {
    return window && window->kind == ControlKind::CustButton ? new ICustButton(window) : nullptr;
}

void ReleaseICustButton(ICustButton* button) {
    delete button;
}

ISpinnerControl* GetISpinner(HWND window) {
    return window && window->kind == ControlKind::Spinner ? new ISpinnerControl(window) : nullptr;
}

void ReleaseISpinner(ISpinnerControl* spinner) {
    delete spinner;
}

ICustEdit* GetICustEdit(HWND window) {
    return window && window->kind == ControlKind::Edit ? new ICustEdit(window) : nullptr;
}

void ReleaseICustEdit(ICustEdit* edit) {
    delete edit;
}
