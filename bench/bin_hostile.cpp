// Damaged and hand-made bin files whose stored counts and sizes promise far more than the file holds: the work
// must follow the bytes of the file, not the numbers in it.
//  - Game Object key scan of one block whose stored size is 0xFFFF0000 in a 17-byte file, and of blocks that
//    hold all their bytes (time per held byte);
//  - "Extract data" of a block claiming 0xFFFFFFF0 bytes in a 32-byte file;
//  - multi-block lists: a chain in which every list names the next one twice (time per level), one list of
//    many distinct parts (time per part), a 3 MB file of inner lists of large meshes (exports done), and a 1 MB
//    file whose list names a list of 250,000 missing keys 40 times (log lines written; run it alone under
//    /usr/bin/time -v for the peak memory).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "bin/BlockAnalysis.h"
#include "bin/Geometry.h"
#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "support/BinWriter.h"
#include "support/GeometryBlocks.h"
#include "support/TempDir.h"

namespace {

struct Loaded {
    TempDir dir;
    MemoryFrontend ui;
    TWorldData world{ui};
    TBinFile bin{ui};
    explicit Loaded(const Bytes& file)
    {
        WriteFileBytes(dir.file("hostile.bin"), file);
        bin.LoadFromFile(dir.file("hostile.bin"));
        bin.WorldData = &world;
        std::filesystem::current_path(dir.path()); // exports land here
    }
};

void BM_GameObjectScan_ClaimedSize(benchmark::State& state)
{
    // 12 header bytes and 5 data bytes of a block that claims 0xFFFF0000.
    Bytes f;
    PutU32(f, 0xFFFF0000);
    PutU32(f, BlockMarker);
    PutU32(f, 0x100);
    f.insert(f.end(), {0x2E, 0x67, 0x61, 0x6F, 1});
    Loaded l(f);
    TGameObject go;
    for (auto _ : state)
        benchmark::DoNotOptimize(ResolveGameObject(l.bin, 0, go));
}
BENCHMARK(BM_GameObjectScan_ClaimedSize)->Unit(benchmark::kMicrosecond);

void BM_GameObjectScan_HeldBytes(benchmark::State& state)
{
    // Keys that name no block and scan bytes that hold none: every position is visited.
    GameObjectSpec go;
    go.geoKey = 0x9999;
    go.extra = static_cast<size_t>(state.range(0));
    Loaded l(ExpandedBin({{0x100, GameObjectData(go)}, {TerminatorKey, TerminatorData()}}));
    TGameObject r;
    for (auto _ : state)
        benchmark::DoNotOptimize(ResolveGameObject(l.bin, 0, r));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_GameObjectScan_HeldBytes)->Arg(1 << 16)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

void BM_ExtractData_ClaimedSize(benchmark::State& state)
{
    Bytes f;
    PutU32(f, 0xFFFFFFF0);
    PutU32(f, BlockMarker);
    PutU32(f, 0x100);
    f.resize(32, 7);
    Loaded l(f);
    for (auto _ : state)
        l.bin.ExtractBlock(0);
}
BENCHMARK(BM_ExtractData_ClaimedSize)->Unit(benchmark::kMicrosecond);

void BM_ListChain_EachNamesTheNextTwice(benchmark::State& state)
{
    const uint32_t depth = static_cast<uint32_t>(state.range(0));
    std::vector<BinBlockSpec> blocks;
    for (uint32_t i = 0; i < depth; ++i)
        blocks.push_back({0x900 + i, ListData({0x900 + i + 1, 0x900 + i + 1})});
    blocks.push_back({0x900 + depth, ActorData(StripMesh(1))});
    blocks.push_back({TerminatorKey, TerminatorData()});
    Loaded l(ExpandedBin(blocks));
    for (auto _ : state)
        l.bin.LoadActorGeometry(0, true, IdentityMatrix(), true);
    state.SetComplexityN(depth);
}
BENCHMARK(BM_ListChain_EachNamesTheNextTwice)->DenseRange(8, 20, 4)->Arg(40)->Unit(benchmark::kMillisecond);

void BM_List_ManyParts(benchmark::State& state)
{
    const uint32_t parts = static_cast<uint32_t>(state.range(0));
    std::vector<BinBlockSpec> blocks;
    std::vector<uint32_t> keys;
    for (uint32_t i = 0; i < parts; ++i)
        keys.push_back(0xA000 + i);
    blocks.push_back({0x900, ListData(keys)});
    for (uint32_t k : keys)
        blocks.push_back({k, ActorData(StripMesh(4))});
    blocks.push_back({TerminatorKey, TerminatorData()});
    Loaded l(ExpandedBin(blocks));
    l.ui.options[OptionId::ModelFormat] = -1; // the load alone, no export file
    for (auto _ : state)
        l.bin.LoadActorGeometry(0, true, IdentityMatrix(), true);
    state.SetComplexityN(parts);
    state.counters["per_part_ns"] = benchmark::Counter(
        static_cast<double>(parts), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_List_ManyParts)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_List_InnerListsOfLargeMeshes(benchmark::State& state)
{
    // A 3 MB file: a list names `lists` inner lists, each naming one actor mesh of an equal share of the file.
    // Every inner list exports the world as it stands (the k-th export writes k meshes).
    const uint32_t lists = static_cast<uint32_t>(state.range(0));
    const int faces = static_cast<int>((3u << 20) / 28 / lists);
    std::vector<BinBlockSpec> blocks;
    std::vector<uint32_t> keys;
    for (uint32_t i = 0; i < lists; ++i)
        keys.push_back(0x800 + i);
    blocks.push_back({0x700, ListData(keys)});
    for (uint32_t i = 0; i < lists; ++i)
        blocks.push_back({0x800 + i, ListData({0xA00 + i})});
    for (uint32_t i = 0; i < lists; ++i)
        blocks.push_back({0xA00 + i, ActorData(StripMesh(faces))});
    blocks.push_back({TerminatorKey, TerminatorData()});
    Loaded l(ExpandedBin(blocks));
    for (uint32_t i = 0; i <= lists; ++i)
        l.bin.Blocks[i].Name = "list" + std::to_string(i) + ".gao";
    for (auto _ : state)
        l.bin.LoadActorGeometry(0, true, IdentityMatrix(), true);
    int exports = 0;
    for (const auto& e : std::filesystem::directory_iterator(l.dir.path()))
        exports += e.path().extension() == ".obj";
    state.counters["file_MB"] = static_cast<double>(l.bin.Stream.Size()) / (1 << 20);
    state.counters["exports"] = exports;
}
BENCHMARK(BM_List_InnerListsOfLargeMeshes)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_List_MissingKeysNamedAgain(benchmark::State& state)
{
    std::vector<uint32_t> missing(250000);
    for (uint32_t i = 0; i < missing.size(); ++i)
        missing[i] = 0x100000 + i;
    Loaded l(ExpandedBin({{0x700, ListData(std::vector<uint32_t>(40, 0x800))},
                          {0x800, ListData(missing)},
                          {TerminatorKey, TerminatorData()}}));
    l.ui.options[OptionId::ModelFormat] = -1; // the load alone, no export file
    size_t lines = 0;
    for (auto _ : state) {
        l.ui.memos = {};
        l.bin.LoadActorGeometry(0, true, IdentityMatrix(), true);
        lines = l.ui.Lines(MemoId::Memo3).size();
    }
    state.counters["file_MB"] = static_cast<double>(l.bin.Stream.Size()) / (1 << 20);
    state.counters["log_lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_List_MissingKeysNamedAgain)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

namespace {
void BM_Objects_Appended(benchmark::State& state)
{
    // Game Objects that all place one mesh of 12 faces, loaded into one world ("Clear previous" off).
    const uint32_t objects = static_cast<uint32_t>(state.range(0));
    std::vector<BinBlockSpec> blocks;
    Bytes mesh;
    for (uint32_t v : {1u, 0u, 0u, 0u, 14u, 0u, 0u, 0u, 1u, 0u, 0u})
        PutU32(mesh, v);
    for (int i = 0; i < 14 * 3; ++i)
        PutF32(mesh, static_cast<float>(i % 5));
    PutU32(mesh, 12);
    PutU32(mesh, 0);
    for (uint16_t f = 0; f < 12; ++f) {
        for (uint16_t k = 0; k < 3; ++k)
            PutU16(mesh, static_cast<uint16_t>(f + k));
        for (int k = 0; k < 3; ++k)
            PutU16(mesh, 0);
        PutU32(mesh, 0);
    }
    blocks.push_back({0x500, mesh});
    for (uint32_t i = 0; i < objects; ++i) {
        GameObjectSpec go;
        go.name = "o.gao";
        go.geoKey = 0x500;
        blocks.push_back({0x10000 + i, GameObjectData(go)});
    }
    blocks.push_back({TerminatorKey, TerminatorData()});
    Loaded l(ExpandedBin(blocks));
    for (auto _ : state) {
        l.world.Clear();
        l.bin.ExtractAllObjects();
    }
    state.SetComplexityN(objects);
    state.counters["per_object_ns"] = benchmark::Counter(
        static_cast<double>(objects), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Objects_Appended)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
} // namespace
