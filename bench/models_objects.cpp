// "Objects" over a bin file of many Game Objects, each placing its own small mesh, with "Clear previous" on:
// the time per object should stay flat as the number of objects grows.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>

#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

// A cube-like mesh of 8 vertices and 12 faces.
Bytes Mesh()
{
    Bytes b;
    const uint32_t header[] = {1, 0, 0, 0, 8, 0, 0, 4, 1, 0, 0};
    for (uint32_t v : header)
        PutU32(b, v);
    SetU32(b, 8, 0); // temp3 and temp8 (two u16 in one u32)
    for (int i = 0; i < 8; ++i) {
        PutF32(b, static_cast<float>(i & 1));
        PutF32(b, static_cast<float>((i >> 1) & 1));
        PutF32(b, static_cast<float>((i >> 2) & 1));
    }
    for (int i = 0; i < 4; ++i) {
        PutF32(b, 0.25f * static_cast<float>(i));
        PutF32(b, 0.5f);
    }
    PutU32(b, 12);
    PutU32(b, 0);
    for (uint16_t f = 0; f < 12; ++f) {
        PutU16(b, static_cast<uint16_t>(f % 6));
        PutU16(b, static_cast<uint16_t>(f % 6 + 1));
        PutU16(b, static_cast<uint16_t>(f % 6 + 2));
        PutU16(b, 0);
        PutU16(b, 1);
        PutU16(b, 2);
        PutU32(b, 0);
    }
    return b;
}

struct Level {
    MemoryFrontend ui;
    TWorldData world{ui};
    TBinFile bin{ui};
    explicit Level(int objects)
    {
        std::vector<BinBlockSpec> blocks;
        const Bytes mesh = Mesh();
        for (int i = 0; i < objects; ++i) {
            GameObjectSpec go;
            go.name = "obj" + std::to_string(i) + ".gao";
            go.geoKey = 0x20000000u + static_cast<uint32_t>(i);
            go.packKey = 0x30000000u;
            go.matrix[12] = static_cast<float>(i);
            blocks.push_back({0x10000000u + static_cast<uint32_t>(i), GameObjectData(go)});
            blocks.push_back({go.geoKey, mesh});
        }
        blocks.push_back({0x0FF7C0DE, TerminatorData()});
        const auto path = std::filesystem::temp_directory_path() / ("tarvesh-bench-objects-" + std::to_string(objects) + ".bin");
        const Bytes file = ExpandedBin(blocks);
        WriteFileBytes(path.string(), file);
        bin.LoadFromFile(path.string());
        std::filesystem::remove(path);
        bin.WorldData = &world;
        ui.options[OptionId::ClearPrevious] = 1;
    }
};

void BM_Objects_ClearPrevious(benchmark::State& state)
{
    static std::map<int, std::unique_ptr<Level>> levels;
    const int objects = static_cast<int>(state.range(0));
    auto& level = levels[objects];
    if (!level)
        level = std::make_unique<Level>(objects);
    for (auto _ : state)
        level->bin.ExtractAllObjects();
    state.SetComplexityN(objects);
    state.counters["per_object_ns"] =
        benchmark::Counter(static_cast<double>(objects), benchmark::Counter::kIsIterationInvariantRate |
                                                             benchmark::Counter::kInvert);
}
BENCHMARK(BM_Objects_ClearPrevious)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace
