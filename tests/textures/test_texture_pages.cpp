#include <gtest/gtest.h>

#include <GL/gl.h>
#include <QCheckBox>

#include <QListView>
#include <QPlainTextEdit>
#include <filesystem>

#include "GLContext.h"
#include "app/Tmox.h"
#include "bin/BinPages.h"
#include "display/DisplayPage.h"
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

namespace {

Bytes WithPixels(uint32_t type, uint32_t format, uint32_t w, uint32_t h, size_t at, const Bytes& pixels,
                 uint32_t paletteKey = 0)
{
    Bytes b(std::max<size_t>(61, at + pixels.size()), 0);
    SetU32(b, 0, 3);
    SetU32(b, 32, 0xC0DEC0DE);
    SetU32(b, 36, type);
    SetU32(b, 40, format);
    SetU32(b, 44, w);
    SetU32(b, 48, h);
    SetU32(b, 56, paletteKey);
    std::copy(pixels.begin(), pixels.end(), b.begin() + static_cast<long>(at));
    return b;
}

Bytes ReadBackRGBA(uint32_t texture, int w, int h)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    Bytes out(static_cast<size_t>(w * h * 4), 0xCD);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
}

// n pixels of one R G B A colour.
Bytes Repeat(int n, Bytes rgba)
{
    Bytes out;
    for (int i = 0; i < n; ++i)
        out.insert(out.end(), rgba.begin(), rgba.end());
    return out;
}

} // namespace

TEST(TexturePages, LoadTexturesMakesLiveTexturesThatReadBackAsTheirSource)
{
    MakeTestContextCurrent();
    TempDir dir;
    ScriptedDialogs dialogs;
    TTarvesh w(dialogs);
    w.FormCreate({});
    auto* loadTextures = w.findChild<QCheckBox*>("CheckBox4");
    ASSERT_NE(loadTextures, nullptr);
    loadTextures->setChecked(true);

    // Colours that survive the driver's block compression exactly: two per 4 x 4 block, with 5- and 6-bit
    // channels whose low bits are zero after expansion.
    const Bytes red{0, 0, 255, 255}, blue{255, 0, 0, 255}; // stored B G R A
    Bytes raw = Repeat(4, red);                                // first row red, the rest blue
    for (int i = 0; i < 12; ++i)
        raw.insert(raw.end(), blue.begin(), blue.end());
    Bytes dxt1;
    PutU16(dxt1, 0x19E3); // R 24, G 60, B 24
    PutU16(dxt1, 0x0000);
    PutU32(dxt1, 0x55555500); // first row colour 0, the rest black
    Bytes palette{0x34, 0x3D, 0x01, 0x13};
    palette.resize(4 + 1024, 0);
    SetU32(palette, 4 + 4 * 7, 0xFF00FF00); // entry 7: opaque green
    const std::string path = dir.file("level.bin");
    WriteFileBytes(path, ExpandedBin({{0x100, TexturePackData({0x10, 0x11, 0x12})},
                                      {0x10, Info(0xD0)},
                                      {0x11, Info(0xD1)},
                                      {0x12, Info(0xD2)},
                                      {0xD0, WithPixels(1, 101, 4, 4, 54, raw)},
                                      {0xD1, WithPixels(1, 5, 4, 4, 60, dxt1)},
                                      {0xD2, WithPixels(3, 1, 4, 4, 60, Bytes{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 0, 0, 0, 0}, 0xE0)},
                                      {0xE0, palette},
                                      {TerminatorKey, TerminatorData()}}));
    dialogs.openAnswers.push_back(path);
    w.BinPages->Button5Click();
    ASSERT_EQ(w.WorldData->PackCount, 1);
    const texturepack& pack = w.WorldData->Packs[0];
    ASSERT_TRUE(w.DisplayPage->MakeCurrent());
    for (uint32_t t : pack.TexIds)
        ASSERT_TRUE(glIsTexture(t)) << t;

    // Texture row 0 is the source's last row: three blue rows, then red.
    const Bytes rgbaRed{255, 0, 0, 255}, rgbaBlue{0, 0, 255, 255};
    Bytes expected = Repeat(12, rgbaBlue);
    const Bytes top = Repeat(4, rgbaRed);
    expected.insert(expected.end(), top.begin(), top.end());
    EXPECT_EQ(ReadBackRGBA(pack.TexIds[0], 4, 4), expected);

    // DXT1: the block's first texel row is texture row 0.
    Bytes dxtExpected = Repeat(4, Bytes{24, 60, 24, 255});
    const Bytes black = Repeat(12, Bytes{0, 0, 0, 255});
    dxtExpected.insert(dxtExpected.end(), black.begin(), black.end());
    EXPECT_EQ(ReadBackRGBA(pack.TexIds[1], 4, 4), dxtExpected);

    // Paletted: rows kept, so the last source row (index 0: transparent black) is texture row 3.
    Bytes palExpected = Repeat(12, Bytes{0, 255, 0, 255});
    const Bytes clear = Repeat(4, Bytes{0, 0, 0, 0});
    palExpected.insert(palExpected.end(), clear.begin(), clear.end());
    EXPECT_EQ(ReadBackRGBA(pack.TexIds[2], 4, 4), palExpected);

    // A second load deletes the first load's textures.
    const std::vector<uint32_t> old = pack.TexIds;
    dialogs.openAnswers.push_back(path);
    w.BinPages->Button5Click();
    ASSERT_TRUE(w.DisplayPage->MakeCurrent());
    for (uint32_t t : old)
        EXPECT_FALSE(glIsTexture(t) && std::find(w.WorldData->Packs[0].TexIds.begin(),
                                                 w.WorldData->Packs[0].TexIds.end(), t) ==
                                           w.WorldData->Packs[0].TexIds.end());
    w.FormClose();
}
