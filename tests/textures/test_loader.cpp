#include <gtest/gtest.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <jpeglib.h>

#include "GLContext.h"
#include "support/Guards.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "textures/Textures.h"
#include "textures/TgaWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!MakeTestContextCurrent())
            GTEST_SKIP() << "no OpenGL context";
    }
    MemoryFrontend fe;
};

Bytes TgaHeader(uint8_t type, uint16_t w, uint16_t h, uint8_t depth, uint8_t cmap = 0)
{
    return {0, cmap, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8),
            depth, 0};
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Level 0 of the bound texture, tightly packed.
Bytes ReadBack(GLenum format, int w, int h, int level = 0)
{
    const int n = format == GL_RGBA ? 4 : 3;
    Bytes out(static_cast<size_t>(w * h * n), 0xCD);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

GLint LevelParam(GLenum p, int level = 0)
{
    GLint v = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, p, &v);
    return v;
}

// A stream that tells when it is freed.
class WatchedStream : public TMemoryStream {
public:
    WatchedStream(std::vector<uint8_t> b, bool& freed) : TMemoryStream(std::move(b)), freed_(freed) {}
    ~WatchedStream() override { freed_ = true; }

private:
    bool& freed_;
};

Bytes MakeJpeg(int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    Bytes row;
    for (int x = 0; x < w; ++x)
        row.insert(row.end(), {r, g, b});
    while (c.next_scanline < c.image_height) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    Bytes out(mem, mem + size);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

Bytes DdsHeader(uint32_t flags, uint32_t w, uint32_t h, uint32_t pitch, uint32_t levels, uint32_t pfFlags,
                const char* fourcc, uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    Bytes d(128, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            d[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, 0x20534444);
    put(4, 124);
    put(8, flags);
    put(12, h);
    put(16, w);
    put(20, pitch);
    put(28, levels);
    put(76, 32);
    put(80, pfFlags);
    if (fourcc)
        std::memcpy(&d[84], fourcc, 4);
    put(88, bits);
    put(92, r);
    put(96, g);
    put(100, b);
    put(104, a);
    return d;
}

} // namespace

TEST_F(LoaderTest, UncompressedTgaSwapsRedBlueAndKeepsStoredRowOrder)
{
    // 3 x 2, 24 bits: rows of 9 bytes, not a multiple of 4.
    Bytes px;
    for (int i = 0; i < 6; ++i)
        px.insert(px.end(), {uint8_t(1 + i * 10), uint8_t(2 + i * 10), uint8_t(3 + i * 10)});
    TMemoryStream s(Cat(TgaHeader(2, 3, 2, 24), px));
    s.Seek(7, SeekOrigin::Begin); // the loader starts from the beginning whatever the position
    uint32_t tex = 0;
    ASSERT_TRUE(TextureFromStream(s, tex, false, false, fe));
    ASSERT_NE(tex, 0u);
    glBindTexture(GL_TEXTURE_2D, tex);
    EXPECT_EQ(LevelParam(GL_TEXTURE_WIDTH), 3);
    const Bytes back = ReadBack(GL_RGB, 3, 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ((Bytes{back[i * 3], back[i * 3 + 1], back[i * 3 + 2]}),
                  (Bytes{uint8_t(3 + i * 10), uint8_t(2 + i * 10), uint8_t(1 + i * 10)}))
            << i;
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_NEAREST);
    EXPECT_TRUE(fe.messages.empty());

    // 32 bits: the alpha byte stays in place. Unpack state is left as it was.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    TMemoryStream s32(Cat(TgaHeader(2, 1, 1, 32), {10, 20, 30, 40}));
    ASSERT_TRUE(TextureFromStream(s32, tex, false, false, fe));
    EXPECT_EQ(ReadBack(GL_RGBA, 1, 1), (Bytes{30, 20, 10, 40}));
    GLint align = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &align);
    EXPECT_EQ(align, 4);
}

TEST_F(LoaderTest, CompressedMipmappedUploadStillHoldsTheImage)
{
    // The program's own case: mipmaps and compression asked. Solid opaque colours survive S3TC exactly.
    Bytes px;
    for (int i = 0; i < 8 * 8; ++i)
        px.insert(px.end(), {0, 0, 255, 255}); // red
    TMemoryStream s(Cat(TgaHeader(2, 8, 8, 32), px));
    uint32_t tex = 0;
    ASSERT_TRUE(TextureFromStream(s, tex, true, true, fe));
    glBindTexture(GL_TEXTURE_2D, tex);
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(LevelParam(GL_TEXTURE_WIDTH, 3), 1); // mip levels down to 1 x 1
    const Bytes back = ReadBack(GL_RGBA, 8, 8);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ((Bytes{back[i * 4], back[i * 4 + 1], back[i * 4 + 2], back[i * 4 + 3]}),
                  (Bytes{255, 0, 0, 255}));
}

TEST_F(LoaderTest, RunLengthTga)
{
    // One run packet of four pixels.
    TMemoryStream run(Cat(TgaHeader(10, 2, 2, 24), {0x83, 1, 2, 3}));
    uint32_t tex = 0;
    ASSERT_TRUE(TextureFromStream(run, tex, false, false, fe));
    EXPECT_EQ(ReadBack(GL_RGB, 2, 2), (Bytes{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1}));

    // A raw packet of one pixel, then a run that would overflow the image: clipped.
    TMemoryStream raw(Cat(TgaHeader(10, 3, 1, 32), {0x00, 1, 2, 3, 4, 0xFF, 5, 6, 7, 8}));
    ASSERT_TRUE(TextureFromStream(raw, tex, false, false, fe));
    EXPECT_EQ(ReadBack(GL_RGBA, 3, 1), (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 7, 6, 5, 8}));

    // Packets that end early leave the rest black.
    TMemoryStream shortRun(Cat(TgaHeader(10, 2, 1, 24), {0x00, 9, 9, 9, 0x00}));
    ASSERT_TRUE(TextureFromStream(shortRun, tex, false, false, fe));
    EXPECT_EQ(ReadBack(GL_RGB, 2, 1), (Bytes{9, 9, 9, 0, 0, 0}));
}

TEST_F(LoaderTest, RefusedTgaShowsOneMessageAndMakesNoTexture)
{
    uint32_t tex = 4242;
    TMemoryStream grey(Cat(TgaHeader(3, 1, 1, 8), {1}));
    EXPECT_FALSE(TextureFromStream(grey, tex, true, true, fe));
    TMemoryStream greyRle(Cat(TgaHeader(11, 1, 1, 8), {0, 1}));
    EXPECT_FALSE(TextureFromStream(greyRle, tex, true, true, fe));
    TMemoryStream mapped(Cat(TgaHeader(2, 1, 1, 24, 1), {1, 2, 3}));
    EXPECT_FALSE(LoadTgaStream(mapped, tex, true, true, fe));
    TMemoryStream deep16(Cat(TgaHeader(2, 1, 1, 16), {1, 2}));
    EXPECT_FALSE(TextureFromStream(deep16, tex, true, true, fe));
    EXPECT_EQ(tex, 4242u);
    EXPECT_EQ(fe.messages, (std::vector<std::string>{
                               "TGA File Error: Couldn't load stream. Only 24 and 32bit TGA supported.",
                               "TGA File Error: Couldn't load stream. Only 24 and 32bit TGA supported.",
                               "TGA File Error: Couldn't load stream. Colormapped TGA files not supported.",
                               "TGA File Error: Couldn't load stream. Only 24 and 32 bit TGA files supported.",
                           }));

    // Pixel data cut short: a stream error, before any buffer of the claimed size is made.
    TMemoryStream cut(Cat(TgaHeader(2, 65535, 65535, 32), {1, 2, 3, 4}));
    EXPECT_EQ(ErrorOf([&] { TextureFromStream(cut, tex, true, true, fe); }),
              "Stream read error: memory stream: 17179344900 bytes needed at offset 18, the file holds 22 bytes.");
    TMemoryStream one(Bytes{0});
    EXPECT_THROW(TextureFromStream(one, tex, true, true, fe), EStreamError);
    EXPECT_EQ(tex, 4242u);
}

TEST_F(LoaderTest, UnknownStreamIsRefusedSilentlyAndStillFreed)
{
    bool freed = false;
    uint32_t tex = 5;
    EXPECT_FALSE(TextureFromStream(std::make_unique<WatchedStream>(Bytes{0x47, 0x49, 0x46}, freed), tex, true, true,
                                   fe));
    EXPECT_TRUE(freed);
    EXPECT_EQ(tex, 5u);
    EXPECT_TRUE(fe.messages.empty());
}

TEST_F(LoaderTest, BmpAndJpeg)
{
    // 24-bit BMP, width 3: padded rows of 12 bytes, bottom row first.
    Bytes bmp(54, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(10, 54);
    put(14, 40);
    put(18, 3);
    put(22, 2);
    bmp[26] = 1;
    bmp[28] = 24;
    put(34, 24);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x)
            bmp.insert(bmp.end(), {uint8_t(x), uint8_t(y), uint8_t(100 + x)});
        bmp.insert(bmp.end(), {0xEE, 0xEE, 0xEE});
    }
    TMemoryStream s(bmp);
    uint32_t tex = 0;
    ASSERT_TRUE(TextureFromStream(s, tex, false, false, fe));
    EXPECT_EQ(ReadBack(GL_RGB, 3, 2), (Bytes{100, 0, 0, 101, 0, 1, 102, 0, 2, 100, 1, 0, 101, 1, 1, 102, 1, 2}));

    // A header that claims more pixels than the stream holds: a stream error, no huge buffer.
    Bytes cut(bmp.begin(), bmp.begin() + 54);
    cut[18] = 0xFF;
    cut[19] = 0xFF;
    cut[22] = 0xFF;
    cut[23] = 0xFF;
    TMemoryStream sc(cut);
    EXPECT_EQ(ErrorOf([&] { TextureFromStream(sc, tex, false, false, fe); }),
              "Stream read error: memory stream: 12884508675 bytes needed at offset 54, the file holds 54 bytes.");

    // JPEG: a solid colour, alpha 255.
    TMemoryStream j(MakeJpeg(8, 4, 200, 40, 90));
    ASSERT_TRUE(TextureFromStream(j, tex, false, false, fe));
    glBindTexture(GL_TEXTURE_2D, tex);
    EXPECT_EQ(LevelParam(GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(LevelParam(GL_TEXTURE_HEIGHT), 4);
    const Bytes back = ReadBack(GL_RGBA, 8, 4);
    EXPECT_NEAR(back[0], 200, 3);
    EXPECT_NEAR(back[1], 40, 3);
    EXPECT_NEAR(back[2], 90, 3);
    EXPECT_EQ(back[3], 255);

    Bytes broken = MakeJpeg(8, 8, 1, 2, 3);
    broken.resize(20);
    TMemoryStream bj(broken);
    EXPECT_THROW(TextureFromStream(bj, tex, false, false, fe), EStreamError);
}

TEST_F(LoaderTest, DdsCompressedLevels)
{
    Bytes dds = DdsHeader(0x1 | 0x1000 | 0x20000, 64, 64, 0, 4, 0x4, "DXT5", 0, 0, 0, 0, 0);
    dds.resize(128 + 4096 + 1024 + 256 + 64, 0);
    TMemoryStream s(dds);
    uint32_t tex = 0;
    ASSERT_TRUE(TextureFromStream(s, tex, true, true, fe));
    glBindTexture(GL_TEXTURE_2D, tex);
    GLint minFilter = 0, maxLevel = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &maxLevel);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(maxLevel, 3);
    const int sizes[4] = {4096, 1024, 256, 64};
    for (int l = 0; l < 4; ++l)
        EXPECT_EQ(LevelParam(GL_TEXTURE_COMPRESSED_IMAGE_SIZE, l), sizes[l]) << l;

    // Sides that are not multiples of 4 are stored in whole blocks: every level is accepted.
    struct Odd {
        const char* fourcc;
        uint32_t w, h, levels;
        std::vector<int> bytes;
    };
    for (const Odd& o : {Odd{"DXT1", 6, 5, 3, {32, 8, 8}}, Odd{"DXT5", 12, 20, 5, {240, 96, 32, 16, 16}}}) {
        Bytes odd = DdsHeader(0x1 | 0x1000 | 0x20000, o.w, o.h, 0, o.levels, 0x4, o.fourcc, 0, 0, 0, 0, 0);
        for (int b : o.bytes)
            odd.resize(odd.size() + static_cast<size_t>(b), 0x5A);
        TMemoryStream so(odd);
        uint32_t t = 0;
        while (glGetError() != GL_NO_ERROR) {
        }
        ASSERT_TRUE(LoadDdsStream(so, t)) << o.fourcc;
        EXPECT_EQ(glGetError(), GL_NO_ERROR) << o.fourcc;
        glBindTexture(GL_TEXTURE_2D, t);
        uint32_t w = o.w, h = o.h;
        for (uint32_t l = 0; l < o.levels; ++l, w = (w + 1) / 2, h = (h + 1) / 2) {
            EXPECT_EQ(LevelParam(GL_TEXTURE_WIDTH, l), static_cast<GLint>(w)) << o.fourcc << " level " << l;
            EXPECT_EQ(LevelParam(GL_TEXTURE_HEIGHT, l), static_cast<GLint>(h)) << o.fourcc << " level " << l;
            EXPECT_EQ(LevelParam(GL_TEXTURE_COMPRESSED_IMAGE_SIZE, l), o.bytes[l]) << o.fourcc << " level " << l;
        }
        EXPECT_EQ(so.Position(), static_cast<int64_t>(odd.size())) << o.fourcc;
    }

    // Header size other than 124: refused, nothing made.
    Bytes bad = dds;
    bad[4] = 123;
    TMemoryStream sb(bad);
    uint32_t kept = 77;
    EXPECT_FALSE(TextureFromStream(sb, kept, true, true, fe));
    EXPECT_EQ(kept, 77u);
    // A first level the file cannot hold, or a format outside the table: refused too.
    Bytes cut(dds.begin(), dds.begin() + 200);
    TMemoryStream sc(cut);
    EXPECT_FALSE(LoadDdsStream(sc, kept));
    TMemoryStream sf(DdsHeader(0x1001, 4, 4, 0, 0, 0x4, "ATI2", 0, 0, 0, 0, 0));
    EXPECT_FALSE(LoadDdsStream(sf, kept));
    EXPECT_EQ(kept, 77u);
}

TEST_F(LoaderTest, DdsUncompressedAndPaletted)
{
    // BGRA8, 3 x 1, one level; the row length does not stay set afterwards.
    Bytes dds = Cat(DdsHeader(0x1001, 3, 1, 12, 0, 0x41, nullptr, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
                    {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    TMemoryStream s(dds);
    uint32_t tex = 0;
    ASSERT_TRUE(LoadDdsStream(s, tex));
    glBindTexture(GL_TEXTURE_2D, tex);
    EXPECT_EQ(ReadBack(GL_RGBA, 3, 1), (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}));
    GLint rowLength = -1;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    EXPECT_EQ(rowLength, 0);

    // 5-6-5: red in the top five bits.
    Bytes d565 = Cat(DdsHeader(0x1001, 1, 1, 2, 0, 0x40, nullptr, 16, 0xF800, 0x7E0, 0x1F, 0), {0x00, 0xF8});
    TMemoryStream s565(d565);
    ASSERT_TRUE(LoadDdsStream(s565, tex));
    glBindTexture(GL_TEXTURE_2D, tex);
    const Bytes c = ReadBack(GL_RGB, 1, 1);
    EXPECT_EQ((Bytes{c[0], c[1], c[2]}), (Bytes{255, 0, 0}));

    // Index8 with a pitch wider than the image: each row starts at the pitch.
    Bytes pal(1024, 0);
    pal[4 * 1 + 2] = 200; // entry 1: B G R A = 0 0 200 0
    pal[4 * 2 + 0] = 100; // entry 2: blue 100
    Bytes d8 = Cat(Cat(DdsHeader(0x1001, 2, 2, 4, 0, 0x20, nullptr, 8, 0, 0, 0, 0), pal),
                   {1, 2, 9, 9, 2, 1, 9, 9});
    TMemoryStream s8(d8);
    ASSERT_TRUE(LoadDdsStream(s8, tex));
    glBindTexture(GL_TEXTURE_2D, tex);
    EXPECT_EQ(ReadBack(GL_RGB, 2, 2), (Bytes{200, 0, 0, 0, 0, 100, 0, 0, 100, 200, 0, 0}));
}

TEST_F(LoaderTest, TextureServicesUploadAndDelete)
{
    TOpenGLTextures gl(fe);
    // A 32-bit source of 2 x 2 pixels B G R A through the in-memory TGA writer; the driver may compress it, so
    // the pixels are two colours that block compression keeps exactly.
    TMemoryStream src(Bytes{0, 0, 255, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255});
    uint32_t tex = 0;
    ASSERT_TRUE(MakeTextureFromPixels(gl, src, 2, 2, 32, 0, false, tex));
    glBindTexture(GL_TEXTURE_2D, tex);
    // Texture row 0 is the source's last row (blue, blue), then red, blue.
    EXPECT_EQ(ReadBack(GL_RGBA, 2, 2), (Bytes{0, 0, 255, 255, 0, 0, 255, 255, 255, 0, 0, 255, 0, 0, 255, 255}));
    EXPECT_TRUE(glIsTexture(tex));
    gl.DeleteTexture(tex);
    EXPECT_FALSE(glIsTexture(tex));
    TMemoryStream junk(Bytes{1, 2, 3});
    EXPECT_EQ(gl.TextureFromStream(junk, true, true), 0u);
}
