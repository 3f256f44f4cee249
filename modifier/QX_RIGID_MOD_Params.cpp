// The rigid modifier's class descriptor, its parameter block "nodeParameters", the hand-over of
// parameter values to the object core and the material presets.

#include <climits>

#include "host/Interface.h"
#include "modifier/QX_Param_Write.h"
#include "modifier/QX_RIGID_MOD.h"
#include "plugin/QX_Resources.h"

namespace P = QX_RigidParam;
namespace K = Quarix::ObjectKey;

namespace {

constexpr int kReset = P_RESET_DEFAULT;
constexpr int kAnim = P_RESET_DEFAULT | P_ANIMATABLE;

// Rollout maps of the block, in declaration order.
enum : MapID { kProperties = 0, kDemolition = 1, kActivation = 2, kAdvanced = 3, kAnimation = 4 };

// One parameter description builder per control kind keeps the table below one line per
// parameter.
class BlockBuilder {
public:
    explicit BlockBuilder(ParamBlockDesc2& desc) : m_desc(desc) {}

    ParamDef& IntSpinner(ParamID id, const MCHAR* name, int flags, StringResID local, int def,
                         int lo, int hi, MapID map, int edit, int spin, const MCHAR* label) {
        return m_desc.AddParam(id, name, TYPE_INT, flags, local)
            .Default(def)
            .Range(lo, hi)
            .Spinner(map, EDITTYPE_INT, edit, spin, SPIN_AUTOSCALE, label);
    }
    ParamDef& FloatSpinner(ParamID id, const MCHAR* name, int flags, StringResID local, float def,
                           float lo, float hi, MapID map, int edit, int spin, const MCHAR* label) {
        return m_desc.AddParam(id, name, TYPE_FLOAT, flags, local)
            .Default(def)
            .Range(lo, hi)
            .Spinner(map, EDITTYPE_FLOAT, edit, spin, SPIN_AUTOSCALE, label);
    }
    void WorldSpinner(ParamID id, const MCHAR* name, int flags, StringResID local, float def,
                      float lo, float hi, MapID map, int edit, int spin, const MCHAR* label) {
        m_desc.AddParam(id, name, TYPE_WORLD, flags, local)
            .Default(def)
            .Range(lo, hi)
            .Spinner(map, EDITTYPE_UNIVERSE, edit, spin, SPIN_AUTOSCALE, label);
    }
    ParamDef& Check(ParamID id, const MCHAR* name, StringResID local, bool def, MapID map, int ctrl,
                    const MCHAR* label = nullptr) {
        return m_desc.AddParam(id, name, TYPE_BOOL, kReset, local)
            .Default(def)
            .CheckButton(map, ctrl, label);
    }
    void HiddenCheck(ParamID id, const MCHAR* name, StringResID local, bool def, MapID map,
                     int ctrl) {
        Check(id, name, local, def, map, ctrl).Hidden();
    }
    void Combo(ParamID id, const MCHAR* name, StringResID local, int def, int hi, MapID map,
               int ctrl, std::vector<MSTR> items) {
        m_desc.AddParam(id, name, TYPE_INT, kReset, local)
            .Default(def)
            .Range(0, hi)
            .ComboBox(map, ctrl, std::move(items));
    }
    void String(ParamID id, const MCHAR* name, StringResID local, const MCHAR* def, MapID map,
                int ctrl, const MCHAR* label) {
        m_desc.AddParam(id, name, TYPE_STRING, kReset, local)
            .Default(def)
            .EditBox(map, ctrl, label);
    }
    ParamDef& NoControl(ParamID id, const MCHAR* name, ParamType2 type, StringResID local,
                        double def) {
        return m_desc.AddParam(id, name, type, kReset, local).Default(def);
    }

private:
    ParamBlockDesc2& m_desc;
};

void DescribeProperties(BlockBuilder& b) {
    b.Combo(P::RigidType, _T("Rigid Type"), 2194, 1, 3, kProperties, 2193,
            {_T("Static"), _T("Dynamic"), _T("Kinematic"), _T("Dead")});
    b.Combo(P::MeshType, _T("Mesh Type"), 2195, 0, 2, kProperties, 2194,
            {_T("Convex"), _T("Concave Low"), _T("Concave High")});
    b.Combo(P::FractionType, _T("Fraction Type"), 2196, 0, 2, kProperties, 2195,
            {_T("Fragments"), _T("Clusters"), _T("One Object")});
    b.HiddenCheck(P::Solid, _T("Solid"), 2164, false, kProperties, 1048);
    b.HiddenCheck(P::Separate, _T("Separate"), 2165, true, kProperties, 1049);
    b.HiddenCheck(P::Clusters, _T("Clusters"), 2166, false, kProperties, 1050);
    b.HiddenCheck(P::Convex, _T("Convex"), 9, true, kProperties, 2007);
    b.HiddenCheck(P::ConcaveLow, _T("Concave_Low"), 10, false, kProperties, 2008);
    b.HiddenCheck(P::ConcaveHigh, _T("Concave_High"), 10, false, kProperties, 2009);
    b.WorldSpinner(P::BoxShapeMinSize, _T("Box Shape Min Size"), kReset, 2176, 0.0f, 0.0f,
                   999999.0f, kProperties, 2174, 2175, _T("Box Min Size :"));
    b.HiddenCheck(P::Static, _T("Static"), 12, false, kProperties, 2010);
    b.HiddenCheck(P::Dynamic, _T("Dynamic"), 13, true, kProperties, 2011);
    b.HiddenCheck(P::Kinematic, _T("Kinematic"), 14, false, kProperties, 2012);
    b.HiddenCheck(P::Dead, _T("Dead"), 15, false, kProperties, 2013);
    b.IntSpinner(P::Amount, _T("Amount"), kAnim, 156, 25, 2, 9999, kProperties, 1051, 1052,
                 _T("Amount :"));
    b.IntSpinner(P::Seed, _T("Seed"), kAnim, 157, 0, 0, 999999, kProperties, 1053, 1054,
                 _T("Seed :"));
    b.IntSpinner(P::Percentage, _T("Percentage"), kAnim, 158, 10, 0, 100, kProperties, 1055, 1056,
                 _T("Debris :"));
    b.Combo(P::MaterialPreset, _T("Material Preset"), 28, 2, 9, kProperties, 2036,
            {_T("Heavy Metal"), _T("Light Metal"), _T("Dense Rock"), _T("Porous Rock"),
             _T("Concrete"), _T("Brick"), _T("Glass"), _T("Rubber"), _T("Ice"), _T("Wood")});
    b.FloatSpinner(P::Density, _T("Density"), kAnim, 29, 4.0f, 0.001f, 999999.0f, kProperties, 2037,
                   2038, _T("Density :"));
    b.FloatSpinner(P::Friction, _T("Friction"), kAnim, 30, 0.82f, 0.01f, 5.0f, kProperties, 2039,
                   2040, _T("Friction :"));
    b.IntSpinner(P::Variation, _T("Variation"), kAnim, 31, 25, 0, 500, kProperties, 2041, 2042,
                 _T("Variation :"));
    b.FloatSpinner(P::Restitution, _T("Restitution"), kAnim, 32, 0.04f, 0.0f, 1.0f, kProperties,
                   2043, 2044, _T("Restitution :"));
    b.FloatSpinner(P::Solidity, _T("Separate Impulse"), kAnim, 106, 22.0f, 0.01f, 999999.0f,
                   kProperties, 1008, 1009, _T("Solidity :"));
}

void DescribeDemolition(BlockBuilder& b) {
    b.IntSpinner(P::Probability, _T("Probablity"), kAnim, 161, 100, 0, 100, kDemolition, 2132, 2133,
                 _T("Probability :"));
    b.IntSpinner(P::SafeFrames, _T("Timde Delay"), kAnim, 162, 2, 0, 999, kDemolition, 2134, 2135,
                 _T("Safe Frames :"));
    b.Check(P::DemolishToClusters, _T("DemolisToClust"), 2129, false, kDemolition, 2126,
            _T("To Clusters :"));
    b.Check(P::CollisionSeparate, _T("Collision Separate"), 105, false, kDemolition, 1007,
            _T("To Elements :"));
    b.Check(P::DemolishToCapture, _T("Demolish to Capture"), 115, false, kDemolition, 1012,
            _T("Enable :"));
    b.Check(P::Capture, _T(""), 110, false, kDemolition, 2053, _T("Capture"));
    b.IntSpinner(P::ClusterizationDepth, _T("Clusterization Depth"), kReset, 160, 1, 1, 999999,
                 kDemolition, 2124, 2125, _T("Depth :"));
    b.Check(P::SecondaryToClusters, _T("Demolish to Clust Sec"), 2130, false, kDemolition, 2128,
            _T("To Clusters :"));
    b.Check(P::SecondaryToElements, _T("Demolish to Sep Sec"), 2131, false, kDemolition, 2127,
            _T("To Elements :"));
    b.Check(P::PrimaryToFragments, _T("Demolish to Sep Sec"), 2138, false, kDemolition, 2136,
            _T("To Fragments :"));
    b.Check(P::SecondaryToFragments, _T("Demolish to Sep Sec"), 2139, false, kDemolition, 2137,
            _T("To Fragments :"));
    b.Combo(P::FragmentationType, _T("Fragmentation Type"), 2155, 0, 0, kDemolition, 2154,
            {_T("Voronoi")});
    b.IntSpinner(P::NumFragments, _T("Num Fragments"), kReset, 2144, 5, 2, 999999, kDemolition,
                 2142, 2143, _T("Amount :"));
    b.IntSpinner(P::FragmentsMaterialID, _T("Fragments Material ID"), kReset, 2145, 1, 0, 99,
                 kDemolition, 2140, 2141, _T("Mat ID :"));
    b.IntSpinner(P::FragmentsVariation, _T("Fragments Variation"), kReset, 2162, 30, 0, 200,
                 kDemolition, 2157, 2158, _T("Variation % :"));
    b.FloatSpinner(P::DepthFade, _T("Depth Fade"), kReset, 2161, 0.5f, 0.01f, 1.0f, kDemolition,
                   2159, 2160, _T("Depth Fade :"));
    b.FloatSpinner(P::Bias, _T("Bias"), kReset, 2192, 0.0f, 0.0f, 1.0f, kDemolition, 2190, 2191,
                   _T("Bias :"));
    b.IntSpinner(P::AmountLimit, _T("Amount Limit"), kReset, 2150, 4000, 0, 999999, kDemolition,
                 2146, 2147, _T("Max Amount :"));
    b.WorldSpinner(P::SizeLimit, _T("Size Limit"), kReset, 2151, 0.0f, 0.0f, 99999.0f, kDemolition,
                   2148, 2149, _T("Min Size :"));
    b.WorldSpinner(P::SpeedLimit, _T("Speed Limit"), kReset, 2173, 0.0f, 0.0f, 99999.0f,
                   kDemolition, 2171, 2172, _T("Min Speed :"));
    b.FloatSpinner(P::TestParamFloat, _T("TestParamFloat"), kReset, 2181, 0.0f, -9999.0f, 9999.0f,
                   kDemolition, 2177, 2178, nullptr)
        .Hidden();
    b.IntSpinner(P::TestParamInt, _T("TestParamInt"), kReset, 2182, 0, -9999, 9999, kDemolition,
                 2179, 2180, nullptr)
        .Hidden();
}

void DescribeActivation(BlockBuilder& b) {
    b.FloatSpinner(P::ReviveByVelocity, _T("Revive by Velocity"), kAnim, 46, 10.0f, 0.0f, 999999.0f,
                   kActivation, 2047, 2048, _T("By Velocity :"));
    b.WorldSpinner(P::ReviveByOffset, _T("Revive by Offset"), kAnim, 47, 10.0f, 0.0f, 999999.0f,
                   kActivation, 2049, 2050, _T("By Offset :"));
    b.Check(P::Continuity, _T("Continuity"), 49, false, kActivation, 1006, _T("Continuity :"));
    b.Check(P::EnableDTD, _T("Enable DTD"), 2106, false, kActivation, 2123, _T("Enable :"));
    b.Check(P::EnableDTDBG, _T("Enable DTDBG"), 2169, false, kActivation, 2167,
            _T("By Geometry :"));
    b.IntSpinner(P::KtDFrame, _T("KtD Frame"), kReset, 2104, 0, -999999, 999999, kActivation, 2102,
                 2103, _T("By Frame :"));
    b.Check(P::EnableKTD, _T("Enable KTD"), 2106, false, kActivation, 2105, _T("Enable :"));
    b.FloatSpinner(P::KtDForce, _T("KtD Force"), kReset, 2109, 0.0f, 0.0f, 999999.0f, kActivation,
                   2107, 2108, _T("By Force :"));
    b.Check(P::KTDByCollide, _T("KTD By Collide"), 2112, false, kActivation, 2111,
            _T("By Collision :"));
    b.WorldSpinner(P::KtDDistance, _T("KtD Distance"), kReset, 2116, 0.0f, 0.0f, 999999.0f,
                   kActivation, 2114, 2115, _T("By Distance :"));
    b.Check(P::EnableKTDBG, _T("Enable KTDBG"), 2170, false, kActivation, 2168,
            _T("By Geometry :"));
}

void DescribeAdvanced(BlockBuilder& b) {
    b.Check(P::Override, _T(""), 129, false, kAdvanced, 2068, _T("Override"));
    b.FloatSpinner(P::StartImpulse, _T("Separate Impulse"), kAnim, 107, 1.0f, 0.01f, 999999.0f,
                   kAdvanced, 1010, 1011, _T("Impulse :"));
    b.WorldSpinner(P::Margin, _T("Margin"), kAnim, 19, 0.0f, -999999.0f, 999999.0f, kAdvanced, 2015,
                   2016, _T("Margin :"));
    b.Check(P::HideCorrupted, _T("Hide Corrupted"), 2187, false, kAdvanced, 2186, _T("Bad Mesh :"));
    b.FloatSpinner(P::DampingLinear, _T("Damping Linear"), kAnim, 111, 0.0f, 0.0f, 999999.0f,
                   kAdvanced, 1013, 1014, _T("Linear :"));
    b.FloatSpinner(P::DampingAngular, _T("Damping Angular"), kAnim, 112, 0.2f, 0.0f, 999999.0f,
                   kAdvanced, 1015, 1016, _T("Angular :"));
    b.FloatSpinner(P::SleepingLinear, _T("Sleeping Linear"), kAnim, 113, 1.0f, 0.01f, 999999.0f,
                   kAdvanced, 1017, 1018, _T("Linear :"));
    b.FloatSpinner(P::SleepingAngular, _T("Sleeping Angular"), kAnim, 114, 1.0f, 0.01f, 999999.0f,
                   kAdvanced, 1019, 1020, _T("Angular :"));
    b.IntSpinner(P::DeactivationTime, _T("Deactivation Time"), kAnim, 119, 1000, 1, 2000, kAdvanced,
                 1021, 1022, _T("Time (ms) :"));
    b.IntSpinner(P::Hidden42, _T(""), kAnim, 2096, 1, 1, 999999, kAdvanced, 2085, 2086, nullptr)
        .Hidden();
}

void DescribeAnimation(BlockBuilder& b) {
    b.IntSpinner(P::ExplodeStart, _T("Explode Start"), kAnim, 139, 0, -999999, 999999, kAnimation,
                 2070, 2071, _T("Start :"));
    b.IntSpinner(P::ExplodeEnd, _T("Explode End"), kAnim, 140, 100, -999999, 999999, kAnimation,
                 2072, 2073, _T("End :"));
    b.String(P::AnimInfo, _T("AnimInfo"), 148, _T("<NONE>"), kAnimation, 2080, nullptr);
    b.Check(P::ExplodeDel, _T("ExplodeDel"), 141, false, kAnimation, 2074, _T("Delete :"));
    b.Check(P::ExplodeRandColors, _T("ExplodeRandColors"), 142, false, kAnimation, 2075,
            _T("Colors :"));
    b.String(P::ExplodeSuffix, _T("ExplodeSuffix"), 143, _T("_b_"), kAnimation, 2076,
             _T("Suffix :"));
    b.Combo(P::ExplodeType, _T("Explode Type"), 144, 0, 2, kAnimation, 2077,
            {_T("Hide By Visibility"), _T("Hide By Scale"), _T("Do Not Hide")});
}

void DescribeWithoutControl(BlockBuilder& b) {
    b.NoControl(P::TransformNode, _T("TransformNode"), TYPE_INT, 17, 0);
    b.NoControl(P::ForceUpdate, _T("ForceUpdate"), TYPE_BOOL, 103, 0);
    b.NoControl(P::CopyIDTMP, _T("CopyIDTMP"), TYPE_INT, 163, 0);
    b.NoControl(P::ModifyEnable, _T("ModifyEnable"), TYPE_BOOL, 164, 1);
    b.NoControl(P::FractionTMP, _T("FractionTMP"), TYPE_INT, 17, 0);
}

ParamBlockDesc2* DescribeBlock(QX_RIGID_MOD_ClassDesc* owner) {
    static ParamBlockDesc2 desc(0, _T("nodeParameters"), 0, owner,
                                P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);
    desc.AddRollout(kProperties, 8, 16);
    desc.AddRollout(kDemolition, 109, 52);
    desc.AddRollout(kActivation, 51, 108);
    desc.AddRollout(kAdvanced, 116, 117);
    desc.AddRollout(kAnimation, 137, 138);
    BlockBuilder b(desc);
    DescribeProperties(b);
    DescribeDemolition(b);
    DescribeActivation(b);
    DescribeAdvanced(b);
    DescribeAnimation(b);
    DescribeWithoutControl(b);
    return &desc;
}

// The material presets, in combo-box order. All values single precision.
constexpr QX_Material_Preset kPresets[QX_MATERIAL_PRESET_COUNT] = {
    {11.0f, 0.75f, 0.07f, 100.0f}, // Heavy Metal
    {8.0f, 0.71f, 0.08f, 50.0f},   // Light Metal
    {4.0f, 0.82f, 0.04f, 22.0f},   // Dense Rock
    {2.5f, 0.79f, 0.1f, 12.0f},    // Porous Rock
    {3.0f, 0.81f, 0.08f, 18.0f},   // Concrete
    {2.3f, 0.66f, 0.09f, 10.0f},   // Brick
    {1.8f, 0.43f, 0.11f, 3.0f},    // Glass
    {1.4f, 0.55f, 0.83f, 100.0f},  // Rubber
    {1.0f, 0.11f, 0.06f, 2.0f},    // Ice
    {0.7f, 0.6f, 0.12f, 4.0f},     // Wood
};

} // namespace

void* QX_RIGID_MOD_ClassDesc::Create(BOOL) {
    return static_cast<Animatable*>(new QX_RIGID_MOD());
}

HINSTANCE QX_RIGID_MOD_ClassDesc::HInstance() {
    return QX_ModuleInstance();
}

QX_RIGID_MOD_ClassDesc* GetQXRigidModDesc() {
    static QX_RIGID_MOD_ClassDesc desc;
    static ParamBlockDesc2* block = DescribeBlock(&desc);
    (void)block;
    return &desc;
}

const QX_Material_Preset* GetMaterialPreset(int index) {
    return index >= 0 && index < QX_MATERIAL_PRESET_COUNT ? &kPresets[index] : nullptr;
}

bool QX_RIGID_MOD::ApplyMaterialPreset(int preset, TimeValue t) {
    const QX_Material_Preset* values = GetMaterialPreset(preset);
    if (!values || !refTarg_ParamBlock)
        return false;
    IParamBlock2& pb = *refTarg_ParamBlock;
    SetFloatIfDifferent(pb, P::Density, t, values->density);
    SetFloatIfDifferent(pb, P::Friction, t, values->friction);
    SetFloatIfDifferent(pb, P::Restitution, t, values->restitution);
    SetFloatIfDifferent(pb, P::Solidity, t, values->solidity);
    return true;
}

namespace {

// Parameters handed to the core as they are: (parameter, key).
template <class Key>
struct KeyBinding {
    ParamID param;
    Key key;
};

constexpr KeyBinding<Quarix::QX_BT_Int_Key> kIntKeys[] = {
    {P::Amount, K::Amount},
    {P::Seed, K::Seed},
    {P::Percentage, K::Percentage},
    {P::Variation, K::Variation},
    {P::DemolishToCapture, K::DemolishToCapture},
    {P::PrimaryToFragments, K::PrimaryToFragments},
    {P::DemolishToClusters, K::PrimaryToClusters},
    {P::CollisionSeparate, K::PrimaryToElements},
    {P::SecondaryToFragments, K::SecondaryToFragments},
    {P::SecondaryToClusters, K::SecondaryToClusters},
    {P::SecondaryToElements, K::SecondaryToElements},
    {P::ClusterizationDepth, K::ClusterizationDepth},
    {P::SafeFrames, K::SafeFrames},
    {P::Probability, K::Probability},
    {P::AmountLimit, K::AmountLimit},
    {P::NumFragments, K::NumFragments},
    {P::FragmentsVariation, K::FragmentsVariation},
    {P::FragmentsMaterialID, K::FragmentsMaterialID},
    {P::EnableDTD, K::EnableDTD},
    {P::Continuity, K::Continuity},
    {P::EnableDTDBG, K::EnableDTDBG},
    {P::EnableKTD, K::EnableKTD},
    {P::KTDByCollide, K::KTDByCollide},
    {P::KtDFrame, K::KtDFrame},
    {P::EnableKTDBG, K::EnableKTDBG},
    {P::DeactivationTime, K::DeactivationTime},
};

constexpr KeyBinding<Quarix::QX_BT_Float_Key> kFloatKeys[] = {
    {P::Density, K::Density},
    {P::Friction, K::Friction},
    {P::Restitution, K::Restitution},
    {P::Solidity, K::Solidity},
    {P::DepthFade, K::DepthFade},
    {P::Bias, K::Bias},
    {P::ReviveByVelocity, K::ReviveByVelocity},
    {P::ReviveByOffset, K::ReviveByOffset},
    {P::KtDForce, K::KtDForce},
    {P::KtDDistance, K::KtDDistance},
    {P::Margin, K::Margin},
    {P::DampingLinear, K::DampingLinear},
    {P::DampingAngular, K::DampingAngular},
    {P::SleepingLinear, K::SleepingLinear},
    {P::SleepingAngular, K::SleepingAngular},
    {P::StartImpulse, K::StartImpulseFactor},
};

} // namespace

int32_t QX_RigidGroupCount(bool separate, int fractionType, int amount) {
    if (!separate)
        return Quarix::kOneGroupPerElement;
    if (fractionType == 2)
        return 1;
    return amount;
}

void QX_RIGID_MOD::PushSettingsToCore(TimeValue t) {
    if (!refTarg_ParamBlock)
        return;
    IParamBlock2& pb = *refTarg_ParamBlock;
    Quarix::QX_BT_MeshController& core = *m_core;
    const int rigid = pb.GetInt(P::RigidType, t);
    core.intSettings.set(K::RigidType, rigid >= 0 && rigid <= 3 ? rigid : 1);
    const int mesh = pb.GetInt(P::MeshType, t);
    core.intSettings.set(K::MeshType, mesh >= 0 && mesh <= 3 ? mesh : 0);
    core.intSettings.set(K::GroupCount, QX_RigidGroupCount(pb.GetInt(P::Separate, t) != 0,
                                                           pb.GetInt(P::FractionType, t),
                                                           pb.GetInt(P::Amount, t)));
    for (const auto& k : kIntKeys)
        core.intSettings.set(k.key, pb.GetInt(k.param, t));
    for (const auto& k : kFloatKeys)
        core.floatSettings.set(k.key, pb.GetFloat(k.param, t));
    // Size and speed limits are lengths in scene units; the core works in centimetres.
    const float toCm = static_cast<float>(GetMasterScale(UNITS_CENTIMETERS));
    core.floatSettings.set(K::SizeLimit, pb.GetFloat(P::SizeLimit, t) * toCm);
    core.floatSettings.set(K::SpeedLimit, pb.GetFloat(P::SpeedLimit, t) * toCm);
}
