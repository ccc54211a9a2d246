#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "models/Export3DS.h"
#include "models/ModelTestUtil.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// Start of the first chunk with that id inside [from, to), walking the chunk tree.
size_t FindChunk(const std::vector<uint8_t>& b, uint16_t id, size_t from, size_t to)
{
    static const uint16_t containers[] = {0x4D4D, 0x3D3D, 0xAFFF, 0xA200, 0x4000, 0x4100, 0xB000};
    size_t pos = from;
    while (pos + 6 <= to) {
        const uint16_t cid = U16(b, pos);
        const uint32_t len = U32(b, pos + 2);
        if (len < 6 || pos + len > to)
            return std::string::npos;
        if (cid == id)
            return pos;
        if (std::find(std::begin(containers), std::end(containers), cid) != std::end(containers)) {
            size_t body = pos + 6;
            if (cid == 0x4000) // the object name precedes the children
                while (body < pos + len && b[body] != 0)
                    ++body, (void)0;
            if (cid == 0x4000)
                ++body;
            const size_t inner = FindChunk(b, id, body, pos + len);
            if (inner != std::string::npos)
                return inner;
        }
        pos += len;
    }
    return std::string::npos;
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cwd_ = std::make_unique<CurrentDir>(dir_.path());
        w.Packs.push_back(texturepack{0x11, 2, {0x0A1B2C3D, 0x00C0FFEE}, {0, 0}});
        w.PackCount = 1;
    }
    void TearDown() override { cwd_.reset(); }

    // Two loads without clearing: models of 2 and 3 triangles.
    void TwoLoads()
    {
        AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {0, 1, 2, 2, 1, 3}, "crate0");
        AddModel(w, {5, 0, 0, 6, 0, 0, 5, 1, 0, 6, 1, 0, 5, 0, 1}, {0, 1, 2, 2, 1, 3, 0, 4, 1}, "crate1");
        w.Models[1].TexSlot = 1;
        float u = 0;
        for (auto& m : w.Models)
            for (auto& t : m.Triangles)
                for (auto& tc : t.TexCoord) {
                    tc = Vector2{u, 1 - u};
                    u += 0.0625f;
                }
        w.ComputeNormals();
        w.UpdateBounds();
    }

    TempDir dir_;
    std::unique_ptr<CurrentDir> cwd_;
    MemoryFrontend ui;
    TWorldData w{ui};
};

TEST_F(ExportTest, MtlFileOfTwoModels)
{
    TwoLoads();
    w.ExportOBJ("crate", 0, "/maps/level1.bin", TFileIds());
    const auto lines = SplitCrLf(ReadText(dir_.file("crate.mtl")));
    const std::vector<std::string> expect = {"#",
                                             "# crate.mtl",
                                             "#",
                                             "",
                                             "newmtl MA_0",
                                             "Ka 1.000000 1.000000 1.000000",
                                             "Kd 1.000000 1.000000 1.000000",
                                             "Ks 0.000000 0.000000 0.000000",
                                             "Ns 0.000000",
                                             "map_Kd .\\level1_0A1B2C3D.TGA",
                                             "",
                                             "newmtl MA_1",
                                             "Ka 1.000000 1.000000 1.000000",
                                             "Kd 1.000000 1.000000 1.000000",
                                             "Ks 0.000000 0.000000 0.000000",
                                             "Ns 0.000000",
                                             "map_Kd .\\level1_00C0FFEE.TGA",
                                             ""};
    EXPECT_EQ(lines, expect);
}

TEST_F(ExportTest, ObjFileOfTwoLoads)
{
    TwoLoads();
    w.ExportOBJ("crate", 0x0A1B2C3D, "/maps/level1.bin", TFileIds());
    EXPECT_EQ(w.Models[0].FirstTriangle, 0);
    EXPECT_EQ(w.Models[1].FirstTriangle, 2);
    const auto lines = SplitCrLf(ReadText(dir_.file("crate.obj")));
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], "# Wavefront model exported by Tarvesh Mox");
    EXPECT_EQ(lines[1], "mtllib crate.mtl");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "v 0.000000 0.000000 0.000000");
    EXPECT_EQ(lines[4], "v 1.000000 0.000000 0.000000");
    EXPECT_EQ(lines[12], "# 9 vertices");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.rfind("vt ", 0) == 0; }), 15);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "vt 0.062500 0.937500"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "# 15 texture coordinates"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "# 9 normals"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "vn 0.000000 0.000000 1.000000"), lines.end());

    auto g1 = std::find(lines.begin(), lines.end(), "g crate1");
    ASSERT_NE(g1, lines.end());
    EXPECT_EQ(*(g1 - 1), "");
    EXPECT_EQ(*(g1 + 1), "usemtl M0A1B2C3D_1");
    EXPECT_EQ(*(g1 + 2), "s 1");
    // First face of the second model: vertices 4, 5, 6 (+1) and texture coordinates 7, 8, 9.
    EXPECT_EQ(*(g1 + 3), "f 5/7/5 6/8/6 7/9/7");
    EXPECT_EQ(*(g1 + 6), "# 3 triangles in group");
    auto g0 = std::find(lines.begin(), lines.end(), "g crate0");
    ASSERT_NE(g0, lines.end());
    EXPECT_EQ(*(g0 + 3), "f 1/1/1 2/2/2 3/3/3");
    EXPECT_EQ(*(g0 + 5), "# 2 triangles in group");
    EXPECT_EQ(*(g0 + 6), "");
    EXPECT_EQ(lines[lines.size() - 2], "# 5 triangles total");
    EXPECT_EQ(lines.back(), "");

    const ImportedModel im = ImportModel(dir_.file("crate.obj"));
    ASSERT_TRUE(im.ok) << im.error;
    EXPECT_EQ(im.faces, 5u);
    ASSERT_EQ(im.corners.size(), 15u);
    EXPECT_FLOAT_EQ(im.corners[14].z, 0); // last corner of the last face: vertex 5,0,0 of model 1
    EXPECT_FLOAT_EQ(im.corners[13].z, 1);

    // Model names longer than the writer's first buffer (4 KiB), than its largest (1 MiB), and one line of just
    // that size after others: every line stays in its place.
    for (const size_t second : {(size_t{2} << 20) + 3, (size_t{1} << 20) - 4}) {
        w.Models[0].Name = std::string(5000, 'a');
        w.Models[1].Name = std::string(second, 'b');
        w.ExportOBJ("crate", 0x0A1B2C3D, "/maps/level1.bin", TFileIds());
        std::vector<std::string> expect = lines;
        std::replace(expect.begin(), expect.end(), std::string("g crate0"), "g " + w.Models[0].Name);
        std::replace(expect.begin(), expect.end(), std::string("g crate1"), "g " + w.Models[1].Name);
        EXPECT_TRUE(SplitCrLf(ReadText(dir_.file("crate.obj"))) == expect) << second; // no print of long lines
    }
}

TEST_F(ExportTest, EmptyWorldAndEmptyBaseName)
{
    w.ExportOBJ("", 0, "", TFileIds());
    EXPECT_EQ(SplitCrLf(ReadText(dir_.file(".mtl"))), (std::vector<std::string>{"#", "# .mtl", "#", ""}));
    const auto lines = SplitCrLf(ReadText(dir_.file(".obj")));
    const std::vector<std::string> expect = {"# Wavefront model exported by Tarvesh Mox",
                                             "mtllib .mtl",
                                             "",
                                             "# 0 vertices",
                                             "",
                                             "# 0 texture coordinates",
                                             "",
                                             "# 0 normals",
                                             "",
                                             "# 0 triangles total",
                                             ""};
    EXPECT_EQ(lines, expect);
}

TEST_F(ExportTest, ModelWithoutTextureGetsNoMapLine)
{
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "m0");
    w.Models[0].Pack = 3;
    w.ExportOBJ("nomap", 0, "a.bin", TFileIds());
    const std::string mtl = ReadText(dir_.file("nomap.mtl"));
    EXPECT_EQ(mtl.find("map_Kd"), std::string::npos);
    EXPECT_NE(mtl.find("Ns 0.000000\r\n\r\n"), std::string::npos);
}

TEST_F(ExportTest, ExportModelFollowsTheFormatOption)
{
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "m0");
    w.ExportModel("fmt", 0, "a.bin", TFileIds());
    EXPECT_TRUE(std::filesystem::exists(dir_.file("fmt.obj")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("fmt.3DS")));
    ui.options[OptionId::ModelFormat] = 1;
    w.ExportModel("fmt3", 0, "a.bin", TFileIds());
    EXPECT_TRUE(std::filesystem::exists(dir_.file("fmt3.3DS")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("fmt3.obj")));
    ui.options[OptionId::ModelFormat] = -1;
    w.ExportModel("none", 0, "a.bin", TFileIds());
    EXPECT_FALSE(std::filesystem::exists(dir_.file("none.obj")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("none.3DS")));
}

TEST_F(ExportTest, FilesNamedLikeTheirSourceAreSkippedWithALogLine)
{
    // The world's source is "crate.mtl", also reached through a hard link "crate.3DS".
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "m0");
    const Bytes source{1, 2, 3};
    WriteFileBytes(dir_.file("crate.mtl"), source);
    std::filesystem::create_hard_link(dir_.file("crate.mtl"), dir_.file("crate.3DS"));
    TFileIds inputs;
    inputs.Add(dir_.file("crate.mtl"));
    w.ExportModel("crate", 0, "a.bin", inputs);
    ui.options[OptionId::ModelFormat] = 1;
    w.ExportModel("crate", 0, "a.bin", inputs);
    EXPECT_EQ(ReadFileBytes(dir_.file("crate.mtl")), source);
    EXPECT_EQ(ui.Lines(MemoId::Memo3),
              (std::vector<std::string>{
                  "! " + dir_.file("crate.mtl") + ": the output would replace its own source file, not written.",
                  "! " + dir_.file("crate.3DS") + ": the output would replace its own source file, not written."}));
    // The OBJ file is still written.
    const auto obj = SplitCrLf(ReadText(dir_.file("crate.obj")));
    ASSERT_GE(obj.size(), 2u);
    EXPECT_EQ(obj[1], "mtllib crate.mtl");
}

TEST_F(ExportTest, BaseNameFromDataCannotClimbOut)
{
    std::filesystem::create_directory(dir_.path() / "work");
    CurrentDir inner(dir_.path() / "work");
    // The ".." becomes a folder "__" below the current one, which does not exist: the export fails there.
    EXPECT_THROW(w.ExportOBJ("..\\escaped", 0, "a.bin", TFileIds()), EStreamError);
    EXPECT_THROW(w.Export3DS("../escaped", "a.bin", TFileIds()), EStreamError);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("escaped.mtl")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("escaped.3DS")));
    std::filesystem::create_directory(dir_.path() / "work" / "__");
    w.ExportOBJ("..\\escaped", 0, "a.bin", TFileIds());
    // The OBJ file names its MTL file as it lies beside it.
    EXPECT_EQ(SplitCrLf(ReadText((dir_.path() / "work" / "__" / "escaped.obj").string()))[1], "mtllib escaped.mtl");
}

// 3DS chunks written independently of the writer: id, length of the whole chunk, body.
struct Chunk {
    Bytes b;
    Chunk& U8(uint8_t v) { return b.push_back(v), *this; }
    Chunk& U16(uint16_t v) { return PutU16(b, v), *this; }
    Chunk& U32(uint32_t v) { return PutU32(b, v), *this; }
    Chunk& F32(float v) { return PutF32(b, v), *this; }
    Chunk& Text(const std::string& s) { return PutText(b, s), U8(0); }
    Chunk& Add(uint16_t id, const Chunk& body)
    {
        U16(id).U32(static_cast<uint32_t>(6 + body.b.size()));
        b.insert(b.end(), body.b.begin(), body.b.end());
        return *this;
    }
};

// The whole file: the given materials and objects between the fixed chunks.
Bytes File3DS(const Chunk& materials, const Chunk& objects)
{
    Chunk mdata;
    mdata.Add(0x3D3E, Chunk().U32(3));
    mdata.b.insert(mdata.b.end(), materials.b.begin(), materials.b.end());
    mdata.Add(0x0100, Chunk().F32(1)).Add(0x1400, Chunk().F32(1)).Add(0x1420, Chunk().U16(512));
    mdata.Add(0x1450, Chunk().F32(3)).Add(0x1460, Chunk().F32(1)).Add(0x1500, Chunk().F32(0).F32(0).F32(0));
    const Chunk grey = Chunk().F32(0.3f).F32(0.3f).F32(0.3f);
    mdata.Add(0x2100, Chunk().Add(0x0010, grey).Add(0x0013, grey));
    mdata.b.insert(mdata.b.end(), objects.b.begin(), objects.b.end());
    Chunk magic;
    magic.Add(0x0002, Chunk().U32(3)).Add(0x3D3D, mdata);
    magic.Add(0xB000, Chunk().Add(0xB00A, Chunk().U16(5).U8(0).U32(30)));
    return Chunk().Add(0x4D4D, magic).b;
}

TEST_F(ExportTest, Whole3DSFilesByteForByte)
{
    w.Export3DS("empty", "", TFileIds());
    const Bytes empty = File3DS({}, {});
    ASSERT_EQ(empty.size(), 159u);
    EXPECT_EQ(ReadFileBytes(dir_.file("empty.3DS")), empty);

    // One model of two faces (0, 1, 2) and (2, 1, 3), its texture in slot 0 of pack 0 (key 0A1B2C3D), and a bin
    // file whose name is not ASCII.
    AddModel(w, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {0, 1, 2, 2, 1, 3}, "m0");
    const Vector2 uv[2][3] = {{{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}}, {{0.7f, 0.8f}, {0.9f, 1}, {0.25f, 0.75f}}};
    for (int t = 0; t < 2; ++t)
        for (int k = 0; k < 3; ++k)
            w.Models[0].Triangles[static_cast<size_t>(t)].TexCoord[k] = uv[t][k];
    w.Export3DS("one", "/maps/caf\xC3\xA9.bin", TFileIds());

    Chunk colour;
    colour.Add(0x0011, Chunk().U8(0xFF).U8(0xFF).U8(0xFF)).Add(0x0012, Chunk().U8(0xFF).U8(0xFF).U8(0xFF));
    const Chunk zeroPercent = Chunk().Add(0x0030, Chunk().U16(0));
    Chunk material;
    material.Add(0xA000, Chunk().Text("Material_0000000"));
    material.Add(0xA010, colour).Add(0xA020, colour).Add(0xA030, colour);
    for (uint16_t id : {0xA040, 0xA041, 0xA050, 0xA052, 0xA053})
        material.Add(id, zeroPercent);
    material.Add(0xA100, Chunk().U16(3)).Add(0xA084, zeroPercent).Add(0xA087, Chunk().F32(1)).Add(0xA08C, {});
    material.Add(0xA200, Chunk()
                             .Add(0x0030, Chunk().U16(100))
                             .Add(0xA300, Chunk().Text("caf\xC3\xA9_0A1B2C3D.TGA"))
                             .Add(0xA351, Chunk().U16(0)));

    // Local vertices in order of first use, written x, z, y; each with the texture coordinate of its last corner.
    Chunk points, texVerts, axes;
    points.U16(4).F32(1).F32(3).F32(2).F32(4).F32(6).F32(5).F32(7).F32(9).F32(8).F32(10).F32(12).F32(11);
    texVerts.U16(4).F32(0.1f).F32(0.2f).F32(0.9f).F32(1).F32(0.7f).F32(0.8f).F32(0.25f).F32(0.75f);
    for (float a : {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0})
        axes.F32(a);
    Chunk faces;
    faces.U16(2).U16(2).U16(1).U16(0).U16(7).U16(3).U16(1).U16(2).U16(7);
    faces.Add(0x4130, Chunk().Text("Material_0000000").U16(2).U16(0).U16(1));
    faces.Add(0x4150, Chunk().U32(1).U32(1));
    Chunk mesh;
    mesh.Add(0x4110, points).Add(0x4140, texVerts).Add(0x4160, axes).Add(0x4165, Chunk().U8(0)).Add(0x4120, faces);
    Chunk object;
    object.Add(0x4000, Chunk().Text("O_00000000").Add(0x4100, mesh));

    EXPECT_EQ(ReadFileBytes(dir_.file("one.3DS")), File3DS(Chunk().Add(0xAFFF, material), object));
}

TEST(Mesh3DS, LocalVerticesInFirstUseOrderWithTheLastCornersTexCoord)
{
    MemoryFrontend ui;
    TWorldData w{ui};
    AddModel(w, {9, 9, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {}, "pad");
    w.Models.clear();
    w.ModelCount = 0;
    // World vertices 1..4 used as (1,2,3) and (3,2,4); vertex 0 is not used.
    model m;
    m.TriangleCount = 2;
    triangle a, b;
    a.VertexIndex[0] = 3, a.VertexIndex[1] = 2, a.VertexIndex[2] = 1;
    b.VertexIndex[0] = 1, b.VertexIndex[1] = 2, b.VertexIndex[2] = 4;
    a.TexCoord[0] = {0.1f, 0.1f}, a.TexCoord[1] = {0.2f, 0.2f}, a.TexCoord[2] = {0.3f, 0.3f};
    b.TexCoord[0] = {0.4f, 0.4f}, b.TexCoord[1] = {0.5f, 0.5f}, b.TexCoord[2] = {0.6f, 0.6f};
    m.Triangles = {a, b};
    w.Models.push_back(m);
    w.ModelCount = 1;

    TMeshVertices mesh;
    BuildMeshVertices(w, 0, mesh);
    EXPECT_EQ(mesh.WorldIndex, (std::vector<uint32_t>{3, 2, 1, 4}));
    EXPECT_EQ(mesh.Faces, (std::vector<uint32_t>{0, 1, 2, 2, 1, 3}));
    EXPECT_EQ(mesh.IndexOfVertex(4), 3);
    EXPECT_EQ(mesh.IndexOfVertex(0), -1);
    EXPECT_FLOAT_EQ(mesh.TexCoords[2].u, 0.4f); // vertex 1: second triangle, corner a
    EXPECT_FLOAT_EQ(mesh.TexCoords[1].u, 0.5f); // vertex 2: second triangle, corner b
    EXPECT_FLOAT_EQ(mesh.TexCoords[0].u, 0.1f);
    EXPECT_FLOAT_EQ(mesh.Positions[0].y, 1);

    // The lookup is reset between models: a second build gives the same result.
    TMeshVertices again = mesh;
    BuildMeshVertices(w, 0, mesh);
    EXPECT_EQ(mesh.WorldIndex, again.WorldIndex);
}

TEST(Mesh3DS, PadWithZerosAndNames)
{
    EXPECT_EQ(PadWithZeros("26", 7), "0000026");
    EXPECT_EQ(PadWithZeros("12345678", 7), "12345678");
    EXPECT_EQ(PadWithZeros("", 3), "000");
    T3DSWriter w;
    w.Legacy = true;
    w.Write3DSName("ABCDEFGHIJKL", 10);
    w.Write3DSName("short", 10);
    w.Legacy = false;
    w.Write3DSName("ABCDEFGHIJKL", 10);
    const std::string s(w.Data.begin(), w.Data.end());
    EXPECT_EQ(s, std::string("ABCDEFGHIJ\0short\0ABCDEFGHIJKL\0", 30));
}

TEST_F(ExportTest, ManyModelsOf3DS)
{
    for (int i = 0; i < 27; ++i)
        AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "m" + std::to_string(i));
    w.Export3DS("world", "/maps/a.bin", TFileIds());
    // Model 26 has Material_0000026 and O_0000001A.
    const auto b = ReadFileBytes(dir_.file("world.3DS"));
    const std::string all(b.begin(), b.end());
    EXPECT_NE(all.find(std::string("Material_0000026\0", 17)), std::string::npos);
    EXPECT_NE(all.find(std::string("O_0000001A\0", 11)), std::string::npos);
    const ImportedModel im = ImportModel(dir_.file("world.3DS"));
    ASSERT_TRUE(im.ok) << im.error;
    EXPECT_EQ(im.faces, 27u);
}

TEST_F(ExportTest, LegacyMapNamesAreCutToTheKey)
{
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "m0");
    ui.options[OptionId::Legacy3DS] = 1;
    w.Export3DS("legacy", "/maps/a.bin", TFileIds());
    auto b = ReadFileBytes(dir_.file("legacy.3DS"));
    EXPECT_NE(std::string(b.begin(), b.end()).find(std::string("O_00000000\0", 11)), std::string::npos);
    size_t map = FindChunk(b, 0xA300, 0, b.size());
    ASSERT_NE(map, std::string::npos);
    EXPECT_EQ(U32(b, map + 2), 19u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[map + 6])), "0A1B2C3D.TGA");

    // Without the option the name stays whole.
    ui.options[OptionId::Legacy3DS] = 0;
    w.Export3DS("legacy", "/maps/a.bin", TFileIds());
    b = ReadFileBytes(dir_.file("legacy.3DS"));
    map = FindChunk(b, 0xA300, 0, b.size());
    EXPECT_EQ(U32(b, map + 2), 21u);
}

TEST_F(ExportTest, PlacedPositionsSurviveAnIndependentImport)
{
    TwoLoads();
    w.Export3DS("two", "/maps/level1.bin", TFileIds());
    const ImportedModel im = ImportModel(dir_.file("two.3DS"));
    ASSERT_TRUE(im.ok) << im.error;
    ASSERT_EQ(im.faces, 5u);
    // Every imported corner is a world vertex with y and z exchanged.
    for (const Vector3& c : im.corners) {
        bool found = false;
        for (const Vector3& v : w.Vertices)
            found = found || (v.x == c.x && v.z == c.y && v.y == c.z);
        EXPECT_TRUE(found) << c.x << " " << c.y << " " << c.z;
    }
}

TEST_F(ExportTest, ModelTooLargeFor3DSIsSkippedWithALogLine)
{
    std::vector<float> xyz;
    std::vector<uint32_t> faces;
    for (uint32_t i = 0; i < 70000; ++i) {
        xyz.insert(xyz.end(), {static_cast<float>(i), 0, 0});
        if (i >= 2)
            faces.insert(faces.end(), {i - 2, i - 1, i});
    }
    AddModel(w, xyz, faces, "big");
    AddModel(w, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, "small");
    // Exactly 65535 vertices and 65535 faces still fit.
    xyz.resize(3 * 65535);
    faces.resize(3 * (65535 - 2));
    faces.insert(faces.end(), {0, 1, 2, 2, 1, 0});
    AddModel(w, xyz, faces, "limit");
    w.Export3DS("big", "a.bin", TFileIds());
    ASSERT_EQ(ui.Lines(MemoId::Memo3).size(), 1u);
    EXPECT_NE(ui.Lines(MemoId::Memo3)[0].find("65535"), std::string::npos);
    const ImportedModel im = ImportModel(dir_.file("big.3DS"));
    ASSERT_TRUE(im.ok) << im.error;
    EXPECT_EQ(im.meshes, 2u);
    EXPECT_EQ(im.faces, 1u + 65535u);
}

} // namespace
