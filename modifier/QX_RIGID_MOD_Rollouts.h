#pragma once
// The rigid modifier's rollouts beyond their automatic bindings: exclusive button groups, the
// material presets, the "Capture" button and its text, greying the advanced values while
// "Override" is off, the on/off look of check buttons, and the Animation rollout's commands
// ("Reset Animation", "Bake", "Fit", the suffix). One user procedure per map, each holding the
// modifier; the modifier's BeginEditParams attaches them and the host frees them when the
// rollouts close.

#include "host/CustomControls.h"
#include "host/Dialog.h"

#include <string>

class QX_RIGID_MOD;

/// Control ids of the modifier's rollouts that the procedures act on.
namespace QX_RigidControl {
// "Properties"
inline constexpr int Solid = 1048;
inline constexpr int Separate = 1049;
inline constexpr int Clusters = 1050;
inline constexpr int Static = 2010;
inline constexpr int Dynamic = 2011;
inline constexpr int Kinematic = 2012;
inline constexpr int Dead = 2013;
inline constexpr int MaterialPreset = 2036;
// "Demolition"
inline constexpr int Capture = 2053;
// "Advanced"
inline constexpr int Override = 2068;
inline constexpr int BadMesh = 2186;
// "Animation"
inline constexpr int ResetAnimation = 1004;
inline constexpr int Bake = 2069;
inline constexpr int Fit = 2113;
inline constexpr int ExplodeDel = 2074;
inline constexpr int ExplodeRandColors = 2075;
inline constexpr int Suffix = 2076;
} // namespace QX_RigidControl

/// Highlight colour of the modifier's on/off buttons: 25855, the same orange as the world's.
inline constexpr COLORREF kRigidButtonHighlight = 25855;

/// The modifier's on/off images (54 x 16: 0 off, 1 on, 2 disabled), made from bitmaps 0x81E and
/// 0x81F on first use and owned by the module for its life. Null without the bitmaps.
HIMAGELIST RigidOnOffImages();
/// Refreshes the on/off image of check button `id` of `window` (2 disabled, 1 in, 0 out).
void RefreshRigidButton(HWND window, int id);

/// Base of the five procedures: holds the modifier and counts itself in it, so that a modifier
/// freed while its rollouts are open closes them first (see ~QX_RIGID_MOD).
class QX_RIGID_MOD_DlgProc : public ParamMap2UserDlgProc {
public:
    explicit QX_RIGID_MOD_DlgProc(QX_RIGID_MOD* mod);
    ~QX_RIGID_MOD_DlgProc() override;
    QX_RIGID_MOD_DlgProc(const QX_RIGID_MOD_DlgProc&) = delete;
    QX_RIGID_MOD_DlgProc& operator=(const QX_RIGID_MOD_DlgProc&) = delete;
    void DeleteThis() override { delete this; }

protected:
    QX_RIGID_MOD* m_mod;
};

/// "Properties": the exclusive "Solid" / "Separate" / "Clusters" and rigid type groups, and the
/// material presets.
class QX_RIGID_MOD_Params_DlgProc final : public QX_RIGID_MOD_DlgProc {
public:
    using QX_RIGID_MOD_DlgProc::QX_RIGID_MOD_DlgProc;
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
};

/// "Demolition": the on/off buttons and "Capture".
class QX_RIGID_MOD_Demolition_DlgProc final : public QX_RIGID_MOD_DlgProc {
public:
    using QX_RIGID_MOD_DlgProc::QX_RIGID_MOD_DlgProc;
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;

private:
    void ShowCaptureText(HWND hWnd);
};

/// "Activation": the on/off buttons.
class QX_RIGID_MOD_DeadRevive_DlgProc final : public QX_RIGID_MOD_DlgProc {
public:
    using QX_RIGID_MOD_DlgProc::QX_RIGID_MOD_DlgProc;
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;
};

/// "Advanced": the advanced values are editable exactly while "Override" is on.
class QX_RIGID_MOD_Advanced_DlgProc final : public QX_RIGID_MOD_DlgProc {
public:
    using QX_RIGID_MOD_DlgProc::QX_RIGID_MOD_DlgProc;
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;

private:
    void EnableOverridden(HWND hWnd);
};

/// "Animation": "Reset Animation", "Bake", "Fit", the suffix and the on/off buttons.
class QX_RIGID_MOD_Explode_DlgProc final : public QX_RIGID_MOD_DlgProc {
public:
    using QX_RIGID_MOD_DlgProc::QX_RIGID_MOD_DlgProc;
    INT_PTR DlgProc(TimeValue t, IParamMap2* map, HWND hWnd, UINT msg, WPARAM wParam,
                    LPARAM lParam) override;

private:
    void OnCommand(HWND hWnd, int id, UINT code);
    void OnSuffix(HWND hWnd, UINT code);
    /// Whether this procedure turned the host's accelerators off (the suffix box has the focus).
    bool m_acceleratorsOff = false;
};
