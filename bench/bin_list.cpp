// The block list and key look-ups over 1,000,000 blocks: FillList, and FindKey at growing table sizes (a
// look-up costs the same whatever the size).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>

#include "bin/TBinFile.h"
#include "platform/Frontend.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

struct Loaded {
    std::string path;
    MemoryFrontend front;
    TBinFile bin{front};

    explicit Loaded(uint32_t blocks)
    {
        path = (std::filesystem::temp_directory_path() / ("tarvesh_bench_list_" + std::to_string(blocks))).string();
        Bytes f;
        f.reserve(static_cast<size_t>(blocks) * 60);
        GameObjectSpec go;
        for (uint32_t i = 0; i + 1 < blocks; ++i) {
            BinBlockSpec b{0x30000000u + i * 7u, {}};
            switch (i % 6) {
            case 0: b.data = GeometryData(32); break;
            case 1: b.data = TexturePackData({1, 2}); break;
            case 2: b.data = TextureInfoData(5); break;
            case 3: b.data = GameObjectData(go); break;
            case 4: b.data = {0x20, 0, 0, 0x30, 1, 2, 3, 4}; break; // refers to another block
            default: b.data = {0x11, 0x22, 0x33, 0x44}; break;    // unknown type
            }
            AppendBlock(f, b);
        }
        AppendBlock(f, {0x0FF7C0DE, TerminatorData()});
        WriteFileBytes(path, f);
        if (!bin.LoadFromFile(path))
            throw std::runtime_error("load failed");
    }
    ~Loaded() { std::remove(path.c_str()); }
};

Loaded& Table(uint32_t blocks)
{
    static std::map<uint32_t, std::unique_ptr<Loaded>> tables;
    auto& t = tables[blocks];
    if (!t)
        t = std::make_unique<Loaded>(blocks);
    return *t;
}

void BM_FillList(benchmark::State& state)
{
    Loaded& t = Table(1000000);
    for (auto _ : state) {
        TListLines lines;
        t.bin.FillList(lines);
        benchmark::DoNotOptimize(lines.Count());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * t.bin.Count);
}

void BM_FindKey(benchmark::State& state)
{
    Loaded& t = Table(static_cast<uint32_t>(state.range(0)));
    std::mt19937 rng(1);
    const uint32_t n = static_cast<uint32_t>(t.bin.Count);
    for (auto _ : state) {
        // Half the keys exist, half do not.
        const uint32_t i = rng() % n;
        const uint32_t key = (i & 1) ? 0x30000000u + i * 7u : 0x30000000u + i * 7u + 3u;
        benchmark::DoNotOptimize(t.bin.FindKey(key));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

} // namespace

BENCHMARK(BM_FillList)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FindKey)->Arg(1000)->Arg(100000)->Arg(1000000);
