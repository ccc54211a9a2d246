#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bin/TBinFile.h"
#include "platform/Frontend.h"
#include "platform/OutputFile.h"
#include "platform/Stream.h"
#include "support/Guards.h"
#include "support/TempDir.h"

namespace {

} // namespace

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
    // The reason is the system's: a missing name is no file of another kind.
    const std::string why = "Cannot open file \"" + missing + "\". No such file or directory";
    EXPECT_EQ(ErrorOf([&] { TFileStream f(missing, TFileStream::OpenRead); }), why);
    EXPECT_EQ(ErrorOf([&] { TMemoryStream().LoadFromFile(missing); }), why);
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
    EXPECT_EQ(ErrorOf([&] { f.Close(); }), "Stream write error: /dev/full: No space left on device");
    EXPECT_THROW(f.WriteValue<uint32_t>(2), EStreamError); // closed
    EXPECT_NO_THROW(f.Close());

    // A write larger than the buffer fails at once, and a seek fails at the flush it starts: both say why.
    TFileStream big("/dev/full", TFileStream::Create);
    const std::vector<uint8_t> bytes(1 << 20);
    EXPECT_EQ(ErrorOf([&] { big.WriteBuffer(bytes.data(), int64_t(bytes.size())); }),
              "Stream write error: /dev/full: No space left on device");
    TFileStream seek("/dev/full", TFileStream::Create);
    seek.WriteValue<uint32_t>(1);
    EXPECT_EQ(ErrorOf([&] { seek.SetPosition(0); }), "Stream write error: /dev/full: No space left on device");
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

TEST(FileStream, InputsThatAreNotRegularFilesAreRefusedAtOnce)
{
    // A FIFO without a writer would hold an ordinary open forever; a folder opens but reads nothing.
    TempDir dir;
    const std::string fifo = dir.file("pipe.bin"), folder = dir.file("folder.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    const HangGuard guard;
    MemoryFrontend fe;
    TBinFile bin{fe};
    for (const std::string& path : {fifo, folder, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        const std::string refused = "Cannot open file \"" + path + "\". Not a regular file";
        EXPECT_EQ(ErrorOf([&] { TFileStream f(path, TFileStream::OpenRead); }), refused);
        EXPECT_EQ(ErrorOf([&] { TMemoryStream().LoadFromFile(path); }), refused);
        EXPECT_EQ(ErrorOf([&] { bin.LoadFromFile(path); }), refused);
        EXPECT_EQ(bin.Count, 0);
    }
}

TEST(FileStream, ExactReadsPastTheEndSayWhatIsMissing)
{
    TempDir dir;
    const auto name = dir.file("short.bin");
    WriteFileBytes(name, std::vector<uint8_t>(10, 1));
    TFileStream f(name, TFileStream::OpenRead);
    f.SetPosition(8);
    EXPECT_EQ(ErrorOf([&] { f.ReadU32(); }),
              "Stream read error: " + name + ": 4 bytes needed at offset 8, the file holds 10 bytes.");
    TMemoryStream out;
    f.SetPosition(3);
    EXPECT_EQ(ErrorOf([&] { out.CopyFrom(f, 20); }),
              "Stream read error: " + name + ": 20 bytes needed at offset 3, the file holds 10 bytes.");
}

namespace {

// In a child process (the limit must not reach other tests): a file-size limit of 64 KiB with SIGXFSZ ignored,
// then 1 MiB written through the buffer and copied from a file (inside the kernel where it can). Exits 0 when
// each write failed with the system's reason and left no file.
[[noreturn]] void WriteBeyondTheLimit(const TempDir& dir, const std::string& source)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 64 * 1024;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        _exit(2);
    int failures = 0;
    const std::vector<uint8_t> bytes(1 << 20, 5);
    const std::function<void(TFileStream&)> writes[] = {
        [&](TFileStream& f) { f.WriteBuffer(bytes.data(), int64_t(bytes.size())); },
        [&](TFileStream& f) {
            TFileStream in(source, TFileStream::OpenRead);
            f.CopyFrom(in, in.Size());
        }};
    for (const auto& write : writes) {
        const std::string out = dir.file("big.bin");
        const std::string error = ErrorOf([&] { WriteOutputFile(out, write); });
        std::fprintf(stderr, "%s\n", error.c_str());
        failures += error.find("File too large") == std::string::npos;
        failures += std::filesystem::exists(out);
    }
    _exit(failures == 0 ? 0 : 1);
}

} // namespace

TEST(OutputFile, WritePastTheFileSizeLimitIsAWriteErrorAndLeavesNoFile)
{
    TempDir dir;
    const std::string source = dir.file("source.bin");
    WriteFileBytes(source, std::vector<uint8_t>(1 << 20, 7));
    EXPECT_EXIT(WriteBeyondTheLimit(dir, source), ::testing::ExitedWithCode(0), "");
}

TEST(OutputFile, ReplacedFilesKeepTheirModeAndNothingIsLeftBehind)
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    auto names = [](const TempDir& dir) {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    };
    auto modeOf = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 0777;
    };
    std::string euros; // 246 bytes: the temporary name's stem is cut to 64 bytes, inside the 22nd character
    for (int i = 0; i < 82; ++i)
        euros += "\xE2\x82\xAC";
    const bool unnamed = TReplacingFile::UnnamedFiles;
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed temporary file");
        TReplacingFile::UnnamedFiles = !named;
        TempDir dir;
        const std::string target = dir.file(euros);
        WriteFileBytes(target, {1});
        ::chmod(target.c_str(), 0600);
        EXPECT_TRUE(WriteReplacingFile(target, TFileIds(), [&](TFileStream& f) {
            f.WriteValue<uint8_t>(2);
            // Only the named way shows the file while it is written: ".<first 21 characters>.xxxxxxxx.part".
            const auto now = names(dir);
            ASSERT_EQ(now.size(), named ? 2u : 1u);
            if (named) {
                EXPECT_EQ(now[0].substr(0, 65) + now[0].substr(74), "." + euros.substr(0, 63) + ".part");
            }
        }));
        EXPECT_EQ(ReadFileBytes(target), std::vector<uint8_t>{2});
        EXPECT_EQ(modeOf(target), 0600u);
        // A writer that fails leaves the file as it was and nothing beside it.
        EXPECT_THROW(WriteReplacingFile(target, TFileIds(), [](TFileStream&) { throw EStreamError("failed"); }),
                     EStreamError);
        EXPECT_EQ(ReadFileBytes(target), std::vector<uint8_t>{2});
        EXPECT_EQ(names(dir), std::vector<std::string>{euros});
        // A new file has the usual mode; one replaced by a plain output keeps its own.
        WriteReplacingFile(dir.file("new"), TFileIds(), [](TFileStream&) {});
        EXPECT_EQ(modeOf(dir.file("new")), 0666u & ~mask);
        ::chmod(dir.file("new").c_str(), 0640);
        WriteOutputFile(dir.file("new"), [](TFileStream&) {});
        EXPECT_EQ(modeOf(dir.file("new")), 0640u);
    }
    TReplacingFile::UnnamedFiles = unnamed;

    // A write killed before its commit leaves nothing.
    TempDir dir;
    const pid_t child = fork();
    if (child == 0) {
        TReplacingFile file(dir.file("out.bin"));
        file.Stream().WriteBuffer(euros.data(), int64_t(euros.size()));
        file.Stream().Sync();
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(names(dir).empty());
}
