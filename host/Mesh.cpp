#include "host/Mesh.h"

#include "host/ChunkValueReader.h"

#include <string>

namespace {

// Chunk ids of Mesh::Save. Each holds a uint32 count followed by that many records.
constexpr USHORT kVertsChunk = 0x3001;   // count, count x 3 float
constexpr USHORT kFacesChunk = 0x3002;   // count, count x (3 uint32 verts, smGroup, flags)
constexpr USHORT kMapChunk = 0x3010;     // int32 channel, verts count + floats, faces count + ids
constexpr USHORT kNormalsChunk = 0x3020; // faces (3 int32 + specified byte), normals, explicit

IOResult WriteCount(ISave& isave, size_t n) {
    return WriteValue(isave, static_cast<std::uint32_t>(n));
}

// Reads a record count and checks that count records of recordBytes fit in the rest of the
// chunk, so that no allocation is sized by an unchecked number.
IOResult WritePoints(ISave& isave, const std::vector<Point3>& points) {
    if (WriteCount(isave, points.size()) != IO_OK)
        return IO_ERROR;
    for (const Point3& p : points) {
        if (WriteValue(isave, p.x) != IO_OK || WriteValue(isave, p.y) != IO_OK ||
            WriteValue(isave, p.z) != IO_OK)
            return IO_ERROR;
    }
    return IO_OK;
}

void ReadPoints(ChunkValueReader& in, std::vector<Point3>& points) {
    points.resize(in.count(12));
    for (Point3& p : points)
        in(p.x, p.y, p.z);
}

void ReadFaces(ChunkValueReader& in, std::vector<Face>& faces) {
    faces.resize(in.count(20));
    for (Face& face : faces)
        in(face.v[0], face.v[1], face.v[2], face.smGroup, face.flags);
}

void ReadMap(ChunkValueReader& in, Mesh& mesh) {
    std::int32_t mp = -1;
    if (!in(mp).require(mp >= 0 && mp < MAX_MESHMAPS) || !in.require(!mesh.Map(mp).IsUsed()))
        return;
    mesh.setMapSupport(mp, TRUE); // every vertex and face it sets up is read over below
    MeshMap& map = mesh.Map(mp);
    ReadPoints(in, map.tv);
    map.tf.resize(in.count(12));
    for (TVFace& tf : map.tf)
        in(tf.t[0], tf.t[1], tf.t[2]);
}

MeshNormalSpec ReadNormals(ChunkValueReader& in) {
    MeshNormalSpec spec;
    spec.SetNumFaces(static_cast<int>(in.count(13)));
    for (int f = 0; f < spec.GetNumFaces() && in.ok(); ++f) {
        std::int32_t id[3] = {0, 0, 0};
        BYTE specified = 0;
        in(id[0], id[1], id[2], specified);
        for (int c = 0; c < 3; ++c)
            spec.Face(f).SetNormalID(c, id[c]);
        spec.Face(f).SetSpecified(specified != 0);
    }
    spec.SetNumNormals(static_cast<int>(in.count(13)));
    for (int i = 0; i < spec.GetNumNormals() && in.ok(); ++i) {
        Point3& p = spec.Normal(i);
        BYTE isExplicit = 0;
        in(p.x, p.y, p.z, isExplicit);
        spec.SetNormalExplicit(i, isExplicit != 0);
    }
    return spec;
}

} // namespace

void Face::setEdgeVis(int edge, BOOL visible) {
    DWORD bit = EDGE_A << edge;
    flags = visible ? (flags | bit) : (flags & ~bit);
}

void Face::setEdgeVisFlags(BOOL va, BOOL vb, BOOL vc) {
    setEdgeVis(0, va);
    setEdgeVis(1, vb);
    setEdgeVis(2, vc);
}

void MeshNormalSpec::SetNumFaces(int n) {
    m_faces.resize(static_cast<size_t>(n < 0 ? 0 : n));
}

void MeshNormalSpec::SetNumNormals(int n) {
    size_t count = static_cast<size_t>(n < 0 ? 0 : n);
    m_normals.resize(count);
    m_explicit.resize(count, false);
}

void MeshNormalSpec::Clear() {
    m_faces.clear();
    m_normals.clear();
    m_explicit.clear();
}

BOOL Mesh::setNumVerts(int n, BOOL keep) {
    if (n < 0)
        return FALSE;
    if (!keep)
        verts.clear();
    verts.resize(static_cast<size_t>(n));
    return TRUE;
}

BOOL Mesh::setNumFaces(int n, BOOL keep) {
    if (n < 0)
        return FALSE;
    if (!keep)
        faces.clear();
    faces.resize(static_cast<size_t>(n));
    for (MeshMap& map : m_maps) {
        if (!map.m_used)
            continue;
        if (!keep)
            map.tf.clear();
        map.tf.resize(static_cast<size_t>(n));
    }
    return TRUE;
}

int Mesh::getNumMaps() const {
    for (int mp = MAX_MESHMAPS - 1; mp >= 0; --mp) {
        if (m_maps[static_cast<size_t>(mp)].m_used)
            return mp + 1;
    }
    return 0;
}

BOOL Mesh::mapSupport(int mp) const {
    return mp >= 0 && mp < MAX_MESHMAPS && m_maps[static_cast<size_t>(mp)].m_used;
}

void Mesh::setMapSupport(int mp, BOOL support) {
    if (mp < 0 || mp >= MAX_MESHMAPS)
        return;
    MeshMap& map = m_maps[static_cast<size_t>(mp)];
    if (support && !map.m_used) {
        map.m_used = true;
        map.tf.assign(faces.size(), TVFace());
        map.tv.clear();
    } else if (!support) {
        map = MeshMap();
    }
}

int Mesh::getNumMapVerts(int mp) const {
    return mapSupport(mp) ? Map(mp).getNumVerts() : 0;
}

BOOL Mesh::setNumMapVerts(int mp, int n, BOOL keep) {
    if (!mapSupport(mp) || n < 0)
        return FALSE;
    MeshMap& map = Map(mp);
    if (!keep)
        map.tv.clear();
    map.tv.resize(static_cast<size_t>(n));
    return TRUE;
}

int Mesh::getNumMapFaces(int mp) const {
    return mapSupport(mp) ? Map(mp).getNumFaces() : 0;
}

BOOL Mesh::setNumMapFaces(int mp, int n, BOOL keep) {
    if (!mapSupport(mp) || n < 0)
        return FALSE;
    MeshMap& map = Map(mp);
    if (!keep)
        map.tf.clear();
    map.tf.resize(static_cast<size_t>(n));
    return TRUE;
}

UVVert* Mesh::mapVerts(int mp) {
    return mapSupport(mp) ? Map(mp).tv.data() : nullptr;
}

TVFace* Mesh::mapFaces(int mp) {
    return mapSupport(mp) ? Map(mp).tf.data() : nullptr;
}

void Mesh::SpecifyNormals() {
    if (!m_normals)
        m_normals.emplace();
}

Box3 Mesh::getBoundingBox(const Matrix3* tm) const {
    Box3 box;
    for (const Point3& p : verts)
        box += tm ? p * *tm : p;
    return box;
}

void Mesh::FreeAll() {
    *this = Mesh();
}

bool Mesh::IsValid(std::string* why) const {
    auto fail = [&](const std::string& text) {
        if (why)
            *why = text;
        return false;
    };
    const size_t nv = verts.size();
    for (size_t f = 0; f < faces.size(); ++f) {
        for (DWORD v : faces[f].v) {
            if (v >= nv)
                return fail("face " + std::to_string(f) + " uses vertex " + std::to_string(v) +
                            " of " + std::to_string(nv));
        }
    }
    for (int mp = 0; mp < MAX_MESHMAPS; ++mp) {
        const MeshMap& map = Map(mp);
        if (!map.m_used)
            continue;
        for (size_t f = 0; f < map.tf.size(); ++f) {
            for (DWORD t : map.tf[f].t) {
                if (t >= map.tv.size())
                    return fail("map channel " + std::to_string(mp) + " face " + std::to_string(f) +
                                " uses map vertex " + std::to_string(t) + " of " +
                                std::to_string(map.tv.size()));
            }
        }
    }
    if (m_normals) {
        for (int f = 0; f < m_normals->GetNumFaces(); ++f) {
            for (int c = 0; c < 3; ++c) {
                int id = m_normals->Face(f).GetNormalID(c);
                if (id < 0 || id >= m_normals->GetNumNormals())
                    return fail("normal face " + std::to_string(f) + " uses normal " +
                                std::to_string(id) + " of " +
                                std::to_string(m_normals->GetNumNormals()));
            }
        }
    }
    return true;
}

IOResult Mesh::Save(ISave* isave) const {
    isave->BeginChunk(kVertsChunk);
    IOResult res = WritePoints(*isave, verts);
    isave->EndChunk();
    if (res != IO_OK)
        return res;

    isave->BeginChunk(kFacesChunk);
    res = WriteCount(*isave, faces.size());
    for (size_t f = 0; f < faces.size() && res == IO_OK; ++f) {
        const Face& face = faces[f];
        for (DWORD v : face.v)
            res = res == IO_OK ? WriteValue(*isave, v) : res;
        res = res == IO_OK ? WriteValue(*isave, face.smGroup) : res;
        res = res == IO_OK ? WriteValue(*isave, face.flags) : res;
    }
    isave->EndChunk();
    if (res != IO_OK)
        return res;

    for (int mp = 0; mp < MAX_MESHMAPS; ++mp) {
        const MeshMap& map = Map(mp);
        if (!map.m_used)
            continue;
        isave->BeginChunk(kMapChunk);
        res = WriteValue(*isave, static_cast<std::int32_t>(mp));
        res = res == IO_OK ? WritePoints(*isave, map.tv) : res;
        res = res == IO_OK ? WriteCount(*isave, map.tf.size()) : res;
        for (size_t f = 0; f < map.tf.size() && res == IO_OK; ++f) {
            for (DWORD t : map.tf[f].t)
                res = res == IO_OK ? WriteValue(*isave, t) : res;
        }
        isave->EndChunk();
        if (res != IO_OK)
            return res;
    }

    if (m_normals) {
        isave->BeginChunk(kNormalsChunk);
        const MeshNormalSpec& spec = *m_normals;
        res = WriteCount(*isave, static_cast<size_t>(spec.GetNumFaces()));
        for (int f = 0; f < spec.GetNumFaces() && res == IO_OK; ++f) {
            for (int c = 0; c < 3 && res == IO_OK; ++c)
                res = WriteValue(*isave, static_cast<std::int32_t>(spec.Face(f).GetNormalID(c)));
            res = res == IO_OK ? WriteValue(*isave, static_cast<BYTE>(spec.Face(f).GetSpecified()))
                               : res;
        }
        res = res == IO_OK ? WriteCount(*isave, static_cast<size_t>(spec.GetNumNormals())) : res;
        for (int n = 0; n < spec.GetNumNormals() && res == IO_OK; ++n) {
            const Point3& p = spec.Normal(n);
            res = WriteValue(*isave, p.x);
            res = res == IO_OK ? WriteValue(*isave, p.y) : res;
            res = res == IO_OK ? WriteValue(*isave, p.z) : res;
            res = res == IO_OK ? WriteValue(*isave, static_cast<BYTE>(spec.GetNormalExplicit(n)))
                               : res;
        }
        isave->EndChunk();
    }
    return res;
}

IOResult Mesh::Load(ILoad* iload) {
    Mesh loaded;
    const IOResult res = ReadChunks(*iload, [&](ChunkValueReader& in) {
        switch (in.id()) {
        case kVertsChunk:
            ReadPoints(in, loaded.verts);
            break;
        case kFacesChunk:
            ReadFaces(in, loaded.faces);
            break;
        case kMapChunk:
            ReadMap(in, loaded);
            break;
        case kNormalsChunk:
            loaded.m_normals = ReadNormals(in);
            break;
        default:
            break;
        }
    });
    if (res != IO_OK || !loaded.IsValid())
        return IO_ERROR;
    *this = std::move(loaded);
    return IO_OK;
}

bool Mesh::operator==(const Mesh& other) const {
    if (verts != other.verts || faces != other.faces || m_maps != other.m_maps)
        return false;
    if (m_normals.has_value() != other.m_normals.has_value())
        return false;
    return !m_normals || *m_normals == *other.m_normals;
}
