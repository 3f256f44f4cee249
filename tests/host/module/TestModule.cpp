// A small module for the host tests: one object-space modifier ("Test Lift") whose parameter block
// holds every parameter type. ModifyObject lifts every vertex by the animated "Lift" value along z.
// Built three times: as a good module, with a wrong LibVersion (QX_TEST_BAD_VERSION) and without
// LibClassDesc (QX_TEST_MISSING_ENTRY).

#include "tests/host/module/TestModule.h"

#include "host/Interface.h"
#include "host/Modifier.h"

namespace {

HINSTANCE g_instance = nullptr;

class TestLiftModifier;

class TestLiftClassDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL loading) override;
    const MCHAR* ClassName() override { return _T("Test Lift"); }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return kTestLiftClassID; }
    const MCHAR* Category() override { return _T("Tests"); }
    const MCHAR* InternalName() override { return _T("TestLift"); }
    HINSTANCE HInstance() override { return g_instance; }
};

TestLiftClassDesc g_liftDesc;

// Every parameter type the host supports, in two rollouts.
ParamBlockDesc2 g_liftParams(0, _T("params"), 0, &g_liftDesc,
                             P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP, 0);

bool DescribeParams() {
    g_liftParams.AddRollout(0, 101, kStringRollout);
    g_liftParams.AddRollout(1, 102, kStringRollout, 1);
    g_liftParams.AddParam(kLiftParam, _T("Lift"), TYPE_FLOAT, P_ANIMATABLE | P_RESET_DEFAULT, 0)
        .Default(0.0f)
        .Range(-1000.0, 1000.0)
        .Spinner(0, EDITTYPE_FLOAT, 1000, 1001);
    g_liftParams.AddParam(kCountParam, _T("Count"), TYPE_INT, P_RESET_DEFAULT, 0)
        .Default(25)
        .Range(2, 9999)
        .Spinner(0, EDITTYPE_INT, 1002, 1003);
    g_liftParams.AddParam(kEnabledParam, _T("Enabled"), TYPE_BOOL, 0x40000020, 0)
        .Default(true)
        .CheckButton(0, 1004, _T("Enable :"));
    g_liftParams.AddParam(kMarginParam, _T("Margin"), TYPE_WORLD, P_ANIMATABLE, 0)
        .Default(0.5f)
        .Range(-999999.0, 999999.0)
        .Spinner(1, EDITTYPE_UNIVERSE, 1005, 1006);
    g_liftParams.AddParam(kSuffixParam, _T("Suffix"), TYPE_STRING, 0, 0)
        .Default(_T("_b_"))
        .EditBox(1, 1007);
    g_liftParams.AddParam(kNodesParam, _T("Nodes"), TYPE_INODE_TAB, P_VARIABLE_SIZE, 0);
    return true;
}

const bool g_described = DescribeParams();

class TestLiftModifier : public Modifier {
public:
    IParamBlock2* pblock = nullptr;
    Control* gizmo = nullptr;

    TestLiftModifier() {
        ReplaceReference(1, NewDefaultMatrix3Controller());
        g_liftDesc.MakeAutoParamBlocks(this);
    }

    Class_ID ClassID() override { return kTestLiftClassID; }
    void GetClassName(MSTR& s, bool) const override { s = _T("Test Lift"); }
    ChannelMask ChannelsUsed() override { return GEOM_CHANNEL | TOPO_CHANNEL; }
    ChannelMask ChannelsChanged() override { return GEOM_CHANNEL; }
    Class_ID InputType() override { return triObjectClassID; }

    Interval LocalValidity(TimeValue t) override {
        Interval valid = FOREVER;
        float lift = 0.0f;
        pblock->GetValue(kLiftParam, t, lift, valid);
        return valid;
    }

    void ModifyObject(TimeValue t, ModContext&, ObjectState* os, INode*) override {
        auto* tri = static_cast<TriObject*>(os->obj);
        const float lift = pblock->GetFloat(kLiftParam, t);
        if (pblock->GetInt(kEnabledParam, t)) {
            for (Point3& p : tri->GetMesh().verts)
                p.z += lift;
        }
        tri->UpdateValidity(GEOM_CHAN_NUM, LocalValidity(t));
        ++m_evaluations;
    }

    int NumRefs() override { return 2; }
    RefTargetHandle GetReference(int i) override {
        return i == 0 ? static_cast<RefTargetHandle>(pblock) : (i == 1 ? gizmo : nullptr);
    }
    void SetReference(int i, RefTargetHandle rtarg) override {
        if (i == 0)
            pblock = static_cast<IParamBlock2*>(rtarg);
        else if (i == 1)
            gizmo = static_cast<Control*>(rtarg);
    }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override { return id == 0 ? pblock : nullptr; }

    ReferenceTarget* Clone(RemapDir& remap) override {
        auto* copy = new TestLiftModifier();
        copy->ReplaceReference(0, remap.CloneRef(pblock));
        copy->ReplaceReference(1, remap.CloneRef(gizmo));
        BaseClone(this, copy, remap);
        return copy;
    }

    // The modifier's private data: a chunk with a magic number, so that the tests see a class's
    // own Save / Load chunks travel with the scene.
    IOResult Save(ISave* isave) override {
        isave->BeginChunk(0x0100);
        IOResult res = WriteValue(*isave, kPrivateMagic);
        isave->EndChunk();
        return res;
    }
    IOResult Load(ILoad* iload) override {
        IOResult res;
        while ((res = iload->OpenChunk()) == IO_OK) {
            if (iload->CurChunkID() == 0x0100 && ReadValue(*iload, m_loadedMagic) != IO_OK)
                return IO_ERROR;
            iload->CloseChunk();
        }
        return res == IO_END ? IO_OK : IO_ERROR;
    }

    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage message,
                               BOOL) override {
        if (message == REFMSG_CHANGE)
            m_lastChanged = pblock ? pblock->LastNotifyParamID() : -1;
        return REF_SUCCEED;
    }

    int m_evaluations = 0;
    int m_lastChanged = -1;
    std::uint32_t m_loadedMagic = 0;
};

void* TestLiftClassDesc::Create(BOOL) {
    return new TestLiftModifier();
}

} // namespace

QX_MODULE_EXPORT int QxTestLiftEvaluations(Modifier* mod) {
    return static_cast<TestLiftModifier*>(mod)->m_evaluations;
}

QX_MODULE_EXPORT int QxTestLiftLastChanged(Modifier* mod) {
    return static_cast<TestLiftModifier*>(mod)->m_lastChanged;
}

QX_MODULE_EXPORT std::uint32_t QxTestLiftLoadedMagic(Modifier* mod) {
    return static_cast<TestLiftModifier*>(mod)->m_loadedMagic;
}

QX_MODULE_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        MaxSDK::Util::UseLanguagePackLocale(instance);
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
        SetStringResource(instance, kStringDescription, _T("Host test module"));
        SetStringResource(instance, kStringRollout, _T("Lift"));
    }
    return TRUE;
}

QX_MODULE_EXPORT const MCHAR* LibDescription() {
    return _T("Host test module");
}

QX_MODULE_EXPORT int LibNumberClasses() {
    return g_described ? 1 : 0;
}

#ifndef QX_TEST_MISSING_ENTRY
QX_MODULE_EXPORT ClassDesc* LibClassDesc(int i) {
    return i == 0 ? &g_liftDesc : nullptr;
}
#endif

QX_MODULE_EXPORT ULONG LibVersion() {
#ifdef QX_TEST_BAD_VERSION
    return HOST_API_VERSION + 1;
#else
    return HOST_API_VERSION;
#endif
}
