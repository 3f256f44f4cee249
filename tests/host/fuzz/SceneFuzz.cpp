// libFuzzer target for the scene reader: every input is handed to LoadScene, which must either
// refuse it with a message or load it completely, never crash, leak or over-allocate.
//
// Built by scripts/fuzz with clang (-fsanitize=fuzzer,address,undefined). Built with
// QX_FUZZ_SEED_WRITER instead, the same file is a small program that writes seed scenes.

#include "host/Interface.h"
#include "host/Modifier.h"
#include "host/Primitives.h"
#include "host/SceneIO.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// An in-process class with a parameter block of every type, so that the fuzzer reaches the
// parameter-block reader too.
constexpr Class_ID kFuzzModClassID(0x0F022001, 0x1);

class FuzzModifierDesc;
FuzzModifierDesc* FuzzDesc();
ParamBlockDesc2* FuzzParams();

class FuzzModifier : public Modifier {
public:
    IParamBlock2* pblock = nullptr;
    FuzzModifier();
    Class_ID ClassID() override { return kFuzzModClassID; }
    ChannelMask ChannelsUsed() override { return GEOM_CHANNEL; }
    ChannelMask ChannelsChanged() override { return GEOM_CHANNEL; }
    Class_ID InputType() override { return defObjectClassID; }
    void ModifyObject(TimeValue, ModContext&, ObjectState*, INode*) override {}
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    void SetReference(int i, RefTargetHandle r) override {
        if (i == 0)
            pblock = static_cast<IParamBlock2*>(r);
    }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock : nullptr; }
};

class FuzzModifierDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 0; }
    void* Create(BOOL) override { return new FuzzModifier(); }
    const MCHAR* ClassName() override { return _T("Fuzz Modifier"); }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    Class_ID ClassID() override { return kFuzzModClassID; }
    const MCHAR* Category() override { return _T(""); }
};

FuzzModifierDesc* FuzzDesc() {
    static FuzzModifierDesc desc;
    return &desc;
}

ParamBlockDesc2* FuzzParams() {
    static ParamBlockDesc2* params = [] {
        static ParamBlockDesc2 pbd(0, _T("params"), 0, FuzzDesc(), P_AUTO_CONSTRUCT, 0);
        pbd.AddParam(0, _T("F"), TYPE_FLOAT, P_ANIMATABLE, 0).Default(1.5f);
        pbd.AddParam(1, _T("I"), TYPE_INT, 0, 0).Default(3);
        pbd.AddParam(2, _T("S"), TYPE_STRING, 0, 0).Default(_T("x"));
        pbd.AddParam(3, _T("N"), TYPE_INODE_TAB, P_VARIABLE_SIZE, 0);
        pbd.AddParam(4, _T("W"), TYPE_WORLD_TAB, P_VARIABLE_SIZE, 0);
        return &pbd;
    }();
    return params;
}

FuzzModifier::FuzzModifier() {
    FuzzParams();
    FuzzDesc()->MakeAutoParamBlocks(this);
}

void RegisterFuzzClass() {
    FuzzParams();
    GetCOREInterface()->GetClassDirectory().Register(FuzzDesc());
}

} // namespace

#ifndef QX_FUZZ_SEED_WRITER

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterFuzzClass();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Interface& ip = *GetCOREInterface();
    std::string error;
    if (LoadScene(ip, std::span<const BYTE>(data, size), &error)) {
        // A loaded scene must also evaluate and save.
        for (INode* node : ip.AllNodes()) {
            node->EvalWorldState(0);
            node->GetObjectTM(160);
        }
        std::vector<BYTE> bytes;
        SaveScene(ip, bytes, &error);
    }
    ip.ResetScene();
    return 0;
}

#else

// Writes seed scenes into the folder given as the only argument.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    RegisterFuzzClass();
    Interface& ip = *GetCOREInterface();
    auto write = [&](const char* name) {
        std::vector<BYTE> bytes;
        std::string error;
        if (!SaveScene(ip, bytes, &error)) {
            std::fprintf(stderr, "seed %s: %s\n", name, error.c_str());
            return false;
        }
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    };
    bool ok = write("empty.qxs");
    INode* box = ip.CreateObjectNode(new BoxObject(1, 2, 3, 1, 1, 1));
    ok = ok && write("box.qxs");
    IDerivedObject* derived = CreateDerivedObject(new SphereObject(1.0f, 4));
    auto* mod = new FuzzModifier();
    derived->AddModifier(mod);
    INode* sphere = ip.CreateObjectNode(derived);
    box->AttachChild(sphere, 0);
    mod->pblock->Append(3, 1, &box);
    float w = 2.0f;
    mod->pblock->Append(4, 1, &w);
    AnimateOn();
    sphere->SetNodeTM(160, TransMatrix(Point3(1, 2, 3)));
    mod->pblock->SetValue(0, 320, 4.0f);
    AnimateOff();
    auto* poly = new PolyObject();
    poly->mm.SetFromTri(static_cast<BoxObject*>(box->GetObjectRef())->mesh);
    ip.CreateObjectNode(poly);
    ok = ok && write("stack.qxs");
    return ok ? 0 : 1;
}

#endif
