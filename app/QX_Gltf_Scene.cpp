#include "app/QX_Gltf_Scene.h"

#include <cmath>
#include <map>

#include "app/QX_Glb_Builder.h"
#include "app/QX_Rotation.h"
#include "app/QX_Session.h"
#include "host/IQXBodyPlayback.h"
#include "host/Interface.h"
#include "host/Modifier.h"

namespace Quarix::App {

namespace {

constexpr double kHalfSqrt2 = 0.70710678118654752;

/// A transform as glTF's translation (metres), rotation and scale.
struct Trs {
    float t[3] = {0, 0, 0};
    float q[4] = {0, 0, 0, 1};
    float s[3] = {1, 1, 1};
};

/// Splits a host transform (rows: images of the axes, then the translation).
Trs ToTrs(const Matrix3& m, double metres) {
    Trs out;
    Point3 axis[3];
    for (int i = 0; i < 3; ++i) {
        axis[i] = m.GetRow(i);
        const float length =
            std::sqrt(axis[i].x * axis[i].x + axis[i].y * axis[i].y + axis[i].z * axis[i].z);
        out.s[i] = length;
        if (length > 0.0f)
            axis[i] = axis[i] * (1.0f / length);
    }
    if (m.Determinant() < 0.0f) {
        out.s[0] = -out.s[0];
        axis[0] = axis[0] * -1.0f;
    }
    double q[4];
    RotationQuaternion(axis, q);
    for (int i = 0; i < 4; ++i)
        out.q[i] = float(q[i]);
    const Point3 t = m.GetTrans();
    out.t[0] = float(t.x * metres);
    out.t[1] = float(t.y * metres);
    out.t[2] = float(t.z * metres);
    return out;
}

/// Sampled motion of one glTF node, one entry per exported frame.
struct Track {
    std::vector<float> translations, rotations, scales;

    void Add(const Trs& trs, bool visible) {
        float q[4] = {trs.q[0], trs.q[1], trs.q[2], trs.q[3]};
        // Keep consecutive keys on one hemisphere so the blend takes the short way.
        if (rotations.size() >= 4) {
            const float* p = &rotations[rotations.size() - 4];
            if (p[0] * q[0] + p[1] * q[1] + p[2] * q[2] + p[3] * q[3] < 0.0f)
                for (float& c : q)
                    c = -c;
        }
        translations.insert(translations.end(), trs.t, trs.t + 3);
        rotations.insert(rotations.end(), q, q + 4);
        for (int i = 0; i < 3; ++i)
            scales.push_back(visible ? trs.s[i] : 0.0f);
    }
    bool IsConstant() const {
        const auto same = [](const std::vector<float>& v, size_t width) {
            for (size_t i = width; i < v.size(); ++i)
                if (v[i] != v[i - width])
                    return false;
            return true;
        };
        return same(translations, 3) && same(rotations, 4) && same(scales, 3);
    }
};

class SceneExporter {
public:
    SceneExporter(Interface& ip, const SceneExportOptions& options)
        : m_ip(ip), m_skip(options.skip), m_first(options.firstFrame),
          m_last(std::max(options.firstFrame, options.lastFrame)), m_sampled(options.sampled),
          m_metres(ip.GetMasterScale(UNITS_METERS)) {}

    bool Write(const std::string& path, std::string& error, SceneExportStats* stats) {
        tinygltf::Node root;
        root.name = "Quarix";
        root.rotation = {-kHalfSqrt2, 0.0, 0.0, kHalfSqrt2};
        m_b.model.nodes.push_back(root);
        std::vector<float> times;
        for (int f = m_first; f <= m_last; ++f)
            times.push_back(float(f - m_first) / float(m_ip.GetFrameRate()));
        m_times = m_b.AddFloats(times.data(), times.size(), TINYGLTF_TYPE_SCALAR, 1, true);
        m_animation.name = "simulation";

        for (INode* node : m_ip.AllNodes()) {
            if (node->IsHidden() || m_skip.count(node))
                continue;
            IQXBodyPlayback* playback = FindBodyPlayback(*node);
            if (playback && playback->BodyCount() > 0)
                ExportBodies(*node, *playback);
            else
                ExportNode(*node);
        }
        if (!m_animation.channels.empty())
            m_b.model.animations.push_back(m_animation);
        tinygltf::Scene scene;
        scene.name = "Quarix";
        scene.nodes.push_back(0);
        m_b.model.scenes.push_back(scene);
        m_b.model.defaultScene = 0;
        if (stats)
            *stats = m_stats;
        return m_b.WriteGlb(path, error);
    }

private:
    TimeValue Time(int frame) const { return frame * GetTicksPerFrame(); }

    int Material(COLORREF colour) {
        const auto it = m_materials.find(colour);
        if (it != m_materials.end())
            return it->second;
        // Wire colours are sRGB; glTF factors are linear.
        const auto linear = [](int c) { return std::pow(double(c) / 255.0, 2.2); };
        tinygltf::Material material;
        material.name = "wire_" + std::to_string(GetRValue(colour)) + "_" +
                        std::to_string(GetGValue(colour)) + "_" + std::to_string(GetBValue(colour));
        material.pbrMetallicRoughness.baseColorFactor = {
            linear(GetRValue(colour)), linear(GetGValue(colour)), linear(GetBValue(colour)), 1.0};
        material.pbrMetallicRoughness.metallicFactor = 0.0;
        material.pbrMetallicRoughness.roughnessFactor = 0.8;
        m_b.model.materials.push_back(material);
        return m_materials[colour] = int(m_b.model.materials.size() - 1);
    }

    /// A glTF mesh of `mesh` (scene units, object space): faces that share a vertex and a
    /// smoothing group share its normal; other corners get the face normal. -1 for no faces.
    int AddMesh(const Mesh& mesh, const std::string& name, int material) {
        std::vector<float> positions, normals;
        std::vector<uint32_t> indices;
        std::map<std::pair<DWORD, DWORD>, uint32_t> shared; // (vertex, group) -> output vertex
        std::vector<Point3> faceNormals;
        for (const Face& f : mesh.faces) {
            const Point3 a = mesh.verts[f.v[0]], b = mesh.verts[f.v[1]], c = mesh.verts[f.v[2]];
            faceNormals.push_back(CrossProd(b - a, c - a));
        }
        std::vector<Point3> sums;
        for (size_t fi = 0; fi < mesh.faces.size(); ++fi) {
            const Face& f = mesh.faces[fi];
            for (int k = 0; k < 3; ++k) {
                uint32_t out;
                const auto key = std::make_pair(f.v[k], f.smGroup);
                const auto it = f.smGroup ? shared.find(key) : shared.end();
                if (it != shared.end()) {
                    out = it->second;
                } else {
                    out = uint32_t(sums.size());
                    const Point3 p = mesh.verts[f.v[k]];
                    positions.insert(positions.end(), {float(p.x * m_metres), float(p.y * m_metres),
                                                       float(p.z * m_metres)});
                    sums.push_back(Point3());
                    if (f.smGroup)
                        shared[key] = out;
                }
                sums[out] += faceNormals[fi];
                indices.push_back(out);
            }
        }
        if (indices.empty())
            return -1;
        for (Point3 n : sums) {
            const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            n = length > 0.0f ? n * (1.0f / length) : Point3(0, 0, 1);
            normals.insert(normals.end(), {n.x, n.y, n.z});
        }
        tinygltf::Primitive primitive;
        primitive.attributes["POSITION"] =
            m_b.AddFloats(positions.data(), positions.size(), TINYGLTF_TYPE_VEC3, 3, true,
                          TINYGLTF_TARGET_ARRAY_BUFFER);
        primitive.attributes["NORMAL"] =
            m_b.AddFloats(normals.data(), normals.size(), TINYGLTF_TYPE_VEC3, 3, false,
                          TINYGLTF_TARGET_ARRAY_BUFFER);
        primitive.indices = m_b.AddIndices(indices);
        primitive.material = material;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        tinygltf::Mesh out;
        out.name = name;
        out.primitives.push_back(primitive);
        m_b.model.meshes.push_back(out);
        return int(m_b.model.meshes.size() - 1);
    }

    /// Adds a node with `mesh` under the root, placed at the track's first sample and
    /// animated when the track moves.
    void AddNode(const std::string& name, int mesh, const Track& track) {
        tinygltf::Node node;
        node.name = name;
        node.mesh = mesh;
        node.translation = {track.translations[0], track.translations[1], track.translations[2]};
        node.rotation = {track.rotations[0], track.rotations[1], track.rotations[2],
                         track.rotations[3]};
        node.scale = {track.scales[0], track.scales[1], track.scales[2]};
        m_b.model.nodes.push_back(node);
        const int index = int(m_b.model.nodes.size() - 1);
        m_b.model.nodes[0].children.push_back(index);
        ++m_stats.meshNodes;
        if (track.IsConstant())
            return;
        ++m_stats.animated;
        AddChannel(index, track.translations, TINYGLTF_TYPE_VEC3, 3, "translation", "LINEAR");
        AddChannel(index, track.rotations, TINYGLTF_TYPE_VEC4, 4, "rotation", "LINEAR");
        AddChannel(index, track.scales, TINYGLTF_TYPE_VEC3, 3, "scale", "STEP");
    }

    void AddChannel(int node, const std::vector<float>& values, int type, size_t width,
                    const char* property, const char* interpolation) {
        tinygltf::AnimationSampler sampler;
        sampler.input = m_times;
        sampler.output = m_b.AddFloats(values.data(), values.size(), type, width, false);
        sampler.interpolation = interpolation;
        m_animation.samplers.push_back(sampler);
        tinygltf::AnimationChannel channel;
        channel.sampler = int(m_animation.samplers.size() - 1);
        channel.target_node = node;
        channel.target_path = property;
        m_animation.channels.push_back(channel);
    }

    void ExportBodies(INode& node, IQXBodyPlayback& playback) {
        const std::string name = ToUtf8(node.GetName());
        const int material = Material(node.GetWireColor());
        for (int i = 0; i < playback.BodyCount(); ++i) {
            Mesh piece;
            if (!playback.GetBodyMesh(i, piece))
                continue;
            const std::string bodyName = name + "_" + std::to_string(i);
            const int mesh = AddMesh(piece, bodyName, material);
            if (mesh < 0)
                continue;
            // Frames outside the body's life hold the nearest transform it had, hidden.
            std::vector<std::pair<Matrix3, bool>> samples = BodySamples(node, playback, i);
            FillDeadSamples(samples);
            Track track;
            for (const auto& [tm, alive] : samples)
                track.Add(ToTrs(tm, m_metres), alive);
            AddNode(bodyName, mesh, track);
            ++m_stats.bodies;
        }
    }

    /// Body i's transform and life at every exported frame: sampled by the caller when the
    /// options hold the node, else as recorded.
    std::vector<std::pair<Matrix3, bool>> BodySamples(INode& node, IQXBodyPlayback& playback,
                                                      int i) const {
        std::vector<std::pair<Matrix3, bool>> samples;
        const auto sampled = m_sampled ? m_sampled->find(&node) : SampledMotion::const_iterator();
        if (m_sampled && sampled != m_sampled->end() && !sampled->second.empty()) {
            const std::vector<BodyPoses>& motion = sampled->second;
            for (int f = m_first; f <= m_last; ++f) {
                const BodyPoses& at = motion[std::min(size_t(f - m_first), motion.size() - 1)];
                samples.push_back(size_t(i) < at.size() ? at[size_t(i)]
                                                        : std::make_pair(Matrix3(), false));
            }
            return samples;
        }
        for (int f = m_first; f <= m_last; ++f) {
            Matrix3 tm;
            const bool alive = playback.GetBodyTM(i, float(f), tm);
            samples.emplace_back(tm, alive);
        }
        return samples;
    }

    /// Gives frames where a body is not alive the transform of the nearest earlier frame where
    /// it is, or before its birth that of its first.
    static void FillDeadSamples(std::vector<std::pair<Matrix3, bool>>& samples) {
        size_t first = 0;
        while (first < samples.size() && !samples[first].second)
            ++first;
        if (first == samples.size())
            return;
        for (size_t i = 0; i < first; ++i)
            samples[i].first = samples[first].first;
        for (size_t i = first + 1; i < samples.size(); ++i)
            if (!samples[i].second)
                samples[i].first = samples[i - 1].first;
    }

    void ExportNode(INode& node) {
        const ObjectState& os = node.EvalWorldState(Time(m_first));
        Object* obj = os.obj;
        if (!obj || obj->SuperClassID() != GEOMOBJECT_CLASS_ID ||
            !obj->CanConvertToType(triObjectClassID))
            return;
        Object* converted = obj->ConvertToType(Time(m_first), triObjectClassID);
        if (!converted)
            return;
        Mesh mesh = static_cast<TriObject*>(converted)->GetMesh();
        if (converted != obj)
            delete converted;
        const std::string name = ToUtf8(node.GetName());
        const int index = AddMesh(mesh, name, Material(node.GetWireColor()));
        if (index < 0)
            return;
        Track track;
        for (int f = m_first; f <= m_last; ++f)
            track.Add(ToTrs(node.GetObjectTM(Time(f)), m_metres),
                      node.GetVisibility(Time(f)) > 0.0f);
        AddNode(name, index, track);
    }

    Interface& m_ip;
    const std::set<INode*>& m_skip;
    int m_first, m_last;
    const SampledMotion* m_sampled;
    double m_metres;
    GlbBuilder m_b;
    int m_times = -1;
    tinygltf::Animation m_animation;
    std::map<COLORREF, int> m_materials;
    SceneExportStats m_stats;
};

} // namespace

bool ExportSceneGltf(Interface& ip, const SceneExportOptions& options, const std::string& path,
                     std::string& error, SceneExportStats* stats) {
    return SceneExporter(ip, options).Write(path, error, stats);
}

} // namespace Quarix::App
