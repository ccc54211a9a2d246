#include "support/BinWriter.h"

#include <algorithm>
#include <cstring>
#include <lzo/lzo1x.h>
#include <stdexcept>

void PutU32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutU32BE(Bytes& b, uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutU16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void PutF32(Bytes& b, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    PutU32(b, u);
}

void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

void SetU32(Bytes& b, size_t at, uint32_t v)
{
    if (b.size() < at + 4)
        b.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void SetF32(Bytes& b, size_t at, float v)
{
    uint32_t u;
    std::memcpy(&u, &v, 4);
    SetU32(b, at, u);
}

void AppendBlock(Bytes& file, const BinBlockSpec& block)
{
    PutU32(file, static_cast<uint32_t>(block.data.size()));
    PutU32(file, block.marker);
    PutU32(file, block.key);
    file.insert(file.end(), block.data.begin(), block.data.end());
}

Bytes ExpandedBin(const std::vector<BinBlockSpec>& blocks)
{
    Bytes f;
    for (const auto& b : blocks)
        AppendBlock(f, b);
    return f;
}

Bytes CompressChunk(const Bytes& plain)
{
    static bool init = (lzo_init() == LZO_E_OK);
    if (!init)
        throw std::runtime_error("lzo_init failed");
    std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
    Bytes out(plain.size() + plain.size() / 16 + 64 + 3);
    lzo_uint outLen = 0;
    lzo1x_1_compress(plain.data(), plain.size(), out.data(), &outLen, work.data());
    out.resize(outLen);
    if (outLen > plain.size())
        throw std::runtime_error("chunk does not compress: a compressed bin file needs P <= U");
    Bytes chunk;
    PutU32(chunk, static_cast<uint32_t>(plain.size()));
    PutU32(chunk, static_cast<uint32_t>(outLen));
    chunk.insert(chunk.end(), out.begin(), out.end());
    return chunk;
}

Bytes CompressBin(const Bytes& expanded, size_t chunkSize)
{
    Bytes f;
    for (size_t at = 0; at < expanded.size(); at += chunkSize) {
        const size_t n = std::min(chunkSize, expanded.size() - at);
        const Bytes c = CompressChunk(Bytes(expanded.begin() + at, expanded.begin() + at + n));
        f.insert(f.end(), c.begin(), c.end());
    }
    PutU32(f, 0);
    PutU32(f, 0);
    return f;
}

Bytes PadChunks(const Bytes& compressed)
{
    Bytes f;
    size_t at = 0;
    for (uint32_t pad = 1; at + 8 <= compressed.size(); pad = pad % 3 + 1) {
        uint32_t u = 0, p = 0;
        std::memcpy(&u, &compressed[at], 4);
        std::memcpy(&p, &compressed[at + 4], 4);
        if (u == 0)
            break;
        PutU32(f, u);
        PutU32(f, p + pad);
        f.insert(f.end(), compressed.begin() + static_cast<long>(at + 8), compressed.begin() + static_cast<long>(at + 8 + p));
        f.resize(f.size() + pad, 0);
        at += 8 + p;
    }
    f.insert(f.end(), compressed.begin() + static_cast<long>(at), compressed.end());
    return f;
}

Bytes GeometryData(size_t size)
{
    Bytes b{1, 0, 0, 0};
    b.resize(std::max<size_t>(size, 4), 0);
    return b;
}

Bytes TexturePackData(const std::vector<uint32_t>& keys)
{
    Bytes b{4, 0, 0, 0};
    PutU32(b, 0);
    PutU32(b, static_cast<uint32_t>(keys.size()));
    for (uint32_t k : keys)
        PutU32(b, k);
    return b;
}

Bytes TextureInfoData(uint32_t dataKey)
{
    Bytes b{5, 0, 0, 0};
    PutU32(b, dataKey);
    b.resize(32, 0);
    return b;
}

Bytes TextureData(uint16_t width, uint16_t height)
{
    Bytes b;
    PutU32(b, 0x00000003); // not a known tag
    b.resize(32, 0);
    PutU32(b, 0xC0DEC0DE);
    PutU16(b, width);
    PutU16(b, height);
    b.resize(64 + static_cast<size_t>(width) * height * 4, 0x40);
    return b;
}

Bytes PaletteData()
{
    Bytes b{0x34, 0x3D, 0x01, 0x13};
    b.resize(4 + 1024, 0x7F);
    return b;
}

Bytes WolData()
{
    Bytes b{0x2E, 0x77, 0x6F, 0x6C};
    PutU32(b, 2);
    return b;
}

Bytes WolHeaderData()
{
    Bytes b{0xFE, 0xC7, 0x7C, 0x05};
    PutU32(b, 0);
    return b;
}

Bytes TerminatorData()
{
    Bytes b{0xDE, 0xC0, 0xF7, 0x0F};
    return b;
}

Bytes GameObjectData(const GameObjectSpec& s)
{
    Bytes b{0x2E, 0x67, 0x61, 0x6F};
    PutU32(b, s.version);
    PutU32(b, 0);
    PutU32(b, 0);
    const uint32_t l = static_cast<uint32_t>(s.name.size() + 1);
    PutU32(b, l);
    PutText(b, s.name);
    b.push_back(0);
    b.resize(b.size() + 10, 0);
    for (float f : s.matrix)
        PutF32(b, f);
    PutU32(b, s.entry);
    for (int i = 0; i < 4; ++i) {
        PutU32(b, s.entryKeys[i][0]);
        PutU32(b, s.entryKeys[i][1]);
        PutU32(b, 0);
    }
    PutU32(b, s.geoKey);
    PutU32(b, s.packKey);
    b.resize(b.size() + s.extra, 0);
    return b;
}

Bytes WowData(const std::string& name, uint32_t firstKey)
{
    Bytes b{0x2E, 0x77, 0x6F, 0x77};
    b.resize(12, 0);
    PutText(b, name.substr(0, 60));
    b.resize(73, 0);
    b.resize(72);
    PutU32BE(b, firstKey);
    for (int i = 0; i < 16; ++i)
        PutF32(b, static_cast<float>(i) + 0.5f);
    PutU32(b, 6);
    PutF32(b, 1.25f);
    PutU32(b, 0);
    PutU32(b, 0);
    for (uint32_t i = 1; i <= 5; ++i)
        PutU32BE(b, 0xAB000000u + i);
    return b;
}

std::vector<BinBlockSpec> EveryKindBlocks()
{
    GameObjectSpec go;
    go.geoKey = 0x1001;
    go.packKey = 0x1002;
    return {
        {0x1000, WowData("Level One")},            // 0 ".wow - Level One"
        {0x1001, GeometryData()},                  // 1 "3D object data"
        {0x1002, TexturePackData({0x1003})},       // 2 "Texture pack"
        {0x1003, TextureInfoData(0x1004)},         // 3 "Texture information"
        {0x1004, TextureData()},                   // 4 "Texture data"
        {0x1005, PaletteData()},                   // 5 "Palette"
        {0x1006, GameObjectData(go)},              // 6 "Game Object - Chair"
        {0x1007, WolData()},                       // 7 ".wol"
        {0x1008, WolHeaderData()},                 // 8 ".wol header"
        {0x1009, {}},                              // 9 "Empty"
        {0x100A, {0x04, 0, 0, 0, 0, 0, 0, 1}},     // 10 "Unknown data"
        {0x100B, {0x01, 0x10, 0, 0, 9, 9}},        // 11 "Refers to 00001001"
        {0x100C, {0x77, 0x66, 0x55, 0x44}},        // 12 "Unknown type 44556677"
        {0x0FF7C0DE, TerminatorData()},            // 13 "Terminator"
    };
}

Bytes TexData(uint32_t type, uint32_t format, uint32_t width, uint32_t height, const Bytes& pixels,
              uint32_t paletteKey)
{
    Bytes b(60, 0);
    SetU32(b, 0, 0x00000003);
    SetU32(b, 32, 0xC0DEC0DE);
    SetU32(b, 36, type);
    SetU32(b, 40, format);
    if (type == kType20000) {
        b[48] = static_cast<uint8_t>(width);
        b[49] = static_cast<uint8_t>(width >> 8);
        b[50] = static_cast<uint8_t>(height);
        b[51] = static_cast<uint8_t>(height >> 8);
    } else {
        SetU32(b, 44, width);
        SetU32(b, 48, height);
    }
    SetU32(b, 56, paletteKey);
    // Header type 0x20000 blocks carry their plain pixels at 54 whatever format they store.
    const size_t at = type == kType20000 && format != 1 && format != 5 && format != 7 ? 54
                      : format == 0 || format == 7                                    ? 56
                      : format == 1 || format == 5                                    ? 60
                                                                                      : 54;
    if (b.size() < at + pixels.size())
        b.resize(at + pixels.size(), 0);
    std::copy(pixels.begin(), pixels.end(), b.begin() + static_cast<long>(at));
    if (b.size() <= 60)
        b.resize(61, 0);
    return b;
}

Bytes InfoData(uint32_t version, uint32_t dataKey, size_t size)
{
    Bytes b(size, 0);
    SetU32(b, 0, 0x00000005);
    SetU32(b, 4, version);
    const size_t at = version == 7 ? 46 : version == 8 ? 54 : version == 9 ? 67 : 44;
    if (at + 4 <= b.size()) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(dataKey >> (8 * i));
    }
    return b;
}

Bytes SolidDxt1(const std::vector<uint16_t>& colours)
{
    Bytes b;
    for (uint16_t c : colours) {
        PutU16(b, c);
        PutU16(b, c);
        PutU32(b, 0);
    }
    return b;
}

Bytes SolidDxt5(const std::vector<uint16_t>& colours)
{
    Bytes b;
    for (uint16_t c : colours) {
        b.insert(b.end(), {128, 128, 0, 0, 0, 0, 0, 0});
        const Bytes colour = SolidDxt1({c});
        b.insert(b.end(), colour.begin(), colour.end());
    }
    return b;
}
