#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/Stream.h"
#include "support/TempDir.h"

TEST(MemoryStream, PlainReadKeepsTheRestOfTheDestination)
{
    TMemoryStream s(std::vector<uint8_t>{1, 2, 3});
    uint32_t v = 0xAABBCCDD;
    EXPECT_EQ(s.ReadValue(v), 3);
    EXPECT_EQ(v, 0xAA030201u);
    uint16_t w = 7;
    EXPECT_EQ(s.ReadValue(w), 0);
    EXPECT_EQ(w, 7);
}

TEST(MemoryStream, ExactReadsAndCopiesRaiseAtTheEnd)
{
    TMemoryStream s(std::vector<uint8_t>{1, 0, 0, 0, 9});
    EXPECT_EQ(s.ReadU32(), 1u);
    EXPECT_THROW(s.ReadU32(), EStreamError);

    TMemoryStream src(std::vector<uint8_t>(10, 5));
    TMemoryStream dst;
    src.SetPosition(4);
    EXPECT_THROW(dst.CopyFrom(src, 7), EStreamError);
    src.SetPosition(4);
    TMemoryStream dst2;
    EXPECT_EQ(dst2.CopyFrom(src, 6), 6);
    EXPECT_EQ(dst2.Size(), 6);
    TMemoryStream whole;
    EXPECT_EQ(whole.CopyFrom(src, 0), 10); // 0: the whole source from its start
}

TEST(MemoryStream, WritesGrowAndSeeksClampAtZero)
{
    TMemoryStream s;
    s.WriteValue<uint32_t>(0x04030201);
    s.Seek(10, SeekOrigin::Begin);
    s.WriteValue<uint8_t>(0xFF);
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Bytes()[0], 1);
    EXPECT_EQ(s.Bytes()[5], 0);
    EXPECT_EQ(s.Seek(-100, SeekOrigin::Current), 0);
}

TEST(FileStream, MissingFileNamesTheFileInTheError)
{
    TempDir dir;
    const auto missing = dir.file("nothing.bf");
    try {
        TFileStream f(missing, TFileStream::OpenRead);
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
    }
}

TEST(FileStream, RoundTripWithSeekAndSize)
{
    TempDir dir;
    const auto name = dir.file("a.bin");
    {
        TFileStream f(name, TFileStream::Create);
        for (uint32_t i = 0; i < 100000; ++i)
            f.WriteValue(i);
        EXPECT_EQ(f.Size(), 400000);
    }
    TFileStream f(name, TFileStream::OpenRead);
    EXPECT_EQ(f.Size(), 400000);
    f.Seek(4 * 99999, SeekOrigin::Begin);
    EXPECT_EQ(f.ReadU32(), 99999u);
    uint32_t v = 123;
    EXPECT_EQ(f.ReadValue(v), 0);
    EXPECT_EQ(v, 123u);
    EXPECT_THROW(f.ReadU8(), EStreamError);
    TMemoryStream m;
    m.LoadFromFile(name);
    EXPECT_EQ(m.Size(), 400000);
}

TEST(FileStream, CloseReportsWhatCouldNotBeWritten)
{
    // /dev/full accepts the open and fails every write at the flush.
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TFileStream f("/dev/full", TFileStream::OpenReadWrite);
    f.WriteValue<uint32_t>(1); // buffered
    EXPECT_THROW(f.Close(), EStreamError);
    EXPECT_THROW(f.WriteValue<uint32_t>(2), EStreamError); // closed
    EXPECT_NO_THROW(f.Close());
}

TEST(FileStream, CreateNewRefusesAnExistingNameOrLink)
{
    TempDir dir;
    const auto name = dir.file("out.bin");
    WriteFileBytes(name, {1, 2, 3});
    EXPECT_THROW(TFileStream(name, TFileStream::CreateNew), EStreamError);
    std::filesystem::create_symlink(name, dir.file("link.bin"));
    EXPECT_THROW(TFileStream(dir.file("link.bin"), TFileStream::CreateNew), EStreamError);
    EXPECT_EQ(ReadFileBytes(name).size(), 3u);
    TFileStream fresh(dir.file("new.bin"), TFileStream::CreateNew);
    fresh.WriteValue<uint8_t>(9);
    fresh.Close();
    EXPECT_EQ(ReadFileBytes(dir.file("new.bin")), std::vector<uint8_t>{9});
}

TEST(FileStream, CopyBetweenFilesOnTheSameAndAnotherFileSystem)
{
    // Within one file system the kernel copies; from tmpfs it refuses (EXDEV) and the buffered copy takes over.
    TempDir dir;
    std::optional<TempDir> shm;
    if (std::filesystem::is_directory("/dev/shm"))
        shm.emplace("/dev/shm");
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + i / 251);
    for (const TempDir* from : {&dir, shm ? &*shm : nullptr}) {
        if (!from)
            continue;
        const std::string source = from->file("src.bin");
        SCOPED_TRACE(source);
        WriteFileBytes(source, bytes);
        TFileStream in(source, TFileStream::OpenRead);
        in.SetPosition(1000);
        TFileStream out(dir.file("dst.bin"), TFileStream::Create);
        out.WriteBuffer("hdr", 3);
        EXPECT_EQ(out.CopyFrom(in, 200000), 200000);
        EXPECT_EQ(in.Position(), 201000);
        EXPECT_EQ(out.Position(), 200003);
        out.WriteBuffer("end", 3);
        // past the end of the source: what is there is copied, then the error
        EXPECT_THROW(out.CopyFrom(in, 100000), EStreamError);
        out.Close();
        const auto got = ReadFileBytes(dir.file("dst.bin"));
        ASSERT_EQ(got.size(), 3 + 200000 + 3 + 99000u);
        EXPECT_TRUE(std::equal(got.begin() + 3, got.begin() + 200003, bytes.begin() + 1000));
        EXPECT_EQ(std::string(got.begin() + 200003, got.begin() + 200006), "end");
        EXPECT_TRUE(std::equal(got.begin() + 200006, got.end(), bytes.begin() + 201000));
    }
}
