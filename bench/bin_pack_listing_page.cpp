// "Inspect" on the real analyzer page (under X) of a small file of texture-pack blocks that each claim
// 4,294,967,295 slots: the lines past the blocks' bytes share one bound per command and reach the text box in
// one piece, so time and memory follow the file, not the claimed counts.
#include <QApplication>
#include <QListView>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>
#include "app/Tmox.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"
#include "support/TestApp.h"
namespace {
void BM_InspectHostilePacks(benchmark::State& state)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    App();
    TTarvesh w(dialogs);
    w.FormCreate({});
    w.show();
    TBinPages& p = *w.BinPages;
    std::vector<BinBlockSpec> blocks;
    for (int i = 0; i < state.range(0); ++i) {
        Bytes b = TexturePackData({1});
        SetU32(b, 8, 0xFFFFFFFF);
        blocks.push_back({uint32_t(0x100 + i), b});
    }
    WriteFileBytes(dir.file("level.binexpanded"), ExpandedBin(blocks));
    dialogs.openAnswers.push_back(dir.file("level.binexpanded"));
    p.Button5Click();
    p.ListBox1->selectAll();
    for (auto _ : state) {
        p.Memo2->clear();
        p.Inspect1Click();
        QApplication::processEvents();
    }
    state.counters["lines"] = p.Memo2->document()->blockCount();
}
BENCHMARK(BM_InspectHostilePacks)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(1);
}
