#include "host/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>

namespace {

bool IsList(const HostWindow& c) {
    return c.kind == ControlKind::ListBox || c.kind == ControlKind::Unknown;
}

LRESULT ListMessage(HostWindow& c, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto count = static_cast<LRESULT>(c.items.size());
    const bool inRange = static_cast<LRESULT>(wParam) >= 0 && static_cast<LRESULT>(wParam) < count;
    switch (msg) {
    case LB_RESETCONTENT:
        c.items.clear();
        c.selected.clear();
        c.curSel = -1;
        return 0;
    case LB_ADDSTRING:
        c.items.emplace_back(lParam ? reinterpret_cast<const MCHAR*>(lParam) : _T(""));
        c.selected.push_back(false);
        return count;
    case LB_DELETESTRING:
        if (!inRange)
            return LB_ERR;
        c.items.erase(c.items.begin() + static_cast<std::ptrdiff_t>(wParam));
        c.selected.erase(c.selected.begin() + static_cast<std::ptrdiff_t>(wParam));
        if (c.curSel == static_cast<int>(wParam))
            c.curSel = -1;
        else if (c.curSel > static_cast<int>(wParam))
            --c.curSel;
        return count - 1;
    case LB_GETCOUNT:
        return count;
    case LB_SETSEL:
        if (lParam == -1) {
            c.selected.assign(c.items.size(), wParam != 0);
            return 0;
        }
        if (lParam < 0 || lParam >= count)
            return LB_ERR;
        c.selected[static_cast<size_t>(lParam)] = wParam != 0;
        return 0;
    case LB_SETCURSEL:
        c.selected.assign(c.items.size(), false);
        if (!inRange) {
            c.curSel = -1;
            return static_cast<LRESULT>(wParam) == -1 ? 0 : LB_ERR;
        }
        c.curSel = static_cast<int>(wParam);
        c.selected[wParam] = true;
        return c.curSel;
    case LB_GETCURSEL:
        return c.curSel;
    case LB_GETSEL:
        return static_cast<WPARAM>(lParam) < c.selected.size() &&
                       c.selected[static_cast<size_t>(lParam)]
                   ? 1
                   : 0;
    case LB_GETSELCOUNT:
        return std::count(c.selected.begin(), c.selected.end(), true);
    case LB_GETSELITEMS: {
        auto* out = reinterpret_cast<int*>(lParam);
        LRESULT n = 0;
        for (size_t i = 0; i < c.selected.size() && out && n < static_cast<LRESULT>(wParam); ++i) {
            if (c.selected[i])
                out[n++] = static_cast<int>(i);
        }
        return n;
    }
    case LB_GETTEXT:
        if (!inRange || !lParam)
            return LB_ERR;
        *reinterpret_cast<MSTR*>(lParam) = c.items[wParam];
        return static_cast<LRESULT>(c.items[wParam].size());
    default:
        return LB_ERR;
    }
}

LRESULT ComboMessage(HostWindow& c, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto count = static_cast<LRESULT>(c.items.size());
    const bool inRange = static_cast<LRESULT>(wParam) >= 0 && static_cast<LRESULT>(wParam) < count;
    switch (msg) {
    case CB_RESETCONTENT:
        c.items.clear();
        c.curSel = -1;
        return 0;
    case CB_ADDSTRING:
        c.items.emplace_back(lParam ? reinterpret_cast<const MCHAR*>(lParam) : _T(""));
        return count;
    case CB_DELETESTRING:
        if (!inRange)
            return CB_ERR;
        c.items.erase(c.items.begin() + static_cast<std::ptrdiff_t>(wParam));
        if (c.curSel == static_cast<int>(wParam))
            c.curSel = -1;
        else if (c.curSel > static_cast<int>(wParam))
            --c.curSel;
        return count - 1;
    case CB_GETCOUNT:
        return count;
    case CB_SETCURSEL:
        c.curSel = inRange ? static_cast<int>(wParam) : -1;
        return inRange ? c.curSel : CB_ERR;
    case CB_GETCURSEL:
        return c.curSel;
    case CB_GETLBTEXT:
        if (!inRange || !lParam)
            return CB_ERR;
        *reinterpret_cast<MSTR*>(lParam) = c.items[wParam];
        return static_cast<LRESULT>(c.items[wParam].size());
    default:
        return CB_ERR;
    }
}

bool IsQuery(UINT msg) {
    return msg == BM_GETCHECK || msg == LB_GETCOUNT || msg == LB_GETSEL || msg == LB_GETSELCOUNT ||
           msg == LB_GETSELITEMS || msg == LB_GETTEXT || msg == LB_GETCURSEL ||
           msg == CB_GETCOUNT || msg == CB_GETCURSEL || msg == CB_GETLBTEXT || msg == WM_GETTEXT ||
           msg == WM_GETTEXTLENGTH;
}

int CopyText(const MSTR& text, MCHAR* buffer, int bufferMax) {
    if (!buffer || bufferMax <= 0)
        return 0;
    const int n = std::min(static_cast<int>(text.size()), bufferMax - 1);
    std::copy(text.begin(), text.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

} // namespace

const char* ControlKindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Dialog:
        return "dialog";
    case ControlKind::CustButton:
        return "button";
    case ControlKind::CheckBox:
        return "checkbox";
    case ControlKind::Edit:
        return "edit";
    case ControlKind::Spinner:
        return "spinner";
    case ControlKind::ComboBox:
        return "combo";
    case ControlKind::ListBox:
        return "list";
    case ControlKind::Static:
        return "static";
    case ControlKind::GroupBox:
        return "group";
    default:
        return "unknown";
    }
}

HostWindow& HostWindow::Control(int controlId) {
    if (HostWindow* found = FindControl(controlId))
        return *found;
    auto child = std::make_unique<HostWindow>();
    child->id = controlId;
    return AddChild(std::move(child));
}

HostWindow* HostWindow::FindControl(int controlId) const {
    for (const auto& child : children) {
        if (child->id == controlId)
            return child.get();
    }
    return nullptr;
}

HostWindow& HostWindow::AddChild(std::unique_ptr<HostWindow> child) {
    child->parent = this;
    children.push_back(std::move(child));
    return *children.back();
}

int HostWindow::CurrentImage() const {
    if (!images)
        return -1;
    return imageIndex[(enabled ? 0 : 2) + (checked ? 1 : 0)];
}

double HostWindow::SpinnerValue() const {
    return units == SpinnerUnits::Int ? std::round(value) : value;
}

MSTR HostWindow::SpinnerText() const {
    char text[64];
    if (units == SpinnerUnits::Int)
        std::snprintf(text, sizeof(text), "%lld", static_cast<long long>(SpinnerValue()));
    else
        std::snprintf(text, sizeof(text), "%.3f", value);
    return MSTR(text, text + std::char_traits<char>::length(text));
}

HWND GetDlgItem(HWND dialog, int id) {
    return dialog ? dialog->FindControl(id) : nullptr;
}

int GetDlgCtrlID(HWND control) {
    return control ? control->id : 0;
}

HWND GetParent(HWND window) {
    return window ? window->parent : nullptr;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    if (!window)
        return FALSE;
    const BOOL wasDisabled = window->enabled ? FALSE : TRUE;
    window->enabled = enable != FALSE;
    if (!window->enabled)
        window->focused = false;
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window) {
    return window && window->enabled ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
    if (!window)
        return FALSE;
    const BOOL wasVisible = window->visible ? TRUE : FALSE;
    window->visible = command != SW_HIDE;
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    return window && window->visible ? TRUE : FALSE;
}

BOOL SetWindowText(HWND window, const MCHAR* text) {
    if (!window)
        return FALSE;
    window->text = text ? text : _T("");
    return TRUE;
}

int GetWindowText(HWND window, MCHAR* buffer, int bufferMax) {
    if (!window) {
        CopyText(MSTR(), buffer, bufferMax);
        return 0;
    }
    return CopyText(window->text, buffer, bufferMax);
}

int GetWindowTextLength(HWND window) {
    return window ? static_cast<int>(window->text.size()) : 0;
}

BOOL SetDlgItemText(HWND dialog, int id, const MCHAR* text) {
    return SetWindowText(GetDlgItem(dialog, id), text);
}

int GetDlgItemText(HWND dialog, int id, MCHAR* buffer, int bufferMax) {
    return GetWindowText(GetDlgItem(dialog, id), buffer, bufferMax);
}

LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!window)
        return LB_ERR;
    if (window->kind == ControlKind::Dialog)
        return window->handler ? window->handler->HandleDialogMessage(window, msg, wParam, lParam)
                               : 0;
    switch (msg) {
    case WM_SETTEXT:
        return SetWindowText(window, reinterpret_cast<const MCHAR*>(lParam));
    case WM_GETTEXT:
        return GetWindowText(window, reinterpret_cast<MCHAR*>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH:
        return GetWindowTextLength(window);
    case BM_GETCHECK:
        return window->checked ? static_cast<LRESULT>(BST_CHECKED) : BST_UNCHECKED;
    case BM_SETCHECK:
        window->checked = wParam == BST_CHECKED;
        return 0;
    case BM_CLICK:
        if (!window->enabled)
            return 0;
        if (window->checkButton)
            window->checked = !window->checked;
        if (window->parent)
            SendMessage(window->parent, WM_COMMAND,
                        MAKEWPARAM(static_cast<UINT>(window->id), BN_CLICKED),
                        reinterpret_cast<LPARAM>(window));
        return 0;
    default:
        break;
    }
    if (msg >= CB_ADDSTRING && msg <= CB_SETCURSEL &&
        (window->kind == ControlKind::ComboBox || window->kind == ControlKind::Unknown))
        return ComboMessage(*window, msg, wParam, lParam);
    if (IsList(*window))
        return ListMessage(*window, msg, wParam, lParam);
    return LB_ERR;
}

LRESULT SendDlgItemMessage(HWND window, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!window)
        return LB_ERR;
    HostWindow* control = window->FindControl(id);
    if (!control) {
        if (IsQuery(msg))
            return msg == BM_GETCHECK ? static_cast<LRESULT>(BST_UNCHECKED) : LB_ERR;
        control = &window->Control(id);
    }
    return SendMessage(control, msg, wParam, lParam);
}
