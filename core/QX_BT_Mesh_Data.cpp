#include "core/QX_BT_Mesh_Data.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "core/QX_BT_Math.h"

namespace Quarix {

namespace {

/// One third in single precision, written out so the centroid matches the stored constant.
constexpr float kOneThird = 0.33333334f;
/// One sixth in single precision: the tetrahedron volume factor of the enclosed-volume sum.
constexpr float kOneSixth = 0.16666667f;

glm::vec3 Corner(const std::vector<float>& vertices, int32_t index) {
    const size_t i = 3 * static_cast<size_t>(index);
    return {vertices[i], vertices[i + 1], vertices[i + 2]};
}

// Appends the listed faces of `source` to `target` with vertices renumbered in order of first use.
void CopyChannelRenumbered(const QX_BT_Mesh_Channel& source, const QX_BT_Face_List& list,
                           QX_BT_Mesh_Channel& target) {
    std::vector<int32_t> newIndex(source.vertexCount(), -1);
    std::vector<int32_t> order; // source vertex of each new vertex
    target.faces.reserve(target.faces.size() + 3 * list.size());
    for (int32_t f : list) {
        for (int k = 0; k < 3; ++k) {
            const int32_t v = source.faces[3 * size_t(f) + k];
            int32_t& slot = newIndex[size_t(v)];
            if (slot < 0) {
                slot = static_cast<int32_t>(order.size());
                order.push_back(v);
            }
            target.faces.push_back(slot);
        }
    }
    target.vertices.clear();
    target.vertices.reserve(3 * order.size());
    for (int32_t v : order) {
        target.vertices.insert(target.vertices.end(), source.vertices.begin() + 3 * size_t(v),
                               source.vertices.begin() + 3 * size_t(v) + 3);
    }
}

void AppendChannel(const QX_BT_Mesh_Channel& source, QX_BT_Mesh_Channel& target) {
    const int32_t offset = static_cast<int32_t>(target.vertexCount());
    target.vertices.insert(target.vertices.end(), source.vertices.begin(), source.vertices.end());
    target.faces.reserve(target.faces.size() + source.faces.size());
    for (int32_t v : source.faces)
        target.faces.push_back(v + offset);
}

} // namespace

void QX_BT_Mesh_Data::SetMesh(const std::vector<int32_t>& faces, const std::vector<float>& vertices,
                              const std::vector<QX_BT_Face_Info>& infos,
                              const std::map<int32_t, QX_BT_Mesh_Channel>& newChannels) {
    geometry.faces = faces;
    geometry.vertices = vertices;
    faceInfos = infos;
    channels = newChannels;
}

void QX_BT_Mesh_Data::TransformVertices(const glm::mat4& m) {
    const size_t count = geometry.vertexCount();
    for (size_t v = 0; v < count; ++v)
        geometry.setVertex(int32_t(v), TransformPoint(m, geometry.vertex(int32_t(v))));
}

void QX_BT_Mesh_Data::TransformVertexSet(const glm::mat4& m, const QX_BT_Index_Set& vertexSet,
                                         QX_BT_Index_Set& normalSet, bool moveOnly) {
    const glm::vec3 translation(m[3]);
    for (int32_t v : vertexSet) {
        geometry.setVertex(v, moveOnly ? translation : TransformPoint(m, geometry.vertex(v)));
    }
    if (!moveOnly) {
        auto normals = channels.find(kNormalChannel);
        if (normals != channels.end()) {
            for (int32_t n : normalSet)
                normals->second.setVertex(n, TransformDirection(m, normals->second.vertex(n)));
        }
    }
    normalSet.clear();
}

int32_t QX_BT_Mesh_Data::AppendMesh(const std::vector<QX_BT_Face_Info>& infos,
                                    const QX_BT_Mesh_Data& source) {
    faceInfos.insert(faceInfos.end(), infos.begin(), infos.end());
    for (const auto& [number, channel] : source.channels)
        AppendChannel(channel, channels[number]);
    const int32_t before = static_cast<int32_t>(geometry.faceCount());
    AppendChannel(source.geometry, geometry);
    return before;
}

void QX_BT_Mesh_Data::ExtractFaces(QX_BT_Mesh_Data& target, const QX_BT_Face_List& list) const {
    target.faceInfos.reserve(target.faceInfos.size() + list.size());
    for (int32_t f : list)
        target.faceInfos.push_back(faceInfos[size_t(f)]);
    CopyChannelRenumbered(geometry, list, target.geometry);
    for (const auto& [number, channel] : channels)
        CopyChannelRenumbered(channel, list, target.channels[number]);
}

QX_BT_Element_List ExtractElements(const std::vector<int32_t>& faces) {
    QX_BT_Element_List elements;
    const size_t faceCount = faces.size() / 3;
    if (faceCount == 0)
        return elements;

    // Edge table as a sorted flat array of (low vertex, high vertex, face). Sorting by face within
    // an edge gives each edge's face list in ascending face order, exactly as appending faces in
    // ascending order would, at a fraction of an ordered map's cost.
    using EdgeUse = std::tuple<int32_t, int32_t, int32_t>;
    std::vector<EdgeUse> edges;
    edges.reserve(3 * faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        for (int t = 0; t < 3; ++t) {
            const int32_t a = faces[3 * f + t];
            const int32_t b = faces[3 * f + (t + 1) % 3];
            edges.emplace_back(std::min(a, b), std::max(a, b), int32_t(f));
        }
    }
    std::sort(edges.begin(), edges.end());

    std::vector<char> visited(faceCount, 0);
    std::vector<int32_t> stack;
    size_t nextUnvisited = 0;
    while (true) {
        while (nextUnvisited < faceCount && visited[nextUnvisited])
            ++nextUnvisited;
        if (nextUnvisited == faceCount)
            break;
        visited[nextUnvisited] = 1;
        stack.push_back(int32_t(nextUnvisited));
        QX_BT_Face_List element;
        while (!stack.empty()) {
            const int32_t o = stack.back();
            stack.pop_back();
            element.push_back(o);
            for (int t = 0; t < 3; ++t) {
                const int32_t a = faces[3 * size_t(o) + t];
                const int32_t b = faces[3 * size_t(o) + (t + 1) % 3];
                const int32_t lo = std::min(a, b), hi = std::max(a, b);
                auto first =
                    std::lower_bound(edges.begin(), edges.end(), EdgeUse(lo, hi, INT32_MIN));
                for (auto it = first;
                     it != edges.end() && std::get<0>(*it) == lo && std::get<1>(*it) == hi; ++it) {
                    const int32_t g = std::get<2>(*it);
                    if (g != o && !visited[size_t(g)]) {
                        visited[size_t(g)] = 1;
                        stack.push_back(g);
                    }
                }
            }
        }
        elements.push_back(std::move(element));
    }
    return elements;
}

std::optional<glm::vec3> ComputeSurfaceCentroid(const std::vector<float>& vertices,
                                                const std::vector<int32_t>& corners) {
    const size_t triangles = corners.size() / 3;
    std::vector<float> weights(triangles);
    std::vector<glm::vec3> centres(triangles);
    float total = 0.0f;
    for (size_t i = 0; i < triangles; ++i) {
        const glm::vec3 a = Corner(vertices, corners[3 * i]);
        const glm::vec3 b = Corner(vertices, corners[3 * i + 1]);
        const glm::vec3 c = Corner(vertices, corners[3 * i + 2]);
        const float l1 = glm::length(b - a);
        const float l2 = glm::length(c - b);
        const float l3 = glm::length(a - c);
        // The full perimeter (not Heron's half) keeps every factor non-negative, so the weight
        // is real for any triangle and zero only when all three corners coincide.
        const float p = l1 + l2 + l3;
        weights[i] = std::sqrt(p * (p - l1) * (p - l2) * (p - l3));
        centres[i] = (a + b + c) * kOneThird;
        total += weights[i];
    }
    if (!(total > 0.0f))
        return std::nullopt;
    glm::vec3 centroid(0.0f);
    for (size_t i = 0; i < triangles; ++i)
        centroid += (weights[i] / total) * centres[i];
    return centroid;
}

float ComputeEnclosedVolume(const std::vector<float>& vertices, const std::vector<int32_t>& corners,
                            const glm::vec3& p) {
    float sum = 0.0f;
    for (size_t i = 0; i + 2 < corners.size(); i += 3) {
        const glm::vec3 a = Corner(vertices, corners[i]) - p;
        const glm::vec3 b = Corner(vertices, corners[i + 1]) - p;
        const glm::vec3 c = Corner(vertices, corners[i + 2]) - p;
        sum += glm::dot(a, glm::cross(b, c)) * kOneSixth;
    }
    return std::max(0.0f, sum);
}

} // namespace Quarix
