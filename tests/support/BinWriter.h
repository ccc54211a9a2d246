// Builders of bin files for tests and benchmarks: expanded block streams with every block kind, compressed
// chunk streams (LZO1X-1) and damaged variants.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Little-endian and big-endian pieces of block data.
void PutU32(Bytes& b, uint32_t v);
void PutU32BE(Bytes& b, uint32_t v);
void PutU16(Bytes& b, uint16_t v);
void PutF32(Bytes& b, float v);
void PutText(Bytes& b, const std::string& s);
void SetU32(Bytes& b, size_t at, uint32_t v);
void SetF32(Bytes& b, size_t at, float v);

struct BinBlockSpec {
    uint32_t key = 0;
    Bytes data;
    uint32_t marker = 0xEEFFC099;
};

// One block: Size, Marker, Key, data.
void AppendBlock(Bytes& file, const BinBlockSpec& block);
Bytes ExpandedBin(const std::vector<BinBlockSpec>& blocks);

// Compressed bin file: the expanded bytes in chunks of at most chunkSize, then the end chunk (0, 0).
Bytes CompressBin(const Bytes& expanded, size_t chunkSize = 64 * 1024);
// One chunk (header and LZO1X-1 data) of `plain`.
Bytes CompressChunk(const Bytes& plain);
// The same chunks with 1, 2, 3, 1, ... zero bytes after each chunk's LZO stream, counted in its packed size.
Bytes PadChunks(const Bytes& compressed);

// Block data of each kind.
Bytes GeometryData(size_t size = 64);                 // 01 00 00 00 ...
Bytes TexturePackData(const std::vector<uint32_t>& keys); // 04 00 00 00, 0, count, keys
Bytes TextureInfoData(uint32_t dataKey);              // 05 00 00 00 ...
Bytes TextureData(uint16_t width = 4, uint16_t height = 4); // unknown tag, TextureSign at 32, size > 60
Bytes PaletteData();
Bytes WolData();
Bytes WolHeaderData();
Bytes TerminatorData();
// Game Object: name (stored with its zero), matrix, key entry number e, four key entries, 3D data and pack keys.
struct GameObjectSpec {
    std::string name = "Chair";
    uint32_t version = 3;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    uint32_t entry = 0;
    uint32_t entryKeys[4][2] = {};
    uint32_t geoKey = 0;
    uint32_t packKey = 0;
    size_t extra = 4; // bytes after the pack key
};
Bytes GameObjectData(const GameObjectSpec& object);
// World block: name in the 61 bytes at 12, first key (big-endian) at 72, matrix at 76, values, five idents.
Bytes WowData(const std::string& name, uint32_t firstKey = 0x11223344);

// A file with every block kind and the terminator last (keys 0x1000 upwards; see the .cpp for the order).
std::vector<BinBlockSpec> EveryKindBlocks();

// Texture blocks. Header type 0x20000 keeps 16-bit sizes at 48 and its plain pixels at 54.
constexpr uint32_t kType20000 = 0x20000;
// Texture data block: header fields, then `pixels` at the format's own data offset.
Bytes TexData(uint32_t type, uint32_t format, uint32_t width, uint32_t height, const Bytes& pixels,
              uint32_t paletteKey = 0);
// Texture information block of a version, naming its texture data block by key.
Bytes InfoData(uint32_t version, uint32_t dataKey, size_t size = 80);
// DXT1 and DXT5 pixel data of 4 x 4 blocks, one colour (RGB565) each, the DXT5 blocks half transparent.
Bytes SolidDxt1(const std::vector<uint16_t>& colours);
Bytes SolidDxt5(const std::vector<uint16_t>& colours);
