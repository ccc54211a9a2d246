#include <gtest/gtest.h>

#include <filesystem>

#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/GLTextures.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

Bytes PaletteOf(uint32_t (*colour)(int))
{
    Bytes b{0x34, 0x3D, 0x01, 0x13};
    for (int i = 0; i < 256; ++i)
        PutU32(b, colour(i));
    return b;
}

Bytes Tail(const Bytes& file, size_t n) { return Bytes(file.end() - static_cast<long>(n), file.end()); }

// Counts pixels of an uploaded image and hands out names; deletions are recorded.
class RecordingTextures : public GLTextures {
public:
    uint32_t TextureFromStream(TMemoryStream& stream, bool, bool) override
    {
        images.push_back(stream.Bytes());
        return next++;
    }
    void DeleteTexture(uint32_t name) override { deleted.push_back(name); }
    std::vector<Bytes> images;
    std::vector<uint32_t> deleted;
    uint32_t next = 100;
};

class TextureBlocksTest : public ::testing::Test {
protected:
    TextureBlocksTest() : bin(fe), world(fe, &gl) { bin.WorldData = &world; }

    // Writes the blocks (terminator appended) as level.bin and loads it, texture packs included.
    void Load(std::vector<BinBlockSpec> blocks, bool terminator = true)
    {
        if (terminator)
            blocks.push_back({TerminatorKey, TerminatorData()});
        path = dir.file("level.bin");
        WriteFileBytes(path, ExpandedBin(blocks));
        bin.OnLoaded = [this] { bin.LoadTextures(); };
        ASSERT_TRUE(bin.LoadFromFile(path));
    }
    std::string Out(uint32_t key) { return dir.file("level_" + KeyText(key) + ".TGA"); }

    TempDir dir;
    std::string path;
    MemoryFrontend fe;
    RecordingTextures gl;
    TBinFile bin;
    TWorldData world;
};

} // namespace

TEST_F(TextureBlocksTest, TextureDataKeyByVersion)
{
    Load({{0x10, InfoData(0, 0xAA)},          // 0: no key
          {0x11, InfoData(4, 0xA4)},          // 1
          {0x12, InfoData(7, 0xA7)},          // 2
          {0x13, InfoData(8, 0xA8)},          // 3
          {0x14, InfoData(9, 0xA9)},          // 4: odd offset 67
          {0x15, InfoData(9, 0xA9, 70)},      // 5: too short for the key
          {0x16, InfoData(2, 0xA2)},          // 6: message
          {0x17, InfoData(50, 0xA2)},         // 7: message
          {0x18, InfoData(100, 0xA2)},        // 8: silent
          {0x19, InfoData(0xFFFFFFFF, 0xA2)}, // 9: silent
          {0x1A, InfoData(6, 0xA6)}});
    fe.messages.clear();
    EXPECT_EQ(bin.TextureDataKey(0), 0u);
    EXPECT_EQ(bin.TextureDataKey(1), 0xA4u);
    EXPECT_EQ(bin.TextureDataKey(2), 0xA7u);
    EXPECT_EQ(bin.TextureDataKey(3), 0xA8u);
    EXPECT_EQ(bin.TextureDataKey(4), 0xA9u);
    EXPECT_EQ(bin.TextureDataKey(5), 0u);
    EXPECT_EQ(bin.TextureDataKey(10), 0xA6u);
    EXPECT_TRUE(fe.messages.empty());
    EXPECT_EQ(bin.TextureDataKey(8), 0u);
    EXPECT_EQ(bin.TextureDataKey(9), 0u);
    EXPECT_TRUE(fe.messages.empty());
    EXPECT_EQ(bin.TextureDataKey(6), 0u);
    EXPECT_EQ(bin.TextureDataKey(7), 0u);
    ASSERT_EQ(fe.messages.size(), 2u);
    EXPECT_EQ(fe.messages[0], "Please contact the author with the following information : " + path + "/TD/" +
                                  std::to_string(bin.Blocks[6].Offset) + "/2");
    EXPECT_EQ(fe.messages[1].substr(fe.messages[1].size() - 3), "/50");
}

TEST_F(TextureBlocksTest, ExportsEachPixelFormat)
{
    // 2 x 2 images; rows [a b] [c d].
    const Bytes px32{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Bytes px24{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const Bytes idx{1, 2, 3, 4};
    // DXT1, one block: block rows use colour entries 0, 1, 1, 1 (white, black).
    Bytes dxt1;
    PutU16(dxt1, 0xFFFF);
    PutU16(dxt1, 0x0000);
    PutU32(dxt1, 0x55555500);
    // DXT5, one block: alpha a0 = 200 on every texel, colour row 0 white, the rest black.
    Bytes dxt5{200, 0, 0, 0, 0, 0, 0, 0};
    PutU16(dxt5, 0xFFFF);
    PutU16(dxt5, 0x0000);
    PutU32(dxt5, 0x55555500);
    auto ramp = [](int i) { return static_cast<uint32_t>(i) * 0x01000001u; };
    Load({{0xA0, TexData(1, 0, 2, 2, px32)},
          {0xA1, TexData(3, 102, 2, 2, px24)},
          {0xA2, TexData(1, 101, 2, 2, px32)},
          {0xA3, TexData(1, 1, 2, 2, idx, 0xB0)},  // palette found
          {0xA4, TexData(1, 1, 2, 2, idx, 0xBAD)}, // no such palette: raw index bytes
          {0xA5, TexData(4, 1, 2, 2, idx, 0xB0)},  // header type 4 names no palette
          {0xA6, TexData(1, 5, 2, 2, dxt1)},
          {0xA7, TexData(3, 7, 2, 2, dxt5)},
          {0xB0, PaletteOf(ramp)}});
    bin.ExtractAllTextures();
    EXPECT_TRUE(fe.messages.empty());

    const Bytes a0 = ReadFileBytes(Out(0xA0));
    EXPECT_EQ(Bytes(a0.begin(), a0.begin() + 17), (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32}));
    EXPECT_EQ(Tail(a0, 16), (Bytes{9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8}));
    const Bytes a1 = ReadFileBytes(Out(0xA1));
    EXPECT_EQ(a1[16], 24);
    EXPECT_EQ(Tail(a1, 12), (Bytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Tail(ReadFileBytes(Out(0xA2)), 16), Tail(a0, 16));
    // Paletted: rows kept, each entry low byte first.
    EXPECT_EQ(Tail(ReadFileBytes(Out(0xA3)), 16), (Bytes{1, 0, 0, 1, 2, 0, 0, 2, 3, 0, 0, 3, 4, 0, 0, 4}));
    const Bytes a4 = ReadFileBytes(Out(0xA4));
    EXPECT_EQ(a4.size(), 18u + 4u);
    EXPECT_EQ(a4[16], 8);
    EXPECT_EQ(Tail(a4, 4), (Bytes{3, 4, 1, 2}));
    EXPECT_EQ(ReadFileBytes(Out(0xA5)), a4);
    // DXT: the file's first stored row is the block's first texel row (white), then black.
    EXPECT_EQ(Tail(ReadFileBytes(Out(0xA6)), 12), (Bytes{248, 252, 248, 248, 252, 248, 0, 0, 0, 0, 0, 0}));
    const Bytes a7 = ReadFileBytes(Out(0xA7));
    EXPECT_EQ(a7[16], 32);
    EXPECT_EQ(Tail(a7, 16), (Bytes{248, 252, 248, 200, 248, 252, 248, 200, 0, 0, 0, 200, 0, 0, 0, 200}));
}

TEST_F(TextureBlocksTest, PaletteAtBlockZeroAndHeaderType20000)
{
    auto grey = [](int i) { return static_cast<uint32_t>(i) * 0x01010101u; };
    Bytes big32(64 * 32 * 4), big24(64 * 32 * 3);
    for (size_t i = 0; i < big32.size(); ++i)
        big32[i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < big24.size(); ++i)
        big24[i] = static_cast<uint8_t>(i * 7);
    Load({{0xB0, PaletteOf(grey)},
          {0xA0, TexData(1, 1, 2, 1, {5, 6}, 0xB0)},
          // Stored format 0; the block size gives 4 and 3 bytes per pixel.
          {0xA1, TexData(kType20000, 0, 64, 32, big32)},
          {0xA2, TexData(kType20000, 0, 64, 32, big24)},
          // No width: the stored format stands and nothing divides by zero.
          {0xA3, TexData(kType20000, 0, 0, 32, big24)}});
    bin.ExtractAllTextures();
    EXPECT_TRUE(fe.messages.empty());
    EXPECT_EQ(Tail(ReadFileBytes(Out(0xA0)), 2), (Bytes{5, 6})); // raw bytes, palette at block 0 ignored

    const Bytes a1 = ReadFileBytes(Out(0xA1));
    ASSERT_EQ(a1.size(), 18u + 64 * 32 * 4);
    EXPECT_EQ(a1[16], 32);
    // Last row first; pixels from data offset 54.
    EXPECT_EQ(Bytes(a1.begin() + 18, a1.begin() + 18 + 256), Bytes(big32.end() - 256, big32.end()));
    const Bytes a2 = ReadFileBytes(Out(0xA2));
    ASSERT_EQ(a2.size(), 18u + 64 * 32 * 3);
    EXPECT_EQ(a2[16], 24);
    EXPECT_EQ(Bytes(a2.end() - 192, a2.end()), Bytes(big24.begin(), big24.begin() + 192));
    EXPECT_EQ(ReadFileBytes(Out(0xA3)).size(), 18u);
}

TEST_F(TextureBlocksTest, NamesMessagesAndSkippedBlocks)
{
    Bytes sized60 = TexData(1, 0, 1, 1, {});
    sized60.resize(60);
    Load({{0xABC, TexData(1, 0, 1, 1, {1, 2, 3, 4})},
          {0xA1, TexData(2, 0, 1, 1, {1, 2, 3, 4})},  // unknown header type
          {0xA2, TexData(1, 9, 1, 1, {1, 2, 3, 4})},  // unknown pixel format
          {0xA3, sized60},                            // size 60: not texture data
          {0xA4, TexData(3, 0, 0, 7, {})},            // zero width: header only
          {0xA5, TexData(1, 1, 70000, 1, Bytes(70000))}, // too large for a TGA: reported, skipped
          {0xA6, TexData(1, 0xFFFFFFFF, 1, 1, {})}}); // format shown signed
    bin.ExtractAllTextures();
    EXPECT_TRUE(std::filesystem::exists(Out(0xABC)));
    EXPECT_FALSE(std::filesystem::exists(Out(0xA1)));
    EXPECT_FALSE(std::filesystem::exists(Out(0xA2)));
    EXPECT_FALSE(std::filesystem::exists(Out(0xA3)));
    EXPECT_EQ(ReadFileBytes(Out(0xA4)).size(), 18u);
    EXPECT_FALSE(std::filesystem::exists(Out(0xA5)));
    ASSERT_EQ(fe.messages.size(), 4u);
    EXPECT_EQ(fe.messages[0], "!!!! UNKNOWN TYPE 2 AT " + std::to_string(bin.Blocks[1].Offset));
    EXPECT_EQ(fe.messages[1], "! Unknown texture type 9 at " + std::to_string(bin.Blocks[2].Offset));
    EXPECT_EQ(fe.messages[2], "! Texture too large 70000x1 at " + std::to_string(bin.Blocks[5].Offset));
    EXPECT_EQ(fe.messages[3], "! Unknown texture type -1 at " + std::to_string(bin.Blocks[6].Offset));

    // Legacy names: the key alone, in the current directory.
    const auto here = std::filesystem::current_path();
    std::filesystem::create_directory(dir.path() / "cwd");
    std::filesystem::current_path(dir.path() / "cwd");
    fe.options[OptionId::Legacy3DSTextures] = 1;
    bin.ExportTexture(0);
    std::filesystem::current_path(here);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "cwd" / "00000ABC.TGA"));
}

TEST_F(TextureBlocksTest, PixelDataPastTheEndOfTheFileIsSkippedWithALogLine)
{
    // The last block claims 32768 x 16383 pixels of 32 bits in 80 bytes: neither uploaded nor exported. Pixels
    // may run on past their own block: 0xA1 holds 7 of its 12 bytes, the next block's header the rest.
    fe.options[OptionId::LoadTextures] = 1;
    Load({{0x20, InfoData(4, 0xA0)},
          {0xA1, TexData(1, 102, 2, 2, {1, 2, 3, 4, 5, 6, 7})},
          {0xA0, TexData(1, 0, 32768, 16383, Bytes(24, 0x55))}},
         false);
    const std::string line = "! Texture data past the end of the file at " + std::to_string(bin.Blocks[2].Offset);
    EXPECT_EQ(fe.Lines(MemoId::Memo3),
              (std::vector<std::string>{"Loading textures...", line, "1 textures loaded.", "! No terminator!"}));
    EXPECT_TRUE(gl.images.empty());
    bin.ExtractAllTextures();
    EXPECT_EQ(fe.Lines(MemoId::Memo3).back(), line);
    EXPECT_FALSE(std::filesystem::exists(Out(0xA0)));
    EXPECT_EQ(Tail(ReadFileBytes(Out(0xA1)), 12), (Bytes{7, 80, 0, 0, 0, 0x99, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(fe.messages.empty());

    // DXT data is counted in whole 4 x 4 blocks: 6 x 5 pixels need 2 x 2 blocks of 8 bytes.
    for (size_t held : {32u, 31u}) {
        std::filesystem::remove(Out(0xA2));
        Load({{0xA2, TexData(1, 5, 6, 5, Bytes(held, 0))}}, false);
        bin.ExportTexture(0);
        EXPECT_EQ(std::filesystem::exists(Out(0xA2)), held == 32) << held;
    }
}

TEST_F(TextureBlocksTest, PacksFromPackBlocksAndLoneInformationBlocks)
{
    fe.options[OptionId::LoadTextures] = 0;
    Bytes claimsFive = TexturePackData({0x10, 0x11}); // holds two entries: the other three slots get no room
    SetU32(claimsFive, 8, 5);
    Load({{0x100, TexturePackData({0x10, 0x11, 0x12})},
          {0x101, TexturePackData({0x13, 0x99, 0x10})}, // 0x99: no such block
          {0x102, TexturePackData({})},                 // count 0: no pack
          {0x103, TexturePackData(std::vector<uint32_t>(40, 0x14))}, // count above the block count: no pack
          {0x10, InfoData(4, 0xD0)},
          {0x11, InfoData(4, 0xD1)},
          {0x12, InfoData(4, 0xD2)},
          {0x13, InfoData(8, 0xD3)},
          {0x14, InfoData(4, 0xD4)}, // listed only by the rejected pack: gets its own pack
          {0x15, InfoData(0, 0)},    // version 0: keys 0
          {0xD0, TexData(1, 0, 1, 1, {1, 2, 3, 4})},
          {0x104, claimsFive}});
    EXPECT_EQ(fe.Lines(MemoId::Memo3), (std::vector<std::string>{"Loading textures...", "13 textures loaded."}));
    ASSERT_EQ(world.PackCount, 5);
    ASSERT_EQ(world.Packs.size(), 5u);
    EXPECT_EQ(world.Packs[2].Count, 5);
    EXPECT_EQ(world.Packs[2].Keys, (std::vector<uint32_t>{0xD0, 0xD1}));
    EXPECT_EQ(world.Packs[2].TexIds.size(), 2u);
    EXPECT_EQ(world.Packs[0].Key, 0x100u);
    EXPECT_EQ(world.Packs[0].Keys, (std::vector<uint32_t>{0xD0, 0xD1, 0xD2}));
    EXPECT_EQ(world.Packs[1].Keys, (std::vector<uint32_t>{0xD3, 0x99, 0xD0}));
    EXPECT_EQ(world.Packs[1].Count, 3);
    EXPECT_EQ(world.Packs[3].Key, 0x14u);
    EXPECT_EQ(world.Packs[3].Count, 2);
    EXPECT_EQ(world.Packs[3].Keys, (std::vector<uint32_t>{0xD4, 0xD4}));
    EXPECT_EQ(world.Packs[4].Key, 0x15u);
    EXPECT_EQ(world.Packs[4].Keys, (std::vector<uint32_t>{0, 0}));
    for (const auto& p : world.Packs)
        for (uint32_t t : p.TexIds)
            EXPECT_EQ(t, 0u);
    EXPECT_TRUE(gl.images.empty());
    EXPECT_EQ(world.Packs[2].KeyOf(4), 0u);

    // Slots past the stored ones read key 0, which resolves like any key when a block has it.
    Load({{0x104, claimsFive}, {0, InfoData(4, 0xD2)}, {0x10, InfoData(4, 0xD0)}, {0x11, InfoData(4, 0xD1)}});
    ASSERT_EQ(world.PackCount, 1);
    EXPECT_EQ(world.Packs[0].Keys, (std::vector<uint32_t>{0xD0, 0xD1}));
    EXPECT_EQ(world.Packs[0].KeyOf(2), 0xD2u);
    EXPECT_EQ(world.Packs[0].KeyOf(4), 0xD2u);
}

TEST_F(TextureBlocksTest, UploadsFollowKeysAndRebuildDeletesOldTextures)
{
    fe.options[OptionId::LoadTextures] = 1;
    Bytes dxt1;
    PutU16(dxt1, 0xFFFF);
    PutU16(dxt1, 0x0000);
    PutU32(dxt1, 0);
    Load({{0xD9, TexData(1, 0, 1, 1, {9, 9, 9, 9})}, // block 0: never uploaded
          {0x100, TexturePackData({0x10, 0x11, 0x12, 0x13, 0x14})},
          // Slots naming a texture again share its texture; each block's message comes once.
          {0x101, TexturePackData({0x10, 0x13, 0x10, 0x16, 0x16})},
          {0x16, InfoData(2, 0xD0)},
          {0x10, InfoData(4, 0xD0)},
          {0x11, InfoData(4, 0xD1)},
          {0x12, InfoData(4, 0xD9)},
          {0x13, InfoData(4, 0xD3)},
          {0x14, InfoData(4, 0xD4)},
          {0x20, InfoData(4, 0xD5)}, // lone: two slots sharing one texture
          {0xD0, TexData(1, 1, 2, 1, {0, 255})}, // no palette: grey levels
          {0xD1, InfoData(0, 0)},                // not texture data (a lone pack of its own); the next 0xD1 is
          {0xD1, TexData(3, 0, 1, 1, {1, 2, 3, 4})},
          {0xD3, TexData(4, 0, 1, 1, {1, 2, 3, 4})}, // header type 4: refused by the upload
          {0xD4, TexData(1, 5, 4, 4, dxt1)},
          {0xD5, TexData(1, 101, 1, 1, {5, 6, 7, 8})}});
    const texturepack& p = world.Packs[0];
    EXPECT_EQ(p.TexIds, (std::vector<uint32_t>{100, 101, 0, 0, 102}));
    EXPECT_EQ(world.Packs[1].TexIds, (std::vector<uint32_t>{100, 0, 100, 0, 0}));
    EXPECT_EQ(world.Packs[2].TexIds, (std::vector<uint32_t>{103, 103}));
    ASSERT_EQ(gl.images.size(), 4u);
    // Grey ramp: index i becomes i in every byte.
    EXPECT_EQ(Tail(gl.images[0], 8), (Bytes{0, 0, 0, 0, 255, 255, 255, 255}));
    EXPECT_EQ(Tail(gl.images[1], 4), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(gl.images[2][16], 24);
    EXPECT_EQ(gl.images[2].size(), 18u + 4 * 4 * 3);
    EXPECT_EQ(Tail(gl.images[3], 4), (Bytes{5, 6, 7, 8}));
    ASSERT_EQ(fe.messages.size(), 2u);
    EXPECT_EQ(fe.messages[0], "!!!! UNKNOWN TYPE 4 AT " + std::to_string(bin.Blocks[13].Offset));
    EXPECT_EQ(fe.messages[1].rfind("Please contact the author", 0), 0u);
    EXPECT_EQ(fe.Lines(MemoId::Memo3).back(), "12 textures loaded.");

    // The same block exports fine.
    bin.ExportTexture(13);
    EXPECT_TRUE(std::filesystem::exists(Out(0xD3)));

    // Loading again deletes every slot's texture first and builds new packs.
    gl.deleted.clear();
    ASSERT_TRUE(bin.LoadFromFile(path));
    EXPECT_EQ(gl.deleted, (std::vector<uint32_t>{100, 101, 0, 0, 102, 100, 0, 100, 0, 0, 103, 103, 0, 0}));
    EXPECT_EQ(world.Packs[0].TexIds, (std::vector<uint32_t>{104, 105, 0, 0, 106}));
}
