#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include "archives/SoundExport.h"
#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/ArchiveWriters.h"
#include "support/Guards.h"
#include "support/SoundSamples.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
std::string Id(const std::vector<uint8_t>& b, size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

// Signal-to-noise ratio in dB of decoded against reference (both as values of -1..1).
double SnrDb(const std::vector<double>& reference, const std::vector<double>& decoded)
{
    double signal = 0, noise = 0;
    for (size_t i = 0; i < reference.size() && i < decoded.size(); ++i) {
        signal += reference[i] * reference[i];
        noise += (reference[i] - decoded[i]) * (reference[i] - decoded[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1e-20));
}

std::vector<double> Channel(const std::vector<int16_t>& interleaved, int channels, int which)
{
    std::vector<double> c;
    for (size_t i = which; i < interleaved.size(); i += channels)
        c.push_back(interleaved[i] / 32768.0);
    return c;
}

struct DecodedOgg {
    int channels = 0;
    long rate = 0;
    int64_t frames = 0;
    std::vector<std::vector<double>> pcm; // per channel
    std::vector<std::string> comments;
};

DecodedOgg ReadOgg(const fs::path& path)
{
    DecodedOgg d;
    OggVorbis_File vf;
    if (ov_fopen(path.string().c_str(), &vf) != 0) {
        ADD_FAILURE() << "not an Ogg Vorbis file: " << path;
        return d;
    }
    const vorbis_info* vi = ov_info(&vf, -1);
    d.channels = vi->channels;
    d.rate = vi->rate;
    d.frames = ov_pcm_total(&vf, -1);
    const vorbis_comment* vc = ov_comment(&vf, -1);
    for (int i = 0; i < vc->comments; ++i)
        d.comments.emplace_back(vc->user_comments[i], vc->comment_lengths[i]);
    d.pcm.resize(d.channels);
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0)
            break;
        for (int c = 0; c < d.channels; ++c)
            d.pcm[c].insert(d.pcm[c].end(), pcm[c], pcm[c] + n);
    }
    ov_clear(&vf);
    return d;
}

class SoundExportTest : public ::testing::Test {
protected:
    // A bank file named "Bank.sb0" holding `bytes`; its stream is the archive that the writers read.
    TFileStream& Bank(const std::vector<uint8_t>& bytes)
    {
        WriteFileBytes(dir.file("Bank.sb0"), bytes);
        bank = std::make_unique<TFileStream>(dir.file("Bank.sb0"), TFileStream::OpenRead);
        return *bank;
    }
    TSoundTarget Target() { return TSoundTarget{dir.path(), "Bank.sb0", ui}; }
    std::vector<uint8_t> Output(const std::string& name) { return ReadFileBytes(dir.file(name)); }
    std::vector<std::string>& Log() { return ui.Lines(MemoId::Memo1); }
    // Files of the folder other than the bank and stream files.
    std::vector<std::string> Outputs()
    {
        std::vector<std::string> r;
        for (auto& p : fs::recursive_directory_iterator(dir.path()))
            if (p.is_regular_file() && p.path().filename() != "Bank.sb0" && p.path().extension() != ".bin")
                r.push_back(fs::relative(p.path(), dir.path()).generic_string());
        return r;
    }

    TempDir dir;
    MemoryFrontend ui;
    std::unique_ptr<TFileStream> bank;
};

BFInfo PcmEntry(int32_t offset, int32_t size, int rate, int channels, const std::string& name)
{
    BFInfo e;
    e.Offset = offset;
    e.Size = size;
    e.SampleRate = rate;
    e.BytesPerSec = rate * channels * 2;
    e.Kind = 1;
    e.Bits = 16;
    e.Channels = static_cast<uint16_t>(channels);
    e.Name = name;
    return e;
}

BFInfo AdpcmEntry(int32_t offset, int32_t size, int rate, int channels, const std::string& streamFile)
{
    BFInfo e = PcmEntry(offset, size, rate, channels, "Bank3.wav");
    e.Kind = 2;
    e.BytesPerSec = 0;
    e.StreamFile = streamFile;
    return e;
}

} // namespace

// ---- WAV ----

TEST_F(SoundExportTest, PcmEntryGetsItsHeaderAndItsBytesCopied)
{
    std::vector<uint8_t> bytes(300);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    auto& archive = Bank(bytes);
    BFInfo e = PcmEntry(100, 160, 44100, 2, "sub\\a.wav");
    e.BytesPerSec = 12345; // taken as stored
    ASSERT_TRUE(WriteWave(archive, e, Target()));

    const auto w = Output("sub/a.wav");
    ASSERT_EQ(w.size(), 44u + 160);
    EXPECT_EQ(Id(w, 0), "RIFF");
    EXPECT_EQ(U32(w, 4), 160u + 36);
    EXPECT_EQ(Id(w, 8), "WAVE");
    EXPECT_EQ(Id(w, 12), "fmt ");
    EXPECT_EQ(U32(w, 16), 16u);
    EXPECT_EQ(U16(w, 20), 1);
    EXPECT_EQ(U16(w, 22), 2);
    EXPECT_EQ(U32(w, 24), 44100u);
    EXPECT_EQ(U32(w, 28), 12345u);
    EXPECT_EQ(U16(w, 32), 4);
    EXPECT_EQ(U16(w, 34), 16);
    EXPECT_EQ(Id(w, 36), "data");
    EXPECT_EQ(U32(w, 40), 160u);
    EXPECT_TRUE(std::equal(w.begin() + 44, w.end(), bytes.begin() + 100));
    EXPECT_TRUE(Log().empty());
}

TEST_F(SoundExportTest, EmptyPcmEntryIsTheHeaderAloneAndReplacesAnOldFileOrLink)
{
    auto& archive = Bank(std::vector<uint8_t>(10));
    WriteFileBytes(dir.file("e.wav"), std::vector<uint8_t>(5000, 1));
    BFInfo e = PcmEntry(10, 0, 8000, 1, "e.wav");
    e.Bits = 8;
    ASSERT_TRUE(WriteWave(archive, e, Target()));
    const auto w = Output("e.wav");
    ASSERT_EQ(w.size(), 44u);
    EXPECT_EQ(U32(w, 4), 36u);
    EXPECT_EQ(U32(w, 40), 0u);
    EXPECT_EQ(U16(w, 32), 1);

    // links named like the outputs are replaced, their targets outside the folder stay as they were
    TempDir elsewhere;
    WriteFileBytes(elsewhere.file("t"), {7, 7, 7});
    fs::create_symlink(elsewhere.file("t"), dir.file("s.wav"));
    fs::create_symlink(elsewhere.file("t"), dir.file("s.ogg"));
    const BFInfo s = PcmEntry(0, 8, 8000, 1, "s.wav");
    ASSERT_TRUE(WriteWave(archive, s, Target()));
    ASSERT_TRUE(WriteOgg(archive, s, Target()));
    EXPECT_EQ(ReadFileBytes(elsewhere.file("t")), (std::vector<uint8_t>{7, 7, 7}));
    EXPECT_FALSE(fs::is_symlink(dir.file("s.wav")));
    EXPECT_FALSE(fs::is_symlink(dir.file("s.ogg")));
    EXPECT_EQ(Output("s.wav").size(), 44u + 8);
}

TEST_F(SoundExportTest, PcmEntryRunningPastTheBankIsAnErrorAndLeavesNoFile)
{
    auto& archive = Bank(std::vector<uint8_t>(100));
    const std::string bank = dir.file("Bank.sb0");
    const std::string past =
        "Stream read error: " + bank + ": entry \"x.wav\" needs 51 bytes at offset 50, the file holds 100 bytes.";
    EXPECT_EQ(ErrorOf([&] { WriteWave(archive, PcmEntry(50, 51, 8000, 1, "x.wav"), Target()); }), past);
    EXPECT_EQ(ErrorOf([&] { WriteOgg(archive, PcmEntry(50, 51, 8000, 1, "x.wav"), Target()); }), past);
    EXPECT_EQ(ErrorOf([&] { WriteWave(archive, PcmEntry(-8, 4, 8000, 1, "x.wav"), Target()); }),
              "Stream read error: " + bank + ": entry \"x.wav\" needs 4 bytes at offset -8, the file holds 100 bytes.");
    // ADPCM data may run past the end of its file (it reads as silence), but not start before it.
    EXPECT_EQ(ErrorOf([&] { WriteWave(archive, AdpcmEntry(-40, 200, 22050, 1, "Bank.sb0"), Target()); }),
              "Stream read error: " + bank +
                  ": entry \"Bank3.wav\" needs 172 bytes at offset -12, the file holds 100 bytes.");
    EXPECT_TRUE(Outputs().empty());
    // Checked before the output is created: files of those names from before stay as they were.
    WriteFileBytes(dir.file("x.wav"), {1, 2});
    WriteFileBytes(dir.file("x.ogg"), {3, 4});
    WriteFileBytes(dir.file("Bank3.wav"), {5, 6});
    EXPECT_THROW(WriteWave(archive, PcmEntry(50, 51, 8000, 1, "x.wav"), Target()), EStreamError);
    EXPECT_THROW(WriteOgg(archive, PcmEntry(50, 51, 8000, 1, "x.wav"), Target()), EStreamError);
    EXPECT_THROW(WriteWave(archive, AdpcmEntry(-40, 200, 22050, 1, "Bank.sb0"), Target()), EStreamError);
    EXPECT_EQ(Output("x.wav"), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(Output("x.ogg"), (std::vector<uint8_t>{3, 4}));
    EXPECT_EQ(Output("Bank3.wav"), (std::vector<uint8_t>{5, 6}));
}

TEST_F(SoundExportTest, AdpcmEntryIsDecodedAndItsLengthsPatched)
{
    // stream file: 60 bytes of something else, 28 bytes before the data, 38 copied bytes, k mono blocks
    const int k = 3;
    std::vector<uint8_t> stream(60 + 28, 0x55);
    for (int i = 0; i < 38; ++i)
        stream.push_back(static_cast<uint8_t>(i));
    const auto blocks = EncodeXboxAdpcm(Sines(65 * k, 22050, {{500, 0.5}}), 1);
    ASSERT_EQ(blocks.size(), 36u * k);
    stream.insert(stream.end(), blocks.begin(), blocks.end());
    WriteFileBytes(dir.file("stream.bin"), stream);

    auto& archive = Bank(std::vector<uint8_t>(16));
    const BFInfo e = AdpcmEntry(60, 28 + 38 + 36 * k, 22050, 1, "stream.bin");
    ASSERT_TRUE(WriteWave(archive, e, Target()));

    const auto w = Output("Bank3.wav");
    ASSERT_EQ(w.size(), 44u + 38 + 130 * k);
    EXPECT_EQ(U32(w, 4), w.size() - 8);
    EXPECT_EQ(U32(w, 40), w.size() - 44);
    EXPECT_EQ(U16(w, 22), 1);
    EXPECT_EQ(U32(w, 24), 22050u);
    EXPECT_EQ(U32(w, 28), 22050u * 2);
    EXPECT_EQ(U16(w, 32), 2);
    EXPECT_TRUE(std::equal(w.begin() + 44, w.begin() + 44 + 38, stream.begin() + 88));

    EXPECT_EQ(std::vector<uint8_t>(w.begin() + 44 + 38, w.end()), PcmBytes(DecodeXboxAdpcmReference(blocks, 1)));
}

TEST_F(SoundExportTest, StereoAdpcmWaveReadFromItsDataStartKeepsLeftAndRight)
{
    // A player reads whole frames from the start of the data: the copied bytes must not shift the channels.
    const int rate = 22050, blocks = 20;
    const auto source = Sines(65 * blocks, rate, {{400, 0.4}, {1000, 0.4}});
    std::vector<uint8_t> stream(28 + 38, 0x7F);
    const auto adpcm = EncodeXboxAdpcm(source, 2);
    stream.insert(stream.end(), adpcm.begin(), adpcm.end());
    WriteFileBytes(dir.file("music.bin"), stream);
    auto& archive = Bank(std::vector<uint8_t>(16));
    ASSERT_TRUE(WriteWave(archive, AdpcmEntry(0, int32_t(stream.size()), rate, 2, "music.bin"), Target()));

    const auto w = Output("Bank3.wav");
    ASSERT_EQ((w.size() - 44) % 4, 0u);
    std::vector<int16_t> frames;
    for (size_t at = 44; at + 1 < w.size(); at += 2)
        frames.push_back(static_cast<int16_t>(U16(w, at)));
    const size_t lead = (frames.size() - source.size()) / 2; // frames before the first decoded one
    ASSERT_EQ(frames.size(), source.size() + 2 * lead);
    const std::vector<int16_t> decoded(frames.begin() + static_cast<long>(2 * lead), frames.end());
    EXPECT_GT(SnrDb(Channel(source, 2, 0), Channel(decoded, 2, 0)), 20.0);
    EXPECT_GT(SnrDb(Channel(source, 2, 1), Channel(decoded, 2, 1)), 20.0);
}

TEST_F(SoundExportTest, StereoAdpcmHeaderAndTheBankAsItsOwnStreamFile)
{
    // the sound lies in the bank itself when the stream file is the bank's own name
    std::vector<uint8_t> bytes(200 + 28 + 38, 0);
    const auto blocks = EncodeXboxAdpcm(Sines(130, 22050, {{300, 0.3}, {600, 0.3}}), 2);
    bytes.insert(bytes.end(), blocks.begin(), blocks.end());
    auto& archive = Bank(bytes);
    const BFInfo e = AdpcmEntry(200, int32_t(28 + 38 + blocks.size()), 22050, 2, "Bank.sb0");
    ASSERT_TRUE(WriteWave(archive, e, Target()));
    const auto w = Output("Bank3.wav");
    EXPECT_EQ(U16(w, 32), 4);
    EXPECT_EQ(U32(w, 28), 4u * 22050);
    EXPECT_EQ(w.size(), 44u + 40 + 2 * 260);
    EXPECT_EQ((w.size() - 44) % 4, 0u); // whole frames

    // the same name in another letter case is read as a stream file of its own: the bank, found by letter case
    const auto first = w;
    BFInfo other = e;
    other.StreamFile = "BANK.SB0";
    ASSERT_TRUE(WriteWave(archive, other, Target()));
    EXPECT_EQ(Output("Bank3.wav"), first);
}

TEST_F(SoundExportTest, StreamFileMissingOrNotARegularFileIsAnErrorAndLeavesNoFile)
{
    auto& archive = Bank(std::vector<uint8_t>(16));
    EXPECT_THROW(WriteWave(archive, AdpcmEntry(0, 200, 22050, 1, "gone.bin"), Target()), EStreamError);
    EXPECT_THROW(WriteOgg(archive, AdpcmEntry(0, 200, 22050, 1, "gone.bin"), Target()), EStreamError);
    EXPECT_TRUE(Outputs().empty());

    // A FIFO would hold the extraction until a writer came (a regression fails instead of hanging); a folder
    // would give a file of silence.
    const HangGuard guard;
    ASSERT_EQ(mkfifo(dir.file("pipe.bin").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder.bin"));
    for (const std::string stream : {"pipe.bin", "folder.bin"}) {
        SCOPED_TRACE(stream);
        const std::string refused = "Cannot open file \"" + dir.file(stream) + "\". Not a regular file";
        EXPECT_EQ(ErrorOf([&] { WriteWave(archive, AdpcmEntry(0, 200, 22050, 1, stream), Target()); }), refused);
        EXPECT_EQ(ErrorOf([&] { WriteOgg(archive, AdpcmEntry(0, 200, 22050, 1, stream), Target()); }), refused);
    }
    EXPECT_TRUE(Outputs().empty());
}

TEST_F(SoundExportTest, NamesFromTheBankStayInsideItsFolder)
{
    // The bank's folder lies inside the test's own, so the folder a climbing name would reach is the test's too.
    auto& archive = Bank(std::vector<uint8_t>(64, 3));
    fs::create_directories(dir.path() / "bank");
    const TSoundTarget target(dir.path() / "bank", "Bank.sb0", ui);
    const fs::path outside = dir.path() / "escaped_sound.wav";
    ASSERT_TRUE(WriteWave(archive, PcmEntry(0, 16, 8000, 1, "..\\escaped_sound.wav"), target));
    ASSERT_TRUE(WriteWave(archive, PcmEntry(0, 16, 8000, 1, "\\abs.wav"), target));
    EXPECT_FALSE(fs::exists(outside));
    for (const auto& f : Outputs())
        EXPECT_EQ(f.find(".."), std::string::npos) << f;
    EXPECT_EQ(Outputs().size(), 2u);
}

TEST_F(SoundExportTest, StreamFilesAreReadWhereTheBankNamesThemInAnyLetterCase)
{
    // bank in banks/, its stream file in ../Streams/ under a name of other letter case
    fs::create_directories(dir.path() / "banks");
    fs::create_directories(dir.path() / "Streams");
    std::vector<uint8_t> stream(28 + 38, 0x11);
    const auto blocks = EncodeXboxAdpcm(Sines(65 * 4, 22050, {{300, 0.3}}), 1);
    stream.insert(stream.end(), blocks.begin(), blocks.end());
    WriteFileBytes(dir.file("Streams/Music.XWB"), stream);
    WriteFileBytes(dir.file("banks/Bank.sb0"), std::vector<uint8_t>(16));
    TFileStream archive(dir.file("banks/Bank.sb0"), TFileStream::OpenRead);
    const TSoundTarget target(dir.path() / "banks", "Bank.sb0", ui);
    const BFInfo e = AdpcmEntry(0, int32_t(stream.size()), 22050, 1, "..\\streams\\music.xwb");
    ASSERT_TRUE(WriteWave(archive, e, target));
    ASSERT_TRUE(WriteOgg(archive, e, target));
    EXPECT_EQ(ReadFileBytes(dir.file("banks/Bank3.wav")).size(), 44u + 38 + 130 * 4);
    EXPECT_EQ(ReadOgg(dir.path() / "banks" / "Bank3.ogg").frames, 65 * 4);
    EXPECT_THROW(WriteWave(archive, AdpcmEntry(0, 200, 8000, 1, "..\\gone.xwb"), target), EStreamError);
}

TEST_F(SoundExportTest, EntriesThatCannotBeWrittenAreLoggedNotLeftEmpty)
{
    std::vector<uint8_t> bytes(100, 0);
    auto& archive = Bank(bytes);
    BFInfo unknown = PcmEntry(0, 50, 8000, 1, "unknown.wav");
    unknown.Kind = 0;
    EXPECT_FALSE(WriteWave(archive, unknown, Target()));
    EXPECT_FALSE(WriteOgg(archive, unknown, Target()));
    // an entry named like the bank would replace the bank it is read from
    EXPECT_FALSE(WriteWave(archive, PcmEntry(0, 50, 8000, 1, "Bank.sb0"), Target()));
    EXPECT_EQ(ReadFileBytes(dir.file("Bank.sb0")), bytes);
    ASSERT_EQ(Log().size(), 3u);
    EXPECT_NE(Log()[0].find("unknown.wav"), std::string::npos);
    EXPECT_NE(Log()[2].find("Bank.sb0"), std::string::npos);
    EXPECT_TRUE(Outputs().empty());
}

// ---- Ogg Vorbis ----

TEST_F(SoundExportTest, StereoPcmOggDecodesBackCloseToTheInput)
{
    const int rate = 44100, frames = 44100;
    const auto pcm = Sines(frames, rate, {{440, 0.5}, {1000, 0.3}});
    std::vector<uint8_t> bytes(32, 0);
    const auto data = PcmBytes(pcm);
    bytes.insert(bytes.end(), data.begin(), data.end());
    auto& archive = Bank(bytes);
    ASSERT_TRUE(WriteOgg(archive, PcmEntry(32, int32_t(data.size()), rate, 2, "music.wav"), Target()));

    const auto d = ReadOgg(dir.path() / "music.ogg");
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, rate);
    EXPECT_EQ(d.frames, frames);
    ASSERT_EQ(d.pcm.size(), 2u);
    EXPECT_GT(SnrDb(Channel(pcm, 2, 0), d.pcm[0]), 20.0);
    EXPECT_GT(SnrDb(Channel(pcm, 2, 1), d.pcm[1]), 20.0);
    // the channels are not swapped
    EXPECT_LT(SnrDb(Channel(pcm, 2, 0), d.pcm[1]), 3.0);
}

TEST_F(SoundExportTest, MonoPcmIsWrittenAsTwoEqualChannels)
{
    const int rate = 22050, frames = 11025;
    const auto pcm = Sines(frames, rate, {{300, 0.6}});
    const auto data = PcmBytes(pcm);
    auto& archive = Bank(data);
    ASSERT_TRUE(WriteOgg(archive, PcmEntry(0, int32_t(data.size()), rate, 1, "mono"), Target()));

    const auto d = ReadOgg(dir.path() / "mono.ogg"); // no extension: ".ogg" appended
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, rate);
    EXPECT_EQ(d.frames, frames);
    ASSERT_EQ(d.pcm.size(), 2u);
    EXPECT_GT(SnrDb(Channel(pcm, 1, 0), d.pcm[0]), 20.0);
    EXPECT_GT(SnrDb(d.pcm[0], d.pcm[1]), 60.0);
}

TEST_F(SoundExportTest, EightBitPcmIsReadAsUnsignedBytes)
{
    const int rate = 11025, frames = 5000;
    std::vector<uint8_t> data;
    std::vector<double> reference;
    for (int i = 0; i < frames; ++i) {
        const int v = 128 + int(std::lround(90 * std::sin(2 * M_PI * 200 * i / rate)));
        data.push_back(static_cast<uint8_t>(v));
        reference.push_back((v - 128) / 128.0);
    }
    // Bytes of one bank entry of 8-bit samples, written as Ogg and decoded again.
    auto encoded = [&](const std::vector<uint8_t>& bytes, int channels, const std::string& name) {
        auto& archive = Bank(bytes);
        BFInfo e = PcmEntry(0, int32_t(bytes.size()), rate, channels, name + ".wav");
        e.Bits = 8;
        EXPECT_TRUE(WriteOgg(archive, e, Target()));
        const auto d = ReadOgg(dir.path() / (name + ".ogg"));
        EXPECT_EQ(d.frames, frames);
        return d;
    };
    const auto d = encoded(data, 1, "eight");
    ASSERT_EQ(d.pcm.size(), 2u);
    EXPECT_GT(SnrDb(reference, d.pcm[0]), 20.0);

    // Stereo: the first byte of each pair is the left sample. The right channel is silent.
    std::vector<uint8_t> pairs;
    for (uint8_t v : data)
        pairs.insert(pairs.end(), {v, 128});
    const auto p = encoded(pairs, 2, "pairs");
    ASSERT_EQ(p.pcm.size(), 2u);
    EXPECT_GT(SnrDb(reference, p.pcm[0]), 20.0);
    EXPECT_LT(SnrDb(reference, p.pcm[1]), 1.0);
}

TEST_F(SoundExportTest, OggCarriesTitleAndCommentAndGoesBesideTheEntryName)
{
    const auto data = PcmBytes(Sines(2000, 22050, {{100, 0.2}, {100, 0.2}}));
    auto& archive = Bank(data);
    ASSERT_TRUE(WriteOgg(archive, PcmEntry(0, int32_t(data.size()), 22050, 2, "sub\\Music_12.wav"), Target()));
    EXPECT_EQ(Outputs(), std::vector<std::string>{"sub/Music_12.ogg"});
    const auto d = ReadOgg(dir.path() / "sub" / "Music_12.ogg");
    ASSERT_EQ(d.comments.size(), 2u);
    EXPECT_EQ(d.comments[0], "TITLE=Music_12");
    EXPECT_EQ(d.comments[1], "COMMENT=Encoded by Tarvesh Mox v2.5beta build 170606-2331 ");

    BFInfo dotted;
    dotted.Name = "a.b\\c.d.wav";
    EXPECT_EQ(OggTitleComment(dotted), "TITLE=c.d");
    EXPECT_EQ(OggFilePath(dotted, Target()), dir.path() / "a.b" / "c.d.ogg");
    dotted.Name = "\xE9t\xE9.wav"; // Windows-1252 bytes become UTF-8 text
    EXPECT_EQ(OggTitleComment(dotted), "TITLE=\xC3\xA9t\xC3\xA9");
}

TEST_F(SoundExportTest, AdpcmEntryAsOggCarriesTheDecodedAudio)
{
    const int rate = 22050, blocks = 200;
    const auto source = Sines(65 * blocks, rate, {{440, 0.4}, {220, 0.4}});
    std::vector<uint8_t> stream(28, 0);
    for (int i = 0; i < 38; ++i)
        stream.push_back(0x7F); // the copied bytes are not audio
    const auto adpcm = EncodeXboxAdpcm(source, 2);
    stream.insert(stream.end(), adpcm.begin(), adpcm.end());
    WriteFileBytes(dir.file("music.bin"), stream);
    auto& archive = Bank(std::vector<uint8_t>(16));
    const BFInfo e = AdpcmEntry(0, int32_t(stream.size()), rate, 2, "music.bin");
    ASSERT_TRUE(WriteOgg(archive, e, Target()));

    const auto pcm = DecodeXboxAdpcmReference(adpcm, 2);

    const auto d = ReadOgg(dir.path() / "Bank3.ogg");
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.frames, 65 * blocks);
    ASSERT_EQ(d.pcm.size(), 2u);
    EXPECT_GT(SnrDb(Channel(pcm, 2, 0), d.pcm[0]), 20.0);
    EXPECT_GT(SnrDb(Channel(pcm, 2, 1), d.pcm[1]), 20.0);
}

TEST_F(SoundExportTest, EmptyPcmEntryGivesAnOggWithoutSamples)
{
    auto& archive = Bank(std::vector<uint8_t>(8));
    ASSERT_TRUE(WriteOgg(archive, PcmEntry(8, 0, 44100, 2, "silent.wav"), Target()));
    const auto d = ReadOgg(dir.path() / "silent.ogg");
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.frames, 0);
}

TEST_F(SoundExportTest, ChannelCountsTheEncoderCannotTakeAreLogged)
{
    auto& archive = Bank(std::vector<uint8_t>(1200));
    EXPECT_FALSE(WriteOgg(archive, PcmEntry(0, 1200, 44100, 6, "six.wav"), Target()));
    EXPECT_FALSE(WriteOgg(archive, PcmEntry(0, 1200, 44100, 0, "none.wav"), Target()));
    EXPECT_FALSE(WriteOgg(archive, AdpcmEntry(0, 1200, 44100, 4, "Bank.sb0"), Target()));
    ASSERT_EQ(Log().size(), 3u);
    EXPECT_NE(Log()[0].find("six.wav"), std::string::npos);
    EXPECT_NE(Log()[0].find("6 channels"), std::string::npos);
    EXPECT_TRUE(Outputs().empty());
}

TEST_F(SoundExportTest, RefusedRateIsLoggedAndHighQualityPositionsWork)
{
    const auto data = PcmBytes(Sines(4000, 22050, {{100, 0.2}}));
    auto& archive = Bank(data);
    EXPECT_FALSE(WriteOgg(archive, PcmEntry(0, int32_t(data.size()), 0, 1, "zero.wav"), Target()));
    EXPECT_FALSE(WriteOgg(archive, PcmEntry(0, int32_t(data.size()), 1000000, 1, "fast.wav"), Target()));
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_NE(Log()[0].find("0 Hz at quality 1.00"), std::string::npos) << Log()[0];
    EXPECT_TRUE(Outputs().empty());

    // positions above 100 ask for more than the encoder's top quality and are taken as its top
    ui.options[OptionId::OggQuality] = 1000;
    EXPECT_TRUE(WriteOgg(archive, PcmEntry(0, int32_t(data.size()), 22050, 1, "top.wav"), Target()));
    ui.options[OptionId::OggQuality] = 0;
    EXPECT_TRUE(WriteOgg(archive, PcmEntry(0, int32_t(data.size()), 22050, 1, "low.wav"), Target()));
    EXPECT_EQ(ReadOgg(dir.path() / "top.ogg").frames, 4000);
    EXPECT_GT(fs::file_size(dir.path() / "top.ogg"), fs::file_size(dir.path() / "low.ogg"));
}

// ---- Every sound of a bank, through the archive reader ----

TEST(BankSounds, EveryEntryOfEachBankVersionExtractsAsWaveAndAsOgg)
{
    const auto stereo = Sines(11025, 44100, {{440, 0.5}, {880, 0.4}});
    const auto mono = Sines(5000, 22050, {{300, 0.5}});
    const auto streamed = AdpcmRecord(EncodeXboxAdpcm(Sines(65 * 40, 22050, {{200, 0.4}, {500, 0.4}}), 2));
    const auto inBank = AdpcmRecord(EncodeXboxAdpcm(Sines(65 * 30, 22050, {{250, 0.5}}), 1));
    const fs::path savedCwd = fs::current_path();

    for (int version = 1; version <= 3; ++version) {
        SCOPED_TRACE(version);
        TempDir dir;
        std::vector<uint8_t> streamFile(100, 0x11); // the sound lies 100 bytes into its stream file
        streamFile.insert(streamFile.end(), streamed.begin(), streamed.end());
        WriteFileBytes(dir.file("music.xwb"), streamFile);

        // Stereo and mono PCM in the bank, stereo ADPCM in the stream file and, for version 3, mono ADPCM in the bank
        // itself at an absolute offset; versions 2 and 3 pass a zero marker.
        WriteFileBytes(dir.file("fx.sb0"), SampleBank(version, PcmBytes(stereo), PcmBytes(mono), streamed, 100, inBank));

        MemoryFrontend ui;
        TBF bf(ui);
        bf.Init();
        ASSERT_TRUE(bf.Open(dir.file("fx.sb0")));
        ASSERT_EQ(bf.Count, version == 3 ? 4 : 3);
        for (int format : {0, 1}) {
            ui.options[OptionId::ConvertFormat] = format;
            for (int i = 0; i < bf.Count; ++i)
                EXPECT_TRUE(bf.ExtractEntry(i)) << i;
        }
        fs::current_path(savedCwd);
        EXPECT_TRUE(ui.Lines(MemoId::Memo1).empty());

        struct Expect {
            int channels, rate;
            int64_t frames;
            std::vector<int16_t> pcm; // the stored samples; empty for decoded entries
        };
        std::vector<Expect> expect = {{2, 44100, 11025, stereo}, {1, 22050, 5000, mono}, {2, 22050, 65 * 40, {}},
                                      {1, 22050, 65 * 30, {}}};
        for (int i = 0; i < bf.Count; ++i) {
            std::string name = bf.Entries[i].Name;
            std::replace(name.begin(), name.end(), '\\', '/');
            SCOPED_TRACE(name);
            const auto& x = expect[i];
            const auto wav = ReadFileBytes(dir.file(name));
            const size_t prefix = x.channels == 2 ? 40 : 38;
            const size_t dataBytes = x.pcm.empty() ? prefix + 2 * x.frames * x.channels : 2 * x.pcm.size();
            ASSERT_EQ(wav.size(), 44 + dataBytes);
            EXPECT_EQ(U32(wav, 4), wav.size() - 8);
            EXPECT_EQ(U32(wav, 40), wav.size() - 44);
            EXPECT_EQ(U16(wav, 22), x.channels);
            EXPECT_EQ(U32(wav, 24), uint32_t(x.rate));
            if (!x.pcm.empty()) {
                EXPECT_EQ(std::vector<uint8_t>(wav.begin() + 44, wav.end()), PcmBytes(x.pcm));
            }

            // the Ogg file holds the same audio as the WAV file (after the copied bytes of decoded entries)
            const auto d = ReadOgg(dir.path() / (name.substr(0, name.size() - 4) + ".ogg"));
            EXPECT_EQ(d.channels, 2);
            EXPECT_EQ(d.rate, x.rate);
            EXPECT_EQ(d.frames, x.frames);
            std::vector<int16_t> ref;
            for (size_t at = x.pcm.empty() ? 44 + prefix : 44; at + 1 < wav.size(); at += 2)
                ref.push_back(static_cast<int16_t>(U16(wav, at)));
            ASSERT_EQ(d.pcm.size(), 2u);
            EXPECT_GT(SnrDb(Channel(ref, x.channels, 0), d.pcm[0]), 20.0);
            EXPECT_GT(SnrDb(Channel(ref, x.channels, x.channels - 1), d.pcm[1]), 20.0);
        }
    }
}
