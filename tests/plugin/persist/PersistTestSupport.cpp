#include "PersistTestSupport.h"

#include <cstring>

#include <glm/gtc/type_ptr.hpp>

#include "tests/fixtures/QX_Test_Meshes.h"

namespace Quarix::PersistTest {

namespace {

constexpr float kGravityCm = 1470.0f;

/// Map channel 1 holding a copy of the geometry (a valid channel: same faces, own vertices).
void AddMapChannel(QX_BT_Mesh_Data& mesh) {
    mesh.channels[1] = mesh.geometry;
    for (float& v : mesh.channels[1].vertices)
        v *= 0.01f;
}

/// Little-endian appender that knows nothing of the library's writer.
struct Bytes {
    std::vector<uint8_t>& out;
    void i32(int32_t v) {
        const uint32_t u = uint32_t(v);
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(u >> (8 * i)));
    }
    void f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        i32(int32_t(u));
    }
    void u8(uint8_t v) { out.push_back(v); }
    void floats(const float* v, int n) {
        for (int i = 0; i < n; ++i)
            f32(v[i]);
    }
    size_t mark() const { return out.size(); }
    /// Starts a length-prefixed part; `finish` writes its length.
    size_t start() {
        i32(0);
        return out.size();
    }
    void finish(size_t from) {
        const uint32_t length = uint32_t(out.size() - from);
        for (int i = 0; i < 4; ++i)
            out[from - 4 + size_t(i)] = uint8_t(length >> (8 * i));
    }
};

template <typename Table>
void HandTable(Bytes& b, const Table& table) {
    const size_t s = b.start();
    b.i32(int32_t(table.entries().size()));
    for (const auto& [key, e] : table.entries())
        b.i32(key);
    for (const auto& [key, e] : table.entries()) {
        int32_t raw;
        std::memcpy(&raw, &e.value, 4);
        b.i32(raw);
    }
    for (const auto& [key, e] : table.entries())
        b.u8(e.changed);
    b.finish(s);
}

void HandChannel(Bytes& b, const QX_BT_Mesh_Channel& c, HandBlob& hand, const std::string& name) {
    b.i32(int32_t(c.faces.size()));
    hand.at[name + " corner 0"] = b.mark();
    for (int32_t v : c.faces)
        b.i32(v);
    b.i32(int32_t(c.vertices.size()));
    b.floats(c.vertices.data(), int(c.vertices.size()));
}

void HandMesh(Bytes& b, const QX_BT_Mesh_Data& m, HandBlob& hand, const std::string& name) {
    const size_t s = b.start();
    b.i32(int32_t(m.faceInfos.size()));
    for (const QX_BT_Face_Info& f : m.faceInfos) {
        b.i32(f.edgeA);
        b.i32(f.edgeB);
        b.i32(f.edgeC);
        b.i32(f.materialID);
        b.i32(int32_t(f.smoothingGroup));
    }
    HandChannel(b, m.geometry, hand, name);
    b.i32(int32_t(m.channels.size()));
    for (const auto& [number, c] : m.channels) {
        hand.at[name + " channel number"] = b.mark();
        b.i32(number);
        HandChannel(b, c, hand, name + " channel");
    }
    b.finish(s);
}

void HandLayout(Bytes& b, const QX_BT_Mesh_Layout& l) {
    const size_t s = b.start();
    b.i32(int32_t(l.vertexCount));
    b.i32(int32_t(l.cornerCount));
    b.i32(int32_t(l.channels.size()));
    for (const auto& [number, c] : l.channels) {
        b.i32(number);
        b.i32(c.corners);
        b.i32(c.vertexFloats);
    }
    b.finish(s);
}

void HandState(Bytes& b, const QX_BT_Body_State& s) {
    b.floats(glm::value_ptr(s.transform), 16);
    b.floats(glm::value_ptr(s.linearVelocity), 3);
    b.floats(glm::value_ptr(s.angularVelocity), 3);
    b.i32(s.tag);
}

void HandBody(Bytes& b, const QX_BT_Body& body, int32_t shape, int32_t parent, HandBlob& hand,
              const std::string& name) {
    b.i32(body.childFlag);
    b.i32(body.depth);
    b.f32(body.variationFactor);
    b.u8(0);
    b.i32(body.age);
    b.i32(body.demolishedAs);
    b.floats(glm::value_ptr(body.forceVelocity), 3);
    b.u8(0);
    b.floats(glm::value_ptr(body.frameStartPosition), 3);
    b.i32(body.state);
    b.f32(body.impulseSum);
    b.floats(glm::value_ptr(body.impactPoint), 3);
    b.f32(body.lifeStart);
    b.f32(body.lifeEnd);
    b.i32(body.beforeMode);
    b.i32(body.afterMode);
    b.f32(body.pendingLifeStart);
    b.f32(body.pendingLifeEnd);
    b.i32(body.pendingBeforeMode);
    b.i32(body.pendingAfterMode);
    b.i32(body.pristine ? 1 : 0);
    HandState(b, body.startState);
    hand.at[name + " track count"] = b.mark();
    b.i32(int32_t(body.track.size()));
    int entry = 0;
    for (const auto& [frame, state] : body.track) {
        hand.at[name + " track " + std::to_string(entry++)] = b.mark();
        b.f32(frame);
        HandState(b, state);
    }
    hand.at[name + " shape index"] = b.mark();
    b.i32(shape);
    hand.at[name + " parent index"] = b.mark();
    b.i32(parent);
}

} // namespace

SimulatedObject::SimulatedObject(int frames) {
    Fixtures::ConfigureWorld(world, 5, kGravityCm, true);
    QX_BT_Mesh_Data mesh = Fixtures::MakeBox(glm::vec3(0, 0, 150), glm::vec3(50));
    Fixtures::AppendElement(mesh, Fixtures::MakeBox(glm::vec3(200, 0, 60), glm::vec3(50)));
    for (size_t f = 0; f < mesh.faceInfos.size(); ++f) {
        mesh.faceInfos[f].materialID = int32_t(f % 3);
        mesh.faceInfos[f].smoothingGroup = 1u << (f % 5);
    }
    AddMapChannel(mesh);
    object = std::make_unique<Fixtures::TestObject>(mesh);
    core().fragmentOperation = Fixtures::FragmentOperation(fragmenter);
    core().floatSettings.set(ObjectKey::Margin, 0.0f);
    const int cut = std::min(frames, 4);
    Fixtures::Simulate(world, {&core()}, cut);
    if (frames > cut) {
        QX_BT_Body& first = *core().bodies.front();
        core().demolishBody(DemolitionKind::Fragments, first, float(cut), false, 1.0f, 2, 0, false);
        // As the world does after a demolition: the frame is recorded again with the new bodies.
        core().recordFrame(float(cut), true, false, 1.0f);
        Fixtures::SimulateFrames(world, {&core()}, cut, frames);
    }
}

HandBlob AssembleByHand(const QX_BT_MeshController& core) {
    HandBlob hand;
    Bytes b{hand.bytes};
    hand.at["int settings"] = b.mark();
    HandTable(b, core.intSettings);
    HandTable(b, core.floatSettings);
    HandMesh(b, core.inputMesh, hand, "input");
    HandMesh(b, core.simulationMesh, hand, "simulation");
    HandMesh(b, core.capturedMesh, hand, "captured");
    hand.at["history count"] = b.mark();
    b.i32(int32_t(core.meshHistory.size()));
    for (const auto& [frame, layout] : core.meshHistory) {
        b.i32(int32_t(frame));
        HandLayout(b, layout);
    }
    HandLayout(b, core.baseLayout);
    hand.at["start transform"] = b.mark();
    b.floats(glm::value_ptr(core.startTransform), 16);

    hand.at["shape count"] = b.mark();
    std::map<const btCollisionShape*, int32_t> shapeIndex;
    int32_t built = 0;
    for (const auto& shape : core.elementShapes)
        built += GetShapeExtension(shape.get()) ? 1 : 0;
    b.i32(built);
    for (const auto& shape : core.elementShapes) {
        const auto* ext = GetShapeExtension(shape.get());
        if (!ext)
            continue;
        const std::string name = "shape " + std::to_string(shapeIndex.size());
        shapeIndex[shape.get()] = int32_t(shapeIndex.size());
        b.i32(ext->getShapeKind());
        b.i32(int32_t(ext->faceIndices.size()));
        hand.at[name + " face 0"] = b.mark();
        for (int32_t f : ext->faceIndices)
            b.i32(f);
    }
    hand.at["group count"] = b.mark();
    b.i32(int32_t(core.bodyShapes.size()));
    for (size_t g = 0; g < core.bodyShapes.size(); ++g) {
        const QX_BT_CompoundShape& group = *core.bodyShapes[g];
        b.floats(glm::value_ptr(group.centre), 3);
        std::vector<int32_t> children;
        for (int i = 0; i < group.getNumChildShapes(); ++i) {
            auto it = shapeIndex.find(group.getChildShape(i));
            if (it != shapeIndex.end())
                children.push_back(it->second);
        }
        b.i32(int32_t(children.size()));
        hand.at["group " + std::to_string(g) + " child 0"] = b.mark();
        for (int32_t c : children)
            b.i32(c);
    }
    hand.at["body count"] = b.mark();
    b.i32(int32_t(core.bodies.size()));
    for (size_t i = 0; i < core.bodies.size(); ++i) {
        const QX_BT_Body& body = *core.bodies[i];
        int32_t shape = -1;
        int32_t parent = -1;
        for (size_t g = 0; g < core.bodyShapes.size(); ++g)
            shape = core.bodyShapes[g].get() == body.compoundShape() ? int32_t(g) : shape;
        for (size_t p = 0; p < core.bodies.size(); ++p)
            parent = core.bodies[p].get() == body.parent ? int32_t(p) : parent;
        HandBody(b, body, shape, parent, hand, "body " + std::to_string(i));
    }
    return hand;
}

QX_Mesh_Conversion TestConversion() {
    QX_Mesh_Conversion c;
    c.exportMesh = [](const Mesh& host, QX_BT_Mesh_Data& out) {
        out = QX_BT_Mesh_Data{};
        for (const Point3& p : host.verts)
            out.geometry.vertices.insert(out.geometry.vertices.end(), {p.x, p.y, p.z});
        for (const Face& f : host.faces) {
            for (int k = 0; k < 3; ++k)
                out.geometry.faces.push_back(int32_t(f.v[k]));
            out.faceInfos.push_back(QX_BT_Face_Info::FromFlags(f.flags, f.smGroup));
        }
        for (int mp = 0; mp < MAX_MESHMAPS; ++mp) {
            if (!host.mapSupport(mp))
                continue;
            QX_BT_Mesh_Channel& channel = out.channels[mp];
            for (const UVVert& v : host.Map(mp).tv)
                channel.vertices.insert(channel.vertices.end(), {v.x, v.y, v.z});
            for (const TVFace& f : host.Map(mp).tf)
                channel.faces.insert(channel.faces.end(),
                                     {int32_t(f.t[0]), int32_t(f.t[1]), int32_t(f.t[2])});
        }
    };
    c.importMesh = [](const QX_BT_Mesh_Data& data, Mesh& host) {
        host.FreeAll();
        host.setNumVerts(int(data.geometry.vertexCount()));
        for (size_t v = 0; v < data.geometry.vertexCount(); ++v) {
            const glm::vec3 p = data.geometry.vertex(int32_t(v));
            host.setVert(int(v), p.x, p.y, p.z);
        }
        host.setNumFaces(int(data.faceCount()));
        for (size_t f = 0; f < data.faceCount(); ++f) {
            Face& face = host.faces[f];
            face.setVerts(&data.geometry.faces[3 * f]);
            const QX_BT_Face_Info& info = data.faceInfos[f];
            face.flags = DWORD(info.edgeA | info.edgeB | info.edgeC);
            face.setMatID(MtlID(info.materialID));
            face.setSmGroup(info.smoothingGroup);
        }
        for (const auto& [mp, channel] : data.channels) {
            if (mp < 0)
                continue;
            host.setMapSupport(mp);
            host.setNumMapVerts(mp, int(channel.vertexCount()));
            for (size_t v = 0; v < channel.vertexCount(); ++v) {
                const glm::vec3 p = channel.vertex(int32_t(v));
                host.mapVerts(mp)[v] = UVVert(p.x, p.y, p.z);
            }
            for (size_t f = 0; f < channel.faceCount(); ++f) {
                host.mapFaces(mp)[f].setTVerts(DWORD(channel.faces[3 * f]),
                                               DWORD(channel.faces[3 * f + 1]),
                                               DWORD(channel.faces[3 * f + 2]));
            }
        }
    };
    return c;
}

std::vector<uint8_t> SaveChunks(QX_BT_MeshController& core) {
    ChunkWriter writer;
    if (SaveCoreChunks(&writer, core, TestConversion()) != IO_OK || writer.Failed())
        return {};
    return writer.Bytes();
}

IOResult LoadChunks(const std::vector<uint8_t>& file, QX_BT_MeshController& core,
                    std::string* refusal) {
    ChunkReader reader(file);
    return LoadCoreChunks(&reader, core, TestConversion(), refusal);
}

std::vector<uint8_t> BlobFile(float version, const std::vector<uint8_t>& blob) {
    ChunkWriter writer;
    ULONG n = 0;
    writer.BeginChunk(PersistChunk::Version);
    writer.Write(&version, 4, &n);
    writer.EndChunk();
    if (!blob.empty()) {
        const uint32_t length = uint32_t(blob.size());
        writer.BeginChunk(PersistChunk::BlobLength);
        writer.Write(&length, 4, &n);
        writer.EndChunk();
        writer.BeginChunk(PersistChunk::Blob);
        writer.Write(blob.data(), ULONG(blob.size()), &n);
        writer.EndChunk();
    }
    return writer.Bytes();
}

} // namespace Quarix::PersistTest
