// Uncompressed true-colour TGA images built from raw pixels held in a stream.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/OutputFile.h"

class TStream;
class GLTextures;

using TPalette = std::array<uint32_t, 256>;

// The first 12 header bytes of every image written here (image type 2, no ID, no colour map, origin 0, 0).
extern const std::array<uint8_t, 12> TgaHeaderPrefix;

// Byte count of Width x Height pixels of Bpp bits; std::length_error when it is negative or does not fit in a
// signed 32-bit number.
int64_t TgaPixelBytes(int64_t Width, int64_t Height, int Bpp);

// The whole image in memory. Pixels are read from SourceOffset; bytes the source does not hold are zero.
// SwapRB exchanges bytes 0 and 2 of each pixel and keeps the source's row order; without it the rows are
// stored last row first.
std::vector<uint8_t> BuildTGA(TStream& Source, int Width, int Height, uint8_t Bpp, int64_t SourceOffset, bool SwapRB);
// 32-bit image of one palette entry per index byte, rows in source order.
std::vector<uint8_t> BuildPalettedTGA(TStream& Source, int Width, int Height, const TPalette& Palette,
                                      int64_t SourceOffset);

// File writers: the same images, written in runs of rows as they are read (never a whole copy in memory). The
// file is replaced, unless it is one of `Keep`: then nothing is written and the result is false. A file that
// cannot be created raises EStreamError, and a failed write leaves no file behind.
bool WriteTGA(const std::string& FileName, TStream& Source, int Width, int Height, uint8_t Bpp, int64_t SourceOffset,
              bool SwapRB, const TFileIds& Keep);
bool WritePalettedTGA(const std::string& FileName, TStream& Source, int Width, int Height, TPalette Palette,
                      int64_t SourceOffset, const TFileIds& Keep);

// The same images handed to the texture loader (mipmaps and compression asked). True when a texture was made;
// Texture receives its name then and keeps its value otherwise.
bool MakeTextureFromPixels(GLTextures& Loader, TStream& Source, int Width, int Height, uint8_t Bpp,
                           int64_t SourceOffset, bool SwapRB, uint32_t& Texture);
bool MakeTextureFromPalettedPixels(GLTextures& Loader, TStream& Source, int Width, int Height, TPalette Palette,
                                   int64_t SourceOffset, uint32_t& Texture);
