// Model writers: OBJ of a large world against the same numbers printed with snprintf("%.6f") into memory, OBJ
// of a small world, and 3DS of one model at two sizes (the time should grow linearly).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <filesystem>
#include <random>

#include "models/WorldData.h"
#include "platform/Frontend.h"

namespace {

// A grid-like world: `vertices` vertices, `faces` triangles in models of 1000 faces, texture coordinates set.
void MakeWorld(TWorldData& w, uint32_t vertices, uint32_t faces)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> pos(-5000, 5000), uv(0, 1);
    w.Vertices.resize(vertices);
    w.Normals.resize(vertices);
    for (auto& v : w.Vertices)
        v = Vector3Make(pos(rng), pos(rng), pos(rng));
    for (auto& n : w.Normals)
        n = Vector3Normalize(Vector3Make(uv(rng), uv(rng), uv(rng)));
    w.VertexCount = vertices;
    const uint32_t perModel = 1000;
    std::uniform_int_distribution<uint32_t> vi(0, vertices - 1);
    for (uint32_t done = 0; done < faces; done += perModel) {
        model m;
        m.TriangleCount = static_cast<int32_t>(std::min(perModel, faces - done));
        m.Triangles.resize(static_cast<size_t>(m.TriangleCount));
        m.Name = "m" + std::to_string(w.Models.size());
        for (auto& t : m.Triangles)
            for (int k = 0; k < 3; ++k) {
                t.VertexIndex[k] = vi(rng);
                t.TexCoord[k] = Vector2{uv(rng), uv(rng)};
            }
        w.Models.push_back(std::move(m));
    }
    w.ModelCount = static_cast<uint32_t>(w.Models.size());
}

struct Fixture {
    MemoryFrontend ui;
    TWorldData world{ui};
    std::filesystem::path dir;
    Fixture(uint32_t vertices, uint32_t faces)
    {
        MakeWorld(world, vertices, faces);
        dir = std::filesystem::temp_directory_path() / "tarvesh-bench-models";
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
};

Fixture& Big()
{
    static Fixture f(1000000, 2000000);
    return f;
}

void BM_ExportOBJ_1M_vertices_2M_triangles(benchmark::State& state)
{
    Fixture& f = Big();
    for (auto _ : state)
        f.world.ExportOBJ("bench", 0, "bench.bin", TFileIds());
    std::filesystem::remove(f.dir / "bench.obj");
    std::filesystem::remove(f.dir / "bench.mtl");
}
BENCHMARK(BM_ExportOBJ_1M_vertices_2M_triangles)->Unit(benchmark::kMillisecond)->Iterations(3);

// A small world (36 vertices, one model of 12 faces) exported again and again: the cost of an export that writes
// little (a few KB), as the actor loader's inner exports do.
void BM_ExportOBJ_small_world(benchmark::State& state)
{
    static Fixture f(36, 12);
    for (auto _ : state)
        f.world.ExportOBJ("small", 0, "bench.bin", TFileIds());
    std::filesystem::remove(f.dir / "small.obj");
    std::filesystem::remove(f.dir / "small.mtl");
}
BENCHMARK(BM_ExportOBJ_small_world)->Unit(benchmark::kMicrosecond);

// Baseline: the same floats (v, vt, vn) through snprintf("%.6f") into memory.
void BM_Baseline_snprintf_same_numbers(benchmark::State& state)
{
    Fixture& f = Big();
    std::vector<char> out(64 << 20);
    for (auto _ : state) {
        size_t used = 0;
        auto put = [&](float v) {
            if (out.size() - used < 64)
                used = 0; // reuse the buffer: only the formatting is measured
            used += static_cast<size_t>(std::snprintf(out.data() + used, 64, "%.6f ", static_cast<double>(v)));
        };
        for (uint32_t i = 0; i < f.world.VertexCount; ++i) {
            put(f.world.Vertices[i].x), put(f.world.Vertices[i].y), put(f.world.Vertices[i].z);
            put(f.world.Normals[i].x), put(f.world.Normals[i].y), put(f.world.Normals[i].z);
        }
        for (const model& m : f.world.Models)
            for (const triangle& t : m.Triangles)
                for (const Vector2& tc : t.TexCoord)
                    put(tc.u), put(tc.v);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Baseline_snprintf_same_numbers)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Export3DS_one_model(benchmark::State& state)
{
    const auto vertices = static_cast<uint32_t>(state.range(0));
    static std::map<uint32_t, std::unique_ptr<Fixture>> fixtures;
    auto& f = fixtures[vertices];
    if (!f) {
        f = std::make_unique<Fixture>(vertices, 0);
        // One model whose faces walk every vertex: n vertices, n - 2 faces (below the 16-bit limits).
        model m;
        m.TriangleCount = static_cast<int32_t>(vertices - 2);
        m.Triangles.resize(vertices - 2);
        for (uint32_t i = 0; i + 2 < vertices; ++i) {
            m.Triangles[i].VertexIndex[0] = i;
            m.Triangles[i].VertexIndex[1] = i + 1;
            m.Triangles[i].VertexIndex[2] = i + 2;
        }
        f->world.Models = {m};
        f->world.ModelCount = 1;
    }
    for (auto _ : state)
        f->world.Export3DS("bench", "bench.bin", TFileIds());
    state.SetComplexityN(state.range(0));
    std::filesystem::remove(f->dir / "bench.3DS");
}
BENCHMARK(BM_Export3DS_one_model)->Arg(15000)->Arg(30000)->Arg(60000)->Unit(benchmark::kMicrosecond)->Complexity();

} // namespace
