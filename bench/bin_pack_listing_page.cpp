// "Inspect" on the real analyzer page (under X) of a small file of texture-pack blocks that each claim
// 4,294,967,295 slots: the lines past the blocks' bytes share one bound per command and reach the text box in
// one piece, so time and memory follow the file, not the claimed counts.
#include <QApplication>
#include <QListView>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>
#include <memory>
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

// "Inspect" of every block of a file of 100,000 blocks (200,000 lines), handled as the window handles a click
// (one event, one command), against one append of the same lines to the same text box.
struct InspectPage {
    TempDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TTarvesh> w;
    explicit InspectPage(int blocks)
    {
        App();
        w = std::make_unique<TTarvesh>(dialogs);
        w->FormCreate({});
        w->show();
        std::vector<BinBlockSpec> specs;
        for (int i = 0; i < blocks; ++i)
            specs.push_back({uint32_t(0x100 + i), i % 2 ? GeometryData() : TextureData()});
        WriteFileBytes(dir.file("level.binexpanded"), ExpandedBin(specs));
        dialogs.openAnswers.push_back(dir.file("level.binexpanded"));
        w->BinPages->Button5Click();
        w->BinPages->ListBox1->selectAll();
    }
};

void BM_InspectAllBlocks(benchmark::State& state)
{
    InspectPage page(static_cast<int>(state.range(0)));
    TBinPages& p = *page.w->BinPages;
    for (auto _ : state) {
        state.PauseTiming();
        p.Memo2->clear();
        QApplication::processEvents();
        state.ResumeTiming();
        QMetaObject::invokeMethod(&p, [&p] { p.Inspect1Click(); }, Qt::QueuedConnection);
        QApplication::processEvents();
    }
    state.counters["lines"] = p.Memo2->document()->blockCount();
}
BENCHMARK(BM_InspectAllBlocks)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AppendSameLinesOnce(benchmark::State& state)
{
    InspectPage page(static_cast<int>(state.range(0)));
    TBinPages& p = *page.w->BinPages;
    QString text;
    for (int i = 0; i < state.range(0); ++i)
        text += (i ? "\n\n" : "\n") + (i % 2 ? QString("3D DATA") : QString("[%1] - UNKNOWN").arg(0x100 + i, 8, 16, QChar('0')).toUpper());
    for (auto _ : state) {
        state.PauseTiming();
        p.Memo2->clear();
        QApplication::processEvents();
        state.ResumeTiming();
        p.Memo2->appendPlainText(text);
        QApplication::processEvents();
    }
    state.counters["lines"] = p.Memo2->document()->blockCount();
}
BENCHMARK(BM_AppendSameLinesOnce)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
