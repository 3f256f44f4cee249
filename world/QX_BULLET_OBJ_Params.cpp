#include "world/QX_BULLET_OBJ_Params.h"

#include "host/ClassDesc2.h"

#include <memory>
#include <string>

namespace Quarix {

namespace {

using namespace WorldParam;

constexpr int kBlockFlags = P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP; // 0x26
constexpr int kAnim = P_ANIMATABLE;                                    // 0x1
constexpr int kAnimReset = P_ANIMATABLE | P_RESET_DEFAULT;             // 0x21
constexpr int kSwitch = 0x40000020;
constexpr double kBig = 999999.0;
// Lower bounds given as the single-precision 0.01 (0.0099999998) in the stored descriptions.
constexpr double kFloatHundredth = static_cast<double>(0.01f);

void DescribeRollouts(ParamBlockDesc2& d) {
    d.AddRollout(WorldMap::SimulationObjects, 102, 4);
    d.AddRollout(WorldMap::World, 101, 26);
    d.AddRollout(WorldMap::GlobalAdvanced, 120, 53);
    d.AddRollout(WorldMap::SupportingObjects, 134, 55);
    d.AddRollout(WorldMap::About, 54, 121, kRolloutAppendedClosed);
}

void DescribeWorldRollout(ParamBlockDesc2& d) {
    const MapID m = WorldMap::World;
    d.AddParam(Size, _T("Size"), TYPE_FLOAT, P_RESET_DEFAULT, 5)
        .Default(0.0f)
        .Range(0.0, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 1024, 1025);
    d.AddParam(DeltaTime, _T("DeltaTime"), TYPE_FLOAT, kAnim, 2001)
        .Default(1.0f)
        .Range(kFloatHundredth, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2003, 2002, SPIN_AUTOSCALE, _T("Time Scale :"));
    d.AddParam(SimuleSpeed, _T("Simule Speed"), TYPE_INT, kAnimReset, 45)
        .Default(5)
        .Range(1, 100)
        .Spinner(m, EDITTYPE_INT, 2046, 2045, SPIN_AUTOSCALE, _T("Sub Steps :"));
    d.AddParam(Gravity, _T("Gravity"), TYPE_FLOAT, kAnimReset, 21)
        .Default(1.0f)
        .Range(-kBig, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2018, 2019, 0.1f);
    d.AddParam(ScaleFactor, _T("ScaleFactor"), TYPE_FLOAT, kAnimReset, 2185)
        .Default(1.0f)
        .Range(0.001, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2183, 2184, 0.1f, _T("Size Scale :"));
    d.AddParam(InfinitPlane, _T("Infinit Plane"), TYPE_BOOL, kSwitch, 159)
        .Default(true)
        .CheckButton(m, 1057, _T("Ground :"));
    d.AddParam(StartFrame, _T("StartFrame"), TYPE_INT, kAnimReset, 22)
        .Default(0)
        .Range(0, kBig)
        .Spinner(m, EDITTYPE_INT, 2020, 2021, SPIN_AUTOSCALE, _T("Start :"));
    d.AddParam(FramesRange, _T("FramesRange"), TYPE_INT, kAnimReset, 133)
        .Default(100)
        .Range(1, kBig)
        .Spinner(m, EDITTYPE_INT, 1030, 1031, SPIN_AUTOSCALE, _T("Range :"));
    d.AddParam(EndFrame, _T("EndFrame"), TYPE_INT, kAnimReset, 24)
        .Default(100)
        .Range(0, kBig)
        .Spinner(m, EDITTYPE_INT, 2024, 2025, SPIN_AUTOSCALE, _T("End :"));
    d.AddParam(SimuleRange, _T("Simule Range"), TYPE_BOOL, kSwitch, 118)
        .Default(false)
        .CheckButton(m, 1005, _T("Range"));
    d.AddParam(SimuleRangeNext, _T("Simule Range Next"), TYPE_BOOL, kSwitch, 165)
        .Default(false)
        .CheckButton(m, 1059, _T("Extend"));
    d.AddParam(SimuleLoop, _T("Simule Loop"), TYPE_BOOL, kSwitch, 130)
        .Default(false)
        .CheckButton(m, 1026, _T("Loop"));
    d.AddParam(Reset, _T("Reset"), TYPE_BOOL, kSwitch, 2153)
        .Default(false)
        .CheckButton(m, 2152, _T("Restart"));
    d.AddParam(SimuleQuietly, _T("Simule Quietly"), TYPE_BOOL, kSwitch, 132)
        .Default(false)
        .CheckButton(m, 1028, _T("Quiet"));
    d.AddParam(SimuleRelax, _T("Simule Relax"), TYPE_BOOL, kSwitch, 149)
        .Default(false)
        .CheckButton(m, 1023, _T("Relax"));
    d.AddParam(PickBtn, _T("PickBtn"), TYPE_BOOL, kSwitch, 104)
        .Default(false)
        .CheckButton(WorldMap::SimulationObjects, 2028, _T("Pick"));
}

void DescribeAdvancedRollout(ParamBlockDesc2& d) {
    const MapID m = WorldMap::GlobalAdvanced;
    d.AddParam(GlobalSolidity, _T("GlobalSolidity"), TYPE_FLOAT, kAnimReset, 50)
        .Default(1.0f)
        .Range(0.01, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2051, 2052, 0.1f, _T("Solidity :"));
    d.AddParam(SeparateImpulse, _T("Separate Impulse"), TYPE_FLOAT, kAnimReset, 122)
        .Default(1.0f)
        .Range(kFloatHundredth, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2056, 2057, SPIN_AUTOSCALE, _T("Impulse :"));
    d.AddParam(Margin, _T("Margin"), TYPE_WORLD, kAnimReset, 123)
        .Default(0.0f)
        .Range(-kBig, kBig)
        .Spinner(m, EDITTYPE_UNIVERSE, 2054, 2055, SPIN_AUTOSCALE, _T("Margin :"));
    d.AddParam(HideCorrupted, _T("Hide Corrupted"), TYPE_BOOL, kSwitch, 2189)
        .Default(false)
        .CheckButton(m, 2188, _T("Bad Mesh :"));
    d.AddParam(DampingLinear, _T("Damping Linear"), TYPE_FLOAT, kAnimReset, 124)
        .Default(0.0f)
        .Range(0.0, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2058, 2059);
    d.AddParam(DampingAngular, _T("Damping Angular"), TYPE_FLOAT, kAnimReset, 125)
        .Default(0.2f)
        .Range(0.0, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2060, 2061);
    d.AddParam(SleepingLinear, _T("Sleeping Linear"), TYPE_FLOAT, kAnimReset, 126)
        .Default(1.0f)
        .Range(kFloatHundredth, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2064, 2065);
    d.AddParam(SleepingAngular, _T("Sleeping Angular"), TYPE_FLOAT, kAnimReset, 127)
        .Default(1.0f)
        .Range(kFloatHundredth, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 2066, 2067);
    d.AddParam(DeactivationTime, _T("Deactivation Time"), TYPE_INT, kAnimReset, 128)
        .Default(1000)
        .Range(1, 2000)
        .Spinner(m, EDITTYPE_INT, 2062, 2063, SPIN_AUTOSCALE, _T("Time (ms) :"));
    d.AddParam(SupportPickBtn, _T("PickBtn"), TYPE_BOOL, kSwitch, 135)
        .Default(false)
        .CheckButton(WorldMap::SupportingObjects, 1032, _T("Pick"));
    d.AddParam(ForcesStrenght, _T("Forces Strenght"), TYPE_FLOAT, kAnimReset, 136)
        .Default(1.0f)
        .Range(-kBig, kBig)
        .Spinner(WorldMap::SupportingObjects, EDITTYPE_FLOAT, 1038, 1039, SPIN_AUTOSCALE,
                 _T("Srength :"));
}

// The "About" rollout keeps its controls hidden: these values are stored and restored with the
// block and read by nothing.
void DescribeAboutRollout(ParamBlockDesc2& d) {
    const MapID m = WorldMap::About;
    d.AddParam(MassFactor, _T("qxb_MassFactor"), TYPE_FLOAT, kAnimReset, 150)
        .Default(10.0f)
        .Range(0.00001, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 1040, 1041, 0.001f)
        .Hidden();
    d.AddParam(PertPoints, _T("qxb_PertPoints"), TYPE_INT, kAnimReset, 151)
        .Default(0)
        .Range(0, kBig)
        .Spinner(m, EDITTYPE_INT, 1042, 1043)
        .Hidden();
    d.AddParam(PertIters, _T("qxb_PertIters"), TYPE_INT, kAnimReset, 152)
        .Default(0)
        .Range(0, kBig)
        .Spinner(m, EDITTYPE_INT, 1044, 1045)
        .Hidden();
    d.AddParam(ContactDiscard, _T("qxb_ContactDiscard"), TYPE_FLOAT, kAnimReset, 153)
        .Default(0.001f)
        .Range(-kBig, kBig)
        .Spinner(m, EDITTYPE_FLOAT, 1046, 1047, 0.001f)
        .Hidden();
    for (int i = 0; i < 10; ++i) {
        const std::wstring name = L"test " + std::to_wstring(i + 1);
        d.AddParam(static_cast<ParamID>(Test1 + i), name.c_str(), TYPE_BOOL, P_RESET_DEFAULT, 49)
            .Default(false)
            .CheckBox(m, 12000 + i)
            .Hidden();
    }
}

void DescribeLists(ParamBlockDesc2& d) {
    d.AddParam(NodesList, _T("NodesList"), TYPE_INODE_TAB, P_VARIABLE_SIZE, 2033);
    d.AddParam(SimuleState, _T("SimuleState"), TYPE_BOOL, kSwitch, 1029).Default(false);
    d.AddParam(ForcesList, _T("ForcesList"), TYPE_INODE_TAB, P_VARIABLE_SIZE, 1037);
}

} // namespace

ParamBlockDesc2* QX_World_ParamBlockDesc(ClassDesc2* owner) {
    static const std::unique_ptr<ParamBlockDesc2> desc = [owner] {
        auto d = std::make_unique<ParamBlockDesc2>(kWorldParamsBlockID, _T("params"), 0, owner,
                                                   kBlockFlags, kWorldParamsRef);
        DescribeRollouts(*d);
        DescribeWorldRollout(*d);
        DescribeAdvancedRollout(*d);
        DescribeAboutRollout(*d);
        DescribeLists(*d);
        return d;
    }();
    return desc.get();
}

void ApplyWorldFrameRules(IParamBlock2* block, ParamID lastChanged) {
    if (!block)
        return;
    const int start = block->GetInt(StartFrame, 0);
    if (lastChanged == StartFrame || lastChanged == EndFrame) {
        int end = block->GetInt(EndFrame, 0);
        if (end <= start) {
            end = start + 1;
            block->SetValue(EndFrame, 0, end);
        }
        if (block->GetInt(FramesRange, 0) != end - start)
            block->SetValue(FramesRange, 0, end - start);
    } else if (lastChanged == FramesRange) {
        block->SetValue(EndFrame, 0, start + block->GetInt(FramesRange, 0));
    }
}

} // namespace Quarix
