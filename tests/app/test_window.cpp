#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QFontInfo>
#include <QCoreApplication>
#include <QScreen>
#include <QScrollBar>
#include <QEvent>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
// Mouse events through the window system, as the X server delivers them (a right press brings its context menu).
#define QTEST_QPA_MOUSE_HANDLING
#include <QTest>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <thread>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "app/LogBox.h"
#include "app/QtDialogs.h"
#include "support/Guards.h"
#include "support/TempDir.h"
#include "support/TestApp.h"
#include "XdgHome.h"
#include "app/OptionsPage.h"
#include "archives/ExplorerPage.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "support/ArchiveWriters.h"
#include "support/BinWriter.h"
#include "app/Tmox.h"
#include "platform/Settings.h"
#include "platform/Stream.h"

namespace fs = std::filesystem;

namespace {

// The main window shown, with its own settings store and dialogs answered by the test.
struct ShownWindow {
    XdgHome home;
    ScriptedDialogs dialogs;
    TTarvesh w{(App(), dialogs)};
    ShownWindow() { w.show(); }
};

// Receives a custom event and raises what a failing command raises.
class Failing : public QObject {
public:
    int events = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        ++events;
        throw EStreamError("Cannot open file missing.bf: No such file or directory");
    }
};

} // namespace

TEST(MainWindow, FivePagesVersionCaptionAndFixedClientArea)
{
    XdgHome home;
    App();
    ScriptedDialogs dialogs;
    TTarvesh w(dialogs);
    w.PageControl1->setCurrentIndex(3);
    w.FormCreate({});
    ASSERT_EQ(w.PageControl1->count(), 5);
    const char* captions[] = {"Resource file explorer", "Bin unpacker", "Bin analyzer", "Options", "Display"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.PageControl1->tabText(i), captions[i]);
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_EQ(w.PageControl1->widget(1), w.Expander);
    EXPECT_TRUE(w.windowTitle().startsWith(QString("Tarvesh Mox v2.5beta build 170606-2331 ")))
        << w.windowTitle().toStdString();
    EXPECT_EQ(w.windowTitle(), QString("Tarvesh Mox ") + kVersionText + "- game data explorer");
    EXPECT_EQ(w.size(), QSize(592, 398));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.font().family(), "Arial");
    EXPECT_EQ(w.font().pointSize(), 9);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST(MainWindow, DecimalSeparatorIsPointWhateverTheLocale)
{
    XdgHome home;
    App();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    ScriptedDialogs dialogs;
    TTarvesh w(dialogs);
    w.FormCreate({});
    EXPECT_EQ(QLocale().decimalPoint(), ".");
    EXPECT_EQ(QString::number(1.5), "1.5");
    EXPECT_EQ(QLocale().toString(1234.5, 'f', 1), "1234.5");
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", 0.25);
    EXPECT_STREQ(buf, "0.25") << (german ? "under de_DE" : "no German locale installed");
}

namespace {

// An archive of two entries, one in a sub-folder, and a window started with a command line.
struct CommandLineRun {
    XdgHome home;
    TempDir dir;
    fs::path cwd = fs::current_path();
    std::string archive = dir.file("pack.bf");
    ScriptedDialogs dialogs;
    TTarvesh* w = nullptr;

    CommandLineRun()
    {
        App();
        WriteFileBytes(archive, MakeBigArchive({{"a.bin", {1, 2, 3}, 1}, {"sub\\b.bin", {4}, 2}}));
        WriteFileBytes(dir.file("notes.bf"), {'n', 'o', 't', 'e', 's', 0, 0, 0});
    }
    ~CommandLineRun()
    {
        delete w;
        fs::current_path(cwd); // extraction moves into the archive's folder
    }
    std::vector<std::string> Start(const QStringList& args)
    {
        w = new TTarvesh(dialogs);
        w->FormCreate(args);
        std::vector<std::string> lines;
        for (const QString& l : w->Explorer->Memo1->toPlainText().split('\n', Qt::SkipEmptyParts))
            lines.push_back(l.toStdString());
        return lines;
    }
    bool Extracted() const { return fs::exists(dir.path() / "a.bin") && fs::exists(dir.path() / "sub" / "b.bin"); }
};

} // namespace

TEST(CommandLine, FileAloneIsOpenedAndNothingExtracted)
{
    CommandLineRun run;
    EXPECT_EQ(run.Start({QString::fromStdString(run.archive)}),
              std::vector<std::string>{"2 files in a BF BIG archive file."});
    EXPECT_EQ(run.w->Explorer->FileList->count(), 2);
    EXPECT_EQ(run.w->PageControl1->currentIndex(), 0);
    EXPECT_FALSE(fs::exists(run.dir.path() / "a.bin"));
}

TEST(CommandLine, SecondArgumentXInEitherCaseExtractsEverything)
{
    for (const char* x : {"x", "X"}) {
        CommandLineRun run;
        EXPECT_EQ(run.Start({QString::fromStdString(run.archive), x}),
                  (std::vector<std::string>{"2 files in a BF BIG archive file.", "2 files extracted."}))
            << x;
        EXPECT_TRUE(run.Extracted()) << x;
        EXPECT_EQ(ReadFileBytes((run.dir.path() / "a.bin").string()), (std::vector<uint8_t>{1, 2, 3}));
    }
}

TEST(CommandLine, ThreeArgumentsOpenWithoutExtracting)
{
    CommandLineRun run;
    EXPECT_EQ(run.Start({QString::fromStdString(run.archive), "x", "more"}),
              std::vector<std::string>{"2 files in a BF BIG archive file."});
    EXPECT_FALSE(run.Extracted());
}

TEST(CommandLine, MissingFileIsIgnoredWithItsX)
{
    CommandLineRun run;
    EXPECT_TRUE(run.Start({QString::fromStdString(run.dir.file("missing.bf")), "x"}).empty());
    EXPECT_EQ(run.w->Explorer->FileList->count(), 0);
    EXPECT_TRUE(run.dialogs.messages.empty());
    EXPECT_TRUE(run.dialogs.errors.empty());
}

TEST(CommandLine, FileThatIsNoArchiveWarnsAndExtractsNothing)
{
    CommandLineRun run;
    EXPECT_EQ(run.Start({QString::fromStdString(run.dir.file("notes.bf")), "x"}),
              std::vector<std::string>{"0 files extracted."});
    EXPECT_EQ(run.dialogs.messages, std::vector<std::string>{"Not a valid/supported file!"});
}

// A file dialog starts in the folder of the last file chosen through any of them, the save dialog in the folder of
// the name it proposes; a cancelled dialog changes nothing.
TEST(FileDialogs, StartInTheFolderOfTheLastFileChosen)
{
    CommandLineRun run;
    fs::create_directories(run.dir.path() / "maps");
    fs::create_directories(run.dir.path() / "out");
    const std::string level = run.dir.file("maps/level.bin");
    WriteFileBytes(level, CompressBin(ExpandedBin(EveryKindBlocks())));
    run.Start({});
    ScriptedDialogs& d = run.dialogs;
    d.openAnswers = {run.archive, std::nullopt, level};
    d.saveAnswers = {run.dir.file("out/level.binexpanded")};
    run.w->Explorer->Button1Click(); // archive chosen
    run.w->BinPages->Button5Click(); // cancelled
    run.w->BinPages->Button3Click(); // level chosen, then saved into out
    run.w->Explorer->Button1Click(); // cancelled
    ASSERT_EQ(d.fileDialogs.size(), 5u);
    const fs::path& top = run.dir.path();
    EXPECT_EQ(d.dialogFolders, (std::vector<std::string>{run.cwd.string(), top.string(), top.string(), (top / "maps").string(),
                                                          (top / "out").string()}));
    EXPECT_EQ(d.fileDialogs[3].fileName, (top / "maps" / "level.binexpanded").string());
    d.SaveFile({"Expanded data|*.binexpanded", "binexpanded", (top / "maps" / "b.binexpanded").string(), ""});
    d.SaveFile({"Expanded data|*.binexpanded", "binexpanded", "b.binexpanded", ""});
    EXPECT_EQ(d.dialogFolders[5], (top / "maps").string());
    EXPECT_EQ(d.dialogFolders[6], (top / "out").string());
}

TEST(ErrorBox, ErrorInACommandIsShownAndTheProgramGoesOn)
{
    XdgHome home;
    auto& app = App();
    ScriptedDialogs dialogs;
    app.SetDialogs(&dialogs);
    TTarvesh w(dialogs);
    w.FormCreate({});
    w.show();

    // A posted event whose handler raises.
    Failing target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot open file missing.bf: No such file or directory");

    // A button command that raises, clicked with the mouse; it works again afterwards.
    auto* button = new QPushButton("Fail", w.TabSheet1);
    button->setGeometry(0, 0, 80, 24);
    button->show();
    int runs = 0;
    QObject::connect(button, &QPushButton::clicked, [&runs] {
        ++runs;
        throw std::runtime_error("command failed");
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(runs, 2);
    ASSERT_EQ(dialogs.errors.size(), 3u);
    EXPECT_EQ(dialogs.errors[2], "command failed");
    EXPECT_TRUE(w.isVisible());
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(target.events, 2);
    app.SetDialogs(nullptr);
}

TEST(ErrorBox, ErrorDuringStartUpSkipsTheRestAndTheWindowOpens)
{
    XdgHome home;
    {
        TRegistry reg;
        reg.OpenKey(std::string("\\") + kOptionsKey, true);
        reg.WriteInteger("LoadTextures", 1);
        reg.WriteBinaryData("OggQuality", {0x2c, 1, 0, 0});
        reg.WriteInteger("ClearPrevious", 1);
    }
    auto& app = App();
    ScriptedDialogs dialogs;
    app.SetDialogs(&dialogs);
    TTarvesh w(dialogs);
    EXPECT_FALSE(RunCommand([&] { w.FormCreate({}); }));
    w.show();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Invalid data type for 'OggQuality'");
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.OptionsPage->CheckBox4->isChecked());
    EXPECT_FALSE(w.OptionsPage->CheckBox6->isChecked());
    EXPECT_EQ(w.OptionsPage->ScrollBar1->value(), 100);
    app.SetDialogs(nullptr);
}

// The real program under the test's X display: its window is found by its caption, and a polite termination
// closes it the ordinary way, storing the options.
TEST(Program, StartsWithItsCaptionAndStoresOptionsWhenClosed)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    App();
    XdgHome home;
    {
        TRegistry reg;
        reg.OpenKey(std::string("\\") + kOptionsKey, true);
        reg.WriteInteger("OggQuality", 321);
        reg.WriteBool("AssignFiles", true);
    }
    QProcess program;
    program.setProgram(TARVESH_EXE);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000));

    QString found;
    for (int i = 0; i < 100 && found.isEmpty(); ++i) {
        QProcess search;
        search.start("xdotool", {"search", "--all", "--pid", QString::number(program.processId()), "--name",
                                  "^Tarvesh Mox v2\\.5beta build 170606-2331 "});
        search.waitForFinished(5000);
        const QString id = QString::fromLocal8Bit(search.readAllStandardOutput()).trimmed();
        if (!id.isEmpty()) {
            QProcess name;
            name.start("xdotool", {"getwindowname", id.split('\n').first()});
            name.waitForFinished(5000);
            found = QString::fromLocal8Bit(name.readAllStandardOutput()).trimmed();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    EXPECT_EQ(found, QString("Tarvesh Mox ") + kVersionText + "- game data explorer");

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kOptionsKey, false));
    EXPECT_EQ(reg.ReadInteger("OggQuality"), 321);
    EXPECT_EQ(reg.ReadInteger("Legacy3DSTextures"), 0);
    // The stored association was written again at start, naming the program's real path.
    TRegistry classes(TRootKey::ClassesRoot);
    ASSERT_TRUE(classes.OpenKey("\\GameDataFile\\shell\\Extract All\\command", false));
    EXPECT_EQ(classes.ReadString(""), "\"" + fs::canonical(TARVESH_EXE).string() + "\" \"%1\" x");
    EXPECT_TRUE(fs::exists(home.Data() / "applications" / "tarveshmox.desktop"));
}

// Under a file-size limit an extraction that writes past it is an ordinary error: the program goes on (its error
// box is waiting) and the unfinished file is removed.
TEST(Program, WritePastTheFileSizeLimitIsAnErrorNotTheEnd)
{
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no X display";
    XdgHome home;
    TempDir dir;
    const auto archive = dir.file("big.bf");
    WriteFileBytes(archive, MakeBigArchive({{"a.bin", PatternBytes(10, 1)}, {"b.bin", PatternBytes(4 << 20, 2)}}));
    QProcess program;
    program.setProgram(TARVESH_EXE);
    program.setArguments({QString::fromStdString(archive), "x"});
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setChildProcessModifier([] {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 1 << 20;
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000));
    for (int i = 0; i < 200 && !fs::exists(dir.path() / "a.bin"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(dir.path() / "a.bin"));
    if (program.waitForFinished(1000)) {
        ADD_FAILURE() << "the program ended by itself";
    } else {
        program.terminate();
        ASSERT_TRUE(program.waitForFinished(10000));
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "b.bin"));
}

namespace {
// Records what the analyzer's log shows while each box is open.
class LogWatchingDialogs : public ScriptedDialogs {
public:
    QPlainTextEdit* log = nullptr;
    std::vector<QString> logAtBox;
    void MessageBox(const std::string& text) override
    {
        logAtBox.push_back(log ? log->toPlainText() : QString());
        ScriptedDialogs::MessageBox(text);
    }
};
} // namespace

TEST(MainWindow, LogBoxesKeepLeadingEmptyLinesAndTheirOrderInsideACommand)
{
    XdgHome home;
    App();
    LogWatchingDialogs dialogs;
    TTarvesh w(dialogs);
    auto* memo2 = w.findChild<QPlainTextEdit*>("Memo2");
    ASSERT_NE(memo2, nullptr);
    Frontend& f = w.frontend();
    // Line by line outside a command, collected inside one: the boxes show the same text.
    for (const bool command : {false, true}) {
        SCOPED_TRACE(command);
        std::optional<TCommandScope> scope;
        if (command)
            scope.emplace(f);
        auto shown = [&] {
            if (scope) {
                scope.reset();
                EXPECT_FALSE(f.InCommand());
            }
            QString text = memo2->toPlainText();
            if (command)
                scope.emplace(f);
            return text;
        };
        f.ClearMemo(MemoId::Memo2);
        f.AppendLine(MemoId::Memo2, "");
        f.AppendLine(MemoId::Memo2, "Block 00000001");
        f.AppendLine(MemoId::Memo2, "");
        f.AppendLine(MemoId::Memo2, "end");
        EXPECT_EQ(shown(), "\nBlock 00000001\n\nend");
        f.ClearMemo(MemoId::Memo2);
        f.AppendLine(MemoId::Memo2, "");
        EXPECT_EQ(shown(), "");
        f.AppendLine(MemoId::Memo2, "");
        EXPECT_EQ(shown(), "\n");
        f.AppendLine(MemoId::Memo2, "dropped");
        f.ClearMemo(MemoId::Memo2);
        f.AppendLines(MemoId::Memo2, {"x", "y"});
        f.AppendLine(MemoId::Memo2, "z");
        EXPECT_EQ(shown(), "x\ny\nz");
    }
    // Inside a command the lines wait, but a box sees every line before it.
    dialogs.log = w.findChild<QPlainTextEdit*>("Memo3");
    {
        const TCommandScope command(f);
        f.AppendLine(MemoId::Memo3, "before");
        EXPECT_EQ(dialogs.log->toPlainText(), "");
        f.ShowMessage("box");
        f.AppendLine(MemoId::Memo3, "after");
    }
    ASSERT_EQ(dialogs.logAtBox.size(), 1u);
    EXPECT_EQ(dialogs.logAtBox[0], "before");
    EXPECT_EQ(dialogs.log->toPlainText(), "before\nafter");
    // So does the window whenever pending messages run (a long load lets them run as it goes), also when none
    // are waiting.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    {
        const TCommandScope command(f);
        f.AppendLine(MemoId::Memo3, "loading");
        f.ProcessMessages();
        EXPECT_EQ(dialogs.log->toPlainText(), "before\nafter\nloading");
    }
}

namespace {
// Records the boxes; with failReport set, showing the report of a command's boxes fails (with its text).
class ThrowingFrontend : public MemoryFrontend {
public:
    bool failReport = false;
    void Message(const std::string& text) override
    {
        if (failReport && text.find("more such message") != std::string::npos)
            throw std::runtime_error(text);
        MemoryFrontend::Message(text);
    }
};
} // namespace

TEST(MainWindow, BoxesOfOneKindAreFiveACommandAndTheRestAreCountedOnce)
{
    XdgHome home;
    App();
    TempDir dir;
    ScriptedDialogs dialogs;
    TTarvesh w(dialogs);
    w.FormCreate({});
    // A bank of 3,000 entries of an unknown storage kind, opened by an event as a click opens it.
    auto bank = [&](const std::string& name, int entries) {
        BankLayout s;
        s.version = 1;
        for (int i = 0; i < entries; ++i) {
            BankRecord r;
            r.storage = 7;
            s.records.push_back(r);
        }
        WriteFileBytes(dir.file(name), MakeSoundBank(s));
        QMetaObject::invokeMethod(
            &w, [&w, path = dir.file(name)] { w.Explorer->OpenResourceFile(path); }, Qt::QueuedConnection);
        QCoreApplication::processEvents();
    };
    bank("flood.sb0", 3000);
    EXPECT_EQ(w.Explorer->FileList->count(), 3000);
    ASSERT_EQ(dialogs.warnings.size(), 5u);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(dialogs.warnings[size_t(k)].substr(0, 22), "[" + std::to_string(k) + "]: Unknown type 7 at");
    ASSERT_EQ(dialogs.messages.size(), 6u);
    EXPECT_EQ(dialogs.messages[5], dialogs.warnings[0] + "\n... and 2,995 more such messages");
    // The next command shows its own boxes.
    bank("two.sb0", 2);
    EXPECT_EQ(dialogs.messages.size(), 8u);
    EXPECT_EQ(dialogs.warnings.size(), 7u);
    EXPECT_EQ(MoreMessagesText(1), "... and 1 more such message");
    EXPECT_EQ(MoreMessagesText(995), "... and 995 more such messages");
    EXPECT_EQ(MoreMessagesText(1234567), "... and 1,234,567 more such messages");

    // Two places of one file are two kinds; an EndCommand outside a command limits no box after it.
    ThrowingFrontend f;
    f.EndCommand();
    for (int i = 0; i < 7; ++i)
        f.ShowMessage("outside");
    EXPECT_EQ(f.messages, std::vector<std::string>(7, "outside"));
    f.messages.clear();
    {
        const TCommandScope command(f);
        for (int i = 0; i < 7; ++i) {
            f.ShowMessage("a");
            f.ShowMessage("b");
        }
        EXPECT_EQ(f.messages.size(), 10u);
        f.failReport = true;
    }
    // The report of the boxes not shown fails here: the error is shown as any other.
    EXPECT_EQ(f.errors, std::vector<std::string>{"a\n... and 2 more such messages\n\nb\n... and 2 more such messages"});
}

TEST(MainWindow, LogBoxesWrapAndFollowTheirNewestLineAlsoOnAHiddenPage)
{
    ShownWindow shown;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.w));
    TTarvesh& w = shown.w;
    w.PageControl1->setCurrentIndex(3); // another page in view while the explorer's log grows
    auto* memo1 = w.findChild<QPlainTextEdit*>("Memo1");
    for (int i = 0; i < 200; ++i)
        w.frontend().AppendLine(MemoId::Memo1, "line " + std::to_string(i));
    w.PageControl1->setCurrentIndex(0);
    QCoreApplication::processEvents();
    EXPECT_GT(memo1->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(memo1->verticalScrollBar()->value(), memo1->verticalScrollBar()->maximum());

    // Each box wraps a long line at its width, words and a long path alike, and never scrolls sideways.
    const std::string longLine = "! Expansion stopped at chunk 377 (offset 1234567 in the compressed file): the "
                                 "packed data ends early. /home/user/game/data/a_long_folder_name_without_blanks/"
                                 "another_long_folder_name/level_with_a_long_name.binexpanded";
    for (const auto& [id, name, page] : {std::tuple{MemoId::Memo1, "Memo1", 0}, {MemoId::Memo2, "Memo2", 1},
                                         {MemoId::Memo3, "Memo3", 2}}) {
        SCOPED_TRACE(name);
        auto* memo = w.findChild<QPlainTextEdit*>(name);
        w.PageControl1->setCurrentIndex(page);
        w.frontend().ClearMemo(id);
        w.frontend().AppendLine(id, longLine);
        w.frontend().AppendLine(id, "Done.");
        QCoreApplication::processEvents();
        EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0);
        const QTextBlock first = memo->document()->firstBlock();
        ASSERT_EQ(first.text().toStdString(), longLine);
        EXPECT_GT(first.layout()->lineCount(), 2);
        for (int i = 0; i < first.layout()->lineCount(); ++i)
            EXPECT_LE(first.layout()->lineAt(i).naturalTextWidth(), memo->viewport()->width());
    }
    EXPECT_TRUE(QFontInfo(w.findChild<QPlainTextEdit*>("Memo2")->font()).fixedPitch());

    // A line as long as any path is kept whole; one far longer (a name from a hostile file) shows its start and
    // its end, so that laying it out costs no more than a path.
    std::string hostile = "Extracted";
    while (hostile.size() < 100000)
        hostile += " word";
    w.frontend().ClearMemo(MemoId::Memo3);
    w.frontend().AppendLine(MemoId::Memo3, "Extracted " + std::string(4095, 'p'));
    w.frontend().AppendLine(MemoId::Memo3, hostile + " end");
    const QStringList lines = w.findChild<QPlainTextEdit*>("Memo3")->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].toStdString(), "Extracted " + std::string(4095, 'p'));
    EXPECT_EQ(lines[1].size(), kShownLineLength);
    EXPECT_TRUE(lines[1].startsWith("Extracted word") && lines[1].endsWith("word end"));
}

TEST(MainWindow, RightClickInAListOpensItsPopupAndKeepsTheSelection)
{
    ShownWindow shown;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown.w));
    TTarvesh& w = shown.w;
    TListLines blocks;
    for (int i = 0; i < 20; ++i) {
        w.Explorer->FileList->addItem("entry_" + QString::number(i));
        blocks.Add("block " + std::to_string(i));
    }
    blocks.Add(std::string(100000, 'n')); // a line far longer than a path shows its start and its end
    w.BinPages->ListModel->SetLines(std::move(blocks));
    EXPECT_EQ(w.BinPages->ListModel->index(20, 0).data().toString().size(), kShownLineLength);
    for (const auto& [page, list, menu] : {std::tuple<int, QAbstractItemView*, QMenu*>{0, w.Explorer->FileList,
                                                                                        w.Explorer->PopupMenu1},
                                           {2, w.BinPages->ListBox1, w.BinPages->PopupMenu2}}) {
        SCOPED_TRACE(list->objectName().toStdString());
        w.PageControl1->setCurrentIndex(page);
        QCoreApplication::processEvents();
        auto rows = [list = list] {
            std::vector<int> out;
            for (const QModelIndex& i : list->selectionModel()->selectedIndexes())
                out.push_back(i.row());
            std::sort(out.begin(), out.end());
            return out;
        };
        for (int row : {1, 3, 5})
            list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
        const QRect line = list->visualRect(list->model()->index(8, 0));
        const QPoint at(line.left() + 10, line.center().y());
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
        QCoreApplication::processEvents();
        EXPECT_EQ(rows(), (std::vector<int>{1, 3, 5}));
        EXPECT_TRUE(menu->isVisible());
        menu->hide();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at); // the left button selects as ever
        EXPECT_EQ(rows(), (std::vector<int>{8}));
    }
}

TEST(MainWindow, MessageBoxesShowTheKindTheirTextIs)
{
    App();
    QWidget owner;
    QtDialogs dialogs(&owner);
    struct Seen {
        QMessageBox::Icon icon;
        QWidget* parent;
        QString caption, text;
        bool fits; // the box, its text and its button lie inside the screen
    };
    std::vector<Seen> seen;
    auto answer = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                const QRect screen = box->screen()->geometry();
                QAbstractButton* ok = box->button(QMessageBox::Ok);
                const auto* label = box->findChild<QLabel*>("qt_msgbox_label"); // its text is not cut off
                const bool fits = screen.contains(box->frameGeometry()) && ok && ok->isVisible() &&
                                  screen.contains(QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size())) && label &&
                                  label->minimumSizeHint().width() <= label->width();
                seen.push_back({box->icon(), box->parentWidget(), box->windowTitle(), box->text(), fits});
                box->accept();
            }
        });
    };
    answer();
    dialogs.Warning("Not a valid/supported file!");
    answer();
    dialogs.MessageBox("Contact the author!");
    answer();
    dialogs.SystemMessageBox("Couldn't load stream. Colormapped TGA files not supported.", "TGA File Error");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].icon, QMessageBox::Warning);
    EXPECT_EQ(seen[0].parent, &owner);
    EXPECT_EQ(seen[1].icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen[2].icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen[2].parent, nullptr);
    EXPECT_EQ(seen[2].caption, "TGA File Error");

    // A long path wraps inside the box; a text of 1 MB shows its start and its end. Both fit on the screen.
    const std::string path = "/" + std::string(4095, 'p');
    answer();
    dialogs.ErrorBox("Cannot create file \"" + path + "\". File name too long");
    answer();
    dialogs.MessageBox("Contact the author! " + std::string(1 << 20, 'n') + " multiple datablocks?");
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[3].icon, QMessageBox::Critical);
    for (const Seen& s : {seen[0], seen[3], seen[4]})
        EXPECT_TRUE(s.fits) << s.text.left(40).toStdString();
    QString shown = seen[4].text;
    shown.remove(QChar(0x200B));
    EXPECT_LE(shown.size(), 1000);
    EXPECT_TRUE(shown.startsWith("Contact the author! nnn"));
    EXPECT_TRUE(shown.endsWith("nnn multiple datablocks?"));
    EXPECT_EQ(seen[0].text, "Not a valid/supported file!");

    // A text of 1,000 characters is shown whole. One word of 1 MB of characters outside the BMP (4 bytes in
    // UTF-8, a surrogate pair in UTF-16) is cut at whole characters on both sides of the "…", and wraps on both
    // sides of it with no break opportunity inside a pair.
    QString words;
    while (words.size() < 995)
        words += "word ";
    words += "word.";
    answer();
    dialogs.Warning(words.toStdString());
    std::string clefs;
    for (int i = 0; i < (1 << 18); ++i)
        clefs += "\xF0\x9D\x84\x9E"; // U+1D11E
    clefs += '.'; // an odd length: both cuts would fall inside a pair
    answer();
    dialogs.Information(clefs);
    ASSERT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen[5].text.size(), 1000);
    EXPECT_EQ(seen[5].text, words);
    EXPECT_EQ(seen[6].icon, QMessageBox::Information);
    EXPECT_TRUE(seen[6].fits);
    EXPECT_TRUE(seen[6].text.isValidUtf16());
    shown = seen[6].text;
    shown.remove(QChar(0x200B));
    EXPECT_LE(shown.size(), 1000);
    EXPECT_TRUE(shown.isValidUtf16());
    const qsizetype mark = shown.indexOf(QChar(0x2026));
    ASSERT_GT(mark, 0);
    const QString whole = QString::fromStdString(clefs);
    EXPECT_EQ(shown.left(mark), whole.left(mark));
    EXPECT_EQ(shown.mid(mark + 1), whole.right(shown.size() - mark - 1));

    // A path that may break at its separators is shown as it is: no zero-width space goes into what is copied.
    const std::string ordinary = "Cannot open file \"/home/player/Games/levels/" + std::string(42, 'l') + ".BIG\".";
    answer();
    dialogs.ErrorBox(ordinary);
    // A word that begins with one plain character before the pairs breaks between pairs, never inside one.
    answer();
    dialogs.MessageBox("a" + clefs.substr(0, 4 * 60));
    ASSERT_EQ(seen.size(), 9u);
    EXPECT_EQ(seen[7].text.toStdString(), ordinary);
    EXPECT_TRUE(seen[7].fits);
    EXPECT_TRUE(seen[8].text.contains(QChar(0x200B)));
    EXPECT_TRUE(seen[8].text.isValidUtf16());
}

TEST(OpenDialog, DefaultExtensionOnlyForANameThatDoesNotExistAsItIs)
{
    App();
    TempDir dir;
    const QString bare = QString::fromStdString(dir.file("levelnoext"));
    const QString level = QString::fromStdString(dir.file("level"));
    std::ofstream(dir.file("levelnoext")) << "x";
    std::ofstream(dir.file("level.BF")) << "x";
    EXPECT_EQ(OpenDialogFileName(bare, "BF"), bare);
    EXPECT_EQ(OpenDialogFileName(level, "BF"), level + ".BF");
    EXPECT_EQ(OpenDialogFileName(level + ".bin", "BF"), level + ".bin");
    EXPECT_EQ(OpenDialogFileName(level, ""), level);

    // Through the dialog itself: a name is typed and accepted; a "File not found" box is answered and recorded.
    QtDialogs dialogs;
    QStringList boxes;
    QPointer<QFileDialog> dlg;
    std::function<void()> closeWhatIsLeft = [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->accept();
            QTimer::singleShot(0, closeWhatIsLeft);
        } else if (dlg && dlg->isVisible()) {
            dlg->reject();
        }
    };
    const HangGuard guard; // a dialog left open fails the test instead of hanging the run
    QStringList startedIn;
    for (const auto& [typed, taken] : {std::pair{bare, bare}, std::pair{level, level + ".BF"}}) {
        SCOPED_TRACE(typed.toStdString());
        QTimer::singleShot(0, [&, typed = typed] {
            dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dlg);
            startedIn << dlg->directory().absolutePath();
            QTimer::singleShot(0, closeWhatIsLeft);
            // Typed into the name box, as a user does.
            dlg->setDirectory(QString::fromStdString(dir.path().string()));
            auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_TRUE(name);
            name->setText(QFileInfo(typed).fileName());
            QMetaObject::invokeMethod(dlg, "accept");
        });
        QFileDialog visited; // a folder visited where nothing was chosen
        visited.setDirectory(QDir::rootPath());
        EXPECT_EQ(dialogs.OpenFile({"Data|*.bf", "BF", "", "Open"}), std::optional(taken.toStdString()));
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
    // The second dialog starts where the first file was chosen, not where a dialog was last.
    ASSERT_EQ(startedIn.size(), 2);
    EXPECT_EQ(startedIn[1], QString::fromStdString(dir.path().string()));
}
