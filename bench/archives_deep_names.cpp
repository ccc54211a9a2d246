// Extract-all of a FAT sound archive whose first entry name is TARVESH_BENCH_DEEP_KIB KiB (default 1024) of
// folders ("d\" over and over, then a 300-byte file name) and whose other entries are ordinary, against listing the
// same archive, both on the explorer page of the real window, taking turns. The deep entry's path is longer than
// any path the system takes: it ends the run with the error box, after the output path was made and its folder
// limits asked (goal: extract-all / listing <= 10).
#include <QApplication>
#include <QListWidget>

#include "ArchiveBench.h"
#include "app/Tmox.h"
#include "archives/ExplorerPage.h"
#include "support/TestApp.h"

namespace {

struct DeepFixture {
    TempDir dir;
    fs::path fat;

    DeepFixture()
    {
        const char* kib = std::getenv("TARVESH_BENCH_DEEP_KIB");
        const size_t folders = size_t(kib ? std::atoll(kib) : 1024) * 1024 / 2;
        std::string deep;
        deep.reserve(folders * 2 + 300);
        for (size_t i = 0; i < folders; ++i)
            deep += "d\\";
        deep += std::string(296, 'f') + ".bin";
        std::vector<ArchiveFile> files{{deep, Bytes{1, 2, 3}}};
        for (int i = 0; i < 100; ++i)
            files.push_back({"after" + std::to_string(i) + ".bin", Bytes{4}});
        const FatPair pair = MakeFatArchive(files);
        fat = dir.path() / "deep.fat";
        WriteFileBytes(fat.string(), pair.fat);
        WriteFileBytes((dir.path() / "deep.BIG").string(), pair.big);
    }
};

DeepFixture& Fixture()
{
    static DeepFixture f;
    return f;
}

ScriptedDialogs& Boxes()
{
    static ScriptedDialogs dialogs;
    return dialogs;
}

TTarvesh& Window()
{
    static TTarvesh* w = [] {
        App();
        auto* window = new TTarvesh(Boxes());
        window->FormCreate({});
        window->show();
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        return window;
    }();
    return *w;
}

double Listing(benchmark::State& state)
{
    TExplorerPage& page = *Window().Explorer;
    const auto t0 = Clock::now();
    page.OpenResourceFile(Fixture().fat.string());
    QApplication::processEvents();
    const double seconds = Seconds(t0);
    if (page.FileList->count() != 101)
        state.SkipWithError("not listed");
    return seconds;
}

double ExtractAll(benchmark::State& state)
{
    TExplorerPage& page = *Window().Explorer;
    page.OpenResourceFile(Fixture().fat.string());
    QApplication::processEvents();
    Boxes().errors.clear();
    const auto t0 = Clock::now();
    try {
        page.ExtractAllFiles();
    } catch (const std::exception& e) {
        Boxes().ErrorBox(e.what()); // as the window's event dispatch shows it
    }
    QApplication::processEvents();
    const double seconds = Seconds(t0);
    if (Boxes().errors.size() != 1)
        state.SkipWithError("the deep entry did not end the run with an error");
    return seconds;
}

void BM_ExtractAllWithDeepName(benchmark::State& state)
{
    Fixture();
    Window();
    Against(state, [&] { return ExtractAll(state); }, {{"listing", [&] { return Listing(state); }}});
}
BENCHMARK(BM_ExtractAllWithDeepName)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

} // namespace
