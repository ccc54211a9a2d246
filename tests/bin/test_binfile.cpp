#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "bin/TBinFile.h"
#include "platform/Frontend.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

struct Loaded {
    TempDir dir;
    MemoryFrontend front;
    TBinFile bin{front};

    bool Load(const Bytes& bytes, const std::string& name = "level.binexpanded")
    {
        WriteFileBytes(dir.file(name), bytes);
        return bin.LoadFromFile(dir.file(name));
    }
    std::vector<std::string> List()
    {
        TListLines l;
        bin.FillList(l);
        std::vector<std::string> out;
        for (int i = 0; i < l.Count(); ++i)
            out.emplace_back(l.Line(i));
        return out;
    }
};

std::vector<BinBlockSpec> ThreeBlocks()
{
    return {{0xA1, GeometryData(20)}, {0xA2, TexturePackData({1, 2})}, {0x0FF7C0DE, TerminatorData()}};
}

} // namespace

// ---------------------------------------------------------------- loading

TEST(BinLoad, ExpandedFileEndingWithTerminator)
{
    Loaded t;
    Bytes f = ExpandedBin(ThreeBlocks());
    const size_t fileEnd = f.size();
    AppendBlock(f, {0xB1, GeometryData(8)}); // after the terminator: not read
    ASSERT_TRUE(t.Load(f));
    ASSERT_EQ(t.bin.Count, 3);
    ASSERT_EQ(t.bin.Blocks.size(), 3u);
    EXPECT_EQ(t.bin.Blocks[0].Offset, 0);
    EXPECT_EQ(t.bin.Blocks[1].Offset, 32);
    EXPECT_EQ(t.bin.Blocks[2].Key, TerminatorKey);
    EXPECT_EQ(t.bin.Blocks[2].Offset + 16, static_cast<int32_t>(fileEnd));
    EXPECT_EQ(t.bin.Blocks[1].Size, 20u);
    EXPECT_EQ(t.bin.Blocks[1].Marker, BlockMarker);
    EXPECT_EQ(t.bin.FileType, "3D object data");
    EXPECT_TRUE(t.front.Lines(MemoId::Memo3).empty());
    EXPECT_EQ(t.bin.Stream.Size(), static_cast<int64_t>(f.size()));
    EXPECT_GE(t.front.processCount, 1);
}

TEST(BinLoad, CompressedFileIsExpandedInMemory)
{
    Loaded t;
    const Bytes expanded = ExpandedBin(EveryKindBlocks());
    ASSERT_TRUE(t.Load(CompressBin(expanded, 512), "level.bin"));
    EXPECT_EQ(t.bin.Count, static_cast<int32_t>(EveryKindBlocks().size()));
    EXPECT_EQ(t.bin.FileName, t.dir.file("level.bin"));
    EXPECT_EQ(t.bin.Stream.Bytes(), expanded);
    EXPECT_EQ(t.bin.FileType, ".wow - Level One");
    // Nothing written next to it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.dir.path()), {}), 1);
}

TEST(BinLoad, NotABinFileLeavesTheContainerEmpty)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin(ThreeBlocks())));
    for (const Bytes& bad : {Bytes{}, Bytes{1, 2, 3}, Bytes(100, 0x55)}) {
        EXPECT_FALSE(t.Load(bad, "bad.bin"));
        EXPECT_EQ(t.bin.Count, 0);
        EXPECT_TRUE(t.bin.Blocks.empty());
        EXPECT_EQ(t.bin.Stream.Size(), 0);
        EXPECT_EQ(t.bin.FileName, t.dir.file("bad.bin"));
        EXPECT_EQ(t.bin.FindKey(0xA1), -1);
    }
    // Expansion succeeds but the expanded bytes are no block stream.
    EXPECT_FALSE(t.Load(CompressBin(Bytes(64, 0x21)), "bad.bin"));
    EXPECT_EQ(t.bin.Count, 0);
}

TEST(BinLoad, MissingFileIsAStreamErrorAndEmptiesTheContainer)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin(ThreeBlocks())));
    EXPECT_THROW(t.bin.LoadFromFile(t.dir.file("missing.bin")), EStreamError);
    EXPECT_EQ(t.bin.Count, 0);
    EXPECT_TRUE(t.bin.Blocks.empty());
}

TEST(BinLoad, NoTerminatorIsLoggedAfterTheLoadHook)
{
    Loaded t;
    auto blocks = ThreeBlocks();
    blocks.pop_back();
    int hookCalls = 0;
    t.bin.OnLoaded = [&] {
        ++hookCalls;
        t.front.AppendLine(MemoId::Memo3, "packs");
    };
    ASSERT_TRUE(t.Load(ExpandedBin(blocks)));
    EXPECT_EQ(t.bin.Count, 2);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(t.front.Lines(MemoId::Memo3), (std::vector<std::string>{"packs", "! No terminator!"}));
    // A failed load runs no hook.
    EXPECT_FALSE(t.Load(Bytes(10, 1), "x.bin"));
    EXPECT_EQ(hookCalls, 1);
}

TEST(BinLoad, GarbageBetweenBlocksIsSteppedOver)
{
    Loaded t;
    Bytes f;
    AppendBlock(f, {0xA1, GeometryData(20)});
    const size_t garbageAt = f.size();
    f.insert(f.end(), {1, 2, 3, 4, 5, 6, 7});
    AppendBlock(f, {0xA2, TexturePackData({5})});
    AppendBlock(f, {TerminatorKey, TerminatorData()});
    ASSERT_TRUE(t.Load(f));
    ASSERT_EQ(t.bin.Count, 3);
    EXPECT_EQ(t.bin.Blocks[1].Offset, static_cast<int32_t>(garbageAt + 7));
    EXPECT_EQ(t.bin.Blocks[1].Key, 0xA2u);
    EXPECT_EQ(t.bin.Blocks[1].DataCount, t.bin.Blocks[1].Size);
    EXPECT_EQ(t.bin.GetDWord(1, 12), 5u);
    EXPECT_EQ(t.bin.Blocks[2].Key, TerminatorKey);
}

TEST(BinLoad, TrailingBytesWithoutMarkerMakeOneDatalessEntry)
{
    Loaded t;
    auto blocks = ThreeBlocks();
    blocks.pop_back();
    Bytes f = ExpandedBin(blocks);
    const size_t tail = f.size();
    f.insert(f.end(), {0x10, 0x20, 0x30, 0x40, 0x50});
    ASSERT_TRUE(t.Load(f));
    ASSERT_EQ(t.bin.Count, 3);
    const coffeeblock& b = t.bin.Blocks[2];
    EXPECT_EQ(b.Offset, static_cast<int32_t>(tail + 1));
    EXPECT_EQ(b.Size, 0x40302010u);
    EXPECT_EQ(b.Marker, 0x50u);
    EXPECT_EQ(b.Key, 0u);
    EXPECT_EQ(b.DataCount, 0u);
    EXPECT_EQ(t.bin.GetDWord(2, 0), 0u);
    EXPECT_EQ(t.bin.Readable(2), 0u);
    EXPECT_EQ(t.front.Lines(MemoId::Memo3).back(), "! No terminator!");
}

TEST(BinLoad, LongGarbageRunWithoutMarkerStopsAtTheLastWindow)
{
    Loaded t;
    Bytes f;
    AppendBlock(f, {0xA1, GeometryData(8)});
    const size_t at = f.size();
    for (int i = 0; i < 40; ++i)
        f.push_back(static_cast<uint8_t>(i + 1));
    ASSERT_TRUE(t.Load(f));
    ASSERT_EQ(t.bin.Count, 2);
    const coffeeblock& b = t.bin.Blocks[1];
    // The last window starts 12 bytes before the end; the entry's offset is one past it.
    EXPECT_EQ(b.Offset, static_cast<int32_t>(f.size() - 12 + 1));
    EXPECT_EQ(b.Size, 0x201F1E1Du);
    EXPECT_EQ(b.Key, 0x28272625u);
    EXPECT_EQ(b.DataCount, 0u);
    EXPECT_GT(b.Offset, static_cast<int32_t>(at));
}

TEST(BinLoad, HeaderFoundAtTheVeryEndHasNoData)
{
    Loaded t;
    Bytes f;
    AppendBlock(f, {0xA1, GeometryData(8)});
    f.insert(f.end(), {9, 9, 9});
    PutU32(f, 100); // Size
    PutU32(f, BlockMarker);
    PutU32(f, 0xC3);
    ASSERT_TRUE(t.Load(f));
    ASSERT_EQ(t.bin.Count, 2);
    // Found in the last window: the entry starts at the header itself, not one past the window.
    EXPECT_EQ(t.bin.Blocks[1].Offset, static_cast<int32_t>(f.size() - 12));
    EXPECT_EQ(t.bin.Blocks[1].Key, 0xC3u);
    EXPECT_EQ(t.bin.Blocks[1].Size, 100u);
    EXPECT_EQ(t.bin.Blocks[1].DataCount, 0u);
}

TEST(BinLoad, LastBlockCutShortKeepsItsSizeWithZeros)
{
    Loaded t;
    Bytes f;
    AppendBlock(f, {0xA1, GeometryData(8)});
    PutU32(f, 0x7FFFFFF0); // far more than the file holds: nothing is allocated for it
    PutU32(f, BlockMarker);
    PutU32(f, 0xA2);
    f.insert(f.end(), {0x2E, 0x67, 0x61, 0x6F, 7, 0, 0, 0});
    ASSERT_TRUE(t.Load(f));
    ASSERT_EQ(t.bin.Count, 2);
    EXPECT_EQ(t.bin.Blocks[1].DataCount, 0x7FFFFFF0u);
    EXPECT_EQ(t.bin.GetDWord(1, 4), 7u);
    EXPECT_EQ(t.bin.GetDWord(1, 8), 0u);
    EXPECT_EQ(t.bin.GetDWord(1, 0x7FFFFFF0 - 4), 0u);
    EXPECT_EQ(t.bin.BlockTypeName(1), "Game Object");
    // The name length reads 0 beyond the stream: an empty name, no giant string.
    EXPECT_EQ(t.bin.GameObjectName(1), "");
}

TEST(BinLoad, SecondLoadLeavesNothingBehind)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin(EveryKindBlocks())));
    t.bin.Blocks[1].Name = "named";
    ASSERT_TRUE(t.Load(ExpandedBin(ThreeBlocks()), "other.binexpanded"));
    ASSERT_EQ(t.bin.Count, 3);
    for (const auto& b : t.bin.Blocks)
        EXPECT_TRUE(b.Name.empty());
    EXPECT_EQ(t.bin.FindKey(0x1006), -1);
    EXPECT_EQ(t.bin.FindKey(0xA2), 1);
}

TEST(BinLoad, FileTypeIsNamedWhileBlockZeroIsAlone)
{
    Loaded t;
    // Block 0 starts with the key of block 1, little-endian.
    std::vector<BinBlockSpec> blocks{{0x50, {0x51, 0, 0, 0, 1, 2}}, {0x51, GeometryData()}, {TerminatorKey, TerminatorData()}};
    ASSERT_TRUE(t.Load(ExpandedBin(blocks)));
    EXPECT_EQ(t.bin.FileType, "Unknown type 00000051");
    EXPECT_EQ(t.bin.BlockTypeName(0), "Refers to 00000051");
}

TEST(BinLoad, ReadDWordAndSingleAtTheEnd)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin(ThreeBlocks())));
    t.bin.Stream.SetPosition(4);
    EXPECT_EQ(t.bin.ReadDWord(), BlockMarker);
    EXPECT_EQ(t.bin.Stream.Position(), 8);
    Bytes f = t.bin.Stream.Bytes();
    t.bin.Stream.SetPosition(static_cast<int64_t>(f.size()) - 2);
    EXPECT_EQ(t.bin.ReadDWord(), 0x0FF7u); // the two bytes there, the rest 0
    EXPECT_EQ(t.bin.ReadSingle(), 0.0f);
}

// ---------------------------------------------------------------- accessors

TEST(BinAccess, ReadsStopAtTheBlockBounds)
{
    Loaded t;
    Bytes d;
    for (int i = 0; i < 25; ++i)
        d.push_back(static_cast<uint8_t>(0x41 + i));
    Bytes d24(d.begin(), d.end() - 1);
    ASSERT_TRUE(t.Load(ExpandedBin({{1, d}, {2, d24}, {TerminatorKey, TerminatorData()}})));
    const int32_t size = 25;
    EXPECT_EQ(t.bin.GetDWord(0, size - 4), 0x59585756u);
    EXPECT_EQ(t.bin.GetDWord(0, size - 3), 0u);
    EXPECT_EQ(t.bin.GetDWord(0, -1), 0u);
    EXPECT_EQ(t.bin.GetWord(0, size - 2), 0x5958u);
    EXPECT_EQ(t.bin.GetWord(0, size - 1), 0u);
    EXPECT_EQ(t.bin.GetSingle(0, size - 2), 0.0f);
    EXPECT_EQ(t.bin.GetTag(0, 0), 0x41424344u);
    EXPECT_EQ(t.bin.GetTag(0, size - 3), 0u);
    EXPECT_EQ(t.bin.GetString(0, 20, 4), "UVWXY");
    EXPECT_EQ(t.bin.GetString(1, 20, 4), "");
    EXPECT_EQ(t.bin.GetString(0, 20, -1), "");
    EXPECT_EQ(t.bin.GetString(0, 0, 0), "A");
    // The next block's bytes are never read.
    EXPECT_EQ(t.bin.GetDWord(1, 21), 0u);
    // Indexes outside the table.
    EXPECT_EQ(t.bin.GetDWord(-1, 0), 0u);
    EXPECT_EQ(t.bin.GetDWord(3, 0), 0u);
    EXPECT_EQ(t.bin.GetString(7, 0, 1), "");
}

TEST(BinAccess, StringsKeepZeroBytes)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin({{1, {'a', 0, 'b', 0}}, {TerminatorKey, TerminatorData()}})));
    EXPECT_EQ(t.bin.GetString(0, 0, 3), std::string("a\0b\0", 4));
    EXPECT_EQ(t.bin.GetText(0, 0, 3), "a");
    EXPECT_EQ(t.bin.GetSingle(0, 0), 0.0f + [] {
        float f;
        uint32_t u = 0x00620061;
        std::memcpy(&f, &u, 4);
        return f;
    }());
}

TEST(BinAccess, FindKeyGivesTheFirstBlockInFileOrder)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin({{7, GeometryData()}, {9, GeometryData()}, {7, GeometryData()}, {TerminatorKey, TerminatorData()}})));
    EXPECT_EQ(t.bin.FindKey(7), 0);
    EXPECT_EQ(t.bin.FindKeyFrom(7, 1), 2);
    EXPECT_EQ(t.bin.FindKeyFrom(7, 3), -1);
    EXPECT_EQ(t.bin.FindKeyFrom(7, t.bin.Count), -1);
    EXPECT_EQ(t.bin.FindKeyFrom(9, 0), 1);
    EXPECT_EQ(t.bin.FindKey(8), -1);
    // Blocks changed by hand are seen by the look-up.
    t.bin.Blocks.push_back({});
    t.bin.Blocks.back().Key = 8;
    t.bin.Count = 5;
    EXPECT_EQ(t.bin.FindKey(8), 4);
    t.bin.Clear();
    EXPECT_EQ(t.bin.FindKey(7), -1);
}

TEST(BinAccess, FindKeyOverManyBlocksWithRepeats)
{
    Loaded t;
    std::vector<BinBlockSpec> blocks;
    for (uint32_t i = 0; i < 5000; ++i)
        blocks.push_back({i % 1700, {1, 0, 0, 0}});
    blocks.push_back({TerminatorKey, TerminatorData()});
    ASSERT_TRUE(t.Load(ExpandedBin(blocks)));
    for (uint32_t k = 0; k < 1700; k += 37)
        EXPECT_EQ(t.bin.FindKey(k), static_cast<int32_t>(k));
    EXPECT_EQ(t.bin.FindKeyFrom(5, 6), 1705);
    EXPECT_EQ(t.bin.FindKey(TerminatorKey), 5000);
}

// ---------------------------------------------------------------- names and list

TEST(BinNames, EveryKindOfBlock)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin(EveryKindBlocks())));
    const std::vector<std::string> names = {".wow - Level One", "3D object data", "Texture pack", "Texture information",
        "Texture data", "Palette", "Game Object", ".wol", ".wol header", "Empty", "Unknown data",
        "Refers to 00001001", "Unknown type 44556677", "Terminator"};
    ASSERT_EQ(t.bin.Count, static_cast<int32_t>(names.size()));
    for (int i = 0; i < t.bin.Count; ++i)
        EXPECT_EQ(t.bin.BlockTypeName(i), names[static_cast<size_t>(i)]) << i;
}

TEST(BinNames, EdgeCasesOfTheTypeTests)
{
    Loaded t;
    Bytes texSmall = TextureData(1, 1);
    texSmall.resize(60); // sign present but Size not above 60
    Bytes wowNoZero = WowData("");
    for (int i = 12; i < 73; ++i)
        wowNoZero[static_cast<size_t>(i)] = 'x';
    Bytes wowShort = WowData("Short");
    wowShort.resize(72);
    ASSERT_TRUE(t.Load(ExpandedBin({
        {0x10, {1, 2}},          // two bytes: v = 0, no block has key 0
        {0x11, {4, 0, 0, 0}},    // pack tag, bytes 4..7 unreadable
        {0x12, texSmall},
        {0x13, wowNoZero},
        {0x14, wowShort},
        {0x15, {0x10, 0, 0, 0}}, // refers to block 0
        {TerminatorKey, {}},     // terminator key but empty
    })));
    EXPECT_EQ(t.bin.BlockTypeName(0), "Unknown type 00000000");
    EXPECT_EQ(t.bin.BlockTypeName(1), "Texture pack");
    EXPECT_EQ(t.bin.BlockTypeName(2), "Unknown type 00000003");
    EXPECT_EQ(t.bin.BlockTypeName(3), ".wow - ");
    EXPECT_EQ(t.bin.BlockTypeName(4), ".wow - ");
    EXPECT_EQ(t.bin.BlockTypeName(5), "Refers to 00000010");
    EXPECT_EQ(t.bin.BlockTypeName(6), "Empty");
}

TEST(BinList, LineFormat)
{
    Loaded t;
    Bytes f;
    // Pad so that the terminator sits at offset 123456.
    AppendBlock(f, {0x00A1B2C3, GeometryData(123456 - 12 - 12 - 30)});
    AppendBlock(f, {0x2, Bytes(30, 0)});
    ASSERT_EQ(f.size(), 123456u);
    AppendBlock(f, {TerminatorKey, TerminatorData()});
    ASSERT_TRUE(t.Load(f));
    const auto lines = t.List();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "00A1B2C3 (0) - 3D object data");
    EXPECT_EQ(lines[2], "0FF7C0DE (123456) - Terminator");
}

TEST(BinList, GameObjectLinesCarryTheName)
{
    Loaded t;
    GameObjectSpec go;
    go.name = "Chair\xE9";
    Bytes exact = GameObjectData(go); // L + 1 bytes at 20 fit
    Bytes cut;
    cut.assign(exact.begin(), exact.begin() + 20 + 6); // L = 7: 8 bytes needed, 6 present
    // L = 4 counts the name's terminator: "rock" is read, the byte after it is not, even when it is no zero.
    go.name = "rockX";
    Bytes unterminated = GameObjectData(go);
    unterminated[16] = 4;
    ASSERT_TRUE(t.Load(ExpandedBin(
        {{0x31, exact}, {0x32, cut}, {0x33, unterminated}, {TerminatorKey, TerminatorData()}})));
    const auto lines = t.List();
    EXPECT_EQ(lines[0], "00000031 (0) - Game Object - Chair\xC3\xA9");
    EXPECT_EQ(lines[1].substr(lines[1].find(')')), ") - Game Object - ");
    EXPECT_EQ(t.bin.GameObjectName(0), "Chair\xE9");
    EXPECT_EQ(t.bin.GameObjectName(1), "");
    EXPECT_EQ(t.bin.GameObjectName(2), "rock");
}

// ---------------------------------------------------------------- dumps

TEST(BinDump, UnnamedBlockGoesNextToTheBinFile)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin({{0x3A000012, GeometryData(30)}, {TerminatorKey, TerminatorData()}})));
    t.bin.ExtractBlock(0);
    const Bytes dump = ReadFileBytes(t.dir.file("level_3A000012.extracted"));
    ASSERT_EQ(dump.size(), 12u + 30u);
    EXPECT_TRUE(std::equal(dump.begin(), dump.end(), t.bin.Stream.Bytes().begin()));
    // Out of the table: nothing written, no failure.
    t.bin.ExtractBlock(2);
    t.bin.ExtractBlock(-1);
}

TEST(BinDump, FileNameWithoutExtensionGetsTheSuffixAppended)
{
    Loaded t;
    ASSERT_TRUE(t.Load(ExpandedBin({{0x5, GeometryData(8)}, {TerminatorKey, TerminatorData()}}), "level"));
    t.bin.ExtractBlock(1);
    EXPECT_EQ(ReadFileBytes(t.dir.file("level_0FF7C0DE.extracted")).size(), 16u);
}

TEST(BinDump, GameObjectNamesStayInsideTheCurrentFolder)
{
    Loaded t;
    GameObjectSpec go;
    go.name = "Chair";
    GameObjectSpec evil;
    evil.name = "..\\..\\escape";
    ASSERT_TRUE(t.Load(ExpandedBin({{0x1, GameObjectData(go)}, {0x2, GameObjectData(evil)}, {TerminatorKey, TerminatorData()}})));
    // The current folder lies two levels down in the test's own folder, so the place a climbing name would
    // reach is the test's own too.
    const auto old = std::filesystem::current_path();
    const auto work = t.dir.path() / "up" / "work";
    std::filesystem::create_directories(work / "__" / "__");
    std::filesystem::current_path(work);
    t.bin.ExtractBlock(0);
    t.bin.ExtractBlock(1);
    std::filesystem::current_path(old);
    EXPECT_EQ(t.bin.Blocks[0].Name, "Chair");
    EXPECT_EQ(ReadFileBytes((work / "Chair").string()).size(), 12u + t.bin.Blocks[0].Size);
    EXPECT_FALSE(std::filesystem::exists(t.dir.path() / "escape"));
    EXPECT_TRUE(std::filesystem::exists(work / "__/__/escape"));
}

TEST(BinDump, NeverReplacesTheFileItWasLoadedFrom)
{
    // A compressed bin file whose Game Objects are named like it, like a hard link to it, and like neither.
    Loaded t;
    GameObjectSpec same, linked, other;
    same.name = "level.bin";
    linked.name = "link.bin";
    other.name = "Chair";
    const Bytes file = CompressBin(ExpandedBin(
        {{0x1, GameObjectData(same)}, {0x2, GameObjectData(linked)}, {0x3, GameObjectData(other)},
         {TerminatorKey, TerminatorData()}}));
    ASSERT_TRUE(t.Load(file, "level.bin"));
    std::filesystem::create_hard_link(t.dir.file("level.bin"), t.dir.file("link.bin"));
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(t.dir.path());
    for (int32_t i = 0; i < 3; ++i)
        t.bin.ExtractBlock(i);
    std::filesystem::current_path(old);
    EXPECT_EQ(ReadFileBytes(t.dir.file("level.bin")), file);
    EXPECT_EQ(t.front.Lines(MemoId::Memo3),
              (std::vector<std::string>{
                  "! " + t.dir.file("level.bin") + ": the output would replace its own source file, not written.",
                  "! " + t.dir.file("link.bin") + ": the output would replace its own source file, not written."}));
    // The command goes on with the next block.
    EXPECT_EQ(ReadFileBytes(t.dir.file("Chair")).size(), 12u + t.bin.Blocks[2].Size);

    // Once another file of the folder is loaded, the first is an ordinary file again: a block named like it is
    // written over it.
    t.front.memos = {};
    ASSERT_TRUE(t.Load(ExpandedBin({{0x1, GameObjectData(same)}, {TerminatorKey, TerminatorData()}}), "b.bin"));
    std::filesystem::current_path(t.dir.path());
    t.bin.ExtractBlock(0);
    std::filesystem::current_path(old);
    EXPECT_TRUE(t.front.Lines(MemoId::Memo3).empty());
    EXPECT_EQ(ReadFileBytes(t.dir.file("level.bin")).size(), 12u + t.bin.Blocks[0].Size);
}

TEST(BinDump, CutBlockIsWrittenAsFarAsTheFileHoldsIt)
{
    Loaded t;
    Bytes f;
    AppendBlock(f, {0xA1, GeometryData(8)});
    PutU32(f, 0xFFFFFFF0); // a stored size far beyond the file
    PutU32(f, BlockMarker);
    PutU32(f, 0xA2);
    f.insert(f.end(), {1, 2, 3});
    ASSERT_TRUE(t.Load(f));
    t.bin.ExtractBlock(1);
    // The header as stored, then the three data bytes the file holds.
    const Bytes dump = ReadFileBytes(t.dir.file("level_000000A2.extracted"));
    EXPECT_EQ(dump, Bytes(f.end() - 15, f.end()));
}
