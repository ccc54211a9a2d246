// Xbox ADPCM decoding speed over a 100 MiB stereo stream.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "archives/uXboxAdpcmDecoder.h"
#include "platform/Stream.h"
#include "support/TempDir.h"

namespace {

constexpr int64_t kInputBytes = 100ll << 20;

// Output that only counts what it is given.
class TCountingStream : public TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override
    {
        pos_ += count;
        return count;
    }
    int64_t Seek(int64_t offset, SeekOrigin origin) override
    {
        pos_ = origin == SeekOrigin::Begin ? offset : pos_ + offset;
        return pos_;
    }

private:
    int64_t pos_ = 0;
};

TMemoryStream& Input()
{
    static TMemoryStream input = [] {
        std::vector<uint8_t> bytes(static_cast<size_t>(kInputBytes));
        uint32_t x = 12345;
        for (auto& b : bytes) {
            x = x * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(x >> 24);
        }
        return TMemoryStream(std::move(bytes));
    }();
    return input;
}

void BM_AdpcmDecodeStereo(benchmark::State& state)
{
    TMemoryStream& in = Input();
    for (auto _ : state) {
        TCountingStream out;
        TXboxAdpcmDecoder decoder(2);
        decoder.Decode(in, out, 0, kInputBytes);
        benchmark::DoNotOptimize(out.Position());
    }
    state.SetBytesProcessed(state.iterations() * kInputBytes);
}

void BM_AdpcmDecodeMono(benchmark::State& state)
{
    TMemoryStream& in = Input();
    for (auto _ : state) {
        TCountingStream out;
        TXboxAdpcmDecoder decoder(1);
        decoder.Decode(in, out, 0, kInputBytes);
        benchmark::DoNotOptimize(out.Position());
    }
    state.SetBytesProcessed(state.iterations() * kInputBytes);
}

// Into a file, as the WAV writer does.
void BM_AdpcmDecodeStereoToFile(benchmark::State& state)
{
    TMemoryStream& in = Input();
    TempDir dir;
    for (auto _ : state) {
        TFileStream out(dir.file("out.raw"), TFileStream::Create);
        TXboxAdpcmDecoder decoder(2);
        decoder.Decode(in, out, 0, kInputBytes);
        benchmark::DoNotOptimize(out.Position());
    }
    state.SetBytesProcessed(state.iterations() * kInputBytes);
}

} // namespace

BENCHMARK(BM_AdpcmDecodeStereo)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AdpcmDecodeMono)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_AdpcmDecodeStereoToFile)->Unit(benchmark::kMillisecond)->Iterations(3);
