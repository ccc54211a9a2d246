// Raw console images: 32-bit pixels from offset 0 of a file named "ps2_*" (256 x 32) or "defcon_*" (512 x 128).
#pragma once

#include <string>

class TStream;

struct RawImageSize {
    int Width = 0;
    int Height = 0;
};

// The size a file name stands for; 0 x 0 when the name is no raw image's (compared without case).
RawImageSize RawImageSizeOf(const std::string& fileName);

// Writes the file's pixels (read from `source` at 0, red and blue swapped, rows kept) as a TGA image next to it
// with the extension ".tga". False, writing nothing, when the name is no raw image's.
bool ConvertRawImage(const std::string& fileName, TStream& source);
