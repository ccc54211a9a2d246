// Extracting every entry of a 1 GiB BF BIG archive of 10,000 entries against one buffered copy of the same
// bytes into a single file, both into files that do not exist yet. TARVESH_BENCH_MIB sets another archive size.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/ArchiveWriters.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 10000;

struct ExtractFixture {
    TempDir dir;
    fs::path folder = dir.path() / "archive";
    std::string path = (folder / "huge.bf").string();
    int64_t dataStart = 0;
    int64_t dataBytes = 0;
    ExtractFixture()
    {
        fs::create_directories(folder);
        const char* mib = std::getenv("TARVESH_BENCH_MIB");
        const int64_t total = int64_t(mib ? std::atoll(mib) : 1024) << 20;
        const int64_t each = total / kEntries;

        // Directory first, then the stored records written in pieces.
        ByteWriter head;
        head.Str(std::string("BIG", 4)).U32(0).I32(kEntries).Fill(56);
        const int64_t names = 68 + 8 * int64_t(kEntries) + 4;
        dataStart = names + 84 * int64_t(kEntries);
        for (int i = 0; i < kEntries; ++i)
            head.U32(uint32_t(dataStart + int64_t(i) * (each + 4))).U32(uint32_t(i));
        head.Fill(4);
        for (int i = 0; i < kEntries; ++i) {
            const size_t rec = head.Size();
            head.I32(int32_t(each)).Fill(16).CStr("folder" + std::to_string(i % 50) + "/entry_" + std::to_string(i) + ".dat");
            head.PadTo(rec + 84);
        }
        TFileStream out(path, TFileStream::Create);
        out.WriteBuffer(head.b.data(), int64_t(head.Size()));
        const Bytes block = PatternBytes(size_t(each), 7);
        for (int i = 0; i < kEntries; ++i) {
            const int32_t len = int32_t(each);
            out.WriteBuffer(&len, 4);
            out.WriteBuffer(block.data(), each);
        }
        dataBytes = int64_t(kEntries) * each;
    }
};

ExtractFixture& Fixture()
{
    static ExtractFixture f;
    return f;
}

// Each run writes files that did not exist before (deleting earlier output in between would time the file
// system's clean-up instead).
void BM_SingleBufferedCopy(benchmark::State& state)
{
    auto& f = Fixture();
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ::sync(); // earlier runs' dirty pages would otherwise throttle this one
        state.ResumeTiming();
        const std::string target = (f.dir.path() / ("copy" + std::to_string(run++) + ".bin")).string();
        TFileStream in(f.path, TFileStream::OpenRead);
        in.Seek(f.dataStart, SeekOrigin::Begin);
        TFileStream out(target, TFileStream::Create);
        out.CopyFrom(in, f.dataBytes);
    }
    state.SetBytesProcessed(state.iterations() * f.dataBytes);
}
BENCHMARK(BM_SingleBufferedCopy)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExtractAllEntries(benchmark::State& state)
{
    auto& f = Fixture();
    const fs::path cwd = fs::current_path();
    MemoryFrontend fe;
    TBF bf(fe);
    bf.Init();
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = f.dir.path() / ("run" + std::to_string(run++));
        fs::create_directories(folder);
        fs::create_hard_link(f.path, folder / "huge.bf");
        if (!bf.Open((folder / "huge.bf").string()))
            state.SkipWithError("open failed");
        ::sync();
        state.ResumeTiming();
        for (int i = 0; i < bf.Count; ++i)
            bf.ExtractEntry(i);
    }
    state.SetBytesProcessed(state.iterations() * f.dataBytes);
    fs::current_path(cwd);
}
BENCHMARK(BM_ExtractAllEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

// The file system's share: creating the same 10,000 files empty, in the same folders.
void BM_CreateEmptyEntryFiles(benchmark::State& state)
{
    auto& f = Fixture();
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path folder = f.dir.path() / ("empty" + std::to_string(run++));
        for (int d = 0; d < 50; ++d)
            fs::create_directories(folder / ("folder" + std::to_string(d)));
        ::sync();
        state.ResumeTiming();
        for (int i = 0; i < kEntries; ++i)
            TFileStream((folder / ("folder" + std::to_string(i % 50)) / ("entry_" + std::to_string(i) + ".dat")).string(),
                        TFileStream::Create);
    }
}
BENCHMARK(BM_CreateEmptyEntryFiles)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
