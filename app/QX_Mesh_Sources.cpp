#include "app/QX_Mesh_Sources.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

#include <tiny_gltf.h>
#include <tiny_obj_loader.h>

#include "host/Quat.h"

namespace Quarix::App {

namespace {

/// Corners of a box as (x, y, z) signs, bit 0 x, bit 1 y, bit 2 z.
Point3 Corner(int i, const Point3& centre, const Point3& half) {
    return Point3(centre.x + ((i & 1) ? half.x : -half.x), centre.y + ((i & 2) ? half.y : -half.y),
                  centre.z + ((i & 4) ? half.z : -half.z));
}

/// Sides as quads (a, b, c, d) wound counter-clockwise seen from outside: bottom, top, front,
/// right, back, left.
constexpr int kSides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                              {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}};

void AddFace(Mesh& mesh, DWORD a, DWORD b, DWORD c, int side) {
    Face f;
    f.setVerts(a, b, c);
    // The quad's diagonal (c-a) is an invisible edge.
    f.setEdgeVisFlags(TRUE, TRUE, FALSE);
    f.setSmGroup(1u << side);
    f.setMatID(static_cast<MtlID>(side + 1));
    mesh.faces.push_back(f);
}

void RequirePositive(const Point3& size, const char* what) {
    if (!(size.x > 0.0f && size.y > 0.0f && size.z > 0.0f))
        throw InputError(std::string(what) + " sizes must be positive");
}

} // namespace

void AppendBoxElement(Mesh& mesh, const Point3& centre, const Point3& size) {
    const DWORD base = static_cast<DWORD>(mesh.verts.size());
    const Point3 half = size * 0.5f;
    for (int i = 0; i < 8; ++i)
        mesh.verts.push_back(Corner(i, centre, half));
    for (int s = 0; s < 6; ++s) {
        const int* q = kSides[s];
        AddFace(mesh, base + q[0], base + q[1], base + q[2], s);
        AddFace(mesh, base + q[2], base + q[3], base + q[0], s);
    }
}

Mesh MakeBrickWall(int columns, int rows, const Point3& brick, float gap) {
    RequirePositive(brick, "brick");
    Mesh mesh;
    // Courses rest on each other; the gap only separates the bricks of a course, so that their
    // hulls do not start in contact sideways and nothing has to fall into place.
    const float pitchX = brick.x + gap;
    const float pitchZ = brick.z;
    for (int row = 0; row < rows; ++row) {
        const float shift = (row % 2 == 0) ? 0.0f : 0.5f * pitchX;
        for (int c = 0; c < columns - row % 2; ++c) {
            const float x = (float(c) - 0.5f * float(columns - 1)) * pitchX + shift;
            const float z = 0.5f * brick.z + float(row) * pitchZ;
            AppendBoxElement(mesh, Point3(x, 0.0f, z), brick);
        }
    }
    return mesh;
}

Mesh MakeStack(int count, const Point3& box, float gap) {
    return MakeGrid(1, 1, count, box, gap);
}

Mesh MakeGrid(int nx, int ny, int nz, const Point3& piece, float gap) {
    RequirePositive(piece, "piece");
    Mesh mesh;
    const Point3 pitch = piece + Point3(gap, gap, gap);
    for (int k = 0; k < nz; ++k) {
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) {
                const Point3 centre((float(i) - 0.5f * float(nx - 1)) * pitch.x,
                                    (float(j) - 0.5f * float(ny - 1)) * pitch.y,
                                    0.5f * piece.z + float(k) * pitch.z);
                AppendBoxElement(mesh, centre, piece);
            }
        }
    }
    return mesh;
}

Mesh LoadObjMesh(const std::string& path) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    if (!std::filesystem::is_regular_file(path))
        throw InputError(path + ": no such mesh file");
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(),
                          folder.empty() ? nullptr : folder.c_str(), true)) {
        throw InputError(path + ": not a readable OBJ file: " + err);
    }
    Mesh mesh;
    const size_t vertexCount = attrib.vertices.size() / 3;
    for (size_t i = 0; i < vertexCount; ++i) {
        mesh.verts.emplace_back(attrib.vertices[3 * i], attrib.vertices[3 * i + 1],
                                attrib.vertices[3 * i + 2]);
    }
    for (const tinyobj::shape_t& shape : shapes) {
        const std::vector<tinyobj::index_t>& idx = shape.mesh.indices;
        size_t offset = 0;
        for (unsigned char corners : shape.mesh.num_face_vertices) {
            if (corners != 3 || offset + 3 > idx.size())
                throw InputError(path + ": shape '" + shape.name + "' has a face that is not a " +
                                 "triangle after triangulation");
            Face f;
            for (int c = 0; c < 3; ++c) {
                const int v = idx[offset + size_t(c)].vertex_index;
                if (v < 0 || size_t(v) >= vertexCount)
                    throw InputError(path + ": shape '" + shape.name + "' refers to vertex " +
                                     std::to_string(v + 1) + " of " + std::to_string(vertexCount));
                f.v[c] = DWORD(v);
            }
            f.setEdgeVisFlags(TRUE, TRUE, TRUE);
            f.setSmGroup(1);
            mesh.faces.push_back(f);
            offset += 3;
        }
    }
    CheckMesh(mesh, path);
    return mesh;
}

namespace {

/// A glTF node transform as a host matrix (row vectors: p' = p * M).
Matrix3 GltfNodeMatrix(const tinygltf::Node& node) {
    if (node.matrix.size() == 16) {
        const std::vector<double>& m = node.matrix; // column-major, column vectors
        return Matrix3(Point3(float(m[0]), float(m[1]), float(m[2])),
                       Point3(float(m[4]), float(m[5]), float(m[6])),
                       Point3(float(m[8]), float(m[9]), float(m[10])),
                       Point3(float(m[12]), float(m[13]), float(m[14])));
    }
    AffineParts parts;
    if (node.translation.size() == 3)
        parts.t = Point3(float(node.translation[0]), float(node.translation[1]),
                         float(node.translation[2]));
    if (node.rotation.size() == 4)
        parts.q = Quat(float(node.rotation[0]), float(node.rotation[1]), float(node.rotation[2]),
                       float(node.rotation[3]));
    if (node.scale.size() == 3)
        parts.s = Point3(float(node.scale[0]), float(node.scale[1]), float(node.scale[2]));
    return ComposeAffine(parts);
}

/// Reads a glTF file's accessors with their bounds checked.
class GltfReader {
public:
    GltfReader(const tinygltf::Model& model, const std::string& path)
        : m_model(model), m_path(path) {}

    /// The bytes of element i of an accessor, checked against its buffer.
    const unsigned char* Element(const tinygltf::Accessor& a, size_t i, size_t elementSize,
                                 const std::string& what) const {
        if (a.bufferView < 0 || size_t(a.bufferView) >= m_model.bufferViews.size())
            Fail(what + " has no buffer view (sparse accessors are not read)");
        const tinygltf::BufferView& view = m_model.bufferViews[size_t(a.bufferView)];
        if (view.buffer < 0 || size_t(view.buffer) >= m_model.buffers.size())
            Fail(what + " refers to a missing buffer");
        const tinygltf::Buffer& buffer = m_model.buffers[size_t(view.buffer)];
        const size_t stride = view.byteStride ? view.byteStride : elementSize;
        const size_t start = view.byteOffset + a.byteOffset + i * stride;
        if (start + elementSize > view.byteOffset + view.byteLength ||
            start + elementSize > buffer.data.size())
            Fail(what + " reaches past the end of its buffer");
        return buffer.data.data() + start;
    }

    [[noreturn]] void Fail(const std::string& why) const { throw InputError(m_path + ": " + why); }

    const tinygltf::Model& m_model;
    const std::string& m_path;
};

void AppendGltfPrimitive(const GltfReader& reader, const tinygltf::Primitive& prim,
                         const Matrix3& tm, const std::string& where, Mesh& mesh) {
    const tinygltf::Model& model = reader.m_model;
    if (prim.mode != TINYGLTF_MODE_TRIANGLES && prim.mode != -1)
        return; // points and lines have no faces to simulate
    const auto pos = prim.attributes.find("POSITION");
    if (pos == prim.attributes.end() || pos->second < 0 ||
        size_t(pos->second) >= model.accessors.size())
        reader.Fail(where + " has no POSITION accessor");
    const tinygltf::Accessor& pa = model.accessors[size_t(pos->second)];
    if (pa.type != TINYGLTF_TYPE_VEC3 || pa.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
        reader.Fail(where + " POSITION must be float VEC3");
    const DWORD base = DWORD(mesh.verts.size());
    for (size_t i = 0; i < pa.count; ++i) {
        float p[3];
        std::memcpy(p, reader.Element(pa, i, 12, where + " POSITION"), 12);
        mesh.verts.push_back(tm.PointTransform(Point3(p[0], p[1], p[2])));
    }
    std::vector<uint32_t> indices;
    if (prim.indices >= 0) {
        if (size_t(prim.indices) >= model.accessors.size())
            reader.Fail(where + " refers to a missing index accessor");
        const tinygltf::Accessor& ia = model.accessors[size_t(prim.indices)];
        const int ct = ia.componentType;
        const size_t size = ct == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE    ? 1
                            : ct == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ? 2
                            : ct == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT   ? 4
                                                                           : 0;
        if (ia.type != TINYGLTF_TYPE_SCALAR || size == 0)
            reader.Fail(where + " indices must be unsigned scalars");
        for (size_t i = 0; i < ia.count; ++i) {
            const unsigned char* e = reader.Element(ia, i, size, where + " indices");
            uint32_t v = 0;
            if (size == 1)
                v = e[0];
            else if (size == 2)
                v = uint32_t(e[0]) | uint32_t(e[1]) << 8;
            else
                std::memcpy(&v, e, 4);
            indices.push_back(v);
        }
    } else {
        for (size_t i = 0; i < pa.count; ++i)
            indices.push_back(uint32_t(i));
    }
    if (indices.size() % 3 != 0)
        reader.Fail(where + " has an index count that is not a multiple of 3");
    for (size_t i = 0; i < indices.size(); i += 3) {
        Face f;
        for (int c = 0; c < 3; ++c) {
            if (indices[i + size_t(c)] >= pa.count)
                reader.Fail(where + " index " + std::to_string(indices[i + size_t(c)]) +
                            " is out of range (" + std::to_string(pa.count) + " vertices)");
            f.v[c] = base + indices[i + size_t(c)];
        }
        // A determinant below zero mirrors the node: keep the faces facing outwards.
        if (tm.Determinant() < 0.0f)
            std::swap(f.v[1], f.v[2]);
        f.setEdgeVisFlags(TRUE, TRUE, TRUE);
        f.setSmGroup(1);
        mesh.faces.push_back(f);
    }
}

} // namespace

Mesh LoadGltfMesh(const std::string& path, double unitsPerMetre) {
    if (!std::filesystem::is_regular_file(path))
        throw InputError(path + ": no such mesh file");
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string err, warn;
    const bool binary = std::filesystem::path(path).extension() == ".glb";
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &err, &warn, path)
                           : loader.LoadASCIIFromFile(&model, &err, &warn, path);
    if (!ok)
        throw InputError(path + ": not a readable glTF file: " + err);
    GltfReader reader(model, path);

    // glTF is Y-up in metres; the scene is Z-up in its own unit: y becomes z, z becomes -y.
    Matrix3 toScene(Point3(1, 0, 0), Point3(0, 0, 1), Point3(0, -1, 0), Point3(0, 0, 0));
    toScene.Scale(Point3(float(unitsPerMetre), float(unitsPerMetre), float(unitsPerMetre)));

    Mesh mesh;
    std::vector<int> depth(model.nodes.size(), 0);
    const std::function<void(int, const Matrix3&, int)> visit = [&](int n, const Matrix3& parent,
                                                                    int level) {
        if (n < 0 || size_t(n) >= model.nodes.size() || level > 64)
            reader.Fail("node " + std::to_string(n) + " is missing or nested too deeply");
        const tinygltf::Node& node = model.nodes[size_t(n)];
        const Matrix3 tm = GltfNodeMatrix(node) * parent;
        if (node.mesh >= 0) {
            if (size_t(node.mesh) >= model.meshes.size())
                reader.Fail("node " + std::to_string(n) + " refers to a missing mesh");
            const tinygltf::Mesh& m = model.meshes[size_t(node.mesh)];
            for (size_t p = 0; p < m.primitives.size(); ++p)
                AppendGltfPrimitive(reader, m.primitives[p], tm,
                                    "mesh '" + m.name + "' primitive " + std::to_string(p), mesh);
        }
        for (int child : node.children)
            visit(child, tm, level + 1);
    };
    if (!model.scenes.empty()) {
        const size_t s = model.defaultScene >= 0 ? size_t(model.defaultScene) : 0;
        if (s >= model.scenes.size())
            reader.Fail("the default scene is missing");
        for (int n : model.scenes[s].nodes)
            visit(n, toScene, 0);
    } else {
        for (size_t m = 0; m < model.meshes.size(); ++m) {
            for (size_t p = 0; p < model.meshes[m].primitives.size(); ++p)
                AppendGltfPrimitive(reader, model.meshes[m].primitives[p], toScene,
                                    "mesh " + std::to_string(m), mesh);
        }
    }
    CheckMesh(mesh, path);
    return mesh;
}

void CheckMesh(const Mesh& mesh, const std::string& where) {
    if (mesh.faces.empty())
        throw InputError(where + ": the mesh has no faces (expected at least one triangle)");
    for (size_t i = 0; i < mesh.verts.size(); ++i) {
        const Point3& p = mesh.verts[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw InputError(where + ": vertex " + std::to_string(i) +
                             " has a coordinate that is not a finite number");
    }
    std::string why;
    if (!mesh.IsValid(&why))
        throw InputError(where + ": " + why);
}

} // namespace Quarix::App
