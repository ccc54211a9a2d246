// WriteOgg of 60 s of 44.1 kHz stereo PCM against a bare libvorbis encode loop over the same samples.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include "archives/SoundExport.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/TempDir.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 60 * kRate;

const std::vector<int16_t>& Samples()
{
    static const std::vector<int16_t> samples = [] {
        std::vector<int16_t> s;
        s.reserve(2 * kFrames);
        uint32_t x = 99;
        for (int i = 0; i < kFrames; ++i) {
            x = x * 1664525u + 1013904223u;
            const double noise = (static_cast<int>(x >> 20) - 2048) / 2048.0 * 0.05;
            s.push_back(static_cast<int16_t>(20000 * (std::sin(i * 0.0627) * 0.6 + noise)));
            s.push_back(static_cast<int16_t>(20000 * (std::sin(i * 0.0311) * 0.6 - noise)));
        }
        return s;
    }();
    return samples;
}

int Position(benchmark::State& state) { return static_cast<int>(state.range(0)); }

void BM_WriteOgg(benchmark::State& state)
{
    const auto& s = Samples();
    std::vector<uint8_t> bytes(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(uint16_t(s[i]));
        bytes[2 * i + 1] = static_cast<uint8_t>(uint16_t(s[i]) >> 8);
    }
    TMemoryStream bank(std::move(bytes));
    TempDir dir;
    MemoryFrontend ui;
    ui.options[OptionId::OggQuality] = Position(state);
    BFInfo e;
    e.Offset = 0;
    e.Size = static_cast<int32_t>(bank.Size());
    e.SampleRate = kRate;
    e.BytesPerSec = kRate * 4;
    e.Kind = 1;
    e.Bits = 16;
    e.Channels = 2;
    e.Name = "music.wav";
    const TSoundTarget target{dir.path(), "bank.sb0", ui};
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteOgg(bank, e, target));
    state.SetBytesProcessed(state.iterations() * bank.Size());
}

// The least a Vorbis encoder of these samples does: the same library calls, pages kept in memory.
void BM_BareVorbisLoop(benchmark::State& state)
{
    const auto& s = Samples();
    for (auto _ : state) {
        vorbis_info vi;
        vorbis_comment vc;
        vorbis_dsp_state vd;
        vorbis_block vb;
        ogg_stream_state os;
        ogg_page og;
        ogg_packet op;
        std::vector<uint8_t> out;
        auto page = [&] {
            out.insert(out.end(), og.header, og.header + og.header_len);
            out.insert(out.end(), og.body, og.body + og.body_len);
        };
        vorbis_info_init(&vi);
        vorbis_encode_init_vbr(&vi, 2, kRate, Position(state) / 100.0f);
        vorbis_comment_init(&vc);
        vorbis_analysis_init(&vd, &vi);
        vorbis_block_init(&vd, &vb);
        ogg_stream_init(&os, 1);
        ogg_packet h1, h2, h3;
        vorbis_analysis_headerout(&vd, &vc, &h1, &h2, &h3);
        ogg_stream_packetin(&os, &h1);
        ogg_stream_packetin(&os, &h2);
        ogg_stream_packetin(&os, &h3);
        while (ogg_stream_flush(&os, &og))
            page();
        bool eos = false;
        size_t frame = 0;
        while (!eos) {
            const int n = static_cast<int>(std::min<size_t>(1024, kFrames - frame));
            if (n == 0) {
                vorbis_analysis_wrote(&vd, 0);
            } else {
                float** buf = vorbis_analysis_buffer(&vd, n);
                for (int i = 0; i < n; ++i) {
                    buf[0][i] = s[2 * (frame + i)] / 32768.0f;
                    buf[1][i] = s[2 * (frame + i) + 1] / 32768.0f;
                }
                vorbis_analysis_wrote(&vd, n);
                frame += n;
            }
            while (vorbis_analysis_blockout(&vd, &vb) == 1) {
                vorbis_analysis(&vb, &op);
                ogg_stream_packetin(&os, &op);
                while (!eos && ogg_stream_pageout(&os, &og)) {
                    page();
                    eos = ogg_page_eos(&og) != 0;
                }
            }
        }
        ogg_stream_clear(&os);
        vorbis_block_clear(&vb);
        vorbis_dsp_clear(&vd);
        vorbis_comment_clear(&vc);
        vorbis_info_clear(&vi);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(s.size()) * 2);
}

} // namespace

// Quality positions 100 (the default, 1.0) and 40 (0.4); bare loop and writer alternate in one run.
BENCHMARK(BM_BareVorbisLoop)->Arg(100)->Arg(40)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteOgg)->Arg(100)->Arg(40)->Unit(benchmark::kMillisecond)->Iterations(3);
