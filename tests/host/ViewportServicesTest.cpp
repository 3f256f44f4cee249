// Headless viewport services: projection and construction-plane points, hit testing of meshes
// against regions, vertex snapping, the interactive creation driver, the sub-object transform
// modes and the tick count.

#include "tests/host/HostTestSupport.h"

#include "host/CommandModes.h"
#include "host/Creation.h"
#include "host/TickCount.h"

#include <chrono>
#include <thread>

namespace {

// One triangle seen from the top: (0,0), (100,0), (0,100) in world units, one pixel per unit.
Mesh Triangle() {
    Mesh m;
    m.verts = {Point3(0, 0, 0), Point3(100, 0, 0), Point3(0, 100, 0)};
    Face f;
    f.setVerts(0, 1, 2);
    m.faces.push_back(f);
    return m;
}

IPoint2 Screen(float x, float y) { // world (x, y) in the default top view
    return {320 + static_cast<int>(x), 240 - static_cast<int>(y)};
}

TEST(ViewportServices, SnapPointLiesOnTheConstructionPlane) {
    ViewExp view;
    IPoint2 out;
    EXPECT_EQ(view.SnapPoint(Screen(100, 50), out), Point3(100, 50, 0));
    EXPECT_EQ(out.x, Screen(100, 50).x);
    // A tilted view still lands on z = 0 and projects back under the cursor.
    view.getGW()->setView(RotateXMatrix(0.6f), 2.0f, 800, 600);
    const Point3 p = view.SnapPoint({500, 200}, out);
    EXPECT_NEAR(p.z, 0.0f, 1e-3f);
    EXPECT_EQ(out.x, 500);
    EXPECT_EQ(out.y, 200);
}

TEST(ViewportServices, MeshSelectAgainstPointAndRectangleRegions) {
    Mesh m = Triangle();
    GraphicsWindow gw;
    HitRegion hr;
    IPoint2 p = Screen(10, 10);
    MakeHitRegion(hr, POINT_RGN, 0, 4, &p);
    EXPECT_TRUE(m.select(&gw, nullptr, &hr, TRUE));
    EXPECT_EQ(gw.getHitDistance(), 0u);
    gw.clearHitCode();
    p = Screen(-3, 50); // three pixels left of the edge x = 0
    MakeHitRegion(hr, POINT_RGN, 0, 4, &p);
    EXPECT_TRUE(m.select(&gw, nullptr, &hr));
    EXPECT_EQ(gw.getHitDistance(), 3u);
    p = Screen(80, 80);
    MakeHitRegion(hr, POINT_RGN, 0, 4, &p);
    EXPECT_FALSE(m.select(&gw, nullptr, &hr));
    gw.setTransform(TransMatrix(Point3(60, 60, 0))); // the object moved under the cursor
    EXPECT_TRUE(m.select(&gw, nullptr, &hr));
    gw.setTransform(Matrix3());
    m.faces[0].Hide();
    p = Screen(10, 10);
    MakeHitRegion(hr, POINT_RGN, 0, 4, &p);
    EXPECT_FALSE(m.select(&gw, nullptr, &hr));
    m.faces[0].Show();

    IPoint2 partial[2] = {Screen(50, 60), Screen(150, -20)};
    MakeHitRegion(hr, RECT_RGN, 1, 0, partial);
    EXPECT_TRUE(m.select(&gw, nullptr, &hr)); // crossing: the rectangle cuts the triangle
    MakeHitRegion(hr, RECT_RGN, 0, 0, partial);
    EXPECT_FALSE(m.select(&gw, nullptr, &hr)); // window: not wholly inside
    IPoint2 all[2] = {Screen(-10, 110), Screen(110, -10)};
    MakeHitRegion(hr, RECT_RGN, 0, 0, all);
    EXPECT_TRUE(m.select(&gw, nullptr, &hr));
    IPoint2 inside[2] = {Screen(5, 20), Screen(20, 5)}; // inside the face, touching no edge
    MakeHitRegion(hr, RECT_RGN, 1, 0, inside);
    EXPECT_TRUE(m.select(&gw, nullptr, &hr));
}

TEST(ViewportServices, SnapTakesTheNearestVertexWithinReach) {
    Mesh m = Triangle();
    GraphicsWindow gw;
    SnapInfo snap;
    IPoint2 p = Screen(97, 2);
    m.snap(&gw, &snap, &p, TransMatrix(Point3(0, 0, 5)));
    ASSERT_TRUE(snap.found);
    EXPECT_EQ(snap.hitPoint, Point3(100, 0, 5));
    // A later, farther candidate does not replace a closer find.
    Mesh other = Triangle();
    other.snap(&gw, &snap, &p, TransMatrix(Point3(4, 0, 0)));
    EXPECT_EQ(snap.hitPoint, Point3(100, 0, 5));
    SnapInfo none;
    p = Screen(50, 50);
    m.snap(&gw, &none, &p, Matrix3());
    EXPECT_FALSE(none.found);
}

// An object that records the messages its creation callback receives; the second point stops.
class ClickObject : public GeomObject {
public:
    Class_ID ClassID() override { return Class_ID(0x7E57C1C1, 2); }
    CreateMouseCallBack* GetCreateMouseCallBack() override { return &m_cb; }
    struct CallBack : CreateMouseCallBack {
        std::vector<std::pair<int, int>> seen;
        int proc(ViewExp* vpt, int msg, int point, int, IPoint2 m, Matrix3& mat) override {
            seen.emplace_back(msg, point);
            IPoint2 out;
            mat.SetTrans(vpt->SnapPoint(m, out));
            return msg == MOUSE_POINT && point == 1 ? CREATE_STOP : CREATE_CONTINUE;
        }
    } m_cb;
};

class ClickDesc : public ClassDesc2 {
public:
    int IsPublic() override { return 1; }
    void* Create(BOOL) override { return new ClickObject(); }
    const MCHAR* ClassName() override { return _T("Click"); }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    Class_ID ClassID() override { return Class_ID(0x7E57C1C1, 2); }
    const MCHAR* Category() override { return _T("Tests"); }
};

class CreationTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        static ClickDesc desc;
        static const bool registered = Host().GetClassDirectory().Register(&desc);
        (void)registered;
    }
};

TEST_F(CreationTest, GestureBecomesPointAndMoveMessages) {
    ViewExp view;
    std::string error;
    INode* node =
        CreateInteractively(Host(), GEOMOBJECT_CLASS_ID, Class_ID(0x7E57C1C1, 2), view,
                            ClickDragGesture(Screen(0, 0), {Screen(5, 0)}, Screen(30, 40)), &error);
    ASSERT_NE(node, nullptr) << error;
    auto* obj = static_cast<ClickObject*>(node->GetObjectRef());
    const std::vector<std::pair<int, int>> expected = {
        {MOUSE_POINT, 0}, {MOUSE_MOVE, 1}, {MOUSE_POINT, 1}};
    EXPECT_EQ(obj->m_cb.seen, expected);
    EXPECT_EQ(node->GetNodeTM(0).GetTrans(), Point3(30, 40, 0)); // follows the creation matrix

    // A gesture that ends before the callback stops leaves nothing behind.
    const size_t before = Host().AllNodes().size();
    EXPECT_EQ(CreateInteractively(Host(), GEOMOBJECT_CLASS_ID, Class_ID(0x7E57C1C1, 2), view,
                                  {{MOUSE_POINT, Screen(0, 0), 0}}, &error),
              nullptr);
    EXPECT_EQ(Host().AllNodes().size(), before);
    EXPECT_EQ(CreateInteractively(Host(), GEOMOBJECT_CLASS_ID, boxObjectClassID, view,
                                  ClickDragGesture(Screen(0, 0), {}, Screen(1, 1)), &error),
              nullptr);
    EXPECT_NE(error.find("no interactive creation"), std::string::npos);
    EXPECT_EQ(Host().AllNodes().size(), before);
}

// Records what the transform modes hand it.
class GizmoObject : public GeomObject {
public:
    Class_ID ClassID() override { return Class_ID(0x7E57C1C1, 3); }
    void GetSubObjectTMs(SubObjAxisCallback* cb, TimeValue, INode*, ModContext*) override {
        if (reportAxis)
            cb->TM(TransMatrix(Point3(7, 8, 9)), 0);
    }
    void GetSubObjectCenters(SubObjAxisCallback* cb, TimeValue, INode*, ModContext*) override {
        cb->Center(Point3(1, 2, 3), 0);
    }
    void Move(TimeValue, Matrix3& partm, Matrix3& axis, Point3& v, BOOL) override {
        last = "move";
        parent = partm;
        frame = axis;
        vec = v;
    }
    void Rotate(TimeValue, Matrix3&, Matrix3& axis, Quat& q, BOOL) override {
        last = "rotate";
        frame = axis;
        rot = q;
    }
    void Scale(TimeValue, Matrix3&, Matrix3&, Point3& v, BOOL) override {
        last = "scale";
        vec = v;
    }
    bool reportAxis = true;
    std::string last;
    Matrix3 parent, frame;
    Point3 vec;
    Quat rot;
};

TEST_F(HostTest, TransformModesApplyThroughTheObject) {
    auto* obj = new GizmoObject();
    INode* node = Host().CreateObjectNode(obj);
    node->SetNodeTM(0, TransMatrix(Point3(0, 0, 50)));
    MoveModBoxCMode move(obj, &Host());
    RotateModBoxCMode rotate(obj, &Host());
    SquashModBoxCMode squash(obj, &Host());
    EXPECT_EQ(move.Class(), MOVE_COMMAND);
    EXPECT_EQ(move.Centers(0, node), std::vector<Point3>{Point3(1, 2, 3)});
    move.Apply(0, node, Point3(1, 0, 0));
    EXPECT_EQ(obj->last, "move");
    EXPECT_EQ(obj->parent.GetTrans(), Point3(0, 0, 50));
    EXPECT_EQ(obj->frame.GetTrans(), Point3(7, 8, 9));
    EXPECT_EQ(obj->vec, Point3(1, 0, 0));
    rotate.Apply(0, node, Quat(AngAxis(Point3::ZAxis, 0.3f)));
    EXPECT_EQ(obj->last, "rotate");
    EXPECT_TRUE(obj->rot.Equals(Quat(AngAxis(Point3::ZAxis, 0.3f))));
    obj->reportAxis = false; // no gizmo transform: the node's object transform is the frame
    squash.Apply(0, node, Point3(2, 0.5f, 1));
    EXPECT_EQ(obj->last, "scale");
    EXPECT_EQ(obj->vec, Point3(2, 0.5f, 1));
    EXPECT_EQ(squash.AxisFrame(0, node).GetTrans(), Point3(0, 0, 50));
}

TEST(TickCount, RunsForwardInMilliseconds) {
    const DWORD a = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const DWORD b = GetTickCount();
    EXPECT_GE(b - a, 4u);
    EXPECT_LT(b - a, 5000u);
}

} // namespace
