#include "app/QX_Session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>

#include "app/QX_Mesh_Sources.h"
#include "app/QX_Scene_Json.h"
#include "host/IQXBake.h"
#include "host/IQXBodyPlayback.h"
#include "host/Interface.h"
#include "host/Modifier.h"
#include "host/SceneIO.h"

namespace Quarix::App {

namespace {

/// The first modifier of a node's stack, from the top, that answers interface `id`, or null.
Modifier* FindModifierOffering(INode& node, ULONG id) {
    Object* base = nullptr;
    for (Modifier* mod : StackOf(node, base)) {
        if (mod && mod->GetInterface(id))
            return mod;
    }
    return nullptr;
}

std::string ClassName(Animatable* anim) {
    MSTR name;
    anim->GetClassName(name, false);
    return ToUtf8(name);
}

/// One parameter's value at time 0 as text.
std::string ValueText(IParamBlock2& block, const ParamDef& def) {
    const ParamType2 base = def.BaseType();
    const int count = def.IsTab() ? block.Count(def.id) : 1;
    std::string text = def.IsTab() ? "[" : "";
    for (int i = 0; i < count; ++i) {
        if (i)
            text += ", ";
        if (base == TYPE_INODE) {
            INode* n = block.GetINode(def.id, 0, i);
            text += n ? "\"" + ToUtf8(n->GetName()) + "\"" : "null";
        } else if (base == TYPE_STRING) {
            text += "\"" + ToUtf8(block.GetStr(def.id, 0, i)) + "\"";
        } else if (base == TYPE_INT || base == TYPE_BOOL) {
            text += std::to_string(block.GetInt(def.id, 0, i));
        } else {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%g", double(block.GetFloat(def.id, 0, i)));
            text += buffer;
        }
    }
    return def.IsTab() ? text + "]" : text;
}

void DescribeParams(Animatable& anim, std::ostream& out, const char* indent) {
    for (int b = 0; b < anim.NumParamBlocks(); ++b) {
        IParamBlock2* block = anim.GetParamBlock(b);
        if (!block || !block->GetDesc())
            continue;
        out << indent << "block \"" << ToUtf8(block->GetDesc()->int_name) << "\"\n";
        for (int i = 0; i < block->NumParams(); ++i) {
            const ParamDef& def = block->GetDesc()->ParamAt(i);
            const std::string name =
                def.int_name.empty() ? "#" + std::to_string(def.id) : ToUtf8(def.int_name);
            out << indent << "  " << name << " = " << ValueText(*block, def) << "\n";
        }
    }
}

void Mix(std::uint64_t& hash, const void* data, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) {
        hash ^= p[i];
        hash *= 0x100000001b3ull;
    }
}

} // namespace

std::vector<Modifier*> StackOf(INode& node, Object*& base) {
    std::vector<Modifier*> mods;
    Object* obj = node.GetObjectRef();
    while (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int i = 0; i < derived->NumModifiers(); ++i)
            mods.push_back(derived->GetModifier(i));
        obj = derived->GetObjRef();
    }
    base = obj;
    return mods;
}

std::string PluginFolder() {
    if (const char* env = std::getenv("QUARIX_PLUGINS"); env && *env)
        return env;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return ".";
    // Next to the executable when modules lie there; in a build tree they lie in plugins/
    // beside the executable's folder.
    const std::filesystem::path here = exe.parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(here, ec)) {
        if (entry.path().extension() == ".dlm")
            return here.string();
    }
    const std::filesystem::path built = here.parent_path() / "plugins";
    return std::filesystem::is_directory(built) ? built.string() : here.string();
}

int LoadPlugins(Interface& ip, const std::string& folder, std::vector<std::string>& errors) {
    ModuleRegistry& modules = ip.GetModules();
    std::error_code ec;
    const std::filesystem::path wanted = std::filesystem::weakly_canonical(folder, ec);
    for (int i = 0; i < modules.Count(); ++i) {
        const std::string& path = modules.Get(i)->path;
        if (!path.empty() && std::filesystem::path(path).parent_path() == wanted)
            return 0; // this folder was loaded already
    }
    return modules.LoadFolder(folder, &errors);
}

bool IsJsonScene(const std::string& path) {
    return std::filesystem::path(path).extension() == ".json";
}

void LoadSceneAny(Interface& ip, const std::string& path) {
    if (IsJsonScene(path)) {
        LoadJsonScene(ip, path);
        return;
    }
    // A new scene starts from a reset host, so module state of the old one is gone too.
    ip.ResetScene();
    std::string error;
    if (!LoadSceneFile(ip, path, &error))
        throw InputError(error);
}

IQXBodyPlayback* FindBodyPlayback(INode& node) {
    return GetBodyPlaybackInterface(FindModifierOffering(node, I_QX_BODY_PLAYBACK));
}

BakeSummary BakeSimulatedObjects(Interface& ip) {
    struct Job {
        INode* node;
        Modifier* mod;
        IQXBake* bake;
        int end; // one past the last recorded frame
    };
    // The objects first: every bake adds nodes, and may delete the node it baked.
    std::vector<Job> jobs;
    for (INode* node : ip.AllNodes()) {
        IQXBodyPlayback* playback = FindBodyPlayback(*node);
        if (!playback || playback->BodyCount() == 0)
            continue;
        if (Modifier* mod = FindModifierOffering(*node, I_QX_BAKE))
            jobs.push_back({node, mod, GetBakeInterface(mod),
                            playback->FirstFrame() + playback->RecordedFrameCount()});
    }
    BakeSummary summary;
    for (const Job& job : jobs) {
        // "Explode End" is exclusive and after a run names the last recorded frame: move it one
        // on so that the bake keys every recorded frame, the last one included.
        if (IParamBlock2* params =
                job.mod->NumParamBlocks() > 0 ? job.mod->GetParamBlock(0) : nullptr)
            params->SetValueByName(_T("Explode End"), ip.GetTime(), double(job.end), nullptr);
        Tab<INode*> made;
        int skipped = 0;
        if (!job.bake->Bake(made, &skipped))
            summary.keptSources.push_back(job.node);
        ++summary.objects;
        summary.nodes += made.Count();
        summary.skippedRecords += skipped;
    }
    return summary;
}

int CountBodiesAlive(Interface& ip, int frame) {
    int alive = 0;
    for (INode* node : ip.AllNodes()) {
        IQXBodyPlayback* p = FindBodyPlayback(*node);
        Matrix3 tm;
        for (int i = 0; p && i < p->BodyCount(); ++i)
            alive += p->GetBodyTM(i, float(frame), tm) ? 1 : 0;
    }
    return alive;
}

INode* FindNodeOfClass(Interface& ip, const char* className) {
    ClassDesc* cd = ip.GetClassDirectory().FindByName(FromUtf8(className).c_str());
    if (!cd)
        return nullptr;
    for (INode* node : ip.AllNodes()) {
        Object* base = nullptr;
        StackOf(*node, base);
        if (base && base->ClassID() == cd->ClassID() && base->SuperClassID() == cd->SuperClassID())
            return node;
    }
    return nullptr;
}

void DescribeScene(Interface& ip, std::ostream& out) {
    int type = 0;
    float scale = 0.0f;
    ip.GetSystemUnitInfo(&type, &scale);
    out << "frame rate: " << ip.GetFrameRate() << " fps, " << ip.GetMasterScale(UNITS_CENTIMETERS)
        << " cm per scene unit\n";
    const std::vector<INode*> nodes = ip.AllNodes();
    out << "nodes: " << nodes.size() << "\n";
    for (INode* node : nodes) {
        Object* base = nullptr;
        const std::vector<Modifier*> mods = StackOf(*node, base);
        out << "node \"" << ToUtf8(node->GetName())
            << "\": " << (base ? ClassName(base) : std::string("no object")) << "\n";
        if (base)
            DescribeParams(*base, out, "  ");
        for (Modifier* mod : mods) {
            out << "  modifier " << ClassName(mod) << "\n";
            DescribeParams(*mod, out, "    ");
            if (IQXBodyPlayback* p = GetBodyPlaybackInterface(mod))
                out << "    recorded: " << p->RecordedFrameCount() << " frames from frame "
                    << p->FirstFrame() << ", " << p->BodyCount() << " bodies\n";
        }
    }
}

RecordSummary SummarizeRecords(Interface& ip) {
    RecordSummary summary;
    int lastFrame = std::numeric_limits<int>::min();
    for (INode* node : ip.AllNodes()) {
        IQXBodyPlayback* p = FindBodyPlayback(*node);
        if (!p || p->BodyCount() == 0)
            continue;
        // Bodies without recorded frames (a relax run keeps only their relaxed start) count by
        // the state they start from.
        const int first = p->FirstFrame(), end = first + std::max(1, p->RecordedFrameCount());
        lastFrame = std::max(lastFrame, end - 1);
        ++summary.simulatedObjects;
        summary.bodies += p->BodyCount();
        summary.recordedFrames = std::max(summary.recordedFrames, p->RecordedFrameCount());
        for (int i = 0; i < p->BodyCount(); ++i) {
            for (int f = first; f < end; ++f) {
                Matrix3 tm;
                const unsigned char alive = p->GetBodyTM(i, float(f), tm) ? 1 : 0;
                Mix(summary.hash, &alive, 1);
                for (int r = 0; alive && r < 4; ++r) {
                    const Point3 row = tm.GetRow(r);
                    const float v[3] = {row.x, row.y, row.z};
                    Mix(summary.hash, v, sizeof v);
                }
            }
        }
    }
    if (summary.simulatedObjects > 0)
        summary.bodiesAliveAtEnd = CountBodiesAlive(ip, lastFrame);
    return summary;
}

} // namespace Quarix::App
