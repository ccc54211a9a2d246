// Xbox ADPCM (IMA ADPCM in 36-byte blocks per channel) to 16-bit PCM.
//
// Input layout from the decode offset: 38 bytes copied unchanged, then blocks. A block holds, per channel, a
// 4-byte header (i16 predictor, u8 step index, 1 unused byte), then 8 groups of 4 bytes per channel (channel 0's
// group first, then channel 1's when stereo). A group is a little-endian u32 of 8 codes, low nibble first.
// Each block yields 65 samples per channel: the header's predictor and the 64 decoded codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

class TStream;

struct ChannelState {
    int32_t StepIndex = 0; // index into AdpcmStepTable, 0..88
    int32_t StepSize = 0;  // current step size
    int16_t Predictor = 0; // last sample
};

extern const int32_t AdpcmStepTable[89];
extern const int32_t AdpcmIndexTable[16];

class TXboxAdpcmDecoder {
public:
    static constexpr int kPrefixBytes = 38;       // copied ahead of the blocks
    static constexpr int kChannelBlockBytes = 36; // block bytes per channel
    static constexpr int kSamplesPerBlock = 65;   // samples per block and channel

    // 2 decodes stereo; every other count is decoded as one channel.
    explicit TXboxAdpcmDecoder(int16_t channels);

    int DecodedChannels() const { return Channels == 2 ? 2 : 1; }
    int BlockBytes() const { return kChannelBlockBytes * DecodedChannels(); }

    // Decodes Length bytes of Input starting at Offset and appends to Output at its position: the 38 leading
    // bytes (and, when stereo, one zero sample so that frames stay aligned), then little-endian i16 samples (left-right pairs when stereo). Bytes past the end of Input read as
    // zero; a block that starts at or past the end of Input is not decoded.
    void Decode(TStream& Input, TStream& Output, int64_t Offset, int64_t Length);

    // The same decoding handed to callbacks: Prefix gets the 38 leading bytes once, Samples gets the decoded
    // interleaved samples (frames x channels values) in pieces of whole blocks.
    using PrefixSink = std::function<void(const uint8_t* bytes, size_t count)>;
    using SampleSink = std::function<void(const int16_t* samples, size_t frames)>;
    void DecodeTo(TStream& Input, int64_t Offset, int64_t Length, const PrefixSink& Prefix,
                  const SampleSink& Samples);

    // One IMA ADPCM step for Code (0..15).
    int16_t DecodeNibble(uint8_t Code, ChannelState& State);

    int16_t Channels;
    ChannelState State[2];

private:
    // Reads one channel's block header at p into State and returns its predictor (the block's first sample).
    int16_t ReadChannelHeader(const uint8_t* p, ChannelState& State);
    void DecodeBlock(const uint8_t* block, int16_t* out);
};
