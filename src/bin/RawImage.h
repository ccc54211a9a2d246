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

enum class RawConversion {
    NoRawImage,   // the name is no raw image's: nothing written
    Converted,
    WouldReplace, // the TGA file's path names the raw image itself (by identity): nothing written
};

// The TGA file that a raw image is converted to: its path with the extension ".tga".
std::string RawImageOutput(const std::string& fileName);

// Writes the file's pixels (read from `source` at 0, red and blue swapped, rows kept) as the TGA image
// RawImageOutput(fileName), never over the file at fileName.
RawConversion ConvertRawImage(const std::string& fileName, TStream& source);
