#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/GLTextures.h"
#include "platform/Stream.h"
#include "support/TempDir.h"
#include "textures/TgaWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pixels(const Bytes& image) { return Bytes(image.begin() + 18, image.end()); }

// A 2 x 2, 32-bit source: rows [p0 p1] [p2 p3], pixel i = i1 i2 i3 i4.
const Bytes kSource32 = {0x01, 0x02, 0x03, 0x04, 0x11, 0x12, 0x13, 0x14,
                         0x21, 0x22, 0x23, 0x24, 0x31, 0x32, 0x33, 0x34};

// Records the images handed to the loader.
class RecordingTextures : public GLTextures {
public:
    uint32_t TextureFromStream(TMemoryStream& stream, bool mipmaps, bool compress) override
    {
        images.push_back(stream.Bytes());
        asked = mipmaps && compress;
        return answer;
    }
    void DeleteTexture(uint32_t) override {}
    std::vector<Bytes> images;
    uint32_t answer = 7;
    bool asked = false;
};

// Pixels of a TGA file as an ordinary reader shows them: RGBA, top row first. Empty when no reader is installed.
Bytes ReadWithImageMagick(const std::string& tga, const TempDir& dir)
{
    if (!std::filesystem::exists("/usr/bin/convert"))
        return {};
    const std::string out = dir.file("out.rgba");
    const std::string cmd = "/usr/bin/convert '" + tga + "' -auto-orient -depth 8 'rgba:" + out + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0)
        return {};
    return ReadFileBytes(out);
}

} // namespace

TEST(BuildTGA, HeaderAndRowOrder)
{
    TMemoryStream src(kSource32);
    const Bytes img = BuildTGA(src, 2, 2, 32, 0, false);
    ASSERT_EQ(img.size(), 18u + 16u);
    const Bytes header(img.begin(), img.begin() + 18);
    EXPECT_EQ(header, (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0x08}));
    // Last row first, bytes untouched.
    EXPECT_EQ(Pixels(img), (Bytes{0x21, 0x22, 0x23, 0x24, 0x31, 0x32, 0x33, 0x34,
                                  0x01, 0x02, 0x03, 0x04, 0x11, 0x12, 0x13, 0x14}));
    EXPECT_EQ(src.Position(), 16);

    // Red/blue swap keeps the rows, exchanges bytes 0 and 2 only; the first row is the top one.
    const Bytes swapped = BuildTGA(src, 2, 2, 32, 0, true);
    EXPECT_EQ(swapped[17], 0x28);
    EXPECT_EQ(Pixels(swapped), (Bytes{0x03, 0x02, 0x01, 0x04, 0x13, 0x12, 0x11, 0x14,
                                      0x23, 0x22, 0x21, 0x24, 0x33, 0x32, 0x31, 0x34}));

    // 24 bits: rows of 3 x width bytes, last row first.
    TMemoryStream src24(Bytes{9, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const Bytes img24 = BuildTGA(src24, 2, 2, 24, 2, false);
    EXPECT_EQ(img24[16], 24);
    EXPECT_EQ(img24[17], 0);
    EXPECT_EQ(Pixels(img24), (Bytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Pixels(BuildTGA(src24, 2, 2, 24, 2, true)), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));

    // 8 bits: image type 2, depth 8, one byte per pixel, last row first.
    TMemoryStream src8(Bytes{1, 2, 3, 4, 5, 6});
    const Bytes img8 = BuildTGA(src8, 3, 2, 8, 0, false);
    EXPECT_EQ(img8[2], 2);
    EXPECT_EQ(img8[16], 8);
    EXPECT_EQ(Pixels(img8), (Bytes{4, 5, 6, 1, 2, 3}));
}

TEST(BuildTGA, EmptyShortAndOversizedSources)
{
    TMemoryStream src(kSource32);
    EXPECT_EQ(BuildTGA(src, 0, 5, 32, 0, false).size(), 18u);
    const Bytes flat = BuildTGA(src, 7, 0, 24, 0, true);
    EXPECT_EQ(flat.size(), 18u);
    EXPECT_EQ(flat[12], 7);

    // Pixels beyond the source's end are zero, also when the offset itself lies beyond it.
    const Bytes tail = BuildTGA(src, 2, 1, 32, 12, false);
    EXPECT_EQ(Pixels(tail), (Bytes{0x31, 0x32, 0x33, 0x34, 0, 0, 0, 0}));
    EXPECT_EQ(Pixels(BuildTGA(src, 1, 1, 32, 100, false)), (Bytes{0, 0, 0, 0}));

    // Width and height fields take the low 16 bits.
    TMemoryStream none;
    const Bytes wide = BuildTGA(none, 0x10002, 0, 8, 0, false);
    EXPECT_EQ(wide[12], 2);
    EXPECT_EQ(wide[13], 0);

    EXPECT_THROW(BuildTGA(none, 65535, 65535, 32, 0, false), std::length_error);
    EXPECT_THROW(BuildTGA(none, -1, 4, 32, 0, false), std::length_error);
    EXPECT_EQ(TgaPixelBytes(16384, 32767, 32), int64_t{16384} * 32767 * 4);
    EXPECT_THROW(TgaPixelBytes(16384, 32768, 32), std::length_error);
}

TEST(BuildPalettedTGA, EntriesLowByteFirstRowsKept)
{
    TPalette grey{};
    for (uint32_t i = 0; i < 256; ++i)
        grey[i] = i * 0x01010101u;
    TMemoryStream src(Bytes{0xFF, 0x80, 0x00, 0x01, 0x7F});
    const Bytes img = BuildPalettedTGA(src, 2, 2, grey, 1);
    EXPECT_EQ(img[16], 32);
    EXPECT_EQ(img[17], 0x08);
    EXPECT_EQ(Pixels(img), (Bytes{0x80, 0x80, 0x80, 0x80, 0, 0, 0, 0, 1, 1, 1, 1, 0x7F, 0x7F, 0x7F, 0x7F}));

    TPalette pal{};
    pal[3] = 0xAABBCCDD;
    TMemoryStream one(Bytes{3});
    EXPECT_EQ(Pixels(BuildPalettedTGA(one, 2, 1, pal, 0)), (Bytes{0xDD, 0xCC, 0xBB, 0xAA, 0, 0, 0, 0}));
}

TEST(WriteTGA, FilesMatchTheImagesAndFailuresLeaveNothing)
{
    TempDir dir;
    TMemoryStream src(kSource32);
    const std::string name = dir.file("a.tga");
    WriteFileBytes(name, Bytes(100, 0xCC)); // replaced, not appended to
    WriteTGA(name, src, 2, 2, 32, 0, false, TFileIds());
    EXPECT_EQ(ReadFileBytes(name), BuildTGA(src, 2, 2, 32, 0, false));

    TPalette pal{};
    WritePalettedTGA(dir.file("p.tga"), src, 2, 2, pal, 0, TFileIds());
    EXPECT_EQ(ReadFileBytes(dir.file("p.tga")).size(), 18u + 16u);

    // Images of more than one run of rows, from a source that ends before the last pixels: the file holds the
    // image built in memory, and the source is left where that build leaves it.
    Bytes big(700 * 500 * 4 - 1000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    TMemoryStream bigSrc(big);
    for (int i = 0; i < 256; ++i)
        pal[i] = 0x01020304u * static_cast<uint32_t>(i) + 0x80u;
    for (bool swap : {false, true}) {
        WriteTGA(name, bigSrc, 700, 500, 32, 6, swap, TFileIds());
        const int64_t at = bigSrc.Position();
        EXPECT_EQ(ReadFileBytes(name), BuildTGA(bigSrc, 700, 500, 32, 6, swap)) << swap;
        EXPECT_EQ(bigSrc.Position(), at);
    }
    WritePalettedTGA(name, bigSrc, 1300, 1060, pal, 3, TFileIds());
    EXPECT_EQ(ReadFileBytes(name), BuildPalettedTGA(bigSrc, 1300, 1060, pal, 3));

    EXPECT_THROW(WriteTGA(dir.file("missing/b.tga"), src, 2, 2, 32, 0, false, TFileIds()), EStreamError);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing/b.tga")));
}

TEST(WriteTGA, OrdinaryReaderSeesSizeAndPixels)
{
    TempDir dir;
    // 3 x 2 source, 32 bits, pixel (x, y) = B G R A with distinct values; 3 wide keeps rows off 4-byte bounds.
    Bytes src;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.insert(src.end(), {uint8_t(10 * x + 1), uint8_t(10 * y + 2), uint8_t(100 + x + y), uint8_t(200)});
    TMemoryStream s(src);

    // Reversed rows: the reader shows the source's first row at the top. Reader pixels are R G B A.
    WriteTGA(dir.file("rev.tga"), s, 3, 2, 32, 0, false, TFileIds());
    const Bytes rev = ReadWithImageMagick(dir.file("rev.tga"), dir);
    if (rev.empty())
        GTEST_SKIP() << "no image reader installed";
    ASSERT_EQ(rev.size(), 3u * 2u * 4u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const uint8_t* p = &rev[(y * 3 + x) * 4];
            EXPECT_EQ((Bytes{p[0], p[1], p[2], p[3]}),
                      (Bytes{uint8_t(100 + x + y), uint8_t(10 * y + 2), uint8_t(10 * x + 1), 200}));
        }

    // Swapped red and blue, rows kept: again the source's first row at the top, now read as R G B.
    WriteTGA(dir.file("swap.tga"), s, 3, 2, 32, 0, true, TFileIds());
    const Bytes sw = ReadWithImageMagick(dir.file("swap.tga"), dir);
    ASSERT_EQ(sw.size(), 24u);
    EXPECT_EQ((Bytes{sw[0], sw[1], sw[2]}), (Bytes{1, 2, 100}));
    EXPECT_EQ((Bytes{sw[20], sw[21], sw[22]}), (Bytes{21, 12, 103}));

    // 24 bits, width 3.
    TMemoryStream s24(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18});
    WriteTGA(dir.file("b24.tga"), s24, 3, 2, 24, 0, false, TFileIds());
    const Bytes b24 = ReadWithImageMagick(dir.file("b24.tga"), dir);
    ASSERT_EQ(b24.size(), 24u);
    EXPECT_EQ((Bytes{b24[0], b24[1], b24[2], b24[3]}), (Bytes{3, 2, 1, 255}));

    // 8 bits of raw index bytes: read as grey, the source's first row at the top.
    TMemoryStream s8(Bytes{1, 2, 3, 4, 5, 6});
    WriteTGA(dir.file("i8.tga"), s8, 3, 2, 8, 0, false, TFileIds());
    const Bytes i8 = ReadWithImageMagick(dir.file("i8.tga"), dir);
    ASSERT_EQ(i8.size(), 24u);
    EXPECT_EQ((Bytes{i8[0], i8[4], i8[8], i8[12], i8[16], i8[20]}), (Bytes{1, 2, 3, 4, 5, 6}));

    // Paletted: stored rows in source order, shown bottom up.
    TPalette pal{};
    pal[1] = 0xFF0000FF; // opaque blue
    pal[2] = 0xFFFF0000; // opaque red
    TMemoryStream idx(Bytes{1, 1, 2, 2});
    WritePalettedTGA(dir.file("pal.tga"), idx, 2, 2, pal, 0, TFileIds());
    const Bytes pl = ReadWithImageMagick(dir.file("pal.tga"), dir);
    ASSERT_EQ(pl.size(), 16u);
    EXPECT_EQ((Bytes{pl[0], pl[1], pl[2], pl[3]}), (Bytes{255, 0, 0, 255}));
    EXPECT_EQ((Bytes{pl[8], pl[9], pl[10], pl[11]}), (Bytes{0, 0, 255, 255}));
}

TEST(MakeTextureFromPixels, HandsTheSameImageToTheLoader)
{
    TMemoryStream src(kSource32);
    RecordingTextures gl;
    uint32_t tex = 99;
    EXPECT_TRUE(MakeTextureFromPixels(gl, src, 2, 2, 32, 0, false, tex));
    EXPECT_EQ(tex, 7u);
    EXPECT_TRUE(gl.asked);
    ASSERT_EQ(gl.images.size(), 1u);
    // A 32-bit TGA of 2 x 2 with 8 alpha bits, bottom up: the last source row first, bytes as stored.
    EXPECT_EQ(gl.images[0], (Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0x08,
                                   0x21, 0x22, 0x23, 0x24, 0x31, 0x32, 0x33, 0x34,
                                   0x01, 0x02, 0x03, 0x04, 0x11, 0x12, 0x13, 0x14}));

    TPalette pal{};
    pal[1] = 0x01020304;
    gl.answer = 0; // refused: the name stays
    EXPECT_FALSE(MakeTextureFromPalettedPixels(gl, src, 1, 1, pal, 0, tex));
    EXPECT_EQ(tex, 7u);
    EXPECT_EQ(Pixels(gl.images[1]), (Bytes{4, 3, 2, 1}));
}
