#include "display/camera.h"

#include "display/ViewGlobals.h"

#include <chrono>
#include <cmath>
#include <cstring>

namespace {

std::function<uint32_t()>& TickSource()
{
    static std::function<uint32_t()> source;
    return source;
}

bool SameBytes(const CameraKey& a, const CameraKey& b)
{
    return std::memcmp(a.data(), b.data(), sizeof(float) * a.size()) == 0;
}

void EnterSegment(Tcamera& Cam, int32_t index)
{
    Cam.PathT = 0;
    Cam.Segment = index;
    CameraPathSegment& seg = Cam.Path[static_cast<size_t>(index)];
    seg.StartTick = CameraTickCount();
    Cam.StepInterval = seg.Duration / 100;
}

} // namespace

uint32_t CameraTickCount()
{
    if (TickSource())
        return TickSource()();
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CameraSetTickSource(std::function<uint32_t()> source)
{
    TickSource() = std::move(source);
}

void CameraSetMode(Tcamera& Cam, uint8_t Value)
{
    Cam.Mode = Value;
}

void CameraSetOrbit(Tcamera& Cam, uint8_t Value)
{
    Cam.Orbit = Value;
}

void CameraSetPosition(Tcamera& Cam, float X, float Y, float Z)
{
    Vector3Set(Cam.Position, X, Y, Z);
}

void CameraSetTarget(Tcamera& Cam, double X, double Y, double Z)
{
    Vector3Set(Cam.Target, static_cast<float>(X), static_cast<float>(Y), static_cast<float>(Z));
}

void CameraSetHeight(Tcamera& Cam, double Value)
{
    Cam.Height = Value;
}

void CameraSetDistance(Tcamera& Cam, double Value)
{
    Cam.Distance = Value;
}

void CameraSetRotation(Tcamera& Cam, float Angle, float X, float Y, float Z)
{
    if (!(Angle > 0))
        Angle += 360;
    if (Angle >= 360)
        Angle -= 360;
    if (X > 0)
        Cam.Rotation.x = Angle;
    if (Y > 0)
        Cam.Rotation.y = Angle;
    if (Z > 0)
        Cam.Rotation.z = Angle;
    ViewChanged = true;
}

void CameraUpdate(Tcamera& Cam)
{
    if (Cam.Orbit == 1 && (Cam.Mode == 0 || Cam.Mode == 1)) {
        Cam.Position.x = static_cast<float>(std::cos(Cam.OrbitAngle) * Cam.Distance + Cam.Target.x);
        Cam.Position.y = static_cast<float>(std::sin(Cam.OrbitAngle) * Cam.Distance + Cam.Target.y);
        Cam.Position.z = static_cast<float>(Cam.Target.z + Cam.Height - 0.6);
    }
    if (Cam.Mode != 2 || !Cam.Playing || Cam.Path.empty())
        return;

    const uint32_t now = CameraTickCount();
    const bool due = Cam.StepInterval < 0 || now - Cam.LastTick >= static_cast<uint32_t>(Cam.StepInterval);
    // A segment index left out of range by hand stops playback instead of reading outside the path.
    if (due && (Cam.Segment < 0 || static_cast<size_t>(Cam.Segment) >= Cam.Path.size())) {
        Cam.Playing = false;
    } else if (due) {
        const CameraPathSegment& seg = Cam.Path[static_cast<size_t>(Cam.Segment)];
        const CameraKey end = seg.Keys[3];
        Cam.PathT = static_cast<float>(Cam.PathT + 0.01);
        CameraKey p;
        CameraBezier(seg.Keys[0], seg.Keys[1], seg.Keys[2], seg.Keys[3], Cam.PathT, p);
        if (SameBytes(p, end)) {
            if (static_cast<size_t>(Cam.Segment) + 1 < Cam.Path.size())
                EnterSegment(Cam, Cam.Segment + 1);
            else if (SameBytes(Cam.Path[0].Keys[0], end))
                EnterSegment(Cam, 0);
            else
                Cam.Playing = false;
        }
        Vector3Set(Cam.Position, p[0], p[1], p[2]);
        Vector3Set(Cam.Rotation, p[3], p[4], p[5]);
        Cam.LastTick = now;
    }
    ViewChanged = true;
}

void CameraGetViewMatrix(const Tcamera& Cam, Matrix4& M)
{
    if (Cam.Orbit != 0)
        CameraLookAtMatrix(Cam, M);
    else if (Cam.Mode == 0 || Cam.Mode == 2)
        CameraAngleMatrix(Cam, M);
    else
        CameraLookAtMatrix(Cam, M);
}

void CameraAngleMatrix(const Tcamera& Cam, Matrix4& M)
{
    Matrix4 r, t;
    MatrixRotate(r, Cam.Rotation.x, 0, Cam.Rotation.z);
    MatrixTranslate(t, Cam.Position.x, Cam.Position.y, Cam.Position.z);
    MatrixMultiply(M, r, t);
}

void CameraLookAtMatrix(const Tcamera& Cam, Matrix4& M)
{
    const double px = Cam.Position.x, py = Cam.Position.y, pz = Cam.Position.z;
    double fx = px - Cam.Target.x, fy = py - Cam.Target.y, fz = pz - Cam.Target.z;
    double len = std::sqrt(fx * fx + fy * fy + fz * fz);
    if (len > 0) {
        fx /= len;
        fy /= len;
        fz /= len;
    }
    const double upx = 0, upy = 0, upz = 1;
    double sx = upy * fz - upz * fy, sy = upz * fx - upx * fz, sz = upx * fy - upy * fx;
    double ux = fy * sz - fz * sy, uy = fz * sx - fx * sz, uz = fx * sy - fy * sx;
    len = std::sqrt(sx * sx + sy * sy + sz * sz);
    if (len > 0) {
        sx /= len;
        sy /= len;
        sz /= len;
    }
    len = std::sqrt(ux * ux + uy * uy + uz * uz);
    if (len > 0) {
        ux /= len;
        uy /= len;
        uz /= len;
    }
    M[0] = sx;
    M[4] = sy;
    M[8] = sz;
    M[1] = ux;
    M[5] = uy;
    M[9] = uz;
    M[2] = fx;
    M[6] = fy;
    M[10] = fz;
    M[3] = M[7] = M[11] = 0;
    M[12] = -sx * px - sy * py - sz * pz;
    M[13] = -ux * px - uy * py - uz * pz;
    M[14] = -fx * px - fy * py - fz * pz;
    M[15] = 1;
}

void CameraBezier(const CameraKey& K0, const CameraKey& K1, const CameraKey& K2, const CameraKey& K3, float T,
                  CameraKey& Out)
{
    if (T > 1)
        T = 1;
    const double t = T;
    const double u = static_cast<float>(1.0 - t);
    const double u3 = static_cast<float>(u * u * u);
    const double t3 = static_cast<float>(t * t * t);
    const double w1 = 3.0 * t * u * u;
    const double w2 = 3.0 * t * t * u;
    CameraKey r;
    for (size_t i = 0; i < r.size(); ++i)
        r[i] = static_cast<float>(u3 * K0[i] + w1 * K1[i] + w2 * K2[i] + t3 * K3[i]);
    Out = r;
}

void CameraStartPath(Tcamera& Cam, std::vector<CameraPathSegment> Path)
{
    Cam.Path = std::move(Path);
    Cam.Playing = false;
    if (Cam.Path.empty())
        return;
    EnterSegment(Cam, 0);
    Cam.LastTick = CameraTickCount();
    Cam.Mode = 2;
    Cam.Playing = true;
}
