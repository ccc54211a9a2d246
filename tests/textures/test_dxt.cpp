#include <gtest/gtest.h>

#include <random>
#include <squish.h>

#include "platform/Stream.h"
#include "textures/DDS.h"

namespace {

void Put16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    Put16(v, static_cast<uint16_t>(x));
    Put16(v, static_cast<uint16_t>(x >> 16));
}

// Colour indices from a 4 x 4 grid given row by row.
uint32_t Indices(const int (&k)[16])
{
    uint32_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= static_cast<uint32_t>(k[i] & 3) << (2 * i);
    return bits;
}

std::vector<uint8_t> Dxt1Block(uint16_t c0, uint16_t c1, uint32_t idx)
{
    std::vector<uint8_t> v;
    Put16(v, c0);
    Put16(v, c1);
    Put32(v, idx);
    return v;
}

std::vector<uint8_t> Dxt5Block(uint8_t a0, uint8_t a1, uint64_t aidx, uint16_t c0, uint16_t c1, uint32_t idx)
{
    std::vector<uint8_t> v{a0, a1};
    for (int i = 0; i < 6; ++i)
        v.push_back(static_cast<uint8_t>(aidx >> (8 * i)));
    Put16(v, c0);
    Put16(v, c1);
    Put32(v, idx);
    return v;
}

// B, G, R of the texel at image column x, row y of a bottom-up image.
std::array<int, 3> Bgr(const std::vector<uint8_t>& d, int w, int h, int bpp, int x, int y)
{
    const size_t p = (static_cast<size_t>(h - 1 - y) * w + x) * bpp;
    return {d[p], d[p + 1], d[p + 2]};
}

using C = std::array<int, 3>;

} // namespace

TEST(Rgb565, FieldsAndPlainShiftExpansion)
{
    EXPECT_EQ(Rgb565Blue(0xFFFF), 31);
    EXPECT_EQ(Rgb565Green(0xFFFF), 63);
    EXPECT_EQ(Rgb565Red(0xFFFF), 31);
    EXPECT_EQ(Rgb565Red(0xF800), 31);
    EXPECT_EQ(Rgb565Green(0xF800), 0);
    EXPECT_EQ(Rgb565Green(0x07E0), 63);
    EXPECT_EQ(Rgb565Blue(0x07E0), 0);

    // White decodes to 248, 252, 248: the low bits stay zero.
    TMemoryStream s(Dxt1Block(0xFFFF, 0x0000, 0));
    std::vector<uint8_t> d;
    DecodeDXT1(s, d, 4, 4, 3);
    EXPECT_EQ(Bgr(d, 4, 4, 3, 2, 1), (C{248, 252, 248}));
}

TEST(DecodeDXT1, FourColourTableAndRowPlacement)
{
    // Rows of the block use entries 2, 3, 0, 1.
    const int k[16] = {2, 2, 2, 2, 3, 3, 3, 3, 0, 0, 0, 0, 1, 1, 1, 1};
    TMemoryStream s(Dxt1Block(0xF800, 0x001F, Indices(k)));
    std::vector<uint8_t> d(4 * 4 * 4, 0x5A);
    DecodeDXT1(s, d, 4, 4, 4);
    EXPECT_EQ(s.Position(), 8);
    // Block row 0 lands in the last row of the output.
    const size_t last = 3 * 4 * 4;
    EXPECT_EQ((C{d[last], d[last + 1], d[last + 2]}), (C{83, 0, 165}));
    EXPECT_EQ(Bgr(d, 4, 4, 4, 3, 1), (C{165, 0, 83}));
    EXPECT_EQ(Bgr(d, 4, 4, 4, 0, 2), (C{0, 0, 248}));
    EXPECT_EQ(Bgr(d, 4, 4, 4, 1, 3), (C{248, 0, 0}));
    // The fourth byte of each pixel is left alone.
    for (size_t p = 3; p < d.size(); p += 4)
        EXPECT_EQ(d[p], 0x5A);
}

TEST(DecodeDXT1, EqualColoursUseThreeColourTable)
{
    const int k[16] = {0, 1, 2, 3};
    TMemoryStream s(Dxt1Block(0x7BEF, 0x7BEF, Indices(k)));
    std::vector<uint8_t> d;
    DecodeDXT1(s, d, 4, 4, 3);
    const C e0{15 << 3, 31 << 2, 15 << 3};
    EXPECT_EQ(Bgr(d, 4, 4, 3, 0, 0), e0);
    EXPECT_EQ(Bgr(d, 4, 4, 3, 1, 0), e0);
    EXPECT_EQ(Bgr(d, 4, 4, 3, 2, 0), e0);
    EXPECT_EQ(Bgr(d, 4, 4, 3, 3, 0), (C{0, 0, 0}));

    // c0 < c1: mean in entry 2, integer halves.
    const int k2[16] = {2};
    TMemoryStream s2(Dxt1Block(0x0001, 0x0002, Indices(k2)));
    DecodeDXT1(s2, d, 4, 4, 3);
    EXPECT_EQ(Bgr(d, 4, 4, 3, 0, 0), (C{12, 0, 0}));
}

TEST(DecodeDXT5, AlphaRampsAreTruncatedAndColoursAlwaysInterpolated)
{
    // Texel k uses alpha entry k mod 8 and colour entry 3.
    uint64_t aidx = 0;
    for (int i = 0; i < 16; ++i)
        aidx |= static_cast<uint64_t>(i % 8) << (3 * i);
    int k[16];
    std::fill(std::begin(k), std::end(k), 3);
    std::vector<uint8_t> blocks = Dxt5Block(255, 0, aidx, 0x001F, 0xF800, Indices(k));
    const auto b2 = Dxt5Block(0, 255, aidx, 0x001F, 0xF800, Indices(k));
    blocks.insert(blocks.end(), b2.begin(), b2.end());
    TMemoryStream s(blocks);
    std::vector<uint8_t> d;
    DecodeDXT5(s, d, 4, 8, 4);
    EXPECT_EQ(s.Position(), 32);
    const int desc[8] = {255, 0, 218, 182, 145, 109, 72, 36};
    const int asc[8] = {0, 255, 51, 102, 153, 204, 0, 255};
    for (int i = 0; i < 16; ++i) {
        const int x = i % 4, y = i / 4;
        const size_t p1 = (static_cast<size_t>(3 - y) * 8 + x) * 4;
        const size_t p2 = p1 + 16;
        EXPECT_EQ(d[p1 + 3], desc[i % 8]) << i;
        EXPECT_EQ(d[p2 + 3], asc[i % 8]) << i;
        // c0 < c1 still takes the interpolated entry, not black.
        EXPECT_EQ((C{d[p1], d[p1 + 1], d[p1 + 2]}), (C{83, 0, 165}));
    }

    // a0 == a1 is the six-value table: four equal steps, then 0 and 255.
    TMemoryStream same(Dxt5Block(100, 100, aidx, 0, 0, 0));
    DecodeDXT5(same, d, 4, 4, 4);
    const int flat[8] = {100, 100, 100, 100, 100, 100, 0, 255};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(d[(static_cast<size_t>(3 - i / 4) * 4 + i % 4) * 4 + 3], flat[i % 8]) << i;
}

TEST(DecodeDXT, ClipsPartialBlocksAndSkipsEmptyImages)
{
    // 6 x 6: four blocks, the right and bottom edges clipped.
    std::vector<uint8_t> blocks;
    for (int b = 0; b < 4; ++b) {
        const auto blk = Dxt5Block(static_cast<uint8_t>(10 * (b + 1)), 0, 0, static_cast<uint16_t>(b + 1), 0, 0);
        blocks.insert(blocks.end(), blk.begin(), blk.end());
    }
    blocks.push_back(0x77); // not a block: must not be read
    TMemoryStream s(blocks);
    std::vector<uint8_t> d(6 * 6 * 4 + 8, 0xEE);
    DecodeDXT5(s, d, 6, 6, 4);
    EXPECT_EQ(s.Position(), 64);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const int b = (y / 4) * 2 + x / 4;
            const size_t p = (static_cast<size_t>(5 - y) * 6 + x) * 4;
            EXPECT_EQ(d[p], (b + 1) << 3) << x << "," << y;
            EXPECT_EQ(d[p + 3], 10 * (b + 1)) << x << "," << y;
        }
    for (size_t p = 6 * 6 * 4; p < d.size(); ++p)
        EXPECT_EQ(d[p], 0xEE);

    // Width or height 0: nothing read, nothing written.
    TMemoryStream s2(blocks);
    std::vector<uint8_t> untouched(4, 1);
    DecodeDXT1(s2, untouched, 0, 8, 3);
    DecodeDXT5(s2, untouched, 8, 0, 4);
    EXPECT_EQ(s2.Position(), 0);
    EXPECT_EQ(untouched, std::vector<uint8_t>(4, 1));

    EXPECT_THROW(DecodeDXT5(s2, untouched, 4, 4, 3), std::invalid_argument);
}

TEST(DecodeDXT, ShortStreamDecodesMissingBlocksAsZeros)
{
    TMemoryStream s(Dxt1Block(0xFFFF, 0xFFFF, 0)); // one of four blocks
    std::vector<uint8_t> d(8 * 8 * 3, 0x11);
    DecodeDXT1(s, d, 8, 8, 3);
    EXPECT_EQ(s.Position(), 8);
    EXPECT_EQ(Bgr(d, 8, 8, 3, 0, 0), (C{248, 252, 248}));
    EXPECT_EQ(Bgr(d, 8, 8, 3, 4, 0), (C{0, 0, 0}));
    EXPECT_EQ(Bgr(d, 8, 8, 3, 7, 7), (C{0, 0, 0}));
    // The second row of blocks is zeros too, not what the first row read.
    EXPECT_EQ(Bgr(d, 8, 8, 3, 0, 4), (C{0, 0, 0}));

    // A row of 260 blocks, longer than one read of the stream, which ends before the last block.
    std::vector<uint8_t> row;
    for (int j = 0; j < 259; ++j) {
        const auto blk = Dxt1Block(static_cast<uint16_t>(j + 1), 0, 0);
        row.insert(row.end(), blk.begin(), blk.end());
    }
    TMemoryStream wide(row);
    std::vector<uint8_t> w;
    DecodeDXT1(wide, w, 4, 1040, 3);
    EXPECT_EQ(wide.Position(), 259 * 8);
    for (int j = 0; j < 260; ++j) {
        const C colour = j < 259 ? C{((j + 1) & 0x1F) << 3, ((j + 1) >> 5) << 2, 0} : C{0, 0, 0};
        EXPECT_EQ(Bgr(w, 1040, 4, 3, 4 * j + 3, 3), colour) << j;
    }
}

TEST(DecodeDXT, AgreesWithAnIndependentDecoder)
{
    const int w = 22, h = 14; // 6 x 4 blocks, the last column and row clipped
    std::mt19937 rng(42);
    for (int flags : {squish::kDxt1, squish::kDxt5}) {
        const int blockBytes = flags == squish::kDxt1 ? 8 : 16;
        std::vector<uint8_t> blocks(static_cast<size_t>(6 * 4 * blockBytes));
        for (auto& b : blocks)
            b = static_cast<uint8_t>(rng());
        std::vector<uint8_t> ref(static_cast<size_t>(w * h * 4));
        squish::DecompressImage(ref.data(), w, h, blocks.data(), flags);
        const int bpp = flags == squish::kDxt1 ? 3 : 4;
        // The callers' pixel size, and one byte more, whose extra byte stays as it was.
        std::vector<uint8_t> d, wide(static_cast<size_t>(w * h * (bpp + 1)), 0xC3);
        TMemoryStream s(blocks), s2(blocks);
        if (flags == squish::kDxt1) {
            DecodeDXT1(s, d, h, w, bpp);
            DecodeDXT1(s2, wide, h, w, bpp + 1);
        } else {
            DecodeDXT5(s, d, h, w, bpp);
            DecodeDXT5(s2, wide, h, w, bpp + 1);
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* r = &ref[(static_cast<size_t>(y) * w + x) * 4];
                const size_t at = static_cast<size_t>(h - 1 - y) * w + x;
                const uint8_t* o = &d[at * bpp];
                // The plain shift leaves the low bits zero: at most 7 apart, plus rounding of the means.
                EXPECT_NEAR(o[0], r[2], 8) << x << "," << y;
                EXPECT_NEAR(o[1], r[1], 8) << x << "," << y;
                EXPECT_NEAR(o[2], r[0], 8) << x << "," << y;
                if (bpp == 4) {
                    EXPECT_EQ(o[3], r[3]) << x << "," << y;
                }
                const uint8_t* o2 = &wide[at * (bpp + 1)];
                EXPECT_EQ(std::vector<uint8_t>(o2, o2 + bpp), std::vector<uint8_t>(o, o + bpp)) << x << "," << y;
                EXPECT_EQ(o2[bpp], 0xC3) << x << "," << y;
            }
    }
}
