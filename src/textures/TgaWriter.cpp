#include "textures/TgaWriter.h"

#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "platform/GLTextures.h"
#include "platform/Stream.h"

const std::array<uint8_t, 12> TgaHeaderPrefix = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};

namespace {

// Image descriptor: bits 0-3 count the alpha bits of a 32-bit image; bit 5 set means the first stored row is
// the top row. Images whose rows were reversed are stored bottom row first, which is how the texture loader
// reads every image too, so other programs show them as the display and the exported models do. The row-keeping
// red/blue swap (raw console images) stores the top row first.
uint8_t Descriptor(uint8_t bpp, bool topFirst)
{
    return static_cast<uint8_t>((bpp == 32 ? 8 : 0) | (topFirst ? 0x20 : 0));
}

void PutHeader(std::vector<uint8_t>& out, int width, int height, uint8_t bpp, bool topFirst)
{
    out.insert(out.end(), TgaHeaderPrefix.begin(), TgaHeaderPrefix.end());
    out.push_back(static_cast<uint8_t>(width & 0xFF));
    out.push_back(static_cast<uint8_t>((width >> 8) & 0xFF));
    out.push_back(static_cast<uint8_t>(height & 0xFF));
    out.push_back(static_cast<uint8_t>((height >> 8) & 0xFF));
    out.push_back(bpp);
    out.push_back(Descriptor(bpp, topFirst));
}

// Reads count bytes from offset; what the source does not hold stays zero.
void ReadZeroFilled(TStream& source, int64_t offset, uint8_t* dst, int64_t count)
{
    source.Seek(offset, SeekOrigin::Begin);
    if (count <= 0)
        return;
    std::memset(dst, 0, static_cast<size_t>(count));
    source.Read(dst, count);
}

void SaveAll(const std::string& fileName, const std::vector<uint8_t>& image)
{
    TFileStream file(fileName, TFileStream::Create);
    try {
        file.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
        file.Close();
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(fileName, ec);
        throw;
    }
}

bool Upload(GLTextures& loader, std::vector<uint8_t> image, uint32_t& texture)
{
    TMemoryStream stream(std::move(image));
    const uint32_t name = loader.TextureFromStream(stream, true, true);
    if (name == 0)
        return false;
    texture = name;
    return true;
}

} // namespace

int64_t TgaPixelBytes(int64_t Width, int64_t Height, int Bpp)
{
    const int64_t bytesPerPixel = Bpp / 8;
    if (Width < 0 || Height < 0 || bytesPerPixel < 0)
        throw std::length_error("negative image size");
    const int64_t limit = std::numeric_limits<int32_t>::max();
    if (Width != 0 && Height > limit / Width)
        throw std::length_error("image too large");
    const int64_t pixels = Width * Height;
    if (bytesPerPixel != 0 && pixels > limit / bytesPerPixel)
        throw std::length_error("image too large");
    return pixels * bytesPerPixel;
}

std::vector<uint8_t> BuildTGA(TStream& Source, int Width, int Height, uint8_t Bpp, int64_t SourceOffset, bool SwapRB)
{
    const int64_t n = TgaPixelBytes(Width, Height, Bpp);
    const size_t bytesPerPixel = Bpp / 8;
    std::vector<uint8_t> out;
    out.reserve(18 + static_cast<size_t>(n));
    PutHeader(out, Width, Height, Bpp, SwapRB);
    out.resize(18 + static_cast<size_t>(n));
    uint8_t* pixels = out.data() + 18;
    if (SwapRB) {
        ReadZeroFilled(Source, SourceOffset, pixels, n);
        if (bytesPerPixel >= 3)
            for (uint8_t* p = pixels; p < pixels + n; p += bytesPerPixel)
                std::swap(p[0], p[2]);
    } else {
        std::vector<uint8_t> buf(static_cast<size_t>(n));
        ReadZeroFilled(Source, SourceOffset, buf.data(), n);
        const size_t rowBytes = static_cast<size_t>(Width) * bytesPerPixel;
        for (int r = Height - 1; r >= 0; --r) {
            if (rowBytes)
                std::memcpy(pixels, buf.data() + static_cast<size_t>(r) * rowBytes, rowBytes);
            pixels += rowBytes;
        }
    }
    return out;
}

std::vector<uint8_t> BuildPalettedTGA(TStream& Source, int Width, int Height, const TPalette& Palette,
                                      int64_t SourceOffset)
{
    const int64_t count = TgaPixelBytes(Width, Height, 8);
    const int64_t n = TgaPixelBytes(Width, Height, 32);
    std::vector<uint8_t> out;
    out.reserve(18 + static_cast<size_t>(n));
    PutHeader(out, Width, Height, 32, false);
    std::vector<uint8_t> index(static_cast<size_t>(count));
    ReadZeroFilled(Source, SourceOffset, index.data(), count);
    out.resize(18 + static_cast<size_t>(n));
    uint8_t* p = out.data() + 18;
    for (uint8_t i : index) {
        const uint32_t c = Palette[i];
        p[0] = static_cast<uint8_t>(c);
        p[1] = static_cast<uint8_t>(c >> 8);
        p[2] = static_cast<uint8_t>(c >> 16);
        p[3] = static_cast<uint8_t>(c >> 24);
        p += 4;
    }
    return out;
}

void WriteTGA(const std::string& FileName, TStream& Source, int Width, int Height, uint8_t Bpp, int64_t SourceOffset,
              bool SwapRB)
{
    SaveAll(FileName, BuildTGA(Source, Width, Height, Bpp, SourceOffset, SwapRB));
}

void WritePalettedTGA(const std::string& FileName, TStream& Source, int Width, int Height, TPalette Palette,
                      int64_t SourceOffset)
{
    SaveAll(FileName, BuildPalettedTGA(Source, Width, Height, Palette, SourceOffset));
}

bool MakeTextureFromPixels(GLTextures& Loader, TStream& Source, int Width, int Height, uint8_t Bpp,
                           int64_t SourceOffset, bool SwapRB, uint32_t& Texture)
{
    return Upload(Loader, BuildTGA(Source, Width, Height, Bpp, SourceOffset, SwapRB), Texture);
}

bool MakeTextureFromPalettedPixels(GLTextures& Loader, TStream& Source, int Width, int Height, TPalette Palette,
                                   int64_t SourceOffset, uint32_t& Texture)
{
    return Upload(Loader, BuildPalettedTGA(Source, Width, Height, Palette, SourceOffset), Texture);
}
