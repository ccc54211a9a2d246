#include <gtest/gtest.h>

#include <set>

#include "platform/Paths.h"

namespace fs = std::filesystem;

TEST(SafeJoin, StoredNamesStayInsideTheBase)
{
    const fs::path base = "/data/out";
    EXPECT_EQ(SafeJoin(base, "sub\\dir\\file.wav"), fs::path("/data/out/sub/dir/file.wav"));
    EXPECT_EQ(SafeJoin(base, "a/b.txt"), fs::path("/data/out/a/b.txt"));
    EXPECT_EQ(SafeJoin(base, "..\\..\\etc\\passwd"), fs::path("/data/out/__/__/etc/passwd"));
    EXPECT_EQ(SafeJoin(base, "\\root.txt"), fs::path("/data/out/root.txt"));
    EXPECT_EQ(SafeJoin(base, "C:\\Windows\\x.dll"), fs::path("/data/out/C/Windows/x.dll"));
    EXPECT_EQ(SafeJoin(base, "sfx\\C:\\x.wav"), fs::path("/data/out/sfx/C:/x.wav")); // no drive letter there
    EXPECT_EQ(SafeJoin(base, ".:\\x.wav"), fs::path("/data/out/.:/x.wav"));           // only A to Z are drives
    EXPECT_EQ(ResolveStoredPath(base, ".:\\x.wav"), fs::path("/data/out/.:/x.wav"));
    EXPECT_EQ(ResolveStoredPath(base, "z:\\x.wav"), fs::path("/x.wav"));
    EXPECT_EQ(SafeJoin(base, "./x/./y"), fs::path("/data/out/x/y"));
    EXPECT_EQ(SafeJoin(base, ""), fs::path("/data/out/_"));
    EXPECT_EQ(SafeJoin(base, "\\\\"), fs::path("/data/out/_"));
    for (const char* evil : {"..", "../..", "..\\", "/..", "a/../../.."}) {
        const auto p = SafeJoin(base, evil).lexically_normal();
        EXPECT_EQ(p.string().rfind("/data/out/", 0), 0u) << evil << " -> " << p;
    }
}

TEST(CodePage, Windows1252DecodesToUtf8)
{
    EXPECT_EQ(Win1252ToUtf8("abc"), "abc");
    EXPECT_EQ(Win1252ToUtf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9"); // été
    EXPECT_EQ(Win1252ToUtf8("\x80"), "\xE2\x82\xAC");           // euro sign
    EXPECT_EQ(SafeJoin("/o", "caf\xE9.wav"), fs::path("/o/caf\xC3\xA9.wav"));
}

TEST(NameHelpers, DelphiStyleNameParts)
{
    EXPECT_EQ(ChangeFileExt("dir.x\\file.bin", ".txt"), "dir.x\\file.txt");
    EXPECT_EQ(ChangeFileExt("dir.x/file", ".txt"), "dir.x/file.txt");
    EXPECT_EQ(ExtractFileName("a\\b/c.wav"), "c.wav");
    EXPECT_EQ(ExtractFilePath("a\\b/c.wav"), "a\\b/");
    EXPECT_EQ(ExtractFileExt("a.b\\c"), "");
    EXPECT_EQ(IntToHex(0xAB, 8), "000000AB");
    EXPECT_EQ(IntToHex(0xFFFFFFFF, 8), "FFFFFFFF");
    EXPECT_EQ(UpperCase("x.Sb0"), "X.SB0");
}

TEST(SafeJoin, NamesLongerThanTheFileSystemTakesAreCutToFit)
{
    const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC", smile = "\xF0\x9F\x98\x80";
    auto times = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    // The start in whole characters of two, three and four bytes, "~" and a fixed hash of the whole name, the
    // extension (from the last dot) kept. The hash is pinned: a name shortens alike on every run and machine.
    EXPECT_EQ(FitName(times(e, 150) + ".txt", 255), times(e, 121) + "~92427A8B.txt");
    EXPECT_EQ(FitName(times(euro, 100) + ".txt", 255), times(euro, 80) + "~78299403.txt");
    EXPECT_EQ(FitName(times(smile, 100) + ".txt", 256), times(smile, 60) + "~1F6CE163.txt");
    EXPECT_EQ(FitName("voice.take2" + std::string(300, 'x') + ".wav", 255).substr(242), "~DEDB6120.wav");
    EXPECT_EQ(FitName(times(e, 10), 5), times(e, 2)); // no room for a mark
    // an extension that leaves no room is cut with the rest
    EXPECT_EQ(FitName("a." + std::string(300, 'x'), 255), "a." + std::string(244, 'x') + "~ED46AB26");
    // Names that begin alike stay apart, and none meets a name that fits.
    const std::string fits = std::string(251, 'A') + ".txt";
    EXPECT_EQ(FitName(fits, 255), fits);
    std::set<std::string> names{fits};
    for (const std::string& tail : {std::string("XXXX.txt"), std::string("YYYY.txt"), std::string(49, 'A') + ".txt"}) {
        const std::string cut = FitName(std::string(251, 'A') + tail, 255);
        EXPECT_LE(cut.size(), 255u);
        EXPECT_TRUE(names.insert(cut).second) << cut;
    }

    // The limit is the file system's: a file and a folder name, from Windows-1252 bytes.
    const fs::path base = "/data/out";
    if (NameMax(base) != 255)
        GTEST_SKIP() << "the cases below are worked out for 255-byte names";
    bool cut = true;
    EXPECT_EQ(SafeJoin(base, "sub\\" + std::string(150, '\xE9') + ".txt", NameBytes::Win1252, &cut),
              base / "sub" / (times(e, 121) + "~92427A8B.txt"));
    EXPECT_TRUE(cut);
    const fs::path deep = SafeJoin(base, std::string(300, 'd') + "/" + std::string(255, 'f'), NameBytes::FileSystem, &cut);
    EXPECT_EQ(deep.parent_path(), base / FitName(std::string(300, 'd'), 255));
    EXPECT_EQ(deep.filename(), std::string(255, 'f'));
    EXPECT_TRUE(cut);
    EXPECT_EQ(SafeJoin(base, std::string(255, 'f'), NameBytes::Win1252, &cut), base / std::string(255, 'f'));
    EXPECT_FALSE(cut);
}
