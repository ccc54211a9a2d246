#include "display/ViewGlobals.h"

double CameraX = 0, CameraY = 0, CameraZ = 0;
double RotationX = 0, RotationY = 0, RotationZ = 0;
bool ViewChanged = false;
Matrix4 ViewMatrix{};
Matrix4 ProjectionMatrix{};

void ResetViewGlobals()
{
    CameraX = CameraY = CameraZ = 0;
    RotationX = RotationY = RotationZ = 0;
    ViewChanged = false;
    ViewMatrix.fill(0.0);
    ProjectionMatrix.fill(0.0);
}
