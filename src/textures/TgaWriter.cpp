#include "textures/TgaWriter.h"

#include "platform/OutputFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "platform/GLTextures.h"
#include "platform/Stream.h"

const std::array<uint8_t, 12> TgaHeaderPrefix = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};

namespace {

// Pixel bytes handled at a time when an image is read or written in runs.
constexpr int64_t kRunBytes = 1 << 20;

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

// Leaves the source where a read of count bytes from offset would leave it.
void PositionAfter(TStream& source, int64_t offset, int64_t count)
{
    const int64_t held = std::clamp<int64_t>(source.Size() - offset, 0, std::max<int64_t>(count, 0));
    source.Seek(offset + held, SeekOrigin::Begin);
}

// Stored rows first .. first + rows - 1 of an image of `height` rows of rowBytes bytes, taken from the source at
// offset: without SwapRB stored row i is source row height - 1 - i; with it, source row i with bytes 0 and 2 of
// each pixel exchanged.
void StoredRows(TStream& source, int64_t offset, int64_t rowBytes, int64_t height, int bytesPerPixel, bool swapRB,
                int64_t first, int64_t rows, uint8_t* dst)
{
    if (swapRB) {
        const int64_t n = rows * rowBytes;
        ReadZeroFilled(source, offset + first * rowBytes, dst, n);
        if (bytesPerPixel >= 3)
            for (uint8_t* p = dst; p < dst + n; p += bytesPerPixel)
                std::swap(p[0], p[2]);
        return;
    }
    for (int64_t i = first; i < first + rows; ++i, dst += rowBytes)
        ReadZeroFilled(source, offset + (height - 1 - i) * rowBytes, dst, rowBytes);
}

// Palette entries, low byte first, of count index bytes taken from the source at offset.
void PalettedPixels(TStream& source, int64_t offset, int64_t count, const TPalette& palette, uint8_t* dst)
{
    std::vector<uint8_t> index(static_cast<size_t>(std::min(count, kRunBytes)));
    for (int64_t done = 0; done < count;) {
        const int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(index.size()));
        ReadZeroFilled(source, offset + done, index.data(), n);
        for (int64_t i = 0; i < n; ++i, dst += 4) {
            const uint32_t c = palette[index[static_cast<size_t>(i)]];
            dst[0] = static_cast<uint8_t>(c);
            dst[1] = static_cast<uint8_t>(c >> 8);
            dst[2] = static_cast<uint8_t>(c >> 16);
            dst[3] = static_cast<uint8_t>(c >> 24);
        }
        done += n;
    }
}

// Writes the header, then the pixel bytes in runs that fill(first, count, dst) provides, to a new file (no
// file is left by a failure). False: the file is one of `keep`, nothing written.
template <typename Fill>
bool WriteImage(const std::string& fileName, const TFileIds& keep, int width, int height, uint8_t bpp, bool topFirst,
                int64_t unitBytes, int64_t units, Fill fill)
{
    return WriteOutputFile(fileName, keep, [&](TFileStream& file) {
        std::vector<uint8_t> out;
        PutHeader(out, width, height, bpp, topFirst);
        file.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
        if (unitBytes > 0 && units > 0) {
            const int64_t perRun = std::clamp<int64_t>(kRunBytes / unitBytes, 1, units);
            out.resize(static_cast<size_t>(perRun * unitBytes));
            for (int64_t first = 0; first < units; first += perRun) {
                const int64_t n = std::min(perRun, units - first);
                fill(first, n, out.data());
                file.WriteBuffer(out.data(), n * unitBytes);
            }
        }
    }, false);
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
    std::vector<uint8_t> out;
    out.reserve(18 + static_cast<size_t>(n));
    PutHeader(out, Width, Height, Bpp, SwapRB);
    out.resize(18 + static_cast<size_t>(n));
    const int64_t rowBytes = static_cast<int64_t>(Width) * (Bpp / 8);
    if (n > 0)
        StoredRows(Source, SourceOffset, rowBytes, Height, Bpp / 8, SwapRB, 0, Height, out.data() + 18);
    PositionAfter(Source, SourceOffset, n);
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
    out.resize(18 + static_cast<size_t>(n));
    PalettedPixels(Source, SourceOffset, count, Palette, out.data() + 18);
    PositionAfter(Source, SourceOffset, count);
    return out;
}

bool WriteTGA(const std::string& FileName, TStream& Source, int Width, int Height, uint8_t Bpp, int64_t SourceOffset,
              bool SwapRB, const TFileIds& Keep)
{
    const int64_t n = TgaPixelBytes(Width, Height, Bpp);
    const int64_t rowBytes = static_cast<int64_t>(Width) * (Bpp / 8);
    const int64_t rows = n > 0 ? Height : 0;
    const bool written = WriteImage(FileName, Keep, Width, Height, Bpp, SwapRB, rowBytes, rows,
                                    [&](int64_t first, int64_t count, uint8_t* dst) {
        StoredRows(Source, SourceOffset, rowBytes, Height, Bpp / 8, SwapRB, first, count, dst);
    });
    PositionAfter(Source, SourceOffset, n);
    return written;
}

bool WritePalettedTGA(const std::string& FileName, TStream& Source, int Width, int Height, TPalette Palette,
                      int64_t SourceOffset, const TFileIds& Keep)
{
    const int64_t count = TgaPixelBytes(Width, Height, 8);
    const bool written = WriteImage(FileName, Keep, Width, Height, 32, false, 4, count,
                                    [&](int64_t first, int64_t n, uint8_t* dst) {
        PalettedPixels(Source, SourceOffset + first, n, Palette, dst);
    });
    PositionAfter(Source, SourceOffset, count);
    return written;
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
