// Immediate-mode drawing of the world data and the projection / view set-up of the display.
// Every call needs the display's OpenGL context to be current.
#pragma once

class TWorldData;
struct Tcamera;

// Projection from the current viewport (45 degrees, near 1, far 10000), then an identity model-view matrix.
void InitProjection();
// Viewport and projection for a view of Width x Height pixels (a height of 0 counts as 1); also rebuilds
// ProjectionMatrix.
void ResizeView(int Width, int Height);
// Clears ViewChanged and takes the camera's view matrix into ViewMatrix.
void UpdateViewMatrix(const Tcamera& Cam);
// ProjectionMatrix into the projection matrix, ViewMatrix into the model-view matrix (left current).
void LoadViewMatrices();
// One frame into the current draw buffer: clear, view, scene rotations, centre, world. Cam may be null
// (no camera set up yet): the last view matrix is kept.
void RenderScene(const TWorldData& World, const Tcamera* Cam, bool Triangles, bool Normals);
// Textured white triangles (or 10-pixel points) and, optionally, green normal lines of every vertex.
void WorldDataDraw(const TWorldData& World, bool Triangles, bool Normals);
