#include "archives/audioconv.h"

void StereoPcmToFloat(float* const* Buffers, const int16_t* Samples, int Count)
{
    float* left = Buffers[0];
    float* right = Buffers[1];
    for (int i = 0; i < Count; ++i) {
        left[i] = static_cast<float>(Samples[2 * i]) / 32768.0f;
        right[i] = static_cast<float>(Samples[2 * i + 1]) / 32768.0f;
    }
}

void MonoPcmToFloat(float* const* Buffers, const int16_t* Samples, int Count)
{
    float* left = Buffers[0];
    float* right = Buffers[1];
    for (int i = 0; i < Count; ++i)
        left[i] = right[i] = static_cast<float>(Samples[i]) / 32768.0f;
}

void StereoPcm8ToFloat(float* const* Buffers, const uint8_t* Samples, int Count)
{
    float* left = Buffers[0];
    float* right = Buffers[1];
    for (int i = 0; i < Count; ++i) {
        left[i] = static_cast<float>(int(Samples[2 * i]) - 128) / 128.0f;
        right[i] = static_cast<float>(int(Samples[2 * i + 1]) - 128) / 128.0f;
    }
}

void MonoPcm8ToFloat(float* const* Buffers, const uint8_t* Samples, int Count)
{
    float* left = Buffers[0];
    float* right = Buffers[1];
    for (int i = 0; i < Count; ++i)
        left[i] = right[i] = static_cast<float>(int(Samples[i]) - 128) / 128.0f;
}
