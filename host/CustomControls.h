#pragma once
// The host's custom controls as plug-ins reach them: interfaces over a control window, got with
// GetICustButton / GetISpinner / GetICustEdit and handed back with the matching Release call.
// The interfaces only view the window's state (host/Window.h); releasing never closes a control.

#include "host/ImageList.h"
#include "host/Window.h"

/// Custom button types.
inline constexpr int CBT_PUSH = 0;
inline constexpr int CBT_CHECK = 1;

/// Messages a spinner sends its dialog: CC_SPINNER_CHANGE while its value changes (low word of
/// wParam: spinner id; lParam: the spinner window), CC_SPINNER_BUTTONDOWN / UP around a drag.
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT CC_SPINNER_CHANGE = WM_USER + 0x0600;
inline constexpr UINT CC_SPINNER_BUTTONDOWN = WM_USER + 0x0601;
inline constexpr UINT CC_SPINNER_BUTTONUP = WM_USER + 0x0602;
/// A custom edit field's text was entered (Return or focus loss); low word of wParam: its id.
inline constexpr UINT WM_CUSTEDIT_ENTER = WM_USER + 0x0685;

/// A custom button.
class ICustButton {
public:
    explicit ICustButton(HWND window) : m_w(window) {}
    /// CBT_PUSH or CBT_CHECK.
    void SetType(int type);
    void SetCheck(BOOL checked);
    BOOL IsChecked() const;
    void Enable(BOOL onOff = TRUE);
    void Disable() { Enable(FALSE); }
    BOOL IsEnabled() const;
    /// Images of the four states (out/in, enabled/disabled) from an image list, drawn w x h.
    void SetImage(HIMAGELIST list, int outEnabled, int inEnabled, int outDisabled, int inDisabled,
                  int w, int h);
    void SetHighlightColor(COLORREF colour);
    void SetText(const MCHAR* text);
    /// Copies the caption (see GetWindowText).
    void GetText(MCHAR* buffer, int bufferMax) const;
    HWND GetHwnd() const { return m_w; }

private:
    HWND m_w;
};

/// A spinner with its linked edit field.
class ISpinnerControl {
public:
    explicit ISpinnerControl(HWND window) : m_w(window) {}
    /// Limits of the value; with limitCurrent the current value is clamped at once.
    void SetLimits(float minValue, float maxValue, BOOL limitCurrent = TRUE);
    void SetLimits(int minValue, int maxValue, BOOL limitCurrent = TRUE);
    /// Sets the value (clamped to the limits); with notify the dialog gets CC_SPINNER_CHANGE.
    void SetValue(float value, BOOL notify);
    void SetValue(int value, BOOL notify);
    float GetFVal() const;
    int GetIVal() const;
    /// The change per spinner step.
    void SetScale(float scale);
    void Enable(BOOL onOff = TRUE);
    void Disable() { Enable(FALSE); }
    BOOL IsEnabled() const;
    /// Links the edit field (a sibling control id) that shows and edits the value.
    void LinkToEdit(HWND edit, int editType);
    HWND GetHwnd() const { return m_w; }

private:
    HWND m_w;
};

/// A custom edit field.
class ICustEdit {
public:
    explicit ICustEdit(HWND window) : m_w(window) {}
    void SetText(const MCHAR* text);
    void GetText(MCHAR* buffer, int bufferMax) const;
    MSTR GetText() const;
    /// Whether the field has the keyboard focus.
    BOOL HasFocus() const;
    void Enable(BOOL onOff = TRUE);
    void Disable() { Enable(FALSE); }
    BOOL IsEnabled() const;
    HWND GetHwnd() const { return m_w; }

private:
    HWND m_w;
};

/// The custom-control interface of a window, or null when the window is null or of another
/// kind (a custom button for GetICustButton, a spinner for GetISpinner, an edit field for
/// GetICustEdit). The caller hands it back with the Release call of the same kind.
ICustButton* GetICustButton(HWND window);
void ReleaseICustButton(ICustButton* button);
ISpinnerControl* GetISpinner(HWND window);
void ReleaseISpinner(ISpinnerControl* spinner);
ICustEdit* GetICustEdit(HWND window);
void ReleaseICustEdit(ICustEdit* edit);
