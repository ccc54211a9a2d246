// Extraction against what the system's own tools make of the same bytes, in the same run:
//  - 10 entries of 100 MiB from a 1 GiB BF BIG archive against a kernel copy (copy_file_range, as cp makes it)
//    of the same byte ranges into 10 new files, and of the whole archive into one;
//  - 10,000 entries of ~100 KiB (1 GiB) against `tar -x` of the same tree from a tar archive.
// Every run writes into files that did not exist before and starts after a sync, so that earlier runs' dirty
// pages do not throttle it. TARVESH_BENCH_MIB sets another archive size.
#include "ArchiveBench.h"
#include "archives/TBF.h"
#include "platform/Frontend.h"

namespace {

BigFixture& Large()
{
    static BigFixture f(10, "large.bf");
    return f;
}

BigFixture& Many()
{
    static BigFixture f(10000, "many.bf");
    return f;
}

// The copies a kernel copy makes of the archive (copy_file_range, as cp does): `parts` byte ranges of equal size
// from the data area into as many new files (1: the whole archive into one file, as cp of it); seconds.
double KernelCopy(BigFixture& f, int parts, benchmark::State& state)
{
    const fs::path folder = f.NextFolder("cp");
    const int64_t size = static_cast<int64_t>(fs::file_size(f.path));
    const int64_t each = parts == 1 ? size : f.dataBytes / parts;
    loff_t from = parts == 1 ? 0 : size - f.dataBytes - 4 * parts + 4; // the first entry's data
    ::sync();
    const auto t0 = Clock::now();
    const int in = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
    for (int p = 0; p < parts; ++p) {
        const fs::path target = folder / ("part" + std::to_string(p));
        const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        for (int64_t left = each; left > 0;) {
            const ssize_t n = copy_file_range(in, &from, out, nullptr, size_t(left), 0);
            if (n <= 0) {
                state.SkipWithError("copy_file_range failed");
                break;
            }
            left -= n;
        }
        from += 4; // the next entry's stored length
        ::close(out);
    }
    ::close(in);
    return Seconds(t0);
}

// The fixture's tree (names, folders, bytes) as a tar archive, made once by extracting the archive.
fs::path TarOfTheTree(BigFixture& f)
{
    const fs::path tree = f.NextFolder("tree");
    fs::create_hard_link(f.path, tree / f.path.filename());
    MemoryFrontend fe;
    TBF bf(fe);
    bf.Init();
    const fs::path cwd = fs::current_path();
    bf.Open((tree / f.path.filename()).string());
    for (int i = 0; i < bf.Count; ++i)
        bf.ExtractEntry(i);
    fs::current_path(cwd);
    fs::remove(tree / f.path.filename());
    const fs::path out = f.dir.path() / "tree.tar";
    const std::string cmd = "tar -cf '" + out.string() + "' -C '" + tree.string() + "' .";
    if (std::system(cmd.c_str()) != 0)
        return {};
    fs::remove_all(tree);
    return out;
}

// `tar -x` of the tree into a fresh folder; seconds.
double TarExtract(BigFixture& f, const fs::path& tar, benchmark::State& state)
{
    const fs::path folder = f.NextFolder("untar");
    const std::string cmd = "tar -xf '" + tar.string() + "' -C '" + folder.string() + "'";
    ::sync();
    const auto t0 = Clock::now();
    if (std::system(cmd.c_str()) != 0)
        state.SkipWithError("tar -x failed");
    return Seconds(t0);
}

// Goal: the extraction at >= 90% of a kernel copy of the same bytes (ours/kernel <= 1.11); for reference, cp of
// the whole archive into one file.
void BM_Extract10x100MiB(benchmark::State& state)
{
    auto& f = Large();
    Against(state, [&] { return ExtractAll(f, state); },
            {{"kernel", [&] { return KernelCopy(f, f.entries, state); }},
             {"cp_archive", [&] { return KernelCopy(f, 1, state); }}});
    state.SetBytesProcessed(state.iterations() * f.dataBytes);
}
BENCHMARK(BM_Extract10x100MiB)->Unit(benchmark::kMillisecond)->Iterations(6)->UseManualTime();

// Goal: ours/tar <= 1.0.
void BM_Extract10000Entries(benchmark::State& state)
{
    auto& f = Many();
    static const fs::path tar = TarOfTheTree(f);
    if (tar.empty()) {
        state.SkipWithError("tar -c failed");
        return;
    }
    Against(state, [&] { return ExtractAll(f, state); }, {{"tar", [&] { return TarExtract(f, tar, state); }}});
    state.SetBytesProcessed(state.iterations() * f.dataBytes);
}
BENCHMARK(BM_Extract10000Entries)->Unit(benchmark::kMillisecond)->Iterations(6)->UseManualTime();

} // namespace
