#include <gtest/gtest.h>

#include <fstream>

#include "XdgHome.h"
#include "app/CommandLine.h"
#include "app/FileAssociation.h"
#include "platform/Settings.h"

namespace fs = std::filesystem;

namespace {
std::string ReadText(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct AssociationTest : ::testing::Test {
    XdgHome home;
    TRegistry classes{TRootKey::ClassesRoot};
    TFileAssociation assoc{classes, "/opt/tarvesh mox/bin", home.Data(), false};

    std::string Str(const std::string& key, const std::string& name = "")
    {
        if (!classes.OpenKey(key, false))
            return "<no key>";
        if (!classes.ValueExists(name))
            return "<no value>";
        return classes.ReadString(name);
    }
};
} // namespace

TEST_F(AssociationTest, CheckingGivesEveryExtensionTheClassAndItsVerbs)
{
    assoc.Register();
    for (const char* ext : {".bf", ".fat", ".sb0"})
        EXPECT_EQ(Str(std::string("\\") + ext), "GameDataFile") << ext;
    EXPECT_EQ(Str("\\GameDataFile"), "Game Data File");
    ASSERT_TRUE(classes.OpenKey("\\GameDataFile", false));
    EXPECT_EQ(classes.ReadBinaryData("EditFlags"), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Str("\\GameDataFile\\DefaultIcon"), "\"/opt/tarvesh mox/bin/TarveshMox\",0");
    EXPECT_EQ(Str("\\GameDataFile\\shell"), "Tarvesh Mox");
    EXPECT_EQ(Str("\\GameDataFile\\shell\\Tarvesh Mox\\command"), "\"/opt/tarvesh mox/bin/TarveshMox\" \"%1\"");
    EXPECT_EQ(Str("\\GameDataFile\\shell\\Extract All\\command"), "\"/opt/tarvesh mox/bin/TarveshMox\" \"%1\" x");

    const std::string desktop = ReadText(assoc.DesktopFile());
    EXPECT_EQ(assoc.DesktopFile(), home.Data() / "applications" / "tarveshmox.desktop");
    EXPECT_NE(desktop.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nExec=\"/opt/tarvesh mox/bin/TarveshMox\" %f\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nMimeType=application/x-gamedatafile;\n"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("\nActions=ExtractAll;\n"), std::string::npos);
    const auto action = desktop.find("[Desktop Action ExtractAll]\nName=Extract All\n");
    ASSERT_NE(action, std::string::npos);
    EXPECT_NE(desktop.find("Exec=\"/opt/tarvesh mox/bin/TarveshMox\" %f x\n", action), std::string::npos);

    const std::string mime = ReadText(assoc.MimePackage());
    EXPECT_EQ(assoc.MimePackage(), home.Data() / "mime" / "packages" / "tarveshmox.xml");
    EXPECT_NE(mime.find("<mime-type type=\"application/x-gamedatafile\">"), std::string::npos);
    for (const char* glob : {"*.bf", "*.fat", "*.sb0"})
        EXPECT_NE(mime.find(std::string("<glob pattern=\"") + glob + "\"/>"), std::string::npos) << glob;
}

TEST_F(AssociationTest, AnExistingClassIsKeptAndGetsTheVerbs)
{
    classes.OpenKey("\\.fat", true);
    classes.WriteString("", "SoundArchive");
    classes.WriteString("Content Type", "audio/x-fat");
    assoc.Register();
    EXPECT_EQ(Str("\\.fat"), "SoundArchive");
    EXPECT_EQ(Str("\\.bf"), "GameDataFile");
    EXPECT_EQ(Str("\\SoundArchive"), "Game Data File");
    EXPECT_EQ(Str("\\SoundArchive\\shell\\Extract All\\command"), assoc.ExtractCommand());
    const std::string mime = ReadText(assoc.MimePackage());
    const auto own = mime.find("application/x-soundarchive");
    ASSERT_NE(own, std::string::npos);
    EXPECT_LT(mime.find("*.fat"), mime.find("</mime-type>", own));
    EXPECT_NE(ReadText(assoc.DesktopFile()).find("MimeType=application/x-gamedatafile;application/x-soundarchive;"),
              std::string::npos);

    // Writing a second time changes nothing.
    const std::string before = ReadText(classes.FileName());
    assoc.Register();
    EXPECT_EQ(ReadText(classes.FileName()), before);

    // Unchecking keeps the class that was there before, and what others wrote into it.
    assoc.Unregister();
    EXPECT_EQ(Str("\\.fat"), "SoundArchive");
    EXPECT_EQ(Str("\\.fat", "Content Type"), "audio/x-fat");
    EXPECT_FALSE(classes.KeyExists("\\SoundArchive"));
    EXPECT_FALSE(classes.KeyExists("\\.bf"));
}

TEST_F(AssociationTest, UncheckingRemovesWhatCheckingWrote)
{
    classes.OpenKey("\\Unrelated", true);
    classes.WriteString("", "keep me");
    const std::string before = ReadText(classes.FileName());
    assoc.Register();
    assoc.Unregister();
    EXPECT_EQ(ReadText(classes.FileName()), before);
    EXPECT_FALSE(fs::exists(assoc.DesktopFile()));
    EXPECT_FALSE(fs::exists(assoc.MimePackage()));
    // Unchecking with nothing registered is harmless.
    assoc.Unregister();
    EXPECT_EQ(ReadText(classes.FileName()), before);
}

TEST_F(AssociationTest, UncheckingSparesChangesMadeByOthers)
{
    assoc.Register();
    classes.OpenKey("\\GameDataFile\\shell", false);
    classes.WriteString("", "Edit");
    classes.OpenKey("\\GameDataFile\\shell\\Edit\\command", true);
    classes.WriteString("", "editor \"%1\"");
    assoc.Unregister();
    EXPECT_EQ(Str("\\GameDataFile\\shell"), "Edit");
    EXPECT_EQ(Str("\\GameDataFile\\shell\\Edit\\command"), "editor \"%1\"");
    EXPECT_FALSE(classes.KeyExists("\\GameDataFile\\shell\\Tarvesh Mox"));
    EXPECT_FALSE(classes.KeyExists("\\GameDataFile\\DefaultIcon"));
    EXPECT_EQ(Str("\\GameDataFile"), "<no value>");
    EXPECT_EQ(Str("\\.sb0"), "GameDataFile"); // the class still holds a verb
}

TEST_F(AssociationTest, ClassOfAnotherTypeRaisesTheRegistryError)
{
    classes.OpenKey("\\.sb0", true);
    classes.WriteInteger("", 3);
    EXPECT_THROW(assoc.Register(), ERegistryException);
}

TEST(DesktopEntry, ExecArgumentsAreQuotedAndEscaped)
{
    EXPECT_EQ(DesktopExecArgument("/usr/bin/TarveshMox"), "\"/usr/bin/TarveshMox\"");
    // Inside quotes: \" \` \$ \\ ; then the string escaping doubles every backslash; % is doubled.
    EXPECT_EQ(DesktopExecArgument("/a b/$x`y\"z\\w%q"), "\"/a b/\\\\$x\\\\`y\\\\\"z\\\\\\\\w%%q\"");
    EXPECT_EQ(MimeTypeOfClass("GameDataFile"), "application/x-gamedatafile");
    EXPECT_EQ(MimeTypeOfClass("My Class/1"), "application/x-my-class-1");
}

TEST(CommandLine, FileThenOptionalX)
{
    TempDir dir;
    const std::string file = dir.file("a.bf");
    std::ofstream(file) << "x";
    const std::string missing = dir.file("missing.bf");

    auto cmd = ReadCommandLine({});
    EXPECT_FALSE(cmd.open);
    cmd = ReadCommandLine({file});
    EXPECT_TRUE(cmd.open);
    EXPECT_FALSE(cmd.extractAll);
    EXPECT_EQ(cmd.fileName, file);
    EXPECT_TRUE(ReadCommandLine({file, "x"}).extractAll);
    EXPECT_TRUE(ReadCommandLine({file, "X"}).extractAll);
    EXPECT_FALSE(ReadCommandLine({file, "y"}).extractAll);
    EXPECT_FALSE(ReadCommandLine({file, "xx"}).extractAll);
    cmd = ReadCommandLine({file, "x", "more"});
    EXPECT_TRUE(cmd.open);
    EXPECT_FALSE(cmd.extractAll);
    cmd = ReadCommandLine({missing, "x"});
    EXPECT_FALSE(cmd.open);
    EXPECT_FALSE(cmd.extractAll);
    EXPECT_FALSE(ReadCommandLine({dir.path().string(), "x"}).open); // a folder is no file
    EXPECT_FALSE(ReadCommandLine({"", "x"}).open);
}
