#include "textures/Textures.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/Frontend.h"
#include "platform/Stream.h"

namespace {

const char* const kTgaCaption = "TGA File Error";

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Unpack state for tightly packed rows, put back as it was afterwards.
class PackedRows {
public:
    PackedRows()
    {
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment_);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength_);
        glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows_);
        glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skipPixels_);
        glGetIntegerv(GL_UNPACK_SWAP_BYTES, &swapBytes_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, 0);
    }
    ~PackedRows()
    {
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment_);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength_);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows_);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels_);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, swapBytes_);
    }
    PackedRows(const PackedRows&) = delete;
    PackedRows& operator=(const PackedRows&) = delete;

private:
    GLint alignment_ = 4, rowLength_ = 0, skipRows_ = 0, skipPixels_ = 0, swapBytes_ = 0;
};

// The rest of the stream from the current position.
int64_t Remaining(TStream& s) { return std::max<int64_t>(0, s.Size() - s.Position()); }

} // namespace

void SwapRedBlue24(uint8_t* Pixels, uint64_t Count)
{
    for (uint64_t i = 0; i < Count; ++i, Pixels += 3)
        std::swap(Pixels[0], Pixels[2]);
}

void CopyPixelSwapped(const uint8_t* Src, uint8_t* Dst, int BytesPerPixel)
{
    Dst[0] = Src[2];
    Dst[1] = Src[1];
    Dst[2] = Src[0];
    if (BytesPerPixel == 4)
        Dst[3] = Src[3];
}

uint32_t CreateGLTexture(uint16_t Width, uint16_t Height, uint32_t Format, const uint8_t* Pixels, bool Mipmaps,
                         bool Compress)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, Mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);

    const bool rgba = Format == GL_RGBA;
    const GLenum format = rgba ? GL_RGBA : GL_RGB;
    const GLint plain = rgba ? GL_RGBA : 3;
    const GLint internal = Compress ? (rgba ? GL_COMPRESSED_RGBA_ARB : GL_COMPRESSED_RGB_ARB) : plain;

    PackedRows packed;
    if (Mipmaps)
        gluBuild2DMipmaps(GL_TEXTURE_2D, internal, Width, Height, format, GL_UNSIGNED_BYTE, Pixels);
    else
        glTexImage2D(GL_TEXTURE_2D, 0, internal, Width, Height, 0, format, GL_UNSIGNED_BYTE, Pixels);
    if (Compress) {
        GLint compressed = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_ARB, &compressed);
        if (compressed == 0)
            gluBuild2DMipmaps(GL_TEXTURE_2D, plain, Width, Height, format, GL_UNSIGNED_BYTE, Pixels);
    }
    return texture;
}

bool LoadTgaStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress, Frontend& Messages)
{
    Stream.Seek(0, SeekOrigin::Begin);
    uint8_t h[18];
    Stream.ReadBuffer(h, 18);
    const uint8_t imageType = h[2];
    if (imageType != 2 && imageType != 10) {
        Messages.MessageBox("Couldn't load stream. Only 24 and 32bit TGA supported.", kTgaCaption);
        return false;
    }
    if (h[1] != 0) {
        Messages.MessageBox("Couldn't load stream. Colormapped TGA files not supported.", kTgaCaption);
        return false;
    }
    const uint16_t width = Le16(h + 12), height = Le16(h + 14);
    const uint8_t depth = h[16];
    if (depth != 24 && depth != 32) {
        Messages.MessageBox("Couldn't load stream. Only 24 and 32 bit TGA files supported.", kTgaCaption);
        return false;
    }
    const int bpp = depth / 8;
    const uint64_t pixelCount = static_cast<uint64_t>(width) * height;
    const uint64_t n = pixelCount * static_cast<uint64_t>(bpp);
    const int64_t avail = Remaining(Stream);
    std::vector<uint8_t> pixels;

    if (imageType == 2) {
        RequireBytes(Stream, Stream.Position(), static_cast<int64_t>(n)); // before the buffer is made
        pixels.resize(n);
        Stream.ReadBuffer(pixels.data(), static_cast<int64_t>(n));
        for (uint64_t i = 0; i < n; i += bpp)
            std::swap(pixels[i], pixels[i + 2]);
    } else {
        // A packet yields at most 128 pixels: data that cannot make the image is cut short.
        RequireBytes(Stream, Stream.Position(), static_cast<int64_t>((pixelCount + 127) / 128));
        std::vector<uint8_t> packets(static_cast<size_t>(avail));
        Stream.ReadBuffer(packets.data(), avail);
        pixels.assign(n, 0);
        uint64_t produced = 0;
        size_t pos = 0;
        // Packets past the image's end are dropped; data that ends early leaves the rest zero.
        while (produced < pixelCount && pos < packets.size()) {
            const uint8_t header = packets[pos++];
            const uint64_t count = (header & 0x7F) + 1u;
            if (header < 128) {
                for (uint64_t i = 0; i < count && pos + bpp <= packets.size(); ++i, pos += bpp, ++produced)
                    if (produced < pixelCount)
                        CopyPixelSwapped(&packets[pos], &pixels[produced * bpp], bpp);
            } else {
                if (pos + bpp > packets.size())
                    break;
                for (uint64_t i = 0; i < count && produced < pixelCount; ++i, ++produced)
                    CopyPixelSwapped(&packets[pos], &pixels[produced * bpp], bpp);
                pos += bpp;
            }
        }
    }
    Texture = CreateGLTexture(width, height, bpp == 3 ? GL_RGB : GL_RGBA, pixels.data(), Mipmaps, Compress);
    return true;
}

bool LoadBmpStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress)
{
    Stream.Seek(0, SeekOrigin::Begin);
    uint8_t h[54];
    Stream.ReadBuffer(h, 54);
    const uint32_t dataOffset = Le32(h + 10);
    const int32_t width = static_cast<int32_t>(Le32(h + 18));
    const int32_t height = static_cast<int32_t>(Le32(h + 22));
    const uint16_t bitCount = Le16(h + 28);
    const uint32_t size = Le32(h + 34);
    const uint32_t coloursUsed = Le32(h + 46);
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF)
        return false;
    // The colour table is not used: pixels start at the stored data offset, or right after the table.
    int64_t start = 54 + 4 * static_cast<int64_t>(coloursUsed);
    if (dataOffset >= 54)
        start = dataOffset;
    const uint64_t packedRow = static_cast<uint64_t>(width) * 3;
    const uint64_t storedRow = (packedRow + 3) & ~uint64_t{3}; // BMP rows are padded to 4 bytes
    uint64_t bytes = size != 0 ? size : static_cast<uint64_t>(width) * height * bitCount / 8;
    // At least the pixels the upload takes; the stream must hold them.
    bytes = std::max<uint64_t>(bytes, packedRow * height);
    Stream.Seek(start, SeekOrigin::Begin);
    RequireBytes(Stream, Stream.Position(), static_cast<int64_t>(bytes));
    std::vector<uint8_t> data(bytes);
    Stream.ReadBuffer(data.data(), static_cast<int64_t>(bytes));
    if (bytes >= storedRow * height && storedRow != packedRow)
        for (int32_t y = 1; y < height; ++y)
            std::memmove(&data[y * packedRow], &data[y * storedRow], packedRow);
    SwapRedBlue24(data.data(), static_cast<uint64_t>(width) * height);
    Texture = CreateGLTexture(static_cast<uint16_t>(width), static_cast<uint16_t>(height), GL_RGB, data.data(),
                              Mipmaps, Compress);
    return true;
}

namespace {
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};
void JpegErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    cinfo->err->format_message(cinfo, err->text);
    std::longjmp(err->jump, 1);
}
void JpegQuiet(j_common_ptr, int) {}
} // namespace

bool LoadJpegStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress)
{
    Stream.Seek(0, SeekOrigin::Begin);
    std::vector<uint8_t> bytes(static_cast<size_t>(Remaining(Stream)));
    Stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));

    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegErrorExit;
    err.mgr.emit_message = JpegQuiet;
    std::vector<uint8_t> rgb;
    unsigned w = 0, h = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        throw EStreamError(std::string("JPEG error: ") + err.text);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    w = cinfo.output_width;
    h = cinfo.output_height;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (w > static_cast<unsigned>(maxSize) || h > static_cast<unsigned>(maxSize)) {
        jpeg_destroy_decompress(&cinfo); // larger than any texture: refused before its pixels are made
        return false;
    }
    rgb.resize(static_cast<size_t>(w) * h * 3);
    while (cinfo.output_scanline < h) {
        JSAMPROW row = &rgb[static_cast<size_t>(cinfo.output_scanline) * w * 3];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);

    // Bottom row of the image first, R G B 255.
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    for (unsigned y = 0; y < h; ++y) {
        const uint8_t* src = &rgb[static_cast<size_t>(h - 1 - y) * w * 3];
        uint8_t* dst = &rgba[static_cast<size_t>(y) * w * 4];
        for (unsigned x = 0; x < w; ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            dst[3] = 255;
        }
    }
    Texture = CreateGLTexture(static_cast<uint16_t>(w), static_cast<uint16_t>(h), GL_RGBA, rgba.data(), Mipmaps,
                              Compress);
    return true;
}

// ---- DDS ----

namespace {
constexpr uint32_t kFourCC = 0x4, kRGB = 0x40, kAlphaPixels = 0x1, kPaletteIndexed8 = 0x20;
constexpr uint32_t FourCC(const char (&s)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

// Row order: DXT1, DXT3, DXT5, BGRA8, BGR8, BGR5A1, BGR565, Index8. 5-6-5 pixels go up as GL_RGB, the only
// format OpenGL accepts with that packed type; it gives red the top five bits, as the DDS masks say.
const DdsFormatInfo kDdsFormatTable[8] = {
    {true, false, false, 4, 8, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0},
    {true, false, false, 4, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0},
    {true, false, false, 4, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0},
    {false, false, false, 1, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE},
    {false, false, false, 1, 3, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE},
    {false, true, false, 1, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV},
    {false, true, false, 1, 2, GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5},
    {false, false, true, 1, 1, GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE},
};
} // namespace

bool IsDdsDXT1(const DdsPixelFormat& pf) { return (pf.Flags & kFourCC) && pf.FourCC == FourCC("DXT1"); }
bool IsDdsDXT3(const DdsPixelFormat& pf) { return (pf.Flags & kFourCC) && pf.FourCC == FourCC("DXT3"); }
bool IsDdsDXT5(const DdsPixelFormat& pf) { return (pf.Flags & kFourCC) && pf.FourCC == FourCC("DXT5"); }
bool IsDdsBGRA8(const DdsPixelFormat& pf)
{
    return (pf.Flags & kRGB) && (pf.Flags & kAlphaPixels) && pf.RGBBitCount == 32 && pf.RBitMask == 0xFF0000 &&
           pf.GBitMask == 0xFF00 && pf.BBitMask == 0xFF && pf.ABitMask == 0xFF000000;
}
bool IsDdsBGR8(const DdsPixelFormat& pf)
{
    return (pf.Flags & kRGB) && !(pf.Flags & kAlphaPixels) && pf.RGBBitCount == 24 && pf.RBitMask == 0xFF0000 &&
           pf.GBitMask == 0xFF00 && pf.BBitMask == 0xFF;
}
bool IsDdsBGR5A1(const DdsPixelFormat& pf)
{
    return (pf.Flags & kRGB) && (pf.Flags & kAlphaPixels) && pf.RGBBitCount == 16 && pf.RBitMask == 0x7C00 &&
           pf.GBitMask == 0x3E0 && pf.BBitMask == 0x1F && pf.ABitMask == 0x8000;
}
bool IsDdsBGR565(const DdsPixelFormat& pf)
{
    return (pf.Flags & kRGB) && !(pf.Flags & kAlphaPixels) && pf.RGBBitCount == 16 && pf.RBitMask == 0xF800 &&
           pf.GBitMask == 0x7E0 && pf.BBitMask == 0x1F;
}
bool IsDdsIndex8(const DdsPixelFormat& pf) { return (pf.Flags & kPaletteIndexed8) && pf.RGBBitCount == 8; }

const DdsFormatInfo* FindDdsFormat(const DdsPixelFormat& pf)
{
    bool (*const tests[8])(const DdsPixelFormat&) = {IsDdsDXT1,   IsDdsDXT3,  IsDdsDXT5,   IsDdsBGRA8,
                                                     IsDdsBGR8,   IsDdsBGR5A1, IsDdsBGR565, IsDdsIndex8};
    for (int i = 0; i < 8; ++i)
        if (tests[i](pf))
            return &kDdsFormatTable[i];
    return nullptr;
}

bool LoadDdsStream(TStream& Stream, uint32_t& Texture)
{
    Stream.Seek(0, SeekOrigin::Begin);
    uint8_t h[128] = {};
    Stream.Read(h, 128);
    const uint32_t flags = Le32(h + 8);
    if (Le32(h) != 0x20534444 || Le32(h + 4) != 124 || !(flags & 0x1000) || !(flags & 0x1))
        return false;
    const uint32_t height = Le32(h + 12), width = Le32(h + 16), pitch = Le32(h + 20);
    DdsPixelFormat pf{};
    pf.Size = Le32(h + 76);
    pf.Flags = Le32(h + 80);
    pf.FourCC = Le32(h + 84);
    pf.RGBBitCount = Le32(h + 88);
    pf.RBitMask = Le32(h + 92);
    pf.GBitMask = Le32(h + 96);
    pf.BBitMask = Le32(h + 100);
    pf.ABitMask = Le32(h + 104);
    const DdsFormatInfo* info = FindDdsFormat(pf);
    if (!info)
        return false;

    // Sizes the driver cannot take, or a first level the file cannot hold, are refused before anything is made.
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width == 0 || height == 0 || width > static_cast<uint32_t>(maxSize) || height > static_cast<uint32_t>(maxSize))
        return false;
    const uint64_t d = info->BlockDivisor;
    // A compressed level is stored in whole blocks of d x d pixels, also when its sides are not multiples of d.
    auto levelBytes = [&](uint64_t w, uint64_t hh) {
        if (info->Compressed)
            return ((w + d - 1) / d) * ((hh + d - 1) / d) * info->BlockBytes;
        return w * hh * info->BlockBytes;
    };
    const uint64_t rowLength0 = info->Palette ? std::max<uint64_t>(pitch, width) : width;
    const uint64_t firstLevel = info->Palette ? rowLength0 * height : levelBytes(width, height);
    if (firstLevel > static_cast<uint64_t>(Remaining(Stream)))
        return false;

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    // A mip-map count of 0, or more levels than halving can give, is bounded.
    const uint32_t maxLevels = std::bit_width(std::max(width, height));
    uint32_t levels = (flags & 0x20000) ? Le32(h + 28) : 1;
    levels = std::clamp<uint32_t>(levels, 1, maxLevels);
    if (levels < 2) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    }

    PackedRows packed;
    // 16-bit pixels are stored little-endian: the byte swap applies only on a big-endian host.
    const bool swap = info->SwapBytes && std::endian::native == std::endian::big;
    uint8_t palette[1024] = {};
    if (info->Palette)
        Stream.Read(palette, sizeof palette);
    uint64_t w = width, hh = height;
    std::vector<uint8_t> level, expanded;
    for (uint32_t l = 0; l < levels; ++l) {
        if (info->Compressed) {
            level.assign(levelBytes(w, hh), 0);
            Stream.Read(level.data(), static_cast<int64_t>(level.size()));
            glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), info->InternalFormat,
                                   static_cast<GLsizei>(w), static_cast<GLsizei>(hh), 0,
                                   static_cast<GLsizei>(level.size()), level.data());
        } else if (info->Palette) {
            const uint64_t rowLength = l == 0 ? rowLength0 : w;
            level.assign(rowLength * hh, 0);
            Stream.Read(level.data(), static_cast<int64_t>(level.size()));
            expanded.resize(level.size() * 4);
            for (size_t i = 0; i < level.size(); ++i)
                std::memcpy(&expanded[i * 4], &palette[level[i] * 4], 4);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(rowLength));
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), static_cast<GLint>(info->InternalFormat),
                         static_cast<GLsizei>(w), static_cast<GLsizei>(hh), 0, info->ExternalFormat, info->PixelType,
                         expanded.data());
        } else {
            level.assign(levelBytes(w, hh), 0);
            Stream.Read(level.data(), static_cast<int64_t>(level.size()));
            glPixelStorei(GL_UNPACK_SWAP_BYTES, swap ? 1 : 0);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(w));
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), static_cast<GLint>(info->InternalFormat),
                         static_cast<GLsizei>(w), static_cast<GLsizei>(hh), 0, info->ExternalFormat, info->PixelType,
                         level.data());
        }
        w = (w + 1) / 2;
        hh = (hh + 1) / 2;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    Texture = texture;
    return true;
}

// ---- dispatch ----

bool TextureFromStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress, Frontend& Messages)
{
    Stream.Seek(0, SeekOrigin::Begin);
    uint8_t m[2];
    Stream.ReadBuffer(m, 2);
    if (m[0] == 'B' && m[1] == 'M')
        return LoadBmpStream(Stream, Texture, Mipmaps, Compress);
    if (m[0] == 0xFF && m[1] == 0xD8)
        return LoadJpegStream(Stream, Texture, Mipmaps, Compress);
    if (m[0] == 0 && m[1] == 0)
        return LoadTgaStream(Stream, Texture, Mipmaps, Compress, Messages);
    if (m[0] == 'D' && m[1] == 'D')
        return LoadDdsStream(Stream, Texture);
    return false;
}

bool TextureFromStream(std::unique_ptr<TStream> Stream, uint32_t& Texture, bool Mipmaps, bool Compress,
                       Frontend& Messages)
{
    return TextureFromStream(*Stream, Texture, Mipmaps, Compress, Messages);
}

uint32_t TOpenGLTextures::TextureFromStream(TMemoryStream& stream, bool mipmaps, bool compress)
{
    if (makeCurrent_)
        makeCurrent_();
    uint32_t texture = 0;
    return ::TextureFromStream(stream, texture, mipmaps, compress, messages_) ? texture : 0;
}

void TOpenGLTextures::DeleteTexture(uint32_t name)
{
    if (makeCurrent_)
        makeCurrent_();
    GLuint n = name;
    glDeleteTextures(1, &n);
}
