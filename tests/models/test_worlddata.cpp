#include <gtest/gtest.h>

#include <cmath>

#include "models/ModelTestUtil.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/GLTextures.h"

namespace {

struct RecordingTextures : GLTextures {
    uint32_t TextureFromStream(TMemoryStream&, bool, bool) override { return 0; }
    void DeleteTexture(uint32_t name) override { deleted.push_back(name); }
    std::vector<uint32_t> deleted;
};

void ExpectVec(const Vector3& v, float x, float y, float z, float tol = 0)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

texturepack Pack(uint32_t key, std::vector<uint32_t> keys, std::vector<uint32_t> ids = {})
{
    texturepack p;
    p.Key = key;
    p.Count = static_cast<int32_t>(keys.size());
    p.Keys = keys;
    p.TexIds = ids.empty() ? std::vector<uint32_t>(keys.size(), 0) : ids;
    return p;
}

class WorldDataTest : public ::testing::Test {
protected:
    MemoryFrontend ui;
    RecordingTextures gl;
    TWorldData w{ui, &gl};
};

TEST_F(WorldDataTest, BoundsOfEmptyWorldAreTheStartValues)
{
    w.UpdateBounds();
    ExpectVec(w.MinCorner, 9999999, 9999999, 9999999);
    ExpectVec(w.MaxCorner, -9999999, -9999999, -9999999);
    ExpectVec(w.Center, 0, 0, 0);
}

TEST_F(WorldDataTest, BoundsUseWholeVerticesNotPerAxisExtremes)
{
    AddModel(w, {4, -5, 6}, {}, "one");
    w.UpdateBounds();
    ExpectVec(w.MinCorner, 4, -5, 6);
    ExpectVec(w.MaxCorner, 4, -5, 6);
    ExpectVec(w.Center, 4, -5, 6);

    // Flat model: only the first vertex passes the strict test for both corners.
    w.Clear();
    AddModel(w, {1, 1, 0, 5, 7, 0, -3, -2, 0}, {0, 1, 2}, "flat");
    w.UpdateBounds();
    ExpectVec(w.MinCorner, 1, 1, 0);
    ExpectVec(w.MaxCorner, 1, 1, 0);
    ExpectVec(w.Center, 1, 1, 0);

    w.Clear();
    AddModel(w, {0, 0, 0, 1, -1, 1}, {}, "pair");
    w.UpdateBounds();
    ExpectVec(w.MinCorner, 0, 0, 0);
    ExpectVec(w.MaxCorner, 0, 0, 0);

    // A later vertex below in all three axes moves the lower corner; the centre is the middle.
    w.Clear();
    AddModel(w, {0, 0, 0, -2, -4, -6, 2, 4, 6}, {}, "box");
    w.UpdateBounds();
    ExpectVec(w.MinCorner, -2, -4, -6);
    ExpectVec(w.MaxCorner, 2, 4, 6);
    ExpectVec(w.Center, 0, 0, 0);
}

TEST_F(WorldDataTest, BoundsGoByTheCountNotTheArrayLength)
{
    AddModel(w, {1, 1, 1, 50, 50, 50}, {}, "m");
    w.VertexCount = 1; // as after a rolled-back load
    w.UpdateBounds();
    ExpectVec(w.MaxCorner, 1, 1, 1);
}

TEST_F(WorldDataTest, FaceNormalPointsTowardsCounterClockwiseViewer)
{
    ExpectVec(FaceNormal(Vector3Make(0, 0, 0), Vector3Make(1, 0, 0), Vector3Make(0, 1, 0)), 0, 0, 1);
    ExpectVec(FaceNormal(Vector3Make(0, 0, 0), Vector3Make(0, 1, 0), Vector3Make(1, 0, 0)), 0, 0, -1);
    // Degenerate: all zero, no NaN.
    const Vector3 d = FaceNormal(Vector3Make(1, 1, 1), Vector3Make(2, 2, 2), Vector3Make(3, 3, 3));
    ExpectVec(d, 0, 0, 0);
    const Vector3 z = Vector3Normalize(Vector3Make(0, 0, 0));
    ExpectVec(z, 0, 0, 0);
}

TEST_F(WorldDataTest, SharedVertexNormalAveragesUnitFaceNormals)
{
    // Vertex 0 is shared by a large face facing +z and a small face facing +x.
    AddModel(w, {0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0.1f, 0, 0, 0, 0.1f}, {0, 1, 2, 0, 3, 4}, "m");
    w.ComputeNormals();
    ExpectVec(w.Normals[0], 0.7071068f, 0, 0.7071068f, 1e-6f);
    ExpectVec(w.Normals[1], 0, 0, 1, 1e-6f);
    ExpectVec(w.Normals[3], 1, 0, 0, 1e-6f);
}

TEST_F(WorldDataTest, UnusedVertexKeepsZeroNormalAndOldNormalsAreReset)
{
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0, 7, 7, 7}, {0, 1, 2}, "m");
    w.Normals[3] = Vector3Make(5, 5, 5);
    w.ComputeNormals();
    ExpectVec(w.Normals[3], 0, 0, 0);
    ExpectVec(w.Normals[0], 0, 0, 1);
}

TEST_F(WorldDataTest, FindTexturePack)
{
    EXPECT_EQ(w.FindTexturePack(20), 0);
    w.Packs = {Pack(10, {1}), Pack(20, {2}), Pack(20, {3})};
    w.PackCount = 3;
    EXPECT_EQ(w.FindTexturePack(20), 1);
    EXPECT_EQ(w.FindTexturePack(30), 0);
    EXPECT_EQ(w.FindTexturePack(10), 0);
    // Packs beyond the count are not searched.
    w.PackCount = 1;
    EXPECT_EQ(w.FindTexturePack(20), 0);
}

TEST_F(WorldDataTest, ClearKeepsPacksAndEmptiesGeometry)
{
    w.Packs = {Pack(10, {1, 2})};
    w.PackCount = 1;
    w.CurrentPack = 0;
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "m");
    w.UVs = {Vector2{1, 2}};
    w.UVCount = 1;
    w.BlockKey = 77;
    w.UpdateBounds();
    w.Center = Vector3Make(3, 3, 3);
    w.Loaded = true;
    w.Clear();
    EXPECT_EQ(w.PackCount, 1);
    EXPECT_EQ(w.Packs.size(), 1u);
    EXPECT_EQ(w.BlockKey, 77u);
    EXPECT_FALSE(w.Loaded);
    EXPECT_EQ(w.VertexCount + w.UVCount + w.ModelCount, 0u);
    EXPECT_TRUE(w.Vertices.empty() && w.Models.empty() && w.UVs.empty() && w.Normals.empty());
    ExpectVec(w.Center, 0, 0, 0);
    ExpectVec(w.MinCorner, 0, 0, 0); // corners are kept as they were
}

TEST_F(WorldDataTest, ResolveUVsFillsOnlyModelsWithUVsAndStaysInsideTheTable)
{
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "uv");
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "plain");
    w.Models[0].HasUV = true;
    w.Models[0].Triangles[0].UVIndex[0] = 1;
    w.Models[0].Triangles[0].UVIndex[1] = 0;
    w.Models[0].Triangles[0].UVIndex[2] = 5; // beyond the table
    w.Models[1].Triangles[0].TexCoord[0] = Vector2{9, 9};

    w.ResolveUVs(); // no UV pairs: nothing changes
    EXPECT_EQ(w.Models[0].Triangles[0].TexCoord[0].u, 0);

    w.UVs = {Vector2{0.25f, 0.5f}, Vector2{0.75f, 1}, Vector2{3, 3}};
    w.UVCount = 2; // the third pair lies beyond the count
    w.ResolveUVs();
    const triangle& t = w.Models[0].Triangles[0];
    EXPECT_EQ(t.TexCoord[0].u, 0.75f);
    EXPECT_EQ(t.TexCoord[1].v, 0.5f);
    EXPECT_EQ(t.TexCoord[2].u, 0);
    EXPECT_EQ(t.TexCoord[2].v, 0);
    EXPECT_EQ(w.Models[1].Triangles[0].TexCoord[0].u, 9);
}

TEST_F(WorldDataTest, FreeTexturesDeletesEverySlotAndKeepsThePacks)
{
    w.Packs = {Pack(1, {5, 6}, {11, 12}), Pack(2, {7, 7}, {13, 13}), Pack(3, {8}, {99})};
    w.PackCount = 2;
    w.FreeTextures();
    EXPECT_EQ(gl.deleted, (std::vector<uint32_t>{11, 12, 13, 13}));
    EXPECT_EQ(w.Packs[0].TexIds[0], 11u);
    EXPECT_EQ(w.PackCount, 2);

    // A count larger than the arrays does not read past them.
    gl.deleted.clear();
    w.Packs[0].Count = 50;
    w.FreeTextures();
    EXPECT_EQ(gl.deleted.size(), 4u);

    gl.deleted.clear();
    w.FreeWithTextures();
    EXPECT_EQ(gl.deleted.size(), 4u);
    EXPECT_EQ(w.PackCount, 0);
}

TEST_F(WorldDataTest, TextureFileNameOfAModel)
{
    w.Packs = {Pack(1, {0x0A1B2C3D, 0x11})};
    w.PackCount = 1;
    model m;
    m.Pack = 0;
    m.TexSlot = 0;
    EXPECT_EQ(w.TextureFileName(m, "D:\\maps\\level1.bin"), "level1_0A1B2C3D.TGA");
    EXPECT_EQ(w.TextureFileName(m, "/x/y/level1.binexpanded"), "level1_0A1B2C3D.TGA");
    EXPECT_EQ(w.TextureFileName(m, "/x/noext"), "noext_0A1B2C3D.TGA");
    m.TexSlot = 2;
    EXPECT_EQ(w.TextureFileName(m, "a.bin"), "");
    m.TexSlot = 0;
    m.Pack = 1;
    EXPECT_EQ(w.TextureFileName(m, "a.bin"), "");
}

TEST(NamedOutputPath, DataNamesStayInTheCurrentDirectory)
{
    const auto cwd = std::filesystem::current_path();
    EXPECT_EQ(std::filesystem::path(NamedOutputPath("..\\..\\evil.obj", "/data/level.bin")),
              cwd / "__" / "__" / "evil.obj");
    EXPECT_EQ(std::filesystem::path(NamedOutputPath("/etc/evil.obj", "/data/level.bin")), cwd / "etc" / "evil.obj");
    EXPECT_EQ(std::filesystem::path(NamedOutputPath("crate.obj", "/data/level.bin")), cwd / "crate.obj");
    // A name made from the bin file's path stays next to the bin file.
    EXPECT_EQ(NamedOutputPath("/data/level.bin_0001.obj", "/data/level.bin"), "/data/level.bin_0001.obj");
    EXPECT_EQ(std::filesystem::path(NamedOutputPath("/data/../x.obj", "/data/level.bin")),
              std::filesystem::path("/data/") / "__" / "x.obj");
}

} // namespace
