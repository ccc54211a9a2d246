// DXT1 / DXT5 decoding of a 4096 x 4096 image against libsquish's DecompressImage on the same blocks.
#include <benchmark/benchmark.h>

#include <random>
#include <squish.h>

#include "platform/Stream.h"
#include "textures/DDS.h"

namespace {

constexpr int kSide = 4096;

const std::vector<uint8_t>& Blocks(int blockBytes)
{
    static std::vector<uint8_t> dxt1, dxt5;
    auto& v = blockBytes == 8 ? dxt1 : dxt5;
    if (v.empty()) {
        v.resize(static_cast<size_t>(kSide / 4) * (kSide / 4) * blockBytes);
        std::mt19937 rng(7);
        for (auto& b : v)
            b = static_cast<uint8_t>(rng());
    }
    return v;
}

void BM_DecodeDXT1(benchmark::State& state)
{
    TMemoryStream s(Blocks(8));
    std::vector<uint8_t> dest(static_cast<size_t>(kSide) * kSide * 3);
    for (auto _ : state) {
        s.SetPosition(0);
        DecodeDXT1(s, dest, kSide, kSide, 3);
        benchmark::DoNotOptimize(dest.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_DecodeDXT5(benchmark::State& state)
{
    TMemoryStream s(Blocks(16));
    std::vector<uint8_t> dest(static_cast<size_t>(kSide) * kSide * 4);
    for (auto _ : state) {
        s.SetPosition(0);
        DecodeDXT5(s, dest, kSide, kSide, 4);
        benchmark::DoNotOptimize(dest.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_SquishDXT1(benchmark::State& state)
{
    const auto& blocks = Blocks(8);
    std::vector<uint8_t> rgba(static_cast<size_t>(kSide) * kSide * 4);
    for (auto _ : state) {
        squish::DecompressImage(rgba.data(), kSide, kSide, blocks.data(), squish::kDxt1);
        benchmark::DoNotOptimize(rgba.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_SquishDXT5(benchmark::State& state)
{
    const auto& blocks = Blocks(16);
    std::vector<uint8_t> rgba(static_cast<size_t>(kSide) * kSide * 4);
    for (auto _ : state) {
        squish::DecompressImage(rgba.data(), kSide, kSide, blocks.data(), squish::kDxt5);
        benchmark::DoNotOptimize(rgba.data());
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

} // namespace

BENCHMARK(BM_DecodeDXT1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SquishDXT1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeDXT5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SquishDXT5)->Unit(benchmark::kMillisecond)->UseRealTime();
