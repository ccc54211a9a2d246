// Sample converters feeding the Vorbis encoder's two float channel buffers.
#pragma once

#include <cstdint>

// Buffers[0][i] := left / 32768, Buffers[1][i] := right / 32768 for Count interleaved i16 frames.
void StereoPcmToFloat(float* const* Buffers, const int16_t* Samples, int Count);
// Buffers[0][i] and Buffers[1][i] := Samples[i] / 32768 for Count i16 samples.
void MonoPcmToFloat(float* const* Buffers, const int16_t* Samples, int Count);
// The same for unsigned 8-bit samples (128 is silence).
void StereoPcm8ToFloat(float* const* Buffers, const uint8_t* Samples, int Count);
void MonoPcm8ToFloat(float* const* Buffers, const uint8_t* Samples, int Count);
