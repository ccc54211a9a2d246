// The explorer's selection commands on a 100,000-entry archive with a scattered selection (every third line, or
// every other line), against listing the same archive on the page, in the same run: Select all, Invert
// selection and Find ("hit", which every third name holds). Goal: each command at most the listing's time.
// TARVESH_BENCH_ENTRIES sets another entry count.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QTabWidget>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "app/Tmox.h"
#include "archives/ExplorerPage.h"
#include "support/ArchiveWriters.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace {

using Clock = std::chrono::steady_clock;

int Entries()
{
    const char* n = std::getenv("TARVESH_BENCH_ENTRIES");
    return n ? std::max(1, std::atoi(n)) : 100000;
}

struct Fixture {
    TempDir dir;
    std::string path = dir.file("large.bf");
    ScriptedDialogs dialogs;
    TTarvesh* window = nullptr;

    Fixture()
    {
        std::vector<ArchiveFile> files(static_cast<size_t>(Entries()));
        for (size_t i = 0; i < files.size(); ++i)
            files[i].name = "data/level" + std::to_string(i % 37) + (i % 3 == 0 ? "/hit_" : "/object_") +
                            std::to_string(i) + ".bin";
        WriteFileBytes(path, MakeBigArchive(files));
        App();
        window = new TTarvesh(dialogs);
        window->FormCreate({});
        window->show();
        window->PageControl1->setCurrentIndex(0);
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
    }
};

Fixture& Fix()
{
    static Fixture f;
    return f;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Rows r with r % step == first, selected in one go on an empty selection.
void Scatter(QListWidget* list, int step, int first)
{
    QItemSelection sel;
    for (int r = first; r < list->count(); r += step)
        sel.select(list->model()->index(r, 0), list->model()->index(r, 0));
    list->selectionModel()->select(sel, QItemSelectionModel::Select);
    QApplication::processEvents();
}

enum Command { kSelectAll, kInvert, kFind };

// Each iteration: the listing (timed), the scattered selection (not timed), the command with what it leaves to
// paint (timed). The iteration time is the command's; the counters give both medians and command / listing.
void BM_Selection(benchmark::State& state, Command command, int step)
{
    Fixture& f = Fix();
    TExplorerPage& page = *f.window->Explorer;
    std::vector<double> listing, commands;
    for (auto _ : state) {
        page.FileList->selectionModel()->clearSelection();
        QApplication::processEvents();

        auto t0 = Clock::now();
        page.OpenResourceFile(f.path);
        QApplication::processEvents();
        listing.push_back(Seconds(t0));
        if (page.FileList->count() != Entries())
            state.SkipWithError("list incomplete");

        Scatter(page.FileList, step, 1);
        const size_t before = f.dialogs.messages.size();
        f.dialogs.inputAnswers.push_back(std::string("hit"));
        t0 = Clock::now();
        switch (command) {
        case kSelectAll: page.Selectall1->trigger(); break;
        case kInvert: page.Invertselection1->trigger(); break;
        case kFind: page.Find1->trigger(); break;
        }
        QApplication::processEvents();
        commands.push_back(Seconds(t0));
        state.SetIterationTime(commands.back());
        if (command != kFind)
            f.dialogs.inputAnswers.clear();
        else if (f.dialogs.messages.size() != before + 1)
            state.SkipWithError("no count message");
    }
    const double l = Median(listing), c = Median(commands);
    state.counters["listing_ms"] = 1000 * l;
    state.counters["command_ms"] = 1000 * c;
    state.counters["command/listing"] = c / l;
}

BENCHMARK_CAPTURE(BM_Selection, SelectAll_every_third, kSelectAll, 3)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Selection, Invert_every_third, kInvert, 3)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Selection, Find_every_third, kFind, 3)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Selection, SelectAll_every_other, kSelectAll, 2)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Selection, Invert_every_other, kInvert, 2)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Selection, Find_every_other, kFind, 2)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
