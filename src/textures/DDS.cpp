#include "textures/DDS.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/Stream.h"

namespace {

struct Colour {
    uint8_t b, g, r;
};

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

inline Colour Expand(uint16_t c)
{
    return {static_cast<uint8_t>(Rgb565Blue(c) << 3), static_cast<uint8_t>(Rgb565Green(c) << 2),
            static_cast<uint8_t>(Rgb565Red(c) << 3)};
}

// Colour table; fourColour selects the interpolated table (DXT1 with c0 > c1, and always for DXT5).
inline void ColourTable(uint16_t c0, uint16_t c1, bool fourColour, Colour t[4])
{
    const Colour e0 = Expand(c0), e1 = Expand(c1);
    t[0] = e0;
    t[1] = e1;
    if (fourColour) {
        t[2] = {static_cast<uint8_t>((2 * e0.b + e1.b + 1) / 3), static_cast<uint8_t>((2 * e0.g + e1.g + 1) / 3),
                static_cast<uint8_t>((2 * e0.r + e1.r + 1) / 3)};
        t[3] = {static_cast<uint8_t>((e0.b + 2 * e1.b + 1) / 3), static_cast<uint8_t>((e0.g + 2 * e1.g + 1) / 3),
                static_cast<uint8_t>((e0.r + 2 * e1.r + 1) / 3)};
    } else {
        t[2] = {static_cast<uint8_t>((e0.b + e1.b) / 2), static_cast<uint8_t>((e0.g + e1.g) / 2),
                static_cast<uint8_t>((e0.r + e1.r) / 2)};
        t[3] = {0, 0, 0};
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

template <int BlockBytes, typename WriteBlock>
void Walk(TStream& stream, int height, int width, WriteBlock&& writeBlock)
{
    const int blocksWide = (width + 3) / 4;
    std::vector<uint8_t> row(static_cast<size_t>(blocksWide) * BlockBytes);
    for (int by = 0; by < height; by += 4) {
        ReadRow(stream, row);
        const int rows = std::min(4, height - by);
        const uint8_t* block = row.data();
        for (int bx = 0; bx < width; bx += 4, block += BlockBytes)
            writeBlock(block, bx, by, std::min(4, width - bx), rows);
    }
}

} // namespace

namespace {

// Bpp 0 means "given at run time"; 3 and 4 are the callers' cases and get fixed strides.
template <int Bpp>
void Dxt1Image(TStream& stream, uint8_t* out, int height, int width, size_t runBpp)
{
    const size_t bpp = Bpp ? Bpp : runBpp;
    Walk<8>(stream, height, width, [&](const uint8_t* b, int bx, int by, int cols, int rows) {
        const uint16_t c0 = Le16(b), c1 = Le16(b + 2);
        uint32_t idx = Le32(b + 4);
        Colour t[4];
        ColourTable(c0, c1, c0 > c1, t);
        for (int r = 0; r < rows; ++r, idx >>= 8) {
            uint8_t* p = out + (static_cast<size_t>(height - 1 - (by + r)) * static_cast<size_t>(width) +
                                static_cast<size_t>(bx)) * bpp;
            uint32_t bits = idx;
            for (int c = 0; c < cols; ++c, bits >>= 2, p += bpp) {
                const Colour& e = t[bits & 3];
                p[0] = e.b;
                p[1] = e.g;
                p[2] = e.r;
            }
        }
    });
}

template <int Bpp>
void Dxt5Image(TStream& stream, uint8_t* out, int height, int width, size_t runBpp)
{
    const size_t bpp = Bpp ? Bpp : runBpp;
    Walk<16>(stream, height, width, [&](const uint8_t* b, int bx, int by, int cols, int rows) {
        uint8_t at[8];
        AlphaTable(b[0], b[1], at);
        uint64_t aidx = 0;
        for (int i = 5; i >= 0; --i)
            aidx = (aidx << 8) | b[2 + i];
        const uint16_t c0 = Le16(b + 8), c1 = Le16(b + 10);
        uint32_t idx = Le32(b + 12);
        Colour t[4];
        ColourTable(c0, c1, true, t);
        for (int r = 0; r < rows; ++r, idx >>= 8, aidx >>= 12) {
            uint8_t* p = out + (static_cast<size_t>(height - 1 - (by + r)) * static_cast<size_t>(width) +
                                static_cast<size_t>(bx)) * bpp;
            uint32_t bits = idx;
            uint32_t abits = static_cast<uint32_t>(aidx);
            for (int c = 0; c < cols; ++c, bits >>= 2, abits >>= 3, p += bpp) {
                const Colour& e = t[bits & 3];
                p[0] = e.b;
                p[1] = e.g;
                p[2] = e.r;
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
