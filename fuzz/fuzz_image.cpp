// Image decoders that need no OpenGL context: DXT1 and DXT5 blocks, TGA images built from plain and paletted
// pixels, and the raw console images of the "Bin unpacker".
//
// Input: decoder byte, width and height (u16 little-endian each; at most 2^18 pixels are taken), a parameter
// byte, then the stored bytes. Parameter: bytes per pixel of the DXT output, bits per pixel, red/blue swap and
// source offset of the TGA builders, and the raw image's name.
#include "FuzzSupport.h"
#include "bin/RawImage.h"
#include "platform/Stream.h"
#include "textures/DDS.h"
#include "textures/TgaWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    const uint8_t decoder = data[0];
    const int width = data[1] | (data[2] << 8), height = data[3] | (data[4] << 8);
    const uint8_t param = data[5];
    if (static_cast<int64_t>(width) * height > (1 << 18))
        return 0;
    TMemoryStream source(std::vector<uint8_t>(data + 6, data + size));
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    switch (decoder % 5) {
    case 0:
    case 1: {
        const int bpp = (decoder % 5 == 0 ? 3 : 4) + (param & 1);
        std::vector<uint8_t> dest(param >> 1, 0xAB);
        if (decoder % 5 == 0)
            DecodeDXT1(source, dest, height, width, bpp);
        else
            DecodeDXT5(source, dest, height, width, bpp);
        FUZZ_CHECK(dest.size() >= pixels * static_cast<size_t>(bpp), "DXT output smaller than the image");
        break;
    }
    case 2: {
        const uint8_t bits[4] = {8, 16, 24, 32};
        const uint8_t bpp = bits[param & 3];
        const auto image = BuildTGA(source, width, height, bpp, param >> 3, (param & 4) != 0);
        FUZZ_CHECK(image.size() == 18 + pixels * (bpp / 8), "TGA image of the wrong size");
        FUZZ_CHECK((image[12] | (image[13] << 8)) == width && (image[14] | (image[15] << 8)) == height,
                   "TGA header with the wrong sides");
        break;
    }
    case 3: {
        TPalette palette{};
        source.Read(palette.data(), sizeof palette);
        const auto image = BuildPalettedTGA(source, width, height, palette, param);
        FUZZ_CHECK(image.size() == 18 + pixels * 4, "paletted TGA image of the wrong size");
        break;
    }
    default: {
        fuzz::WorkFolder folder;
        const std::string name = (folder.Path() / ((param & 1) ? "defcon_level.raw" : "ps2_logo.raw")).string();
        fuzz::Command([&] { ConvertRawImage(name, source); });
        const RawImageSize s = RawImageSizeOf(name);
        const auto tga = fuzz::ReadFile(folder.Path() / ((param & 1) ? "defcon_level.tga" : "ps2_logo.tga"));
        FUZZ_CHECK(tga && tga->size() == 18 + static_cast<size_t>(s.Width) * s.Height * 4,
                   "raw image converted to a TGA file of the wrong size");
        break;
    }
    }
    return 0;
}
