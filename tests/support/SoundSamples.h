// Sound data for fixtures: sines as 16-bit PCM and an IMA ADPCM encoder in the Xbox block layout.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

// Appends v little-endian.
void PutI16(std::vector<uint8_t>& b, int16_t v);
// Interleaved 16-bit PCM of sines, one (frequency, amplitude 0..1) per channel.
std::vector<int16_t> Sines(int frames, int rate, std::vector<std::pair<double, double>> channels);
// The samples as little-endian bytes.
std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples);
// Per 65 frames a 4-byte header per channel, then 8 words of 8 nibbles per channel; the encoder's state follows
// the reference decoder below, so decoding gives back the signal up to ADPCM's error.
std::vector<uint8_t> EncodeXboxAdpcm(const std::vector<int16_t>& interleaved, int channels);
// A plain IMA ADPCM decoder of whole Xbox blocks (no leading bytes), written apart from the project's decoder to
// check it: interleaved samples, 65 frames per block.
std::vector<int16_t> DecodeXboxAdpcmReference(const std::vector<uint8_t>& blocks, int channels);
