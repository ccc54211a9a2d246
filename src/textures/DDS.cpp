#include "textures/DDS.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/Stream.h"

namespace {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint64_t Le48(const uint8_t* p)
{
    uint64_t v = 0;
    std::memcpy(&v, p, 6);
    return v;
}

// Colour table entries are B | G << 8 | R << 16 (byte 3 zero); fourColour selects the interpolated table (DXT1
// with c0 > c1, and always for DXT5).
inline void ColourTable(uint16_t c0, uint16_t c1, bool fourColour, uint32_t t[4])
{
    const unsigned b0 = Rgb565Blue(c0) << 3, g0 = Rgb565Green(c0) << 2, r0 = Rgb565Red(c0) << 3;
    const unsigned b1 = Rgb565Blue(c1) << 3, g1 = Rgb565Green(c1) << 2, r1 = Rgb565Red(c1) << 3;
    const auto pack = [](unsigned b, unsigned g, unsigned r) { return b | g << 8 | r << 16; };
    t[0] = pack(b0, g0, r0);
    t[1] = pack(b1, g1, r1);
    if (fourColour) {
        t[2] = pack((2 * b0 + b1 + 1) / 3, (2 * g0 + g1 + 1) / 3, (2 * r0 + r1 + 1) / 3);
        t[3] = pack((b0 + 2 * b1 + 1) / 3, (g0 + 2 * g1 + 1) / 3, (r0 + 2 * r1 + 1) / 3);
    } else {
        t[2] = pack((b0 + b1) / 2, (g0 + g1) / 2, (r0 + r1) / 2);
        t[3] = 0;
    }
}

inline void AlphaTable(unsigned a0, unsigned a1, uint8_t t[8])
{
    t[0] = static_cast<uint8_t>(a0);
    t[1] = static_cast<uint8_t>(a1);
    if (a0 > a1) {
        for (unsigned i = 1; i <= 6; ++i)
            t[i + 1] = static_cast<uint8_t>(((7 - i) * a0 + i * a1) / 7);
    } else {
        for (unsigned i = 1; i <= 4; ++i)
            t[i + 1] = static_cast<uint8_t>(((5 - i) * a0 + i * a1) / 5);
        t[6] = 0;
        t[7] = 255;
    }
}

bool Prepare(std::vector<uint8_t>& dest, int height, int width, int bpp, int minBpp)
{
    if (bpp < minBpp)
        throw std::invalid_argument("DXT decode needs at least " + std::to_string(minBpp) + " bytes per pixel");
    if (width <= 0 || height <= 0)
        return false;
    const uint64_t need = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * static_cast<uint64_t>(bpp);
    if (dest.size() < need)
        dest.resize(need);
    return true;
}

// Reads one row of blocks; what the stream no longer holds is zero.
void ReadRow(TStream& stream, std::vector<uint8_t>& row)
{
    const int64_t got = stream.Read(row.data(), static_cast<int64_t>(row.size()));
    const size_t n = got > 0 ? static_cast<size_t>(got) : 0;
    if (n < row.size())
        std::memset(row.data() + n, 0, row.size() - n);
}

// Calls writeBlock(block, lines, x, cols, rows) for each block: lines[r] is the output row of block row r,
// x the block's first byte in it, cols and rows the part of the block inside the image.
template <int BlockBytes, typename WriteBlock>
void Walk(TStream& stream, uint8_t* out, int height, int width, size_t bpp, WriteBlock&& writeBlock)
{
    const int blocksWide = (width + 3) / 4;
    const size_t stride = static_cast<size_t>(width) * bpp;
    std::vector<uint8_t> row(static_cast<size_t>(blocksWide) * BlockBytes);
    for (int by = 0; by < height; by += 4) {
        ReadRow(stream, row);
        const int rows = std::min(4, height - by);
        uint8_t* lines[4];
        for (int r = 0; r < rows; ++r)
            lines[r] = out + static_cast<size_t>(height - 1 - (by + r)) * stride;
        const uint8_t* block = row.data();
        for (int bx = 0; bx < width; bx += 4, block += BlockBytes)
            writeBlock(block, lines, static_cast<size_t>(bx) * bpp, std::min(4, width - bx), rows);
    }
}

// Bpp 0 means "given at run time"; 3 and 4 are the callers' cases and get fixed strides. Whole blocks at 3
// bytes per pixel are written a row (12 bytes) at a time.
template <int Bpp>
void Dxt1Image(TStream& stream, uint8_t* out, int height, int width, size_t runBpp)
{
    const size_t bpp = Bpp ? Bpp : runBpp;
    Walk<8>(stream, out, height, width, bpp, [&](const uint8_t* b, uint8_t* const* lines, size_t x, int cols, int rows) {
        const uint16_t c0 = Le16(b), c1 = Le16(b + 2);
        const uint32_t idx = Le32(b + 4);
        uint32_t t[4];
        ColourTable(c0, c1, c0 > c1, t);
        if (Bpp == 3 && cols == 4 && rows == 4) {
            for (int r = 0; r < 4; ++r) {
                const unsigned bits = idx >> (8 * r);
                const uint64_t p0 = t[bits & 3], p1 = t[(bits >> 2) & 3], p2 = t[(bits >> 4) & 3],
                               p3 = t[(bits >> 6) & 3];
                const uint64_t lo = p0 | p1 << 24 | p2 << 48;
                const uint32_t hi = static_cast<uint32_t>(p2 >> 16 | p3 << 8);
                std::memcpy(lines[r] + x, &lo, 8);
                std::memcpy(lines[r] + x + 8, &hi, 4);
            }
            return;
        }
        for (int r = 0; r < rows; ++r) {
            uint8_t* p = lines[r] + x;
            uint32_t bits = idx >> (8 * r);
            for (int c = 0; c < cols; ++c, bits >>= 2, p += bpp) {
                const uint32_t e = t[bits & 3];
                p[0] = static_cast<uint8_t>(e);
                p[1] = static_cast<uint8_t>(e >> 8);
                p[2] = static_cast<uint8_t>(e >> 16);
            }
        }
    });
}

// Whole blocks at 4 bytes per pixel are written a row (16 bytes) at a time, colour and alpha together.
template <int Bpp>
void Dxt5Image(TStream& stream, uint8_t* out, int height, int width, size_t runBpp)
{
    const size_t bpp = Bpp ? Bpp : runBpp;
    Walk<16>(stream, out, height, width, bpp, [&](const uint8_t* b, uint8_t* const* lines, size_t x, int cols, int rows) {
        uint8_t at[8];
        AlphaTable(b[0], b[1], at);
        const uint64_t aidx = Le48(b + 2);
        const uint32_t idx = Le32(b + 12);
        uint32_t t[4];
        ColourTable(Le16(b + 8), Le16(b + 10), true, t);
        if (Bpp == 4 && cols == 4 && rows == 4) {
            for (int r = 0; r < 4; ++r) {
                const unsigned bits = idx >> (8 * r);
                const unsigned abits = static_cast<unsigned>(aidx >> (12 * r));
                const auto px = [&](int c) {
                    return static_cast<uint64_t>(t[(bits >> (2 * c)) & 3] |
                                                 static_cast<uint32_t>(at[(abits >> (3 * c)) & 7]) << 24);
                };
                const uint64_t lo = px(0) | px(1) << 32, hi = px(2) | px(3) << 32;
                std::memcpy(lines[r] + x, &lo, 8);
                std::memcpy(lines[r] + x + 8, &hi, 8);
            }
            return;
        }
        for (int r = 0; r < rows; ++r) {
            uint8_t* p = lines[r] + x;
            uint32_t bits = idx >> (8 * r);
            uint32_t abits = static_cast<uint32_t>(aidx >> (12 * r));
            for (int c = 0; c < cols; ++c, bits >>= 2, abits >>= 3, p += bpp) {
                const uint32_t e = t[bits & 3];
                p[0] = static_cast<uint8_t>(e);
                p[1] = static_cast<uint8_t>(e >> 8);
                p[2] = static_cast<uint8_t>(e >> 16);
                p[3] = at[abits & 7];
            }
        }
    });
}

} // namespace

void DecodeDXT1(TStream& Stream, std::vector<uint8_t>& Dest, int Height, int Width, int BytesPerPixel)
{
    if (!Prepare(Dest, Height, Width, BytesPerPixel, 3))
        return;
    if (BytesPerPixel == 3)
        Dxt1Image<3>(Stream, Dest.data(), Height, Width, 3);
    else if (BytesPerPixel == 4)
        Dxt1Image<4>(Stream, Dest.data(), Height, Width, 4);
    else
        Dxt1Image<0>(Stream, Dest.data(), Height, Width, static_cast<size_t>(BytesPerPixel));
}

void DecodeDXT5(TStream& Stream, std::vector<uint8_t>& Dest, int Height, int Width, int BytesPerPixel)
{
    if (!Prepare(Dest, Height, Width, BytesPerPixel, 4))
        return;
    if (BytesPerPixel == 4)
        Dxt5Image<4>(Stream, Dest.data(), Height, Width, 4);
    else
        Dxt5Image<0>(Stream, Dest.data(), Height, Width, static_cast<size_t>(BytesPerPixel));
}
