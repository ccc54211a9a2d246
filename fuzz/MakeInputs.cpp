// Inputs of the fuzz targets made with the fixture builders.
//   tarvesh_fuzz_inputs seeds FOLDER        small valid inputs, FOLDER/TARGET/NAME (run at build time)
//   tarvesh_fuzz_inputs regressions FOLDER  one input per known fault of hostile files, written the same way
//                                           (the committed copies live in fuzz/regressions/)
#include <cstdio>
#include <filesystem>
#include <string>

#include "bin/TBinFile.h"
#include "support/GeometryBlocks.h"
#include "platform/Settings.h"
#include "support/ArchiveWriters.h"
#include "support/BinWriter.h"
#include "support/SoundSamples.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

fs::path root;

void Put(const std::string& target, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(root / target);
    WriteFileBytes((root / target / name).string(), bytes);
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// ---- archive: option byte, archive, further files (see fuzz_archive.cpp)

constexpr uint8_t kWav = 1, kOgg = 2;
constexpr uint8_t kGameBf = 0 << 4, kSndFat = 1 << 4, kBankSb0 = 2 << 4, kAmbFx = 3 << 4, kDataBf = 4 << 4;

Bytes ArchiveInput(uint8_t options, const Bytes& archive, const std::vector<std::pair<std::string, Bytes>>& others = {})
{
    Bytes b{options};
    b.insert(b.end(), archive.begin(), archive.end());
    for (const auto& [name, data] : others) {
        const std::string head = "\n##file " + name + "\n";
        b.insert(b.end(), head.begin(), head.end());
        b.insert(b.end(), data.begin(), data.end());
    }
    return b;
}

// A bank of one version: stereo and mono PCM in the bank, stereo ADPCM in "music.xwb" (returned in `stream`),
// and for version 3 mono ADPCM in the bank itself.
Bytes SmallBank(int version, Bytes& stream, int32_t marker = 0)
{
    const Bytes streamed = AdpcmRecord(EncodeXboxAdpcm(Sines(65 * 2, 22050, {{200, 0.4}, {500, 0.4}}), 2));
    const Bytes inBank = AdpcmRecord(EncodeXboxAdpcm(Sines(65, 22050, {{250, 0.5}}), 1));
    stream.assign(16, 0x11);
    stream.insert(stream.end(), streamed.begin(), streamed.end());
    return SampleBank(version, PcmBytes(Sines(48, 44100, {{440, 0.5}, {880, 0.4}})),
                      PcmBytes(Sines(40, 22050, {{300, 0.5}})), streamed, 16, inBank, marker);
}

void ArchiveSeeds()
{
    const std::vector<ArchiveFile> files = {{"readme.txt", Text("hello\r\n"), 0x11},
                                            {"data\\level\\map.bin", PatternBytes(40, 7), 0x12},
                                            {"data\\caf\xE9.dat", PatternBytes(9, 9), 0x13},
                                            {"empty.bin", {}, 0x14}};
    Put("archive", "big", ArchiveInput(kGameBf, MakeBigArchive(files)));
    Put("archive", "data", ArchiveInput(kDataBf, MakeDataArchive(files)));
    const FatPair fat = MakeFatArchive({{"sfx\\one.raw", PatternBytes(30, 3)}, {"two.raw", PatternBytes(7, 4)}});
    Put("archive", "fat", ArchiveInput(kSndFat, fat.fat, {{"snd.BIG", fat.big}}));
    for (int version = 1; version <= 3; ++version) {
        Bytes stream;
        const Bytes bank = SmallBank(version, stream);
        const std::string v = std::to_string(version);
        Put("archive", "bank" + v + "-wav", ArchiveInput(kBankSb0 | kWav, bank, {{"music.xwb", stream}}));
        Put("archive", "bank" + v + "-ogg", ArchiveInput(kBankSb0 | kOgg, bank, {{"music.xwb", stream}}));
    }
    // The data base found by its size field after the records, and the name that keeps it after the marker.
    Bytes stream;
    Put("archive", "bank2-marker", ArchiveInput(kBankSb0 | kWav, SmallBank(2, stream, 1), {{"music.xwb", stream}}));
    Put("archive", "ambfx", ArchiveInput(kAmbFx | kWav, SmallBank(1, stream, 1), {{"music.xwb", stream}}));
}

// ---- bin: option byte, command byte, bin file (see fuzz_bin.cpp)

constexpr uint8_t kLoadTextures = 1, kWriteModels = 2, k3DS = 4, kClear = 8, kLegacy3DS = 16, kLegacyTex = 32,
                  kTriangles = 64, kNormals = 128;
constexpr uint8_t kTextures = 1, kViewExtract = 2, kExtractData = 4, kTestActors = 16;

Bytes BinInput(uint8_t options, uint8_t commands, const Bytes& file)
{
    Bytes b{options, commands};
    b.insert(b.end(), file.begin(), file.end());
    return b;
}

// B, G, R (and A) pixels of a small image.
Bytes Pixels(int count, int bytesPerPixel)
{
    Bytes b;
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < bytesPerPixel; ++k)
            b.push_back(static_cast<uint8_t>(i * 40 + k * 90));
    return b;
}


// Texture blocks of every format, a pack naming them, meshes (plain, actor, list of actor parts) and Game Objects.
Bytes Level()
{
    const Bytes dxt1 = SolidDxt1({0xF800, 0x001F}), dxt5 = SolidDxt5({0xF800, 0x001F});
    Bytes pal{0x34, 0x3D, 0x01, 0x13};
    for (int i = 0; i < 8; ++i)
        PutU32(pal, 0xFF000000u | static_cast<uint32_t>(i * 0x203040));
    const std::vector<Bytes> textures = {
        TexData(1, 0, 4, 2, Pixels(8, 4)),          TexData(3, 102, 4, 2, Pixels(8, 3)),
        TexData(1, 1, 4, 2, Bytes{1, 1, 2, 2, 3, 3, 4, 4}, 0x400), TexData(4, 1, 4, 2, Bytes(8, 2)),
        TexData(1, 5, 8, 4, dxt1),                  TexData(3, 7, 8, 4, dxt5),
        TexData(kType20000, 0, 4, 2, Pixels(8, 4)), TexData(kType20000, 0, 4, 2, Pixels(8, 3))};
    std::vector<BinBlockSpec> blocks;
    std::vector<uint32_t> infoKeys;
    for (size_t i = 0; i < textures.size(); ++i)
        infoKeys.push_back(0x200 + static_cast<uint32_t>(i));
    blocks.push_back({0x100, TexturePackData(infoKeys)});
    const uint32_t versions[] = {4, 5, 6, 7, 8, 9, 4, 4};
    for (size_t i = 0; i < textures.size(); ++i)
        blocks.push_back({0x200 + static_cast<uint32_t>(i), InfoData(versions[i], 0x300 + static_cast<uint32_t>(i))});
    for (size_t i = 0; i < textures.size(); ++i)
        blocks.push_back({0x300 + static_cast<uint32_t>(i), textures[i]});
    blocks.push_back({0x400, pal});
    blocks.push_back({0x401, InfoData(4, 0x300)}); // in no pack: a pack of its own

    MeshSpec quad;
    quad.vertices = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    quad.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    quad.models = {ModelSpec{1, {FaceSpec{{0, 1, 2}, {0, 1, 2}}, FaceSpec{{0, 2, 3}, {0, 2, 3}}}}};
    blocks.push_back({0x500, MeshData(quad)});
    MeshSpec strip = StripMesh(2, -3);
    strip.hasNormals = 1;
    strip.hasColours = 1;
    blocks.push_back({0x501, MeshData(strip)});
    MeshSpec actor = quad;
    BoneSpec bone;
    bone.id = 7;
    bone.values = {1, 2};
    actor.bones = {bone};
    blocks.push_back({0x502, ActorData(actor)});
    blocks.push_back({0x503, ListData({0x504, 0x505, 0x999})});
    blocks.push_back({0x504, ActorData(StripMesh(1, 10))});
    blocks.push_back({0x505, ActorData(StripMesh(2, 20))});
    const std::pair<const char*, uint32_t> objects[] = {
        {"Crate.gao", 0x500}, {"Lamp.gao", 0x501}, {"Robot.gao", 0x502}, {"Group.gao", 0x503}};
    uint32_t key = 0x600;
    for (const auto& [name, geo] : objects) {
        GameObjectSpec g;
        g.name = name;
        g.geoKey = geo;
        g.packKey = 0x100;
        g.matrix[13] = static_cast<float>(key - 0x600);
        blocks.push_back({key++, GameObjectData(g)});
    }
    GameObjectSpec byEntry; // key found through its key entry
    byEntry.name = "Entry.gao";
    byEntry.entry = 1;
    byEntry.entryKeys[1][0] = 0x500;
    byEntry.entryKeys[1][1] = 0x100;
    blocks.push_back({key++, GameObjectData(byEntry)});
    blocks.push_back({0x700, WowData("Level One")});
    blocks.push_back({0x701, WolData()});
    blocks.push_back({0x702, WolHeaderData()});
    blocks.push_back({TerminatorKey, TerminatorData()});
    return ExpandedBin(blocks);
}

void BinSeeds()
{
    const Bytes level = Level();
    Put("bin", "level-obj", BinInput(kLoadTextures | kWriteModels | kTriangles, 0xFF, level));
    Put("bin", "level-3ds", BinInput(kLoadTextures | kWriteModels | k3DS | kLegacy3DS | kLegacyTex | kClear, 0xFF, level));
    Put("bin", "level-normals", BinInput(kWriteModels | kNormals | kClear, kViewExtract | kTestActors, level));
    Put("bin", "packed", BinInput(kLoadTextures | kTriangles, 0xFF, CompressBin(level, 512)));
    Put("bin", "every-kind", BinInput(kLoadTextures | kTriangles, 0xFF, ExpandedBin(EveryKindBlocks())));
}

void ExpandSeeds()
{
    const Bytes every = ExpandedBin(EveryKindBlocks());
    Put("expand", "every-kind", CompressBin(every, 1024));
    Put("expand", "one-chunk", CompressBin(ExpandedBin({{0x10, GeometryData(200)}})));
    Bytes cut = CompressBin(every, 1024);
    cut.resize(cut.size() / 2);
    Put("expand", "cut", cut);
}

// ---- settings: the text of a settings file

void SettingsSeeds()
{
    TRegistryData d;
    TRegKey& k = d.Create("Software\\TarveshMox\\Options");
    TRegValue v;
    v.name = "Load textures";
    v.type = 4;
    v.dword = 1;
    k.values.push_back(v);
    v = {};
    v.name = "Last folder";
    v.type = 1;
    v.text = "C:\\Games\\\"data\"";
    k.values.push_back(v);
    v = {};
    v.name = "Lines";
    v.type = 1;
    v.text = "one\r\ntwo";
    k.values.push_back(v);
    v = {};
    v.type = 3;
    v.bytes = {0, 1, 0xFE, 0xFF};
    k.values.push_back(v);
    v = {};
    v.name = "List";
    v.type = 7;
    v.bytes = {'a', 0, 'b', 0, 0};
    k.values.push_back(v);
    d.Create("Software\\TarveshMox\\Recent");
    Put("settings", "saved", Text(d.Format(RootKeyName(TRootKey::CurrentUser))));
    Put("settings", "by-hand",
        Text("REGEDIT4\r\n; written by hand\r\n\r\n[HKEY_CLASSES_ROOT\\.bf]\r\n@=\"TarveshMox.bf\"\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software\\TarveshMox]\r\n\"Width\"=dword:00000400\r\n\"Old\"=-\r\n"
             "\"Blob\"=hex:00,11,22,\\\r\n  33,44\r\n\"Expand\"=hex(2):25,00\r\n\"Bad\"=dword:xyz\r\n"
             "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n[HKEY_CURRENT_USER\\software\\tarveshmox\\Sub]\r\n"
             "\"width\"=dword:1\r\n"));
}

// ---- image: decoder byte, width, height, parameter byte, stored bytes (see fuzz_image.cpp)

Bytes ImageInput(uint8_t decoder, uint16_t w, uint16_t h, uint8_t param, const Bytes& stored)
{
    Bytes b{decoder, static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h),
            static_cast<uint8_t>(h >> 8), param};
    b.insert(b.end(), stored.begin(), stored.end());
    return b;
}

void ImageSeeds()
{
    Bytes dxt1, dxt5;
    PutU16(dxt1, 0xF800);
    PutU16(dxt1, 0x001F);
    PutU32(dxt1, 0x1B1B4E4E);
    PutU16(dxt1, 0x001F);
    PutU16(dxt1, 0xF800); // the 3-colour mode with transparent black
    PutU32(dxt1, 0xFFAA5500);
    dxt5 = {255, 0, 0x49, 0x92, 0x24, 0x49, 0x92, 0x24};
    dxt5.insert(dxt5.end(), dxt1.begin(), dxt1.begin() + 8);
    dxt5.insert(dxt5.end(), {0, 255, 0xFF, 0, 0, 0, 0, 0});
    dxt5.insert(dxt5.end(), dxt1.begin() + 8, dxt1.end());
    Put("image", "dxt1", ImageInput(0, 8, 4, 0, dxt1));
    Put("image", "dxt1-odd", ImageInput(0, 6, 5, 1, dxt1));
    Put("image", "dxt5", ImageInput(1, 8, 4, 0, dxt5));
    Put("image", "tga24", ImageInput(2, 4, 2, 2, Pixels(8, 3)));
    Put("image", "tga32-swap", ImageInput(2, 4, 2, 3 | 4, Pixels(8, 4)));
    Bytes paletted(1024, 0);
    for (int i = 0; i < 1024; ++i)
        paletted[i] = static_cast<uint8_t>(i * 7);
    paletted.insert(paletted.end(), {0, 1, 2, 3, 255, 254, 253, 252});
    Put("image", "paletted", ImageInput(3, 4, 2, 0, paletted));
    Put("image", "raw-ps2", ImageInput(4, 0, 0, 0, Pixels(64, 4)));
}

// ---- regression inputs: one per fault of hostile files that must stay fixed

void Regressions()
{
    // An entry named like its own archive, and a FAT entry named like the companion.
    Put("archive", "entry-named-like-archive",
        ArchiveInput(kGameBf | kWav, MakeBigArchive({{"game.bf", {1, 2, 3, 4}, 1}, {"other.txt", Text("x"), 2}})));
    const FatPair fat = MakeFatArchive({{"snd.BIG", {1, 2, 3, 4}}});
    Put("archive", "fat-entry-named-like-companion", ArchiveInput(kSndFat, fat.fat, {{"snd.BIG", fat.big}}));

    // A Game Object of 5 readable bytes that claims 0xFFFF0000: the key scan must not visit every position.
    Bytes gao = ExpandedBin({{0x10, {0x2E, 0x67, 0x61, 0x6F, 0}}});
    SetU32(gao, 0, 0xFFFF0000);
    Put("bin", "game-object-key-scan", BinInput(kTriangles, kViewExtract, gao));

    // A chain of 30 multi-block lists, each naming the next one twice.
    {
        std::vector<BinBlockSpec> blocks;
        GameObjectSpec g;
        g.name = "Chain.gao";
        g.geoKey = 0x700;
        blocks.push_back({0x600, GameObjectData(g)});
        const uint32_t depth = 30;
        for (uint32_t i = 0; i < depth; ++i) {
            const uint32_t next = i + 1 < depth ? 0x701 + i : 0x800;
            blocks.push_back({0x700 + i, ListData({next, next})});
        }
        blocks.push_back({0x800, ActorData(StripMesh(1))});
        blocks.push_back({TerminatorKey, TerminatorData()});
        Put("bin", "list-chain-doubling", BinInput(kTriangles, kTestActors, ExpandedBin(blocks)));
    }

    // An 80-byte texture data block claiming 32768 x 16383 pixels.
    Put("bin", "texture-larger-than-file",
        BinInput(kTriangles, kTextures,
                 ExpandedBin({{0x300, TexData(1, 0, 32768, 16383, Bytes(24, 0x55))},
                              {TerminatorKey, TerminatorData()}})));

    // 12287 texture packs, each claiming as many slots as the file has blocks (compressed: 288 KB expanded).
    {
        Bytes pack = TexturePackData({});
        const uint32_t count = 12288;
        SetU32(pack, 8, count - 1);
        std::vector<BinBlockSpec> blocks(count - 1, BinBlockSpec{0x100, pack});
        blocks.push_back({TerminatorKey, TerminatorData()});
        Put("bin", "texture-pack-slots", BinInput(kTriangles, 0, CompressBin(ExpandedBin(blocks))));
    }

    // An 11-byte compressed file whose one chunk promises 4 GiB from packed bytes it does not hold.
    Bytes chunk;
    PutU32(chunk, 0xFFFFFFFF);
    PutU32(chunk, 0x00FFFFFF);
    chunk.insert(chunk.end(), {0x11, 0, 0});
    Put("expand", "chunk-reservation", chunk);

    // A 32-byte bin file whose block claims 0xFFFFFFF0 data bytes: "Extract data" writes what is stored.
    Bytes longBlock = ExpandedBin({{0x10, PatternBytes(20, 5)}});
    SetU32(longBlock, 0, 0xFFFFFFF0);
    Put("bin", "extract-data-past-end", BinInput(kTriangles, kExtractData, longBlock));

    // A settings file of 12 KB with a key nested 6000 deep; and a string with CR and trailing NUL bytes.
    std::string deep = "REGEDIT4\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < 6000; ++i)
        deep += "\\k";
    Put("settings", "deep-key", Text(deep + "]\n\"v\"=dword:00000001\n"));
    const char roundTrip[] = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"v\"=\"a\r\0\0\"\n";
    Put("settings", "string-round-trip", Text(std::string(roundTrip, sizeof roundTrip - 1)));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode != "seeds" && mode != "regressions") {
        std::fprintf(stderr, "usage: %s seeds|regressions FOLDER\n", argv[0]);
        return 2;
    }
    root = argv[2];
    if (mode == "seeds") {
        ArchiveSeeds();
        BinSeeds();
        ExpandSeeds();
        SettingsSeeds();
        ImageSeeds();
    } else {
        Regressions();
    }
    return 0;
}
