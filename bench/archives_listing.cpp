// The explorer showing a 100,000-entry archive: from the chosen file to the painted list.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>

#include "app/Tmox.h"
#include "archives/ExplorerPage.h"
#include "support/ArchiveWriters.h"
#include "support/TempDir.h"

namespace {

constexpr int kEntries = 100000;

void BM_ExplorerListsLargeArchive(benchmark::State& state)
{
    static int argc = 1;
    static char arg0[] = "bench";
    static char* argv[] = {arg0, nullptr};
    static QApplication app(argc, argv);

    TempDir dir;
    std::vector<ArchiveFile> files(kEntries);
    for (int i = 0; i < kEntries; ++i)
        files[size_t(i)].name = "data/level" + std::to_string(i % 37) + "/object_" + std::to_string(i) + ".bin";
    const std::string path = dir.file("large.bf");
    WriteFileBytes(path, MakeBigArchive(files));

    ScriptedDialogs dialogs;
    TTarvesh window(dialogs);
    window.FormCreate({});
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        window.Explorer->OpenResourceFile(path);
        QApplication::processEvents();
        if (window.Explorer->FileList->count() != kEntries)
            state.SkipWithError("list incomplete");
    }
}
BENCHMARK(BM_ExplorerListsLargeArchive)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
