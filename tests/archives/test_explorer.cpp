#include <gtest/gtest.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/LogBox.h"
#include "app/Tmox.h"
#include "archives/ExplorerPage.h"
#include "archives/TBF.h"
#include "platform/Paths.h"
#include "support/ArchiveWriters.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace fs = std::filesystem;

namespace {

struct ExplorerTest : ::testing::Test {
    TempDir dir;
    fs::path savedCwd = fs::current_path();
    ScriptedDialogs dialogs;
    std::unique_ptr<TTarvesh> w;
    TExplorerPage* page = nullptr;

    void SetUp() override
    {
        App();
        w = std::make_unique<TTarvesh>(dialogs);
        w->FormCreate({});
        page = w->Explorer.get();
    }
    void TearDown() override
    {
        w.reset();
        fs::current_path(savedCwd);
    }
    std::string Put(const std::string& name, const Bytes& bytes)
    {
        WriteFileBytes(dir.file(name), bytes);
        return dir.file(name);
    }
    QStringList Lines()
    {
        QStringList out;
        for (int i = 0; i < page->FileList->count(); ++i)
            out << page->FileList->item(i)->text();
        return out;
    }
    QStringList Log() { return page->Memo1->toPlainText().split('\n', Qt::SkipEmptyParts); }
    std::vector<int> Selected()
    {
        std::vector<int> out;
        for (int i = 0; i < page->FileList->count(); ++i)
            if (page->FileList->item(i)->isSelected())
                out.push_back(i);
        return out;
    }
    void Select(std::initializer_list<int> rows)
    {
        for (int r : rows)
            page->FileList->item(r)->setSelected(true);
    }
};

std::vector<ArchiveFile> Files()
{
    return {{"Foo.WAV", Bytes{1, 2}}, {"wave/x.bin", Bytes{3}}, {"other.dat", Bytes{4, 5, 6}}, {"zero", {}}};
}

} // namespace

TEST_F(ExplorerTest, ControlsAtStart)
{
    EXPECT_EQ(page->Button1->text(), "Open ...");
    EXPECT_EQ(page->Button2->text(), "Extract");
    EXPECT_FALSE(page->Button2->isEnabled());
    EXPECT_TRUE(page->Edit1->isReadOnly());
    EXPECT_EQ(page->FileList->selectionMode(), QAbstractItemView::ExtendedSelection);
    QStringList items;
    for (QAction* a : page->PopupMenu1->actions())
        items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, (QStringList{"Select all", "Unselect all", "Invert selection", "-", "Find ..."}));
    EXPECT_EQ(w->findChild<QPlainTextEdit*>("Memo1"), page->Memo1);
}

TEST_F(ExplorerTest, OpenListsEntriesAndFailedOpenKeepsThem)
{
    const auto path = Put("game.bf", MakeBigArchive(Files()));
    dialogs.openAnswers.push_back(path);
    page->Button1->click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].filter,
              "All recognised file types|*.bf;*.fat;*.sb0|FAT files|*.fat|BIG files|*.bf|SB0 files|*.sb0");
    EXPECT_EQ(dialogs.fileDialogs[0].defaultExt, "BF");
    EXPECT_EQ(page->Edit1->text().toStdString(), path);
    EXPECT_TRUE(page->Button2->isEnabled());
    EXPECT_EQ(Lines(), (QStringList{"Foo.WAV", "wave\\x.bin", "other.dat", "zero"}));
    EXPECT_EQ(Log(), (QStringList{"4 files in a BF BIG archive file."}));
    EXPECT_EQ(page->ProgressBar1->maximum(), 4);

    // Cancel: nothing happens.
    page->Button1->click();
    EXPECT_EQ(Lines().size(), 4);
    EXPECT_TRUE(dialogs.messages.empty());

    // An unknown file: a warning, Extract disabled, the page as it was.
    dialogs.openAnswers.push_back(Put("junk.bin", {0xFF, 0xFF, 0xFF, 0xFF}));
    page->Button1->click();
    EXPECT_EQ(dialogs.warnings, (std::vector<std::string>{"Not a valid/supported file!"}));
    EXPECT_EQ(dialogs.messages, dialogs.warnings);
    EXPECT_FALSE(page->Button2->isEnabled());
    EXPECT_EQ(page->Edit1->text().toStdString(), path);
    EXPECT_EQ(Lines().size(), 4);
    EXPECT_EQ(Log().size(), 1);

    // A file that cannot be opened: the error box, and no extraction from a closed stream.
    dialogs.openAnswers.push_back(dir.file("gone.bf"));
    page->Button1->click();
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_FALSE(page->Button2->isEnabled());
}

TEST_F(ExplorerTest, BankLinesShowSizeOffsetAndWarning)
{
    BankLayout s;
    s.version = 2;
    BankRecord pcm;
    pcm.name = "a/pcm.wav";
    pcm.size = 10;
    pcm.offset = 6;
    BankRecord adpcm;
    adpcm.storage = 3;
    adpcm.streamFile = "s.bin";
    adpcm.size = 300;
    adpcm.offset = 77;
    s.records = {pcm, adpcm};
    s.marker = 0;
    const auto bytes = MakeSoundBank(s);
    page->OpenResourceFile(Put("fx.sb0", bytes));
    const int base = int(bytes.size()) + 4;
    EXPECT_EQ(Lines(), (QStringList{QString("a\\pcm.wav [10 bytes @ %1]").arg(6 + base),
                                    "fx1.wav [300 bytes @ 77] DOES NOT EXTRACT CORRECTLY"}));
    EXPECT_EQ(Log().last(), "2 files in a Sound bank version 2 file.");
}

TEST_F(ExplorerTest, EmptyArchiveAndNothingSelected)
{
    page->OpenResourceFile(Put("empty.bf", {1, 0, 0, 0}));
    EXPECT_EQ(Log(), (QStringList{"0 files in a BF data archive file."}));
    EXPECT_EQ(page->FileList->count(), 0);
    EXPECT_EQ(page->ProgressBar1->maximum(), 0);
    page->Button2->click();
    EXPECT_EQ(Log().last(), "0 files extracted.");

    page->OpenResourceFile(Put("four.bf", MakeBigArchive(Files())));
    page->Button2->click();
    EXPECT_EQ(Log().last(), "0 files extracted.");
    EXPECT_EQ(fs::current_path(), savedCwd); // no entry extracted: the current directory stays
}

TEST_F(ExplorerTest, ExtractSelectedWritesOnlyThoseLines)
{
    page->OpenResourceFile(Put("four.bf", MakeBigArchive(Files())));
    Select({1, 3});
    page->Button2->click();
    EXPECT_EQ(Log().last(), "2 files extracted.");
    EXPECT_FALSE(fs::exists(dir.path() / "Foo.WAV"));
    EXPECT_EQ(ReadFileBytes(dir.file("wave/x.bin")), Bytes{3});
    EXPECT_TRUE(fs::exists(dir.path() / "zero"));
    EXPECT_EQ(fs::file_size(dir.path() / "zero"), 0u);
    EXPECT_FALSE(fs::exists(dir.path() / "other.dat"));
    EXPECT_EQ(page->ProgressBar1->value(), 3);
    EXPECT_TRUE(page->Button1->isEnabled());
    EXPECT_TRUE(page->Button2->isEnabled());
    EXPECT_EQ(fs::current_path(), dir.path());
}

TEST_F(ExplorerTest, SelectionCommands)
{
    page->OpenResourceFile(Put("four.bf", MakeBigArchive(Files())));
    page->Selectall1->trigger();
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 3}));
    page->Unselectall1->trigger();
    EXPECT_TRUE(Selected().empty());
    Select({0, 2});
    page->Invertselection1->trigger();
    EXPECT_EQ(Selected(), (std::vector<int>{1, 3}));
    EXPECT_TRUE(page->FileList->updatesEnabled()); // the list shows the change

    // Find adds matches (any letter case) and keeps what was selected.
    page->Unselectall1->trigger();
    Select({2});
    dialogs.inputAnswers.push_back(std::string("wav"));
    page->Find1->trigger();
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(page->FileList->selectionModel()->selection().size(), 1); // held as whole runs, not piece by piece
    EXPECT_EQ(dialogs.messages.back(), "2 items selected.");
    EXPECT_EQ(dialogs.inputPrompts.back(), "What do you want to search for?");

    page->Unselectall1->trigger();
    dialogs.inputAnswers.push_back(std::string(""));
    page->Find1->trigger();
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(dialogs.messages.back(), "0 items selected.");

    dialogs.inputAnswers.push_back(std::nullopt); // cancel gives "*"
    page->Find1->trigger();
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(dialogs.messages.back(), "4 items selected.");

    // A name far longer than any path shows its start and its end, and Find still sees all of it; one as long as
    // a path is shown whole. One match is selected.
    const std::string hostile = std::string(50000, 'a') + "_hit" + std::string(50000, 'z'), path(4095, 'p');
    const FatPair fat = MakeFatArchive({{"a.bin", Bytes{1}}, {hostile, Bytes{2}}, {path, Bytes{3}}});
    Put("long.BIG", fat.big);
    page->OpenResourceFile(Put("long.fat", fat.fat));
    EXPECT_EQ(page->FileList->item(1)->text().size(), kShownLineLength);
    EXPECT_TRUE(page->FileList->item(1)->text().startsWith("aaa") && page->FileList->item(1)->text().endsWith("zzz"));
    EXPECT_EQ(page->FileList->item(2)->text().toStdString(), path);
    dialogs.inputAnswers.push_back(std::string("_HIT"));
    page->Find1->trigger();
    EXPECT_EQ(Selected(), (std::vector<int>{1}));
    EXPECT_EQ(dialogs.messages.back(), "1 items selected.");
}

TEST_F(ExplorerTest, CommandsDuringARunAreRefused)
{
    const auto path = Put("four.bf", MakeBigArchive(Files()));
    page->OpenResourceFile(path);
    const auto other = Put("other.bf", MakeDataArchive({{"other-entry", Bytes{1}}}));
    Select({0});
    bool button1 = true, button2 = true;
    QTimer::singleShot(0, [&] {
        button1 = page->Button1->isEnabled();
        button2 = page->Button2->isEnabled();
        page->OpenResourceFile(other); // refused: the run reads this archive's stream
        page->Button2Click();          // no second run
        page->ExtractAllFiles();
        Select({2}); // the selection is read afresh for each line
    });
    page->Button2->click();
    EXPECT_FALSE(button1);
    EXPECT_FALSE(button2);
    EXPECT_EQ(page->Edit1->text().toStdString(), path);
    EXPECT_EQ(Log(), (QStringList{"4 files in a BF BIG archive file.", "2 files extracted."}));
    EXPECT_TRUE(fs::exists(dir.path() / "Foo.WAV"));
    EXPECT_TRUE(fs::exists(dir.path() / "other.dat"));
    EXPECT_FALSE(fs::exists(dir.path() / "other-entry"));
    EXPECT_TRUE(page->Button1->isEnabled());
    EXPECT_TRUE(page->Button2->isEnabled());
}

TEST_F(ExplorerTest, ClosingTheWindowEndsARun)
{
    page->OpenResourceFile(Put("four.bf", MakeBigArchive(Files())));
    QTimer::singleShot(0, [&] { w->close(); });
    page->ExtractAllFiles();
    EXPECT_EQ(w->BF, nullptr);
    EXPECT_EQ(Log().size(), 1); // no count line: the run did not finish
}

TEST_F(ExplorerTest, StreamErrorEndsTheRunWithErrorBox)
{
    auto bytes = MakeBigArchive({{"a.bin", Bytes(10, 1)}, {"b.bin", Bytes(4000, 2)}, {"c.bin", Bytes(3, 3)}});
    std::swap(bytes[68 + 8], bytes[68 + 16]); // entry 1 points at entry 2's record: its copy runs past the end
    std::swap(bytes[68 + 9], bytes[68 + 17]);
    page->OpenResourceFile(Put("bad.bf", bytes));
    page->Selectall1->trigger();
    page->Button2->click();
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(fs::exists(dir.path() / "a.bin"));
    EXPECT_FALSE(fs::exists(dir.path() / "b.bin"));
    EXPECT_FALSE(fs::exists(dir.path() / "c.bin"));
    EXPECT_EQ(Log().size(), 1);
    EXPECT_TRUE(page->Button1->isEnabled());
    EXPECT_TRUE(page->Button2->isEnabled());
}

TEST_F(ExplorerTest, CommandLineOpensAndExtracts)
{
    const auto path = Put("cmd.bf", MakeBigArchive(Files()));
    ScriptedDialogs d2;
    {
        TTarvesh win(d2);
        win.FormCreate({QString::fromStdString(path), "x"});
        EXPECT_TRUE(fs::exists(dir.path() / "wave" / "x.bin"));
        const auto log = win.Explorer->Memo1->toPlainText().split('\n');
        EXPECT_EQ(log, (QStringList{"4 files in a BF BIG archive file.", "4 files extracted."}));
    }
    fs::remove_all(dir.path() / "wave");
    {
        TTarvesh win(d2);
        win.FormCreate({QString::fromStdString(path), "X", "more"});
        EXPECT_EQ(win.Explorer->FileList->count(), 4);
        EXPECT_FALSE(fs::exists(dir.path() / "wave"));
    }
    {
        TTarvesh win(d2);
        win.FormCreate({QString::fromStdString(Put("junk", {9, 9, 9, 9})), "x"});
        EXPECT_EQ(win.Explorer->Memo1->toPlainText(), "0 files extracted.");
    }
}

TEST_F(ExplorerTest, NamesLongerThanTheFileSystemTakesAreShortenedAndTheRunGoesOn)
{
    // 150 x e-acute is 300 bytes in UTF-8. Names that begin alike shorten to names of their own, which meet
    // neither each other nor the user's file that has the start of them for its name; a second run writes the
    // same files again.
    const std::string e150(150, '\xE9'), a251(251, 'A');
    WriteFileBytes(dir.file(a251 + ".txt"), Bytes{9});
    page->OpenResourceFile(Put("long.bf", MakeDataArchive({{e150 + ".txt", Bytes{1}},
                                                           {e150 + "\\inner.bin", Bytes{2}},
                                                           {"after.bin", Bytes{3}},
                                                           {a251 + "XXXX.txt", Bytes{4}},
                                                           {a251 + "YYYY.txt", Bytes{5}},
                                                           {std::string(300, 'A') + ".txt", Bytes{6}}})));
    const std::string file = FitName(Win1252ToUtf8(e150 + ".txt"), 255), folder = FitName(Win1252ToUtf8(e150), 255);
    const std::string x = FitName(a251 + "XXXX.txt", 255), y = FitName(a251 + "YYYY.txt", 255),
                      z = FitName(std::string(300, 'A') + ".txt", 255);
    const std::string what = ": name too long for the file system, shortened to ";
    for (int run = 0; run < 2; ++run) {
        page->Memo1->clear();
        page->Selectall1->trigger();
        page->Button2->click();
        EXPECT_TRUE(dialogs.errors.empty());
        std::vector<std::string> log;
        for (const QString& line : Log())
            log.push_back(line.toStdString());
        EXPECT_EQ(log, (std::vector<std::string>{"entry 0" + what + file, "entry 1" + what + folder + "\\inner.bin",
                                                 "entry 3" + what + x, "entry 4" + what + y, "entry 5" + what + z,
                                                 "6 files extracted."}));
        EXPECT_EQ(ReadFileBytes((dir.path() / file).string()), Bytes{1});
        EXPECT_EQ(ReadFileBytes((dir.path() / folder / "inner.bin").string()), Bytes{2});
        EXPECT_EQ(ReadFileBytes(dir.file("after.bin")), Bytes{3});
        EXPECT_EQ(ReadFileBytes(dir.file(x)), Bytes{4});
        EXPECT_EQ(ReadFileBytes(dir.file(y)), Bytes{5});
        EXPECT_EQ(ReadFileBytes(dir.file(z)), Bytes{6});
        EXPECT_EQ(ReadFileBytes(dir.file(a251 + ".txt")), Bytes{9});
        size_t files = 0;
        for (const auto& f : fs::recursive_directory_iterator(dir.path()))
            files += f.is_regular_file();
        EXPECT_EQ(files, 8u); // the archive, the user's file and the six entries
    }
}
