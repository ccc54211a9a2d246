#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "app/Tmox.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace {

struct Window {
    TempDir dir;
    ScriptedDialogs dialogs;
    TTarvesh w{(App(), dialogs)};
    TBinPages& p;

    Window() : p(*w.BinPages) { w.FormCreate({}); }

    std::vector<std::string> Memo3() const
    {
        std::vector<std::string> out;
        for (const QString& s : p.Memo3->toPlainText().split('\n'))
            if (!s.isEmpty())
                out.push_back(s.toStdString());
        return out;
    }
    std::string Write(const std::string& name, const Bytes& bytes)
    {
        WriteFileBytes(dir.file(name), bytes);
        return dir.file(name);
    }
    void Analyze(const std::string& path)
    {
        dialogs.openAnswers.push_back(path);
        p.Button5Click();
    }
    std::string Line(int i) const { return p.ListModel->data(p.ListModel->index(i)).toString().toStdString(); }
    void Select(std::initializer_list<int> rows)
    {
        p.ListBox1->clearSelection();
        for (int r : rows)
            p.ListBox1->selectionModel()->select(p.ListModel->index(r), QItemSelectionModel::Select);
    }
};

// Compressed files of `expanded` in two chunks (512 bytes, then the rest) that fail in the second chunk: one
// whose packed bytes end in garbage instead of LZO's end marker, one cut 10 bytes short; and one whose first
// chunk is damaged. `second` gets the second chunk's offset.
struct FailingFiles {
    Bytes damaged, cut, damagedFirst;
    size_t second = 0;

    explicit FailingFiles(const Bytes& expanded)
    {
        const Bytes c0 = CompressChunk(Bytes(expanded.begin(), expanded.begin() + 512));
        Bytes c1 = CompressChunk(Bytes(expanded.begin() + 512, expanded.end()));
        second = c0.size();
        cut = c0;
        cut.insert(cut.end(), c1.begin(), c1.end() - 10);
        damagedFirst = c0;
        std::fill(damagedFirst.end() - 3, damagedFirst.end(), 0xFF);
        damagedFirst.insert(damagedFirst.end(), c1.begin(), c1.end());
        std::fill(c1.end() - 3, c1.end(), 0xFF);
        damaged = c0;
        damaged.insert(damaged.end(), c1.begin(), c1.end());
        PutU32(damaged, 0);
        PutU32(damaged, 0);
    }
    std::string Stopped(const char* why) const
    {
        return "Expansion stopped at chunk 1 (offset " + std::to_string(second) + " in the compressed file): " +
               why + ". 512 bytes written.";
    }
};

// A bin file of several 64 KiB chunks and compressed forms of it that are intact: zero bytes after each chunk's
// LZO stream, counted in P; and a last chunk of U = 65536 and P = 0 in place of the end chunk.
struct IntactFiles {
    Bytes expanded, padded, unpackedEnd;

    IntactFiles()
    {
        auto blocks = EveryKindBlocks();
        Bytes big(300000);
        for (size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<uint8_t>(i * 7 ^ i >> 9);
        blocks.insert(blocks.end() - 1, {0x7000, big});
        expanded = ExpandedBin(blocks);
        padded = PadChunks(CompressBin(expanded));
        unpackedEnd = CompressBin(expanded);
        SetU32(unpackedEnd, unpackedEnd.size() - 8, 65536);
    }
};

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(BinPages, ControlsAndPopupMenu)
{
    Window t;
    EXPECT_EQ(t.p.Button3->text(), "Open...");
    EXPECT_EQ(t.p.Button5->text(), "Analyze");
    EXPECT_EQ(t.p.Button19->text(), "Textures");
    EXPECT_EQ(t.p.Button20->text(), "Objects");
    EXPECT_EQ(t.p.Label3->text(), "Extract all :");
    EXPECT_EQ(t.w.findChild<QPlainTextEdit*>("Memo2"), t.p.Memo2);
    EXPECT_EQ(t.w.findChild<QListView*>("ListBox1"), t.p.ListBox1);
    EXPECT_EQ(t.p.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(t.p.Memo2->font().family(), "Courier New");
    struct Item {
        const char* name;
        const char* caption;
        QKeySequence key;
        bool visible;
    };
    const Item items[] = {{"Extract1", "View/Extract", QKeySequence("Ctrl+E"), true},
        {"Find2", "Find...", QKeySequence("Ctrl+F"), true}, {"List1", "Save list...", {}, false},
        {"Inspect1", "Inspect", QKeySequence("Ctrl+I"), false}, {"est1", "Test actors", {}, false},
        {"Extractdata1", "Extract data", {}, false}};
    const auto actions = t.p.PopupMenu2->actions();
    ASSERT_EQ(actions.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(actions[i]->objectName(), items[i].name);
        EXPECT_EQ(actions[i]->text(), items[i].caption);
        EXPECT_EQ(actions[i]->shortcut(), items[i].key);
        EXPECT_EQ(actions[i]->isVisible(), items[i].visible);
        EXPECT_EQ(t.w.findChild<QAction*>(items[i].name), actions[i]);
    }
}

TEST(BinPages, AnalyzeCompressedFile)
{
    Window t;
    t.w.WorldData->Loaded = true;
    const std::string path = t.Write("level.bin", CompressBin(ExpandedBin(EveryKindBlocks())));
    t.Analyze(path);
    ASSERT_EQ(t.dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(t.dialogs.fileDialogs[0].filter, "Binary files|*.bin;*.binexpanded");
    EXPECT_FALSE(t.w.WorldData->Loaded);
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"Loading textures...", "1 textures loaded.",
                                                   "File type : .wow - Level One", "14 blocks.", "Done."}));
    ASSERT_EQ(t.p.ListModel->rowCount(), 14);
    EXPECT_EQ(t.Line(0), "00001000 (0) - .wow - Level One");
    EXPECT_EQ(t.Line(6).substr(0, 9), "00001006 ");
    EXPECT_NE(t.Line(6).find(") - Game Object - Chair"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(t.dir.file("level.binexpanded")));
    EXPECT_TRUE(t.p.Button5->isEnabled());
    EXPECT_TRUE(t.p.ListBox1->isEnabled());

    // Intact files of several chunks load the blocks of their expanded file, and say nothing more.
    const IntactFiles intact;
    auto analyzed = [&](const std::string& name, const Bytes& file) {
        t.p.Memo3->clear();
        t.Analyze(t.Write(name, file));
        EXPECT_EQ(t.w.BinFile->Stream.Bytes(), intact.expanded) << name;
        std::vector<std::string> seen = t.Memo3();
        for (int i = 0; i < t.w.BinFile->Count; ++i)
            seen.push_back(t.w.BinFile->ListLine(i));
        return seen;
    };
    const auto expected = analyzed("intact.binexpanded", intact.expanded);
    ASSERT_EQ(t.w.BinFile->Count, 15);
    EXPECT_EQ(analyzed("padded.bin", intact.padded), expected);
    EXPECT_EQ(analyzed("unpacked-end.bin", intact.unpackedEnd), expected);
    EXPECT_TRUE(t.dialogs.messages.empty());
}

TEST(BinPages, AnalyzeCancelledStillEmptiesTheWorld)
{
    Window t;
    t.w.WorldData->Loaded = true;
    t.p.Button5Click();
    EXPECT_FALSE(t.w.WorldData->Loaded);
    EXPECT_TRUE(t.Memo3().empty());
}

TEST(BinPages, AnalyzeOtherFiles)
{
    Window t;
    t.Analyze(t.Write("a.binexpanded", ExpandedBin(EveryKindBlocks())));
    ASSERT_EQ(t.p.ListModel->rowCount(), 14);
    t.p.Memo3->clear();

    // Missing terminator: the load's own lines (texture packs, then the terminator) come first.
    auto blocks = EveryKindBlocks();
    blocks.pop_back();
    t.Analyze(t.Write("b.binexpanded", ExpandedBin(blocks)));
    EXPECT_EQ(t.Memo3(),
        (std::vector<std::string>{"Loading textures...", "1 textures loaded.", "! No terminator!",
                                  "File type : .wow - Level One", "13 blocks.", "Done."}));
    t.p.Memo3->clear();

    // Not a bin file: the list keeps its lines, the container is empty.
    t.Analyze(t.Write("junk.dat", Bytes(40, 0x33)));
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"I can't do anything with this file!"}));
    EXPECT_EQ(t.p.ListModel->rowCount(), 13);
    EXPECT_EQ(t.w.BinFile->Count, 0);
    t.p.Memo3->clear();

    // A raw image that is no bin file is converted.
    t.Analyze(t.Write("Ps2_Sky.raw", Bytes(256 * 32 * 4, 0x10)));
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"Image file converted."}));
    EXPECT_EQ(std::filesystem::file_size(t.dir.file("Ps2_Sky.tga")), 18u + 256 * 32 * 4);
    t.p.Memo3->clear();
    // One named as its own TGA file is left as it is.
    const Bytes sky(256 * 32 * 4, 0x20);
    t.Analyze(t.Write("ps2_sky.tga", sky));
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"! " + t.dir.file("ps2_sky.tga") +
                                                   ": the output would replace its own source file, not written."}));
    EXPECT_EQ(ReadFileBytes(t.dir.file("ps2_sky.tga")), sky);
    t.p.Memo3->clear();

    // A compressed file whose expansion fails says where it stopped before it is refused.
    const FailingFiles failing(ExpandedBin(EveryKindBlocks()));
    t.Analyze(t.Write("damaged.bin", failing.damaged));
    t.Analyze(t.Write("cut.bin", failing.cut));
    t.Analyze(t.Write("first.bin", failing.damagedFirst));
    // Also after a first chunk that does not look compressed (100 bytes stored as one literal run, U = P).
    Bytes stored;
    PutU32(stored, 104);
    PutU32(stored, 104);
    stored.push_back(17 + 100);
    stored.insert(stored.end(), 100, 0x77);
    stored.insert(stored.end(), {0x11, 0, 0});
    stored.insert(stored.end(), failing.damaged.begin() + static_cast<long>(failing.second), failing.damaged.end());
    t.Analyze(t.Write("stored.bin", stored));
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"! " + failing.Stopped("its data do not expand cleanly"),
                             "I can't do anything with this file!", "! " + failing.Stopped("the file ends inside it"),
                             "I can't do anything with this file!",
                             "! Expansion stopped at chunk 0 (offset 0 in the compressed file): its data do not "
                             "expand cleanly. 0 bytes written.",
                             "I can't do anything with this file!",
                             "! Expansion stopped at chunk 1 (offset 112 in the compressed file): its data do not "
                             "expand cleanly. 100 bytes written.",
                             "I can't do anything with this file!"}));
    EXPECT_EQ(t.w.BinFile->Count, 0);

    // Commands on lines the empty container lacks find no block, and say nothing.
    t.Select({0, 2});
    t.p.Memo3->clear();
    t.p.Extract1Click();
    EXPECT_TRUE(t.Memo3().empty());
    const auto before = std::distance(std::filesystem::directory_iterator(t.dir.path()), {});
    t.p.Extractdata1Click();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(t.dir.path()), {}), before);
}

TEST(BinPages, CommandsWaitWhileALoadRuns)
{
    Window t;
    std::vector<BinBlockSpec> blocks;
    for (uint32_t i = 0; i < 2000; ++i)
        blocks.push_back({i + 1, GeometryData(16)});
    blocks.push_back({TerminatorKey, TerminatorData()});
    const std::string path = t.Write("big.binexpanded", ExpandedBin(blocks));
    bool sawDisabled = false, ran = false;
    int dialogsDuring = -1;
    t.w.show();
    QTimer::singleShot(0, [&] {
        ran = true;
        sawDisabled = !t.p.Button5->isEnabled() && !t.p.ListBox1->isEnabled() && !t.p.Button3->isEnabled() &&
                      !t.p.Extract1->isEnabled();
        // A second Analyze and a close asked during the load do nothing now.
        const size_t asked = t.dialogs.fileDialogs.size();
        t.p.Button5Click();
        t.p.Button3Click();
        dialogsDuring = static_cast<int>(t.dialogs.fileDialogs.size() - asked);
        t.w.close();
        EXPECT_TRUE(t.w.isVisible());
    });
    t.Analyze(path);
    ASSERT_TRUE(ran);
    EXPECT_TRUE(sawDisabled);
    EXPECT_EQ(dialogsDuring, 0);
    EXPECT_EQ(t.w.BinFile->Count, 2001);
    // The close asked for during the load happens once it has returned.
    EXPECT_FALSE(t.w.isVisible());
    EXPECT_TRUE(t.p.Button5->isEnabled());
}

TEST(BinPages, LoadErrorReenablesTheCommands)
{
    Window t;
    t.dialogs.openAnswers.push_back(t.dir.file("missing.bin"));
    EXPECT_THROW(t.p.Button5Click(), EStreamError);
    EXPECT_TRUE(t.p.Button5->isEnabled());
    EXPECT_FALSE(t.p.Loading());
}

TEST(BinPages, Find)
{
    Window t;
    std::vector<BinBlockSpec> blocks{{0x11111111, GeometryData()}, {0xABC00001, GeometryData()},
        {0xABC00002, GeometryData()}, {TerminatorKey, TerminatorData()}};
    t.Analyze(t.Write("f.binexpanded", ExpandedBin(blocks)));
    t.p.Memo3->clear();
    t.Select({3});

    t.dialogs.inputAnswers.push_back(std::string("abc"));
    t.p.Find2Click();
    EXPECT_EQ(t.p.SelectedLines(), (std::vector<int>{1, 3}));
    EXPECT_EQ(t.dialogs.inputPrompts.back(), "What do you want to search for?");

    t.dialogs.inputAnswers.push_back(std::string("*"));
    t.p.Find2Click();
    EXPECT_EQ(t.p.SelectedLines(), (std::vector<int>{0, 1, 3}));

    t.dialogs.inputAnswers.push_back(std::string("xyz"));
    t.p.Find2Click();
    t.dialogs.inputAnswers.push_back(std::nullopt); // cancelled: empty answer
    t.p.Find2Click();
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"Found.", "Found.", "Not found.", "Not found."}));
}

TEST(BinPages, FindOnEmptyOrSingleLineList)
{
    Window t;
    t.p.Find2Click();
    EXPECT_TRUE(t.dialogs.inputPrompts.empty());
    t.Analyze(t.Write("one.binexpanded", ExpandedBin({{TerminatorKey, TerminatorData()}})));
    t.p.Memo3->clear();
    t.dialogs.inputAnswers.push_back(std::string("0ff7"));
    t.p.Find2Click();
    t.p.ListBox1->clearSelection();
    t.dialogs.inputAnswers.push_back(std::string("*"));
    t.p.Find2Click();
    EXPECT_EQ(t.p.SelectedLines(), (std::vector<int>{0}));
    t.dialogs.inputAnswers.push_back(std::string("0ff8"));
    t.p.Find2Click();
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"Found.", "Found.", "Not found."}));
}

TEST(BinPages, SaveList)
{
    Window t;
    t.Analyze(t.Write("level.binexpanded", ExpandedBin(EveryKindBlocks())));
    t.p.List1Click(); // cancelled: saved to the default name
    const Bytes saved = ReadFileBytes(t.dir.file("level.txt"));
    std::string expect;
    for (int i = 0; i < 14; ++i)
        expect += t.Line(i) + "\r\n";
    EXPECT_EQ(std::string(saved.begin(), saved.end()), expect);

    // Files and links named like a temporary file are the user's: neither written through nor removed. An
    // existing file of the chosen name is replaced, and a link of that name itself, never what it names.
    WriteFileBytes(t.dir.file("victim"), Bytes{1, 2, 3});
    std::filesystem::create_symlink(t.dir.file("victim"), t.dir.file("other.txt.part"));
    WriteFileBytes(t.dir.file(".other.txt.part"), Bytes{4});
    std::filesystem::create_symlink(t.dir.file("victim"), t.dir.file("other.txt"));
    t.dialogs.inputAnswers.push_back(t.dir.file("other.txt"));
    t.p.List1Click();
    EXPECT_EQ(ReadFileBytes(t.dir.file("other.txt")), saved);
    EXPECT_FALSE(std::filesystem::is_symlink(t.dir.file("other.txt")));
    EXPECT_EQ(ReadFileBytes(t.dir.file("victim")), (Bytes{1, 2, 3}));
    EXPECT_TRUE(std::filesystem::is_symlink(t.dir.file("other.txt.part")));
    EXPECT_EQ(ReadFileBytes(t.dir.file(".other.txt.part")), Bytes{4});
    const std::vector<std::string> names = {".other.txt.part", "level.binexpanded", "level.txt", "other.txt",
                                            "other.txt.part", "victim"};
    EXPECT_EQ(Names(t.dir.path()), names);

    t.dialogs.inputAnswers.push_back(std::string());
    EXPECT_THROW(t.p.List1Click(), EStreamError);

    // A folder of that name cannot be replaced: the error goes on, the folder stays and no temporary file is left.
    std::filesystem::create_directory(t.dir.file("folder.txt"));
    t.dialogs.inputAnswers.push_back(t.dir.file("folder.txt"));
    EXPECT_ANY_THROW(t.p.List1Click());
    EXPECT_TRUE(std::filesystem::is_directory(t.dir.file("folder.txt")));
    std::filesystem::remove(t.dir.file("folder.txt"));
    EXPECT_EQ(Names(t.dir.path()), names);

    // Never over the bin file the list was made from.
    const Bytes bin = ReadFileBytes(t.dir.file("level.binexpanded"));
    t.dialogs.inputAnswers.push_back(t.dir.file("./level.binexpanded"));
    t.p.List1Click();
    EXPECT_EQ(ReadFileBytes(t.dir.file("level.binexpanded")), bin);
    EXPECT_EQ(t.Memo3().back(),
              "! " + t.dir.file("./level.binexpanded") + ": the output would replace its own source file, not written.");
}

TEST(BinPages, ExtractAndExtractData)
{
    Window t;
    t.Analyze(t.Write("level.binexpanded", ExpandedBin(EveryKindBlocks())));
    t.p.Memo3->clear();
    t.Select({5, 1, 3});
    t.p.Extract1Click();
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"Extracted " + t.Line(1), "Extracted " + t.Line(3),
                             "Extracted " + t.Line(5)}));
    t.Select({1, 4});
    t.p.Extractdata1Click();
    const auto& b1 = t.w.BinFile->Blocks[1];
    // View/Extract loaded block 1 and named it after the bin file: its dump takes that name.
    EXPECT_EQ(b1.Name, t.dir.file("level.binexpanded_00001001"));
    EXPECT_EQ(ReadFileBytes(t.dir.file("level.binexpanded_00001001")).size(), 12u + b1.Size);
    EXPECT_EQ(ReadFileBytes(t.dir.file("level_00001004.extracted")).size(), 12u + t.w.BinFile->Blocks[4].Size);
}

TEST(BinPages, ButtonsLogTheirLines)
{
    Window t;
    t.Analyze(t.Write("level.binexpanded", ExpandedBin({{TerminatorKey, TerminatorData()}})));
    t.p.Memo3->clear();
    t.p.Button19Click();
    t.p.Button20Click();
    EXPECT_EQ(t.Memo3(), (std::vector<std::string>{"All textures extracted.", "All static objects extracted."}));
}

TEST(BinPages, OpenExpandsACompressedFile)
{
    Window t;
    const Bytes expanded = ExpandedBin(EveryKindBlocks());
    const std::string in = t.Write("level.bin", CompressBin(expanded, 4096));
    t.dialogs.openAnswers.push_back(in);
    t.dialogs.saveAnswers.push_back(t.dir.file("out.binexpanded"));
    t.p.Button3Click();
    ASSERT_EQ(t.dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(t.dialogs.fileDialogs[1].fileName, t.dir.file("level.binexpanded"));
    EXPECT_EQ(t.dialogs.fileDialogs[1].filter, "Expanded data|*.binexpanded");
    EXPECT_EQ(t.dialogs.fileDialogs[1].defaultExt, "binexpanded");
    EXPECT_EQ(ReadFileBytes(t.dir.file("out.binexpanded")), expanded);
    const IntactFiles intact;
    for (const Bytes* f : {&intact.padded, &intact.unpackedEnd}) {
        t.dialogs.openAnswers.push_back(t.Write("intact.bin", *f));
        t.dialogs.saveAnswers.push_back(t.dir.file("intact.binexpanded"));
        t.p.Button3Click();
        EXPECT_EQ(ReadFileBytes(t.dir.file("intact.binexpanded")), intact.expanded);
    }
    EXPECT_TRUE(t.dialogs.messages.empty());

    // Save cancelled: nothing written.
    t.dialogs.openAnswers.push_back(in);
    t.p.Button3Click();
    EXPECT_FALSE(std::filesystem::exists(t.dir.file("level.binexpanded")));

    // A damaged chunk, and a file cut short: what was expanded before is kept, and a warning says where the
    // expansion stopped.
    const FailingFiles failing(expanded);
    for (const Bytes* f : {&failing.damaged, &failing.cut}) {
        t.dialogs.openAnswers.push_back(t.Write("failing.bin", *f));
        t.dialogs.saveAnswers.push_back(t.dir.file("failing.binexpanded"));
        t.p.Button3Click();
        EXPECT_EQ(ReadFileBytes(t.dir.file("failing.binexpanded")), Bytes(expanded.begin(), expanded.begin() + 512));
    }
    EXPECT_EQ(t.dialogs.warnings, (std::vector<std::string>{failing.Stopped("its data do not expand cleanly"),
                                      failing.Stopped("the file ends inside it")}));
    EXPECT_EQ(t.dialogs.messages, t.dialogs.warnings);
    EXPECT_TRUE(t.Memo3().empty());

    // The temporary file is one no user file can be: a damaged input named like it ("level.part" saved as
    // "level") is kept, and so is an unrelated file of that name; the chosen file holds what was expanded.
    for (const char* name : {"failing.part", ".failing.part"}) {
        const std::string part = t.Write(name, failing.damaged);
        WriteFileBytes(t.dir.file("failing.part"), failing.damaged);
        t.dialogs.openAnswers.push_back(part);
        t.dialogs.saveAnswers.push_back(t.dir.file("failing"));
        t.p.Button3Click();
        EXPECT_EQ(ReadFileBytes(t.dir.file(name)), failing.damaged) << name;
        EXPECT_EQ(ReadFileBytes(t.dir.file("failing.part")), failing.damaged) << name;
        EXPECT_EQ(ReadFileBytes(t.dir.file("failing")), Bytes(expanded.begin(), expanded.begin() + 512)) << name;
        EXPECT_EQ(t.dialogs.warnings.back(), failing.Stopped("its data do not expand cleanly"));
    }

    // The input itself, by its name, another spelling or a hard link, is refused with a warning: nothing is
    // written, and the input stays whole after its damaged chunk.
    std::filesystem::create_directory(t.dir.file("sub"));
    t.Write("failing.bin", failing.damaged);
    std::filesystem::create_hard_link(t.dir.file("failing.bin"), t.dir.file("sub/linked.bin"));
    const std::vector<std::string> before = Names(t.dir.path());
    for (const std::string& answer : {t.dir.file("failing.bin"), t.dir.file("./failing.bin"),
                                      t.dir.file("sub/../failing.bin"), t.dir.file("sub/linked.bin")}) {
        t.dialogs.openAnswers.push_back(t.dir.file("failing.bin"));
        t.dialogs.saveAnswers.push_back(answer);
        t.p.Button3Click();
        EXPECT_EQ(ReadFileBytes(t.dir.file("failing.bin")), failing.damaged) << answer;
        EXPECT_EQ(t.dialogs.warnings.back(),
                  answer + ": the output would replace its own source file, not written.");
    }
    EXPECT_EQ(Names(t.dir.path()), before);
    EXPECT_TRUE(t.Memo3().empty());

    // Expanded under the name of a folder: the error goes on and no temporary file is left.
    std::filesystem::create_directory(t.dir.file("folder.binexpanded"));
    t.dialogs.openAnswers.push_back(in);
    t.dialogs.saveAnswers.push_back(t.dir.file("folder.binexpanded"));
    EXPECT_ANY_THROW(t.p.Button3Click());
    EXPECT_TRUE(std::filesystem::is_directory(t.dir.file("folder.binexpanded")));
    std::vector<std::string> names = before;
    names.push_back("folder.binexpanded");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(Names(t.dir.path()), names);
}

TEST(BinPages, OpenRejectsExpandedFilesAndConvertsRawImages)
{
    Window t;
    t.dialogs.openAnswers.push_back(t.Write("level.binexpanded", ExpandedBin(EveryKindBlocks())));
    t.p.Button3Click();
    ASSERT_EQ(t.dialogs.messages.size(), 1u);
    EXPECT_EQ(t.dialogs.messages[0], "Not a compressed engine bin file. Not supported yet.");
    EXPECT_EQ(t.dialogs.fileDialogs.size(), 1u);

    Bytes sky(100, 0);
    sky[0] = 1;
    sky[1] = 2;
    sky[2] = 3;
    sky[3] = 4;
    sky[7] = 0xFF; // first u32 below the second: no chunk header
    t.dialogs.openAnswers.push_back(t.Write("PS2_SKY.RAW", sky));
    t.p.Button3Click();
    const Bytes tga = ReadFileBytes(t.dir.file("PS2_SKY.tga"));
    ASSERT_EQ(tga.size(), 18u + 256 * 32 * 4);
    EXPECT_EQ(tga[12] | (tga[13] << 8), 256);
    EXPECT_EQ(tga[14] | (tga[15] << 8), 32);
    EXPECT_EQ(tga[16], 32);
    // Red and blue swapped, first row first.
    EXPECT_EQ(tga[18], 3);
    EXPECT_EQ(tga[20], 1);

    t.dialogs.openAnswers.push_back(t.Write("defcon_map", Bytes(16, 0)));
    t.p.Button3Click();
    EXPECT_EQ(std::filesystem::file_size(t.dir.file("defcon_map.tga")), 18u + 512 * 128 * 4);
    EXPECT_EQ(t.dialogs.messages.size(), 1u);

    // A raw image is never converted onto itself, also through a link that names its TGA file.
    t.dialogs.openAnswers.push_back(t.Write("ps2_sky.tga", sky));
    t.p.Button3Click();
    std::filesystem::create_symlink("ps2_sky.tga", t.dir.file("ps2_link.tga"));
    t.dialogs.openAnswers.push_back(t.dir.file("ps2_link.raw"));
    std::filesystem::create_hard_link(t.dir.file("ps2_sky.tga"), t.dir.file("ps2_link.raw"));
    t.p.Button3Click();
    EXPECT_EQ(ReadFileBytes(t.dir.file("ps2_sky.tga")), sky);
    const std::string why = ": the output would replace its own source file, not written.";
    EXPECT_EQ(t.dialogs.warnings, (std::vector<std::string>{"Not a compressed engine bin file. Not supported yet.",
                                      t.dir.file("ps2_sky.tga") + why, t.dir.file("ps2_link.tga") + why}));
    EXPECT_TRUE(t.Memo3().empty());

    // A raw image name on data that looks compressed is expanded instead.
    Bytes looks;
    PutU32(looks, 50);
    PutU32(looks, 4);
    looks.resize(20, 0);
    t.dialogs.openAnswers.push_back(t.Write("ps2_fake.raw", looks));
    t.p.Button3Click();
    EXPECT_EQ(t.dialogs.fileDialogs.back().fileName, t.dir.file("ps2_fake.binexpanded"));
    EXPECT_FALSE(std::filesystem::exists(t.dir.file("ps2_fake.tga")));
}
