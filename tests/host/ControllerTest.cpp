#include "tests/host/HostTestSupport.h"

#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

class ControllerTest : public HostTest {};

TEST_F(ControllerTest, TicksFollowTheSceneFrameRate) {
    EXPECT_EQ(GetFrameRate(), 30);
    EXPECT_EQ(GetTicksPerFrame(), 160);
    ASSERT_TRUE(Host().SetFrameRate(25));
    EXPECT_EQ(GetTicksPerFrame(), 192);
    EXPECT_FALSE(Host().SetFrameRate(0));
    EXPECT_EQ(GetFrameRate(), 25);
}

TEST_F(ControllerTest, MasterScaleIsCentimetresPerSceneUnit) {
    EXPECT_DOUBLE_EQ(GetMasterScale(UNITS_CENTIMETERS), 2.54);
    ASSERT_TRUE(Host().SetSystemUnitInfo(UNITS_METERS, 1.0f));
    EXPECT_DOUBLE_EQ(GetMasterScale(UNITS_CENTIMETERS), 100.0);
    // "Size Limit" 10 in a metre scene reaches the core as 1000 centimetres.
    EXPECT_DOUBLE_EQ(10.0 * GetMasterScale(4), 1000.0);
    EXPECT_FALSE(Host().SetSystemUnitInfo(UNITS_METERS, -1.0f));
    EXPECT_DOUBLE_EQ(GetMasterScale(99), 0.0);
}

TEST_F(ControllerTest, PrsInterpolatesPositionLinearlyAndRotationBySlerp) {
    PRSController prs;
    const int tpf = GetTicksPerFrame();
    prs.SetPositionKey(0, Point3(0, 0, 0));
    prs.SetPositionKey(10 * tpf, Point3(10, 0, 0));
    prs.SetRotationKey(0, Quat());
    prs.SetRotationKey(10 * tpf, Quat(AngAxis(Point3(0, 0, 1), kPi / 2)));
    prs.SetScaleKey(0, Point3(1, 1, 1));
    prs.SetScaleKey(10 * tpf, Point3(3, 3, 3));

    // Frame 2.5 is a fractional frame: tick 400.
    Interval valid = FOREVER;
    Matrix3 m = prs.Evaluate(400, &valid);
    EXPECT_TRUE(m.GetTrans().Equals(Point3(2.5f, 0, 0), 1e-5f));
    AffineParts parts = DecompAffine(m);
    EXPECT_TRUE(parts.q.Equals(Quat(AngAxis(Point3(0, 0, 1), kPi / 8))));
    EXPECT_NEAR(parts.s.x, 1.5f, 1e-5f);
    EXPECT_EQ(valid, Interval(400, 400));

    // Outside the keys the end values hold, valid to infinity.
    valid = FOREVER;
    m = prs.Evaluate(20 * tpf, &valid);
    EXPECT_TRUE(m.GetTrans().Equals(Point3(10, 0, 0)));
    EXPECT_EQ(valid, Interval(10 * tpf, TIME_PosInfinity));
}

TEST_F(ControllerTest, StepKeysHoldUntilTheNextKey) {
    PRSController prs;
    prs.SetPositionKey(0, Point3(1, 0, 0), true);
    prs.SetPositionKey(100, Point3(5, 0, 0));
    Interval valid = FOREVER;
    EXPECT_EQ(prs.Evaluate(99, &valid).GetTrans(), Point3(1, 0, 0));
    EXPECT_EQ(valid, Interval(0, 99));
    EXPECT_EQ(prs.Evaluate(100).GetTrans(), Point3(5, 0, 0));
}

TEST_F(ControllerTest, SetValueHonoursAnimateMode) {
    PRSController prs;
    SetXFormPacket move(TransMatrix(Point3(1, 2, 3)));
    prs.SetValue(480, &move);
    EXPECT_EQ(prs.NumKeys(), 0); // animation off: a constant value
    EXPECT_EQ(prs.Evaluate(0).GetTrans(), Point3(1, 2, 3));

    AnimateOn();
    SetXFormPacket later(TransMatrix(Point3(11, 2, 3)));
    prs.SetValue(480, &later);
    AnimateOff();
    // The first animated change keeps the old value in a key at time 0.
    ASSERT_EQ(prs.PositionKeys().size(), 2u);
    EXPECT_EQ(prs.PositionKeys()[0].time, 0);
    EXPECT_TRUE(prs.Evaluate(240).GetTrans().Equals(Point3(6, 2, 3), 1e-5f));

    // Animation off with keys: the whole track moves by the change.
    SetXFormPacket shift(TransMatrix(Point3(12, 2, 3)));
    prs.SetValue(480, &shift);
    EXPECT_TRUE(prs.Evaluate(0).GetTrans().Equals(Point3(2, 2, 3), 1e-5f));
}

TEST_F(ControllerTest, RotatePacketRotatesAboutTheAxisSystem) {
    PRSController prs;
    SetXFormPacket place(TransMatrix(Point3(10, 0, 0)));
    prs.SetValue(0, &place);
    // A quarter turn about the world z axis through the origin carries the point onto +y.
    SetXFormPacket turn(AngAxis(Point3(0, 0, 1), kPi / 2), FALSE, Matrix3(), Matrix3());
    prs.SetValue(0, &turn);
    EXPECT_TRUE(prs.Evaluate(0).GetTrans().Equals(Point3(0, 10, 0), 1e-4f));
    // Relative get: the value composed with a parent transform.
    Matrix3 tm = TransMatrix(Point3(0, 0, 5));
    Interval valid = FOREVER;
    prs.GetValue(0, &tm, valid, CTRL_RELATIVE);
    EXPECT_TRUE(tm.GetTrans().Equals(Point3(0, 10, 5), 1e-4f));
}

TEST_F(ControllerTest, VisibilityStepKeysThroughKeyControl) {
    auto* vis = static_cast<Control*>(
        static_cast<Animatable*>(CreateInstance(CTRL_FLOAT_CLASS_ID, floatControllerClassID)));
    ASSERT_NE(vis, nullptr);
    IKeyControl* keys = GetKeyControlInterface(vis);
    ASSERT_NE(keys, nullptr);
    IBezFloatKey key;
    key.flags = 0x900;
    EXPECT_EQ(GetInTanType(key.flags), BEZKEY_STEP);
    EXPECT_EQ(GetOutTanType(key.flags), BEZKEY_STEP);
    key.time = 800;
    key.val = 1.0f;
    keys->AppendKey(&key);
    key.time = 799;
    key.val = 0.0f;
    EXPECT_EQ(keys->AppendKey(&key), 0); // sorted in front
    ASSERT_EQ(keys->GetNumKeys(), 2);

    float v = -1.0f;
    Interval valid = FOREVER;
    vis->GetValue(799, &v, valid);
    EXPECT_EQ(v, 0.0f);
    vis->GetValue(800, &v, valid);
    EXPECT_EQ(v, 1.0f);
    EXPECT_FALSE(keys->GetKey(5, &key));
    vis->DeleteThis();
}

TEST_F(ControllerTest, FloatAndIntegerControllersInterpolateAndRound) {
    FloatController f;
    AnimateOn();
    float v = 4.0f;
    f.SetValue(160, &v);
    AnimateOff();
    EXPECT_EQ(f.NumKeys(), 2);
    EXPECT_FLOAT_EQ(f.Evaluate(80), 2.0f);
    FloatController i(true);
    int n = 3;
    i.SetValue(0, &n);
    int out = 0;
    Interval valid = FOREVER;
    i.GetValue(0, &out, valid);
    EXPECT_EQ(out, 3);
    EXPECT_EQ(i.SuperClassID(), CTRL_INTEGER_CLASS_ID);
}

} // namespace
