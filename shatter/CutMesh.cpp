#include "shatter/CutMesh.h"

#include <algorithm>
#include <cmath>

namespace Quarix::Shatter {

namespace {

std::uint64_t PairKey(int a, int b) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32) |
           static_cast<std::uint32_t>(b);
}

} // namespace

void CutMesh::Clear() {
    verts.clear();
    faces.clear();
    for (CutChannel& c : channels) {
        c.verts.clear();
        c.faces.clear();
    }
}

CutMesh CutMesh::FromShatterMesh(const ShatterMesh& source) {
    CutMesh m;
    m.verts = source.verts;
    m.faces.reserve(source.faces.size());
    for (const MeshFace& f : source.faces)
        m.faces.push_back({f.v, f.flags, f.smoothing, false, -1});
    for (const auto& [number, channel] : source.channels)
        m.channels.push_back({number, channel.verts, channel.faces});
    return m;
}

std::size_t PlaneClipper::MapEdgeHash::operator()(const MapEdgeKey& k) const {
    std::uint64_t h = static_cast<std::uint32_t>(k.vertex);
    h = h * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint32_t>(k.lo);
    h = h * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint32_t>(k.hi);
    return static_cast<std::size_t>(h ^ (h >> 29));
}

int PlaneClipper::KeepVertex(const CutMesh& in, int v, CutMesh& out) {
    int& mapped = vertexMap_[v];
    if (mapped < 0) {
        mapped = static_cast<int>(out.verts.size());
        out.verts.push_back(in.verts[v]);
        onPlane_.push_back(side_[v] == 0);
    }
    return mapped;
}

int PlaneClipper::CutVertex(const CutMesh& in, int a, int b, CutMesh& out) {
    // The point is always computed from the lower to the higher index, so both faces sharing
    // the edge would agree on it bit for bit even without the cache.
    int lo = std::min(a, b), hi = std::max(a, b);
    bool inserted = false;
    int& id = cutVertices_.FindOrInsert(PairKey(lo, hi), inserted);
    if (inserted) {
        double t = dist_[lo] / (dist_[lo] - dist_[hi]);
        id = static_cast<int>(out.verts.size());
        out.verts.push_back(Lerp(in.verts[lo], in.verts[hi], t));
        onPlane_.push_back(1);
    }
    return id;
}

int PlaneClipper::KeepMapVertex(const CutMesh& in, int channel, int m, CutMesh& out) {
    int& mapped = mapVertexMap_[channel][m];
    if (mapped < 0) {
        mapped = static_cast<int>(out.channels[channel].verts.size());
        out.channels[channel].verts.push_back(in.channels[channel].verts[m]);
    }
    return mapped;
}

int PlaneClipper::CutMapVertex(const CutMesh& in, int channel, int newVertex, int ga, int ma,
                               int gb, int mb, CutMesh& out) {
    if (ga > gb) {
        std::swap(ga, gb);
        std::swap(ma, mb);
    }
    // Keyed by the map edge as well as the new vertex: faces that share the map edge share the
    // new map vertex (no seam appears), faces across an existing seam keep their own.
    bool inserted = false;
    int& id = cutMapVertices_[channel].FindOrInsert({newVertex, ma, mb}, inserted);
    if (inserted) {
        const CutChannel& src = in.channels[channel];
        double t = dist_[ga] / (dist_[ga] - dist_[gb]);
        Vec3 value = Lerp(src.verts[ma], src.verts[mb], t);
        if (src.number == kNormalChannel)
            value = Normalized(value);
        id = static_cast<int>(out.channels[channel].verts.size());
        out.channels[channel].verts.push_back(value);
    }
    return id;
}

void PlaneClipper::SplitFace(const CutMesh& in, int f, CutMesh& out) {
    const CutFace& face = in.faces[f];
    const int channelCount = static_cast<int>(in.channels.size());
    polyMap_.resize(4 * static_cast<std::size_t>(channelCount));
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        int j = (i + 1) % 3;
        int a = face.v[i], b = face.v[j];
        bool visible = (face.flags >> i) & 1u;
        if (side_[a] <= 0) {
            // The polygon edge leaving a kept corner runs along the original edge, unless the
            // corner lies on the plane and the edge's far end is cut away: then it runs along
            // the plane and becomes a crease between surface and cap.
            bool alongPlane = side_[a] == 0 && side_[b] > 0;
            poly_[n] = {KeepVertex(in, a, out), alongPlane || visible};
            for (int c = 0; c < channelCount; ++c)
                polyMap_[n * channelCount + c] =
                    KeepMapVertex(in, c, in.channels[c].faces[f][i], out);
            ++n;
        }
        if (side_[a] * side_[b] < 0) {
            int v = CutVertex(in, a, b, out);
            // Entering the removed side, the next edge runs along the plane.
            poly_[n] = {v, side_[a] < 0 || visible};
            for (int c = 0; c < channelCount; ++c) {
                const Tri& mf = in.channels[c].faces[f];
                polyMap_[n * channelCount + c] = CutMapVertex(in, c, v, a, mf[i], b, mf[j], out);
            }
            ++n;
        }
    }
    EmitPolygon(in, f, n, out);
}

void PlaneClipper::EmitPolygon(const CutMesh& in, int f, int cornerCount, CutMesh& out) {
    const CutFace& face = in.faces[f];
    const int channelCount = static_cast<int>(in.channels.size());
    const std::uint32_t baseFlags = face.flags & ~kEdgeVisibleMask;

    auto emit = [&](int p0, int p1, int p2, bool e0, bool e1, bool e2) {
        std::uint32_t flags = baseFlags | (e0 ? 1u : 0u) | (e1 ? 2u : 0u) | (e2 ? 4u : 0u);
        touchedFaces_.push_back(static_cast<int>(out.faces.size()));
        out.faces.push_back({{poly_[p0].vertex, poly_[p1].vertex, poly_[p2].vertex},
                             flags,
                             face.smoothing,
                             face.inner,
                             face.plane});
        for (int c = 0; c < channelCount; ++c)
            out.channels[c].faces.push_back({polyMap_[p0 * channelCount + c],
                                             polyMap_[p1 * channelCount + c],
                                             polyMap_[p2 * channelCount + c]});
    };

    if (cornerCount == 3) {
        emit(0, 1, 2, poly_[0].edgeVisible, poly_[1].edgeVisible, poly_[2].edgeVisible);
        return;
    }
    // A quadrilateral: split along the shorter diagonal, which stays hidden.
    const Vec3 &q0 = out.verts[poly_[0].vertex], &q1 = out.verts[poly_[1].vertex],
               &q2 = out.verts[poly_[2].vertex], &q3 = out.verts[poly_[3].vertex];
    Vec3 d02 = q2 - q0, d13 = q3 - q1;
    if (Dot(d02, d02) <= Dot(d13, d13)) {
        emit(0, 1, 2, poly_[0].edgeVisible, poly_[1].edgeVisible, false);
        emit(0, 2, 3, false, poly_[2].edgeVisible, poly_[3].edgeVisible);
    } else {
        emit(1, 2, 3, poly_[1].edgeVisible, poly_[2].edgeVisible, false);
        emit(1, 3, 0, false, poly_[3].edgeVisible, poly_[0].edgeVisible);
    }
}

ClipResult PlaneClipper::Clip(const CutMesh& in, const Plane& plane, const CapStyle& style,
                              CutMesh& out) {
    const std::size_t vertexCount = in.verts.size();
    dist_.resize(vertexCount);
    side_.resize(vertexCount);
    bool anyRemoved = false, anyKept = false;
    for (std::size_t v = 0; v < vertexCount; ++v) {
        double d = plane.Distance(in.verts[v]);
        if (std::fabs(d) <= snap_) {
            d = 0.0;
            side_[v] = 0;
        } else {
            side_[v] = d > 0.0 ? 1 : -1;
        }
        dist_[v] = d;
        anyRemoved |= d > 0.0;
        anyKept |= d < 0.0;
    }
    if (!anyRemoved)
        return ClipResult::Unchanged;
    if (!anyKept)
        return ClipResult::Empty;

    const std::size_t channelCount = in.channels.size();
    out.channels.resize(channelCount);
    for (std::size_t c = 0; c < channelCount; ++c)
        out.channels[c].number = in.channels[c].number;
    out.Clear();
    vertexMap_.assign(vertexCount, -1);
    mapVertexMap_.resize(channelCount);
    cutMapVertices_.resize(channelCount);
    for (std::size_t c = 0; c < channelCount; ++c) {
        mapVertexMap_[c].assign(in.channels[c].verts.size(), -1);
        cutMapVertices_[c].Reset(in.faces.size() / 4);
    }
    cutVertices_.Reset(in.faces.size() / 4);
    onPlane_.clear();
    touchedFaces_.clear();
    polyMap_.resize(4 * channelCount);

    for (std::size_t f = 0; f < in.faces.size(); ++f) {
        const Tri& t = in.faces[f].v;
        const int s0 = side_[t[0]], s1 = side_[t[1]], s2 = side_[t[2]];
        const int hi = std::max({s0, s1, s2}), lo = std::min({s0, s1, s2});
        if (hi > 0 && lo < 0) {
            SplitFace(in, static_cast<int>(f), out);
            continue;
        }
        if (hi > 0)
            continue;
        if (lo == 0) {
            // The face lies in the plane: it bounds kept material only if it faces the removed
            // side. Otherwise the material it bounds is cut away.
            Vec3 n = Cross(in.verts[t[1]] - in.verts[t[0]], in.verts[t[2]] - in.verts[t[0]]);
            if (Dot(n, plane.normal) <= 0.0)
                continue;
        }
        for (int i = 0; i < 3; ++i) {
            poly_[i] = {KeepVertex(in, t[i], out), ((in.faces[f].flags >> i) & 1u) != 0};
            for (std::size_t c = 0; c < channelCount; ++c)
                polyMap_[i * channelCount + c] =
                    KeepMapVertex(in, static_cast<int>(c), in.channels[c].faces[f][i], out);
        }
        if (s0 == 0 || s1 == 0 || s2 == 0)
            EmitPolygon(in, static_cast<int>(f), 3, out);
        else {
            out.faces.push_back({{poly_[0].vertex, poly_[1].vertex, poly_[2].vertex},
                                 in.faces[f].flags,
                                 in.faces[f].smoothing,
                                 in.faces[f].inner,
                                 in.faces[f].plane});
            for (std::size_t c = 0; c < channelCount; ++c)
                out.channels[c].faces.push_back(
                    {polyMap_[c], polyMap_[channelCount + c], polyMap_[2 * channelCount + c]});
        }
    }

    if (style.enabled)
        BuildCaps(plane, style, out);
    return out.faces.empty() ? ClipResult::Empty : ClipResult::Cut;
}

} // namespace Quarix::Shatter
