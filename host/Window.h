#pragma once
// Headless windows: a rollout panel as a set of child controls addressed by control id, and the
// few messages plug-ins send them (list boxes and check buttons). Enough for a plug-in's list
// and button handling to run and be observed without a window system.

#include "host/Dialog.h"

#include <map>
#include <vector>

inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETSEL = 0x0187;
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;
inline constexpr LRESULT LB_ERR = -1;

/// One child control: list box items with their selection marks, or a button's check state.
struct HostControl {
    std::vector<MSTR> items;
    std::vector<bool> selected;
    bool checked = false;
    /// Whether the control is a check button (BM_SETCHECK applies).
    bool checkButton = false;
};

/// A window with child controls by id. Owned by whoever made it (a rollout, a test); HWND is a
/// plain pointer to it.
struct HostWindow {
    std::map<int, HostControl> controls;
    /// The control with this id, made on first use.
    HostControl& Control(int id) { return controls[id]; }
};

/// Sends a message to child control `id` of `window`. List boxes: LB_RESETCONTENT,
/// LB_ADDSTRING (lParam: const MCHAR*, returns the index), LB_GETCOUNT, LB_SETSEL (wParam:
/// select, lParam: index or -1 for all), LB_GETSEL, LB_GETSELCOUNT, LB_GETSELITEMS (wParam:
/// capacity, lParam: int*; returns how many were written, in index order), LB_GETTEXT (wParam:
/// index, lParam: MSTR* receiving the text). Buttons: BM_GETCHECK, BM_SETCHECK. A null window
/// or an unknown message answers LB_ERR; nothing is created for a query.
LRESULT SendDlgItemMessage(HWND window, int id, UINT msg, WPARAM wParam, LPARAM lParam);
