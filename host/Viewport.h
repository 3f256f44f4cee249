#pragma once
// What objects see of the viewports: the view, its graphics window, hit regions, snapping,
// interactive creation and sub-object transform callbacks. The headless host has no screen; its
// graphics window records what is drawn (transform, limits, colour, meshes) so that tests and the
// web studio can inspect it.

#include "host/Box3.h"
#include "host/Mesh.h"

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

/// The drawing surface of one view. Headless: it keeps the state a plug-in sets and counts the
/// meshes drawn.
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
    /// Records a mesh drawn in the current transform.
    void DrawMesh(const Mesh& mesh) {
        (void)mesh;
        ++m_meshesDrawn;
    }
    int MeshesDrawn() const { return m_meshesDrawn; }

private:
    Matrix3 m_tm;
    DWORD m_limits = 0;
    Point3 m_color;
    int m_meshesDrawn = 0;
};

/// One view of the scene.
class ViewExp {
public:
    /// False for a view that has been closed; viewport calls then do nothing.
    bool IsAlive() const { return m_alive; }
    void SetAlive(bool alive) { m_alive = alive; }
    GraphicsWindow* getGW() { return &m_gw; }

private:
    bool m_alive = true;
    GraphicsWindow m_gw;
};

/// A screen region for hit testing: a point with a pixel margin, or a rectangle.
struct HitRegion {
    int type = 0;
    int crossing = 0;
    int epsilon = 0;
    IPoint2 pt;
};

/// Builds a hit region of `type` around point `p` with a margin of `epsilon` pixels.
inline void MakeHitRegion(HitRegion& hr, int type, int crossing, int epsilon, IPoint2* p) {
    hr.type = type;
    hr.crossing = crossing;
    hr.epsilon = epsilon;
    hr.pt = p ? *p : IPoint2{};
}

/// Snapping state of an interactive operation (opaque to objects).
struct SnapInfo {
    int snapType = 0;
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
