#pragma once
// What objects see of the viewports: the view, its graphics window, hit regions, snapping,
// interactive creation and sub-object transform callbacks. The headless host has no screen; its
// graphics window records what is drawn (transform, limits, colour, meshes) so that tests and the
// web studio can inspect it.

#include "host/Box3.h"
#include "host/Mesh.h"

#include <algorithm>
#include <vector>

class INode;

/// Screen position in pixels.
struct IPoint2 {
    int x = 0;
    int y = 0;
};

/// Render-limit bits of GraphicsWindow (wireframe drawing is 0x200001 as a whole).
inline constexpr DWORD GW_WIREFRAME = 0x000001;
inline constexpr DWORD GW_Z_BUFFER = 0x200000;

/// Hit region types.
inline constexpr int POINT_RGN = 0x0001;
inline constexpr int RECT_RGN = 0x0002;
inline constexpr int CIRCLE_RGN = 0x0004;
/// HitTest flag: stop at the first hit.
inline constexpr int HIT_ABORTONHIT = 1 << 3;
/// Colour slot of GraphicsWindow::setColor for lines.
inline constexpr int LINE_COLOR = 0;
/// Mesh::render component flags: everything.
inline constexpr int COMP_ALL = 0x00FF;

/// A screen region for hit testing: a point with a pixel margin (point and circle regions), or a
/// rectangle that selects what it crosses (crossing) or what lies wholly inside it.
struct HitRegion {
    int type = POINT_RGN;
    int crossing = 0;
    int epsilon = 0;
    IPoint2 pt;
    /// Corners of a rectangle region.
    IPoint2 rectLo;
    IPoint2 rectHi;
};

/// The material a window draws with (the headless window only names its colour).
class Material {
public:
    Point3 Kd = Point3(0.5f, 0.5f, 0.5f);
};

/// The drawing surface of one view. Headless: it keeps the state a plug-in sets, counts the
/// meshes drawn and projects points to the screen for hit testing and snapping. The view is an
/// orthographic projection: world points go through the world-to-view transform, and view x and
/// y are scaled by pixels-per-unit around the window centre (screen y grows downwards).
class GraphicsWindow {
public:
    void setTransform(const Matrix3& m) { m_tm = m; }
    Matrix3 getTransform() const { return m_tm; }
    DWORD getRndLimits() const { return m_limits; }
    void setRndLimits(DWORD limits) { m_limits = limits; }
    /// Line colour, components 0..1.
    void setColor(int which, float r, float g, float b) {
        (void)which;
        m_color = Point3(r, g, b);
    }
    void setColor(int which, const Point3& c) { setColor(which, c.x, c.y, c.z); }
    Point3 getColor() const { return m_color; }
    Material* getMaterial() { return &m_material; }
    /// Records a mesh drawn in the current transform.
    void DrawMesh(const Mesh& mesh) {
        (void)mesh;
        ++m_meshesDrawn;
    }
    int MeshesDrawn() const { return m_meshesDrawn; }

    /// Sets the projection: world-to-view transform, pixels per scene unit (> 0), window size.
    void setView(const Matrix3& worldToView, float pixelsPerUnit, int width, int height);
    Matrix3 getViewTM() const { return m_view; }
    float getPixelsPerUnit() const { return m_ppu; }
    int getWinSizeX() const { return m_width; }
    int getWinSizeY() const { return m_height; }
    /// Screen position (pixels, fractional) of a point in the current transform's space.
    Point2 ProjectToScreen(const Point3& p) const;
    /// The world point on the view plane (view z = 0) under a screen position, and the view
    /// direction (world space, unit length, pointing into the scene).
    Point3 UnprojectToWorld(float sx, float sy) const;
    Point3 ViewDirection() const;

    /// Hit testing: the region the next select tests against, and its outcome.
    void setHitRegion(HitRegion* hr) { m_hitRegion = hr ? *hr : HitRegion{}; }
    const HitRegion& getHitRegion() const { return m_hitRegion; }
    void clearHitCode() {
        m_hit = FALSE;
        m_hitDistance = 0;
    }
    BOOL checkHitCode() const { return m_hit; }
    /// Records a hit at `distance` pixels from the region's point, keeping the closest.
    void setHitCode(DWORD distance) {
        if (!m_hit || distance < m_hitDistance)
            m_hitDistance = distance;
        m_hit = TRUE;
    }
    DWORD getHitDistance() const { return m_hitDistance; }

private:
    Matrix3 m_tm;
    DWORD m_limits = 0;
    Point3 m_color;
    Material m_material;
    int m_meshesDrawn = 0;
    Matrix3 m_view;
    float m_ppu = 1.0f;
    int m_width = 640;
    int m_height = 480;
    HitRegion m_hitRegion;
    BOOL m_hit = FALSE;
    DWORD m_hitDistance = 0;
};

/// One view of the scene.
class ViewExp {
public:
    /// False for a view that has been closed; viewport calls then do nothing.
    bool IsAlive() const { return m_alive; }
    void SetAlive(bool alive) { m_alive = alive; }
    GraphicsWindow* getGW() { return &m_gw; }
    /// The point of the construction plane (world z = 0) under screen position `in`; `out`
    /// receives the screen position of that point. A view looking along the plane gives the
    /// point of the view plane instead.
    Point3 SnapPoint(IPoint2 in, IPoint2& out, Matrix3* plane2d = nullptr, DWORD flags = 0);

private:
    bool m_alive = true;
    GraphicsWindow m_gw;
};

/// Builds a hit region of `type` around point `p` with a margin of `epsilon` pixels; for
/// RECT_RGN, p points at the two corners of the rectangle.
inline void MakeHitRegion(HitRegion& hr, int type, int crossing, int epsilon, IPoint2* p) {
    hr.type = type;
    hr.crossing = crossing;
    hr.epsilon = epsilon;
    hr.pt = p ? *p : IPoint2{};
    if (type == RECT_RGN && p) {
        hr.rectLo = IPoint2{std::min(p[0].x, p[1].x), std::min(p[0].y, p[1].y)};
        hr.rectHi = IPoint2{std::max(p[0].x, p[1].x), std::max(p[0].y, p[1].y)};
    }
}

/// Snapping state of an interactive operation: how close (pixels) a point must be to catch the
/// cursor, and the best point found so far (world space).
struct SnapInfo {
    int snapType = 0;
    int strength = 8;
    bool found = false;
    Point3 hitPoint;
    float hitDistance = 0.0f;
};

/// Messages and answers of interactive creation.
inline constexpr int MOUSE_ABORT = 0;
inline constexpr int MOUSE_POINT = 1;
inline constexpr int MOUSE_MOVE = 2;
inline constexpr int MOUSE_FREEMOVE = 8;
inline constexpr int CREATE_CONTINUE = 1;
inline constexpr int CREATE_STOP = 0;
inline constexpr int CREATE_ABORT = -1;

/// Drives the interactive creation of an object (clicks and drags in a view).
class CreateMouseCallBack {
public:
    virtual ~CreateMouseCallBack() = default;
    /// One mouse event: msg (MOUSE_POINT ...), point index of the gesture, flags, screen position
    /// and the creation matrix (the new node's transform). Answers CREATE_CONTINUE / _STOP /
    /// _ABORT.
    virtual int proc(ViewExp* vpt, int msg, int point, int flags, IPoint2 m, Matrix3& mat) = 0;
};

/// Receives the centres and transforms of sub-objects for the transform gizmo.
class SubObjAxisCallback {
public:
    virtual ~SubObjAxisCallback() = default;
    virtual void Center(Point3 c, int id) = 0;
    virtual void TM(Matrix3 tm, int id) = 0;
};

/// A sub-object level's name (and icon) as shown in the modifier stack.
class ISubObjType {
public:
    virtual ~ISubObjType() = default;
    virtual const MCHAR* GetName() = 0;
};

/// A sub-object type with a fixed name and icon index.
class GenSubObjType : public ISubObjType {
public:
    GenSubObjType(const MCHAR* name, const MCHAR* imageList, int index)
        : m_name(name ? name : _T("")), m_imageList(imageList ? imageList : _T("")),
          m_index(index) {}
    const MCHAR* GetName() override { return m_name.c_str(); }
    void SetName(const MCHAR* name) { m_name = name ? name : _T(""); }
    int GetImageIndex() const { return m_index; }

private:
    MSTR m_name;
    MSTR m_imageList;
    int m_index;
};

class CommandMode;

/// The transform command modes a sub-object level offers (null entries: not offered).
struct XFormModes {
    CommandMode* move = nullptr;
    CommandMode* rotate = nullptr;
    CommandMode* scale = nullptr;
    CommandMode* uscale = nullptr;
    CommandMode* squash = nullptr;
    CommandMode* select = nullptr;
};

/// A viewport command mode (move, rotate ...); created by objects for their sub-object levels.
class CommandMode {
public:
    virtual ~CommandMode() = default;
    virtual int Class() const { return 0; }
};
