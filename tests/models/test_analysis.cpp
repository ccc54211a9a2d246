#include "models/BinFixture.h"

#include <algorithm>

#include "bin/BlockAnalysis.h"

namespace {

using Analysis = BinFixture;

MeshSpec Triangle(float x)
{
    MeshSpec s;
    s.vertices = {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}};
    s.models = {ModelSpec{0, {FaceSpec{}}}};
    return s;
}

GameObjectSpec Object(const std::string& name, uint32_t geo, uint32_t pack, float tx = 0)
{
    GameObjectSpec g;
    g.name = name;
    g.geoKey = geo;
    g.packKey = pack;
    g.matrix[12] = tx;
    return g;
}

TEST_F(Analysis, GameObjectLoadsItsGeometryPlacedAndNamed)
{
    GameObjectSpec go = Object("Chair", 0x500, 0x600, 100);
    go.version = 7;
    Load({{0x100, GameObjectData(go)}, {0x500, MeshData(Triangle(1))}});
    AddPack(0x111, {1});
    AddPack(0x600, {2});
    bin.AnalyzeBlock(0, false);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(bin.Version, 7u);
    EXPECT_EQ(bin.Blocks[1].Name, "Chair");
    EXPECT_EQ(world.CurrentPack, 1);
    ASSERT_EQ(world.ModelCount, 1u);
    EXPECT_EQ(world.Models[0].Pack, 1);
    EXPECT_EQ(world.Vertices[0].x, 101);
    // "Chair" has no ".": empty base name.
    EXPECT_EQ(world.Models[0].Name, "0");
}

TEST_F(Analysis, KeyEntryFallback)
{
    GameObjectSpec go = Object("Lamp.gao", 0x777, 0x600);
    go.entry = 2;
    go.entryKeys[2][0] = 0x501;
    go.entryKeys[2][1] = 0x601;
    go.entryKeys[0][0] = 0x500; // not the chosen entry
    Load({{0x100, GameObjectData(go)}, {0x500, MeshData(Triangle(0))}, {0x501, MeshData(Triangle(5))}});
    AddPack(0x600, {1});
    AddPack(0x601, {1});
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(bin.Blocks[2].Name, "Lamp.gao");
    EXPECT_TRUE(bin.Blocks[1].Name.empty());
    EXPECT_EQ(world.CurrentPack, 1);
    EXPECT_EQ(world.Vertices[0].x, 5);
    EXPECT_EQ(world.Models[0].Name, "Lamp0");
}

TEST_F(Analysis, ByteScanAcceptsTheFirstKeyOfAnyBlock)
{
    GameObjectSpec go = Object("Crate", 0x777, 0x600);
    go.entry = 1; // entry 1 names nothing either
    Bytes data = GameObjectData(go);
    const size_t L = go.name.size() + 1;
    // An unaligned u32 at 98 + L + 13 that equals a block's key, followed by the pack key.
    SetU32(data, 98 + L + 13, 0x502);
    SetU32(data, 98 + L + 17, 0x601);
    Load({{0x100, data}, {0x502, MeshData(Triangle(9))}});
    AddPack(0x600, {1});
    AddPack(0x601, {1});
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(bin.Blocks[1].Name, "Crate");
    EXPECT_EQ(world.CurrentPack, 1);
    EXPECT_EQ(world.Vertices[0].x, 9);
}

TEST_F(Analysis, NothingFoundLoadsNothingWithThePackOfTheKeyEntry)
{
    GameObjectSpec go = Object("Crate", 0x777, 0x600);
    go.entryKeys[0][1] = 0x601; // entry 0: no 3D data key, but a pack key
    Load({{0x100, GameObjectData(go)}});
    AddPack(0x600, {1});
    AddPack(0x601, {1});
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"No data."});
    EXPECT_EQ(world.CurrentPack, 1); // selected all the same
    Memo3().clear();
    bin.AnalyzeBlock(0, true);
    EXPECT_TRUE(Memo3().empty());
}

TEST_F(Analysis, ByteScanTakesAnyBlockKeyEvenAGameObjects)
{
    GameObjectSpec go = Object("Crate", 0x777, 0x600);
    go.entryKeys[1][0] = 0x100; // the object's own key, found by the scan
    Load({{0x100, GameObjectData(go)}});
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(bin.Blocks[0].Name, "Crate");
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Unknown data"});
}

TEST_F(Analysis, ByteScanPastTheBytesTheFileHolds)
{
    // A Game Object claiming 400 data bytes, cut after 120 by the end of the file; its key entries are FF bytes, so
    // no position before the cut reads a key. Later positions read 0.
    GameObjectSpec go = Object("Box", 0x777, 0x600);
    for (auto& entry : go.entryKeys)
        entry[0] = entry[1] = 0xFFFFFFFF;
    Bytes cut = GameObjectData(go);
    std::fill(cut.begin() + 102, cut.begin() + 146, 0xFF);
    cut.resize(120);
    auto resolve = [&](std::vector<BinBlockSpec> before, const Bytes& data) {
        Bytes f = ExpandedBin(before);
        AppendBlock(f, {0x100, data});
        SetU32(f, f.size() - data.size() - 12, 400);
        WriteFileBytes(dir.file("cut.bin"), f);
        EXPECT_TRUE(bin.LoadFromFile(dir.file("cut.bin")));
        TGameObject r;
        EXPECT_TRUE(ResolveGameObject(bin, static_cast<int32_t>(before.size()), r));
        return r;
    };
    // Nothing found: the key is the u32 at Size - 5, past the cut.
    TGameObject r = resolve({{0x1234, MeshData(Triangle(0))}}, cut);
    EXPECT_EQ(r.GeoKey, 0u);
    EXPECT_EQ(r.GeoIndex, -1);
    // A key made of the last two bytes held and two zeros.
    Bytes straddle = cut;
    straddle[118] = 0x34, straddle[119] = 0x12;
    r = resolve({{0x1234, MeshData(Triangle(0))}}, straddle);
    EXPECT_EQ(r.GeoIndex, 0);
    EXPECT_EQ(r.PackKey, 0u);
    // Key 0 is found at the first position past the cut.
    r = resolve({{0x1234, MeshData(Triangle(0))}, {0x0, MeshData(Triangle(0))}}, cut);
    EXPECT_EQ(r.GeoKey, 0u);
    EXPECT_EQ(r.GeoIndex, 1);
    EXPECT_EQ(bin.Blocks[1].Name, "Box");
}

TEST_F(Analysis, MinimumSizeIsLPlus151)
{
    GameObjectSpec go = Object("Box", 0x500, 0x600);
    Bytes data = GameObjectData(go);
    const size_t L = go.name.size() + 1;
    Bytes exact(data.begin(), data.begin() + static_cast<long>(L + 150));
    Bytes oneMore(data.begin(), data.begin() + static_cast<long>(L + 151));
    go.version = 9;
    Bytes huge = GameObjectData(go);
    SetU32(huge, 16, 0xFFFFFFF0u); // a name length that would wrap round
    Load({{0x100, exact}, {0x101, oneMore}, {0x102, huge}, {0x500, MeshData(Triangle(0))}});
    AddPack(0x600, {1});
    AddPack(0x0, {1});
    AddPack(0x1, {1});
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"No useful data."});
    EXPECT_EQ(world.ModelCount, 0u);
    Memo3().clear();
    bin.AnalyzeBlock(1, false);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.ModelCount, 1u);
    EXPECT_EQ(world.CurrentPack, 1); // the pack key reads 0
    Memo3().clear();
    bin.AnalyzeBlock(2, false);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"No useful data."});
    EXPECT_EQ(bin.Version, 9u);
}

TEST_F(Analysis, ObjectsLoadsEveryGameObjectWithTheClearOption)
{
    Load({{0x100, GameObjectData(Object("A.gao", 0x500, 0, 10))},
          {0x500, MeshData(Triangle(0))},
          {0x101, GameObjectData(Object("B.gao", 0x501, 0, 20))},
          {0x501, MeshData(Triangle(0))},
          {0x102, WowData("Level")}});
    bin.ExtractAllObjects();
    ASSERT_EQ(world.ModelCount, 2u);
    EXPECT_EQ(world.Models[0].Name, "A0");
    EXPECT_EQ(world.Models[1].Name, "B1");
    EXPECT_EQ(world.Vertices[3].x, 20);
    EXPECT_EQ(world.Normals[5].z, 1); // the normals of the whole world, made once at the end
    EXPECT_TRUE(Memo2().empty());

    ui.options[OptionId::ClearPrevious] = 1;
    ui.options[OptionId::WriteOBJ] = 1;
    bin.ExtractAllObjects();
    ASSERT_EQ(world.ModelCount, 1u);
    EXPECT_EQ(world.Models[0].Name, "B0");
    // One export per object, each independent importer reading the placed positions.
    const ImportedModel a = ImportModel(dir.file("A.obj"));
    const ImportedModel b = ImportModel(dir.file("B.obj"));
    ASSERT_TRUE(a.ok && b.ok);
    ASSERT_EQ(a.faces, 1u);
    ASSERT_EQ(b.faces, 1u);
    EXPECT_EQ(a.corners[0].x, 10);
    EXPECT_EQ(b.corners[1].x, 21);
    EXPECT_NE(ReadText(dir.file("B.obj")).find("vn 0.000000 0.000000 1.000000"), std::string::npos);
}

TEST_F(Analysis, NonAsciiNamesNameTheFilesTheyReferTo)
{
    // A bin file whose path is file-system text (UTF-8) and a Game Object whose stored name is Windows-1252.
    const std::string cafe = "caf\xC3\xA9";
    ui.options[OptionId::WriteOBJ] = 1;
    Load({{0x100, GameObjectData(Object("caf\xE9.gao", 0x500, 0x600))}, {0x500, MeshData(Triangle(0))},
          {0x700, TexData(1, 0, 2, 2, Bytes(16, 0x40))}},
         cafe + ".bin");
    AddPack(0x600, {0x700});
    bin.ExtractAllTextures();
    bin.AnalyzeBlock(0, false);
    bin.ExtractBlock(0);
    EXPECT_TRUE(std::filesystem::exists(dir.file(cafe + ".gao")));
    // Every name in the model files is the name of a file on disk, byte for byte.
    const auto obj = SplitCrLf(ReadText(dir.file(cafe + ".obj")));
    ASSERT_GE(obj.size(), 2u);
    EXPECT_EQ(obj[1], "mtllib " + cafe + ".mtl");
    const auto mtl = SplitCrLf(ReadText(dir.file(cafe + ".mtl")));
    ASSERT_GE(mtl.size(), 10u);
    EXPECT_EQ(mtl[1], "# " + cafe + ".mtl");
    EXPECT_EQ(mtl[9], "map_Kd .\\" + cafe + "_00000700.TGA");
    EXPECT_TRUE(std::filesystem::exists(dir.file(cafe + "_00000700.TGA")));
    EXPECT_NE(std::find(obj.begin(), obj.end(), "g " + cafe + "0"), obj.end());
}

TEST_F(Analysis, OutputsNamedLikeTheBinFileLeaveItAsItIs)
{
    // A bin file named like its Game Object's model export, and linked under its texture export's name.
    ui.options[OptionId::WriteOBJ] = 1;
    // Its textures are plain, paletted and DXT1.
    Load({{0x100, GameObjectData(Object("A.gao", 0x500, 0x600))}, {0x500, MeshData(Triangle(0))},
          {0x700, TexData(1, 0, 2, 2, Bytes(16, 0x40))}, {0x701, TexData(1, 1, 2, 2, Bytes(4, 1), 0x703)},
          {0x702, TexData(1, 5, 4, 4, Bytes(8, 0x33))}, {0x703, PaletteData()}},
         "A.obj");
    const Bytes file = ReadFileBytes(dir.file("A.obj"));
    for (const char* link : {"A_00000700.TGA", "A_00000701.TGA", "A_00000702.TGA"})
        std::filesystem::create_hard_link(dir.file("A.obj"), dir.file(link));
    bin.ExtractAllTextures();
    bin.ExtractAllObjects();
    EXPECT_EQ(ReadFileBytes(dir.file("A.obj")), file);
    const std::string why = ": the output would replace its own source file, not written.";
    EXPECT_EQ(Memo3(), (std::vector<std::string>{"! " + dir.file("A_00000700.TGA") + why,
                                                 "! " + dir.file("A_00000701.TGA") + why,
                                                 "! " + dir.file("A_00000702.TGA") + why,
                                                 "! " + dir.file("A.obj") + why}));
    EXPECT_TRUE(std::filesystem::exists(dir.file("A.mtl")));
}

TEST_F(Analysis, ObjectsOnAFileWithoutGameObjects)
{
    Load({{0x500, MeshData(Triangle(0))}, {0x102, WowData("Level")}});
    bin.ExtractAllObjects();
    EXPECT_EQ(world.ModelCount, 0u);
    EXPECT_TRUE(Memo2().empty());
    EXPECT_TRUE(Memo3().empty());
}

TEST_F(Analysis, GeometryBlockLoadsWithIdentity)
{
    Load({{0x500, MeshData(Triangle(3))}});
    world.CurrentPack = 0;
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(world.Vertices[0].x, 3);
    ui.options[OptionId::ClearPrevious] = 1;
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(world.ModelCount, 1u);
    ui.options[OptionId::ClearPrevious] = 0;
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(world.ModelCount, 2u);
}

TEST_F(Analysis, TexturePackListing)
{
    Bytes empty = TexturePackData({});
    Bytes two = TexturePackData({0xA1B2C3, 0x12345678});
    Bytes three = TexturePackData({0x1, 0x2});
    SetU32(three, 8, 3); // a slot beyond the block's end
    Load({{0x400, empty}, {0x401, two}, {0x402, three}});
    Memo2().push_back("old text");
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(Memo2(), (std::vector<std::string>{"[00000400] - Texture pack", "# textures : 0"}));
    bin.AnalyzeBlock(1, false);
    EXPECT_EQ(Memo2(), (std::vector<std::string>{"[00000401] - Texture pack", "# textures : 2", "[0] : 00A1B2C3",
                                                 "[1] : 12345678"}));
    bin.AnalyzeBlock(2, false);
    EXPECT_EQ(Memo2(), (std::vector<std::string>{"[00000402] - Texture pack", "# textures : 3", "[0] : 00000001",
                                                 "[1] : 00000002", "[2] : 00000000"}));
}

TEST_F(Analysis, SlotCountsBeyondTheBlockAreListedUpToAFixedBound)
{
    Bytes five = TexturePackData({0x1, 0x2});
    SetU32(five, 8, 5);
    Bytes huge = TexturePackData({0x1, 0x2});
    SetU32(huge, 8, 0xFFFFFFFFu);
    Load({{0x400, five}, {0x401, huge}});
    bin.AnalyzeBlock(0, false);
    EXPECT_EQ(Memo2(), (std::vector<std::string>{"[00000400] - Texture pack", "# textures : 5", "[0] : 00000001",
                                                 "[1] : 00000002", "[2] : 00000000", "[3] : 00000000",
                                                 "[4] : 00000000"}));
    bin.PastEndSlotLines = kMaxSlotLines; // a new command
    bin.AnalyzeBlock(1, false);
    ASSERT_EQ(Memo2().size(), 2u + 65536 + 1);
    EXPECT_EQ(Memo2()[1], "# textures : 4294967295");
    EXPECT_EQ(Memo2()[2 + 65535], "[65535] : 00000000");
    EXPECT_EQ(Memo2().back(), "... 4294901759 more slots not listed");
    // Within one command the slots past the blocks' bytes share one bound (2 of it left here); stored slots are
    // always listed.
    bin.AnalyzeBlock(1, false);
    EXPECT_EQ(Memo2(), (std::vector<std::string>{"[00000401] - Texture pack", "# textures : 4294967295",
                                                 "[0] : 00000001", "[1] : 00000002", "[2] : 00000000",
                                                 "[3] : 00000000", "... 4294967291 more slots not listed"}));
    bin.AnalyzeBlock(1, false);
    EXPECT_EQ(Memo2().size(), 5u);
}

TEST_F(Analysis, WorldBlockListing)
{
    Bytes wow = WowData("Level One", 0x01020304);
    SetU32(wow, 140, 0xFFFFFFFF);
    Load({{0x1, MeshData(Triangle(0))}, {0x2, MeshData(Triangle(0))}, {0x3, MeshData(Triangle(0))},
          {0x4, MeshData(Triangle(0))}, {0x5, MeshData(Triangle(0))}, {0x6, MeshData(Triangle(0))},
          {0x7, MeshData(Triangle(0))}, {0xCAFE, wow}});
    bin.AnalyzeBlock(7, false);
    const std::vector<std::string> expect = {
        "[7] - .wow",
        "Name : Level One",
        "First block : 01020304",
        "Matrix line 1 : 0.500000 1.500000 2.500000 3.500000",
        "Matrix line 2 : 4.500000 5.500000 6.500000 7.500000",
        "Matrix line 3 : 8.500000 9.500000 10.500000 11.500000",
        "Matrix line 4 : 12.500000 13.500000 14.500000 15.500000",
        "Sixvalue : 4294967295",
        "Thefloat : 1.250000",
        "Zero 1 : 0",
        "Zero 2 : 0",
        "Ident 1 : AB000001",
        "Ident 2 : AB000002",
        "Ident 3 : AB000003",
        "Ident 4 : AB000004",
        "Ident 5 : AB000005",
    };
    EXPECT_EQ(Memo2(), expect);
}

TEST_F(Analysis, ShortWorldBlockReadsZeros)
{
    Bytes w = WowData("X");
    w.resize(100);
    Load({{0xCAFE, w}});
    bin.AnalyzeBlock(0, false);
    ASSERT_EQ(Memo2().size(), 16u);
    EXPECT_EQ(Memo2()[6], "Matrix line 4 : 0.000000 0.000000 0.000000 0.000000");
    EXPECT_EQ(Memo2()[8], "Thefloat : 0.000000");
    EXPECT_EQ(Memo2()[15], "Ident 5 : 00000000");
}

TEST_F(Analysis, ResolveGameObjectForTheInspector)
{
    Load({{0x100, GameObjectData(Object("Chair", 0x500, 0x600, 4))}, {0x500, MeshData(Triangle(0))}});
    TGameObject go;
    ASSERT_TRUE(ResolveGameObject(bin, 0, go));
    EXPECT_EQ(go.Name, "Chair");
    EXPECT_EQ(go.GeoIndex, 1);
    EXPECT_EQ(go.PackKey, 0x600u);
    EXPECT_EQ(go.Matrix[12], 4);
    EXPECT_EQ(go.Matrix[15], 1);
    EXPECT_EQ(world.ModelCount, 0u); // resolving loads nothing
}

} // namespace
