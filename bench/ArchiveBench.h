// Shared by the archive benchmarks: a large BF BIG archive written in pieces, fresh output folders, and a
// comparison in which contenders take turns.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "platform/Stream.h"
#include "support/ArchiveWriters.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;


using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

inline int64_t TotalBytes()
{
    const char* mib = std::getenv("TARVESH_BENCH_MIB");
    return int64_t(mib ? std::atoll(mib) : 1024) << 20;
}

// A BF BIG archive of `entries` entries sharing `total` bytes (entry i is folder<i % 50>/entry_<i>.dat), written
// in pieces, with fresh folders for the runs that extract it.
struct BigFixture {
    TempDir dir;
    fs::path path;
    int entries;
    int64_t dataBytes;
    int run = 0;

    BigFixture(int count, const std::string& name, int64_t total = TotalBytes())
        : path(dir.path() / "archive" / name), entries(count)
    {
        fs::create_directories(path.parent_path());
        const int64_t each = total / count;
        ByteWriter head;
        head.Str(std::string("BIG", 4)).U32(0).I32(count).Fill(56);
        const int64_t dataStart = 68 + 8 * int64_t(count) + 4 + 84 * int64_t(count);
        for (int i = 0; i < count; ++i)
            head.U32(uint32_t(dataStart + int64_t(i) * (each + 4))).U32(uint32_t(i));
        head.Fill(4);
        for (int i = 0; i < count; ++i) {
            const size_t rec = head.Size();
            head.I32(int32_t(each)).Fill(16).CStr("folder" + std::to_string(i % 50) + "/entry_" + std::to_string(i) + ".dat");
            head.PadTo(rec + 84);
        }
        TFileStream out(path.string(), TFileStream::Create);
        out.WriteBuffer(head.b.data(), int64_t(head.Size()));
        const Bytes block = PatternBytes(size_t(each), 7);
        for (int i = 0; i < count; ++i) {
            const int32_t len = int32_t(each);
            out.WriteBuffer(&len, 4);
            out.WriteBuffer(block.data(), each);
        }
        out.Close();
        dataBytes = int64_t(count) * each;
    }

    // A fresh folder for one run; the previous run's output leaves the page cache first (it is written out and
    // its pages dropped), so that memory does not fill up over the runs.
    fs::path NextFolder(const std::string& what)
    {
        if (!last.empty()) {
            ::sync();
            std::error_code ec;
            for (fs::recursive_directory_iterator it(last, ec), end; !ec && it != end; it.increment(ec))
                if (it->is_regular_file() && it->path() != last / path.filename()) {
                    const int fd = ::open(it->path().c_str(), O_RDONLY | O_CLOEXEC);
                    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                    ::close(fd);
                }
        }
        last = dir.path() / (what + std::to_string(run++));
        fs::create_directories(last);
        return last;
    }
    fs::path last;
};

// Every entry of the fixture's archive extracted into a fresh folder (the archive hard-linked there); seconds.
inline double ExtractAll(BigFixture& f, benchmark::State& state)
{
    const fs::path cwd = fs::current_path();
    MemoryFrontend fe;
    TBF bf(fe);
    bf.Init();
    const fs::path folder = f.NextFolder("extract");
    fs::create_hard_link(f.path, folder / f.path.filename());
    if (!bf.Open((folder / f.path.filename()).string()))
        state.SkipWithError("open failed");
    ::sync();
    const auto t0 = Clock::now();
    int written = 0;
    for (int i = 0; i < bf.Count; ++i)
        written += bf.ExtractEntry(i) ? 1 : 0;
    const double seconds = Seconds(t0);
    if (written != f.entries)
        state.SkipWithError("entries missing");
    fs::current_path(cwd);
    return seconds;
}

// Our extraction and the others take turns in each iteration, the order rotating, so that the machine's drift
// weighs on all alike. The iteration time is ours; the counters give each one's median and ours / theirs.
struct Contender {
    std::string name;
    std::function<double()> run;
};
inline void Against(benchmark::State& state, const std::function<double()>& ours, const std::vector<Contender>& others)
{
    std::vector<std::function<double()>> all{ours};
    for (const auto& o : others)
        all.push_back(o.run);
    std::vector<std::vector<double>> times(all.size());
    int n = 0;
    for (auto _ : state) {
        std::vector<double> t(all.size());
        for (size_t k = 0; k < all.size(); ++k) {
            const size_t which = (k + size_t(n)) % all.size();
            t[which] = all[which]();
        }
        state.SetIterationTime(t[0]);
        for (size_t k = 0; k < all.size(); ++k)
            times[k].push_back(t[k]);
        ++n;
    }
    // Medians: a run that the machine's other work delays now and then does not decide the comparison.
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    const double oursMedian = median(times[0]);
    state.counters["ours_ms"] = 1000 * oursMedian;
    for (size_t k = 0; k < others.size(); ++k) {
        const double m = median(times[k + 1]);
        state.counters[others[k].name + "_ms"] = 1000 * m;
        state.counters["ours/" + others[k].name] = oursMedian / m;
    }
}

