#include "support/SoundSamples.h"

#include <algorithm>
#include <cmath>

using Bytes = std::vector<uint8_t>;

void PutI16(Bytes& b, int16_t v)
{
    b.push_back(uint8_t(uint16_t(v)));
    b.push_back(uint8_t(uint16_t(v) >> 8));
}

std::vector<int16_t> Sines(int frames, int rate, std::vector<std::pair<double, double>> channels)
{
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i)
        for (auto [freq, amp] : channels)
            s.push_back(static_cast<int16_t>(std::lround(amp * 32767.0 * std::sin(2 * M_PI * freq * i / rate))));
    return s;
}

Bytes PcmBytes(const std::vector<int16_t>& s)
{
    Bytes b;
    for (int16_t v : s)
        PutI16(b, v);
    return b;
}

namespace {

// The IMA ADPCM step sizes and step-index changes.
const int kImaSteps[89] = {
    7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66, 73, 80, 88, 97,
    107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449, 494, 544, 598, 658, 724, 796,
    876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878, 2066, 2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871,
    5358, 5894, 6484, 7132, 7845, 8630, 9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623,
    27086, 29794, 32767};
const int kImaIndexChange[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
    int predictor = 0;
    int index = 0;

    void Step(unsigned code)
    {
        const int step = kImaSteps[index];
        int diff = step >> 3;
        if (code & 4)
            diff += step;
        if (code & 2)
            diff += step >> 1;
        if (code & 1)
            diff += step >> 2;
        predictor += (code & 8) ? -diff : diff;
        predictor = std::min(32767, std::max(-32768, predictor));
        index = std::min(88, std::max(0, index + kImaIndexChange[code & 7]));
    }
};

} // namespace

// IMA ADPCM in the Xbox layout: per 65 frames a 4-byte header per channel, then 8 words of 8 nibbles per channel.
Bytes EncodeXboxAdpcm(const std::vector<int16_t>& interleaved, int channels)
{
    Bytes out;
    ImaChannel st[2];
    const size_t frames = interleaved.size() / channels;
    auto at = [&](size_t f, int c) { return f < frames ? interleaved[f * channels + c] : int16_t(0); };
    for (size_t f = 0; f < frames; f += 65) {
        for (int c = 0; c < channels; ++c) {
            st[c].predictor = at(f, c);
            PutI16(out, static_cast<int16_t>(st[c].predictor));
            out.push_back(static_cast<uint8_t>(st[c].index));
            out.push_back(0);
        }
        for (int g = 0; g < 8; ++g)
            for (int c = 0; c < channels; ++c) {
                uint32_t word = 0;
                for (int k = 0; k < 8; ++k) {
                    int diff = at(f + 1 + g * 8 + k, c) - st[c].predictor;
                    uint8_t code = 0;
                    if (diff < 0) {
                        code = 8;
                        diff = -diff;
                    }
                    int step = kImaSteps[st[c].index];
                    if (diff >= step) { code |= 4; diff -= step; }
                    step /= 2;
                    if (diff >= step) { code |= 2; diff -= step; }
                    step /= 2;
                    if (diff >= step) code |= 1;
                    st[c].Step(code);
                    word |= uint32_t(code) << (4 * k);
                }
                out.insert(out.end(), {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)});
            }
    }
    return out;
}

std::vector<int16_t> DecodeXboxAdpcmReference(const Bytes& blocks, int channels)
{
    std::vector<int16_t> out;
    const size_t blockBytes = 36 * static_cast<size_t>(channels);
    for (size_t b = 0; b + blockBytes <= blocks.size(); b += blockBytes) {
        const uint8_t* p = blocks.data() + b;
        ImaChannel st[2];
        for (int c = 0; c < channels; ++c) {
            st[c].predictor = static_cast<int16_t>(p[4 * c] | p[4 * c + 1] << 8);
            st[c].index = std::min<int>(p[4 * c + 2], 88);
            out.push_back(static_cast<int16_t>(st[c].predictor));
        }
        const uint8_t* groups = p + 4 * channels;
        for (int g = 0; g < 8; ++g) {
            int16_t decoded[2][8];
            for (int c = 0; c < channels; ++c) {
                const uint8_t* word = groups + 4 * (g * channels + c);
                for (int n = 0; n < 8; ++n) {
                    st[c].Step((word[n / 2] >> (n % 2 ? 4 : 0)) & 15);
                    decoded[c][n] = static_cast<int16_t>(st[c].predictor);
                }
            }
            for (int n = 0; n < 8; ++n)
                for (int c = 0; c < channels; ++c)
                    out.push_back(decoded[c][n]);
        }
    }
    return out;
}
