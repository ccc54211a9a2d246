#include <gtest/gtest.h>

#include <QApplication>
#include <QListView>
#include <QPlainTextEdit>
#include <QTabWidget>

#include "app/Tmox.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "support/BinWriter.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace {

std::vector<std::string> Lines(QPlainTextEdit* m)
{
    std::vector<std::string> out;
    if (m->toPlainText().isEmpty())
        return out;
    for (const QString& s : m->toPlainText().split('\n'))
        out.push_back(s.toStdString());
    return out;
}

struct Inspector {
    TempDir dir;
    ScriptedDialogs dialogs;
    TTarvesh w{(App(), dialogs)};
    TBinPages& p;

    explicit Inspector(const std::vector<BinBlockSpec>& blocks) : p(*w.BinPages)
    {
        w.FormCreate({});
        WriteFileBytes(dir.file("level.binexpanded"), ExpandedBin(blocks));
        dialogs.openAnswers.push_back(dir.file("level.binexpanded"));
        p.Button5Click();
        p.Memo2->clear();
        p.Memo3->clear();
    }
    void Select(std::initializer_list<int> rows)
    {
        p.ListBox1->clearSelection();
        for (int r : rows)
            p.ListBox1->selectionModel()->select(p.ListModel->index(r), QItemSelectionModel::Select);
    }
};

GameObjectSpec Chair()
{
    GameObjectSpec go;
    go.name = "Chair";
    go.version = 0xFFFFFFFF;
    for (int i = 0; i < 16; ++i)
        go.matrix[i] = 0;
    go.matrix[0] = 1.5f;
    go.matrix[12] = 123.456789f;
    go.matrix[13] = -2;
    go.matrix[14] = 1234567.0f;
    go.geoKey = 0x2001;
    go.packKey = 0x2002;
    return go;
}

} // namespace

TEST(Inspect, ReportsOfEveryKind)
{
    Bytes wow = WowData("Town");
    wow.resize(100);
    GameObjectSpec tiny;
    tiny.name = "X";
    Bytes shortGo = GameObjectData(tiny);
    shortGo.resize(2 + 150); // exactly L + 150 bytes
    // Keys that name no block: the byte scan finds nothing and leaves the u32 at Size - 5 (L = 4, e = 1, Size 166).
    GameObjectSpec lost;
    lost.name = "abc";
    lost.entry = 1;
    lost.entryKeys[1][0] = 0xAAAA0001;
    lost.entryKeys[1][1] = 0x9997;
    lost.geoKey = 0x9999;
    lost.extra = 8;
    Bytes lostGo = GameObjectData(lost);
    ASSERT_EQ(lostGo.size(), 166u);
    SetU32(lostGo, 161, 0xBCDEF012);
    Inspector t({{0x2000, GameObjectData(Chair())}, {0x2001, GeometryData()}, {0x2002, TexturePackData({})},
        {0x2003, wow}, {0x2004, TextureData()}, {0x2005, TextureInfoData(1)}, {0x2006, PaletteData()},
        {0x2007, {}}, {0x2008, shortGo}, {0x2009, lostGo}, {TerminatorKey, TerminatorData()}});
    t.w.PageControl1->setCurrentIndex(2);
    t.p.Memo2->appendPlainText("kept");
    t.Select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    t.p.Inspect1Click();
    EXPECT_EQ(t.w.PageControl1->currentWidget(), t.w.Expander);
    const std::vector<std::string> expect = {"kept",
        "", "[00002000] - GAO", "Model name : Chair", "Version    : -1", "3D Data    : 00002001",
        "Texture    : 00002002", "Matrix line 1 : 1.500000 0.000000 0.000000 0.000000",
        "Matrix line 2 : 0.000000 0.000000 0.000000 0.000000",
        "Matrix line 3 : 0.000000 0.000000 0.000000 0.000000",
        "Matrix line 4 : 123.457000 -2.000000 1.23457E6 0.000000",
        "", "3D DATA",
        "", "[00002002] - Texture pack", "# textures : 0",
        "", "[3] - .wow", "Name : Town", "First block : 11223344",
        "Matrix line 1 : 0.500000 1.500000 2.500000 3.500000",
        "Matrix line 2 : 4.500000 5.500000 0.000000 0.000000",
        "Matrix line 3 : 0.000000 0.000000 0.000000 0.000000",
        "Matrix line 4 : 0.000000 0.000000 0.000000 0.000000",
        "Sixvalue : 0", "Thefloat : 0.000000", "Zero 1 : 0", "Zero 2 : 0",
        "Ident 1 : 00000000", "Ident 2 : 00000000", "Ident 3 : 00000000", "Ident 4 : 00000000",
        "Ident 5 : 00000000",
        "", "[00002004] - UNKNOWN", "", "[00002005] - UNKNOWN", "", "[00002006] - UNKNOWN",
        "", "[00002007] - UNKNOWN",
        "", // the short Game Object: the empty line alone
        "", "[00002009] - GAO", "Model name : abc", "Version    : 3", "3D Data    : BCDEF012",
        "Texture    : 00009997", "Matrix line 1 : 1.000000 0.000000 0.000000 0.000000",
        "Matrix line 2 : 0.000000 1.000000 0.000000 0.000000",
        "Matrix line 3 : 0.000000 0.000000 1.000000 0.000000",
        "Matrix line 4 : 0.000000 0.000000 0.000000 1.000000",
        "", "[0FF7C0DE] - UNKNOWN"};
    EXPECT_EQ(Lines(t.p.Memo2), expect);
    EXPECT_EQ(Lines(t.p.Memo3), (std::vector<std::string>{"No useful data."}));
    // The Game Object named its 3D object data block and set the version.
    EXPECT_EQ(t.w.BinFile->Blocks[1].Name, "Chair");
    // The last Game Object's version is the one kept.
    EXPECT_EQ(t.w.BinFile->Version, 3u);
    // Nothing was loaded.
    EXPECT_EQ(t.w.WorldData->ModelCount, 0);
}

TEST(Inspect, RunsAppendAndSkipLinesWithoutBlocks)
{
    Inspector t({{0x2001, GeometryData()}, {0x2002, TexturePackData({0x7})}, {TerminatorKey, TerminatorData()}});
    t.p.Memo2->appendPlainText("start");
    t.Select({1, 0});
    t.p.Inspect1Click();
    t.p.Inspect1Click();
    const std::vector<std::string> once = {"", "3D DATA", "", "[00002002] - Texture pack", "# textures : 1",
        "[0] : 00000007"};
    std::vector<std::string> twice = {"start"};
    twice.insert(twice.end(), once.begin(), once.end());
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(Lines(t.p.Memo2), twice);

    // After a failed load the list keeps lines that name no block: they are passed over.
    WriteFileBytes(t.dir.file("junk"), Bytes(30, 1));
    t.dialogs.openAnswers.push_back(t.dir.file("junk"));
    t.p.Button5Click();
    t.p.Memo2->clear();
    t.Select({0, 1, 2});
    t.p.Inspect1Click();
    t.p.est1Click();
    EXPECT_TRUE(Lines(t.p.Memo2).empty());
}

TEST(TestActors, OnlyGameObjectsReachTheActorLoader)
{
    GameObjectSpec lost = Chair();
    lost.geoKey = 0x9999; // names no block, nor do the key entries
    lost.packKey = 0x9997;
    lost.entryKeys[0][0] = 0x9998;
    Inspector t({{0x2000, GameObjectData(lost)}, {0x2001, GeometryData()}, {0x2002, TexturePackData({})},
        {TerminatorKey, TerminatorData()}});
    t.p.Memo2->appendPlainText("before");
    t.Select({1, 2, 3});
    t.p.est1Click();
    EXPECT_EQ(Lines(t.p.Memo2), (std::vector<std::string>{"before"}));
    EXPECT_TRUE(Lines(t.p.Memo3).empty());

    // A Game Object whose keys name no block: the loader empties Memo2 and rejects the index.
    t.w.PageControl1->setCurrentIndex(2);
    t.Select({0});
    t.p.est1Click();
    EXPECT_TRUE(Lines(t.p.Memo2).empty());
    EXPECT_EQ(Lines(t.p.Memo3), (std::vector<std::string>{"No data."}));
    EXPECT_EQ(t.w.PageControl1->currentIndex(), 2);
}

TEST(TestActors, PlainMeshIsRejectedByTheActorLoader)
{
    Inspector t({{0x2000, GameObjectData(Chair())}, {0x2001, GeometryData(256)}, {0x2002, TexturePackData({})},
        {TerminatorKey, TerminatorData()}});
    t.w.WorldData->Loaded = true;
    t.Select({0});
    t.p.est1Click();
    EXPECT_EQ(t.w.BinFile->Blocks[1].Name, "Chair");
    EXPECT_FALSE(t.w.WorldData->Loaded);
    EXPECT_EQ(t.w.WorldData->ModelCount, 0);
    ASSERT_FALSE(Lines(t.p.Memo3).empty());
    EXPECT_EQ(Lines(t.p.Memo3).back().rfind("Unexpected code for ", 0), 0u) << Lines(t.p.Memo3).back();
}
