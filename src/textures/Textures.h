// Images held in a stream (TGA, BMP, JPEG, DDS) turned into OpenGL textures. Every function needs a current
// OpenGL context on the calling thread. Texture names are written only on success.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/GLTextures.h"

class Frontend;
class TStream;

// Picks the loader by the first two bytes: "BM" BMP, FF D8 JPEG, 00 00 TGA, "DD" DDS; False for anything else.
// Errors of the stream (a header or pixel data cut short, a JPEG the decoder rejects) raise EStreamError.
bool TextureFromStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress, Frontend& Messages);
// The same, freeing the stream afterwards whatever the result.
bool TextureFromStream(std::unique_ptr<TStream> Stream, uint32_t& Texture, bool Mipmaps, bool Compress,
                       Frontend& Messages);

// Uncompressed (type 2) and run-length (type 10) true-colour TGA of 24 or 32 bits; refusals are shown in
// "TGA File Error" boxes. The first stored row becomes texture row 0; origin and descriptor are not consulted.
bool LoadTgaStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress, Frontend& Messages);
// Uncompressed 24-bit BMP, rows as stored (bottom row first).
bool LoadBmpStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress);
// JPEG through libjpeg; the image's bottom row becomes texture row 0, alpha 255.
bool LoadJpegStream(TStream& Stream, uint32_t& Texture, bool Mipmaps, bool Compress);
// DDS of the formats in DdsFormatTable, every stored mip level uploaded as it is.
bool LoadDdsStream(TStream& Stream, uint32_t& Texture);

// A new texture from tightly packed rows (Format GL_RGBA, else taken as GL_RGB); with Compress a compressed
// internal format is asked, and the pixels go up again uncompressed with mipmaps when the driver did not
// compress. The texture stays bound.
uint32_t CreateGLTexture(uint16_t Width, uint16_t Height, uint32_t Format, const uint8_t* Pixels, bool Mipmaps,
                         bool Compress);

void SwapRedBlue24(uint8_t* Pixels, uint64_t Count);
void CopyPixelSwapped(const uint8_t* Src, uint8_t* Dst, int BytesPerPixel);
inline uint32_t MaxCardinal(uint32_t A, uint32_t B) { return A > B ? A : B; }

// DDS pixel format (the 32 bytes at offset 76 of the header).
struct DdsPixelFormat {
    uint32_t Size, Flags, FourCC, RGBBitCount, RBitMask, GBitMask, BBitMask, ABitMask;
};
struct DdsFormatInfo {
    bool Compressed, SwapBytes, Palette;
    uint32_t BlockDivisor, BlockBytes;
    uint32_t InternalFormat, ExternalFormat, PixelType;
};
bool IsDdsDXT1(const DdsPixelFormat& pf);
bool IsDdsDXT3(const DdsPixelFormat& pf);
bool IsDdsDXT5(const DdsPixelFormat& pf);
bool IsDdsBGRA8(const DdsPixelFormat& pf);
bool IsDdsBGR8(const DdsPixelFormat& pf);
bool IsDdsBGR5A1(const DdsPixelFormat& pf);
bool IsDdsBGR565(const DdsPixelFormat& pf);
bool IsDdsIndex8(const DdsPixelFormat& pf);
// The first matching row, or nullptr.
const DdsFormatInfo* FindDdsFormat(const DdsPixelFormat& pf);

// The texture services over the current context. makeCurrent, when given, runs before every GL use.
class TOpenGLTextures : public GLTextures {
public:
    explicit TOpenGLTextures(Frontend& messages, std::function<void()> makeCurrent = {})
        : messages_(messages), makeCurrent_(std::move(makeCurrent))
    {
    }
    uint32_t TextureFromStream(TMemoryStream& stream, bool mipmaps, bool compress) override;
    void DeleteTexture(uint32_t name) override;

private:
    Frontend& messages_;
    std::function<void()> makeCurrent_;
};
