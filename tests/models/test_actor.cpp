#include "models/BinFixture.h"

#include "bin/Geometry.h"

#include <algorithm>
#include <fstream>

namespace {

using ActorLoader = BinFixture;

MeshSpec ActorMesh(int faces = 1, float x0 = 0)
{
    MeshSpec s = StripMesh(faces, x0);
    return s;
}

TEST_F(ActorLoader, TraceWithoutBones)
{
    MeshSpec s = ActorMesh();
    s.temp2 = 0x22, s.temp3 = 1009, s.temp5 = 0x55, s.temp8 = 0x88, s.hasColours = 1, s.a1 = 12;
    Load({{0x700, ActorData(s)}});
    bin.Blocks[0].Name = "hero.gao";
    Memo2().push_back("old");
    bin.LoadActorGeometry(0, false, Identity(), true);
    const std::vector<std::string> expect = {
        "Filename      : hero.gao",
        "Vertices      : 3",
        "UVs           : 0",
        "Models        : 1",
        "Tempvalues    : 2=00000022 3=000003F1 5=00000055 6=00000001 7=C0DE2002 8=00000088",
        "A1            : 12",
        "A2            : 0",
        "Position : 56",
        "Position : 96",
    };
    EXPECT_EQ(Memo2(), expect);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_TRUE(world.Loaded);
    EXPECT_EQ(world.Models[0].Name, "hero0");
    EXPECT_EQ(world.VertexExtra.size(), 3u);
    // With Reset the actor is exported whatever "Write 3D models" says.
    EXPECT_TRUE(std::filesystem::exists(dir.file("hero.obj")));

    // But never over the bin file, here reached through a hard link named like the export.
    std::filesystem::create_hard_link(dir.file("level.bin"), dir.file("self.obj"));
    const Bytes file = ReadFileBytes(dir.file("level.bin"));
    bin.Blocks[0].Name = "self.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_EQ(ReadFileBytes(dir.file("level.bin")), file);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"! " + dir.file("self.obj") +
                                                ": the output would replace its own source file, not written."});
}

TEST_F(ActorLoader, BoneRecordsAreTracedAndSkipped)
{
    MeshSpec s = ActorMesh();
    BoneSpec bone;
    bone.matrix[12] = 1234567;
    bone.matrix[13] = -0.5f;
    bone.values = {1.5f, 0.0001234567f};
    s.bones = {bone};
    s.uvs = {{0.5f, 0.25f}};
    s.hasColours = 1; // no colour section in this layout: the UV table follows the vertices
    Load({{0x700, ActorData(s)}});
    bin.LoadActorGeometry(0, false, Identity(), false);
    ASSERT_EQ(Memo2().size(), 7u + 1 + 4 + 2 + 2);
    EXPECT_EQ(Memo2()[7], "Block 0");
    EXPECT_EQ(Memo2()[8], "Matrix line 1 : 1.000000 0.000000 0.000000 0.000000");
    EXPECT_EQ(Memo2()[11], "Matrix line 4 : 1.23457E6 -0.500000 0.000000 1.000000");
    EXPECT_EQ(Memo2()[12], "Value 0 : 1.500000");
    EXPECT_EQ(Memo2()[13], "Value 1 : 0.000123");
    EXPECT_EQ(Memo2()[14], "Position : 136");
    EXPECT_EQ(Memo2()[15], "Position : 176");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(world.UVs[0].u, 0.5f);
    EXPECT_EQ(world.UVs[0].v, 0.25f);
    // Without Reset nothing is exported.
    EXPECT_FALSE(std::filesystem::exists(dir.file(".obj")));
}

TEST_F(ActorLoader, UnknownBoneKindAsksAndGoesOn)
{
    MeshSpec s = ActorMesh();
    BoneSpec bone;
    bone.stb = 3;
    bone.values = {2};
    s.bones = {bone, BoneSpec{}};
    Load({{0x700, ActorData(s)}});
    bin.LoadActorGeometry(0, false, Identity(), false);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Contact the author! ActorStB=3"});
    EXPECT_EQ(Memo2()[13], "Block 1");
    EXPECT_TRUE(world.Loaded);
}

TEST_F(ActorLoader, AnyPositiveNormalFlagSkipsNormals)
{
    MeshSpec s = ActorMesh();
    s.hasNormals = 2;
    s.uvs = {{0.75f, 0.5f}};
    Load({{0x700, ActorData(s)}});
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_EQ(world.UVs[0].u, 0.75f);
    EXPECT_TRUE(world.Loaded);
}

TEST_F(ActorLoader, PlainLoaderHandsOverAndEmptiesTheWorld)
{
    MeshSpec plain = StripMesh(2);
    MeshSpec actor = ActorMesh(1, 50);
    Load({{0x10, MeshData(plain)}, {0x0001A2B3, ActorData(actor)}});
    bin.LoadGeometry(0, false, Identity(), false);
    bin.LoadGeometry(1, false, Identity(), false);
    EXPECT_EQ(Memo3(), (std::vector<std::string>{"Switching to actor extraction mode!",
                                                 "All previous 3D data will NOT be exported!"}));
    EXPECT_EQ(world.ModelCount, 1u);
    EXPECT_EQ(world.Vertices[0].x, 50);
    // The plain loader named the block first: the actor loader sees a named block.
    EXPECT_EQ(Memo2()[0], "Filename      : " + dir.file("level.bin") + "_0001A2B3");
    EXPECT_TRUE(std::filesystem::exists(dir.file("level.bin_0001.obj")));
}

TEST_F(ActorLoader, PlainMeshAndOtherTypes)
{
    MeshSpec plain = StripMesh(1);
    MeshSpec other = StripMesh(1);
    other.type = 5;
    Load({{0x10, MeshData(plain)}, {0x11, MeshData(other)}});
    bin.Blocks[0].Name = "rock.gao";
    bin.Blocks[1].Name = "crate.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Unexpected code for rock"});
    bin.LoadActorGeometry(1, false, Identity(), true);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Contact the author! crate.gao multiple datablocks?"});
    // The box names the block in full, however long its name.
    const std::string longName = std::string(3000, 'c') + ".gao";
    bin.Blocks[1].Name = longName;
    bin.LoadActorGeometry(1, false, Identity(), true);
    EXPECT_EQ(ui.messages.back(), "Contact the author! " + longName + " multiple datablocks?");
    // A bad index still empties the trace box.
    Memo2().push_back("old");
    bin.LoadActorGeometry(9, false, Identity(), true);
    EXPECT_TRUE(Memo2().empty());
    EXPECT_EQ(Memo3().back(), "No data.");

    // A list naming a list 229 times that names a block of type 2 229 times: within one command five of these
    // boxes are shown and the rest reported in one more.
    other.type = 2;
    Load({{0x900, ListData(std::vector<uint32_t>(229, 0x901))},
          {0x901, ListData(std::vector<uint32_t>(229, 0x12))},
          {0x12, MeshData(other)}});
    ui.messages.clear();
    {
        const TCommandScope command(ui);
        bin.LoadActorGeometry(0, false, Identity(), true);
        EXPECT_EQ(ui.messages.size(), 5u);
    }
    ASSERT_EQ(ui.messages.size(), 6u);
    EXPECT_EQ(ui.messages[5].substr(0, ui.messages[0].size() + 9), ui.messages[0] + "\n... and ");
    EXPECT_TRUE(ui.messages[5].ends_with(" more such messages"));
}

TEST_F(ActorLoader, MultiBlockListAppendsPartsAndExportsOnce)
{
    Load({{0x900, ListData({0xA1, 0xA2, 0xA3})},
          {0xA1, ActorData(ActorMesh(1, 0))},
          {0xA2, ActorData(ActorMesh(2, 10))},
          {0xA3, ActorData(ActorMesh(1, 20))}});
    bin.Blocks[0].Name = "body.gao";
    bin.Blocks[1].Name = "head.gao";
    bin.Blocks[2].Name = "arm.gao";
    bin.Blocks[3].Name = "leg.gao";
    bin.LoadGeometry(0, false, Identity(), true); // the plain loader refuses the list type
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Unknown data"});
    world.Clear();
    AddModel(world, {0, 0, 0}, {}, "stale");
    bin.LoadActorGeometry(0, false, Identity(), true);
    ASSERT_EQ(world.ModelCount, 3u);
    EXPECT_EQ(world.Models[0].Name, "head0");
    EXPECT_EQ(world.Models[1].Name, "arm1");
    EXPECT_EQ(world.Models[2].Name, "leg2");
    EXPECT_EQ(world.Models[2].Triangles[0].VertexIndex[0], 7u);
    EXPECT_EQ(Memo2()[0], "Filename      : leg.gao");
    EXPECT_EQ(Memo2()[1], "Vertices      : 10");
    // One export, named after the list block.
    EXPECT_TRUE(std::filesystem::exists(dir.file("body.obj")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("head.obj")));
    const ImportedModel im = ImportModel(dir.file("body.obj"));
    ASSERT_TRUE(im.ok) << im.error;
    EXPECT_EQ(im.faces, 4u);
    EXPECT_EQ(im.corners.back().x, 22);

    // The list's export never replaces the bin file, here reached through a hard link named like it.
    std::filesystem::create_hard_link(dir.file("level.bin"), dir.file("self.obj"));
    const Bytes file = ReadFileBytes(dir.file("level.bin"));
    bin.Blocks[0].Name = "self.gao";
    Memo3().clear();
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_EQ(ReadFileBytes(dir.file("level.bin")), file);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"! " + dir.file("self.obj") +
                                                ": the output would replace its own source file, not written."});
}

// The lines that say what a bound of a list load skipped.
std::string Skipped(uint64_t n, const std::string& what, const std::string& why)
{
    return "! Multiblock list: " + std::to_string(n) + " " + what + (n == 1 ? "" : "s") + " skipped, " + why;
}
const std::string kCycle = "a list that contains itself is not entered again";
const std::string kDepth = "parts lie no more than 64 lists deep";
const std::string kParts = "the file names its blocks again beyond what its size allows";
const std::string kExports = "the exports' models would add up to more than 64 times the file's size";

// What the parts of a load may cost: 16 times the file's size and 1 MiB.
uint64_t PartBudget(TBinFile& bin) { return 16 * static_cast<uint64_t>(bin.Stream.Size()) + (1u << 20); }

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

size_t FaceLines(const std::string& path)
{
    std::ifstream in(path);
    size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.rfind("f ", 0) == 0;
    return n;
}

TEST_F(ActorLoader, ListWithMissingOrLoopingKeys)
{
    Load({{0x900, ListData({0xA1, 0xBAD, 0x900, 0x901, 0xA2})},
          {0x901, ListData({0x900, 0xA1})},
          {0xA1, ActorData(ActorMesh(1, 0))},
          {0xA2, ActorData(ActorMesh(1, 5))}});
    bin.Blocks[0].Name = "all.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    // 0xBAD names no block; the list naming itself (directly and through 0x901) is not entered again, one line
    // for both; a mesh named again loads again.
    EXPECT_EQ(Memo3(), (std::vector<std::string>{"Multiblock error?", Skipped(2, "list", kCycle)}));
    EXPECT_EQ(world.ModelCount, 3u);
    EXPECT_TRUE(std::filesystem::exists(dir.file("all.obj")));

    // A list naming 40 times a list of 20,000 keys that name no block: each line costs from the parts' budget,
    // and the keys past it are counted in one line.
    std::vector<uint32_t> missing(20000);
    for (uint32_t i = 0; i < missing.size(); ++i)
        missing[i] = 0x100000 + i;
    Load({{0x900, ListData(std::vector<uint32_t>(40, 0x901))}, {0x901, ListData(missing)}});
    bin.LoadActorGeometry(0, false, Identity(), true);
    const int64_t listBytes = 12 + bin.Blocks[1].Size, lineCost = 64;
    uint64_t lines = 0, notLogged = 0, lists = 0;
    for (int64_t left = static_cast<int64_t>(PartBudget(bin)), i = 0; i < 40 && left >= listBytes; ++i, ++lists) {
        left -= listBytes;
        for (size_t k = 0; k < missing.size(); ++k)
            left >= lineCost ? (left -= lineCost, ++lines) : ++notLogged;
    }
    ASSERT_GT(notLogged, 0u);
    ASSERT_LT(lists, 40u);
    ASSERT_EQ(Memo3().size(), lines + 2);
    EXPECT_EQ(std::count(Memo3().begin(), Memo3().end(), "Multiblock error?"), static_cast<long>(lines));
    EXPECT_EQ(Memo3()[lines], Skipped(40 - lists, "part", kParts));
    EXPECT_EQ(Memo3()[lines + 1], "! Multiblock list: " + std::to_string(notLogged) +
                                      " missing keys not logged, the file names missing blocks beyond what its size "
                                      "allows");
}

TEST_F(ActorLoader, ListsNamedAgainLoadAgain)
{
    // An inner list named twice loads twice, as a mesh named twice does.
    Load({{0x900, ListData({0x901, 0x901})},
          {0x901, ListData({0xA1, 0xA2})},
          {0xA1, ActorData(ActorMesh(1, 0))},
          {0xA2, ActorData(ActorMesh(2, 10))}});
    bin.Blocks[0].Name = "twice.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.VertexCount, 2u * (3 + 4));
    EXPECT_EQ(world.ModelCount, 4u);
    const ImportedModel im = ImportModel(dir.file("twice.obj"));
    ASSERT_TRUE(im.ok) << im.error;
    EXPECT_EQ(im.faces, 6u);

    // List i names list i + 1 twice; the innermost names a mesh: 2^20 meshes named. The parts stop when they
    // have cost the file's bytes and an allowance, the inner exports when theirs is spent; one line for each.
    std::vector<BinBlockSpec> blocks;
    for (uint32_t i = 0; i < 20; ++i)
        blocks.push_back({0x900 + i, ListData({0x900 + i + 1, 0x900 + i + 1})});
    blocks.push_back({0x900 + 20, ActorData(ActorMesh(1, 0))});
    Load(blocks);
    bin.Blocks[0].Name = "chain.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    ASSERT_EQ(Memo3().size(), 2u);
    EXPECT_EQ(Memo3()[0].rfind("! Multiblock list: ", 0), 0u);
    EXPECT_TRUE(EndsWith(Memo3()[0], " parts skipped, " + kParts)) << Memo3()[0];
    EXPECT_TRUE(EndsWith(Memo3()[1], " inner exports skipped, " + kExports)) << Memo3()[1];
    const uint64_t meshBytes = 12 + bin.Blocks[20].Size;
    EXPECT_GT(world.ModelCount, 2u);
    EXPECT_LT(world.ModelCount, PartBudget(bin) / meshBytes);
    EXPECT_EQ(FaceLines(dir.file("chain.obj")), world.ModelCount);
}

TEST_F(ActorLoader, ListBudgetsFollowTheFileSize)
{
    // A mesh of 2000 faces named 1000 times: it loads again until the parts have cost the budget; the normals
    // are those of every part loaded.
    Load({{0x900, ListData(std::vector<uint32_t>(1000, 0xA1))}, {0xA1, ActorData(ActorMesh(2000, 0))}});
    bin.LoadActorGeometry(0, false, Identity(), true);
    uint64_t partBytes = 12 + bin.Blocks[1].Size;
    EXPECT_EQ(world.ModelCount, PartBudget(bin) / partBytes);
    EXPECT_EQ(Memo3(), std::vector<std::string>{Skipped(1000 - PartBudget(bin) / partBytes, "part", kParts)});
    EXPECT_EQ(world.Normals[world.VertexCount - 1].z, 1);

    // A small mesh named 10,000 times: each load costs the 12 bytes of its header besides its data. The file is
    // padded so that the budget is a whole number of parts: the last of them still loads.
    Bytes small = ActorData(ActorMesh(1, 0));
    small.resize(small.size() + 300 + (small.size() % 2 == 0)); // an odd part cost: some padding divides
    partBytes = 12 + small.size();
    std::vector<BinBlockSpec> padded = {{0x900, ListData(std::vector<uint32_t>(10000, 0xA1))}, {0xA1, small},
                                        {0xF00, {}}, {TerminatorKey, TerminatorData()}};
    while ((16 * ExpandedBin(padded).size() + (1u << 20)) % partBytes != 0)
        padded[2].data.push_back(0);
    padded.pop_back();
    Load(padded);
    bin.Blocks[1].Name = "mesh"; // no base name
    bin.LoadActorGeometry(0, false, Identity(), true);
    ASSERT_EQ(PartBudget(bin) % partBytes, 0u);
    ASSERT_LT(PartBudget(bin) / partBytes, 10000u);
    EXPECT_EQ(world.ModelCount, PartBudget(bin) / partBytes);
    EXPECT_EQ(Memo3(), std::vector<std::string>{Skipped(10000 - PartBudget(bin) / partBytes, "part", kParts)});

    // A mesh of 100 models, 50 of them without faces, whose name (as a Game Object may give it) is 100,000 bytes,
    // named 1,000 times: each model's name is cut, and the names of the models with faces cost from the budget
    // as well. A part enters while its bytes fit what is left, and pays for its names once loaded.
    MeshSpec many = ActorMesh(1, 0);
    many.models.assign(100, many.models[0]);
    for (size_t i = 0; i < 100; i += 2)
        many.models[i].faces.clear();
    Load({{0x900, ListData(std::vector<uint32_t>(1000, 0xA1))}, {0xA1, ActorData(many)}});
    bin.Blocks[1].Name = std::string(100000, 'n') + ".gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    partBytes = 12 + bin.Blocks[1].Size;
    uint64_t loaded = 0;
    for (int64_t left = static_cast<int64_t>(PartBudget(bin)); left >= static_cast<int64_t>(partBytes); ++loaded)
        left -= static_cast<int64_t>(partBytes + 50 * kMaxNameBytes);
    ASSERT_LT(loaded, PartBudget(bin) / partBytes / 2);
    EXPECT_EQ(world.ModelCount, 100 * loaded);
    EXPECT_EQ(Memo3(), std::vector<std::string>{Skipped(1000 - loaded, "part", kParts)});
    EXPECT_EQ(world.Models[1].Name, std::string(kMaxNameBytes, 'n') + "1");
    EXPECT_EQ(ui.Lines(MemoId::Memo2)[0], "Filename      : " + std::string(kMaxNameBytes, 'n') + "...");

    // A bone mesh named 40,000 times: each part it enters writes its "Mesh/Bone?" line, which costs from the
    // budget as well.
    Load({{0x900, ListData(std::vector<uint32_t>(40000, 0xA1))}, {0xA1, ActorData(ActorMesh(1, 0))}});
    bin.Blocks[1].Name = "B_bone.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    partBytes = 12 + bin.Blocks[1].Size;
    uint64_t bones = 0;
    for (int64_t left = static_cast<int64_t>(PartBudget(bin)); left >= static_cast<int64_t>(partBytes); ++bones)
        left -= static_cast<int64_t>(partBytes + 64);
    ASSERT_LT(bones, 40000u);
    std::vector<std::string> lines(bones, "Mesh/Bone?B_bone");
    lines.push_back(Skipped(40000 - bones, "part", kParts));
    EXPECT_EQ(Memo3(), lines);

    // A 1.7 MB mesh named 8 times directly, and twice through an inner list: every part loads (no export is
    // asked for: the format option selects none).
    ui.options[OptionId::ModelFormat] = -1;
    const Bytes large = ActorData(ActorMesh(60720, 0));
    ASSERT_GT(large.size(), 1700000u);
    Load({{0x900, ListData(std::vector<uint32_t>(8, 0xA1))}, {0xA1, large}});
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.ModelCount, 8u);
    EXPECT_EQ(world.VertexCount, 8u * 60722);
    // The same list naming 100,000 keys more that name no block: each gets its line.
    std::vector<uint32_t> keys(8, 0xA1);
    for (uint32_t i = 0; i < 100000; ++i)
        keys.push_back(0x100000 + i);
    Load({{0x900, ListData(keys)}, {0xA1, large}});
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_EQ(world.ModelCount, 8u);
    EXPECT_EQ(Memo3(), std::vector<std::string>(100000, "Multiblock error?"));
    Load({{0x900, ListData({0x901, 0x901})}, {0x901, ListData({0xA1})}, {0xA1, large}});
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_EQ(world.ModelCount, 2u);
    ui.options[OptionId::ModelFormat] = 0;

    // Ten inner lists, each naming a mesh of a tenth of a 400 KB file: the k-th inner export writes k meshes,
    // 5.5 times the file's size in all. Every inner list exports.
    std::vector<BinBlockSpec> blocks;
    std::vector<uint32_t> inner;
    for (uint32_t i = 0; i < 10; ++i)
        inner.push_back(0x800 + i);
    blocks.push_back({0x700, ListData(inner)});
    for (uint32_t i = 0; i < 10; ++i)
        blocks.push_back({0x800 + i, ListData({0xB00 + i})});
    for (uint32_t i = 0; i < 10; ++i)
        blocks.push_back({0xB00 + i, ActorData(ActorMesh(1430, 0))});
    Load(blocks);
    ASSERT_GT(bin.Stream.Size(), 400000);
    bin.Blocks[0].Name = "inner.gao";
    for (size_t i = 1; i <= 10; ++i)
        bin.Blocks[i].Name = "inner" + std::to_string(i) + ".gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    for (size_t i = 1; i <= 10; ++i)
        EXPECT_EQ(FaceLines(dir.file("inner" + std::to_string(i) + ".obj")), i * 1430) << i;
    EXPECT_EQ(FaceLines(dir.file("inner.obj")), 10u * 1430);

    // One inner list named 100 times, naming a 10 KB mesh whose model carries a 1,000-byte name: the k-th inner
    // export writes k meshes with their names, and the sum outgrows the export budget long before the parts'
    // budget is spent. An export goes ahead while what it writes fits what is left.
    Load({{0x700, ListData(std::vector<uint32_t>(100, 0x800))}, {0x800, ListData({0xB00})},
          {0xB00, ActorData(ActorMesh(360, 0))}});
    ASSERT_GT(bin.Blocks[2].Size, 10000u);
    bin.Blocks[1].Name = "again.gao";
    bin.Blocks[2].Name = std::string(1000, 'm') + ".gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_EQ(world.ModelCount, 100u);
    uint64_t skippedExports = 0;
    int64_t left = 64 * bin.Stream.Size() + (1 << 20);
    for (int64_t k = 1; k <= 100; ++k) {
        const int64_t cost = 4096 + k * (bin.Blocks[2].Size + 1000);
        cost > left ? ++skippedExports : left -= cost;
    }
    ASSERT_GT(skippedExports, 0u);
    EXPECT_EQ(Memo3(), std::vector<std::string>{Skipped(skippedExports, "inner export", kExports)});
}

TEST_F(ActorLoader, DeeplyNestedListsStop)
{
    // List i names list i + 1; the innermost names a mesh, which lies as many lists deep as there are lists.
    for (uint32_t depth : {64u, 65u, 100u}) {
        std::vector<BinBlockSpec> blocks;
        for (uint32_t i = 0; i < depth; ++i)
            blocks.push_back({0x900 + i, ListData({0x900 + i + 1})});
        blocks.push_back({0x900 + depth, ActorData(ActorMesh(1, 0))});
        Load(blocks);
        bin.LoadActorGeometry(0, false, Identity(), true);
        if (depth == 64) {
            EXPECT_TRUE(Memo3().empty()) << Memo3()[0];
            EXPECT_EQ(world.ModelCount, 1u);
        } else {
            EXPECT_EQ(Memo3(), std::vector<std::string>{Skipped(1, "part", kDepth)}) << depth;
            EXPECT_EQ(world.ModelCount, 0u) << depth;
        }
    }
}

TEST_F(ActorLoader, EmptyListExportsTheWorldAsItIs)
{
    Bytes list = ListData({});
    SetU32(list, 8, 0x7FFFFFFF); // a count far beyond the block: the terminator after it holds no keys of it
    Load({{0x900, list}});
    bin.Blocks[0].Name = "none.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_TRUE(Memo3().empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(world.ModelCount, 0u);
    EXPECT_TRUE(std::filesystem::exists(dir.file("none.obj")));
}

TEST_F(ActorLoader, TruncatedBoneRecordsEndTheLoad)
{
    MeshSpec s = ActorMesh();
    BoneSpec bone;
    bone.values = {1, 2};
    s.bones = {bone};
    Bytes data = ActorData(s);
    SetU32(data, 42, 0x0000FFFF); // A2 = 65535 (and A1's neighbour bytes untouched)
    data[40] = 0, data[41] = 0;
    data.resize(44 + 72 + 8);
    Load({{0x700, data}}, "cut.bin", false);
    bin.Blocks[0].Name = "cut.gao";
    bin.LoadActorGeometry(0, false, Identity(), true);
    EXPECT_EQ(Memo3(), std::vector<std::string>{"Something went wrong for cut"});
    EXPECT_EQ(world.ModelCount, 0u);
    EXPECT_LT(Memo2().size(), 30u);
}

} // namespace
