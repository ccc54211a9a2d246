// Small numeric helpers of the 3D display.
#pragma once

// Degrees to radians, rounded to float.
float DegToRad(float X);
