// View state shared by the display controls, the camera and the renderer.
#pragma once

#include "display/matrices.h"

extern double CameraX, CameraY, CameraZ;       // camera position, handed to the camera as floats
extern double RotationX, RotationY, RotationZ; // scene rotation in degrees, not wrapped
extern bool ViewChanged;                       // ViewMatrix must be rebuilt before the next frame
extern Matrix4 ViewMatrix;
extern Matrix4 ProjectionMatrix;

// Back to the start values (all zero, ViewChanged false).
void ResetViewGlobals();
