#include "app/QX_Gltf_Export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtx/matrix_decompose.hpp>
#include <tiny_gltf.h>

#include "core/QX_BT_Math.h"

namespace Quarix::App {

namespace {

/// glTF is Y-up; the scene is Z-up: a quarter turn about -x maps z to y.
constexpr float kHalfSqrt2 = 0.70710678f;

class GlbBuilder {
public:
    /// Appends raw bytes to the single buffer (4-byte aligned) and returns a new view index.
    int addView(const void* data, size_t bytes, int target) {
        std::vector<unsigned char>& buffer = model.buffers[0].data;
        while (buffer.size() % 4)
            buffer.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.size();
        view.byteLength = bytes;
        if (target)
            view.target = target;
        const auto* p = static_cast<const unsigned char*>(data);
        buffer.insert(buffer.end(), p, p + bytes);
        model.bufferViews.push_back(view);
        return int(model.bufferViews.size() - 1);
    }

    int addAccessor(int view, int componentType, int type, size_t count,
                    std::vector<double> min = {}, std::vector<double> max = {}) {
        tinygltf::Accessor a;
        a.bufferView = view;
        a.componentType = componentType;
        a.type = type;
        a.count = count;
        a.minValues = std::move(min);
        a.maxValues = std::move(max);
        model.accessors.push_back(a);
        return int(model.accessors.size() - 1);
    }

    template <typename T>
    int addFloats(const std::vector<T>& values, int type, size_t components, bool bounds,
                  int target = 0) {
        const int view = addView(values.data(), values.size() * sizeof(T), target);
        const size_t count = values.size() * (sizeof(T) / sizeof(float)) / components;
        std::vector<double> mn, mx;
        if (bounds && count > 0) {
            const float* f = reinterpret_cast<const float*>(values.data());
            mn.assign(components, 1e30);
            mx.assign(components, -1e30);
            for (size_t i = 0; i < count; ++i) {
                for (size_t c = 0; c < components; ++c) {
                    mn[c] = std::min(mn[c], double(f[i * components + c]));
                    mx[c] = std::max(mx[c], double(f[i * components + c]));
                }
            }
        }
        return addAccessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, type, count, mn, mx);
    }

    tinygltf::Model model;
};

// Flat-shaded triangles of the listed faces, about `centre`.
void AppendBodyMesh(const QX_BT_Mesh_Data& mesh, const QX_BT_Face_List& faces,
                    const glm::vec3& centre, std::vector<glm::vec3>& positions,
                    std::vector<glm::vec3>& normals) {
    for (int32_t f : faces) {
        glm::vec3 p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = mesh.geometry.vertex(mesh.geometry.faces[3 * size_t(f) + k]) - centre;
        glm::vec3 n = glm::cross(p[1] - p[0], p[2] - p[0]);
        const float length = glm::length(n);
        n = length > 0.0f ? n / length : glm::vec3(0, 0, 1);
        for (int k = 0; k < 3; ++k) {
            positions.push_back(p[k]);
            normals.push_back(n);
        }
    }
}

} // namespace

bool ExportGltf(const std::vector<GltfObject>& objects, const GltfOptions& options,
                const std::string& path, std::string& error) {
    GlbBuilder b;
    tinygltf::Model& model = b.model;
    model.asset.version = "2.0";
    model.asset.generator = "Quarix Rigid";
    model.buffers.emplace_back();

    tinygltf::Node root;
    root.name = "Quarix";
    root.rotation = {-kHalfSqrt2, 0.0, 0.0, kHalfSqrt2};
    model.nodes.push_back(root);

    tinygltf::Animation animation;
    animation.name = "simulation";
    std::vector<float> times;
    for (int f = 0; f <= options.frames; ++f)
        times.push_back(float(f) / options.frameRate);
    const int timeAccessor = b.addFloats(times, TINYGLTF_TYPE_SCALAR, 1, true);

    for (const GltfObject& object : objects) {
        tinygltf::Material material;
        material.name = object.name;
        material.pbrMetallicRoughness.baseColorFactor = {object.colour.r, object.colour.g,
                                                         object.colour.b, 1.0};
        material.pbrMetallicRoughness.metallicFactor = 0.0;
        material.pbrMetallicRoughness.roughnessFactor = 0.8;
        model.materials.push_back(material);
        const int materialIndex = int(model.materials.size() - 1);

        int bodyNumber = 0;
        for (const auto& owned : object.core->bodies) {
            const QX_BT_Body& body = *owned;
            const QX_BT_CompoundShape* shape = body.compoundShape();
            if (shape == nullptr)
                continue;
            std::vector<glm::vec3> positions, normals;
            AppendBodyMesh(object.core->simulationMesh, CollectBodyFaces(body), shape->centre,
                           positions, normals);
            if (positions.empty())
                continue;

            tinygltf::Primitive primitive;
            primitive.attributes["POSITION"] =
                b.addFloats(positions, TINYGLTF_TYPE_VEC3, 3, true, TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.attributes["NORMAL"] =
                b.addFloats(normals, TINYGLTF_TYPE_VEC3, 3, false, TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.material = materialIndex;
            primitive.mode = TINYGLTF_MODE_TRIANGLES;
            tinygltf::Mesh gltfMesh;
            gltfMesh.name = object.name + "_" + std::to_string(bodyNumber);
            gltfMesh.primitives.push_back(primitive);
            model.meshes.push_back(gltfMesh);

            // Sampled world placement: node placement x centre x recorded node-relative state.
            std::vector<glm::vec3> translations, scales;
            std::vector<glm::vec4> rotations;
            const glm::mat4 centre = Translation(shape->centre);
            for (int f = 0; f <= options.frames; ++f) {
                const float frame = float(f);
                const QX_BT_Body_State s =
                    body.track.empty() ? body.startState : SampleTrack(body.track, frame);
                const glm::mat4 world =
                    object.core->nodePlacement(frame, options.scale) * centre * s.transform;
                const glm::mat4 rotation = RotationPart(world);
                glm::quat q = glm::quat_cast(glm::mat3(rotation));
                // Keep consecutive keys on the same hemisphere so the blend takes the short way.
                if (!rotations.empty() &&
                    glm::dot(glm::vec4(q.x, q.y, q.z, q.w), rotations.back()) < 0.0f)
                    q = -q;
                translations.push_back(glm::vec3(world[3]));
                rotations.push_back(glm::vec4(q.x, q.y, q.z, q.w));
                scales.push_back(glm::vec3(IsAlive(body, frame) ? 1.0f : 0.0f));
            }

            tinygltf::Node node;
            node.name = gltfMesh.name;
            node.mesh = int(model.meshes.size() - 1);
            node.translation = {translations[0].x, translations[0].y, translations[0].z};
            node.rotation = {rotations[0].x, rotations[0].y, rotations[0].z, rotations[0].w};
            node.scale = {scales[0].x, scales[0].y, scales[0].z};
            model.nodes.push_back(node);
            const int nodeIndex = int(model.nodes.size() - 1);
            model.nodes[0].children.push_back(nodeIndex);

            auto addChannel = [&](int output, const char* property, const char* interpolation) {
                tinygltf::AnimationSampler sampler;
                sampler.input = timeAccessor;
                sampler.output = output;
                sampler.interpolation = interpolation;
                animation.samplers.push_back(sampler);
                tinygltf::AnimationChannel channel;
                channel.sampler = int(animation.samplers.size() - 1);
                channel.target_node = nodeIndex;
                channel.target_path = property;
                animation.channels.push_back(channel);
            };
            addChannel(b.addFloats(translations, TINYGLTF_TYPE_VEC3, 3, false), "translation",
                       "LINEAR");
            addChannel(b.addFloats(rotations, TINYGLTF_TYPE_VEC4, 4, false), "rotation", "LINEAR");
            addChannel(b.addFloats(scales, TINYGLTF_TYPE_VEC3, 3, false), "scale", "STEP");
            ++bodyNumber;
        }
    }
    if (!animation.channels.empty())
        model.animations.push_back(animation);

    tinygltf::Scene scene;
    scene.name = "Quarix";
    scene.nodes.push_back(0);
    model.scenes.push_back(scene);
    model.defaultScene = 0;

    // Written beside the target and renamed, so a failed export never leaves half a file.
    const std::string temporary = path + ".part";
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToFile(&model, temporary, false, true, false, true)) {
        std::remove(temporary.c_str());
        error = "cannot write glTF file '" + path + "'";
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        error = "cannot write glTF file '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace Quarix::App
