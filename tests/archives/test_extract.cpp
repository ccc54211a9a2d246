#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "archives/TBF.h"
#include "platform/Paths.h"
#include "platform/Frontend.h"
#include "support/ArchiveWriters.h"
#include "support/Guards.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct ExtractTest : ::testing::Test {
    TempDir dir;
    fs::path folder;
    fs::path savedCwd = fs::current_path();
    MemoryFrontend fe;
    TBF bf{fe};
    void SetUp() override
    {
        bf.Init();
        folder = dir.path() / "arc";
        fs::create_directories(folder);
    }
    void TearDown() override { fs::current_path(savedCwd); }
    std::string Put(const std::string& name, const Bytes& bytes)
    {
        const auto p = (folder / name).string();
        WriteFileBytes(p, bytes);
        return p;
    }
    void ExtractAll()
    {
        for (int i = 0; i < bf.Count; ++i)
            bf.ExtractEntry(i);
    }
    // Every regular file below the temporary folder, relative to it.
    std::vector<std::string> AllFiles()
    {
        std::vector<std::string> out;
        for (auto& e : fs::recursive_directory_iterator(dir.path()))
            if (e.is_regular_file())
                out.push_back(fs::relative(e.path(), dir.path()).generic_string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

std::vector<ArchiveFile> SampleFiles()
{
    return {{"a.bin", PatternBytes(1000, 1)},
            {"sub/dir/b.txt", PatternBytes(70000, 2)},
            {"sub\\c.dat", PatternBytes(3, 3)},
            {"zero.bin", {}}};
}

void ExpectExtracted(const fs::path& folder, const std::vector<ArchiveFile>& files)
{
    for (const auto& f : files) {
        std::string rel = f.name;
        std::replace(rel.begin(), rel.end(), '\\', '/');
        SCOPED_TRACE(rel);
        ASSERT_TRUE(fs::is_regular_file(folder / rel));
        EXPECT_EQ(ReadFileBytes((folder / rel).string()), f.data);
    }
}

} // namespace

TEST_F(ExtractTest, EachArchiveKindExtractsByteForByte)
{
    const auto files = SampleFiles();
    const auto big = Put("one.bf", MakeBigArchive(files));
    ASSERT_TRUE(bf.Open(big));
    ExtractAll();
    ExpectExtracted(folder, files);
    EXPECT_EQ(fs::current_path(), folder);

    fs::remove_all(folder / "sub");
    ASSERT_TRUE(bf.Open(Put("two.bf", MakeDataArchive(files))));
    ExtractAll();
    ExpectExtracted(folder, files);

    fs::remove_all(folder / "sub");
    const auto pair = MakeFatArchive(files);
    Put("three.BIG", pair.big);
    ASSERT_TRUE(bf.Open(Put("three.fat", pair.fat)));
    ExtractAll();
    ExpectExtracted(folder, files);
}

TEST_F(ExtractTest, ReplacesExistingFileAndIgnoresBadIndex)
{
    ASSERT_TRUE(bf.Open(Put("x.bf", MakeBigArchive({{"out.bin", Bytes{1, 2, 3}}}))));
    WriteFileBytes((folder / "out.bin").string(), Bytes(5000, 9));
    bf.ExtractEntry(0);
    EXPECT_EQ(ReadFileBytes((folder / "out.bin").string()), (Bytes{1, 2, 3}));

    // An index outside the table only changes the current directory.
    fs::current_path(dir.path());
    const auto before = AllFiles();
    bf.ExtractEntry(-1);
    bf.ExtractEntry(1);
    EXPECT_EQ(AllFiles(), before);
    EXPECT_EQ(fs::current_path(), folder);
}

TEST_F(ExtractTest, ClimbingNamesStayInsideTheFolder)
{
    const std::vector<ArchiveFile> files{{"..\\..\\evil.txt", Bytes{1}},
                                         {"\\rooted.txt", Bytes{2}},
                                         {"C:\\drive.txt", Bytes{3}},
                                         {"ok/../../up.txt", Bytes{4}},
                                         {"/etc/abs.txt", Bytes{5}}};
    ASSERT_TRUE(bf.Open(Put("climb.bf", MakeBigArchive(files))));
    ExtractAll();
    for (const auto& f : AllFiles())
        EXPECT_EQ(f.rfind("arc/", 0), 0u) << f;
    EXPECT_EQ(AllFiles().size(), files.size() + 1); // the archive itself and one file per entry
    EXPECT_TRUE(fs::exists(folder / "rooted.txt"));
    EXPECT_TRUE(fs::exists(folder / "etc" / "abs.txt"));
}

TEST_F(ExtractTest, PathsUpToTheSystemsLimitAreWrittenAndLongerOnesAreErrors)
{
    // The longest path the system takes (PATH_MAX - 1 bytes) through folders of 200 bytes, then 1 MiB of folders.
    std::string deep;
    const size_t length = PATH_MAX - 1 - folder.string().size() - 1;
    while (deep.size() + 201 < length)
        deep += std::string(200, 'd') + "\\";
    deep += std::string(length - deep.size(), 'f');
    std::string hostile;
    for (int i = 0; i < (1 << 19); ++i)
        hostile += "e\\";
    const FatPair fat = MakeFatArchive({{deep, Bytes{1}}, {hostile + "x.bin", Bytes{2}}});
    Put("deep.BIG", fat.big);
    ASSERT_TRUE(bf.Open(Put("deep.fat", fat.fat)));
    bf.ExtractEntry(0);
    std::string written = (folder / deep).string();
    std::replace(written.begin(), written.end(), '\\', '/');
    EXPECT_EQ(written.size(), size_t(PATH_MAX - 1));
    EXPECT_EQ(ReadFileBytes(written), Bytes{1});
    const std::string error = ErrorOf([&] { bf.ExtractEntry(1); });
    EXPECT_EQ(error.rfind("Cannot create file \"" + folder.string() + "/e/e/", 0), 0u);
    EXPECT_EQ(error.substr(error.size() - 21), "\". File name too long");
    EXPECT_FALSE(fs::exists(folder / "e"));
}

TEST_F(ExtractTest, ExistingLinkIsReplacedNotWrittenThrough)
{
    const auto outside = dir.path() / "outside.bin";
    WriteFileBytes(outside.string(), Bytes{7, 7, 7});
    fs::create_symlink(outside, folder / "link.bin");
    ASSERT_TRUE(bf.Open(Put("l.bf", MakeBigArchive({{"link.bin", Bytes{1, 2}}}))));
    bf.ExtractEntry(0);
    EXPECT_EQ(ReadFileBytes(outside.string()), (Bytes{7, 7, 7}));
    EXPECT_FALSE(fs::is_symlink(folder / "link.bin"));
    EXPECT_EQ(ReadFileBytes((folder / "link.bin").string()), (Bytes{1, 2}));
}

TEST_F(ExtractTest, CopyPastTheEndFailsWithoutPartialFile)
{
    auto bytes = MakeBigArchive({{"good.bin", PatternBytes(10, 1)}, {"cut.bin", PatternBytes(5000, 2)}});
    bytes.resize(bytes.size() - 100);
    const auto path = Put("cut.bf", bytes);
    ASSERT_TRUE(bf.Open(path));
    bf.ExtractEntry(0);
    const std::string error = "Stream read error: " + path + ": entry \"cut.bin\" needs 5000 bytes at offset " +
                              std::to_string(bf.Entries[1].Offset + 4) + ", the file holds " +
                              std::to_string(bytes.size()) + " bytes.";
    EXPECT_EQ(ErrorOf([&] { bf.ExtractEntry(1); }), error);
    EXPECT_TRUE(fs::exists(folder / "good.bin"));
    EXPECT_FALSE(fs::exists(folder / "cut.bin"));
    // Checked before the output is created: a file of that name from before stays as it was.
    WriteFileBytes((folder / "cut.bin").string(), Bytes{4, 5, 6});
    EXPECT_THROW(bf.ExtractEntry(1), EStreamError);
    EXPECT_EQ(ReadFileBytes((folder / "cut.bin").string()), (Bytes{4, 5, 6}));
}

TEST_F(ExtractTest, BadOffsetsAndSizesAreErrors)
{
    auto bytes = MakeDataArchive({{"neg.bin", Bytes(4, 1)}});
    // Stored size -5 and an offset past the end of the file.
    ByteWriter w;
    w.I32(-5);
    std::copy(w.b.begin(), w.b.end(), bytes.begin() + 4 + 8);
    ASSERT_TRUE(bf.Open(Put("neg.bf", bytes)));
    EXPECT_THROW(bf.ExtractEntry(0), EStreamError);
    EXPECT_FALSE(fs::exists(folder / "neg.bin"));

    auto far = MakeDataArchive({{"far.bin", Bytes(4, 1)}});
    ByteWriter o;
    o.I32(1 << 30);
    std::copy(o.b.begin(), o.b.end(), far.begin() + 4 + 4);
    ASSERT_TRUE(bf.Open(Put("far.bf", far)));
    EXPECT_THROW(bf.ExtractEntry(0), EStreamError);
    EXPECT_FALSE(fs::exists(folder / "far.bin"));
}

TEST_F(ExtractTest, NoStreamAfterFailedOpen)
{
    ASSERT_TRUE(bf.Open(Put("x.bf", MakeBigArchive({{"a.bin", Bytes{1}}}))));
    EXPECT_FALSE(bf.Open(Put("bad.bin", {0xFF, 0xFF, 0xFF, 0xFF})));
    ASSERT_EQ(bf.Count, 1);
    EXPECT_THROW(bf.ExtractEntry(0), EStreamError); // the old directory stays, its stream does not
    EXPECT_FALSE(fs::exists(folder / "a.bin"));
}

TEST_F(ExtractTest, BankSoundsGoToTheChosenWriter)
{
    BankLayout s;
    s.version = 1;
    BankRecord r;
    r.storage = 0;
    r.name = "sfx/boom.wav";
    r.offset = 4; // inside the data area
    r.size = 8;
    r.sampleRate = 22050;
    r.bytesPerSec = 44100;
    r.bits = 16;
    r.channels = 1;
    // An empty sound whose offset lies far past the end of the bank reads nothing and cannot fail.
    BankRecord empty = r;
    empty.name = "empty.wav";
    empty.offset = 1 << 30;
    empty.size = 0;
    s.records = {empty, r};
    s.marker = 0;
    s.data = {0xEE, 0xEE, 0xEE, 0xEE, 1, 0, 2, 0, 3, 0, 4, 0};
    ASSERT_TRUE(bf.Open(Put("fx.sb0", MakeSoundBank(s))));

    fe.options[OptionId::ConvertFormat] = 0;
    EXPECT_TRUE(bf.ExtractEntry(0));
    EXPECT_TRUE(bf.ExtractEntry(1));
    EXPECT_EQ(fs::file_size(folder / "empty.wav"), 44u);
    const auto wav = ReadFileBytes((folder / "sfx" / "boom.wav").string());
    ASSERT_EQ(wav.size(), 44u + 8u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(Bytes(wav.begin() + 44, wav.end()), (Bytes{1, 0, 2, 0, 3, 0, 4, 0}));

    fe.options[OptionId::ConvertFormat] = 1;
    EXPECT_TRUE(bf.ExtractEntry(0));
    EXPECT_TRUE(bf.ExtractEntry(1));
    EXPECT_TRUE(fs::exists(folder / "empty.ogg"));
    EXPECT_TRUE(fs::exists(folder / "sfx" / "boom.ogg"));

    // No format chosen: nothing written, the entry still counts.
    fs::remove_all(folder / "sfx");
    fe.options[OptionId::ConvertFormat] = -1;
    EXPECT_TRUE(bf.ExtractEntry(1));
    EXPECT_FALSE(fs::exists(folder / "sfx" / "boom.wav"));
    EXPECT_TRUE(fe.Lines(MemoId::Memo1).empty());

    // A streamed sound's name is built from the bank's: with a bank name of 255 bytes it is too long for the
    // file system, and both writers shorten it, logged by the entry's number.
    BankRecord streamed;
    streamed.storage = 3;
    streamed.streamFile = "s.bin";
    streamed.size = 28 + 38;
    streamed.sampleRate = 22050;
    s.records = {streamed};
    Put("s.bin", Bytes(100, 0));
    const std::string base(251, 'b');
    ASSERT_TRUE(bf.Open(Put(base + ".sb0", MakeSoundBank(s))));
    ASSERT_GT(bf.Entries[0].Name.size(), 255u);
    for (int format : {0, 1}) {
        fe.options[OptionId::ConvertFormat] = format;
        EXPECT_TRUE(bf.ExtractEntry(0));
        const std::string used = FitName(Win1252ToUtf8(ChangeFileExt(bf.Entries[0].Name, format == 0 ? ".wav" : ".ogg")), 255);
        EXPECT_EQ(used.substr(used.size() - 4), format == 0 ? ".wav" : ".ogg");
        EXPECT_TRUE(fs::is_regular_file(folder / used));
        EXPECT_EQ(fe.Lines(MemoId::Memo1).back(), "entry 0: name too long for the file system, shortened to " + used);
    }
}

TEST_F(ExtractTest, EntriesWithoutNameAreNotWrittenAndLoggedByNumber)
{
    ASSERT_TRUE(bf.Open(Put("n.bf", MakeBigArchive({{"", Bytes{1}}, {"named.bin", Bytes{2}}, {"\\", Bytes{3}}}))));
    int written = 0;
    for (int i = 0; i < bf.Count; ++i)
        written += bf.ExtractEntry(i) ? 1 : 0;
    EXPECT_EQ(written, 1);
    EXPECT_EQ(AllFiles(), (std::vector<std::string>{"arc/n.bf", "arc/named.bin"}));
    EXPECT_EQ(fe.Lines(MemoId::Memo1),
              (std::vector<std::string>{"entry 0: no name, not extracted.", "entry 2: no name, not extracted."}));

    // a sound of unknown storage has no name either
    BankLayout s;
    BankRecord odd;
    odd.storage = 7;
    s.records = {odd};
    ASSERT_TRUE(bf.Open(Put("odd.sb0", MakeSoundBank(s))));
    EXPECT_FALSE(bf.ExtractEntry(0));
    EXPECT_EQ(fe.Lines(MemoId::Memo1).back(), "entry 0: unknown storage kind 0, not extracted.");
}

TEST_F(ExtractTest, NoOutputReplacesAFileOfTheArchive)
{
    // an entry named like the archive, one named like a link to it, and a FAT entry named like its companion
    ASSERT_TRUE(bf.Open(Put("game.bf", MakeBigArchive({{"game.bf", Bytes{1}}, {"alias.bf", Bytes{2}}, {"ok", Bytes{3}}}))));
    fs::create_symlink(folder / "game.bf", folder / "alias.bf");
    const auto archive = ReadFileBytes((folder / "game.bf").string());
    EXPECT_FALSE(bf.ExtractEntry(0));
    EXPECT_FALSE(bf.ExtractEntry(1));
    EXPECT_TRUE(bf.ExtractEntry(2));
    EXPECT_EQ(ReadFileBytes((folder / "game.bf").string()), archive);

    const auto pair = MakeFatArchive({{"snd.BIG", Bytes{4}}, {"snd.fat", Bytes{5}}});
    Put("snd.BIG", pair.big);
    ASSERT_TRUE(bf.Open(Put("snd.fat", pair.fat)));
    EXPECT_FALSE(bf.ExtractEntry(0));
    EXPECT_FALSE(bf.ExtractEntry(1));
    EXPECT_EQ(ReadFileBytes((folder / "snd.BIG").string()), pair.big);
    EXPECT_EQ(ReadFileBytes((folder / "snd.fat").string()), pair.fat);

    // a bank sound named like the stream file another sound is read from
    BankLayout s;
    BankRecord pcm;
    pcm.name = "music.xwb";
    pcm.size = 2;
    BankRecord streamed;
    streamed.storage = 3;
    streamed.streamFile = "MUSIC.xwb";
    s.records = {pcm, streamed};
    s.data = {0, 0};
    Put("music.xwb", Bytes(200, 9));
    ASSERT_TRUE(bf.Open(Put("b.sb0", MakeSoundBank(s))));
    EXPECT_FALSE(bf.ExtractEntry(0));
    EXPECT_EQ(ReadFileBytes((folder / "music.xwb").string()), Bytes(200, 9));

    const auto& log = fe.Lines(MemoId::Memo1);
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0], "game.bf: the output would replace its own source file, not extracted.");
    EXPECT_EQ(log[2], "snd.BIG: the output would replace its own source file, not extracted.");
    EXPECT_EQ(log[4], "music.xwb: the output would replace its own source file, not extracted.");
}
