// Loading a 512 MiB expanded bin file of 1,000,000 blocks, against reading the file into memory once; peak
// memory of the load as a multiple of the file's size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "bin/LargeBuffer.h"
#include "bin/TBinFile.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/BinWriter.h"

namespace {

constexpr uint32_t kBlocks = 1000000;
constexpr uint64_t kFileSize = 512ull << 20;

struct File {
    std::string path = (std::filesystem::temp_directory_path() / "tarvesh_bench_load.binexpanded").string();
    File()
    {
        // Block sizes vary around the mean that fills 512 MiB; tags of every kind.
        const uint64_t dataBytes = kFileSize - 12ull * kBlocks;
        const uint32_t mean = static_cast<uint32_t>(dataBytes / kBlocks);
        std::mt19937 rng(3);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        Bytes buf;
        uint64_t left = dataBytes;
        const uint8_t tags[][4] = {{1, 0, 0, 0}, {4, 0, 0, 0}, {5, 0, 0, 0}, {0x2E, 0x67, 0x61, 0x6F}, {0x34, 0x3D, 1, 0x13}};
        for (uint32_t i = 0; i < kBlocks; ++i) {
            uint32_t n = i + 1 == kBlocks ? static_cast<uint32_t>(left) : mean / 2 + rng() % mean;
            n = static_cast<uint32_t>(std::min<uint64_t>(n, left - (kBlocks - 1 - i) * 4ull));
            n = std::max<uint32_t>(n, 4);
            left -= n;
            buf.clear();
            PutU32(buf, n);
            PutU32(buf, 0xEEFFC099);
            PutU32(buf, i + 1 == kBlocks ? 0x0FF7C0DE : 0x20000000 + i);
            const uint8_t* tag = i + 1 == kBlocks ? (const uint8_t*)"\xDE\xC0\xF7\x0F" : tags[i % 5];
            buf.insert(buf.end(), tag, tag + 4);
            buf.resize(12 + n, static_cast<uint8_t>(i));
            if (i % 5 == 3 && n >= 40) {
                SetU32(buf, 12 + 16, 8);
                std::memcpy(&buf[12 + 20], "Object1", 8);
            }
            out.write(reinterpret_cast<const char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
        }
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

} // namespace

BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ReadFileOnceReserved)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->MinTime(3.0);
