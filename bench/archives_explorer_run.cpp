// "Extract" on the explorer page of the real window, shown (with the display's OpenGL panel) under X, on a BF BIG
// archive of 20,000 entries (200 MB):
//  - Select all + Extract against the same extraction through the archive reader alone, taking turns
//    (goal: page / core <= 1.2);
//  - one selected line of the 20,000 (goal: < 0.1 s).
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "ArchiveBench.h"
#include "app/Tmox.h"
#include "archives/ExplorerPage.h"
#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "support/TestApp.h"

namespace {

constexpr int kEntries = 20000;

BigFixture& Fixture()
{
    static BigFixture f(kEntries, "explorer.bf", int64_t(200) * 1000 * 1000);
    return f;
}

// The real window with the explorer page in view.
TTarvesh& Window()
{
    static ScriptedDialogs dialogs;
    static TTarvesh* w = [] {
        App();
        auto* window = new TTarvesh(dialogs);
        window->FormCreate({});
        window->show();
        window->PageControl1->setCurrentIndex(0);
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        return window;
    }();
    return *w;
}

// The archive hard-linked into a fresh folder and opened on the page.
void OpenFresh(BigFixture& f)
{
    const fs::path folder = f.NextFolder("page");
    fs::create_hard_link(f.path, folder / f.path.filename());
    Window().Explorer->OpenResourceFile((folder / f.path.filename()).string());
    QApplication::processEvents();
    ::sync();
}

size_t FilesIn(const fs::path& folder)
{
    size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        n += e.is_regular_file() ? 1 : 0;
    return n;
}

double ThroughThePage(BigFixture& f, benchmark::State& state)
{
    TExplorerPage& page = *Window().Explorer;
    OpenFresh(f);
    const auto t0 = Clock::now();
    page.Selectall1->trigger();
    page.Button2->click();
    QApplication::processEvents(); // what the run left to paint
    const double seconds = Seconds(t0);
    if (FilesIn(f.last) != size_t(kEntries) + 1)
        state.SkipWithError("entries missing");
    return seconds;
}

void BM_ExplorerExtractAll(benchmark::State& state)
{
    auto& f = Fixture();
    Window();
    Against(state, [&] { return ThroughThePage(f, state); },
            {{"core", [&] { return ExtractAll(f, state); }}});
}
BENCHMARK(BM_ExplorerExtractAll)->Unit(benchmark::kMillisecond)->Iterations(6)->UseManualTime();

void BM_ExplorerExtractOneSelectedLine(benchmark::State& state)
{
    auto& f = Fixture();
    TExplorerPage& page = *Window().Explorer;
    for (auto _ : state) {
        state.PauseTiming();
        OpenFresh(f);
        page.FileList->item(kEntries / 2)->setSelected(true);
        state.ResumeTiming();
        page.Button2->click();
        QApplication::processEvents();
        state.PauseTiming();
        if (FilesIn(f.last) != 2)
            state.SkipWithError("not one file");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ExplorerExtractOneSelectedLine)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

} // namespace
