// DXT1 and DXT5 (S3TC) block decoding into a bottom-up B, G, R[, A] byte image.
#pragma once

#include <cstdint>
#include <vector>

class TStream;

// Fields of an RGB565 colour, not expanded.
inline uint8_t Rgb565Blue(uint16_t c) { return static_cast<uint8_t>(c & 0x1F); }
inline uint8_t Rgb565Green(uint16_t c) { return static_cast<uint8_t>((c >> 5) & 0x3F); }
inline uint8_t Rgb565Red(uint16_t c) { return static_cast<uint8_t>((c >> 11) & 0x1F); }

// Both decoders read ceil(Width / 4) x ceil(Height / 4) blocks from the stream's position and leave the stream
// after them. The texel at column x, row y (row 0 = first block row) lands at ((Height - 1 - y) x Width + x) x
// BytesPerPixel as blue, green, red (DXT5: then alpha). Blocks the stream no longer holds decode as zero bytes.
// Dest grows to Width x Height x BytesPerPixel when it is shorter; other bytes keep their values.
// BytesPerPixel must be at least 3 (DXT1) or 4 (DXT5); std::invalid_argument otherwise.
void DecodeDXT1(TStream& Stream, std::vector<uint8_t>& Dest, int Height, int Width, int BytesPerPixel);
void DecodeDXT5(TStream& Stream, std::vector<uint8_t>& Dest, int Height, int Width, int BytesPerPixel);
