#include "app/QX_Gltf_Export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtx/matrix_decompose.hpp>
#include <tiny_gltf.h>

#include "app/QX_Glb_Builder.h"

#include "core/QX_BT_Math.h"

namespace Quarix::App {

namespace {

/// glTF is Y-up; the scene is Z-up: a quarter turn about -x maps z to y.
constexpr float kHalfSqrt2 = 0.70710678f;

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

    tinygltf::Node root;
    root.name = "Quarix";
    root.rotation = {-kHalfSqrt2, 0.0, 0.0, kHalfSqrt2};
    model.nodes.push_back(root);

    tinygltf::Animation animation;
    animation.name = "simulation";
    std::vector<float> times;
    for (int f = 0; f <= options.frames; ++f)
        times.push_back(float(f) / options.frameRate);
    const int timeAccessor = b.AddFloats(times.data(), times.size(), TINYGLTF_TYPE_SCALAR, 1, true);

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
                b.AddFloats(&positions[0].x, positions.size() * 3, TINYGLTF_TYPE_VEC3, 3, true,
                            TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.attributes["NORMAL"] =
                b.AddFloats(&normals[0].x, normals.size() * 3, TINYGLTF_TYPE_VEC3, 3, false,
                            TINYGLTF_TARGET_ARRAY_BUFFER);
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
            addChannel(b.AddFloats(&translations[0].x, translations.size() * 3, TINYGLTF_TYPE_VEC3,
                                   3, false),
                       "translation", "LINEAR");
            addChannel(
                b.AddFloats(&rotations[0].x, rotations.size() * 4, TINYGLTF_TYPE_VEC4, 4, false),
                "rotation", "LINEAR");
            addChannel(b.AddFloats(&scales[0].x, scales.size() * 3, TINYGLTF_TYPE_VEC3, 3, false),
                       "scale", "STEP");
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

    return b.WriteGlb(path, error);
}

} // namespace Quarix::App
