#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "support/ArchiveWriters.h"
#include "support/Guards.h"
#include "support/TempDir.h"

namespace {

struct ReaderTest : ::testing::Test {
    TempDir dir;
    MemoryFrontend fe;
    TBF bf{fe};
    void SetUp() override { bf.Init(); }
    std::string Put(const std::string& name, const Bytes& bytes)
    {
        const auto p = dir.file(name);
        WriteFileBytes(p, bytes);
        return p;
    }
};

std::vector<ArchiveFile> ThreeFiles()
{
    return {{"first.bin", PatternBytes(10, 1), 0x1111}, {"sub/dir/second.txt", PatternBytes(300, 2), 0x2222},
            {"empty.dat", {}, 0x3333}};
}

} // namespace

TEST(ArchiveNames, TypeNamesAndSlashes)
{
    EXPECT_EQ(ArchiveTypeName(0), "unknown?");
    EXPECT_EQ(ArchiveTypeName(1), "BF BIG archive");
    EXPECT_EQ(ArchiveTypeName(2), "BF data archive");
    EXPECT_EQ(ArchiveTypeName(3), "FAT sound archive");
    EXPECT_EQ(ArchiveTypeName(4), "Sound bank version 1");
    EXPECT_EQ(ArchiveTypeName(5), "Sound bank version 2");
    EXPECT_EQ(ArchiveTypeName(6), "Sound bank version 3");
    EXPECT_EQ(ArchiveTypeName(7), "unknown?");
    EXPECT_EQ(ArchiveTypeName(255), "unknown?");
    EXPECT_EQ(SlashToBackslash("a/b/c.wav"), "a\\b\\c.wav");
    EXPECT_EQ(SlashToBackslash("plain.wav"), "plain.wav");
    EXPECT_EQ(SlashToBackslash("mixed\\x/y"), "mixed\\x\\y");
}

TEST_F(ReaderTest, NewReaderIsEmpty)
{
    EXPECT_FALSE(bf.IsOpen);
    EXPECT_EQ(bf.ArchiveType, 0);
    EXPECT_EQ(bf.Count, 0);
    EXPECT_TRUE(bf.Entries.empty());
    EXPECT_EQ(bf.Stream, nullptr);
}

TEST_F(ReaderTest, BigArchiveDirectory)
{
    const auto files = ThreeFiles();
    const auto path = Put("game.bf", MakeBigArchive(files, {.padding = 13}));
    ASSERT_TRUE(bf.Open(path));
    EXPECT_TRUE(bf.IsOpen);
    EXPECT_EQ(bf.ArchiveType, atBigArchive);
    EXPECT_EQ(bf.FileName, "game.bf");
    EXPECT_EQ(bf.Directory, dir.path().string());
    ASSERT_EQ(bf.Count, 3);
    EXPECT_EQ(bf.Entries[0].Name, "first.bin");
    EXPECT_EQ(bf.Entries[1].Name, "sub\\dir\\second.txt");
    EXPECT_EQ(bf.Entries[2].Name, "empty.dat");
    EXPECT_EQ(bf.Entries[0].Size, 10);
    EXPECT_EQ(bf.Entries[1].Size, 300);
    EXPECT_EQ(bf.Entries[2].Size, 0);
    EXPECT_EQ(bf.Entries[1].Key, 0x2222);
    for (const auto& e : bf.Entries)
        EXPECT_EQ(e.Kind, 0);
    // Offsets point at the stored record: its length, then the data.
    const auto bytes = ReadFileBytes(path);
    const auto& e1 = bf.Entries[1];
    EXPECT_EQ(bytes[size_t(e1.Offset) + 4], files[1].data[0]);
}

TEST_F(ReaderTest, BigKnownCountReadsNamesFromFixedPosition)
{
    std::vector<ArchiveFile> files(3308);
    for (size_t i = 0; i < files.size(); ++i)
        files[i].name = "f" + std::to_string(i);
    // Garbage between the offset table and the names: the fixed position is taken whatever lies there.
    const auto path = Put("known.bf", MakeBigArchive(files, {.namesAt = 1545964, .fillByte = 0x41}));
    ASSERT_TRUE(bf.Open(path));
    ASSERT_EQ(bf.Count, 3308);
    EXPECT_EQ(bf.Entries[0].Name, "f0");
    EXPECT_EQ(bf.Entries[3307].Name, "f3307");
}

TEST_F(ReaderTest, BigZeroSkipStopsInsideFirstNameRecord)
{
    // First size 0x100: its low byte is zero, so the skip stops one byte into the record.
    std::vector<ArchiveFile> files{{"a.bin", Bytes(0x100, 7)}, {"b.bin", Bytes(3, 8)}};
    const auto path = Put("skip.bf", MakeBigArchive(files, {.padding = 8}));
    ASSERT_TRUE(bf.Open(path));
    ASSERT_EQ(bf.Count, 2);
    // Read from one byte later: size bytes 01 00 00 EE, name from record + 21.
    EXPECT_EQ(bf.Entries[0].Size, int32_t(0xEE000001));
    EXPECT_EQ(bf.Entries[0].Name, ".bin");
}

TEST_F(ReaderTest, BigLongNameAndNextRecordAt84)
{
    std::vector<ArchiveFile> files{{"a", Bytes(5, 1)}, {"next.bin", Bytes(6, 2)}};
    Bytes big = MakeBigArchive(files, {.padding = 4});
    // Record 0's name fills its 64 bytes and runs on into record 1 (its size 6, then the filler bytes).
    const size_t rec0 = 68 + 16 + 4;
    std::fill(big.begin() + long(rec0 + 20), big.begin() + long(rec0 + 84), uint8_t('x'));
    const auto path = Put("long.bf", big);
    ASSERT_TRUE(bf.Open(path));
    ASSERT_EQ(bf.Count, 2);
    EXPECT_EQ(bf.Entries[0].Name, std::string(64, 'x') + "\x06");
    EXPECT_EQ(bf.Entries[1].Name, "next.bin");
    EXPECT_EQ(bf.Entries[1].Size, 6);
}

TEST_F(ReaderTest, BigCountBeyondFileIsNotAnArchive)
{
    auto big = MakeBigArchive(ThreeFiles(), {.countField = 0x7FFFFFFF});
    EXPECT_FALSE(bf.Open(Put("huge.bf", big)));
    EXPECT_FALSE(bf.IsOpen);
    EXPECT_EQ(bf.Stream, nullptr);
    for (const uint32_t negative : {0x80000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(negative);
        EXPECT_FALSE(bf.Open(Put("neg.bf", MakeBigArchive(ThreeFiles(), {.countField = negative}))));
    }
}

TEST_F(ReaderTest, BigCutShortGivesEmptyTrailingEntries)
{
    std::vector<ArchiveFile> files{{"a", Bytes(4, 1)}, {"b", Bytes(4, 2)}, {"c", Bytes(4, 3)}};
    auto big = MakeBigArchive(files);
    big.resize(68 + 24 + 4 + 84 + 30); // ends inside the second name record
    ASSERT_TRUE(bf.Open(Put("cut.bf", big)));
    ASSERT_EQ(bf.Count, 3);
    EXPECT_EQ(bf.Entries[0].Name, "a");
    EXPECT_EQ(bf.Entries[1].Name, "b");
    EXPECT_EQ(bf.Entries[2].Name, "");
    EXPECT_EQ(bf.Entries[2].Size, 0);
}

TEST_F(ReaderTest, DataArchiveDirectory)
{
    const auto files = ThreeFiles();
    const auto bytes = MakeDataArchive(files);
    const auto path = Put("data.bf", bytes);
    ASSERT_TRUE(bf.Open(path));
    EXPECT_EQ(bf.ArchiveType, atDataArchive);
    ASSERT_EQ(bf.Count, 3);
    EXPECT_EQ(bf.Entries[1].Name, "sub\\dir\\second.txt");
    EXPECT_EQ(bf.Entries[1].Size, 300);
    EXPECT_EQ(bf.Entries[1].Key, 0);
    EXPECT_EQ(bytes[size_t(bf.Entries[1].Offset) + 4], files[1].data[0]);
}

TEST_F(ReaderTest, DataArchiveBoundaries)
{
    // First value 1: a data archive without entries.
    ASSERT_TRUE(bf.Open(Put("one.bf", {1, 0, 0, 0, 0xAA, 0xBB})));
    EXPECT_EQ(bf.ArchiveType, atDataArchive);
    EXPECT_EQ(bf.Count, 0);
    // 8192 matches nothing.
    EXPECT_FALSE(bf.Open(Put("big8192.bf", {0x00, 0x20, 0, 0, 1, 2, 3, 4})));
    // One zero byte after the last record is no record; two are an (empty) record.
    std::vector<ArchiveFile> one{{"x.bin", Bytes(2, 9)}};
    ASSERT_TRUE(bf.Open(Put("d1.bf", MakeDataArchive(one, 1))));
    EXPECT_EQ(bf.Count, 1);
    ASSERT_TRUE(bf.Open(Put("d2.bf", MakeDataArchive(one, 2))));
    EXPECT_EQ(bf.Count, 2);
    EXPECT_EQ(bf.Entries[1].Name, "");
}

TEST_F(ReaderTest, DataArchiveEndingInsideDirectory)
{
    // The directory claims 4000 bytes, the file ends after the first record.
    ByteWriter w;
    w.U32(4000).U32(0).I32(0).I32(5).U32(0).U32(0).CStr("only");
    ASSERT_TRUE(bf.Open(Put("short.bf", w.b)));
    ASSERT_EQ(bf.Count, 1);
    EXPECT_EQ(bf.Entries[0].Name, "only");
    EXPECT_EQ(bf.Entries[0].Offset, 4004);
}

TEST_F(ReaderTest, FatArchiveUsesCompanion)
{
    const auto files = ThreeFiles();
    const auto pair = MakeFatArchive(files, 1);
    const auto fat = Put("music.fat", pair.fat);
    Put("music.BIG", pair.big);
    ASSERT_TRUE(bf.Open(fat));
    EXPECT_EQ(bf.ArchiveType, atFatArchive);
    EXPECT_EQ(bf.FileName, "music.fat");
    ASSERT_EQ(bf.Count, 3); // the trailing byte is no record
    EXPECT_EQ(bf.Entries[1].Name, "sub\\dir\\second.txt");
    // The stream reads the companion.
    bf.Stream->Seek(bf.Entries[1].Offset + 4, SeekOrigin::Begin);
    uint8_t b = 0;
    ASSERT_EQ(bf.Stream->Read(&b, 1), 1);
    EXPECT_EQ(b, files[1].data[0]);
}

TEST_F(ReaderTest, EmptyFileIsFatNeedingCompanion)
{
    const auto path = Put("empty.fat", {});
    EXPECT_THROW(bf.Open(path), EStreamError);
    EXPECT_FALSE(bf.IsOpen);
    EXPECT_EQ(bf.Stream, nullptr);
    Put("empty.BIG", {});
    ASSERT_TRUE(bf.Open(path));
    EXPECT_EQ(bf.ArchiveType, atFatArchive);
    EXPECT_EQ(bf.Count, 0);
}

TEST_F(ReaderTest, ArchiveOrCompanionThatIsNotARegularFileEndsTheOpen)
{
    // A FIFO would hold the open until a writer came (a regression fails instead of hanging); a folder would
    // open as an empty file.
    const HangGuard guard;
    const auto pair = MakeFatArchive({{"a.wav", Bytes(3, 1)}});
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "folder");
        TempDir here;
        auto special = [&](const std::string& name) {
            const std::string p = here.file(name);
            if (fifo)
                EXPECT_EQ(mkfifo(p.c_str(), 0600), 0);
            else
                std::filesystem::create_directory(p);
            return p;
        };
        auto opened = [&](const std::string& path) {
            try {
                bf.Open(path);
            } catch (const EStreamError& e) {
                EXPECT_FALSE(bf.IsOpen);
                EXPECT_EQ(bf.Stream, nullptr);
                return std::string(e.what());
            }
            return std::string("opened");
        };
        const std::string archive = special("game.bf");
        EXPECT_EQ(opened(archive), "Cannot open file \"" + archive + "\". Not a regular file");
        const std::string fat = here.file("music.fat");
        WriteFileBytes(fat, pair.fat);
        const std::string companion = special("music.BIG");
        EXPECT_EQ(opened(fat), "Cannot open file \"" + companion + "\". Not a regular file");
    }
}

TEST_F(ReaderTest, FatCompanionInOtherLetterCase)
{
    const auto pair = MakeFatArchive({{"a.wav", Bytes(3, 1)}});
    const auto fat = Put("lower.FaT", pair.fat);
    Put("lower.big", pair.big);
    ASSERT_TRUE(bf.Open(fat));
    EXPECT_EQ(bf.Count, 1);
}

TEST_F(ReaderTest, FatKeepsMoreThan65535Records)
{
    ByteWriter w;
    for (int i = 0; i < 70000; ++i)
        w.U32(0).I32(i).I32(0).U32(0).U32(0).U8(0);
    const auto fat = Put("many.fat", w.b);
    Put("many.BIG", {});
    ASSERT_TRUE(bf.Open(fat));
    ASSERT_EQ(bf.Count, 70000);
    EXPECT_EQ(bf.Entries[69999].Offset, 69999);
}

TEST_F(ReaderTest, SecondOpenReplacesOrKeepsDirectory)
{
    ASSERT_TRUE(bf.Open(Put("first.bf", MakeBigArchive(ThreeFiles()))));
    ASSERT_TRUE(bf.Open(Put("second.bf", MakeDataArchive({{"z", Bytes(1, 1)}}))));
    EXPECT_EQ(bf.ArchiveType, atDataArchive);
    EXPECT_EQ(bf.Count, 1);
    EXPECT_EQ(bf.FileName, "second.bf");

    // A rejected file: the previous directory stays, the stream is gone, the names follow the tried file.
    EXPECT_FALSE(bf.Open(Put("bad.xyz", {0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_FALSE(bf.IsOpen);
    EXPECT_EQ(bf.Stream, nullptr);
    EXPECT_EQ(bf.ArchiveType, atDataArchive);
    EXPECT_EQ(bf.Count, 1);
    EXPECT_EQ(bf.Entries[0].Name, "z");
    EXPECT_EQ(bf.FileName, "bad.xyz");

    // A missing file: the stream layer's error, no stream.
    EXPECT_THROW(bf.Open(dir.file("missing.bf")), EStreamError);
    EXPECT_FALSE(bf.IsOpen);
    EXPECT_EQ(bf.FileName, "missing.bf");
}

TEST_F(ReaderTest, ShortFilesTakeMissingBytesAsZero)
{
    // Two bytes 01 00: first value 1, a data archive.
    ASSERT_TRUE(bf.Open(Put("two.bin", {1, 0})));
    EXPECT_EQ(bf.ArchiveType, atDataArchive);
    // Three bytes "BIG" without the zero: the missing byte is zero, so it is a BIG archive of no entries.
    ASSERT_TRUE(bf.Open(Put("three.bin", {'B', 'I', 'G'})));
    EXPECT_EQ(bf.ArchiveType, atBigArchive);
    EXPECT_EQ(bf.Count, 0);
}

TEST_F(ReaderTest, StringReadsOnTheStream)
{
    ASSERT_TRUE(bf.Open(Put("s.bf", {1, 0, 0, 0, 'a', 'b', 0, 'c', 'd', 'e', 'f', 0, 'g'})));
    std::string s;
    bf.Stream->Seek(4, SeekOrigin::Begin);
    bf.ReadCString(s);
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(bf.Stream->Position(), 7);
    bf.Stream->Seek(4, SeekOrigin::Begin);
    bf.ReadFixedString(2, s); // no zero inside the field: read on to the zero, position field end
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(bf.Stream->Position(), 6);
    bf.Stream->Seek(7, SeekOrigin::Begin);
    bf.ReadFixedString(40, s);
    EXPECT_EQ(s, "cdef");
    EXPECT_EQ(bf.Stream->Position(), 47);
    bf.Stream->Seek(12, SeekOrigin::Begin);
    bf.ReadCString(s); // ends at the end of the stream
    EXPECT_EQ(s, "g");
}
