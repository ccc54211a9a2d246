#include "archives/SoundExport.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include "archives/audioconv.h"
#include "archives/uXboxAdpcmDecoder.h"
#include "platform/Frontend.h"
#include "platform/OutputFile.h"
#include "platform/Paths.h"
#include "platform/Stream.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kOggComment = "COMMENT=Encoded by Tarvesh Mox v2.5beta build 170606-2331 ";
constexpr int kAdpcmSkip = 28; // bytes before the ADPCM data in a stream-file record

void WriteWaveDWord(TStream& s, uint32_t v) { s.WriteValue(v); }
void WriteWaveWord(TStream& s, uint16_t v) { s.WriteValue(v); }

void PutU32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

std::string Label(const TSoundTarget& t, const BFInfo& e) { return t.Label.empty() ? Win1252ToUtf8(e.Name) : t.Label; }

// How the line on a shortened name names the entry: by its number when the target has it.
std::string Who(const TSoundTarget& t, const BFInfo& e)
{
    return t.Index >= 0 ? EntryNumberText(t.Index) : Label(t, e);
}

void Log(const TSoundTarget& t, const BFInfo& e, const std::string& what)
{
    t.UI.AppendLine(MemoId::Memo1, Label(t, e) + ": " + what);
}

bool IsStreamFileTheBank(const BFInfo& e, const TSoundTarget& t) { return e.StreamFile == t.BankFileName; }

// The files an output of the entry may not replace: the bank, the entry's stream file and the target's sources.
TFileIds KeptFiles(const BFInfo& e, const TSoundTarget& t)
{
    TFileIds keep(t.Sources);
    keep.Add(t.Directory / fs::path(t.BankFileName));
    if (e.Kind == 2 && !IsStreamFileTheBank(e, t))
        keep.Add(StreamFilePath(e, t));
    return keep;
}

// A kind 1 entry's PCM must lie inside the bank (size 0 reads nothing); checked before the output is created.
void CheckBankData(TStream& archive, const BFInfo& e, const TSoundTarget& t)
{
    if (e.Size != 0)
        RequireBytes(archive, e.Offset, e.Size, Label(t, e));
}

// Kind 2 source: the bank itself, or the stream file (opened for reading; a file that is not a regular file is
// refused). ADPCM data past the end of the source reads as silence, but data before its start is an error.
TStream& OpenSource(TStream& archive, const BFInfo& e, const TSoundTarget& t, std::unique_ptr<TFileStream>& own)
{
    TStream* source = &archive;
    if (!IsStreamFileTheBank(e, t)) {
        own = std::make_unique<TFileStream>(StreamFilePath(e, t).string(), TFileStream::OpenRead);
        source = own.get();
    }
    const int64_t start = int64_t(e.Offset) + kAdpcmSkip;
    if (start < 0)
        throw EStreamError(ReadPastEndText(source->Name(), int64_t(e.Size) - kAdpcmSkip, start, source->Size(),
                                           Label(t, e)));
    return *source;
}

// Creates the output through the one safe creation path and runs body on it; false (with a log line) when the
// output would replace one of the entry's sources.
template <typename Body>
bool WriteOutput(const fs::path& path, const BFInfo& e, const TSoundTarget& t, Body&& body)
{
    if (WriteOutputFile(path, KeptFiles(e, t), std::forward<Body>(body)))
        return true;
    Log(t, e, "the output would replace its own source file, not extracted.");
    return false;
}

std::string QualityText(int position)
{
    const int p = std::max(position, 0);
    std::string frac = std::to_string(p % 100);
    if (frac.size() < 2)
        frac.insert(0, 1, '0');
    return std::to_string(p / 100) + "." + frac;
}

// Ogg Vorbis stream of two channels written page by page to a stream.
class TOggWriter {
public:
    TOggWriter() { vorbis_info_init(&vi_); }
    ~TOggWriter()
    {
        if (started_) {
            ogg_stream_clear(&os_);
            vorbis_block_clear(&vb_);
            vorbis_dsp_clear(&vd_);
            vorbis_comment_clear(&vc_);
        }
        vorbis_info_clear(&vi_);
    }
    TOggWriter(const TOggWriter&) = delete;
    TOggWriter& operator=(const TOggWriter&) = delete;

    // False when the encoder refuses the rate or the quality.
    bool Init(long rate, float quality) { return vorbis_encode_init_vbr(&vi_, 2, rate, quality) == 0; }

    void Start(TStream& out, const std::string& title)
    {
        out_ = &out;
        vorbis_comment_init(&vc_);
        vorbis_comment_add(&vc_, title.c_str());
        vorbis_comment_add(&vc_, kOggComment);
        vorbis_analysis_init(&vd_, &vi_);
        vorbis_block_init(&vd_, &vb_);
        std::mt19937 rng(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
        ogg_stream_init(&os_, std::uniform_int_distribution<int>(0, 2147483646)(rng));
        started_ = true;

        ogg_packet header, comment, code;
        vorbis_analysis_headerout(&vd_, &vc_, &header, &comment, &code);
        ogg_stream_packetin(&os_, &header);
        ogg_stream_packetin(&os_, &comment);
        ogg_stream_packetin(&os_, &code);
        ogg_page page;
        while (ogg_stream_flush(&os_, &page) != 0)
            WritePage(page);
    }

    // Hands Frames frames to the encoder; Convert fills the two channel buffers for a piece of Count frames
    // starting at frame First.
    template <typename Convert>
    void Write(size_t frames, Convert&& convert)
    {
        constexpr size_t kPiece = 1024;
        for (size_t first = 0; first < frames; first += kPiece) {
            const int count = static_cast<int>(std::min(kPiece, frames - first));
            float** buffers = vorbis_analysis_buffer(&vd_, count);
            convert(buffers, first, count);
            vorbis_analysis_wrote(&vd_, count);
            Drain();
        }
    }

    void Finish()
    {
        vorbis_analysis_wrote(&vd_, 0);
        Drain();
        ogg_page page;
        while (!eos_ && ogg_stream_flush(&os_, &page) != 0)
            WritePage(page);
    }

private:
    void WritePage(const ogg_page& page)
    {
        out_->WriteBuffer(page.header, page.header_len);
        out_->WriteBuffer(page.body, page.body_len);
        if (ogg_page_eos(&page))
            eos_ = true;
    }

    void Drain()
    {
        ogg_packet packet;
        ogg_page page;
        while (vorbis_analysis_blockout(&vd_, &vb_) == 1) {
            vorbis_analysis(&vb_, &packet);
            ogg_stream_packetin(&os_, &packet);
            while (!eos_ && ogg_stream_pageout(&os_, &page) != 0)
                WritePage(page);
        }
    }

    vorbis_info vi_{};
    vorbis_comment vc_{};
    vorbis_dsp_state vd_{};
    vorbis_block vb_{};
    ogg_stream_state os_{};
    TStream* out_ = nullptr;
    bool started_ = false;
    bool eos_ = false;
};

// PCM of a kind 1 entry, read from the bank in pieces of 4096 bytes.
void EncodeBankPcm(TStream& archive, const BFInfo& e, TOggWriter& ogg)
{
    const int channels = e.Channels;
    const bool eightBit = e.Bits == 8;
    const int frameBytes = channels * (eightBit ? 1 : 2);
    archive.SetPosition(e.Offset);
    constexpr int64_t kChunk = 4096;
    int16_t pcm16[kChunk / 2];
    uint8_t pcm8[kChunk];
    for (int64_t left = e.Size; left > 0;) {
        const int64_t n = std::min(left, kChunk);
        archive.ReadBuffer(eightBit ? static_cast<void*>(pcm8) : static_cast<void*>(pcm16), n);
        left -= n;
        const size_t frames = static_cast<size_t>(n / frameBytes);
        ogg.Write(frames, [&](float** buffers, size_t first, int count) {
            float* const piece[2] = {buffers[0], buffers[1]};
            if (eightBit) {
                const uint8_t* s = pcm8 + first * channels;
                channels == 2 ? StereoPcm8ToFloat(piece, s, count) : MonoPcm8ToFloat(piece, s, count);
            } else {
                const int16_t* s = pcm16 + first * channels;
                channels == 2 ? StereoPcmToFloat(piece, s, count) : MonoPcmToFloat(piece, s, count);
            }
        });
    }
}

} // namespace

fs::path StreamFilePath(const BFInfo& Entry, const TSoundTarget& Target)
{
    return ResolveStoredPath(Target.Directory, Entry.StreamFile);
}

std::string EntryNumberText(int index) { return "entry " + std::to_string(index); }

fs::path EntryOutputPath(const fs::path& directory, const std::string& storedName, Frontend& ui, const std::string& who)
{
    bool shortened = false;
    fs::path path = SafeJoin(directory, storedName, NameBytes::Win1252, &shortened);
    if (shortened) {
        // The part below the directory, as SafeJoin appended it (a walk over the components costs more the deeper
        // the name goes).
        std::string used = path.native().substr(std::min(directory.native().size(), path.native().size()));
        used.erase(0, used.find_first_not_of('/'));
        std::replace(used.begin(), used.end(), '/', '\\'); // as the list shows names
        ui.AppendLine(MemoId::Memo1, who + ": name too long for the file system, shortened to " + used);
    }
    return path;
}

fs::path WaveFilePath(const BFInfo& Entry, const TSoundTarget& Target)
{
    return EntryOutputPath(Target.Directory, Entry.Name, Target.UI, Who(Target, Entry));
}

fs::path OggFilePath(const BFInfo& Entry, const TSoundTarget& Target)
{
    return EntryOutputPath(Target.Directory, ChangeFileExt(Entry.Name, ".ogg"), Target.UI, Who(Target, Entry));
}

std::string OggTitleComment(const BFInfo& Entry)
{
    return "TITLE=" + Win1252ToUtf8(ChangeFileExt(ExtractFileName(Entry.Name), ""));
}

bool WriteWave(TStream& Archive, const BFInfo& Entry, const TSoundTarget& Target)
{
    const BFInfo& e = Entry;
    if (e.Kind != 1 && e.Kind != 2) {
        Log(Target, e, "unknown storage kind " + std::to_string(e.Kind) + ", not extracted.");
        return false;
    }
    if (e.Kind == 1) {
        // Size 0: the header alone, nothing read.
        CheckBankData(Archive, e, Target);
        if (e.Size != 0)
            Archive.SetPosition(e.Offset);
        return WriteOutput(WaveFilePath(e, Target), e, Target, [&](TFileStream& f) {
            f.WriteBuffer("RIFF", 4);
            WriteWaveDWord(f, uint32_t(e.Size) + 36);
            f.WriteBuffer("WAVE", 4);
            f.WriteBuffer("fmt ", 4);
            WriteWaveDWord(f, 16);
            WriteWaveWord(f, 1);
            WriteWaveWord(f, e.Channels);
            WriteWaveDWord(f, uint32_t(e.SampleRate));
            WriteWaveDWord(f, uint32_t(e.BytesPerSec));
            WriteWaveWord(f, uint16_t((uint32_t(e.Channels) * e.Bits) / 8));
            WriteWaveWord(f, e.Bits);
            f.WriteBuffer("data", 4);
            WriteWaveDWord(f, uint32_t(e.Size));
            if (e.Size > 0)
                f.CopyFrom(Archive, e.Size); // the bytes go through unchanged: inside the kernel where it can
        });
    }

    std::unique_ptr<TFileStream> own;
    TStream& source = OpenSource(Archive, e, Target, own);
    return WriteOutput(WaveFilePath(e, Target), e, Target, [&](TStream& f) {
        const uint16_t blockAlign = uint16_t((e.Bits / 8) * uint32_t(e.Channels));
        uint8_t h[44];
        std::memcpy(h, "RIFF", 4);
        PutU32(h + 4, 36);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        PutU32(h + 16, 16);
        PutU16(h + 20, 1);
        PutU16(h + 22, e.Channels);
        PutU32(h + 24, uint32_t(e.SampleRate));
        PutU32(h + 28, uint32_t(e.SampleRate) * blockAlign);
        PutU16(h + 32, blockAlign);
        PutU16(h + 34, e.Bits);
        std::memcpy(h + 36, "data", 4);
        PutU32(h + 40, 0);
        f.WriteBuffer(h, sizeof h);

        TXboxAdpcmDecoder decoder(static_cast<int16_t>(e.Channels));
        decoder.Decode(source, f, int64_t(e.Offset) + kAdpcmSkip, int64_t(e.Size) - kAdpcmSkip);

        const int64_t length = f.Position();
        f.SetPosition(4);
        WriteWaveDWord(f, uint32_t(length - 8));
        f.SetPosition(40);
        WriteWaveDWord(f, uint32_t(length - 44));
    });
}

bool WriteOgg(TStream& Archive, const BFInfo& Entry, const TSoundTarget& Target)
{
    const BFInfo& e = Entry;
    if (e.Kind != 1 && e.Kind != 2) {
        Log(Target, e, "unknown storage kind " + std::to_string(e.Kind) + ", not extracted.");
        return false;
    }
    if (e.Channels != 1 && e.Channels != 2) {
        Log(Target, e, std::to_string(e.Channels) + " channels cannot be written as Ogg Vorbis, not extracted.");
        return false;
    }
    const int position = Target.UI.Option(OptionId::OggQuality);
    TOggWriter ogg;
    if (!ogg.Init(e.SampleRate, static_cast<float>(position) / 100.0f)) {
        Log(Target, e,
            "the Ogg Vorbis encoder refused " + std::to_string(e.SampleRate) + " Hz at quality " +
                QualityText(position) + ", not extracted.");
        return false;
    }

    // Size 0, either kind: the header pages alone, nothing read.
    if (e.Kind == 1 || e.Size == 0) {
        CheckBankData(Archive, e, Target);
        return WriteOutput(OggFilePath(e, Target), e, Target, [&](TStream& f) {
            ogg.Start(f, OggTitleComment(e));
            if (e.Size != 0)
                EncodeBankPcm(Archive, e, ogg);
            ogg.Finish();
        });
    }

    std::unique_ptr<TFileStream> own;
    TStream& source = OpenSource(Archive, e, Target, own);
    return WriteOutput(OggFilePath(e, Target), e, Target, [&](TStream& f) {
        ogg.Start(f, OggTitleComment(e));
        TXboxAdpcmDecoder decoder(static_cast<int16_t>(e.Channels));
        const int channels = decoder.DecodedChannels();
        decoder.DecodeTo(source, int64_t(e.Offset) + kAdpcmSkip, int64_t(e.Size) - kAdpcmSkip, nullptr,
                         [&](const int16_t* samples, size_t frames) {
                             ogg.Write(frames, [&](float** buffers, size_t first, int count) {
                                 float* const piece[2] = {buffers[0], buffers[1]};
                                 const int16_t* s = samples + first * channels;
                                 channels == 2 ? StereoPcmToFloat(piece, s, count)
                                               : MonoPcmToFloat(piece, s, count);
                             });
                         });
        ogg.Finish();
    });
}
