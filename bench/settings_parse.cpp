// Settings text: parse and write back a key nested N levels deep, and a key of N values. Time per level and per
// value should stay flat (linear in the length of the text).
#include <benchmark/benchmark.h>

#include <string>

#include "platform/Settings.h"

namespace {

std::string DeepKey(int depth)
{
    std::string x = "REGEDIT4\n\n[HKEY_CURRENT_USER";
    for (int i = 0; i < depth; ++i)
        x += "\\Key";
    return x + "]\n\"Value\"=dword:00000001\n";
}

std::string ManyValues(int count)
{
    std::string x = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n";
    for (int i = 0; i < count; ++i)
        x += "\"Value" + std::to_string(i) + "\"=dword:00000001\n";
    return x;
}

void Run(benchmark::State& state, const std::string& text)
{
    for (auto _ : state) {
        TRegistryData data;
        data.Parse(text, "HKEY_CURRENT_USER");
        benchmark::DoNotOptimize(data.Format("HKEY_CURRENT_USER"));
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_DeepKey(benchmark::State& state) { Run(state, DeepKey(static_cast<int>(state.range(0)))); }
void BM_ManyValues(benchmark::State& state) { Run(state, ManyValues(static_cast<int>(state.range(0)))); }

} // namespace

BENCHMARK(BM_DeepKey)->Arg(2500)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK(BM_ManyValues)->Arg(2500)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
