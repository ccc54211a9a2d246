// Expansion of a compressed bin file of 256 MiB expanded, against a bare loop of lzo1x_decompress_safe over
// the same chunks held in memory.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <lzo/lzo1x.h>
#include <random>

#include "bin/ExpandBin.h"
#include "platform/Stream.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

constexpr size_t kExpanded = 256u << 20;
constexpr size_t kChunk = 256u << 10;

struct Fixture {
    std::string path;
    Bytes compressed;
    std::vector<std::pair<size_t, uint32_t>> chunks; // (offset of packed data, packed size)

    Fixture()
    {
        // Block-like data: headers, small integers, floats and repeated runs, about 3:1 with LZO1X-1.
        Bytes plain;
        plain.reserve(kExpanded);
        std::mt19937 rng(7);
        uint32_t key = 0x3A000000;
        while (plain.size() < kExpanded) {
            const uint32_t n = 64 + rng() % 1500;
            PutU32(plain, n);
            PutU32(plain, 0xEEFFC099);
            PutU32(plain, key++);
            for (uint32_t i = 0; i < n; i += 4) {
                const uint32_t r = rng();
                PutU32(plain, (r & 3) == 0 ? r : (r & 0xFF));
            }
        }
        plain.resize(kExpanded);
        compressed = CompressBin(plain, kChunk);
        TMemoryStream index(compressed);
        for (;;) {
            const uint32_t u = index.ReadU32();
            const uint32_t p = index.ReadU32();
            if (u == 0)
                break;
            chunks.emplace_back(static_cast<size_t>(index.Position()), p);
            index.Seek(p, SeekOrigin::Current);
        }
        path = (std::filesystem::temp_directory_path() / "tarvesh_bench_expand.bin").string();
        WriteFileBytes(path, compressed);
    }
    ~Fixture() { std::remove(path.c_str()); }
};

Fixture& Data()
{
    static Fixture f;
    return f;
}

void BM_BareLzoLoop(benchmark::State& state)
{
    Fixture& f = Data();
    lzo_init();
    std::vector<uint8_t> out(kChunk);
    for (auto _ : state) {
        size_t total = 0;
        for (auto [at, packed] : f.chunks) {
            lzo_uint n = out.size();
            lzo1x_decompress_safe(&f.compressed[at], packed, out.data(), &n, nullptr);
            total += n;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kExpanded);
}

void BM_ExpandBinToMemory(benchmark::State& state)
{
    Fixture& f = Data();
    for (auto _ : state) {
        TFileStream src(f.path, TFileStream::OpenRead);
        TMemoryStream dst;
        if (state.range(0))
            ReserveForExpansion(src, dst);
        const bool ok = ExpandBin(src, dst);
        if (!ok || dst.Size() != static_cast<int64_t>(kExpanded))
            state.SkipWithError("expansion failed");
        benchmark::DoNotOptimize(dst.Memory());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kExpanded);
}

// The destination's memory is reused (its pages are already mapped), as the bare loop's buffer is.
void BM_ExpandBinToReusedMemory(benchmark::State& state)
{
    Fixture& f = Data();
    TMemoryStream dst;
    dst.SetSize(kExpanded);
    for (auto _ : state) {
        TFileStream src(f.path, TFileStream::OpenRead);
        dst.SetPosition(0);
        if (!ExpandBin(src, dst) || dst.Position() != static_cast<int64_t>(kExpanded))
            state.SkipWithError("expansion failed");
        benchmark::DoNotOptimize(dst.Memory());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kExpanded);
}

void BM_ExpandBinToFile(benchmark::State& state)
{
    Fixture& f = Data();
    const std::string out = f.path + ".out";
    for (auto _ : state) {
        TFileStream src(f.path, TFileStream::OpenRead);
        TFileStream dst(out, TFileStream::Create);
        if (!ExpandBin(src, dst))
            state.SkipWithError("expansion failed");
    }
    std::remove(out.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kExpanded);
}

} // namespace

BENCHMARK(BM_BareLzoLoop)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ExpandBinToMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ExpandBinToReusedMemory)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ExpandBinToFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
