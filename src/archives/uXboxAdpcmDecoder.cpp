#include "archives/uXboxAdpcmDecoder.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Stream.h"

constexpr int32_t AdpcmStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int32_t AdpcmIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

namespace {

constexpr int kMaxStepIndex = 88;

inline int16_t Step(uint32_t code, ChannelState& s)
{
    const int32_t step = s.StepSize;
    int32_t diff = step / 8;
    if (code & 4)
        diff += step;
    if (code & 2)
        diff += step / 2;
    if (code & 1)
        diff += step / 4;
    int32_t sample = (code & 8) ? s.Predictor - diff : s.Predictor + diff;
    sample = std::clamp(sample, -32768, 32767);
    const int32_t index = std::clamp(s.StepIndex + AdpcmIndexTable[code & 15], 0, kMaxStepIndex);
    s.StepIndex = index;
    s.StepSize = AdpcmStepTable[index];
    s.Predictor = static_cast<int16_t>(sample);
    return s.Predictor;
}

// The block decoder works from two tables made of the ones above: the difference for each step index and
// code bits 0-2 (step / 8 + step, step / 2, step / 4 by bits 2, 1, 0), and the next step index per code.
struct DecodeTables {
    int32_t diff[89][8];
    uint8_t next[89][16];
};

constexpr DecodeTables MakeDecodeTables()
{
    DecodeTables t{};
    for (int i = 0; i <= kMaxStepIndex; ++i) {
        const int32_t step = AdpcmStepTable[i];
        for (int c = 0; c < 8; ++c)
            t.diff[i][c] = step / 8 + ((c & 4) ? step : 0) + ((c & 2) ? step / 2 : 0) + ((c & 1) ? step / 4 : 0);
        for (int c = 0; c < 16; ++c)
            t.next[i][c] = static_cast<uint8_t>(std::clamp(i + AdpcmIndexTable[c], 0, kMaxStepIndex));
    }
    return t;
}

constexpr DecodeTables kTables = MakeDecodeTables();

// One channel's running state held in registers while a block is decoded.
struct FastState {
    int32_t index;
    int32_t predictor;

    int16_t Step(uint32_t code)
    {
        const int32_t diff = kTables.diff[index][code & 7];
        predictor = std::clamp((code & 8) ? predictor - diff : predictor + diff, -32768, 32767);
        index = kTables.next[index][code];
        return static_cast<int16_t>(predictor);
    }
    void Store(ChannelState& s) const
    {
        s.StepIndex = index;
        s.StepSize = AdpcmStepTable[index];
        s.Predictor = static_cast<int16_t>(predictor);
    }
};

inline uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Fills count bytes from Input's current position; what the stream does not hold reads as zero.
int64_t ReadZeroFilled(TStream& input, uint8_t* dst, int64_t count)
{
    int64_t got = 0;
    while (got < count) {
        const int64_t n = input.Read(dst + got, count - got);
        if (n <= 0)
            break;
        got += n;
    }
    std::memset(dst + got, 0, static_cast<size_t>(count - got));
    return got;
}

} // namespace

TXboxAdpcmDecoder::TXboxAdpcmDecoder(int16_t channels) : Channels(channels) {}

int16_t TXboxAdpcmDecoder::DecodeNibble(uint8_t Code, ChannelState& State)
{
    return Step(Code & 15u, State);
}

int16_t TXboxAdpcmDecoder::ReadChannelHeader(const uint8_t* p, ChannelState& State)
{
    State.Predictor = static_cast<int16_t>(uint16_t(p[0]) | uint16_t(p[1]) << 8);
    State.StepIndex = std::min<int32_t>(p[2], kMaxStepIndex);
    State.StepSize = AdpcmStepTable[State.StepIndex];
    // p[3] is not used
    return State.Predictor;
}

void TXboxAdpcmDecoder::DecodeBlock(const uint8_t* block, int16_t* out)
{
    if (DecodedChannels() == 1) {
        *out++ = ReadChannelHeader(block, State[0]);
        FastState s{State[0].StepIndex, State[0].Predictor};
        const uint8_t* g = block + 4;
        for (int group = 0; group < 8; ++group, g += 4) {
            const uint32_t codes = Le32(g);
            for (int k = 0; k < 8; ++k)
                out[k] = s.Step((codes >> (4 * k)) & 15u);
            out += 8;
        }
        s.Store(State[0]);
        return;
    }
    *out++ = ReadChannelHeader(block, State[0]);
    *out++ = ReadChannelHeader(block + 4, State[1]);
    FastState l{State[0].StepIndex, State[0].Predictor};
    FastState r{State[1].StepIndex, State[1].Predictor};
    const uint8_t* g = block + 8;
    for (int group = 0; group < 8; ++group, g += 8) {
        const uint32_t left = Le32(g);
        const uint32_t right = Le32(g + 4);
        for (int k = 0; k < 8; ++k) {
            out[2 * k] = l.Step((left >> (4 * k)) & 15u);
            out[2 * k + 1] = r.Step((right >> (4 * k)) & 15u);
        }
        out += 16;
    }
    l.Store(State[0]);
    r.Store(State[1]);
}

void TXboxAdpcmDecoder::DecodeTo(TStream& Input, int64_t Offset, int64_t Length, const PrefixSink& Prefix,
                                 const SampleSink& Samples)
{
    if (Offset < 0)
        throw EStreamError("Seek error: " + Input.Name() + ": negative position " + std::to_string(Offset));
    const int64_t inputSize = Input.Size();
    uint8_t prefix[kPrefixBytes];
    Input.SetPosition(std::min(Offset, inputSize));
    if (Offset < inputSize)
        ReadZeroFilled(Input, prefix, kPrefixBytes);
    else
        std::memset(prefix, 0, sizeof prefix);
    if (Prefix)
        Prefix(prefix, kPrefixBytes);

    // Blocks are read while the position is below Offset + Length (the last one whole, zero-filled past the end
    // of Input); decoding stops at the end of Input.
    const int channels = DecodedChannels();
    const int64_t blockBytes = BlockBytes();
    const int64_t end = Offset + Length;
    int64_t pos = Offset + kPrefixBytes;
    constexpr int64_t kChunkBlocks = 1024;
    std::vector<uint8_t> in;
    std::vector<int16_t> out;
    while (pos < end && pos < inputSize) {
        const int64_t asked = (end - pos + blockBytes - 1) / blockBytes;
        const int64_t held = (inputSize - pos + blockBytes - 1) / blockBytes;
        const int64_t blocks = std::min({asked, held, kChunkBlocks});
        in.resize(static_cast<size_t>(blocks * blockBytes));
        out.resize(static_cast<size_t>(blocks * kSamplesPerBlock * channels));
        ReadZeroFilled(Input, in.data(), static_cast<int64_t>(in.size()));
        for (int64_t b = 0; b < blocks; ++b)
            DecodeBlock(in.data() + b * blockBytes, out.data() + b * kSamplesPerBlock * channels);
        if (Samples)
            Samples(out.data(), static_cast<size_t>(blocks * kSamplesPerBlock));
        pos += blocks * blockBytes;
    }
}

void TXboxAdpcmDecoder::Decode(TStream& Input, TStream& Output, int64_t Offset, int64_t Length)
{
    const int channels = DecodedChannels();
    DecodeTo(
        Input, Offset, Length,
        [&](const uint8_t* bytes, size_t count) {
            Output.WriteBuffer(bytes, count);
            // 38 bytes are 19 samples: one zero sample more keeps stereo frames left first.
            if (channels == 2) {
                const uint8_t pad[2] = {0, 0};
                Output.WriteBuffer(pad, sizeof pad);
            }
        },
        [&](const int16_t* samples, size_t frames) {
            // i16 samples go out little-endian, as the host holds them.
            Output.WriteBuffer(samples, static_cast<int64_t>(frames * channels * sizeof(int16_t)));
        });
}
