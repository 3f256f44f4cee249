// The world object in the scene: references and interfaces, cloning, the icon and its boxes,
// interactive creation, picking and snapping in a view, legacy display and the "Gravity" level.

#include "tests/plugin/world/QX_World_Test_Support.h"

#include "host/CommandModes.h"
#include "host/Creation.h"
#include "world/QX_BULLET_OBJ_Icon.h"

#include <chrono>
#include <numbers>
#include <set>
#include <thread>

namespace QX_World_Test {
namespace {

constexpr IPoint2 kCentre{320, 240}; // the default view's centre: the world origin from the top

TEST_F(WorldTest, ReferencesInterfacesAndNames) {
    QX_BULLET_OBJ* world = NewWorld();
    EXPECT_EQ(world->NumRefs(), 2);
    EXPECT_EQ(world->GetReference(0), world->Params());
    auto* gizmo = dynamic_cast<Control*>(world->GetReference(1));
    ASSERT_NE(gizmo, nullptr);
    EXPECT_EQ(gizmo->SuperClassID(), CTRL_MATRIX3_CLASS_ID);
    EXPECT_TRUE(world->GizmoValue(0).IsIdentity());
    EXPECT_EQ(world->GetReference(2), nullptr);
    EXPECT_FALSE(world->AcceptsReference(1, world->Params()));
    EXPECT_EQ(world->GetInterface(MaxSDK::Graphics::IOBJECT_DISPLAY2_INTERFACE_ID),
              static_cast<MaxSDK::Graphics::IObjectDisplay2*>(world));
    EXPECT_EQ(world->GetInterface(Interface_ID(1, 2)), nullptr);
    EXPECT_EQ(world->Core().api, world);
    EXPECT_EQ(world->SubAnim(0), world->Params());
    EXPECT_EQ(world->SubAnimName(0), L"World");
    MSTR name;
    world->GetClassName(name);
    EXPECT_EQ(name, L"QX_Bullet");
    EXPECT_EQ(world->GetParamBlockByID(0), world->Params());
}

TEST_F(WorldTest, CloneCopiesParametersAndGizmoButNotTheSettingsStore) {
    INode* node = nullptr;
    QX_BULLET_OBJ* world = NewWorld(&node);
    world->Params()->SetValue(WorldParam::Size, 0, 30.0f);
    world->Params()->SetValue(WorldParam::StartFrame, 0, 12);
    XFormModes modes;
    world->BeginEditParams(&Host(), 0, nullptr);
    world->ActivateSubobjSel(1, modes);
    static_cast<RotateModBoxCMode*>(modes.rotate)
        ->Apply(0, node, Quat(AngAxis(Point3::XAxis, 1.0f)));
    world->EndEditParams(&Host(), 0, nullptr);
    world->Core().intSettings.set(WorldKey::SubSteps, 9);

    auto* copy =
        static_cast<QX_BULLET_OBJ*>(CloneRefHierarchy(static_cast<ReferenceTarget*>(world)));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->Params(), world->Params());
    EXPECT_EQ(copy->Params()->GetFloat(WorldParam::Size), 30.0f);
    EXPECT_EQ(copy->Params()->GetInt(WorldParam::StartFrame), 12);
    EXPECT_NE(copy->GizmoController(), world->GizmoController());
    EXPECT_TRUE(copy->GizmoValue(0).Equals(world->GizmoValue(0)));
    EXPECT_EQ(copy->Core().api, copy);
    EXPECT_EQ(copy->Core().intSettings.get(WorldKey::SubSteps), 5);
    copy->DeleteThis();
}

TEST_F(WorldTest, IconIsAnArrowAlongZScaledBySizeAndTurnedByTheGizmo) {
    Mesh icon;
    BuildWorldIcon(icon, 100.0f, Matrix3());
    ASSERT_EQ(icon.getNumVerts(), 126);
    ASSERT_EQ(icon.getNumFaces(), 161);
    std::string why;
    EXPECT_TRUE(icon.IsValid(&why)) << why;
    Box3 box = icon.getBoundingBox();
    EXPECT_NEAR(box.pmin.z, 0.0f, 1e-5f);
    EXPECT_NEAR(box.pmax.z, 100.0f, 1e-4f);
    EXPECT_LT(box.Width().x, 0.4f * box.Width().z); // elongated along Z

    BuildWorldIcon(icon, 100.0f, RotateXMatrix(static_cast<float>(std::numbers::pi / 2)));
    box = icon.getBoundingBox();
    EXPECT_NEAR(box.Width().y, 100.0f, 1e-3f); // now lying along Y
    EXPECT_LT(box.Width().z, 40.0f);

    BuildWorldIcon(icon, 0.0f, Matrix3());
    box = icon.getBoundingBox();
    EXPECT_EQ(box.pmin, Point3());
    EXPECT_EQ(box.pmax, Point3());
}

TEST_F(WorldTest, ClickWithoutDragMakesAPointSizedWorld) {
    ViewExp view;
    const IPoint2 at{kCentre.x + 100, kCentre.y - 50};
    std::string error;
    INode* node = CreateInteractively(Host(), GEOMOBJECT_CLASS_ID, kWorldObjectClassID, view,
                                      ClickDragGesture(at, {}, at), &error);
    ASSERT_NE(node, nullptr) << error;
    auto* world = static_cast<QX_BULLET_OBJ*>(node->GetObjectRef());
    EXPECT_EQ(world->Params()->GetFloat(WorldParam::Size), 0.0f);
    EXPECT_EQ(node->GetNodeTM(0).GetTrans(), Point3(100, 50, 0));
    Box3 box;
    world->GetWorldBoundBox(0, node, &view, box);
    EXPECT_EQ(box.pmin, Point3(100, 50, 0));
    EXPECT_EQ(box.pmax, Point3(100, 50, 0));
    world->GetLocalBoundBox(0, node, &view, box);
    EXPECT_EQ(box.Width(), Point3());
}

TEST_F(WorldTest, DragSetsSizeAndWorldsGetDifferentColoursInRange) {
    ViewExp view;
    std::set<COLORREF> colours;
    for (int i = 0; i < 2; ++i) {
        // The generator is seeded with the tick count: a user never clicks twice within 1 ms.
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        INode* node = CreateInteractively(Host(), GEOMOBJECT_CLASS_ID, kWorldObjectClassID, view,
                                          ClickDragGesture(kCentre, {{kCentre.x + 10, kCentre.y}},
                                                           {kCentre.x + 30, kCentre.y + 40}));
        ASSERT_NE(node, nullptr);
        EXPECT_NEAR(
            static_cast<QX_BULLET_OBJ*>(node->GetObjectRef())->Params()->GetFloat(WorldParam::Size),
            50.0f, 1e-4f);
        const COLORREF c = node->GetWireColor();
        for (int channel : {GetRValue(c), GetGValue(c), GetBValue(c)}) {
            EXPECT_GE(channel, 55);
            EXPECT_LE(channel, 254);
        }
        colours.insert(c);
    }
    EXPECT_EQ(colours.size(), 2u);

    // An aborted gesture leaves no node behind.
    const size_t before = Host().AllNodes().size();
    EXPECT_EQ(CreateInteractively(Host(), GEOMOBJECT_CLASS_ID, kWorldObjectClassID, view,
                                  {{MOUSE_POINT, kCentre, 0}, {MOUSE_ABORT, kCentre, 0}}),
              nullptr);
    EXPECT_EQ(Host().AllNodes().size(), before);
}

TEST_F(WorldTest, HitTestAndSnapUseTheIconInItsNode) {
    INode* node = nullptr;
    QX_BULLET_OBJ* world = NewWorld(&node);
    world->Params()->SetValue(WorldParam::Size, 0, 100.0f); // head radius 15 seen from the top
    ViewExp view;
    IPoint2 p = kCentre;
    EXPECT_TRUE(world->HitTest(0, node, POINT_RGN, 0, 0, &p, &view));
    p = {kCentre.x + 17, kCentre.y}; // 2 pixels off the rim: inside the pick margin
    EXPECT_TRUE(world->HitTest(0, node, POINT_RGN, 0, HIT_ABORTONHIT, &p, &view));
    p = {kCentre.x + 40, kCentre.y};
    EXPECT_FALSE(world->HitTest(0, node, POINT_RGN, 0, 0, &p, &view));
    node->SetNodeTM(0, TransMatrix(Point3(40, 0, 0))); // the world moved under the cursor
    EXPECT_TRUE(world->HitTest(0, node, POINT_RGN, 0, 0, &p, &view));
    EXPECT_EQ(view.getGW()->getRndLimits(), 0u); // restored
    IPoint2 rect[2] = {{kCentre.x + 20, kCentre.y - 30}, {kCentre.x + 60, kCentre.y + 30}};
    EXPECT_TRUE(world->HitTest(0, node, RECT_RGN, 0, 0, rect, &view));
    view.SetAlive(false);
    EXPECT_FALSE(world->HitTest(0, node, POINT_RGN, 0, 0, &p, &view));
    view.SetAlive(true);

    SnapInfo snap;
    p = {kCentre.x + 40 + 16, kCentre.y + 1}; // next to the head's rim point at (15, 0, 25)
    world->Snap(0, node, &snap, &p, &view);
    ASSERT_TRUE(snap.found);
    EXPECT_TRUE(snap.hitPoint.Equals(Point3(55, 0, 25), 1e-3f));
    SnapInfo far;
    p = {0, 0};
    world->Snap(0, node, &far, &p, &view);
    EXPECT_FALSE(far.found);
}

TEST_F(WorldTest, LegacyDisplayPicksTheLineColour) {
    INode* node = nullptr;
    QX_BULLET_OBJ* world = NewWorld(&node);
    node->SetWireColor(RGB(255, 0, 51));
    ViewExp view;
    GraphicsWindow* gw = view.getGW();
    gw->setRndLimits(0x4);
    EXPECT_EQ(world->Display(0, node, &view, 0), 0);
    EXPECT_TRUE(gw->getColor().Equals(Point3(1.0f, 0.0f, 0.2f)));
    EXPECT_TRUE(world->WireColor().Equals(Point3(1.0f, 0.0f, 0.2f)));
    EXPECT_EQ(gw->getRndLimits(), 0x4u);
    EXPECT_EQ(gw->MeshesDrawn(), 1);

    Host().SelectNode(node);
    world->Display(0, node, &view, 0);
    EXPECT_EQ(gw->getColor(), GetUIColor(COLOR_SELECTION));
    Host().ClearNodeSelection();
    gw->setColor(LINE_COLOR, Point3(0.1f, 0.1f, 0.1f));
    node->Freeze(TRUE);
    world->Display(0, node, &view, 0);
    EXPECT_EQ(gw->getColor(), Point3(0.1f, 0.1f, 0.1f)); // the host's colour stays
    node->Freeze(FALSE);
    node->SetDependent(TRUE);
    world->Display(0, node, &view, 0);
    EXPECT_EQ(gw->getColor(), Point3(0.1f, 0.1f, 0.1f));

    view.SetAlive(false);
    world->Display(0, node, &view, 0);
    EXPECT_EQ(gw->MeshesDrawn(), 4);

    MaxSDK::Graphics::UpdateDisplayContext ctx;
    EXPECT_TRUE(world->PrepareDisplay(ctx));
    EXPECT_EQ(ctx.FaceCount(), kIconFaceCount);
}

TEST_F(WorldTest, GravityLevelTurnsOnlyByRotation) {
    INode* node = nullptr;
    QX_BULLET_OBJ* world = NewWorld(&node);
    node->SetNodeTM(0, TransMatrix(Point3(10, 20, 30)));
    ASSERT_EQ(world->NumSubObjTypes(), 1);
    EXPECT_STREQ(world->GetSubObjType(0)->GetName(), L"Gravity");
    EXPECT_EQ(world->GetSubObjType(1), nullptr);

    world->BeginEditParams(&Host(), 0, nullptr);
    XFormModes modes;
    world->ActivateSubobjSel(1, modes);
    ASSERT_NE(modes.move, nullptr);
    ASSERT_NE(modes.rotate, nullptr);
    ASSERT_NE(modes.scale, nullptr);
    ASSERT_NE(modes.uscale, nullptr);
    ASSERT_NE(modes.squash, nullptr);
    auto* move = static_cast<MoveModBoxCMode*>(modes.move);
    auto* rotate = static_cast<RotateModBoxCMode*>(modes.rotate);
    EXPECT_EQ(move->Centers(0, node), std::vector<Point3>{Point3(10, 20, 30)});

    const Matrix3 before = world->GizmoValue(0);
    move->Apply(0, node, Point3(100, 0, 0));
    static_cast<ScaleModBoxCModeBase*>(modes.uscale)->Apply(0, node, Point3(2, 2, 2));
    static_cast<ScaleModBoxCModeBase*>(modes.squash)->Apply(0, node, Point3(2, 0.5f, 1));
    EXPECT_EQ(world->GizmoValue(0), before);

    // A quarter turn about X: the gizmo's Z (the gravity axis) now points along -Y, about the
    // gizmo's own centre, which stays at the node.
    rotate->Apply(0, node, Quat(AngAxis(Point3::XAxis, static_cast<float>(std::numbers::pi / 2))));
    const Point3 axis = world->GizmoValue(0).VectorTransform(Point3(0, 0, 1));
    EXPECT_TRUE(axis.Equals(Point3(0, -1, 0), 1e-5f) || axis.Equals(Point3(0, 1, 0), 1e-5f));
    EXPECT_TRUE(world->GizmoValue(0).GetTrans().Equals(Point3(), 1e-4f));
    EXPECT_TRUE(rotate->Centers(0, node).front().Equals(Point3(10, 20, 30), 1e-4f));
    // The icon follows the gizmo.
    world->Params()->SetValue(WorldParam::Size, 0, 100.0f);
    Box3 box;
    world->GetLocalBoundBox(0, node, nullptr, box);
    EXPECT_NEAR(box.Width().y, 100.0f, 1e-3f);
    world->EndEditParams(&Host(), 0, nullptr);
    XFormModes after;
    world->ActivateSubobjSel(1, after);
    EXPECT_EQ(after.rotate, nullptr);
}

} // namespace
} // namespace QX_World_Test
