#include <gtest/gtest.h>

#include <QListView>
#include <QPlainTextEdit>
#include <filesystem>

#include "GLContext.h"
#include "app/Tmox.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"

namespace {

Bytes Texture32(uint32_t w, uint32_t h)
{
    Bytes b(56, 0);
    SetU32(b, 0, 3);
    SetU32(b, 32, 0xC0DEC0DE);
    SetU32(b, 36, 1);
    SetU32(b, 40, 0);
    SetU32(b, 44, w);
    SetU32(b, 48, h);
    b.resize(56 + w * h * 4, 0x40);
    return b;
}

Bytes Info(uint32_t dataKey)
{
    Bytes b(48, 0);
    SetU32(b, 0, 5);
    SetU32(b, 4, 4);
    SetU32(b, 44, dataKey);
    return b;
}

std::vector<std::string> Lines(const QPlainTextEdit* memo)
{
    std::vector<std::string> out;
    for (const QString& s : memo->toPlainText().split('\n'))
        if (!s.isEmpty())
            out.push_back(s.toStdString());
    return out;
}

} // namespace

TEST(TexturePages, AnalyzeBuildsPacksAndTexturesButtonExportsEveryTexture)
{
    MakeTestContextCurrent(); // makes the application object
    TempDir dir;
    ScriptedDialogs dialogs;
    TTarvesh w(dialogs);
    w.FormCreate({});
    TBinPages& p = *w.BinPages;

    const std::string path = dir.file("level.bin");
    WriteFileBytes(path, ExpandedBin({{0x100, TexturePackData({0x10, 0x11})},
                                      {0x10, Info(0xD0)},
                                      {0x11, Info(0xD1)},
                                      {0x12, Info(0xD1)},
                                      {0xD0, Texture32(2, 2)},
                                      {0xD1, Texture32(3, 1)},
                                      {TerminatorKey, TerminatorData()}}));
    dialogs.openAnswers.push_back(path);
    p.Button5Click();
    const auto log = Lines(p.Memo3);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "Loading textures...");
    EXPECT_EQ(log[1], "3 textures loaded.");
    ASSERT_EQ(w.WorldData->PackCount, 2);
    EXPECT_EQ(w.WorldData->Packs[0].Keys, (std::vector<uint32_t>{0xD0, 0xD1}));
    EXPECT_EQ(w.WorldData->Packs[1].Key, 0x12u);

    p.Memo3->clear();
    p.Button19Click();
    EXPECT_EQ(Lines(p.Memo3), (std::vector<std::string>{"All textures extracted."}));
    EXPECT_EQ(std::filesystem::file_size(dir.file("level_000000D0.TGA")), 18u + 16u);
    EXPECT_EQ(std::filesystem::file_size(dir.file("level_000000D1.TGA")), 18u + 12u);
    w.FormClose();
}

TEST(TexturePages, ViewExtractExportsASelectedTextureDataBlock)
{
    MakeTestContextCurrent();
    TempDir dir;
    ScriptedDialogs dialogs;
    TTarvesh w(dialogs);
    w.FormCreate({});
    TBinPages& p = *w.BinPages;
    const std::string path = dir.file("level.bin");
    WriteFileBytes(path, ExpandedBin({{0xD0, Texture32(1, 1)}, {0xD1, Texture32(2, 1)},
                                      {TerminatorKey, TerminatorData()}}));
    dialogs.openAnswers.push_back(path);
    p.Button5Click();
    p.ListBox1->selectionModel()->select(p.ListModel->index(1), QItemSelectionModel::Select);
    p.Extract1Click();
    EXPECT_FALSE(std::filesystem::exists(dir.file("level_000000D0.TGA")));
    EXPECT_EQ(std::filesystem::file_size(dir.file("level_000000D1.TGA")), 18u + 8u);
    w.FormClose();
}
