#include "display/ViewGlobals.h"
#include "display/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetViewGlobals();
        CameraSetTickSource([this] { return tick; });
    }
    void TearDown() override { CameraSetTickSource({}); }

    // The start-up calls of the main window.
    void StartUp(Tcamera& cam)
    {
        CameraSetHeight(cam, 10.0);
        CameraSetDistance(cam, 2.0);
        CameraSetTarget(cam, 0, 0, 0);
        CameraSetMode(cam, 0);
        CameraSetOrbit(cam, 0);
        CameraUpdate(cam);
    }

    static Matrix4 Identity()
    {
        Matrix4 m;
        MatrixIdentity(m);
        return m;
    }

    static CameraKey Key(float x, float y, float z, float rx = 0, float ry = 0, float rz = 0)
    {
        return {x, y, z, rx, ry, rz};
    }

    uint32_t tick = 1000;
};

TEST_F(CameraTest, StartUpGivesTheIdentityView)
{
    Tcamera cam;
    StartUp(cam);
    EXPECT_FALSE(ViewChanged); // the setters leave the flag to their callers
    Matrix4 m;
    m.fill(9);
    CameraGetViewMatrix(cam, m);
    EXPECT_EQ(m, Identity());

    CameraSetPosition(cam, 1, 2, 3);
    CameraUpdate(cam);
    CameraGetViewMatrix(cam, m);
    Matrix4 expected = Identity();
    expected[12] = -1;
    expected[13] = -2;
    expected[14] = -3;
    EXPECT_EQ(m, expected);
}

TEST_F(CameraTest, SetTargetRoundsToFloat)
{
    Tcamera cam;
    CameraSetTarget(cam, 0.1, -1e40, 3);
    EXPECT_EQ(cam.Target.x, 0.1f);
    EXPECT_TRUE(std::isinf(cam.Target.y));
    EXPECT_EQ(cam.Target.z, 3.0f);
}

TEST_F(CameraTest, RotationWrapsOnce)
{
    const struct {
        float in, out;
    } table[] = {{-10, 350}, {0, 0}, {360, 0}, {370, 10}, {720, 360}, {-400, -40}, {45, 45}};
    for (const auto& row : table) {
        Tcamera cam;
        ViewChanged = false;
        CameraSetRotation(cam, row.in, 1, 0, 1);
        EXPECT_EQ(cam.Rotation.x, row.out) << row.in;
        EXPECT_EQ(cam.Rotation.y, 0.0f) << row.in;
        EXPECT_EQ(cam.Rotation.z, row.out) << row.in;
        EXPECT_TRUE(ViewChanged);
    }
}

TEST_F(CameraTest, RotationAboutYChangesNoView)
{
    Tcamera cam;
    StartUp(cam);
    CameraSetRotation(cam, 30, 1, 0, 0);
    Matrix4 before, after;
    CameraGetViewMatrix(cam, before);
    ViewChanged = false;
    CameraSetRotation(cam, 45, 0, 1, -1);
    EXPECT_TRUE(ViewChanged);
    EXPECT_EQ(cam.Rotation.x, 30.0f);
    EXPECT_EQ(cam.Rotation.y, 45.0f);
    EXPECT_EQ(cam.Rotation.z, 0.0f);
    CameraGetViewMatrix(cam, after);
    EXPECT_EQ(after, before);

    cam.Mode = 1;
    cam.Position = {3, 4, 5};
    CameraGetViewMatrix(cam, before);
    CameraSetRotation(cam, 80, 0, 1, 0);
    CameraGetViewMatrix(cam, after);
    EXPECT_EQ(after, before);
}

TEST_F(CameraTest, AngleViewRotatesAfterMovingTheEye)
{
    Tcamera cam;
    CameraSetPosition(cam, 1, 0, 0);
    CameraSetRotation(cam, 90, 0, 0, 1);
    Matrix4 m;
    CameraGetViewMatrix(cam, m);
    // A quarter turn about Z takes x to -y and y to x (cos 90 degrees in Single is c, not 0). The eye is moved to
    // the origin first: the world origin, one unit behind it on x, lands at (-c, 1, 0).
    const double c = -4.3711388286737929e-08;
    const Matrix4 expected = {c, -1, 0, 0, 1, c, 0, 0, 0, 0, 1, 0, -c, 1, 0, 1};
    EXPECT_EQ(m, expected);
    // Mode 2 uses the same matrix.
    cam.Mode = 2;
    CameraGetViewMatrix(cam, m);
    EXPECT_EQ(m, expected);
}

TEST_F(CameraTest, OrbitPlacesTheEyeAndLooksAtTheTarget)
{
    Tcamera cam;
    CameraSetHeight(cam, 10);
    CameraSetDistance(cam, 2);
    CameraSetOrbit(cam, 1);
    CameraUpdate(cam);
    EXPECT_EQ(cam.Position.x, 2.0f);
    EXPECT_EQ(cam.Position.y, 0.0f);
    EXPECT_EQ(static_cast<double>(cam.Position.z), 9.399999618530273);
    EXPECT_FALSE(ViewChanged);

    Matrix4 view, lookAt;
    CameraGetViewMatrix(cam, view);
    CameraLookAtMatrix(cam, lookAt);
    EXPECT_EQ(view, lookAt);
    // The target lands on the negative z axis of the eye, in front of it.
    const double tz = view[14];
    const double dist = std::sqrt(2.0 * 2.0 + 9.399999618530273 * 9.399999618530273);
    EXPECT_NEAR(tz, -dist, 1e-6);
    EXPECT_NEAR(view[12], 0.0, 1e-12);
    EXPECT_NEAR(view[13], 0.0, 1e-12);

    // Orbit other than 1 is not placed but still gives the look-at view; mode 2 is not placed.
    Tcamera other;
    other.Orbit = 2;
    other.Distance = 5;
    CameraUpdate(other);
    EXPECT_EQ(other.Position.x, 0.0f);
    other.Position = {1, 1, 1};
    CameraGetViewMatrix(other, view);
    CameraLookAtMatrix(other, lookAt);
    EXPECT_EQ(view, lookAt);
    Tcamera playing;
    playing.Orbit = 1;
    playing.Mode = 2;
    playing.Distance = 5;
    CameraUpdate(playing);
    EXPECT_EQ(playing.Position.x, 0.0f);
}

TEST_F(CameraTest, LookAtMatchesGluLookAt)
{
    Tcamera cam;
    cam.Mode = 1;
    cam.Position = {3, -4, 2};
    cam.Target = {1, 1, 1};
    Matrix4 m;
    CameraGetViewMatrix(cam, m);
    // gluLookAt: forward f = normalize(target - eye); s = f x up; u = s x f; rows s, u, -f.
    const double fx0 = 1 - 3, fy0 = 1 + 4, fz0 = 1 - 2;
    const double fl = std::sqrt(fx0 * fx0 + fy0 * fy0 + fz0 * fz0);
    const double f[3] = {fx0 / fl, fy0 / fl, fz0 / fl};
    double s[3] = {f[1] * 1 - f[2] * 0, f[2] * 0 - f[0] * 1, 0};
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1]);
    s[0] /= sl;
    s[1] /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(m[4 * c + 0], s[c], 1e-12);
        EXPECT_NEAR(m[4 * c + 1], u[c], 1e-12);
        EXPECT_NEAR(m[4 * c + 2], -f[c], 1e-12);
    }
    const double eye[3] = {3, -4, 2};
    EXPECT_NEAR(m[12], -(s[0] * eye[0] + s[1] * eye[1] + s[2] * eye[2]), 1e-12);
    EXPECT_NEAR(m[14], f[0] * eye[0] + f[1] * eye[1] + f[2] * eye[2], 1e-12);
    EXPECT_EQ(m[3], 0.0);
    EXPECT_EQ(m[15], 1.0);
}

TEST_F(CameraTest, LookAtDegenerateCases)
{
    Tcamera cam;
    cam.Mode = 1;
    cam.Position = {2, 3, 4};
    cam.Target = {2, 3, 4};
    Matrix4 m;
    CameraGetViewMatrix(cam, m);
    Matrix4 expected{};
    expected[15] = 1;
    EXPECT_EQ(m, expected);

    for (float z : {10.0f, -10.0f}) {
        cam.Position = {0, 0, z};
        cam.Target = {0, 0, 0};
        CameraGetViewMatrix(cam, m);
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(m[4 * c + 0], 0.0);
            EXPECT_EQ(m[4 * c + 1], 0.0);
        }
        EXPECT_EQ(m[2], 0.0);
        EXPECT_EQ(m[6], 0.0);
        EXPECT_EQ(m[10], z > 0 ? 1.0 : -1.0);
        EXPECT_EQ(m[14], -10.0);
        EXPECT_EQ(m[15], 1.0);
    }
}

TEST_F(CameraTest, BezierEndsOnTheLastKeyAndClampsAboveOne)
{
    const CameraKey k0 = Key(0, 0, 0, 0, 0, 0), k1 = Key(1, 2, 3, 4, 5, 6), k2 = Key(-1, 7, 0.3f, 9, 9, 9),
                    k3 = Key(0.1f, 0.2f, 0.7f, 10, 20, 30);
    CameraKey out;
    CameraBezier(k0, k1, k2, k3, 1.0f, out);
    EXPECT_EQ(out, k3);
    CameraBezier(k0, k1, k2, k3, 1.5f, out);
    EXPECT_EQ(out, k3);
    CameraBezier(k0, k1, k2, k3, 0.0f, out);
    EXPECT_EQ(out, k0);
    CameraBezier(k0, k1, k2, k3, 0.5f, out);
    EXPECT_EQ(out[0], static_cast<float>(0.125 * 0 + 0.375 * 1 + 0.375 * -1 + 0.125 * 0.1f));
    EXPECT_EQ(out[3], static_cast<float>(0.375 * 4 + 0.375 * 9 + 0.125 * 10));
    // No lower clamp: a negative parameter extrapolates.
    CameraBezier(k0, k1, k2, k3, -1.0f, out);
    EXPECT_EQ(out[0], static_cast<float>(3 * -1.0 * 4 * 1 + 3 * 1.0 * 2 * -1 + -1.0 * 0.1f));
    // Out may be one of the keys.
    CameraKey inOut = k1;
    CameraBezier(k0, inOut, k2, k3, 1.0f, inOut);
    EXPECT_EQ(inOut, k3);
}

class CameraPathTest : public CameraTest {
protected:
    // Two segments of 500 and 700 ms; the second ends where the first starts when closed.
    std::vector<CameraPathSegment> TwoSegments(bool closed)
    {
        std::vector<CameraPathSegment> path(2);
        path[0].Keys = {Key(0, 0, 0), Key(1, 0, 0, 10), Key(2, 1, 0, 20), Key(3, 1, 1, 30, 0, 5)};
        path[0].Duration = 500;
        path[1].Keys = {Key(3, 1, 1, 30, 0, 5), Key(4, 2, 1), Key(5, 2, 2),
                        closed ? Key(0, 0, 0) : Key(6, 3, 3, 1, 2, 3)};
        path[1].Duration = 700;
        return path;
    }

    void Step(Tcamera& cam, int n)
    {
        for (int i = 0; i < n; ++i) {
            tick += 1000; // always due
            CameraUpdate(cam);
        }
    }
};

TEST_F(CameraPathTest, StartPathSetsUpPlayback)
{
    Tcamera cam;
    tick = 42;
    CameraStartPath(cam, TwoSegments(false));
    EXPECT_TRUE(cam.Playing);
    EXPECT_EQ(cam.Mode, 2);
    EXPECT_EQ(cam.Segment, 0);
    EXPECT_EQ(cam.PathT, 0.0f);
    EXPECT_EQ(cam.StepInterval, 5);
    EXPECT_EQ(cam.LastTick, 42u);
    EXPECT_EQ(cam.Path[0].StartTick, 42u);

    Tcamera empty;
    CameraStartPath(empty, {});
    EXPECT_FALSE(empty.Playing);
}

TEST_F(CameraPathTest, SegmentsAdvanceAndAnOpenPathStops)
{
    Tcamera cam;
    const auto path = TwoSegments(false);
    CameraStartPath(cam, path);
    Step(cam, 100);
    EXPECT_EQ(static_cast<double>(cam.PathT), 0.9999993443489075);
    EXPECT_EQ(cam.Segment, 0);
    EXPECT_NE(cam.Position.x, 3.0f);
    EXPECT_NEAR(cam.Position.x, 3.0f, 1e-4);

    Step(cam, 1);
    EXPECT_EQ(cam.Position.x, 3.0f);
    EXPECT_EQ(cam.Position.y, 1.0f);
    EXPECT_EQ(cam.Position.z, 1.0f);
    EXPECT_EQ(cam.Rotation.x, 30.0f);
    EXPECT_EQ(cam.Rotation.z, 5.0f);
    EXPECT_EQ(cam.Segment, 1);
    EXPECT_EQ(cam.PathT, 0.0f);
    EXPECT_EQ(cam.StepInterval, 7);
    EXPECT_EQ(cam.Path[1].StartTick, tick);
    EXPECT_TRUE(cam.Playing);

    Step(cam, 1); // the first point of a new segment is at 0.01
    EXPECT_EQ(cam.PathT, 0.01f);

    Step(cam, 100);
    EXPECT_FALSE(cam.Playing);
    EXPECT_EQ(cam.Segment, 1);
    EXPECT_EQ(static_cast<double>(cam.PathT), 1.009999394416809);
    EXPECT_EQ(cam.Position.x, 6.0f);
    EXPECT_EQ(cam.Rotation.z, 3.0f);

    // Stopped: nothing moves and the flag stays as it was.
    ViewChanged = false;
    Step(cam, 5);
    EXPECT_EQ(cam.Position.x, 6.0f);
    EXPECT_FALSE(ViewChanged);
}

TEST_F(CameraPathTest, AClosedPathLoops)
{
    Tcamera cam;
    CameraStartPath(cam, TwoSegments(true));
    Step(cam, 101 + 101);
    EXPECT_TRUE(cam.Playing);
    EXPECT_EQ(cam.Segment, 0);
    EXPECT_EQ(cam.PathT, 0.0f);
    EXPECT_EQ(cam.StepInterval, 5);
    EXPECT_EQ(cam.Position.x, 0.0f);
    EXPECT_EQ(cam.Path[0].StartTick, tick);
    Step(cam, 101);
    EXPECT_EQ(cam.Segment, 1);
}

TEST_F(CameraPathTest, StepsOnlyWhenTheIntervalHasPassed)
{
    Tcamera cam;
    CameraStartPath(cam, TwoSegments(false));
    cam.StepInterval = 50;
    tick += 20;
    ViewChanged = false;
    CameraUpdate(cam);
    EXPECT_TRUE(ViewChanged);
    EXPECT_EQ(cam.PathT, 0.0f);

    tick += 30; // 50 ms after the last step
    CameraUpdate(cam);
    EXPECT_EQ(cam.PathT, 0.01f);
    EXPECT_EQ(cam.LastTick, tick);

    // The tick count wraps around 2^32.
    cam.LastTick = 0xFFFFFFF0u;
    tick = 0x10; // 32 ms later
    CameraUpdate(cam);
    EXPECT_EQ(cam.PathT, 0.01f);
    tick = 0x22; // 50 ms later
    CameraUpdate(cam);
    EXPECT_EQ(cam.PathT, 0.02f);

    // A negative interval steps at every call.
    cam.StepInterval = -1;
    CameraUpdate(cam);
    CameraUpdate(cam);
    EXPECT_EQ(cam.PathT, static_cast<float>(static_cast<float>(0.02f + 0.01) + 0.01));
}

TEST_F(CameraPathTest, NoPlaybackWithoutPathOrOutsideModeTwo)
{
    Tcamera cam;
    cam.Mode = 2;
    cam.Playing = true;
    ViewChanged = false;
    CameraUpdate(cam);
    EXPECT_FALSE(ViewChanged);

    CameraStartPath(cam, TwoSegments(false));
    cam.Mode = 0;
    Step(cam, 3);
    EXPECT_EQ(cam.PathT, 0.0f);
    EXPECT_FALSE(ViewChanged);
}

TEST_F(CameraPathTest, ASegmentIndexOutsideThePathStopsPlayback)
{
    Tcamera cam;
    CameraStartPath(cam, TwoSegments(false));
    cam.Segment = 7;
    Step(cam, 1);
    EXPECT_FALSE(cam.Playing);
    cam.Playing = true;
    cam.Segment = -1;
    Step(cam, 1);
    EXPECT_FALSE(cam.Playing);
}

} // namespace
