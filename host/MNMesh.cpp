#include "host/MNMesh.h"

void MNFace::MakePoly(int degree, const int* vertices) {
    deg = degree;
    vtx.assign(vertices, vertices + degree);
    visedg.assign(static_cast<size_t>(degree), true);
}

int MNMesh::NewVert(const Point3& p) {
    m_verts.push_back(MNVert{p});
    return VNum() - 1;
}

int MNMesh::NewFace(int degree, const int* vertices, DWORD smGroup, MtlID material) {
    if (degree < 3)
        return -1;
    for (int i = 0; i < degree; ++i) {
        if (vertices[i] < 0 || vertices[i] >= VNum())
            return -1;
    }
    MNFace face;
    face.MakePoly(degree, vertices);
    face.smGroup = smGroup;
    face.material = material;
    m_faces.push_back(std::move(face));
    for (auto& map : m_maps) {
        if (map)
            map->f.emplace_back(static_cast<size_t>(degree), 0);
    }
    return FNum() - 1;
}

int MNMesh::NewTri(int a, int b, int c, DWORD smGroup, MtlID material) {
    const int v[3] = {a, b, c};
    return NewFace(3, v, smGroup, material);
}

void MNMesh::Clear() {
    m_verts.clear();
    m_faces.clear();
    m_maps.clear();
}

MNMap* MNMesh::M(int mp) {
    if (mp < 0 || mp >= MNum() || !m_maps[static_cast<size_t>(mp)])
        return nullptr;
    return &*m_maps[static_cast<size_t>(mp)];
}

const MNMap* MNMesh::M(int mp) const {
    if (mp < 0 || mp >= MNum() || !m_maps[static_cast<size_t>(mp)])
        return nullptr;
    return &*m_maps[static_cast<size_t>(mp)];
}

void MNMesh::SetMapSupport(int mp, bool support) {
    if (mp < 0 || mp >= MAX_MESHMAPS)
        return;
    if (!support) {
        if (mp < MNum())
            m_maps[static_cast<size_t>(mp)].reset();
        return;
    }
    if (mp >= MNum())
        m_maps.resize(static_cast<size_t>(mp) + 1);
    auto& slot = m_maps[static_cast<size_t>(mp)];
    if (slot)
        return;
    slot.emplace();
    for (const MNFace& face : m_faces)
        slot->f.emplace_back(static_cast<size_t>(face.deg), 0);
}

void MNMesh::AddTri(const Mesh& from) {
    if (!from.IsValid())
        return;
    const int vbase = VNum();
    const int fbase = FNum();
    for (const Point3& p : from.verts)
        NewVert(p);
    for (const Face& tri : from.faces) {
        int v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = vbase + static_cast<int>(tri.v[c]);
        int f = NewFace(3, v, tri.smGroup, tri.getMatID());
        MNFace& face = m_faces[static_cast<size_t>(f)];
        for (int e = 0; e < 3; ++e)
            face.visedg[static_cast<size_t>(e)] = tri.getEdgeVis(e) != 0;
        face.hidden = tri.Hidden();
    }
    for (int mp = 0; mp < MAX_MESHMAPS; ++mp) {
        if (!from.mapSupport(mp))
            continue;
        SetMapSupport(mp, true);
        MNMap& map = *M(mp);
        const MeshMap& src = from.Map(mp);
        const int tbase = static_cast<int>(map.v.size());
        map.v.insert(map.v.end(), src.tv.begin(), src.tv.end());
        for (size_t f = 0; f < from.faces.size() && f < src.tf.size(); ++f) {
            std::vector<int>& corners = map.f[static_cast<size_t>(fbase) + f];
            for (int c = 0; c < 3; ++c)
                corners[static_cast<size_t>(c)] = tbase + static_cast<int>(src.tf[f].t[c]);
        }
    }
}

void MNMesh::SetFromTri(const Mesh& from) {
    Clear();
    AddTri(from);
}

void MNMesh::OutToTri(Mesh& tmesh) const {
    size_t triCount = 0;
    for (const MNFace& face : m_faces)
        triCount += static_cast<size_t>(face.deg - 2);
    tmesh.FreeAll();
    tmesh.setNumVerts(VNum());
    for (int i = 0; i < VNum(); ++i)
        tmesh.verts[static_cast<size_t>(i)] = P(i);
    for (int mp = 0; mp < MNum(); ++mp) {
        if (const MNMap* map = M(mp)) {
            tmesh.setMapSupport(mp, TRUE);
            tmesh.setNumMapVerts(mp, static_cast<int>(map->v.size()));
            for (size_t i = 0; i < map->v.size(); ++i)
                tmesh.Map(mp).tv[i] = map->v[i];
        }
    }
    tmesh.setNumFaces(static_cast<int>(triCount));
    size_t out = 0;
    for (size_t fi = 0; fi < m_faces.size(); ++fi) {
        const MNFace& face = m_faces[fi];
        // Fan from corner 0: triangle k uses corners 0, k+1, k+2. Its edge (k+1, k+2) is a polygon
        // edge; (0, k+1) is one only for the first triangle and (k+2, 0) only for the last.
        for (int k = 0; k + 2 < face.deg; ++k, ++out) {
            const int corner[3] = {0, k + 1, k + 2};
            Face& tri = tmesh.faces[out];
            tri.setVerts(face.vtx[0], face.vtx[static_cast<size_t>(k) + 1],
                         face.vtx[static_cast<size_t>(k) + 2]);
            tri.setEdgeVis(0, k == 0 && face.visedg[0]);
            tri.setEdgeVis(1, face.visedg[static_cast<size_t>(k) + 1]);
            tri.setEdgeVis(2, k + 3 == face.deg && face.visedg[static_cast<size_t>(face.deg) - 1]);
            tri.setSmGroup(face.smGroup);
            tri.setMatID(face.material);
            if (face.hidden)
                tri.Hide();
            for (int mp = 0; mp < MNum(); ++mp) {
                if (const MNMap* map = M(mp)) {
                    const std::vector<int>& mf = map->f[fi];
                    tmesh.Map(mp).tf[out].setTVerts(mf[static_cast<size_t>(corner[0])],
                                                    mf[static_cast<size_t>(corner[1])],
                                                    mf[static_cast<size_t>(corner[2])]);
                }
            }
        }
    }
}

Box3 MNMesh::BBox() const {
    Box3 box;
    for (const MNVert& v : m_verts)
        box += v.p;
    return box;
}
