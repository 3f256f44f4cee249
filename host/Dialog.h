#pragma once
// The rollout side of parameter blocks as plug-ins see it: parameter maps binding a rollout's
// controls to a block, the user dialog procedures attached to them, and the window messages they
// receive.

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
inline constexpr UINT LBN_SELCHANGE = 1;
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

class ParamMap2UserDlgProc;

/// One rollout of a parameter block: binds the rollout's controls to the block's parameters both
/// ways (a control edit writes its parameter at the current time, a parameter change updates
/// its controls) and passes the rollout's messages on to the user procedure. The host makes one
/// per open rollout; a map made without a window (tests driving a procedure directly) binds
/// nothing and GetHWnd answers null.
class IParamMap2 {
public:
    IParamMap2(IParamBlock2* block, MapID map, HWND window = nullptr);
    ~IParamMap2();
    IParamMap2(const IParamMap2&) = delete;
    IParamMap2& operator=(const IParamMap2&) = delete;

    /// The block (null after the block was deleted while the rollout stayed open).
    IParamBlock2* GetParamBlock() const { return m_block; }
    MapID GetMapID() const { return m_map; }
    /// The rollout's window while it is open, null otherwise.
    HWND GetHWnd() const { return m_window; }

    /// Attaches the user procedure; the map owns it from now on (DeleteThis when replaced or
    /// when the rollout closes). With an open window the procedure receives WM_INITDIALOG at
    /// once. Null detaches (and deletes) the current one.
    void SetUserDlgProc(ParamMap2UserDlgProc* proc);
    ParamMap2UserDlgProc* GetUserDlgProc() const { return m_proc; }

    /// Shows every bound parameter's value at the current time in its controls.
    void Invalidate();
    /// Shows one parameter's value (called by the block on every change, undo included).
    void Invalidate(ParamID id, int tabIndex = 0);
    /// Enables or disables the controls bound to a parameter.
    void Enable(ParamID id, BOOL onOff, int tabIndex = 0);
    /// Shows or hides the controls bound to a parameter.
    void Show(ParamID id, BOOL onOff, int tabIndex = 0);

    /// A user action on control `id` of the window (BN_CLICKED, CBN_SELCHANGE, EN_CHANGE,
    /// CC_SPINNER_CHANGE as notification codes): writes the bound parameter from the control's
    /// state at the current time, inside an undo record. Answers whether a parameter was bound.
    bool ControlChanged(int id, UINT code);
    /// Passes a window message to the user procedure (0 without one).
    INT_PTR CallUserProc(UINT msg, WPARAM wParam, LPARAM lParam);
    /// The block is going away: the map forgets it and stops binding.
    void BlockDeleted() { m_block = nullptr; }
    /// The rollout is closing: WM_DESTROY to the procedure, which is then deleted; the window is
    /// forgotten.
    void Close();

private:
    /// The parameter whose control (edit, spinner, button, box) has this id, or null.
    const ParamDef* BoundParam(int id) const;
    void ShowValue(const ParamDef& def);

    IParamBlock2* m_block;
    MapID m_map;
    HWND m_window;
    ParamMap2UserDlgProc* m_proc = nullptr;
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
