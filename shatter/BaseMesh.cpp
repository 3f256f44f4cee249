#include "shatter/BaseMesh.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Quarix::Shatter {

namespace {

Tri FlipTri(const Tri& t) {
    return {t[0], t[2], t[1]};
}

/// Edge bits follow a flip: (a, b, c) -> (a, c, b) turns edges ab, bc, ca into ac, cb, ba.
std::uint32_t FlipEdgeBits(std::uint32_t flags) {
    return (flags & ~kEdgeVisibleMask) | ((flags >> 2) & 1u) | (flags & 2u) | ((flags & 1u) << 2);
}

Vec3 TriNormal(const std::vector<Vec3>& verts, const Tri& t) {
    return Normalized(Cross(verts[t[1]] - verts[t[0]], verts[t[2]] - verts[t[0]]));
}

/// Copies the listed faces of `source` (corners given as welded indices in `welded`) into a
/// compact part, repairing non-finite channel values on the way.
MeshPart ExtractPart(const ShatterMesh& source, const std::vector<Tri>& welded,
                     const std::vector<int>& faces, int& repaired) {
    MeshPart part;
    CutMesh& m = part.mesh;
    std::vector<int> remap(source.verts.size(), -1);
    part.tris.reserve(faces.size());
    m.faces.reserve(faces.size());
    for (int f : faces) {
        Tri t;
        for (int i = 0; i < 3; ++i) {
            int& r = remap[welded[f][i]];
            if (r < 0) {
                r = static_cast<int>(m.verts.size());
                m.verts.push_back(source.verts[welded[f][i]]);
                part.bounds.Add(m.verts.back());
            }
            t[i] = r;
        }
        const MeshFace& sf = source.faces[f];
        m.faces.push_back({t, sf.flags, sf.smoothing, false, -1});
        part.tris.push_back(t);
    }
    for (const auto& [number, channel] : source.channels) {
        CutChannel& c = m.channels.emplace_back();
        c.number = number;
        std::vector<int> mapRemap(channel.verts.size(), -1);
        for (std::size_t k = 0; k < faces.size(); ++k) {
            const Tri& src = channel.faces[faces[k]];
            Tri t;
            for (int i = 0; i < 3; ++i) {
                int& r = mapRemap[src[i]];
                if (r < 0) {
                    r = static_cast<int>(c.verts.size());
                    Vec3 value = channel.verts[src[i]];
                    if (!IsFinite(value)) {
                        ++repaired;
                        if (number == kNormalChannel) {
                            value = TriNormal(m.verts, part.tris[k]);
                        } else {
                            value = {std::isfinite(value.x) ? value.x : 0.0,
                                     std::isfinite(value.y) ? value.y : 0.0,
                                     std::isfinite(value.z) ? value.z : 0.0};
                        }
                    }
                    c.verts.push_back(value);
                }
                t[i] = r;
            }
            c.faces.push_back(t);
        }
    }
    return part;
}

void FlipPart(MeshPart& part) {
    for (CutFace& f : part.mesh.faces) {
        f.v = FlipTri(f.v);
        f.flags = FlipEdgeBits(f.flags);
    }
    for (Tri& t : part.tris)
        t = FlipTri(t);
    for (CutChannel& c : part.mesh.channels)
        for (Tri& t : c.faces)
            t = FlipTri(t);
}

} // namespace

std::vector<int> WeldPositions(const std::vector<Vec3>& verts) {
    std::vector<int> order(verts.size());
    std::iota(order.begin(), order.end(), 0);
    auto less = [&](int a, int b) {
        const Vec3 &p = verts[a], &q = verts[b];
        if (p.x != q.x)
            return p.x < q.x;
        if (p.y != q.y)
            return p.y < q.y;
        if (p.z != q.z)
            return p.z < q.z;
        return a < b;
    };
    std::sort(order.begin(), order.end(), less);
    std::vector<int> canonical(verts.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const bool same = k > 0 && verts[order[k]] == verts[order[k - 1]];
        canonical[order[k]] = same ? canonical[order[k - 1]] : order[k];
    }
    return canonical;
}

PreparedMesh PrepareMesh(const ShatterMesh& source, bool capClosedMeshes) {
    PreparedMesh prepared;
    const std::vector<int> canonical = WeldPositions(source.verts);
    std::vector<Tri> welded(source.faces.size());
    std::vector<int> kept;
    std::vector<Tri> keptTris;
    for (std::size_t f = 0; f < source.faces.size(); ++f) {
        const Tri& v = source.faces[f].v;
        const Tri t{canonical[v[0]], canonical[v[1]], canonical[v[2]]};
        welded[f] = t;
        // A face whose corners weld together has no area and no edge to cut, and would make a
        // closed element look open.
        if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0])
            continue;
        kept.push_back(static_cast<int>(f));
        keptTris.push_back(t);
    }

    int elementCount = 0;
    const std::vector<int> label = LabelEdgeConnectedElements(keptTris, &elementCount);
    std::vector<std::vector<Tri>> elementTris(elementCount);
    for (std::size_t k = 0; k < kept.size(); ++k)
        elementTris[label[k]].push_back(keptTris[k]);
    std::vector<unsigned char> elementClosed(elementCount, 0);
    if (capClosedMeshes)
        for (int e = 0; e < elementCount; ++e)
            elementClosed[e] = IsClosedManifold(elementTris[e]) ? 1 : 0;

    std::vector<int> closedFaces, openFaces;
    for (std::size_t k = 0; k < kept.size(); ++k)
        (elementClosed[label[k]] ? closedFaces : openFaces).push_back(kept[k]);
    prepared.closed = ExtractPart(source, welded, closedFaces, prepared.repairedValues);
    prepared.open = ExtractPart(source, welded, openFaces, prepared.repairedValues);

    // Cutting and capping assume outward winding; an inside-out solid is turned for the work.
    // The sign is taken over all closed elements together, so a cavity (an inward-wound shell
    // inside an outward one) stays a cavity.
    if (!prepared.closed.tris.empty() &&
        SignedVolume(prepared.closed.mesh.verts, prepared.closed.tris) < 0.0) {
        FlipPart(prepared.closed);
        prepared.flipped = true;
    }
    for (const MeshPart* part : {&prepared.closed, &prepared.open})
        if (!part->bounds.Empty()) {
            prepared.bounds.Add(part->bounds.min);
            prepared.bounds.Add(part->bounds.max);
        }
    return prepared;
}

} // namespace Quarix::Shatter
