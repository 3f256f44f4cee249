#pragma once
// Headless windows: a rollout panel is a window whose children are its controls, addressed by
// control id. Every control keeps the state a window system would draw (text, check mark, list
// items, spinner value, enabled, visible), so plug-in code runs unchanged and tests, the
// application and the studio can observe and drive it.

#include "host/Dialog.h"
#include "host/ImageList.h"

#include <memory>
#include <vector>

inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT LB_GETTEXT = 0x0189;
inline constexpr UINT LB_GETSEL = 0x0187;
inline constexpr UINT LB_GETCURSEL = 0x0188;
inline constexpr UINT LB_SETCURSEL = 0x0186;
inline constexpr UINT LB_DELETESTRING = 0x0182;
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_CLICK = 0x00F5;
inline constexpr UINT CB_ADDSTRING = 0x0143;
inline constexpr UINT CB_DELETESTRING = 0x0144;
inline constexpr UINT CB_GETCOUNT = 0x0146;
inline constexpr UINT CB_GETCURSEL = 0x0147;
inline constexpr UINT CB_GETLBTEXT = 0x0148;
inline constexpr UINT CB_RESETCONTENT = 0x014B;
inline constexpr UINT CB_SETCURSEL = 0x014E;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;
inline constexpr LRESULT LB_ERR = -1;
inline constexpr LRESULT CB_ERR = -1;
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

/// What a window is. A dialog is a rollout panel; the others are its controls.
enum class ControlKind {
    Dialog,
    /// A control made on first use by SendDlgItemMessage, without a template line.
    Unknown,
    /// Custom button (ICustButton): push or check type, images, highlight colour.
    CustButton,
    /// Standard check box.
    CheckBox,
    /// Custom edit field (ICustEdit), also the edit half of a spinner.
    Edit,
    /// Custom spinner (ISpinnerControl); shows its value in its linked edit field.
    Spinner,
    ComboBox,
    ListBox,
    Static,
    GroupBox,
};

/// "dialog", "button", "checkbox", "edit", "spinner", "combo", "list", "static", "group" or
/// "unknown".
const char* ControlKindName(ControlKind kind);

/// How a spinner formats and rounds its value.
enum class SpinnerUnits { Float, Int, World };

/// Placement in dialog units, relative to the dialog.
struct DialogRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

/// Receives the messages sent to a dialog window (the rollout that owns it).
class HostDialogHandler {
public:
    virtual ~HostDialogHandler() = default;
    virtual INT_PTR HandleDialogMessage(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

/// A dialog or one of its controls. A dialog owns its controls; whoever made a dialog (a
/// rollout, a test) owns it. HWND is a plain pointer to it.
struct HostWindow {
    ControlKind kind = ControlKind::Unknown;
    int id = 0;
    /// Window text: caption of buttons, statics and group boxes, contents of edit fields.
    MSTR text;
    bool enabled = true;
    bool visible = true;
    DialogRect rect;
    /// Id of the group box the control sits in (-1: none).
    int group = -1;
    HostWindow* parent = nullptr;

    // Buttons and check boxes.
    bool checked = false;
    /// Whether the button keeps a check state (check box, or custom button of check type).
    bool checkButton = false;
    HIMAGELIST images = nullptr;
    /// Image indices: out enabled, in enabled, out disabled, in disabled (-1: none).
    int imageIndex[4] = {-1, -1, -1, -1};
    int imageWidth = 0;
    int imageHeight = 0;
    COLORREF highlight = 0;
    bool hasHighlight = false;

    // List and combo boxes.
    std::vector<MSTR> items;
    std::vector<bool> selected;
    /// List box allowing several selected items.
    bool multiSelect = false;
    /// Current selection of a combo box or single-selection list box (-1: none).
    int curSel = -1;

    // Spinners and edit fields.
    double value = 0.0;
    double minValue = -1.0e30;
    double maxValue = 1.0e30;
    float scale = 0.1f;
    SpinnerUnits units = SpinnerUnits::Float;
    /// Id of the edit field showing a spinner's value (0: none).
    int linkedEdit = 0;
    /// Id of the spinner an edit field belongs to (0: none).
    int linkedSpinner = 0;
    bool focused = false;

    // Dialogs.
    std::vector<std::unique_ptr<HostWindow>> children;
    HostDialogHandler* handler = nullptr;

    /// The child control with this id, made (kind Unknown) on first use.
    HostWindow& Control(int id);
    /// The child control with this id, or null.
    HostWindow* FindControl(int id) const;
    /// Appends a child control and returns it (owned by this window).
    HostWindow& AddChild(std::unique_ptr<HostWindow> child);
    /// The image index the button shows now (by enabled and checked), or -1.
    int CurrentImage() const;
    /// The spinner's value rounded as its units say, and its text for the edit field.
    double SpinnerValue() const;
    MSTR SpinnerText() const;
};

/// Child control `id` of a dialog, or null (null dialog too).
HWND GetDlgItem(HWND dialog, int id);
/// The control id of a control window (0 for null).
int GetDlgCtrlID(HWND control);
/// The dialog a control belongs to (null for a dialog or null).
HWND GetParent(HWND window);
/// Enables or disables a window; returns whether it was disabled before.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
/// SW_SHOW or SW_HIDE; returns whether it was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
/// Sets a window's text; FALSE for null. A spinner's edit field parses nothing here (the text is
/// what a program wrote, not what a user typed).
BOOL SetWindowText(HWND window, const MCHAR* text);
/// Copies a window's text into buffer (at most bufferMax - 1 characters, always terminated);
/// returns the characters copied.
int GetWindowText(HWND window, MCHAR* buffer, int bufferMax);
int GetWindowTextLength(HWND window);
BOOL SetDlgItemText(HWND dialog, int id, const MCHAR* text);
int GetDlgItemText(HWND dialog, int id, MCHAR* buffer, int bufferMax);

/// Sends a message to a window. Dialogs pass it to their handler (0 without one). Controls:
/// WM_SETTEXT / WM_GETTEXT / WM_GETTEXTLENGTH; list boxes LB_RESETCONTENT, LB_ADDSTRING (lParam:
/// const MCHAR*, returns the index), LB_DELETESTRING, LB_GETCOUNT, LB_SETSEL (wParam: select,
/// lParam: index or -1 for all), LB_GETSEL, LB_GETSELCOUNT, LB_GETSELITEMS (wParam: capacity,
/// lParam: int*; returns how many were written, in index order), LB_GETTEXT (wParam: index,
/// lParam: MSTR* receiving the text), LB_SETCURSEL, LB_GETCURSEL; combo boxes CB_RESETCONTENT,
/// CB_ADDSTRING, CB_DELETESTRING, CB_GETCOUNT, CB_SETCURSEL (-1 clears), CB_GETCURSEL,
/// CB_GETLBTEXT (wParam: index, lParam: MSTR*); buttons BM_GETCHECK, BM_SETCHECK, BM_CLICK (a
/// click as the user makes it, sent at once to the dialog). A null window or an unknown message
/// answers LB_ERR.
LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

/// Sends a message to child control `id` of `window` (see SendMessage). A control that does not
/// exist is made on first use for a message that changes state; a query answers LB_ERR
/// (BM_GETCHECK: BST_UNCHECKED) and creates nothing.
LRESULT SendDlgItemMessage(HWND window, int id, UINT msg, WPARAM wParam, LPARAM lParam);
