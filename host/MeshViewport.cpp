// Headless viewport services: orthographic projection, hit testing of meshes against hit regions
// and snapping to mesh vertices.

#include "host/Viewport.h"

#include <cmath>

namespace {

using Vec2 = Point2;

float Cross(const Vec2& o, const Vec2& a, const Vec2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Whether p lies inside (or on) the triangle abc, whichever its winding.
bool InTriangle(const Vec2& p, const Vec2& a, const Vec2& b, const Vec2& c) {
    const float d1 = Cross(a, b, p), d2 = Cross(b, c, p), d3 = Cross(c, a, p);
    const bool neg = d1 < 0 || d2 < 0 || d3 < 0;
    const bool pos = d1 > 0 || d2 > 0 || d3 > 0;
    return !(neg && pos);
}

float SegmentDistance(const Vec2& p, const Vec2& a, const Vec2& b) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    float u = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0f;
    u = std::fmax(0.0f, std::fmin(1.0f, u));
    const float ex = a.x + u * dx - p.x, ey = a.y + u * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

bool SegmentsCross(const Vec2& a, const Vec2& b, const Vec2& c, const Vec2& d) {
    const float d1 = Cross(c, d, a), d2 = Cross(c, d, b), d3 = Cross(a, b, c), d4 = Cross(a, b, d);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0));
}

bool InRect(const Vec2& p, const HitRegion& hr) {
    return p.x >= hr.rectLo.x && p.x <= hr.rectHi.x && p.y >= hr.rectLo.y && p.y <= hr.rectHi.y;
}

// Distance in pixels from the region's point to a triangle (0 inside); negative when the
// triangle is not hit by a point or circle region.
float PointRegionDistance(const HitRegion& hr, const Vec2 (&tri)[3]) {
    const Vec2 p(static_cast<float>(hr.pt.x), static_cast<float>(hr.pt.y));
    if (InTriangle(p, tri[0], tri[1], tri[2]))
        return 0.0f;
    float best = -1.0f;
    for (int e = 0; e < 3; ++e) {
        const float d = SegmentDistance(p, tri[e], tri[(e + 1) % 3]);
        if (d <= static_cast<float>(hr.epsilon) && (best < 0 || d < best))
            best = d;
    }
    return best;
}

bool RectCrossesTriangle(const HitRegion& hr, const Vec2 (&tri)[3]) {
    for (const Vec2& v : tri) {
        if (InRect(v, hr))
            return true;
    }
    const Vec2 corners[4] = {{static_cast<float>(hr.rectLo.x), static_cast<float>(hr.rectLo.y)},
                             {static_cast<float>(hr.rectHi.x), static_cast<float>(hr.rectLo.y)},
                             {static_cast<float>(hr.rectHi.x), static_cast<float>(hr.rectHi.y)},
                             {static_cast<float>(hr.rectLo.x), static_cast<float>(hr.rectHi.y)}};
    for (int i = 0; i < 4; ++i) {
        if (InTriangle(corners[i], tri[0], tri[1], tri[2]))
            return true;
        for (int e = 0; e < 3; ++e) {
            if (SegmentsCross(corners[i], corners[(i + 1) % 4], tri[e], tri[(e + 1) % 3]))
                return true;
        }
    }
    return false;
}

} // namespace

void GraphicsWindow::setView(const Matrix3& worldToView, float pixelsPerUnit, int width,
                             int height) {
    m_view = worldToView;
    m_ppu = pixelsPerUnit > 0.0f && std::isfinite(pixelsPerUnit) ? pixelsPerUnit : 1.0f;
    m_width = width > 0 ? width : 1;
    m_height = height > 0 ? height : 1;
}

Point2 GraphicsWindow::ProjectToScreen(const Point3& p) const {
    const Point3 v = (p * m_tm) * m_view;
    return {v.x * m_ppu + static_cast<float>(m_width) * 0.5f,
            static_cast<float>(m_height) * 0.5f - v.y * m_ppu};
}

Point3 GraphicsWindow::UnprojectToWorld(float sx, float sy) const {
    const Point3 v((sx - static_cast<float>(m_width) * 0.5f) / m_ppu,
                   (static_cast<float>(m_height) * 0.5f - sy) / m_ppu, 0.0f);
    return v * Inverse(m_view);
}

Point3 GraphicsWindow::ViewDirection() const {
    return Inverse(m_view).VectorTransform(Point3(0, 0, -1)).Normalize();
}

Point3 ViewExp::SnapPoint(IPoint2 in, IPoint2& out, Matrix3*, DWORD) {
    const Point3 origin = m_gw.UnprojectToWorld(static_cast<float>(in.x), static_cast<float>(in.y));
    const Point3 dir = m_gw.ViewDirection();
    Point3 hit = origin;
    if (std::fabs(dir.z) > 1e-6f)
        hit = origin + dir * (-origin.z / dir.z);
    const Matrix3 saved = m_gw.getTransform();
    m_gw.setTransform(Matrix3());
    const Point2 s = m_gw.ProjectToScreen(hit);
    m_gw.setTransform(saved);
    out = IPoint2{static_cast<int>(std::lround(s.x)), static_cast<int>(std::lround(s.y))};
    return hit;
}

void Mesh::render(GraphicsWindow* gw, Material*, void*, int, int) {
    if (gw)
        gw->DrawMesh(*this);
}

BOOL Mesh::select(GraphicsWindow* gw, Material*, HitRegion* hr, int abortOnHit, int) {
    if (!gw || !hr)
        return FALSE;
    const int nv = getNumVerts();
    std::vector<Vec2> screen(static_cast<size_t>(nv));
    for (int i = 0; i < nv; ++i)
        screen[static_cast<size_t>(i)] = gw->ProjectToScreen(verts[static_cast<size_t>(i)]);
    bool any = false;
    bool allInside = nv > 0;
    for (const Face& f : faces) {
        if (f.Hidden() || f.v[0] >= static_cast<DWORD>(nv) || f.v[1] >= static_cast<DWORD>(nv) ||
            f.v[2] >= static_cast<DWORD>(nv))
            continue;
        const Vec2 tri[3] = {screen[f.v[0]], screen[f.v[1]], screen[f.v[2]]};
        if (hr->type == RECT_RGN) {
            if (hr->crossing) {
                if (RectCrossesTriangle(*hr, tri)) {
                    gw->setHitCode(0);
                    any = true;
                }
            } else {
                allInside =
                    allInside && InRect(tri[0], *hr) && InRect(tri[1], *hr) && InRect(tri[2], *hr);
            }
        } else {
            const float d = PointRegionDistance(*hr, tri);
            if (d >= 0.0f) {
                gw->setHitCode(static_cast<DWORD>(d));
                any = true;
            }
        }
        if (any && abortOnHit)
            return TRUE;
    }
    if (hr->type == RECT_RGN && !hr->crossing && allInside && !faces.empty()) {
        gw->setHitCode(0);
        any = true;
    }
    return any ? TRUE : FALSE;
}

void Mesh::snap(GraphicsWindow* gw, SnapInfo* snap, IPoint2* p, const Matrix3& tm) {
    if (!gw || !snap || !p)
        return;
    const Matrix3 saved = gw->getTransform();
    gw->setTransform(tm);
    for (const Point3& v : verts) {
        const Point2 s = gw->ProjectToScreen(v);
        const float dx = s.x - static_cast<float>(p->x), dy = s.y - static_cast<float>(p->y);
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d <= static_cast<float>(snap->strength) && (!snap->found || d < snap->hitDistance)) {
            snap->found = true;
            snap->hitDistance = d;
            snap->hitPoint = v * tm;
        }
    }
    gw->setTransform(saved);
}
