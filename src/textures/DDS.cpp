#include "textures/DDS.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "platform/Stream.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <tmmintrin.h>
#define DDS_SHUFFLE 1
#endif

namespace {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Le48(const uint8_t* p) { return Le32(p) | static_cast<uint64_t>(Le16(p + 4)) << 32; }

// Colour tables of n blocks, BlockBytes long with the colour half at their end: four entries B | G << 8 |
// R << 16 per block, byte 3 zero. The interpolated table applies to DXT5 always and to DXT1 when c0 > c1.
// One pass over the row without branches, which the compiler vectorizes across blocks.
template <size_t BlockBytes>
void ColourTables(const uint8_t* blocks, size_t n, uint32_t* t)
{
    for (size_t j = 0; j < n; ++j) {
        const uint8_t* b = blocks + j * BlockBytes + (BlockBytes - 8);
        const uint16_t c0 = Le16(b), c1 = Le16(b + 2);
        const uint16_t b0 = Rgb565Blue(c0) << 3, g0 = Rgb565Green(c0) << 2, r0 = Rgb565Red(c0) << 3;
        const uint16_t b1 = Rgb565Blue(c1) << 3, g1 = Rgb565Green(c1) << 2, r1 = Rgb565Red(c1) << 3;
        const auto third = [](unsigned x) { return x / 3; };
        const auto pack = [](unsigned b, unsigned g, unsigned r) {
            return static_cast<uint32_t>(b | g << 8 | r << 16);
        };
        const uint32_t four = (BlockBytes == 16 || c0 > c1) ? ~0u : 0u;
        t[4 * j] = pack(b0, g0, r0);
        t[4 * j + 1] = pack(b1, g1, r1);
        t[4 * j + 2] = (four & pack(third(2 * b0 + b1 + 1), third(2 * g0 + g1 + 1), third(2 * r0 + r1 + 1))) |
                       (~four & pack((b0 + b1) / 2, (g0 + g1) / 2, (r0 + r1) / 2));
        t[4 * j + 3] = four & pack(third(b0 + 2 * b1 + 1), third(g0 + 2 * g1 + 1), third(r0 + 2 * r1 + 1));
    }
}

// Alpha table of a DXT5 block.
void AlphaTable(unsigned a0, unsigned a1, uint8_t t[8])
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

// Reads one row of blocks; what the stream no longer holds is zero. The row comes in pieces of 2 KiB: larger
// copies can take ten times as long when the buffer starts just past the source modulo 4 KiB (the string move
// some C libraries use on some processors).
void ReadRow(TStream& stream, std::vector<uint8_t>& row)
{
    size_t n = 0;
    while (n < row.size()) {
        const size_t want = std::min<size_t>(2048, row.size() - n);
        const int64_t got = stream.Read(row.data() + n, static_cast<int64_t>(want));
        n += got > 0 ? static_cast<size_t>(got) : 0;
        if (got < static_cast<int64_t>(want))
            break;
    }
    std::memset(row.data() + n, 0, row.size() - n);
}

#ifdef DDS_SHUFFLE
// Whole blocks through byte shuffles: a block's colour table is one 16-byte register and its alpha table the
// low half of another; a byte of colour indices (one block row) selects a control that picks bytes 4i to
// 4i + 2 of the colour table for each of its four pixels, 3 or 4 bytes apart, 0x80 giving zero bytes. Six bits
// of alpha indices select the control for the alpha bytes of two pixels.
using Control = std::array<uint8_t, 16>;

constexpr std::array<Control, 256> ColourControls(int bpp)
{
    std::array<Control, 256> out{};
    for (int v = 0; v < 256; ++v) {
        out[v].fill(0x80);
        for (int p = 0; p < 4; ++p)
            for (int b = 0; b < 3; ++b)
                out[v][p * bpp + b] = static_cast<uint8_t>(4 * ((v >> (2 * p)) & 3) + b);
    }
    return out;
}

// Alpha bytes of pixels first and first + 1. The two controls of a block row combine with OR: only those of
// pixels 0 and 1 mark the colour bytes 0x80.
constexpr std::array<Control, 64> AlphaControls(int first)
{
    std::array<Control, 64> out{};
    for (int v = 0; v < 64; ++v) {
        for (int b = 0; b < 16; ++b)
            out[v][b] = first == 0 && b % 4 != 3 ? 0x80 : 0;
        out[v][4 * first + 3] = static_cast<uint8_t>(v & 7);
        out[v][4 * first + 7] = static_cast<uint8_t>(v >> 3);
    }
    return out;
}

constexpr auto kColour3 = ColourControls(3), kColour4 = ColourControls(4);
constexpr auto kAlpha01 = AlphaControls(0), kAlpha23 = AlphaControls(2);

bool CanShuffle()
{
    static const bool can = __builtin_cpu_supports("ssse3");
    return can;
}

__attribute__((target("ssse3"))) inline __m128i Load(const void* p)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// The alpha table of a DXT5 block in the low 8 bytes: both ramps in 16-bit lanes, x div 7 and x div 5 as the
// high halves of x times 9363 and 13108 (exact up to 7 x 255), then the one for the order of a0 and a1.
__attribute__((target("ssse3"))) inline __m128i AlphaTableVector(unsigned a0, unsigned a1)
{
    const __m128i x0 = _mm_set1_epi16(static_cast<short>(a0)), x1 = _mm_set1_epi16(static_cast<short>(a1));
    // (w0 x a0 + w1 x a1) div d in each lane, m standing for 1 / d.
    const auto ramp = [&](__m128i w0, __m128i w1, short m) {
        const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(x0, w0), _mm_mullo_epi16(x1, w1));
        return _mm_mulhi_epu16(sum, _mm_set1_epi16(m));
    };
    const __m128i seven = ramp(_mm_setr_epi16(7, 0, 6, 5, 4, 3, 2, 1), _mm_setr_epi16(0, 7, 1, 2, 3, 4, 5, 6), 9363);
    const __m128i five =
        _mm_or_si128(ramp(_mm_setr_epi16(5, 0, 4, 3, 2, 1, 0, 0), _mm_setr_epi16(0, 5, 1, 2, 3, 4, 0, 0), 13108),
                     _mm_setr_epi16(0, 0, 0, 0, 0, 0, 0, 255));
    const __m128i pick = _mm_set1_epi16(a0 > a1 ? -1 : 0);
    const __m128i table = _mm_or_si128(_mm_and_si128(pick, seven), _mm_andnot_si128(pick, five));
    return _mm_packus_epi16(table, _mm_setzero_si128());
}

// Blocks 0 to n - 1 of a row of DXT1 blocks, all four rows of each inside the image, 3 bytes per pixel.
__attribute__((target("ssse3"))) void Dxt1Blocks(const uint8_t* blocks, const uint32_t* colours, size_t n,
                                                 uint8_t* const* lines)
{
    uint8_t* const line[4] = {lines[0], lines[1], lines[2], lines[3]};
    for (size_t j = 0; j < n; ++j) {
        const __m128i table = Load(colours + 4 * j);
        const uint32_t idx = Le32(blocks + 8 * j + 4);
        for (int r = 0; r < 4; ++r) {
            const __m128i px = _mm_shuffle_epi8(table, Load(kColour3[(idx >> (8 * r)) & 0xFF].data()));
            uint8_t* p = line[r] + 12 * j;
            const uint32_t tail = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(px, 8)));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(p), px);
            std::memcpy(p + 8, &tail, 4);
        }
    }
}

// The same for DXT5 blocks at 4 bytes per pixel.
__attribute__((target("ssse3"))) void Dxt5Blocks(const uint8_t* blocks, const uint32_t* colours, size_t n,
                                                 uint8_t* const* lines)
{
    uint8_t* const line[4] = {lines[0], lines[1], lines[2], lines[3]};
    for (size_t j = 0; j < n; ++j) {
        const uint8_t* b = blocks + 16 * j;
        const __m128i table = Load(colours + 4 * j);
        const __m128i alphaTable = AlphaTableVector(b[0], b[1]);
        const uint64_t aidx = Le48(b + 2);
        const uint32_t idx = Le32(b + 12);
        for (int r = 0; r < 4; ++r) {
            const unsigned a = static_cast<unsigned>(aidx >> (12 * r));
            const __m128i alpha = _mm_shuffle_epi8(
                alphaTable, _mm_or_si128(Load(kAlpha01[a & 63].data()), Load(kAlpha23[(a >> 6) & 63].data())));
            const __m128i px = _mm_shuffle_epi8(table, Load(kColour4[(idx >> (8 * r)) & 0xFF].data()));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line[r] + 16 * j), _mm_or_si128(px, alpha));
        }
    }
}
#endif

// Decodes the image; blocks the fast paths do not take (the right and bottom edges, other pixel sizes, hosts
// without byte shuffles) go texel by texel.
template <bool Dxt5>
void DecodeImage(TStream& stream, uint8_t* out, int height, int width, size_t bpp)
{
    constexpr size_t blockBytes = Dxt5 ? 16 : 8;
    const size_t wide = (static_cast<size_t>(width) + 3) / 4, stride = static_cast<size_t>(width) * bpp;
    std::vector<uint8_t> row(wide * blockBytes);
    std::vector<uint32_t> colours(wide * 4);
#ifdef DDS_SHUFFLE
    const bool shuffle = bpp == (Dxt5 ? 4 : 3) && CanShuffle();
#endif
    for (int by = 0; by < height; by += 4) {
        ReadRow(stream, row);
        ColourTables<blockBytes>(row.data(), wide, colours.data());
        const int rows = std::min(4, height - by);
        uint8_t* lines[4] = {};
        for (int r = 0; r < rows; ++r)
            lines[r] = out + static_cast<size_t>(height - 1 - (by + r)) * stride;
        size_t j = 0;
#ifdef DDS_SHUFFLE
        if (shuffle && rows == 4) {
            j = static_cast<size_t>(width) / 4;
            if (Dxt5)
                Dxt5Blocks(row.data(), colours.data(), j, lines);
            else
                Dxt1Blocks(row.data(), colours.data(), j, lines);
        }
#endif
        for (; j < wide; ++j) {
            const uint8_t* b = row.data() + j * blockBytes;
            const uint32_t* t = colours.data() + 4 * j;
            const uint32_t idx = Le32(b + blockBytes - 4);
            const uint64_t aidx = Dxt5 ? Le48(b + 2) : 0;
            uint8_t at[8] = {};
            if (Dxt5)
                AlphaTable(b[0], b[1], at);
            const int cols = std::min(4, width - static_cast<int>(4 * j));
            for (int r = 0; r < rows; ++r) {
                uint8_t* p = lines[r] + 4 * j * bpp;
                uint32_t bits = idx >> (8 * r), abits = static_cast<uint32_t>(aidx >> (12 * r));
                for (int c = 0; c < cols; ++c, p += bpp, bits >>= 2, abits >>= 3) {
                    const uint32_t e = t[bits & 3];
                    p[0] = static_cast<uint8_t>(e);
                    p[1] = static_cast<uint8_t>(e >> 8);
                    p[2] = static_cast<uint8_t>(e >> 16);
                    if (Dxt5)
                        p[3] = at[abits & 7];
                }
            }
        }
    }
}

} // namespace

void DecodeDXT1(TStream& Stream, std::vector<uint8_t>& Dest, int Height, int Width, int BytesPerPixel)
{
    if (Prepare(Dest, Height, Width, BytesPerPixel, 3))
        DecodeImage<false>(Stream, Dest.data(), Height, Width, static_cast<size_t>(BytesPerPixel));
}

void DecodeDXT5(TStream& Stream, std::vector<uint8_t>& Dest, int Height, int Width, int BytesPerPixel)
{
    if (Prepare(Dest, Height, Width, BytesPerPixel, 4))
        DecodeImage<true>(Stream, Dest.data(), Height, Width, static_cast<size_t>(BytesPerPixel));
}
