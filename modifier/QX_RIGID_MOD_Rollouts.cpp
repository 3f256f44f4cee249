#include "modifier/QX_RIGID_MOD_Rollouts.h"

#include "host/Interface.h"
#include "modifier/QX_Button_Images.h"
#include "modifier/QX_Param_Write.h"
#include "modifier/QX_RIGID_MOD.h"
#include "modifier/QX_RIGID_MOD_Fragments.h"

#include <cfloat>
#include <initializer_list>

namespace P = QX_RigidParam;
namespace C = QX_RigidControl;

namespace {

constexpr int kOnOffBitmap = 0x81E;
constexpr int kOnOffMask = 0x81F;
constexpr int kSuffixChars = 256;

TimeValue Now() {
    return GetCOREInterface()->GetTime();
}

/// A check button and the bool parameter it is bound to.
struct BoundButton {
    int control;
    ParamID param;
};

/// The hidden exclusive groups of "Properties".
const BoundButton kFractionGroup[] = {
    {C::Solid, P::Solid}, {C::Separate, P::Separate}, {C::Clusters, P::Clusters}};
const BoundButton kTypeGroup[] = {{C::Static, P::Static},
                                  {C::Dynamic, P::Dynamic},
                                  {C::Kinematic, P::Kinematic},
                                  {C::Dead, P::Dead}};

/// The on/off buttons of "Demolition" and "Activation".
constexpr int kDemolitionButtons[] = {2126, 1007, 2136, 2128, 2127, 2137, 1012};
constexpr int kActivationButtons[] = {1006, 2123, 2105, 2111, 2167, 2168};
/// The spinners (with their edit fields, one id below) of the values "Override" unlocks.
constexpr int kOverriddenSpinners[] = {1011, 2016, 1014, 1016, 1018, 1020, 1022};

template <size_t N>
bool Contains(const int (&ids)[N], int id) {
    for (int candidate : ids)
        if (candidate == id)
            return true;
    return false;
}

bool IsClick(WPARAM wParam) {
    return HIWORD(wParam) == BN_CLICKED;
}

/// A click on a member of an exclusive group turns the other members off: a member that is on
/// goes to 0 at the current time and its button is released.
template <size_t N>
bool ApplyExclusive(IParamBlock2& pb, HWND hWnd, const BoundButton (&group)[N], int clicked) {
    bool member = false;
    for (const BoundButton& button : group)
        member = member || button.control == clicked;
    if (!member)
        return false;
    const TimeValue now = Now();
    for (const BoundButton& other : group) {
        if (other.control == clicked)
            continue;
        SetIntIfDifferent(pb, other.param, now, 0);
        if (QX_Custom_Button button(hWnd, other.control); button)
            button->SetCheck(FALSE);
    }
    return true;
}

} // namespace

HIMAGELIST RigidOnOffImages() {
    return QX_ModuleImageList(kOnOffBitmap, kOnOffMask, kOnOffImageWidth, kOnOffImageHeight);
}

void RefreshRigidButton(HWND window, int id) {
    QX_SetOnOffButtonImage(window, id, RigidOnOffImages(), kRigidButtonHighlight);
}

QX_RIGID_MOD_DlgProc::QX_RIGID_MOD_DlgProc(QX_RIGID_MOD* mod) : m_mod(mod) {
    m_mod->CountRolloutProcedure(+1);
}

QX_RIGID_MOD_DlgProc::~QX_RIGID_MOD_DlgProc() {
    m_mod->CountRolloutProcedure(-1);
}

// --- "Properties" -------------------------------------------------------------------------------

INT_PTR QX_RIGID_MOD_Params_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                             WPARAM wParam, LPARAM) {
    IParamBlock2* pb = m_mod->refTarg_ParamBlock;
    if (msg != WM_COMMAND || !pb)
        return 0;
    const int id = static_cast<int>(LOWORD(wParam));
    if (id == C::MaterialPreset) {
        if (HIWORD(wParam) != CBN_SELCHANGE)
            return 0;
        const LRESULT picked = SendDlgItemMessage(hWnd, id, CB_GETCURSEL, 0, 0);
        const int preset =
            picked >= 0 ? static_cast<int>(picked) : pb->GetInt(P::MaterialPreset, Now());
        m_mod->ApplyMaterialPreset(preset, Now());
        return 0;
    }
    if (IsClick(wParam) && !ApplyExclusive(*pb, hWnd, kFractionGroup, id))
        ApplyExclusive(*pb, hWnd, kTypeGroup, id);
    return 0;
}

// --- "Demolition" -------------------------------------------------------------------------------

void QX_RIGID_MOD_Demolition_DlgProc::ShowCaptureText(HWND hWnd) {
    IParamBlock2* pb = m_mod->refTarg_ParamBlock;
    const bool paramOn = pb && pb->GetInt(P::Capture, Now()) != 0;
    const bool pressed = QX_IsButtonChecked(hWnd, C::Capture, paramOn);
    const std::wstring text =
        QX_CaptureButtonText(pressed, m_mod->GetCore().capturedMesh.faceCount());
    if (QX_Custom_Button button(hWnd, C::Capture); button)
        button->SetText(text.c_str());
}

INT_PTR QX_RIGID_MOD_Demolition_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                                 WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        ShowCaptureText(hWnd);
        for (int id : kDemolitionButtons)
            RefreshRigidButton(hWnd, id);
        return 0;
    }
    if (msg != WM_COMMAND || !IsClick(wParam))
        return 0;
    const int id = static_cast<int>(LOWORD(wParam));
    if (Contains(kDemolitionButtons, id)) {
        RefreshRigidButton(hWnd, id);
    } else if (id == C::Capture) {
        IParamBlock2* pb = m_mod->refTarg_ParamBlock;
        m_mod->SetCapture(pb && pb->GetInt(P::Capture, Now()) != 0);
        ShowCaptureText(hWnd);
    }
    return 0;
}

// --- "Activation" -------------------------------------------------------------------------------

INT_PTR QX_RIGID_MOD_DeadRevive_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                                 WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        for (int id : kActivationButtons)
            RefreshRigidButton(hWnd, id);
    } else if (msg == WM_COMMAND && IsClick(wParam)) {
        const int id = static_cast<int>(LOWORD(wParam));
        if (Contains(kActivationButtons, id))
            RefreshRigidButton(hWnd, id);
    }
    return 0;
}

// --- "Advanced" ---------------------------------------------------------------------------------

// While "Override" is off the block shows the world's values: they are greyed, spinner and edit
// field alike, so that nothing typed there is silently overwritten by the world's next push.
void QX_RIGID_MOD_Advanced_DlgProc::EnableOverridden(HWND hWnd) {
    IParamBlock2* pb = m_mod->refTarg_ParamBlock;
    const BOOL on = pb && pb->GetInt(P::Override, Now()) != 0 ? TRUE : FALSE;
    for (int spinner : kOverriddenSpinners) {
        for (int id : {spinner, spinner - 1})
            if (HWND control = GetDlgItem(hWnd, id))
                EnableWindow(control, on);
    }
    if (QX_Custom_Button button(hWnd, C::BadMesh); button)
        button->Enable(on);
    RefreshRigidButton(hWnd, C::BadMesh);
}

INT_PTR QX_RIGID_MOD_Advanced_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                               WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        EnableOverridden(hWnd);
    } else if (msg == WM_COMMAND && IsClick(wParam)) {
        const int id = static_cast<int>(LOWORD(wParam));
        if (id == C::Override)
            EnableOverridden(hWnd);
        else if (id == C::BadMesh)
            RefreshRigidButton(hWnd, id);
    }
    return 0;
}

// --- "Animation" --------------------------------------------------------------------------------

INT_PTR QX_RIGID_MOD_Explode_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                              WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        if (IParamBlock2* pb = m_mod->refTarg_ParamBlock)
            SetDlgItemText(hWnd, C::Suffix, pb->GetStr(P::ExplodeSuffix, Now()));
        RefreshRigidButton(hWnd, C::ExplodeDel);
        RefreshRigidButton(hWnd, C::ExplodeRandColors);
        break;
    case WM_COMMAND:
        OnCommand(hWnd, static_cast<int>(LOWORD(wParam)), HIWORD(wParam));
        break;
    case WM_CUSTEDIT_ENTER:
        // A custom edit field reports its text when it is entered rather than per keystroke.
        if (static_cast<int>(LOWORD(wParam)) == C::Suffix)
            OnSuffix(hWnd, EN_CHANGE);
        break;
    case WM_DESTROY:
        // The rollout closes while the suffix box has the focus: the keyboard must not stay dead.
        if (m_acceleratorsOff)
            GetCOREInterface()->EnableAccelerators();
        m_acceleratorsOff = false;
        break;
    default:
        break;
    }
    return 0;
}

void QX_RIGID_MOD_Explode_DlgProc::OnCommand(HWND hWnd, int id, UINT code) {
    if (id == C::Suffix) {
        OnSuffix(hWnd, code);
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case C::ResetAnimation: {
        m_mod->GetCore().rewindTo(-FLT_MAX, false);
        m_mod->ForceReevaluation();
        Interface* ip = GetCOREInterface();
        ip->RedrawViews(ip->GetTime());
        break;
    }
    case C::Bake:
        // The modifier's node may be gone afterwards (kept by the undo record): nothing of the
        // modifier is used after this call.
        m_mod->Bake();
        break;
    case C::Fit:
        m_mod->UpdatePlaybackEnd(true);
        break;
    case C::ExplodeDel:
    case C::ExplodeRandColors:
        RefreshRigidButton(hWnd, id);
        break;
    default:
        break;
    }
}

void QX_RIGID_MOD_Explode_DlgProc::OnSuffix(HWND hWnd, UINT code) {
    Interface* ip = GetCOREInterface();
    if (code == EN_SETFOCUS) {
        ip->DisableAccelerators();
        m_acceleratorsOff = true;
    } else if (code == EN_KILLFOCUS) {
        ip->EnableAccelerators();
        m_acceleratorsOff = false;
    } else if (code == EN_CHANGE) {
        IParamBlock2* pb = m_mod->refTarg_ParamBlock;
        if (!pb)
            return;
        MCHAR text[kSuffixChars] = {};
        GetDlgItemText(hWnd, C::Suffix, text, kSuffixChars);
        // Typing is not an edit of the scene's animation: no notification, no re-evaluation.
        const BOOL notifying = pb->NotificationsEnabled();
        pb->EnableNotifications(FALSE);
        pb->SetValue(P::ExplodeSuffix, 0, static_cast<const MCHAR*>(text));
        pb->EnableNotifications(notifying);
    }
}

// --- editing the modifier -----------------------------------------------------------------------

void QX_RIGID_MOD::BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) {
    m_beingEdited = true;
    const Interval now(Now(), Now());
    NotifyDependents(now, PART_ALL, REFMSG_BEGIN_EDIT);
    NotifyDependents(now, PART_ALL, REFMSG_MOD_DISPLAY_ON);
    GetQXRigidModDesc()->BeginEditParams(ip, this, flags, prev);
    if (!refTarg_ParamBlock)
        return;
    auto attach = [&](MapID map, ParamMap2UserDlgProc* proc) {
        if (IParamMap2* open = refTarg_ParamBlock->GetMap(map))
            open->SetUserDlgProc(proc);
        else
            proc->DeleteThis();
    };
    attach(0, new QX_RIGID_MOD_Params_DlgProc(this));
    attach(1, new QX_RIGID_MOD_Demolition_DlgProc(this));
    attach(2, new QX_RIGID_MOD_DeadRevive_DlgProc(this));
    attach(3, new QX_RIGID_MOD_Advanced_DlgProc(this));
    attach(4, new QX_RIGID_MOD_Explode_DlgProc(this));
}

void QX_RIGID_MOD::EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) {
    GetQXRigidModDesc()->EndEditParams(ip, this, flags, next);
    m_beingEdited = false;
    const Interval now(Now(), Now());
    NotifyDependents(now, PART_ALL, REFMSG_END_EDIT);
    NotifyDependents(now, PART_ALL, REFMSG_MOD_DISPLAY_OFF);
}
