#include "app/QX_Scene_Json.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "host/Interface.h"
#include "host/Modifier.h"
#include "host/Primitives.h"

namespace Quarix::App {

namespace {

using json = nlohmann::json;

/// Largest count of elements a generator makes (a typo should not exhaust memory).
constexpr double kMaxElements = 1.0e6;
/// Frames of keys and animated parameters stay within this magnitude.
constexpr double kMaxFrame = 1.0e6;
/// Sizes and positions stay within this magnitude (scene units).
constexpr double kMaxCoordinate = 1.0e9;

/// One JSON path in JSON-pointer form ("/nodes/2/mesh/radius").
class Path {
public:
    Path() = default;
    Path operator/(const std::string& key) const {
        std::string escaped;
        for (char c : key) {
            if (c == '~')
                escaped += "~0";
            else if (c == '/')
                escaped += "~1";
            else
                escaped += c;
        }
        return Path(m_text + "/" + escaped);
    }
    Path operator/(size_t index) const { return Path(m_text + "/" + std::to_string(index)); }
    std::string Text() const { return m_text.empty() ? "/" : m_text; }

private:
    explicit Path(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};

/// A short rendering of a JSON value for messages.
std::string Got(const json& j) {
    std::string text = j.dump();
    if (text.size() > 40)
        text = text.substr(0, 37) + "...";
    return text;
}

/// A node parameter value waiting for every node to exist.
struct PendingNodeValue {
    IParamBlock2* block;
    ParamID id;
    const json* value;
    Path path;
};

/// Reads one description into the host's scene.
class SceneBuilder {
public:
    SceneBuilder(Interface& ip, std::string file, std::string folder)
        : m_ip(ip), m_file(std::move(file)), m_folder(std::move(folder)) {}

    void Build(const json& root) {
        Expect(root.is_object(), Path(), "an object with \"nodes\"", root);
        CheckKeys(root, Path(), {"format", "units", "frameRate", "nodes", "description"});
        ReadSettings(root);
        const auto nodes = root.find("nodes");
        Expect(nodes != root.end(), Path() / "nodes", "a list of nodes", json());
        Expect(nodes->is_array(), Path() / "nodes", "a list of nodes", *nodes);
        for (size_t i = 0; i < nodes->size(); ++i)
            ReadNode((*nodes)[i], Path() / "nodes" / i);
        for (const PendingNodeValue& p : m_pendingNodes)
            SetNodeValue(p);
    }

private:
    // --- checks -----------------------------------------------------------------------------
    [[noreturn]] void Fail(const Path& path, const std::string& what) const {
        throw InputError(m_file + ": at " + path.Text() + ": " + what);
    }
    void Expect(bool ok, const Path& path, const std::string& expected, const json& got) const {
        if (!ok)
            Fail(path, "expected " + expected + ", got " + (got.is_null() ? "nothing" : Got(got)));
    }
    void CheckKeys(const json& object, const Path& path, std::set<std::string> allowed) const {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (allowed.count(it.key()) == 0) {
                std::string list;
                for (const std::string& a : allowed)
                    list += (list.empty() ? "" : ", ") + a;
                Fail(path / it.key(),
                     "unknown key \"" + it.key() + "\" (expected one of " + list + ")");
            }
        }
    }
    double Number(const json& j, const Path& path, double lo, double hi) const {
        Expect(j.is_number(), path, "a number from " + Format(lo) + " to " + Format(hi), j);
        const double v = j.get<double>();
        Expect(std::isfinite(v) && v >= lo && v <= hi, path,
               "a number from " + Format(lo) + " to " + Format(hi), j);
        return v;
    }
    int Integer(const json& j, const Path& path, double lo, double hi) const {
        const std::string expected = "a whole number from " + Format(lo) + " to " + Format(hi);
        Expect(j.is_number(), path, expected, j);
        const double v = j.get<double>();
        Expect(std::isfinite(v) && v == std::floor(v) && v >= lo && v <= hi, path, expected, j);
        return static_cast<int>(v);
    }
    Point3 Vector(const json& j, const Path& path, double lo, double hi) const {
        Expect(j.is_array() && j.size() == 3, path, "three numbers [x, y, z]", j);
        return Point3(float(Number(j[0], path / 0, lo, hi)), float(Number(j[1], path / 1, lo, hi)),
                      float(Number(j[2], path / 2, lo, hi)));
    }
    Point3 Size(const json& j, const Path& path) const {
        return Vector(j, path, 1e-6, kMaxCoordinate);
    }
    static std::string Format(double v) {
        std::ostringstream out;
        out << v;
        return out.str();
    }
    const json& Member(const json& object, const Path& path, const char* key,
                       const std::string& expected) const {
        const auto it = object.find(key);
        Expect(it != object.end(), path / key, expected, json());
        return *it;
    }

    // --- scene settings ---------------------------------------------------------------------
    void ReadSettings(const json& root) {
        static const std::map<std::string, int> kUnits = {
            {"mm", UNITS_MILLIMETERS}, {"cm", UNITS_CENTIMETERS}, {"m", UNITS_METERS},
            {"km", UNITS_KILOMETERS},  {"in", UNITS_INCHES},      {"ft", UNITS_FEET}};
        int unit = UNITS_CENTIMETERS;
        if (const auto it = root.find("units"); it != root.end()) {
            const bool known = it->is_string() && kUnits.count(it->get<std::string>()) != 0;
            Expect(known, Path() / "units", "one of \"mm\", \"cm\", \"m\", \"km\", \"in\", \"ft\"",
                   *it);
            unit = kUnits.at(it->get<std::string>());
        }
        m_ip.SetSystemUnitInfo(unit, 1.0f);
        if (const auto it = root.find("frameRate"); it != root.end())
            m_ip.SetFrameRate(Integer(*it, Path() / "frameRate", 1, 120));
        if (const auto it = root.find("format"); it != root.end())
            Expect(*it == "quarix-scene", Path() / "format", "\"quarix-scene\"", *it);
    }

    // --- nodes ------------------------------------------------------------------------------
    void ReadNode(const json& j, const Path& path) {
        Expect(j.is_object(), path, "a node object", j);
        CheckKeys(j, path,
                  {"name", "mesh", "object", "position", "rotation", "scale", "keys", "wireColor",
                   "modifiers", "hidden"});
        const json& name = Member(j, path, "name", "a node name");
        Expect(name.is_string() && !name.get<std::string>().empty(), path / "name",
               "a non-empty node name", name);
        const std::string nodeName = name.get<std::string>();
        if (m_nodes.count(nodeName))
            Fail(path / "name", "a node named \"" + nodeName + "\" exists already");

        const bool hasMesh = j.contains("mesh"), hasObject = j.contains("object");
        if (hasMesh == hasObject)
            Fail(path, "expected exactly one of \"mesh\" and \"object\"");
        Object* object =
            hasMesh ? ReadMesh(j["mesh"], path / "mesh") : ReadObject(j["object"], path / "object");
        // The node owns the object from here on, so that a later failure frees it with the
        // scene.
        INode* node = m_ip.CreateObjectNode(object);
        node->SetName(FromUtf8(nodeName).c_str());
        m_nodes[nodeName] = node;

        if (const auto it = j.find("modifiers"); it != j.end()) {
            Expect(it->is_array(), path / "modifiers", "a list of modifiers", *it);
            IDerivedObject* derived = CreateDerivedObject(object);
            node->SetObjectRef(derived);
            // Listed bottom to top: each new one goes on top of the stack.
            for (size_t i = 0; i < it->size(); ++i)
                derived->AddModifier(ReadModifier((*it)[i], path / "modifiers" / i), nullptr, 0);
        }
        ReadTransform(j, path, *node);
        if (const auto it = j.find("wireColor"); it != j.end()) {
            Expect(it->is_array() && it->size() == 3, path / "wireColor",
                   "three whole numbers [r, g, b] from 0 to 255", *it);
            node->SetWireColor(RGB(Integer((*it)[0], path / "wireColor" / 0, 0, 255),
                                   Integer((*it)[1], path / "wireColor" / 1, 0, 255),
                                   Integer((*it)[2], path / "wireColor" / 2, 0, 255)));
        }
        if (const auto it = j.find("hidden"); it != j.end()) {
            Expect(it->is_boolean(), path / "hidden", "true or false", *it);
            node->Hide(it->get<bool>());
        }
    }

    /// A rotation given as degrees about x, then y, then z (world axes).
    Quat Rotation(const json& j, const Path& path) const {
        const Point3 deg = Vector(j, path, -1e6, 1e6);
        constexpr float kRad = 3.14159265358979f / 180.0f;
        Matrix3 m;
        m.RotateX(deg.x * kRad);
        m.RotateY(deg.y * kRad);
        m.RotateZ(deg.z * kRad);
        return Quat(m);
    }

    void ReadTransform(const json& j, const Path& path, INode& node) {
        auto* prs = dynamic_cast<PRSController*>(node.GetTMController());
        if (!prs)
            Fail(path, "the node has no position/rotation/scale controller");
        AffineParts parts;
        if (const auto it = j.find("position"); it != j.end())
            parts.t = Vector(*it, path / "position", -kMaxCoordinate, kMaxCoordinate);
        if (const auto it = j.find("rotation"); it != j.end())
            parts.q = Rotation(*it, path / "rotation");
        if (const auto it = j.find("scale"); it != j.end())
            parts.s = Size(*it, path / "scale");
        prs->SetLocal(0, ComposeAffine(parts));

        const auto keys = j.find("keys");
        if (keys == j.end())
            return;
        Expect(keys->is_array(), path / "keys", "a list of keys", *keys);
        for (size_t i = 0; i < keys->size(); ++i) {
            const json& k = (*keys)[i];
            const Path kp = path / "keys" / i;
            Expect(k.is_object(), kp, "a key object with \"frame\"", k);
            CheckKeys(k, kp, {"frame", "position", "rotation", "scale", "step"});
            const TimeValue t =
                Integer(Member(k, kp, "frame", "a frame"), kp / "frame", -kMaxFrame, kMaxFrame) *
                GetTicksPerFrame();
            bool step = false;
            if (const auto s = k.find("step"); s != k.end()) {
                Expect(s->is_boolean(), kp / "step", "true or false", *s);
                step = s->get<bool>();
            }
            if (const auto p = k.find("position"); p != k.end())
                prs->SetPositionKey(t, Vector(*p, kp / "position", -kMaxCoordinate, kMaxCoordinate),
                                    step);
            if (const auto r = k.find("rotation"); r != k.end())
                prs->SetRotationKey(t, Rotation(*r, kp / "rotation"), step);
            if (const auto s = k.find("scale"); s != k.end())
                prs->SetScaleKey(t, Size(*s, kp / "scale"), step);
        }
    }

    // --- meshes -----------------------------------------------------------------------------
    Object* ReadMesh(const json& j, const Path& path) {
        Expect(j.is_object(), path, "a mesh object (primitive, file or generator)", j);
        const int kinds =
            int(j.contains("primitive")) + int(j.contains("file")) + int(j.contains("generator"));
        if (kinds != 1)
            Fail(path, "expected exactly one of \"primitive\", \"file\" and \"generator\"");
        if (j.contains("primitive"))
            return ReadPrimitive(j, path);
        TriObject* tri = CreateNewTriObject();
        std::unique_ptr<TriObject> owner(tri);
        if (j.contains("file")) {
            CheckKeys(j, path, {"file"});
            tri->mesh = ReadMeshFile(j["file"], path / "file");
        } else {
            tri->mesh = ReadGenerator(j, path);
            CheckMesh(tri->mesh, m_file + ": at " + path.Text());
        }
        return owner.release();
    }

    Object* ReadPrimitive(const json& j, const Path& path) {
        const json& kind = j["primitive"];
        const Path kp = path / "primitive";
        Expect(kind.is_string(), kp, "\"box\", \"sphere\", \"cylinder\" or \"plane\"", kind);
        const std::string k = kind.get<std::string>();
        if (k == "box") {
            CheckKeys(j, path, {"primitive", "size", "segments"});
            const Point3 s =
                Size(Member(j, path, "size", "[length, width, height]"), path / "size");
            auto box = std::make_unique<BoxObject>(s.x, s.y, s.z);
            if (const auto seg = j.find("segments"); seg != j.end()) {
                const Point3 n = Vector(*seg, path / "segments", 1, 200);
                if (n.x != std::floor(n.x) || n.y != std::floor(n.y) || n.z != std::floor(n.z))
                    Fail(path / "segments", "expected three whole numbers from 1 to 200");
                box->SetSegments(int(n.x), int(n.y), int(n.z));
            }
            return box.release();
        }
        if (k == "sphere") {
            CheckKeys(j, path, {"primitive", "radius", "segments"});
            const double r = Number(Member(j, path, "radius", "a radius"), path / "radius", 1e-6,
                                    kMaxCoordinate);
            int segments = 16;
            if (const auto seg = j.find("segments"); seg != j.end())
                segments = Integer(*seg, path / "segments", 4, 200);
            return new SphereObject(float(r), segments);
        }
        if (k == "cylinder") {
            CheckKeys(j, path, {"primitive", "radius", "height", "sides", "heightSegments"});
            const double r = Number(Member(j, path, "radius", "a radius"), path / "radius", 1e-6,
                                    kMaxCoordinate);
            const double h = Number(Member(j, path, "height", "a height"), path / "height", 1e-6,
                                    kMaxCoordinate);
            int sides = 18, hs = 1;
            if (const auto s = j.find("sides"); s != j.end())
                sides = Integer(*s, path / "sides", 3, 200);
            if (const auto s = j.find("heightSegments"); s != j.end())
                hs = Integer(*s, path / "heightSegments", 1, 200);
            return new CylinderObject(float(r), float(h), hs, sides);
        }
        if (k == "plane") {
            CheckKeys(j, path, {"primitive", "size", "segments"});
            const json& size = Member(j, path, "size", "[length, width]");
            Expect(size.is_array() && size.size() == 2, path / "size", "[length, width]", size);
            const double l = Number(size[0], path / "size" / 0, 1e-6, kMaxCoordinate);
            const double w = Number(size[1], path / "size" / 1, 1e-6, kMaxCoordinate);
            auto plane = std::make_unique<PlaneObject>(float(l), float(w));
            if (const auto seg = j.find("segments"); seg != j.end()) {
                Expect(seg->is_array() && seg->size() == 2, path / "segments",
                       "[length segments, width segments]", *seg);
                plane->SetSegments(Integer((*seg)[0], path / "segments" / 0, 1, 200),
                                   Integer((*seg)[1], path / "segments" / 1, 1, 200));
            }
            return plane.release();
        }
        Fail(kp, "expected \"box\", \"sphere\", \"cylinder\" or \"plane\", got " + Got(kind));
    }

    Mesh ReadMeshFile(const json& j, const Path& path) const {
        Expect(j.is_string() && !j.get<std::string>().empty(), path, "a mesh file name", j);
        std::filesystem::path file = j.get<std::string>();
        if (file.is_relative() && !m_folder.empty())
            file = std::filesystem::path(m_folder) / file;
        const std::string ext = file.extension().string();
        const std::string where = m_file + ": at " + path.Text() + ": ";
        try {
            if (ext == ".obj" || ext == ".OBJ")
                return LoadObjMesh(file.string());
            if (ext == ".gltf" || ext == ".glb")
                return LoadGltfMesh(file.string(), 1.0 / m_ip.GetMasterScale(UNITS_METERS));
        } catch (const InputError& e) {
            throw InputError(where + e.what());
        }
        Fail(path, "expected an .obj, .gltf or .glb file, got " + Got(j));
    }

    Mesh ReadGenerator(const json& j, const Path& path) const {
        const json& kind = j["generator"];
        const Path kp = path / "generator";
        Expect(kind.is_string(), kp, "\"wall\", \"stack\" or \"grid\"", kind);
        const std::string k = kind.get<std::string>();
        float gap = 0.0f;
        if (const auto g = j.find("gap"); g != j.end())
            gap = float(Number(*g, path / "gap", 0.0, kMaxCoordinate));
        if (k == "wall") {
            CheckKeys(j, path, {"generator", "columns", "rows", "brick", "gap"});
            const int columns =
                Integer(Member(j, path, "columns", "a column count"), path / "columns", 1, 10000);
            const int rows =
                Integer(Member(j, path, "rows", "a row count"), path / "rows", 1, 10000);
            if (double(columns) * rows > kMaxElements)
                Fail(path, "expected at most a million bricks");
            return MakeBrickWall(
                columns, rows,
                Size(Member(j, path, "brick", "[length, depth, height]"), path / "brick"), gap);
        }
        if (k == "stack") {
            CheckKeys(j, path, {"generator", "count", "box", "gap"});
            const int count =
                Integer(Member(j, path, "count", "a box count"), path / "count", 1, kMaxElements);
            return MakeStack(
                count, Size(Member(j, path, "box", "[length, width, height]"), path / "box"), gap);
        }
        if (k == "grid") {
            CheckKeys(j, path, {"generator", "counts", "piece", "gap"});
            const Point3 n =
                Vector(Member(j, path, "counts", "[nx, ny, nz]"), path / "counts", 1, kMaxElements);
            if (n.x != std::floor(n.x) || n.y != std::floor(n.y) || n.z != std::floor(n.z) ||
                double(n.x) * n.y * n.z > kMaxElements)
                Fail(path / "counts", "expected whole counts of at most a million pieces in all");
            return MakeGrid(
                int(n.x), int(n.y), int(n.z),
                Size(Member(j, path, "piece", "[length, width, height]"), path / "piece"), gap);
        }
        Fail(kp, "expected \"wall\", \"stack\" or \"grid\", got " + Got(kind));
    }

    // --- objects, modifiers and parameters --------------------------------------------------
    /// An instance of the class named in j["class"] with super class `sclass` (0: any but a
    /// modifier), its parameters set.
    Animatable* CreateClass(const json& j, const Path& path, bool modifier) {
        Expect(j.is_object(), path, "an object with \"class\"", j);
        CheckKeys(j, path, {"class", "params"});
        const json& cls = Member(j, path, "class", "a class name");
        Expect(cls.is_string(), path / "class", "a class name", cls);
        ClassDesc* cd =
            m_ip.GetClassDirectory().FindByName(FromUtf8(cls.get<std::string>()).c_str());
        if (!cd)
            Fail(path / "class", "no class named " + Got(cls) + " is registered");
        if ((cd->SuperClassID() == OSM_CLASS_ID) != modifier)
            Fail(path / "class", std::string("class ") + Got(cls) +
                                     (modifier ? " is not a modifier" : " is a modifier"));
        void* raw = cd->Create(FALSE);
        std::unique_ptr<Animatable> anim(raw ? static_cast<Animatable*>(raw) : nullptr);
        if (!anim)
            Fail(path / "class", "class " + Got(cls) + " could not be created");
        if (const auto params = j.find("params"); params != j.end())
            ReadParams(*anim, *params, path / "params", cls.get<std::string>());
        return anim.release();
    }

    /// An instance of the class named in j["class"] as a T (Object or Modifier), or a refusal.
    template <class T>
    T* ReadInstance(const json& j, const Path& path, const char* kind) {
        std::unique_ptr<Animatable> anim(CreateClass(j, path, std::is_same_v<T, Modifier>));
        auto* typed = dynamic_cast<T*>(anim.get());
        if (!typed)
            Fail(path / "class", std::string("the class does not make ") + kind);
        anim.release();
        return typed;
    }
    Object* ReadObject(const json& j, const Path& path) {
        return ReadInstance<Object>(j, path, "scene objects");
    }
    Modifier* ReadModifier(const json& j, const Path& path) {
        return ReadInstance<Modifier>(j, path, "modifiers");
    }

    /// The block and id of a parameter by internal name, or by "#id".
    std::pair<IParamBlock2*, ParamID> FindParam(Animatable& anim, const std::string& key) const {
        for (int b = 0; b < anim.NumParamBlocks(); ++b) {
            IParamBlock2* block = anim.GetParamBlock(b);
            if (!block)
                continue;
            ParamID id = -1;
            if (key.size() > 1 && key[0] == '#') {
                char* end = nullptr;
                const long v = std::strtol(key.c_str() + 1, &end, 10);
                if (*end == '\0' && block->GetParamDef(ParamID(v)))
                    id = ParamID(v);
            } else {
                id = block->FindParamByName(FromUtf8(key).c_str());
            }
            if (id >= 0)
                return {block, id};
        }
        return {nullptr, -1};
    }

    void ReadParams(Animatable& anim, const json& params, const Path& path,
                    const std::string& className) {
        Expect(params.is_object(), path, "an object of parameters by internal name", params);
        for (auto it = params.begin(); it != params.end(); ++it) {
            const auto [block, id] = FindParam(anim, it.key());
            if (!block)
                Fail(path / it.key(),
                     "class \"" + className + "\" has no parameter named \"" + it.key() + "\"");
            SetParam(*block, id, it.value(), path / it.key());
        }
    }

    void SetParam(IParamBlock2& block, ParamID id, const json& v, const Path& path) {
        const ParamDef& def = *block.GetParamDef(id);
        const ParamType2 base = def.BaseType();
        if (base == TYPE_INODE) {
            if (def.IsTab())
                Expect(v.is_array(), path, "a list of node names", v);
            else
                Expect(v.is_string(), path, "a node name", v);
            m_pendingNodes.push_back({&block, id, &v, path});
            return;
        }
        if (def.IsTab())
            Fail(path, "tables of this type cannot be set from a scene description");
        if (v.is_object()) {
            SetAnimated(block, def, v, path);
            return;
        }
        SetPlain(block, def, 0, v, path);
    }

    void SetPlain(IParamBlock2& block, const ParamDef& def, TimeValue t, const json& v,
                  const Path& path) {
        const ParamType2 base = def.BaseType();
        const double lo = def.hasRange ? def.rangeLo : -3.4e38,
                     hi = def.hasRange ? def.rangeHi : 3.4e38;
        BOOL ok = FALSE;
        if (base == TYPE_STRING) {
            Expect(v.is_string(), path, "a text", v);
            ok = block.SetValue(def.id, t, FromUtf8(v.get<std::string>()).c_str());
        } else if (base == TYPE_BOOL) {
            Expect(v.is_boolean() || (v.is_number_integer() && (v == 0 || v == 1)), path,
                   "true or false", v);
            ok = block.SetValue(def.id, t, v.is_boolean() ? int(v.get<bool>()) : v.get<int>());
        } else if (base == TYPE_INT) {
            ok = block.SetValue(def.id, t, Integer(v, path, lo, hi));
        } else {
            ok = block.SetValue(def.id, t, float(Number(v, path, lo, hi)));
        }
        if (!ok)
            Fail(path, "the parameter refused the value " + Got(v));
    }

    void SetAnimated(IParamBlock2& block, const ParamDef& def, const json& v, const Path& path) {
        if (!def.IsAnimatable())
            Fail(path, "expected a plain value (the parameter is not animatable), got " + Got(v));
        CheckKeys(v, path, {"keys"});
        const json& keys = Member(v, path, "keys", "a list of [frame, value] pairs");
        Expect(keys.is_array() && !keys.empty(), path / "keys", "a list of [frame, value] pairs",
               keys);
        AnimateOn();
        try {
            for (size_t i = 0; i < keys.size(); ++i) {
                const json& k = keys[i];
                Expect(k.is_array() && k.size() == 2, path / "keys" / i, "a [frame, value] pair",
                       k);
                const int frame = Integer(k[0], path / "keys" / i / 0, -kMaxFrame, kMaxFrame);
                SetPlain(block, def, frame * GetTicksPerFrame(), k[1], path / "keys" / i / 1);
            }
        } catch (...) {
            AnimateOff();
            throw;
        }
        AnimateOff();
    }

    INode* NodeByName(const json& name, const Path& path) const {
        Expect(name.is_string(), path, "a node name", name);
        const auto it = m_nodes.find(name.get<std::string>());
        if (it == m_nodes.end())
            Fail(path, "no node named " + Got(name) + " in this scene");
        return it->second;
    }

    void SetNodeValue(const PendingNodeValue& p) {
        const ParamDef& def = *p.block->GetParamDef(p.id);
        if (!def.IsTab()) {
            p.block->SetValue(p.id, 0, NodeByName(*p.value, p.path));
            return;
        }
        std::vector<INode*> list;
        for (size_t i = 0; i < p.value->size(); ++i) {
            INode* node = NodeByName((*p.value)[i], p.path / i);
            if (std::find(list.begin(), list.end(), node) != list.end())
                Fail(p.path / i, "node " + Got((*p.value)[i]) + " is listed twice");
            list.push_back(node);
        }
        p.block->SetCount(p.id, 0);
        if (!list.empty())
            p.block->Append(p.id, int(list.size()), list.data());
    }

    Interface& m_ip;
    std::string m_file;
    std::string m_folder;
    std::map<std::string, INode*> m_nodes;
    std::vector<PendingNodeValue> m_pendingNodes;
};

} // namespace

std::pair<int, int> LineAndColumn(const std::string& text, size_t offset) {
    int line = 1, column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

void LoadJsonSceneText(Interface& ip, const std::string& text, const std::string& fileName,
                       const std::string& folder) {
    ip.ResetScene();
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        // nlohmann reports the byte after the offending one; point at the offending byte.
        const size_t at = e.byte > 0 ? e.byte - 1 : 0;
        const auto [line, column] = LineAndColumn(text, at);
        std::string why = e.what();
        if (const size_t colon = why.find(": "); colon != std::string::npos)
            why = why.substr(colon + 2);
        throw InputError(fileName + ":" + std::to_string(line) + ":" + std::to_string(column) +
                         ": syntax error: " + why);
    }
    try {
        SceneBuilder(ip, fileName, folder).Build(root);
    } catch (...) {
        ip.ResetScene();
        throw;
    }
}

void LoadJsonScene(Interface& ip, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw InputError(path + ": cannot be opened");
    std::ostringstream text;
    text << in.rdbuf();
    if (!in.good() && !in.eof())
        throw InputError(path + ": cannot be read");
    LoadJsonSceneText(ip, text.str(), path, std::filesystem::path(path).parent_path().string());
}

} // namespace Quarix::App
