#include <gtest/gtest.h>

#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "support/ArchiveWriters.h"
#include "support/TempDir.h"

namespace {

struct BankTest : ::testing::Test {
    TempDir dir;
    MemoryFrontend fe;
    TBF bf{fe};
    Bytes bytes;
    void SetUp() override { bf.Init(); }
    // Writes and opens the bank; returns the position just after the data-base marker.
    int64_t OpenBank(const BankLayout& layout, const std::string& name = "bank.sb0")
    {
        bytes = MakeSoundBank(layout);
        WriteFileBytes(dir.file(name), bytes);
        EXPECT_TRUE(bf.Open(dir.file(name)));
        return int64_t(bytes.size() - 4 * layout.afterMarker.size() - layout.data.size());
    }
    const std::vector<std::string>& Log() { return fe.Lines(MemoId::Memo1); }
};

BankRecord InBank(const std::string& name, int32_t offset, int32_t size)
{
    BankRecord r;
    r.storage = 0;
    r.name = name;
    r.offset = offset;
    r.size = size;
    r.sampleRate = 22050;
    r.bytesPerSec = 44100;
    r.bits = 16;
    r.channels = 1;
    return r;
}

BankRecord Streamed(const std::string& file, int32_t offset, int32_t size)
{
    BankRecord r;
    r.storage = 3;
    r.streamFile = file;
    r.offset = offset;
    r.size = size;
    r.sampleRate = 44100;
    r.bytesPerSec = 88200;
    r.bits = 4;
    r.channels = 2;
    return r;
}

BankRecord Other(uint32_t tag)
{
    BankRecord r;
    r.tag = tag;
    return r;
}

} // namespace

TEST_F(BankTest, Version1Directory)
{
    BankLayout s;
    s.version = 1;
    s.leading = 2;
    s.records = {Other(8), InBank("sfx/boom.wav", 0, 100), Other(4), Streamed("music/stream1.xwb", 2048, 5000),
                 Other(99)};
    s.marker = 0;
    s.data = Bytes(100, 1);
    const int64_t p0 = OpenBank(s, "level.one.sb0");
    EXPECT_EQ(bf.ArchiveType, atSoundBank1);
    ASSERT_EQ(bf.Count, 2);

    const BFInfo& a = bf.Entries[0];
    EXPECT_EQ(a.Name, "sfx\\boom.wav");
    EXPECT_EQ(a.Kind, 1);
    EXPECT_EQ(a.Size, 100);
    EXPECT_EQ(a.Offset, p0); // marker <= 0: the data starts right after it
    EXPECT_EQ(a.SampleRate, 22050);
    EXPECT_EQ(a.BytesPerSec, 44100);
    EXPECT_EQ(a.Bits, 16);
    EXPECT_EQ(a.Channels, 1);
    EXPECT_EQ(a.Id, 0);
    EXPECT_EQ(a.Key, 0);

    const BFInfo& b = bf.Entries[1];
    EXPECT_EQ(b.Name, "level1.wav"); // bank name cut at its first dot, then the sound number
    EXPECT_EQ(b.StreamFile, "music\\stream1.xwb");
    EXPECT_EQ(b.Kind, 2);
    EXPECT_EQ(b.Offset, 2048); // stream-file offsets are never moved
    EXPECT_EQ(b.Channels, 2);
    EXPECT_EQ(b.Bits, 4);

    // Tag 4 is unknown to version 1, like 99; both are passed as whole records.
    const int64_t rec0 = 28 + 2 * 100;
    ASSERT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0], "[2]: Unknown tag 4 at " + std::to_string(rec0 + 2 * 128 + 8));
    EXPECT_EQ(Log()[1], "[4]: Unknown tag 99 at " + std::to_string(rec0 + 4 * 128 + 8));
    EXPECT_TRUE(fe.messages.empty());
}

TEST_F(BankTest, Version2SkipsMoreTagsAndWarnsOnUnknownStorage)
{
    BankLayout s;
    s.version = 2;
    BankRecord odd = InBank("", 40, 8);
    odd.storage = 7;
    s.records = {Other(4), Other(5), Other(7), Other(15), odd, InBank("b.wav", 10, 20), Other(0xFFFFFFFF),
                 Streamed("s.xwb", 0, 100)};
    s.marker = -3;
    const int64_t p0 = OpenBank(s, "noext");
    EXPECT_EQ(bf.ArchiveType, atSoundBank2);
    ASSERT_EQ(bf.Count, 3);
    EXPECT_EQ(bf.Entries[2].Name, "2.wav"); // a bank name without '.' gives an empty base
    // The unknown storage keeps its slot: no name, kind 0, offset as stored.
    EXPECT_EQ(bf.Entries[0].Kind, 0);
    EXPECT_EQ(bf.Entries[0].Name, "");
    EXPECT_EQ(bf.Entries[0].Offset, 40);
    EXPECT_EQ(bf.Entries[0].Size, 8);
    // Only the two trailing values were passed after it, so the next record is read correctly from there.
    EXPECT_EQ(bf.Entries[1].Name, "b.wav");
    EXPECT_EQ(bf.Entries[1].Offset, 10 + p0 + 4); // marker <= 0: one more value passed
    const int64_t typePos = 28 + 4 * 132 + 84;
    ASSERT_EQ(fe.warnings.size(), 1u);
    EXPECT_EQ(fe.warnings[0], "[4]: Unknown type 7 at " + std::to_string(typePos));
    // Tag 0xFFFFFFFF is reported as a signed number.
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].substr(0, 21), "[6]: Unknown tag -1 a");
}

TEST_F(BankTest, Version3BuiltNamesIdsAndStreamFiles)
{
    BankLayout s;
    s.version = 3;
    for (int i = 0; i < 10; ++i)
        s.records.push_back(Other(8));
    BankRecord a = InBank("ignored", 16, 64);
    a.first = 0x1234;
    BankRecord self = Streamed("", 300, 90);
    self.inBank = 1;
    BankRecord oddName = Streamed("snd/x.bin", 0, 10); // ends at an odd position: one byte passed
    BankRecord evenName = Streamed("snd/xy.bin", 0, 10);
    BankRecord unknown = InBank("", 5, 5);
    unknown.storage = 9;
    s.records.insert(s.records.end(), {a, self, oddName, evenName, unknown, InBank("", 0, 4)});
    s.marker = 0;
    const int64_t p0 = OpenBank(s, "Voice.sb0");
    EXPECT_EQ(bf.ArchiveType, atSoundBank3);
    ASSERT_EQ(bf.Count, 6);
    EXPECT_EQ(bf.Entries[0].Name, "Voice0.wav"); // first sound after ten other records is number 0
    EXPECT_EQ(bf.Entries[0].Id, 0x1234);
    EXPECT_EQ(bf.Entries[0].Offset, 16 + p0 + 4);
    EXPECT_EQ(bf.Entries[1].Name, "Voice1.wav");
    EXPECT_EQ(bf.Entries[1].StreamFile, "Voice.sb0");
    EXPECT_EQ(bf.Entries[1].Offset, 300);
    EXPECT_EQ(bf.Entries[2].StreamFile, "snd\\x.bin");
    EXPECT_EQ(bf.Entries[3].StreamFile, "snd\\xy.bin");
    EXPECT_EQ(bf.Entries[4].Kind, 0);
    EXPECT_EQ(bf.Entries[4].Name, "");
    EXPECT_EQ(bf.Entries[4].Offset, 5);
    EXPECT_EQ(bf.Entries[5].Name, "Voice5.wav");
    EXPECT_EQ(bf.Entries[5].Kind, 1);
    EXPECT_EQ(bf.Entries[5].Size, 4);
    ASSERT_EQ(fe.messages.size(), 1u);
    EXPECT_EQ(fe.messages[0].substr(0, 23), "[14]: Unknown type 9 at");
    EXPECT_TRUE(Log().empty());
}

TEST_F(BankTest, NameOfTwoDotsIsCutAtTheFirst)
{
    BankLayout s;
    s.version = 3;
    s.records = {InBank("", 0, 1)};
    OpenBank(s, "amb.loop.sb0");
    EXPECT_EQ(bf.Entries[0].Name, "amb0.wav");
}

TEST_F(BankTest, AmbFxNameTakesDataBaseAfterMarker)
{
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        BankLayout s;
        s.version = version;
        s.records = {InBank("a.wav", 0, 4)};
        s.marker = 1;                      // > 0: the special name decides, others scan
        s.afterMarker = {0x7FFFFFF0, 1, 2, 1, 1}; // never the size of what follows
        const int64_t p0 = OpenBank(s, "amb_fx.Sb0");
        const int64_t size = int64_t(bytes.size());
        if (version == 1)
            EXPECT_EQ(bf.Entries[0].Offset, p0);
        else if (version == 2)
            EXPECT_EQ(bf.Entries[0].Offset, p0 + 4);
        else // scanned: no match, last value read below the size: the end of the file
            EXPECT_EQ(bf.Entries[0].Offset, size);
    }
}

TEST_F(BankTest, ScanFindsSizeOfRestOfFile)
{
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        BankLayout s;
        s.version = version;
        s.records = {InBank("a.wav", 8, 4), Streamed("s.bin", 8, 4)};
        s.marker = 5;
        // The first value equals the data size but is not followed by exactly that many bytes; the second is.
        s.data = Bytes(40, 0x33);
        s.afterMarker = {40, 40};
        const int64_t p0 = OpenBank(s);
        EXPECT_EQ(bf.Entries[0].Offset, p0 + 8 + 8);
        EXPECT_EQ(bf.Entries[1].Offset, 8);
    }
}

TEST_F(BankTest, ScanWithoutMatchByVersion)
{
    auto ints = [](std::initializer_list<int32_t> v) {
        ByteWriter w;
        for (int32_t x : v)
            w.I32(x);
        return w.b;
    };
    constexpr int32_t kFileSize = -1; // stands for the size of the bank being made
    // The data base found in a bank with these values after the marker and this data; p0 is the position after
    // the marker.
    auto base = [&](int version, std::vector<int32_t> afterMarker, Bytes data, int64_t& p0) {
        BankLayout s;
        s.version = version;
        s.records = {InBank("a.wav", 0, 4)};
        s.marker = 9;
        s.afterMarker = std::move(afterMarker);
        s.data = std::move(data);
        for (int32_t& v : s.afterMarker)
            if (v == kFileSize)
                v = int32_t(MakeSoundBank(s).size());
        p0 = OpenBank(s);
        return int64_t(bf.Entries[0].Offset);
    };
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        int64_t p0 = 0;
        // A value not less than the file size stops a version-2 scan (base after the marker + 4); versions 1
        // and 3 scan on to the end, where the last value (1) is small: the base is the end of the file.
        int64_t found = base(version, {3, 0x7FFFFFF0, 7}, ints({1, 1, 1, 1}), p0);
        EXPECT_EQ(found, version == 2 ? p0 + 4 : int64_t(bytes.size()));
        // The last value at the end of the file decides for versions 1 and 3; version 2 ends at the end too.
        found = base(version, {3}, ints({1, 2, version == 2 ? 5 : 0x7FFFFFF0}), p0);
        EXPECT_EQ(found, version == 2 ? int64_t(bytes.size()) : p0 + 4);
        // A value equal to the file size already stops a version-2 scan; versions 1 and 3 go on and find the
        // value that equals the bytes after it.
        found = base(version, {3, kFileSize, 16}, Bytes(16, 0x44), p0);
        EXPECT_EQ(found, version == 2 ? p0 + 4 : p0 + 12);
    }
}

TEST_F(BankTest, CountsBeyondTheFileEndAtItsEnd)
{
    BankLayout s;
    s.version = 2;
    s.records = {InBank("a.wav", 0, 4), InBank("b.wav", 4, 4)};
    s.countField = 0x7FFFFFFF;
    const auto p = dir.file("huge.sb0");
    bytes = MakeSoundBank(s);
    WriteFileBytes(p, bytes);
    ASSERT_TRUE(bf.Open(p));
    EXPECT_EQ(bf.Count, 2); // the marker bytes start a third record at most
    EXPECT_EQ(bf.Entries[1].Name, "b.wav");

    const auto q = dir.file("lead.sb0");
    BankLayout one;
    one.records = {InBank("x", 0, 1)};
    WriteFileBytes(q, MakeSoundBank(one));
    auto b = ReadFileBytes(q);
    b[4] = 0xFF, b[5] = 0xFF, b[6] = 0xFF, b[7] = 0x7F; // leading records far past the end
    WriteFileBytes(q, b);
    ASSERT_TRUE(bf.Open(q));
    EXPECT_EQ(bf.Count, 0);
}
