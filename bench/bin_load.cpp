// Loading a 512 MiB expanded bin file of 1,000,000 blocks, against reading the file into memory once; peak
// memory of the load as a multiple of the file's size. And loading a compressed file of 200,000 chunks of 64
// bytes (12.8 MB expanded), against loading its expanded file and the unpacker's expansion of it into a file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "bin/ExpandBin.h"
#include "bin/LargeBuffer.h"
#include "bin/TBinFile.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

constexpr uint32_t kBlocks = 1000000;
constexpr uint64_t kFileSize = 512ull << 20;

// A block stream of `blocks` blocks and `fileSize` bytes, block by block: sizes vary around the mean, tags of
// every kind, the terminator last.
void ForEachBlock(uint32_t blocks, uint64_t fileSize, const std::function<void(const Bytes&)>& take)
{
    const uint64_t dataBytes = fileSize - 12ull * blocks;
    const uint32_t mean = static_cast<uint32_t>(dataBytes / blocks);
    std::mt19937 rng(3);
    Bytes buf;
    uint64_t left = dataBytes;
    const uint8_t tags[][4] = {{1, 0, 0, 0}, {4, 0, 0, 0}, {5, 0, 0, 0}, {0x2E, 0x67, 0x61, 0x6F}, {0x34, 0x3D, 1, 0x13}};
    for (uint32_t i = 0; i < blocks; ++i) {
        uint32_t n = i + 1 == blocks ? static_cast<uint32_t>(left) : mean / 2 + rng() % mean;
        n = static_cast<uint32_t>(std::min<uint64_t>(n, left - (blocks - 1 - i) * 4ull));
        n = std::max<uint32_t>(n, 4);
        left -= n;
        buf.clear();
        PutU32(buf, n);
        PutU32(buf, 0xEEFFC099);
        PutU32(buf, i + 1 == blocks ? 0x0FF7C0DE : 0x20000000 + i);
        const uint8_t* tag = i + 1 == blocks ? (const uint8_t*)"\xDE\xC0\xF7\x0F" : tags[i % 5];
        buf.insert(buf.end(), tag, tag + 4);
        buf.resize(12 + n, static_cast<uint8_t>(i));
        if (i % 5 == 3 && n >= 40) {
            SetU32(buf, 12 + 16, 8);
            std::memcpy(&buf[12 + 20], "Object1", 8);
        }
        take(buf);
    }
}

struct File {
    std::string path = (std::filesystem::temp_directory_path() / "tarvesh_bench_load.binexpanded").string();
    File()
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        ForEachBlock(kBlocks, kFileSize, [&](const Bytes& block) {
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        });
    }
    ~File() { std::remove(path.c_str()); }
};

File& TheFile()
{
    static File f;
    return f;
}

// Peak resident memory since the last reset, in bytes (Linux).
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}
int64_t PeakBytes()
{
    std::ifstream s("/proc/self/status");
    std::string line;
    while (std::getline(s, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return 0;
}
int64_t CurrentBytes()
{
    std::ifstream s("/proc/self/status");
    std::string line;
    while (std::getline(s, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return 0;
}

void BM_ReadFileOnce(benchmark::State& state)
{
    const std::string& path = TheFile().path;
    for (auto _ : state) {
        TMemoryStream m;
        m.LoadFromFile(path);
        benchmark::DoNotOptimize(m.Memory());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

// The same read into memory reserved the way the load reserves it.
void BM_ReadFileOnceReserved(benchmark::State& state)
{
    const std::string& path = TheFile().path;
    for (auto _ : state) {
        TFileStream f(path, TFileStream::OpenRead);
        std::vector<uint8_t> bytes;
        ReserveLarge(bytes, static_cast<size_t>(f.Size()));
        bytes.resize(static_cast<size_t>(f.Size()));
        f.ReadBuffer(bytes.data(), f.Size());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

void BM_LoadFromFile(benchmark::State& state)
{
    const std::string& path = TheFile().path;
    MemoryFrontend front;
    double peakRatio = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int64_t before = CurrentBytes();
        ResetPeak();
        state.ResumeTiming();
        {
            TBinFile bin(front);
            if (!bin.LoadFromFile(path) || bin.Count != static_cast<int32_t>(kBlocks))
                state.SkipWithError("load failed");
            state.PauseTiming();
            peakRatio = std::max(peakRatio, static_cast<double>(PeakBytes() - before) / static_cast<double>(kFileSize));
            state.ResumeTiming();
        }
    }
    state.counters["peak_x_file"] = peakRatio;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFileSize));
}

constexpr uint32_t kSmallChunkBlocks = 200000;
constexpr uint64_t kSmallChunkExpanded = 200000ull * 64;

struct SmallChunkFiles {
    TempDir dir;
    std::string expanded = dir.file("small.binexpanded");
    std::string compressed = dir.file("small.bin");
    SmallChunkFiles()
    {
        Bytes all;
        ForEachBlock(kSmallChunkBlocks, kSmallChunkExpanded,
                     [&](const Bytes& block) { all.insert(all.end(), block.begin(), block.end()); });
        WriteFileBytes(expanded, all);
        WriteFileBytes(compressed, CompressBin(all, 64));
    }
};

SmallChunkFiles& SmallChunks()
{
    static SmallChunkFiles f;
    return f;
}

void LoadSmallChunks(benchmark::State& state, const std::string& path)
{
    MemoryFrontend front;
    for (auto _ : state) {
        TBinFile bin(front);
        if (!bin.LoadFromFile(path) || bin.Count != static_cast<int32_t>(kSmallChunkBlocks))
            state.SkipWithError("load failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSmallChunkExpanded));
}

void BM_SmallChunksLoadExpanded(benchmark::State& state) { LoadSmallChunks(state, SmallChunks().expanded); }
void BM_SmallChunksLoadCompressed(benchmark::State& state) { LoadSmallChunks(state, SmallChunks().compressed); }

// The unpacker's expansion of the compressed file into a file of its own.
void BM_SmallChunksUnpack(benchmark::State& state)
{
    const SmallChunkFiles& f = SmallChunks();
    const std::string out = f.dir.file("out.binexpanded");
    for (auto _ : state) {
        TFileStream src(f.compressed, TFileStream::OpenRead);
        TFileStream dst(out, TFileStream::Create);
        if (!ExpandBin(src, dst) || dst.Size() != static_cast<int64_t>(kSmallChunkExpanded))
            state.SkipWithError("expansion failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSmallChunkExpanded));
}

} // namespace

BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ReadFileOnceReserved)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_SmallChunksLoadExpanded)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SmallChunksUnpack)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SmallChunksLoadCompressed)->Unit(benchmark::kMillisecond)->MinTime(2.0);
