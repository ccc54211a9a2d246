#include "models/BinFixture.h"

#include "bin/Geometry.h"

namespace {

using GeometryLoader = BinFixture;

MeshSpec TwoModels()
{
    MeshSpec s;
    s.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    s.uvs = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    ModelSpec a, b;
    FaceSpec f1;
    f1.uv[0] = 0, f1.uv[1] = 1, f1.uv[2] = 2;
    FaceSpec f2;
    f2.v[0] = 2, f2.v[1] = 1, f2.v[2] = 3;
    f2.uv[0] = 2, f2.uv[1] = 1, f2.uv[2] = 3;
    f2.extra = 0xDEADBEEF;
    a.faces = {f1};
    b.faces = {f2};
    s.models = {a, b};
    return s;
}

TEST_F(GeometryLoader, BadIndexChangesNothing)
{
    Load({{0x10, MeshData(TwoModels())}});
    bin.LoadGeometry(0, false, Identity(), false);
    ASSERT_EQ(world.ModelCount, 2u);
    bin.LoadGeometry(-1, true, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.ModelCount, 2u); // not even cleared
    bin.LoadGeometry(5, false, Identity(), true);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"No data."});
    EXPECT_EQ(world.ModelCount, 2u);
}

TEST_F(GeometryLoader, NamesModelsAndAppendsWithRaisedIndices)
{
    Load({{0x10, MeshData(TwoModels())}, {0x11, MeshData(TwoModels())}});
    bin.Blocks[0].Name = "crate.gao";
    bin.Blocks[1].Name = "crate.gao";
    bin.LoadGeometry(0, false, Identity(), false);
    bin.LoadGeometry(1, false, Identity(), false);
    EXPECT_TRUE(Memo3().empty());
    ASSERT_EQ(world.ModelCount, 4u);
    EXPECT_EQ(world.Models[0].Name, "crate0");
    EXPECT_EQ(world.Models[1].Name, "crate1");
    EXPECT_EQ(world.Models[2].Name, "crate2");
    EXPECT_EQ(world.Models[3].Name, "crate3");
    EXPECT_EQ(world.VertexCount, 8u);
    EXPECT_EQ(world.UVCount, 8u);
    const triangle& t = world.Models[3].Triangles[0];
    EXPECT_EQ(t.VertexIndex[0], 6u);
    EXPECT_EQ(t.VertexIndex[2], 7u);
    EXPECT_EQ(t.UVIndex[2], 7u);
    EXPECT_EQ(t.Extra, 0xDEADBEEFu);
    // Texture coordinates resolved, normals and bounds computed, world loaded.
    EXPECT_EQ(t.TexCoord[2].u, 1);
    EXPECT_EQ(t.TexCoord[2].v, 1);
    EXPECT_TRUE(world.Models[3].HasUV);
    EXPECT_FLOAT_EQ(world.Normals[6].z, 1);
    EXPECT_TRUE(world.Loaded);
    EXPECT_EQ(world.BlockKey, 0x11u);

    // With Reset the world holds the block alone again.
    bin.LoadGeometry(1, false, Identity(), true);
    EXPECT_EQ(world.ModelCount, 2u);
    EXPECT_EQ(world.Models[1].Name, "crate1");
    EXPECT_EQ(world.Models[1].Triangles[0].VertexIndex[0], 2u);
}

TEST_F(GeometryLoader, BaseNamesFromBlockNames)
{
    Load({{0x0001A2B3, MeshData(TwoModels())}, {0x20, MeshData(TwoModels())}, {0x21, MeshData(TwoModels())}});
    // Unnamed: the block takes the bin file's name and key; the models are numbered only.
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_EQ(bin.Blocks[0].Name, dir.file("level.bin") + "_0001A2B3");
    EXPECT_EQ(world.Models[0].Name, "0");
    // Second time the name is there: base name is the name minus its last 4 characters.
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_EQ(world.Models[1].Name, dir.file("level.bin") + "_00011");

    bin.Blocks[1].Name = std::string("a\0\0bc.gao", 9);
    bin.LoadGeometry(1, false, Identity(), true);
    EXPECT_EQ(bin.Blocks[1].Name, "abc.gao");
    EXPECT_EQ(world.Models[0].Name, "abc0");

    bin.Blocks[2].Name = "nodot";
    bin.LoadGeometry(2, false, Identity(), true);
    EXPECT_EQ(world.Models[0].Name, "0");
    bin.Blocks[2].Name = "x.gao";
    bin.LoadGeometry(2, false, Identity(), true);
    EXPECT_EQ(world.Models[0].Name, "x0");
    bin.Blocks[2].Name = ".gao";
    bin.LoadGeometry(2, false, Identity(), true);
    EXPECT_EQ(world.Models[0].Name, "0");
    // A name longer than any file name is cut for the models, never inside a character.
    std::string e2;
    for (int i = 0; i < 3000; ++i)
        e2 += "\xC3\xA9";
    bin.Blocks[2].Name = "a" + e2 + ".gao";
    bin.LoadGeometry(2, false, Identity(), true);
    EXPECT_EQ(world.Models[0].Name, "a" + e2.substr(0, kMaxNameBytes - 2) + "0");
    EXPECT_TRUE(Memo3().empty());
}

TEST_F(GeometryLoader, ExportNamesAndKeysFollowTheBlockName)
{
    ui.options[OptionId::WriteOBJ] = 1;
    Load({{0x0001A2B3, MeshData(TwoModels())}, {0x0A1B2C3D, MeshData(TwoModels())}});
    bin.LoadGeometry(0, false, Identity(), true);
    // First view of an unnamed block: empty base name, key 0.
    EXPECT_TRUE(std::filesystem::exists(dir.file(".obj")));
    EXPECT_NE(ReadText(dir.file(".mtl")).find("newmtl MA_1"), std::string::npos);
    // Second view: the base name comes from the bin file's path, so the files land next to it.
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_TRUE(std::filesystem::exists(dir.file("level.bin_0001.obj")));
    EXPECT_NE(ReadText(dir.file("level.bin_0001.mtl")).find("newmtl M0001A2B3_0"), std::string::npos);

    // A name without "." gives an empty base name but the block's key.
    bin.Blocks[1].Name = "nodot";
    bin.LoadGeometry(1, false, Identity(), true);
    EXPECT_NE(ReadText(dir.file(".mtl")).find("newmtl M0A1B2C3D_0"), std::string::npos);

    // A Game Object's name that climbs out stays in the current directory.
    bin.Blocks[1].Name = "..\\..\\evil.gao";
    std::filesystem::create_directory(dir.path() / "__");
    std::filesystem::create_directory(dir.path() / "__" / "__");
    bin.LoadGeometry(1, false, Identity(), true);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "__" / "__" / "evil.obj"));

    // A bin file kept deep in folders (a path over 1,200 bytes): the second view still lands next to it, the
    // models carry the whole base name.
    std::string deep;
    for (char c : {'a', 'b', 'c', 'd', 'e', 'f'})
        deep += std::string(200, c) + "/";
    std::filesystem::create_directories(dir.file(deep));
    Load({{0x0001A2B3, MeshData(TwoModels())}}, deep + "level.bin");
    ASSERT_GT(bin.FileName.size(), 1200u);
    bin.LoadGeometry(0, false, Identity(), true);
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.Models[1].Name, dir.file(deep + "level.bin_00011"));
    EXPECT_NE(ReadText(dir.file(deep + "level.bin_0001.obj")).find("g " + world.Models[1].Name + "\r\n"),
              std::string::npos);
}

TEST_F(GeometryLoader, BoneNamesStopAfterTheReset)
{
    Load({{0x10, MeshData(TwoModels())}, {0x11, MeshData(TwoModels())}});
    bin.LoadGeometry(0, false, Identity(), false);
    bin.Blocks[1].Name = "B_arm.gao";
    bin.LoadGeometry(1, false, Identity(), true);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Mesh/Bone?B_arm"});
    EXPECT_EQ(world.ModelCount, 0u);
    EXPECT_FALSE(world.Loaded);
}

TEST_F(GeometryLoader, HeaderChecks)
{
    MeshSpec notMesh = TwoModels();
    notMesh.type = 2;
    MeshSpec maybeActor = TwoModels();
    maybeActor.temp3 = 1009;
    Load({{0x10, MeshData(notMesh)}, {0x11, MeshData(maybeActor)}});
    bin.LoadGeometry(0, false, Identity(), false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Unknown data"});
    EXPECT_EQ(world.BlockKey, 0x10u);
    EXPECT_FALSE(world.Loaded);
    Memo3().clear();
    bin.LoadGeometry(1, false, Identity(), false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Possible Actor Mesh/Bone."});
    EXPECT_EQ(world.ModelCount, 2u);
}

TEST_F(GeometryLoader, StrideCorrectionSkipsNoColours)
{
    // Ten vertices with normals and the colour flag; the UV table lies 120 bytes after the vertices.
    MeshSpec s = StripMesh(8);
    s.hasNormals = 1;
    s.temp2 = 7, s.temp3 = 11, s.temp5 = 4;
    s.uvs = {{0.25f, 0.75f}};
    Bytes data = MeshData(s);
    SetU32(data, 24, 1); // colour flag set, no colour bytes present
    MeshSpec plain = s;
    plain.temp5 = 5; // not the corrected layout: colours expected after the normals
    plain.hasColours = 1;
    Load({{0x10, data}, {0x11, MeshData(plain)}});
    bin.Blocks[0].Name = "fix.gao";
    bin.LoadGeometry(0, false, Identity(), true);
    ASSERT_EQ(Memo3(), std::vector<std::string>{"I'm an ugly fix! Warn the author if something goes wrong! fix"});
    EXPECT_EQ(world.UVs[0].u, 0.25f);
    EXPECT_EQ(world.UVs[0].v, 0.75f);
    Memo3().clear();
    bin.LoadGeometry(1, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.UVs[0].u, 0.25f);
}

TEST_F(GeometryLoader, ColoursWithoutNormalsAreSkipped)
{
    MeshSpec s = StripMesh(8);
    s.hasColours = 1;
    s.uvs = {{0.5f, 0.125f}};
    Load({{0x10, MeshData(s)}});
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_EQ(world.UVs[0].v, 0.125f);
    EXPECT_EQ(world.Models[0].TriangleCount, 8);
    EXPECT_TRUE(world.Loaded);
}

TEST_F(GeometryLoader, BadVertexIndexRollsBack)
{
    MeshSpec bad = TwoModels();
    bad.models[1].faces[0].v[2] = 4; // equals the new vertex total of a first load
    Load({{0x10, MeshData(TwoModels())}, {0x11, MeshData(bad)}});
    bin.LoadGeometry(0, false, Identity(), false);
    bin.Blocks[1].Name = "crate.gao";
    ui.options[OptionId::WriteOBJ] = 1;
    world.Loaded = false;
    bin.LoadGeometry(1, false, Identity(), false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Something went wrong for crate"});
    EXPECT_EQ(world.VertexCount, 4u);
    EXPECT_EQ(world.UVCount, 4u);
    EXPECT_EQ(world.ModelCount, 2u);
    EXPECT_FALSE(world.Loaded);
    EXPECT_FALSE(std::filesystem::exists(dir.file("crate.obj")));

    // A later load starts its models empty even though the arrays kept the rolled-back ones.
    ui.options[OptionId::WriteOBJ] = 0;
    bin.Blocks[0].Name = "ok.gao";
    bin.LoadGeometry(0, false, Identity(), false);
    EXPECT_EQ(world.ModelCount, 4u);
    EXPECT_EQ(world.Models[3].Name, "ok3");
    EXPECT_EQ(world.Models[3].Triangles.size(), 1u);
    EXPECT_EQ(world.Models[3].Triangles[0].VertexIndex[0], 6u);
}

TEST_F(GeometryLoader, TextureSlotOutsideThePack)
{
    MeshSpec s = TwoModels();
    s.models[1].slot = 2;
    s.models[0].slot = 1;
    Load({{0x10, MeshData(s)}});
    bin.Blocks[0].Name = "crate.gao";
    AddPack(0x99, {0xA, 0xB});
    bin.LoadGeometry(0, false, Identity(), false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Texture out of bounds! Setting to 0 for model 1 crate"});
    EXPECT_EQ(world.Models[0].TexSlot, 1);
    EXPECT_EQ(world.Models[1].TexSlot, 0);
    // Appended: the global model index is reported.
    Memo3().clear();
    bin.LoadGeometry(0, false, Identity(), false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Texture out of bounds! Setting to 0 for model 3 crate"});

    // No pack at all: slot 0 without a line; models keep the (missing) pack index.
    world.Packs.clear();
    world.PackCount = 0;
    world.CurrentPack = 4;
    Memo3().clear();
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.Models[0].TexSlot, 0);
    EXPECT_EQ(world.Models[0].Pack, 4);
}

TEST_F(GeometryLoader, PlacementByMatrix)
{
    MeshSpec s;
    s.vertices = {{1, 2, 3}, {0, 0, 0}, {1, 0, 0}};
    s.models = {ModelSpec{0, {FaceSpec{}}}};
    Load({{0x10, MeshData(s)}});
    Matrix4 m = Identity();
    m[12] = 10, m[13] = 20, m[14] = 30;
    bin.LoadGeometry(0, false, m, true);
    EXPECT_EQ(world.Vertices[0].x, 11);
    EXPECT_EQ(world.Vertices[0].y, 22);
    EXPECT_EQ(world.Vertices[0].z, 33);
    // A quarter turn about z (column-major): x -> y, y -> -x.
    Matrix4 r{};
    r[1] = 1, r[4] = -1, r[10] = 1, r[15] = 1;
    bin.LoadGeometry(0, false, r, true);
    EXPECT_EQ(world.Vertices[0].x, -2);
    EXPECT_EQ(world.Vertices[0].y, 1);
    EXPECT_EQ(world.Vertices[0].z, 3);
}

TEST_F(GeometryLoader, CountsBeyondTheBlockEndTheLoad)
{
    MeshSpec hugeVertices = TwoModels();
    hugeVertices.vertexCount = 0x40000000;
    MeshSpec hugeFaces = TwoModels();
    Bytes faces = MeshData(hugeFaces);
    // The first model header's face count: after 56 header bytes, 4 vertices, 4 UV pairs.
    SetU32(faces, 44 + 48 + 32, 0xFFFFFFF0u);
    MeshSpec shortBlock = TwoModels();
    Bytes cut = MeshData(shortBlock);
    cut.resize(cut.size() - 10);
    // A block whose last face runs into the next block's bytes.
    Load({{0x10, MeshData(hugeVertices)}, {0x11, faces}, {0x13, cut}, {0x12, MeshData(TwoModels())}});
    bin.Blocks[0].Name = "a.gao";
    bin.Blocks[1].Name = "b.gao";
    bin.Blocks[2].Name = "d.gao";
    bin.LoadGeometry(3, false, Identity(), false);
    bin.LoadGeometry(0, false, Identity(), false);
    bin.LoadGeometry(1, false, Identity(), false);
    bin.LoadGeometry(2, false, Identity(), false);
    EXPECT_EQ(Memo3(), (std::vector<std::string>{"Something went wrong for a", "Something went wrong for b",
                                                 "Something went wrong for d"}));
    EXPECT_EQ(world.VertexCount, 4u);
    EXPECT_EQ(world.ModelCount, 2u);
    EXPECT_LE(world.Vertices.size(), 8u);

    // The last block of a file cut short: its faces are missing.
    Load({{0x10, cut}}, "cut.bin", false);
    bin.Blocks[0].Name = "c.gao";
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Something went wrong for c"});
}

TEST_F(GeometryLoader, ZeroCountsLoadWithoutError)
{
    MeshSpec empty;
    MeshSpec noFaces;
    noFaces.vertices = {{1, 1, 1}};
    noFaces.models = {ModelSpec{}};
    Load({{0x10, MeshData(empty)}, {0x11, MeshData(noFaces)}});
    bin.LoadGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_TRUE(world.Loaded);
    bin.LoadGeometry(1, false, Identity(), false);
    EXPECT_EQ(world.ModelCount, 1u);
    EXPECT_EQ(world.Models[0].Name, "");
    EXPECT_FALSE(world.Models[0].HasUV);
}

TEST(StripNulls, RemovesEveryNul)
{
    std::string s("\0a\0b\0", 5);
    StripNulls(s);
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(NameText("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(NameText("caf\xC3\xA9"), "caf\xC3\xA9");
}

} // namespace
