#include "e2e/Samples.h"

#include <cmath>

#include "archives/uXboxAdpcmDecoder.h"
#include "bin/TBinFile.h"
#include "support/GeometryBlocks.h"
#include "support/BinWriter.h"
#include "support/SoundSamples.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void WriteBanks(const fs::path& dir)
{
    const auto streamed = AdpcmRecord(EncodeXboxAdpcm(Sines(65 * 40, 22050, {{200, 0.4}, {500, 0.4}}), 2));
    const auto inBank = AdpcmRecord(EncodeXboxAdpcm(Sines(65 * 30, 22050, {{250, 0.5}}), 1));
    Bytes streamFile;
    streamFile.reserve(100 + streamed.size());
    streamFile.resize(100, 0x11);
    streamFile.insert(streamFile.end(), streamed.begin(), streamed.end());
    WriteFileBytes((dir / "music.xwb").string(), streamFile);

    for (int version = 1; version <= 3; ++version)
        WriteFileBytes((dir / ("bank" + std::to_string(version) + ".sb0")).string(),
                       SampleBank(version, PcmBytes(SampleStereo()), PcmBytes(SampleMono()), streamed, 100, inBank));
}

// ---- bin file ----

// 4 x 2 pixels, stored top row first: red red green green / blue blue white white, in B G R (A) order.
Bytes Plain(int bytesPerPixel)
{
    const uint8_t px[8][3] = {{0, 0, 255}, {0, 0, 255}, {0, 255, 0}, {0, 255, 0},
                              {255, 0, 0}, {255, 0, 0}, {255, 255, 255}, {255, 255, 255}};
    Bytes b;
    for (auto& p : px) {
        b.insert(b.end(), p, p + 3);
        if (bytesPerPixel == 4)
            b.push_back(255);
    }
    return b;
}

// 64 x 64 pixels, stored top row first: quarters red (top left), green (top right), blue, white.
Bytes Quadrants()
{
    Bytes b;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint8_t q = static_cast<uint8_t>((y < 32 ? 0 : 2) + (x < 32 ? 0 : 1));
            const uint8_t px[4][4] = {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}};
            b.insert(b.end(), px[q], px[q] + 4);
        }
    return b;
}


} // namespace

std::vector<int16_t> SampleStereo() { return Sines(11025, 44100, {{440, 0.5}, {880, 0.4}}); }
std::vector<int16_t> SampleMono() { return Sines(5000, 22050, {{300, 0.5}}); }

std::vector<ArchiveFile> SampleArchiveFiles()
{
    return {{"readme.txt", {'h', 'e', 'l', 'l', 'o', '\r', '\n'}, 0x11},
            {"data\\level\\map.bin", PatternBytes(5000, 7), 0x12},
            {"data\\caf\xE9.dat", PatternBytes(300, 9), 0x13},
            {"empty.bin", {}, 0x14}};
}

void WriteSamples(const fs::path& dir)
{
    const auto files = SampleArchiveFiles();
    WriteFileBytes((dir / "big.bf").string(), MakeBigArchive(files));
    WriteFileBytes((dir / "data.bf").string(), MakeDataArchive(files));
    const auto pair = MakeFatArchive({{"sfx\\one.raw", PatternBytes(1000, 3)}, {"two.raw", PatternBytes(77, 4)}});
    WriteFileBytes((dir / "sounds.fat").string(), pair.fat);
    WriteFileBytes((dir / "sounds.BIG").string(), pair.big);
    WriteBanks(dir);

    // Textures: formats 0, 101, 102 (4 x 2), paletted with and without palette, DXT1 and DXT5 (8 x 4: a red
    // block left of a blue one), header type 0x20000 corrected to 101 and 102.
    Bytes idx{1, 1, 2, 2, 3, 3, 4, 4};
    const Bytes dxt1 = SolidDxt1({0xF800, 0x001F}), dxt5 = SolidDxt5({0xF800, 0x001F});
    Bytes pal{0x34, 0x3D, 0x01, 0x13};
    const uint32_t colours[5] = {0, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    for (int i = 0; i < 256; ++i)
        PutU32(pal, i < 5 ? colours[i] : 0);

    std::vector<BinBlockSpec> blocks;
    std::vector<uint32_t> infoKeys;
    const std::vector<Bytes> textures = {
        TexData(1, 0, 4, 2, Plain(4)),         TexData(1, 101, 4, 2, Plain(4)),
        TexData(3, 102, 4, 2, Plain(3)),       TexData(1, 1, 4, 2, idx, 0x400),
        TexData(1, 1, 4, 2, idx, 0x999),       TexData(1, 5, 8, 4, dxt1),
        TexData(3, 7, 8, 4, dxt5),             TexData(kType20000, 0, 4, 2, Plain(4)),
        TexData(kType20000, 0, 4, 2, Plain(3)),   TexData(1, 0, 64, 64, Quadrants())};
    for (size_t i = 0; i < textures.size(); ++i)
        infoKeys.push_back(0x200 + static_cast<uint32_t>(i));
    blocks.push_back({0x100, TexturePackData(infoKeys)});
    for (size_t i = 0; i < textures.size(); ++i)
        blocks.push_back({0x200 + static_cast<uint32_t>(i), InfoData(4, 0x300 + static_cast<uint32_t>(i))});
    for (size_t i = 0; i < textures.size(); ++i)
        blocks.push_back({0x300 + static_cast<uint32_t>(i), textures[i]});
    blocks.push_back({0x400, pal});

    // A textured quad (two faces) and a strip.
    MeshSpec quad;
    quad.vertices = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    quad.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    quad.models = {ModelSpec{9, {FaceSpec{{0, 1, 2}, {0, 1, 2}}, FaceSpec{{0, 2, 3}, {0, 2, 3}}}}};
    blocks.push_back({0x500, MeshData(quad)});
    blocks.push_back({0x501, MeshData(StripMesh(4, -3))});
    GameObjectSpec crate;
    crate.name = "Crate.gao";
    crate.geoKey = 0x500;
    crate.packKey = 0x100;
    GameObjectSpec lamp = crate;
    lamp.name = "Lamp.gao";
    lamp.geoKey = 0x501;
    lamp.matrix[13] = 5;
    // An actor mesh with one bone, and a list of two actor parts.
    MeshSpec actor = quad;
    BoneSpec bone;
    bone.id = 7;
    bone.values = {1, 2};
    actor.bones = {bone};
    blocks.push_back({0x502, ActorData(actor)});
    blocks.push_back({0x503, ListData({0x504, 0x505})});
    MeshSpec part = StripMesh(1, 10);
    blocks.push_back({0x504, ActorData(part)});
    part = StripMesh(2, 20);
    blocks.push_back({0x505, ActorData(part)});
    blocks.push_back({0x600, GameObjectData(crate)});
    blocks.push_back({0x601, GameObjectData(lamp)});
    GameObjectSpec robot = crate;
    robot.name = "Robot.gao";
    robot.geoKey = 0x502;
    GameObjectSpec group = crate;
    group.name = "Group.gao";
    group.geoKey = 0x503;
    blocks.push_back({0x602, GameObjectData(robot)});
    blocks.push_back({0x603, GameObjectData(group)});
    blocks.push_back({TerminatorKey, TerminatorData()});
    const Bytes expanded = ExpandedBin(blocks);
    WriteFileBytes((dir / "level.bin").string(), expanded);
    WriteFileBytes((dir / "packed.bin").string(), CompressBin(expanded, 1024));
}

void WriteHostileSamples(const fs::path& dir)
{
    const std::vector<ArchiveFile> evil = {{"..\\..\\evil1.txt", {'1'}, 1},
                                           {"\\abs\\evil2.txt", {'2'}, 2},
                                           {"C:\\evil3.txt", {'3'}, 3},
                                           {"sub\\..\\..\\evil4.txt", {'4'}, 4},
                                           {"/etc/evil5.txt", {'5'}, 5}};
    WriteFileBytes((dir / "evil.bf").string(), MakeBigArchive(evil));
    WriteFileBytes((dir / "evildata.bf").string(), MakeDataArchive(evil));
    Bytes big = MakeBigArchive(SampleArchiveFiles());
    big.resize(big.size() / 2);
    WriteFileBytes((dir / "half.bf").string(), big);
    BigOptions many;
    many.countField = 0x7FFFFFFF;
    WriteFileBytes((dir / "many.bf").string(), MakeBigArchive(SampleArchiveFiles(), many));
    BankLayout bank;
    bank.version = 2;
    BankRecord r;
    r.name = "x.wav";
    r.size = 0x7FFFFFF0;
    r.sampleRate = 22050;
    bank.records = {r};
    bank.countField = 0x7FFFFFFF;
    WriteFileBytes((dir / "many.sb0").string(), MakeSoundBank(bank));

    // Sounds of odd formats: rate 0, six channels, 8 bits, the largest rate, no samples, ADPCM of no channels.
    {
        BankLayout odd;
        odd.version = 2;
        odd.afterMarker = {0};
        odd.data = PcmBytes(SampleMono());
        const int32_t size = static_cast<int32_t>(odd.data.size());
        auto pcm = [&](const char* name, int rate, uint16_t channels, uint16_t bits, int32_t bytes) {
            BankRecord r;
            r.name = name;
            r.size = bytes;
            r.sampleRate = rate;
            r.bytesPerSec = rate * channels * bits / 8;
            r.channels = channels;
            r.bits = bits;
            odd.records.push_back(r);
        };
        pcm("rate0.wav", 0, 1, 16, size);
        pcm("six.wav", 22050, 6, 16, size);
        pcm("eight.wav", 22050, 1, 8, size);
        pcm("fast.wav", 0x7FFFFFFF, 2, 16, size);
        pcm("none.wav", 22050, 2, 16, 0);
        pcm("odd.wav", 22050, 2, 16, 7);
        BankRecord a;
        a.storage = 3;
        a.streamFile = "odd.sb0";
        a.size = 28 + 38 + 36 * 3;
        a.sampleRate = 22050;
        a.channels = 0;
        odd.records.push_back(a);
        WriteFileBytes((dir / "odd.sb0").string(), MakeSoundBank(odd));
    }

    // Textures of huge sizes and a mesh with huge counts, each named by a Game Object.
    std::vector<BinBlockSpec> blocks;
    blocks.push_back({0x100, TexturePackData({0x200, 0x201, 0x202})});
    blocks.push_back({0x200, InfoData(4, 0x300)});
    blocks.push_back({0x201, InfoData(4, 0x301)});
    blocks.push_back({0x202, InfoData(4, 0x302)});
    blocks.push_back({0x300, TexData(1, 5, 65535, 65535, Bytes(64, 0x55))});
    blocks.push_back({0x301, TexData(1, 0, 0x7FFFFFFF, 3, Bytes(64, 0x55))});
    blocks.push_back({0x302, TexData(1, 7, 0xFFFFFFFF, 0xFFFFFFFF, Bytes(64, 0x55))});
    MeshSpec mesh = StripMesh(2);
    mesh.vertexCount = 0xFFFFFFF0u;
    mesh.uvCount = 0x7FFFFFFFu;
    mesh.modelCount = 0xFFFFFFFFu;
    blocks.push_back({0x500, MeshData(mesh)});
    MeshSpec faces = StripMesh(2);
    faces.models[0].faces[1].v[2] = 60000; // beyond the vertices
    blocks.push_back({0x501, MeshData(faces)});
    GameObjectSpec a;
    a.name = "..\\..\\evilobj.gao";
    a.geoKey = 0x500;
    a.packKey = 0x100;
    GameObjectSpec b = a;
    b.name = "/tmp/evilabs.gao";
    b.geoKey = 0x501;
    blocks.push_back({0x600, GameObjectData(a)});
    blocks.push_back({0x601, GameObjectData(b)});
    blocks.push_back({TerminatorKey, TerminatorData()});
    Bytes expanded = ExpandedBin(blocks);
    WriteFileBytes((dir / "hostile.bin").string(), expanded);
    // Game Objects with names that climb out, on sound geometry.
    blocks = {{0x100, TexturePackData({0x200})}, {0x200, InfoData(4, 0x300)}, {0x300, TexData(1, 0, 4, 2, Plain(4))},
              {0x500, MeshData(StripMesh(2))}};
    const char* names[] = {"..\\..\\evilobj.gao", "/tmp/evilabs.gao", "C:\\evildrive.gao", "sub\\..\\..\\evilsub.gao"};
    for (uint32_t i = 0; i < 4; ++i) {
        GameObjectSpec g;
        g.name = names[i];
        g.geoKey = 0x500;
        g.packKey = 0x100;
        blocks.push_back({0x600 + i, GameObjectData(g)});
    }
    blocks.push_back({TerminatorKey, TerminatorData()});
    WriteFileBytes((dir / "evilnames.bin").string(), ExpandedBin(blocks));

    // A block whose size field runs far past the end of the file.
    Bytes longBlock = ExpandedBin({{0x10, GeometryData()}});
    SetU32(longBlock, 0, 0x7FFFFFF0);
    WriteFileBytes((dir / "longblock.bin").string(), longBlock);
    // A compressed file whose chunk claims a huge expanded size.
    Bytes chunk = CompressBin(ExpandedBin({{0x10, GeometryData()}}));
    SetU32(chunk, 0, 0x7FFFFFF0);
    WriteFileBytes((dir / "hugechunk.bin").string(), chunk);
}
