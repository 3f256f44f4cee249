#include "world/QX_BULLET_OBJ_Rollouts.h"

#include "modifier/QX_Button_Images.h"
#include "world/QX_BULLET_OBJ.h"
#include "world/QX_BULLET_OBJ_ClassDesc.h"
#include "world/QX_BULLET_OBJ_Params.h"
#include "world/QX_Simulation_Driver.h"

#include <cfloat>

namespace Quarix {

namespace {

constexpr int kOnOffBitmap = 2078;
constexpr int kOnOffMask = 2079;
constexpr int kToolBitmap = 2034;
constexpr int kToolMask = 2035;
constexpr int kToolImageSize = 25;

/// The earliest frame: rewinding to it drops every recorded frame.
constexpr float kBeforeEverything = -FLT_MAX;

const QX_List_Tools kSimulationTools{2028, 2031, 2032, 2029, 2030};
const QX_List_Tools kForceTools{1032, 1035, 1036, 1033, 1034};

} // namespace

HIMAGELIST WorldOnOffImages() {
    return QX_ModuleImageList(kOnOffBitmap, kOnOffMask, kOnOffImageWidth, kOnOffImageHeight);
}

HIMAGELIST ListToolImages() {
    return QX_ModuleImageList(kToolBitmap, kToolMask, kToolImageSize, kToolImageSize);
}

void SetOnOffImage(HWND window, int id) {
    QX_SetOnOffButtonImage(window, id, WorldOnOffImages(), kWorldButtonHighlight);
}

const std::vector<QX_Mode_Button>& ModeButtons() {
    static const std::vector<QX_Mode_Button> buttons{
        {WorldControl::Extend, WorldParam::SimuleRangeNext, StartRequest::Extend},
        {WorldControl::Range, WorldParam::SimuleRange, StartRequest::Range},
        {WorldControl::Loop, WorldParam::SimuleLoop, StartRequest::Loop},
        {WorldControl::Quiet, WorldParam::SimuleQuietly, StartRequest::Quiet},
        {WorldControl::Relax, WorldParam::SimuleRelax, StartRequest::Relax},
    };
    return buttons;
}

const QX_List_Tools& ListTools(QX_Node_List which) {
    return which == QX_Node_List::Simulation ? kSimulationTools : kForceTools;
}

// --- "World" ------------------------------------------------------------------------------------

INT_PTR QX_BULLET_OBJ_World_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                             WPARAM wParam, LPARAM) {
    // The driver unchecks the range buttons through this window when a run ends. A closed
    // rollout's window is gone: the driver then only clears the parameters.
    m_world->mainRolloutWindow = msg == WM_DESTROY ? nullptr : hWnd;
    if (msg == WM_INITDIALOG) {
        SetOnOffImage(hWnd, WorldControl::Ground);
        return 0;
    }
    if (msg != WM_COMMAND)
        return 0;
    const int id = static_cast<int>(LOWORD(wParam));
    const UINT code = HIWORD(wParam);
    for (const QX_Mode_Button& button : ModeButtons()) {
        if (button.control == id) {
            OnModeButton(hWnd, button, code);
            return 0;
        }
    }
    switch (id) {
    case WorldControl::Ground:
        SetOnOffImage(hWnd, WorldControl::Ground);
        break;
    case WorldControl::Reset:
        ResetResults(m_world, kBeforeEverything, false);
        break;
    case WorldControl::Erase:
        ResetResults(m_world, kBeforeEverything, true);
        break;
    case WorldControl::Slider:
        ResetResults(m_world,
                     static_cast<float>(GetCOREInterface()->GetTime() / GetTicksPerFrame()), false);
        break;
    default:
        break;
    }
    return 0;
}

// The mode switches are exclusive: the others go off first, whatever the notification; only a
// click then starts (pressed in) or stops (released) the driver.
void QX_BULLET_OBJ_World_DlgProc::OnModeButton(HWND hWnd, const QX_Mode_Button& pressed,
                                               UINT code) {
    for (const QX_Mode_Button& other : ModeButtons())
        if (other.control != pressed.control)
            ClearModeSwitch(m_world, other.param, other.control);
    if (code != BN_CLICKED)
        return;
    IParamBlock2* pb = m_world->Params();
    const bool paramOn = pb && pb->GetInt(pressed.param, GetCOREInterface()->GetTime()) != 0;
    if (!QX_IsButtonChecked(hWnd, pressed.control, paramOn)) {
        StopSimulation();
        return;
    }
    if (pressed.request == StartRequest::Relax)
        StartRelax(m_world);
    else
        StartSimulation(m_world, pressed.request);
}

// --- the node lists -----------------------------------------------------------------------------

INT_PTR QX_BULLET_OBJ_List_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                            WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        RefreshNodeList(m_which, m_world, hWnd);
        const QX_List_Tools& tools = ListTools(m_which);
        const int order[] = {tools.pick, tools.all, tools.invert, tools.add, tools.remove};
        for (int image = 0; image < 5; ++image)
            QX_SetButtonImage(hWnd, order[image], ListToolImages(), image, kToolImageSize,
                              kToolImageSize, kWorldButtonHighlight);
    } else if (msg == WM_COMMAND) {
        OnCommand(hWnd, static_cast<int>(LOWORD(wParam)), HIWORD(wParam));
    }
    return 0;
}

void QX_BULLET_OBJ_List_DlgProc::OnCommand(HWND hWnd, int id, UINT code) {
    const QX_List_Tools& tools = ListTools(m_which);
    if (id == tools.pick) {
        if (code != BN_CLICKED)
            return;
        // Released by the user: the pick run ends (its ExitMode clears the switch).
        if (QX_IsButtonChecked(hWnd, id, true))
            BeginListPick(m_which, m_world, hWnd);
        else if (GetCOREInterface()->GetCurPickMode() == &PickModeFor(m_which))
            GetCOREInterface()->ClearPickMode();
    } else if (id == tools.add) {
        AddSelectedNodes(m_which, m_world, hWnd);
    } else if (id == tools.remove) {
        RemoveSelectedItems(m_which, m_world, hWnd);
    } else if (id == tools.all) {
        SelectAllItems(m_which, hWnd);
    } else if (id == tools.invert) {
        InvertItems(m_which, hWnd);
    } else if (id == NodeListIds(m_which).listBox && code == LBN_DBLCLK &&
               m_which == QX_Node_List::Simulation) {
        SelectListedNode(m_world, hWnd);
    }
}

// --- "Global Advanced" --------------------------------------------------------------------------

INT_PTR QX_BULLET_OBJ_Advanced_DlgProc::DlgProc(TimeValue, IParamMap2*, HWND hWnd, UINT msg,
                                                WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG ||
        (msg == WM_COMMAND && static_cast<int>(LOWORD(wParam)) == WorldControl::BadMesh))
        SetOnOffImage(hWnd, WorldControl::BadMesh);
    return 0;
}

// --- editing the world --------------------------------------------------------------------------

void QX_BULLET_OBJ::BeginEditParams(IObjParam* ip, ULONG flags, Animatable* prev) {
    moveMode_ = std::make_unique<MoveModBoxCMode>(this, ip);
    rotateMode_ = std::make_unique<RotateModBoxCMode>(this, ip);
    uscaleMode_ = std::make_unique<UScaleModBoxCMode>(this, ip);
    nuscaleMode_ = std::make_unique<NUScaleModBoxCMode>(this, ip);
    squashMode_ = std::make_unique<SquashModBoxCMode>(this, ip);
    SimpleObject2::BeginEditParams(ip, flags, prev);
    GetQX_BULLET_OBJ_Desc()->BeginEditParams(ip, this, flags, prev);
    if (!pblock2)
        return;
    auto attach = [&](MapID map, ParamMap2UserDlgProc* proc) {
        if (IParamMap2* open = pblock2->GetMap(map))
            open->SetUserDlgProc(proc);
        else
            proc->DeleteThis();
    };
    attach(WorldMap::World, new QX_BULLET_OBJ_World_DlgProc(this));
    attach(WorldMap::SimulationObjects,
           new QX_BULLET_OBJ_List_DlgProc(this, QX_Node_List::Simulation));
    attach(WorldMap::GlobalAdvanced, new QX_BULLET_OBJ_Advanced_DlgProc());
    attach(WorldMap::SupportingObjects, new QX_BULLET_OBJ_List_DlgProc(this, QX_Node_List::Forces));
}

void QX_BULLET_OBJ::EndEditParams(IObjParam* ip, ULONG flags, Animatable* next) {
    moveMode_.reset();
    rotateMode_.reset();
    uscaleMode_.reset();
    nuscaleMode_.reset();
    squashMode_.reset();
    if (ip)
        ip->ClearPickMode();
    SimpleObject2::EndEditParams(ip, flags, next);
    GetQX_BULLET_OBJ_Desc()->EndEditParams(ip, this, flags, next);
    mainRolloutWindow = nullptr;
    PushWorldDefaults();
}

} // namespace Quarix
