// The real program run as a user runs it: FILE x extracts every entry of an archive next to it.
#include <gtest/gtest.h>

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

#include "e2e/Samples.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

uint32_t U32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
uint16_t U16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// Starts the program with `args` in `cwd`, waits until `done` (given the program's process id) holds (or 30 s),
// then asks it to close with SIGTERM, which the program handles as an ordinary close. Returns the exit status, or
// -1 when it did not end.
int RunProgram(const std::vector<std::string>& args, const fs::path& cwd, const std::function<bool(pid_t)>& done)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        std::vector<char*> argv{const_cast<char*>(TARVESH_EXE)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TARVESH_EXE, argv.data());
        _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done(pid) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The close request waits for the start-up (and its extraction) to finish.
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Whether process `pid` shows a window whose caption matches `caption` (a regular expression), as xdotool finds
// it on the test's display.
bool ShowsWindow(pid_t pid, const std::string& caption)
{
    const std::string command = "xdotool search --all --onlyvisible --pid " + std::to_string(pid) + " --name '" +
                                caption + "' 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return false;
    std::string ids;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p))
        ids += buf;
    pclose(p);
    return !ids.empty();
}

// Every regular file under root, as generic relative paths.
std::vector<std::string> FilesUnder(const fs::path& root)
{
    std::vector<std::string> r;
    for (auto& p : fs::recursive_directory_iterator(root))
        if (p.is_regular_file())
            r.push_back(fs::relative(p.path(), root).generic_string());
    std::sort(r.begin(), r.end());
    return r;
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no X display";
        // The archive lies two folders down, so that a name that climbs out would show above it.
        folder = dir.path() / "one" / "two";
        fs::create_directories(folder);
        WriteSamples(samples.path());
    }
    // Copies sample files into the folder, runs NAME x there and waits for `expected` files (other than the
    // inputs) to appear under the temporary root.
    void ExtractAll(const std::vector<std::string>& inputs, size_t expected)
    {
        for (const auto& f : inputs)
            fs::copy_file(samples.path() / f, folder / f);
        const size_t total = inputs.size() + expected;
        const int rc = RunProgram({(folder / inputs[0]).string(), "x"}, dir.path(),
                                  [&](pid_t) { return FilesUnder(dir.path()).size() >= total; });
        EXPECT_EQ(rc, 0);
        for (const auto& f : inputs)
            fs::remove(folder / f);
    }

    TempDir dir, samples;
    fs::path folder;
};

} // namespace

TEST_F(ProgramRun, BfArchivesExtractEveryEntryUnderItsStoredPath)
{
    for (const char* archive : {"big.bf", "data.bf"}) {
        SCOPED_TRACE(archive);
        ExtractAll({archive}, 4);
        std::vector<std::string> want;
        for (const ArchiveFile& f : SampleArchiveFiles()) {
            std::string name = Win1252ToUtf8(f.name);
            std::replace(name.begin(), name.end(), '\\', '/');
            want.push_back("one/two/" + name);
            EXPECT_EQ(ReadFileBytes((folder / name).string()), f.data) << name;
        }
        std::sort(want.begin(), want.end());
        EXPECT_EQ(FilesUnder(dir.path()), want);
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
}

TEST_F(ProgramRun, FatArchiveReadsItsCompanion)
{
    ExtractAll({"sounds.fat", "sounds.BIG"}, 2);
    EXPECT_EQ(FilesUnder(dir.path()), (std::vector<std::string>{"one/two/sfx/one.raw", "one/two/two.raw"}));
    EXPECT_EQ(ReadFileBytes((folder / "sfx" / "one.raw").string()), PatternBytes(1000, 3));
}

TEST_F(ProgramRun, NamesThatClimbOutStayInsideTheArchiveFolder)
{
    WriteHostileSamples(samples.path());
    ExtractAll({"evil.bf"}, 5);
    for (const auto& f : FilesUnder(dir.path()))
        EXPECT_EQ(f.rfind("one/two/", 0), 0u) << f;
    EXPECT_FALSE(fs::exists("/etc/evil5.txt"));
}

TEST_F(ProgramRun, SoundBankEntriesBecomeWaveFilesWithTheirOwnFormat)
{
    ExtractAll({"bank3.sb0", "music.xwb"}, 4);
    // PCM held in the bank: copied sample for sample.
    const Bytes stereo = ReadFileBytes((folder / "bank30.wav").string());
    ASSERT_GT(stereo.size(), 44u);
    EXPECT_EQ(U16(stereo, 22), 2);
    EXPECT_EQ(U32(stereo, 24), 44100u);
    Bytes pcm;
    for (int16_t s : SampleStereo())
        pcm.insert(pcm.end(), {uint8_t(uint16_t(s)), uint8_t(uint16_t(s) >> 8)});
    EXPECT_EQ(Bytes(stereo.begin() + 44, stereo.end()), pcm);

    // Xbox ADPCM in the stream file and in the bank: decoded to whole 16-bit frames, sizes patched.
    for (auto [name, channels] : {std::pair{"bank32.wav", 2}, std::pair{"bank33.wav", 1}}) {
        SCOPED_TRACE(name);
        const Bytes w = ReadFileBytes((folder / name).string());
        ASSERT_GT(w.size(), 44u);
        EXPECT_EQ(U16(w, 22), channels);
        EXPECT_EQ(U32(w, 24), 22050u);
        EXPECT_EQ(U16(w, 32), 2 * channels);
        EXPECT_EQ(U32(w, 4), w.size() - 8);
        EXPECT_EQ(U32(w, 40), w.size() - 44);
        EXPECT_EQ((w.size() - 44) % (2 * channels), 0u);
    }
}

TEST_F(ProgramRun, OggOptionWritesVorbisFilesOfTheEntries)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Dornvale\\Tarvesh Mox", true));
        reg.WriteInteger("ConvertFormat", 1);
    }
    ExtractAll({"bank1.sb0", "music.xwb"}, 3);
    struct Expect {
        const char* name;
        long rate;
        int64_t frames;
    };
    for (const Expect& e : {Expect{"music/stereo.ogg", 44100, 11025}, Expect{"mono.ogg", 22050, 5000},
                            Expect{"bank12.ogg", 22050, 65 * 40}}) {
        SCOPED_TRACE(e.name);
        OggVorbis_File vf;
        ASSERT_EQ(ov_fopen((folder / e.name).string().c_str(), &vf), 0);
        EXPECT_EQ(ov_info(&vf, -1)->channels, 2);
        EXPECT_EQ(ov_info(&vf, -1)->rate, e.rate);
        EXPECT_EQ(ov_pcm_total(&vf, -1), e.frames);
        ov_clear(&vf);
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Dornvale\\Tarvesh Mox", true));
    reg.WriteInteger("ConvertFormat", 0);
}

TEST_F(ProgramRun, CloseRequestDuringAStartUpMessageEndsTheProgram)
{
    // A file named on the command line that is no archive: the start-up shows "Not a valid/supported file!"
    // and waits for OK. A close request then ends the program the ordinary way, storing the options.
    WriteFileBytes((folder / "notes.bf").string(), {'n', 'o', 't', 'e', 's', 0, 0, 0});
    // The box carries the program's name alone; the main window is not shown before the start-up returns.
    bool boxShown = false;
    const int rc = RunProgram({(folder / "notes.bf").string(), "x"}, dir.path(),
                              [&](pid_t pid) { return boxShown = ShowsWindow(pid, "^Tarvesh Mox$"); });
    EXPECT_TRUE(boxShown);
    EXPECT_EQ(rc, 0);
    TRegistry reg;
    EXPECT_TRUE(reg.OpenKey("\\Software\\Dornvale\\Tarvesh Mox", false));
}
