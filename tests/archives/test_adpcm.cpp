#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "archives/uXboxAdpcmDecoder.h"
#include "platform/Stream.h"
#include "support/SoundSamples.h"

namespace {

// Builds Xbox ADPCM input: the 38 leading bytes, then blocks.
struct AdpcmBuilder {
    std::vector<uint8_t> bytes;

    AdpcmBuilder()
    {
        for (int i = 0; i < 38; ++i)
            bytes.push_back(static_cast<uint8_t>(0xA0 + i));
    }
    void Header(int16_t predictor, uint8_t stepIndex)
    {
        const uint16_t p = static_cast<uint16_t>(predictor);
        bytes.insert(bytes.end(), {uint8_t(p), uint8_t(p >> 8), stepIndex, 0xEE});
    }
    void Group(uint32_t codes)
    {
        bytes.insert(bytes.end(), {uint8_t(codes), uint8_t(codes >> 8), uint8_t(codes >> 16), uint8_t(codes >> 24)});
    }
    void MonoBlock(int16_t predictor, uint8_t stepIndex, uint32_t codes)
    {
        Header(predictor, stepIndex);
        for (int g = 0; g < 8; ++g)
            Group(codes);
    }
};

std::vector<int16_t> Samples(const TMemoryStream& out, size_t from = 38)
{
    std::vector<int16_t> s;
    const auto& b = out.Bytes();
    for (size_t i = from; i + 1 < b.size(); i += 2)
        s.push_back(static_cast<int16_t>(uint16_t(b[i]) | uint16_t(b[i + 1]) << 8));
    return s;
}

std::vector<int16_t> DecodeAll(const std::vector<uint8_t>& input, int16_t channels, int64_t offset, int64_t length,
                               TMemoryStream& out)
{
    TMemoryStream in(input);
    TXboxAdpcmDecoder decoder(channels);
    decoder.Decode(in, out, offset, length);
    // the 38 copied bytes, and one zero sample more when stereo
    return Samples(out, channels == 2 ? 40 : 38);
}

} // namespace

TEST(AdpcmDecoder, StepTableIsTheImaTable)
{
    EXPECT_EQ(AdpcmStepTable[0], 7);
    EXPECT_EQ(AdpcmStepTable[8], 16);
    EXPECT_EQ(AdpcmStepTable[44], 494);
    EXPECT_EQ(AdpcmStepTable[88], 32767);
    for (int i = 1; i < 89; ++i) {
        EXPECT_GT(AdpcmStepTable[i], AdpcmStepTable[i - 1]) << i;
        // each step is about 10% above the one before
        EXPECT_LE(AdpcmStepTable[i], AdpcmStepTable[i - 1] * 12 / 10 + 1) << i;
    }
    const int32_t index[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(AdpcmIndexTable[i], index[i]);
}

TEST(AdpcmDecoder, AllZeroMonoBlockGives65ZerosAfterTheCopiedBytes)
{
    AdpcmBuilder b;
    b.MonoBlock(0, 0, 0);
    TMemoryStream out;
    const auto s = DecodeAll(b.bytes, 1, 0, static_cast<int64_t>(b.bytes.size()), out);
    ASSERT_EQ(out.Size(), 38 + 130);
    for (int i = 0; i < 38; ++i)
        EXPECT_EQ(out.Bytes()[i], 0xA0 + i);
    EXPECT_EQ(s, std::vector<int16_t>(65, 0));
}

TEST(AdpcmDecoder, CodesOfSevenClimbToTheLastStepAndClampTheSample)
{
    AdpcmBuilder b;
    b.MonoBlock(0, 0, 0x77777777);
    TMemoryStream out;
    const auto s = DecodeAll(b.bytes, 1, 0, static_cast<int64_t>(b.bytes.size()), out);
    ASSERT_EQ(s.size(), 65u);
    // steps 7, 16, 34, 73, 157, 337, 724, 1552, 3327, 7132, 15289 (index +8 each), then 32767 at index 88
    const std::vector<int16_t> rising = {0, 11, 41, 104, 240, 533, 1164, 2521, 5431, 11667, 25039, 32767, 32767};
    for (size_t i = 0; i < rising.size(); ++i)
        EXPECT_EQ(s[i], rising[i]) << i;
    for (size_t i = rising.size(); i < s.size(); ++i)
        EXPECT_EQ(s[i], 32767) << i;

    TXboxAdpcmDecoder d(1);
    EXPECT_EQ(d.State[0].StepIndex, 0);
    ChannelState st{0, 7, 0};
    for (int i = 0; i < 20; ++i)
        d.DecodeNibble(7, st);
    EXPECT_EQ(st.StepIndex, 88);
    EXPECT_EQ(st.StepSize, 32767);
}

TEST(AdpcmDecoder, NegativeCodesFallAndClampAtTheBottom)
{
    TXboxAdpcmDecoder d(1);
    ChannelState st{0, 7, 0};
    EXPECT_EQ(d.DecodeNibble(15, st), -11);
    EXPECT_EQ(d.DecodeNibble(15, st), -41);
    EXPECT_EQ(st.StepIndex, 16);
    ChannelState low{88, 32767, -32000};
    EXPECT_EQ(d.DecodeNibble(15, low), -32768);
    EXPECT_EQ(low.Predictor, -32768);
    // small codes walk the index down but never below 0
    ChannelState zero{1, 8, 100};
    d.DecodeNibble(3, zero);
    d.DecodeNibble(3, zero);
    EXPECT_EQ(zero.StepIndex, 0);
    EXPECT_EQ(zero.StepSize, 7);
}

TEST(AdpcmDecoder, StepIndexAbove88InTheHeaderIsRead88)
{
    AdpcmBuilder b;
    b.MonoBlock(0, 200, 0);
    TMemoryStream out;
    const auto s = DecodeAll(b.bytes, 1, 0, static_cast<int64_t>(b.bytes.size()), out);
    ASSERT_EQ(s.size(), 65u);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 32767 / 8);              // step 32767, index then 87
    EXPECT_EQ(s[2], 32767 / 8 + 29794 / 8);  // step 29794, index then 86
    EXPECT_EQ(s[3], 32767 / 8 + 29794 / 8 + 27086 / 8);
}

TEST(AdpcmDecoder, CodesAreTakenLowNibbleFirst)
{
    AdpcmBuilder b;
    b.Header(0, 0);
    b.Group(0x00000007);
    for (int g = 1; g < 8; ++g)
        b.Group(0);
    TMemoryStream out;
    const auto s = DecodeAll(b.bytes, 1, 0, static_cast<int64_t>(b.bytes.size()), out);
    ASSERT_EQ(s.size(), 65u);
    // 7 first (+11, index 8), then zeros: +2, then +1 while the step stays below 16
    const std::vector<int16_t> head = {0, 11, 13, 14, 15, 16, 17, 18, 19};
    EXPECT_EQ(std::vector<int16_t>(s.begin(), s.begin() + 9), head);
}

TEST(AdpcmDecoder, StereoBlocksGiveLeftRightPairs)
{
    AdpcmBuilder b;
    b.Header(100, 0);  // left
    b.Header(-100, 0); // right
    for (int g = 0; g < 8; ++g) {
        b.Group(0x11111111); // left: +1 per sample
        b.Group(0x99999999); // right: -1 per sample
    }
    // a second block restarts both channels from its headers
    b.Header(5, 0);
    b.Header(-5, 0);
    for (int g = 0; g < 16; ++g)
        b.Group(0);
    TMemoryStream out;
    const auto s = DecodeAll(b.bytes, 2, 0, static_cast<int64_t>(b.bytes.size()), out);
    ASSERT_EQ(out.Size(), 40 + 2 * 260);
    EXPECT_EQ(out.Bytes()[38], 0);
    EXPECT_EQ(out.Bytes()[39], 0);
    ASSERT_EQ(s.size(), 2u * 130);
    for (int i = 0; i < 65; ++i) {
        EXPECT_EQ(s[2 * i], 100 + i) << i;
        EXPECT_EQ(s[2 * i + 1], -100 - i) << i;
    }
    EXPECT_EQ(s[130], 5);
    EXPECT_EQ(s[131], -5);
}

TEST(AdpcmDecoder, ChannelCountsOtherThanTwoDecodeOneChannel)
{
    AdpcmBuilder b;
    b.MonoBlock(3, 0, 0);
    b.MonoBlock(4, 0, 0);
    TMemoryStream out;
    const auto s = DecodeAll(b.bytes, 6, 0, static_cast<int64_t>(b.bytes.size()), out);
    ASSERT_EQ(s.size(), 130u);
    EXPECT_EQ(s[0], 3);
    EXPECT_EQ(s[65], 4);
}

TEST(AdpcmDecoder, StartsAtTheOffsetAndReadsTheLastBlockWhole)
{
    AdpcmBuilder b;
    b.MonoBlock(1, 0, 0);
    b.MonoBlock(2, 0, 0);
    b.MonoBlock(3, 0, 0);
    std::vector<uint8_t> input = b.bytes;
    input.insert(input.begin(), 50, 0xFF);
    {
        // the length ends one byte into the second block: that block is still decoded, the third is not
        TMemoryStream out;
        const auto s = DecodeAll(input, 1, 50, 38 + 36 + 1, out);
        ASSERT_EQ(s.size(), 130u);
        EXPECT_EQ(s[0], 1);
        EXPECT_EQ(s[65], 2);
        EXPECT_EQ(out.Bytes()[0], 0xA0);
    }
    {
        // no room for a block after the copied bytes
        TMemoryStream out;
        DecodeAll(input, 1, 50, 38, out);
        EXPECT_EQ(out.Size(), 38);
    }
    {
        // output is appended at the output's position
        TMemoryStream out;
        out.WriteBuffer("abcd", 4);
        TMemoryStream in(input);
        TXboxAdpcmDecoder(1).Decode(in, out, 50, 38 + 36);
        EXPECT_EQ(out.Size(), 4 + 38 + 130);
        EXPECT_EQ(out.Bytes()[0], 'a');
    }
}

TEST(AdpcmDecoder, LengthPastTheEndOfTheInputStopsThere)
{
    AdpcmBuilder b;
    b.MonoBlock(7, 0, 0x11111111);
    b.Header(9, 0);
    b.Group(0x11111111); // a block cut short after its first group
    {
        TMemoryStream out;
        const auto s = DecodeAll(b.bytes, 1, 0, 38 + 36 * 1000, out);
        // the cut block reads its missing bytes as zero; nothing is decoded past the end
        ASSERT_EQ(out.Size(), 38 + 2 * 130);
        EXPECT_EQ(s[65], 9);
        EXPECT_EQ(s[66], 10);
        EXPECT_EQ(s[73], 17);
        EXPECT_EQ(s[74], 17); // code 0 after the first group: step 7 / 8 = 0
    }
    {
        // input shorter than the copied bytes: they are padded with zeros
        TMemoryStream out;
        DecodeAll(std::vector<uint8_t>{1, 2, 3}, 1, 0, 1000, out);
        ASSERT_EQ(out.Size(), 38);
        EXPECT_EQ(out.Bytes()[2], 3);
        EXPECT_EQ(out.Bytes()[3], 0);
    }
    {
        // an offset beyond the input gives the 38 bytes as zeros and no block
        TMemoryStream out;
        DecodeAll(b.bytes, 1, 100000, 1 << 30, out);
        EXPECT_EQ(out.Size(), 38);
    }
}

TEST(AdpcmDecoder, NegativeOffsetIsAStreamError)
{
    TMemoryStream in(std::vector<uint8_t>(100, 0));
    TMemoryStream out;
    EXPECT_THROW(TXboxAdpcmDecoder(1).Decode(in, out, -4, 80), EStreamError);
}

TEST(AdpcmDecoder, LargeInputDecodesAcrossReadChunks)
{
    // more blocks than one read chunk holds; every block starts from its own header
    AdpcmBuilder b;
    const int blocks = 2500;
    for (int i = 0; i < blocks; ++i) {
        b.Header(static_cast<int16_t>(i), 0);
        b.Header(0, 0);
        b.Group(0x11111111);
        b.Group(0x99999999);
        for (int g = 2; g < 16; ++g)
            b.Group(0);
    }
    TMemoryStream out;
    const auto s = DecodeAll(b.bytes, 2, 0, static_cast<int64_t>(b.bytes.size()), out);
    ASSERT_EQ(s.size(), size_t(blocks) * 130);
    for (int i = 0; i < blocks; ++i) {
        ASSERT_EQ(s[size_t(i) * 130], i);
        ASSERT_EQ(s[size_t(i) * 130 + 2], i + 1);   // left: code 1
        ASSERT_EQ(s[size_t(i) * 130 + 3], -1);      // right header predictor 0, code 9
    }
}

TEST(AdpcmDecoder, RandomBlocksDecodeAsAnIndependentImaDecoder)
{
    // random blocks (every step index and code), whole, against a plain IMA decoder written apart
    for (int channels : {1, 2}) {
        std::vector<uint8_t> input(38, 0);
        uint32_t x = 7u + channels;
        auto next = [&] { return x = x * 1103515245u + 12345u; };
        const int blocks = 400;
        for (int i = 0; i < blocks * 36 * channels; ++i)
            input.push_back(static_cast<uint8_t>(next() >> 16));
        TMemoryStream out;
        const auto s = DecodeAll(input, static_cast<int16_t>(channels), 0, static_cast<int64_t>(input.size()), out);
        const auto expected = DecodeXboxAdpcmReference(std::vector<uint8_t>(input.begin() + 38, input.end()), channels);
        ASSERT_EQ(expected.size(), size_t(blocks) * 65 * channels);
        ASSERT_EQ(s.size(), expected.size());
        for (size_t k = 0; k < s.size(); ++k)
            ASSERT_EQ(s[k], expected[k]) << "channels " << channels << ", sample " << k;
    }
}
