#include "display/Renderer.h"

#include "display/ViewGlobals.h"
#include "display/camera.h"
#include "models/WorldData.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstddef>

namespace {

constexpr double kFovY = 45.0;
constexpr double kNear = 1.0;
constexpr double kFar = 10000.0;

// The texture name of a model's slot; 0 (no texture) when its pack or slot does not exist.
GLuint TextureOf(const TWorldData& World, const model& m)
{
    if (m.Pack < 0 || m.Pack >= World.PackCount || static_cast<size_t>(m.Pack) >= World.Packs.size())
        return 0;
    const texturepack& pack = World.Packs[static_cast<size_t>(m.Pack)];
    if (m.TexSlot < 0 || m.TexSlot >= pack.Count)
        return 0;
    return pack.TexIdOf(static_cast<size_t>(m.TexSlot));
}

} // namespace

void InitProjection()
{
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFovY, static_cast<double>(viewport[2]) / static_cast<double>(viewport[3]), kNear, kFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ResizeView(int Width, int Height)
{
    if (Height == 0)
        Height = 1;
    const double aspect = static_cast<double>(Width) / static_cast<double>(Height);
    glViewport(0, 0, Width, Height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFovY, aspect, kNear, kFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    MatrixPerspective(ProjectionMatrix, kFovY, aspect, kNear, kFar);
}

void UpdateViewMatrix(const Tcamera& Cam)
{
    ViewChanged = false;
    CameraGetViewMatrix(Cam, ViewMatrix);
}

void LoadViewMatrices()
{
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(ProjectionMatrix.data());
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(ViewMatrix.data());
}

void RenderScene(const TWorldData& World, const Tcamera* Cam, bool Triangles, bool Normals)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (ViewChanged && Cam)
        UpdateViewMatrix(*Cam);
    LoadViewMatrices();
    glRotated(RotationX, 1, 0, 0);
    glRotated(RotationY, 0, 1, 0);
    glRotated(RotationZ, 0, 0, 1);
    glTranslatef(-World.Center.x, -World.Center.y, -World.Center.z);
    if (World.Loaded)
        WorldDataDraw(World, Triangles, Normals);
}

void WorldDataDraw(const TWorldData& World, bool Triangles, bool Normals)
{
    // Counts are trusted only as far as the arrays reach.
    const size_t vertexCount = std::min<size_t>(World.VertexCount, World.Vertices.size());
    const size_t normalCount = std::min(vertexCount, World.Normals.size());
    const size_t modelCount = std::min<size_t>(World.ModelCount, World.Models.size());

    glEnable(GL_DEPTH_TEST);
    if (Triangles) {
        for (size_t i = 0; i < modelCount; ++i) {
            const model& m = World.Models[i];
            glColor3f(1, 1, 1);
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, TextureOf(World, m));
            const size_t triangleCount =
                std::min(static_cast<size_t>(std::max<int32_t>(m.TriangleCount, 0)), m.Triangles.size());
            glBegin(GL_TRIANGLES);
            for (size_t t = 0; t < triangleCount; ++t) {
                const triangle& tri = m.Triangles[t];
                if (tri.VertexIndex[0] >= normalCount || tri.VertexIndex[1] >= normalCount ||
                    tri.VertexIndex[2] >= normalCount)
                    continue;
                for (int k = 0; k < 3; ++k) {
                    const Vector3& n = World.Normals[tri.VertexIndex[k]];
                    const Vector3& v = World.Vertices[tri.VertexIndex[k]];
                    glTexCoord2f(tri.TexCoord[k].u, tri.TexCoord[k].v);
                    glNormal3f(n.x, n.y, n.z);
                    glVertex3f(v.x, v.y, v.z);
                }
            }
            glEnd();
            glDisable(GL_TEXTURE_2D);
        }
    } else {
        glPointSize(10);
        glBegin(GL_POINTS);
        for (size_t i = 0; i < vertexCount; ++i)
            glVertex3f(World.Vertices[i].x, World.Vertices[i].y, World.Vertices[i].z);
        glEnd();
    }
    if (Normals) {
        glLineWidth(2);
        glColor3f(0, 1, 0);
        glBegin(GL_LINES);
        for (size_t i = 0; i < normalCount; ++i) {
            const Vector3& p = World.Vertices[i];
            const Vector3& n = World.Normals[i];
            glVertex3f(p.x, p.y, p.z);
            glVertex3f(p.x + n.x, p.y + n.y, p.z + n.z);
        }
        glEnd();
    }
}
