#include "host/Window.h"

namespace {

LRESULT ListMessage(HostControl& c, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto count = static_cast<LRESULT>(c.items.size());
    switch (msg) {
    case LB_RESETCONTENT:
        c.items.clear();
        c.selected.clear();
        return 0;
    case LB_ADDSTRING:
        c.items.emplace_back(lParam ? reinterpret_cast<const MCHAR*>(lParam) : _T(""));
        c.selected.push_back(false);
        return count;
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
    case LB_GETSEL:
        return static_cast<WPARAM>(lParam) < c.selected.size() &&
                       c.selected[static_cast<size_t>(lParam)]
                   ? 1
                   : 0;
    case LB_GETSELCOUNT: {
        LRESULT n = 0;
        for (bool s : c.selected)
            n += s ? 1 : 0;
        return n;
    }
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
        if (static_cast<LRESULT>(wParam) >= count || !lParam)
            return LB_ERR;
        *reinterpret_cast<MSTR*>(lParam) = c.items[wParam];
        return static_cast<LRESULT>(c.items[wParam].size());
    default:
        return LB_ERR;
    }
}

} // namespace

LRESULT SendDlgItemMessage(HWND window, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!window)
        return LB_ERR;
    if (msg == BM_GETCHECK || msg == LB_GETCOUNT || msg == LB_GETSEL || msg == LB_GETSELCOUNT ||
        msg == LB_GETSELITEMS || msg == LB_GETTEXT) {
        auto it = window->controls.find(id);
        if (it == window->controls.end())
            return msg == BM_GETCHECK ? BST_UNCHECKED : LB_ERR;
        if (msg == BM_GETCHECK)
            return it->second.checked ? BST_CHECKED : BST_UNCHECKED;
        return ListMessage(it->second, msg, wParam, lParam);
    }
    HostControl& control = window->Control(id);
    if (msg == BM_SETCHECK) {
        control.checked = wParam == BST_CHECKED;
        return 0;
    }
    return ListMessage(control, msg, wParam, lParam);
}
