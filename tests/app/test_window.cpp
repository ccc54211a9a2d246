#include <gtest/gtest.h>

#include <QApplication>
#include <QTabWidget>

#include "app/Tmox.h"

namespace {
int argc = 1;
char arg0[] = "tests_app";
char* argv[] = {arg0, nullptr};
QApplication& App()
{
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
} // namespace

TEST(MainWindow, FivePagesAndVersionCaption)
{
    App();
    ScriptedDialogs dialogs;
    TTarvesh w(dialogs);
    w.FormCreate({});
    ASSERT_EQ(w.PageControl1->count(), 5);
    EXPECT_EQ(w.PageControl1->tabText(0), "Resource file explorer");
    EXPECT_EQ(w.PageControl1->tabText(1), "Bin unpacker");
    EXPECT_EQ(w.PageControl1->tabText(2), "Bin analyzer");
    EXPECT_EQ(w.PageControl1->tabText(3), "Options");
    EXPECT_EQ(w.PageControl1->tabText(4), "Display");
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    EXPECT_TRUE(w.windowTitle().startsWith(QString("Tarvesh Mox ") + kVersionText)) << w.windowTitle().toStdString();
    EXPECT_EQ(w.size(), QSize(592, 398));
}
