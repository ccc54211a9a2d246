#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "XdgHome.h"
#include "platform/Settings.h"
#include "platform/Stream.h"
#include "support/Guards.h"

namespace fs = std::filesystem;

namespace {
std::string ReadText(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}
void WriteText(const fs::path& p, const std::string& s)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << s;
}
} // namespace

TEST(Settings, TypedValuesSurviveAFreshReadOfTheFile)
{
    XdgHome home;
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Dornvale\\Tarvesh Mox", true));
        reg.WriteInteger("OggQuality", 250);
        reg.WriteInteger("Negative", -3);
        reg.WriteBool("AssignFiles", true);
        reg.WriteString("", "default \"quoted\" C:\\path\\");
        reg.WriteString("Multi", "line one\nline two");
        reg.WriteBinaryData("EditFlags", {0, 0xff, 0x10, 0});
    }
    EXPECT_TRUE(fs::exists(home.UserFile()));
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Dornvale\\Tarvesh Mox", false));
    EXPECT_EQ(reg.ReadInteger("OggQuality"), 250);
    EXPECT_EQ(reg.ReadInteger("Negative"), -3);
    EXPECT_TRUE(reg.ReadBool("AssignFiles"));
    EXPECT_EQ(reg.ReadString(""), "default \"quoted\" C:\\path\\");
    EXPECT_EQ(reg.ReadString("Multi"), "line one\nline two");
    EXPECT_EQ(reg.ReadBinaryData("EditFlags"), (std::vector<uint8_t>{0, 0xff, 0x10, 0}));
    EXPECT_EQ(reg.GetValueNames().size(), 6u);
}

TEST(Settings, NamesOfKeysAndValuesIgnoreCase)
{
    XdgHome home;
    TRegistry reg;
    reg.OpenKey("Software\\Dornvale\\Tarvesh Mox", true);
    reg.WriteInteger("OggQuality", 1);
    reg.WriteInteger("OGGQUALITY", 2); // same value, replaced
    EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"OggQuality"});
    EXPECT_TRUE(reg.ValueExists("oggquality"));
    EXPECT_EQ(reg.ReadInteger("oggQuality"), 2);
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\dornvale\\tarvesh mox"));
    EXPECT_TRUE(reg.DeleteValue("OGGquality"));
    EXPECT_FALSE(reg.ValueExists("OggQuality"));

    // The values after a deleted one are still found by name, in a fresh read too.
    for (int i = 0; i < 4; ++i)
        reg.WriteInteger("V" + std::to_string(i), i);
    EXPECT_TRUE(reg.DeleteValue("v1"));
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"V0", "V2", "V3"}));
    EXPECT_EQ(reg.ReadInteger("V2"), 2);
    EXPECT_EQ(reg.ReadInteger("V3"), 3);
    reg.WriteInteger("v3", 30); // replaced in its place
    TRegistry again;
    again.OpenKey("Software\\Dornvale\\Tarvesh Mox", false);
    EXPECT_EQ(again.GetValueNames(), (std::vector<std::string>{"V0", "V2", "V3"}));
    EXPECT_EQ(again.ReadInteger("V3"), 30);
}

TEST(Settings, ReadingAnotherTypeRaisesTheRegistryError)
{
    XdgHome home;
    TRegistry reg;
    reg.OpenKey("\\K", true);
    reg.WriteString("Text", "12");
    reg.WriteBinaryData("Bytes", {1, 0, 0, 0});
    reg.WriteInteger("Number", 5);
    EXPECT_THROW(reg.ReadInteger("Text"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Bytes"), ERegistryException);
    EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
    EXPECT_THROW(reg.ReadString("Number"), ERegistryException);
    EXPECT_THROW(reg.ReadBinaryData("Number"), ERegistryException);
    EXPECT_EQ(reg.ReadString("Missing"), "");
    try {
        reg.ReadBool("Text");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_NE(std::string(e.what()).find("'Text'"), std::string::npos);
    }
}

TEST(Settings, OpeningWithoutCreateLeavesNoTrace)
{
    XdgHome home;
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Software\\Dornvale\\Tarvesh Mox", false));
    EXPECT_FALSE(reg.HasCurrentKey());
    EXPECT_FALSE(fs::exists(home.UserFile()));
}

TEST(Settings, KeysNestAndDeleteWithTheirSubKeys)
{
    XdgHome home;
    TRegistry reg(TRootKey::ClassesRoot);
    reg.OpenKey("\\Cls\\shell\\Open\\command", true);
    reg.WriteString("", "a");
    reg.OpenKey("\\Cls\\shell", false);
    reg.OpenKey("Other\\command", true); // relative to the current key
    EXPECT_EQ(reg.CurrentPath(), "Cls\\shell\\Other\\command");
    reg.OpenKey("\\Cls\\shell", false);
    EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"Open", "Other"}));
    EXPECT_TRUE(reg.DeleteKey("\\cls\\SHELL\\open"));
    EXPECT_FALSE(reg.KeyExists("\\Cls\\shell\\Open\\command"));
    EXPECT_TRUE(reg.KeyExists("\\Cls\\shell\\Other\\command"));
    EXPECT_FALSE(reg.DeleteKey("\\Cls\\shell\\Open"));
    // A key whose name only begins like another is not inside it.
    reg.OpenKey("\\Cls2", true);
    EXPECT_TRUE(reg.DeleteKey("\\Cls"));
    EXPECT_TRUE(reg.KeyExists("\\Cls2"));
    EXPECT_TRUE(fs::exists(home.ClassesFile()));
    EXPECT_FALSE(fs::exists(home.UserFile()));
}

TEST(Settings, HandWrittenFileIsReadToleratingWhatItCannotUse)
{
    XdgHome home;
    WriteText(home.UserFile(), "Windows Registry Editor Version 5.00\r\n"
                               "; a comment\r\n"
                               "\"Orphan\"=dword:00000001\r\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Dornvale\\Tarvesh Mox]\r\n"
                               "\"Foreign\"=dword:00000001\r\n"
                               "[HKEY_CURRENT_USER\\Software\\Dornvale\\Tarvesh Mox]\r\n"
                               "\"Debug\"=hex(2):25,00\r\n"
                               "\"OggQuality\"=dword:FA\r\n"
                               "\"Long\"=hex:01,02,\\\r\n"
                               "  03,04\r\n"
                               "\"Broken\"=dword:xyz\r\n"
                               "\"Nine\"=dword:1000000FA\r\n"
                               "garbage line\r\n"
                               "\"Gone\"=-\r\n"
                               "@=\"a \\\"b\\\" \\\\c\"\r\n"
                               "\"Unterminated\"=\"x=hex\\\r\n"
                               "\"After\"=dword:00000002\r\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Dornvale\\Tarvesh Mox", false));
    EXPECT_TRUE(reg.ValueExists("Debug"));
    EXPECT_EQ(*reg.GetDataType("Debug"), 2u);
    EXPECT_EQ(reg.ReadInteger("OggQuality"), 250);
    EXPECT_EQ(reg.ReadBinaryData("Long"), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(reg.ReadString(""), "a \"b\" \\c");
    EXPECT_FALSE(reg.ValueExists("Unterminated")); // and it does not swallow the next line
    EXPECT_EQ(reg.ReadInteger("After"), 2);
    EXPECT_FALSE(reg.ValueExists("Broken"));
    EXPECT_FALSE(reg.ValueExists("Nine")); // more than 32 bits
    EXPECT_FALSE(reg.ValueExists("Gone"));
    EXPECT_FALSE(reg.ValueExists("Orphan"));
    EXPECT_FALSE(reg.ValueExists("Foreign"));
    // A value of an unknown type is kept as it was when the file is written again.
    reg.WriteInteger("OggQuality", 1);
    TRegistry again;
    again.OpenKey("\\Software\\Dornvale\\Tarvesh Mox", false);
    EXPECT_EQ(*again.GetDataType("Debug"), 2u);
    EXPECT_EQ(again.ReadString("Debug"), "%");
}

TEST(Settings, WriteReplacesTheFileWholeAndLeavesNoTemporaryFile)
{
    XdgHome home;
    TRegistry reg;
    reg.OpenKey("\\K", true);
    for (int i = 0; i < 20; ++i)
        reg.WriteInteger("V" + std::to_string(i), i);
    const fs::path dir = home.UserFile().parent_path();
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
    const std::string text = ReadText(home.UserFile());
    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_NE(text.find("\"V19\"=dword:00000013\n"), std::string::npos);
}

TEST(Settings, FailedReplaceRaisesAndLeavesNoTemporaryFile)
{
    XdgHome home;
    // A folder standing where the settings file goes cannot be replaced by a file, whoever runs the test.
    fs::create_directories(home.UserFile() / "occupied");
    TRegistry reg;
    EXPECT_THROW(reg.OpenKey("\\K", true), ERegistryException);
    int entries = 0;
    for (const auto& e : fs::directory_iterator(home.UserFile().parent_path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(fs::is_directory(home.UserFile() / "occupied"));
}

TEST(Settings, FifoInThePlaceOfTheFileHoldsNoSettingsAndIsNotWaitedOn)
{
    XdgHome home;
    fs::create_directories(home.UserFile().parent_path());
    ASSERT_EQ(mkfifo(home.UserFile().c_str(), 0600), 0);
    // Others where a temporary file might go: the save neither opens nor removes them.
    const fs::path folder = home.UserFile().parent_path();
    const fs::path temp = folder / (".HKEY_CURRENT_USER.reg.tmp" + std::to_string(getpid()));
    ASSERT_EQ(mkfifo(temp.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((folder / ".HKEY_CURRENT_USER.reg.part").c_str(), 0600), 0);
    {
        const HangGuard guard; // an open that waits for the other end fails the test instead of hanging the run
        TRegistry reg;
        EXPECT_FALSE(reg.OpenKey("\\K", false));
        ASSERT_TRUE(reg.OpenKey("\\K", true)); // the store is written as a regular file in its place
    }
    EXPECT_TRUE(fs::is_regular_file(home.UserFile()));
    EXPECT_TRUE(fs::is_fifo(temp));
    EXPECT_TRUE(fs::is_fifo(folder / ".HKEY_CURRENT_USER.reg.part"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3);
}

TEST(Settings, UnwritableFolderRaisesTheRegistryError)
{
    XdgHome home;
    // A plain file where the settings folder should be: no user can create files below it.
    WriteText(home.Config() / "tarveshmox", "not a folder");
    TRegistry reg;
    EXPECT_THROW(reg.OpenKey("\\K", true), ERegistryException);
    EXPECT_THROW(WriteFileAtomically(home.Config() / "tarveshmox" / "x", "y"), EStreamError);
}

TEST(Settings, LinkIsWrittenThroughOnlyToARegularFile)
{
    XdgHome home;
    const fs::path dotfiles = home.Dir().path() / "dotfiles";
    const fs::path real = dotfiles / "user.reg";
    WriteText(real, "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"B\"=dword:00000002\n");
    fs::create_directories(home.UserFile().parent_path());
    // Relative, as dotfile tools make them.
    fs::create_symlink(fs::path("..") / ".." / "dotfiles" / "user.reg", home.UserFile());
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write); // kept by the file that replaces it
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\K", false));
        EXPECT_EQ(reg.ReadInteger("B"), 2);
        reg.WriteInteger("A", 7);
    }
    EXPECT_TRUE(fs::is_symlink(home.UserFile()));
    EXPECT_NE(ReadText(real).find("\"A\"=dword:00000007"), std::string::npos);
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // A link to a FIFO, a device or nothing holds no settings, and the save replaces the link, not what it
    // names. The device is the test's own: the real /dev/null is never a target here.
    const fs::path fifo = dotfiles / "pipe", device = dotfiles / "null", missing = dotfiles / "missing.reg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<fs::path> targets{fifo, missing};
    if (mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        targets.push_back(device);
    else
        std::fprintf(stderr, "no device node can be made here: the device case is left out\n");
    for (const fs::path& target : targets) {
        SCOPED_TRACE(target.string());
        fs::remove(home.UserFile());
        fs::create_symlink(target, home.UserFile());
        const fs::file_status before = fs::symlink_status(target);
        {
            const HangGuard guard;
            TRegistry reg;
            EXPECT_FALSE(reg.OpenKey("\\K", false));
            ASSERT_TRUE(reg.OpenKey("\\K", true));
        }
        EXPECT_FALSE(fs::is_symlink(home.UserFile()));
        EXPECT_TRUE(fs::is_regular_file(home.UserFile()));
        EXPECT_EQ(fs::symlink_status(target).type(), before.type());
    }
    // user.reg and the targets but the missing one: no temporary file was left there.
    EXPECT_EQ(std::distance(fs::directory_iterator(dotfiles), fs::directory_iterator()), long(targets.size()));
}

TEST(Settings, FolderFollowsXdgConfigHome)
{
    XdgHome home;
    EXPECT_EQ(SettingsDirectory(), home.Config() / "tarveshmox");
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    setenv("XDG_CONFIG_HOME", "relative/path", 1); // not absolute: ignored
    setenv("HOME", home.Dir().path().c_str(), 1);
    EXPECT_EQ(SettingsDirectory(), home.Dir().path() / ".config" / "tarveshmox");
    if (oldHome)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST(Settings, SavedTextReadsBackExactly)
{
    // Strings with line breaks and zeros at their end, through the file.
    XdgHome home;
    {
        TRegistry reg;
        reg.OpenKey("\\K", true);
        reg.WriteString("CR", std::string("\r\0", 2));
        reg.WriteString("Lines", std::string("a\nb\0\0", 5));
        reg.WriteString("Zero", std::string("z\0", 2));
    }
    TRegistry reg;
    reg.OpenKey("\\K", false);
    EXPECT_EQ(reg.ReadString("CR"), std::string("\r\0", 2));
    EXPECT_EQ(reg.ReadString("Lines"), std::string("a\nb\0\0", 5));
    EXPECT_EQ(reg.ReadString("Zero"), std::string("z\0", 2));

    // The text of parsed text is that text again, and nothing read is lost on the way.
    const std::string x = "REGEDIT4\n"
                          "[HKEY_CURRENT_USER\\a]\n"
                          "[HKEY_CURRENT_USER\\A\\b]\n"  // the same key a, spelled otherwise
                          "\"v\"=dword:1\n"
                          "\"V\"=\"again\"\n"            // replaces v in its place
                          "\"w\"=hex(1):0d,00,\\\n"      // a string of CR and one zero, on two lines
                          "  00\n"
                          "\"n\"=hex(1):41\n"            // written without its terminating zero
                          "\"d\"=hex(4):01,02,03\n"      // not four bytes: kept as bytes
                          "[HKEY_CURRENT_USER]\n"
                          "@=\"root\"\n"
                          "[hkey_current_user\\a\\c]\n";
    TRegistryData once;
    once.Parse(x, "HKEY_CURRENT_USER");
    const std::string text = once.Format("HKEY_CURRENT_USER");
    TRegistryData twice;
    twice.Parse(text, "HKEY_CURRENT_USER");
    EXPECT_EQ(twice.Format("HKEY_CURRENT_USER"), text);
    EXPECT_EQ(text, "REGEDIT4\n"
                    "\n[HKEY_CURRENT_USER]\n@=\"root\"\n"
                    "\n[HKEY_CURRENT_USER\\a\\b]\n\"V\"=\"again\"\n\"w\"=hex(1):0d,00,00\n\"n\"=\"A\"\n"
                    "\"d\"=hex(4):01,02,03\n"
                    "\n[HKEY_CURRENT_USER\\a\\c]\n");
    TRegKey* b = twice.Find("A\\B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(TRegistryData::PathOf(*b), "a\\b");
    EXPECT_EQ(twice.FindValue(*b, "w")->text, std::string("\r\0", 2));
    EXPECT_NE(twice.Find("a"), nullptr); // parents exist without a section of their own
}

TEST(Settings, DeepKeysCostTheirLength)
{
    // A key 20000 levels deep: one section in, one section out, found by its path.
    std::string path;
    for (int i = 0; i < 20000; ++i)
        path += i ? "\\k" : "k";
    const std::string x = "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\" + path + "]\n\"v\"=dword:00000007\n";
    TRegistryData data;
    data.Parse(x, "HKEY_CLASSES_ROOT");
    EXPECT_EQ(data.Format("HKEY_CLASSES_ROOT"), x);
    TRegKey* key = data.Find(path);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(TRegistryData::PathOf(*key), path);
    EXPECT_EQ(data.FindValue(*key, "V")->dword, 7u);
    EXPECT_TRUE(data.HasSubKeys(path.substr(0, 2 * 19999 - 1)));
    EXPECT_TRUE(data.Remove("k\\k"));
    EXPECT_EQ(data.Format("HKEY_CLASSES_ROOT"), "REGEDIT4\n\n[HKEY_CLASSES_ROOT\\k]\n");
}
