#include "support/SoundSamples.h"

#include <algorithm>
#include <cmath>

#include "archives/uXboxAdpcmDecoder.h"

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

// IMA ADPCM in the Xbox layout: per 65 frames a 4-byte header per channel, then 8 words of 8 nibbles per channel.
Bytes EncodeXboxAdpcm(const std::vector<int16_t>& interleaved, int channels)
{
    Bytes out;
    TXboxAdpcmDecoder codec(static_cast<int16_t>(channels));
    ChannelState st[2];
    const size_t frames = interleaved.size() / channels;
    auto at = [&](size_t f, int c) { return f < frames ? interleaved[f * channels + c] : int16_t(0); };
    for (size_t f = 0; f < frames; f += 65) {
        for (int c = 0; c < channels; ++c) {
            st[c].Predictor = at(f, c);
            st[c].StepIndex = std::min(st[c].StepIndex, 88);
            st[c].StepSize = AdpcmStepTable[st[c].StepIndex];
            PutI16(out, st[c].Predictor);
            out.push_back(static_cast<uint8_t>(st[c].StepIndex));
            out.push_back(0);
        }
        for (int g = 0; g < 8; ++g)
            for (int c = 0; c < channels; ++c) {
                uint32_t word = 0;
                for (int k = 0; k < 8; ++k) {
                    int diff = at(f + 1 + g * 8 + k, c) - st[c].Predictor;
                    uint8_t code = 0;
                    if (diff < 0) {
                        code = 8;
                        diff = -diff;
                    }
                    int step = st[c].StepSize;
                    if (diff >= step) { code |= 4; diff -= step; }
                    step /= 2;
                    if (diff >= step) { code |= 2; diff -= step; }
                    step /= 2;
                    if (diff >= step) code |= 1;
                    codec.DecodeNibble(code, st[c]);
                    word |= uint32_t(code) << (4 * k);
                }
                out.insert(out.end(), {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)});
            }
    }
    return out;
}
