// Texture-pack build (without upload) over bin files of 25,000 to 100,000 texture blocks: time per block
// should stay flat (linear in the number of blocks).
#include <benchmark/benchmark.h>

#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

// Groups of six blocks: a pack naming two information blocks, those two, their two texture data blocks and
// one information block no pack names.
std::vector<BinBlockSpec> Blocks(int count)
{
    std::vector<BinBlockSpec> blocks;
    blocks.reserve(static_cast<size_t>(count) + 1);
    for (uint32_t g = 0; blocks.size() + 6 <= static_cast<size_t>(count); ++g) {
        const uint32_t base = 0x100000 + g * 8;
        blocks.push_back({base, TexturePackData({base + 1, base + 2})});
        for (uint32_t k = 1; k <= 3; ++k) {
            Bytes info(48, 0);
            SetU32(info, 0, 5);
            SetU32(info, 4, 4);
            SetU32(info, 44, base + 3 + (k == 3 ? 1 : k));
            blocks.push_back({k == 3 ? base + 6 : base + k, info});
        }
        for (uint32_t k = 4; k <= 5; ++k) {
            Bytes data(64, 0);
            SetU32(data, 32, TextureSign);
            SetU32(data, 36, 1);
            blocks.push_back({base + k, data});
        }
    }
    blocks.push_back({TerminatorKey, TerminatorData()});
    return blocks;
}

void BM_LoadTextures(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    TempDir dir;
    const std::string path = dir.file("packs.bin");
    WriteFileBytes(path, ExpandedBin(Blocks(count)));
    MemoryFrontend fe;
    TBinFile bin(fe);
    TWorldData world(fe);
    bin.WorldData = &world;
    if (!bin.LoadFromFile(path)) {
        state.SkipWithError("load failed");
        return;
    }
    for (auto _ : state) {
        bin.LoadTextures();
        fe.Lines(MemoId::Memo3).clear();
        benchmark::DoNotOptimize(world.PackCount);
    }
    state.SetComplexityN(bin.Count);
    state.SetItemsProcessed(state.iterations() * bin.Count);
}

} // namespace

BENCHMARK(BM_LoadTextures)->Arg(25000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
