#pragma once
// The rollout side of parameter blocks as plug-ins see it: user dialog procedures attached to a
// block's parameter maps, and the window messages they receive. The headless host does not draw
// rollouts yet; these declarations let plug-in code compile and let the application drive the
// procedures with the same messages a window system would send.

#include "host/ParamBlock2.h"
#include "host/Win32.h"

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using INT_PTR = std::intptr_t;

inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT LB_ADDSTRING = 0x0180;
inline constexpr UINT LB_RESETCONTENT = 0x0184;
inline constexpr UINT LB_SETSEL = 0x0185;
inline constexpr UINT LB_GETSELCOUNT = 0x0190;
inline constexpr UINT LB_GETSELITEMS = 0x0191;
inline constexpr UINT LB_GETCOUNT = 0x018B;
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT CBN_SELCHANGE = 1;
inline constexpr UINT EN_CHANGE = 0x0300;
inline constexpr UINT EN_SETFOCUS = 0x0100;
inline constexpr UINT EN_KILLFOCUS = 0x0200;
inline constexpr UINT LBN_DBLCLK = 2;

/// Low and high 16 bits of a message argument (control id and notification code of WM_COMMAND).
constexpr UINT LOWORD(WPARAM w) {
    return static_cast<UINT>(w & 0xFFFF);
}
constexpr UINT HIWORD(WPARAM w) {
    return static_cast<UINT>((w >> 16) & 0xFFFF);
}
/// WM_COMMAND's wParam for a control id and a notification code.
constexpr WPARAM MAKEWPARAM(UINT low, UINT high) {
    return static_cast<WPARAM>((low & 0xFFFF) | ((high & 0xFFFF) << 16));
}

/// One rollout of a parameter block: the map that binds its controls to parameters.
class IParamMap2 {
public:
    IParamMap2(IParamBlock2* block, MapID map) : m_block(block), m_map(map) {}
    IParamBlock2* GetParamBlock() const { return m_block; }
    MapID GetMapID() const { return m_map; }
    /// The rollout's window (null: the headless host has none).
    HWND GetHWnd() const { return nullptr; }

private:
    IParamBlock2* m_block;
    MapID m_map;
};

/// A plug-in's procedure for the behaviour of a rollout beyond the automatic bindings. The
/// procedure is owned by whoever attached it and freed through DeleteThis.
class ParamMap2UserDlgProc {
public:
    virtual ~ParamMap2UserDlgProc() = default;
    /// Handles one window message of the rollout; answers 0 when not handled further.
    virtual INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                            LPARAM lParam) = 0;
    virtual void DeleteThis() = 0;
};
