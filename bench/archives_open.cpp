// Opening a BF BIG archive of 100,000 entries against one read of its directory bytes into memory.
#include <benchmark/benchmark.h>

#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/ArchiveWriters.h"
#include "support/TempDir.h"

namespace {

constexpr int kEntries = 100000;

struct BigFixture {
    TempDir dir;
    std::string path = dir.file("large.bf");
    int64_t directoryEnd = 0; // end of the name records
    BigFixture()
    {
        std::vector<ArchiveFile> files(kEntries);
        for (int i = 0; i < kEntries; ++i) {
            files[size_t(i)].name = "data/level" + std::to_string(i % 37) + "/object_" + std::to_string(i) + ".bin";
            files[size_t(i)].data = Bytes(size_t(i % 13), uint8_t(i));
        }
        const Bytes bytes = MakeBigArchive(files);
        WriteFileBytes(path, bytes);
        directoryEnd = 68 + 8 * int64_t(kEntries) + 4 + 84 * int64_t(kEntries);
    }
};

BigFixture& Fixture()
{
    static BigFixture f;
    return f;
}

void BM_ReadDirectoryBytes(benchmark::State& state)
{
    auto& f = Fixture();
    std::vector<uint8_t> buf(size_t(f.directoryEnd));
    for (auto _ : state) {
        TFileStream s(f.path, TFileStream::OpenRead);
        s.ReadBuffer(buf.data(), f.directoryEnd);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(state.iterations() * f.directoryEnd);
}
BENCHMARK(BM_ReadDirectoryBytes)->Unit(benchmark::kMillisecond);

void BM_OpenBigArchive(benchmark::State& state)
{
    auto& f = Fixture();
    MemoryFrontend fe;
    TBF bf(fe);
    bf.Init();
    for (auto _ : state) {
        if (!bf.Open(f.path) || bf.Count != kEntries)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(bf.Entries.data());
    }
    state.counters["entries"] = kEntries;
}
BENCHMARK(BM_OpenBigArchive)->Unit(benchmark::kMillisecond);

} // namespace
