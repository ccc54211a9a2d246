// The camera: angle view, look-at view and playback along a chain of cubic Bezier segments.
#pragma once

#include "display/matrices.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// Position x, y, z then rotation x, y, z (degrees).
using CameraKey = std::array<float, 6>;

struct CameraPathSegment {
    std::array<CameraKey, 4> Keys{}; // Bezier control points 0..3
    int32_t Duration = 0;            // milliseconds; the step interval is Duration / 100
    uint32_t StartTick = 0;          // tick count when the segment became current
};

struct Tcamera {
    uint8_t Mode = 0;  // 0 angle view, 1 look-at view, 2 path playback
    uint8_t Orbit = 0; // 1: the eye is placed on the orbit; non-zero: look-at view
    Vector3 Position;
    Vector3 Target;
    Vector3 Rotation; // degrees about X, Y, Z
    std::vector<CameraPathSegment> Path;
    int32_t Segment = 0;
    uint32_t LastTick = 0;
    float PathT = 0;
    bool Playing = false;
    int32_t StepInterval = 0;
    double Height = 0;
    double Distance = 0;
    double OrbitAngle = 0; // radians
};

// Millisecond tick count used by path playback (32 bits, may wrap). Replaceable for tests;
// an empty function restores the steady clock.
uint32_t CameraTickCount();
void CameraSetTickSource(std::function<uint32_t()> source);

void CameraSetMode(Tcamera& Cam, uint8_t Value);
void CameraSetOrbit(Tcamera& Cam, uint8_t Value);
void CameraSetPosition(Tcamera& Cam, float X, float Y, float Z);
void CameraSetTarget(Tcamera& Cam, double X, double Y, double Z);
void CameraSetHeight(Tcamera& Cam, double Value);
void CameraSetDistance(Tcamera& Cam, double Value);
// Wraps Angle once into range and stores it into every axis whose selector is positive; sets ViewChanged.
void CameraSetRotation(Tcamera& Cam, float Angle, float X, float Y, float Z);
// Orbit placement, then one playback step when due.
void CameraUpdate(Tcamera& Cam);
void CameraGetViewMatrix(const Tcamera& Cam, Matrix4& M);
void CameraAngleMatrix(const Tcamera& Cam, Matrix4& M);
void CameraLookAtMatrix(const Tcamera& Cam, Matrix4& M);
void CameraBezier(const CameraKey& K0, const CameraKey& K1, const CameraKey& K2, const CameraKey& K3, float T,
                  CameraKey& Out);

// Starts playing Path from the beginning of its first segment (nothing happens for an empty path).
void CameraStartPath(Tcamera& Cam, std::vector<CameraPathSegment> Path);
