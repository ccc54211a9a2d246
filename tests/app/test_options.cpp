#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QTest>
#include <fstream>

#include "support/TestApp.h"
#include "XdgHome.h"
#include "app/FileAssociation.h"
#include "app/OptionsPage.h"
#include "app/Tmox.h"
#include "platform/Settings.h"

namespace fs = std::filesystem;

namespace {

const char* const kDebugItems[] = {"List1", "Inspect1", "Extractdata1", "est1"};

// The window with stand-ins for debug controls that no page has built yet.
struct Window {
    TTarveshApplication& app = App();
    ScriptedDialogs dialogs;
    TTarvesh w{dialogs};
    Window()
    {
        app.SetDialogs(&dialogs);
        for (const char* name : kDebugItems)
            if (!w.findChild<QAction*>(name)) {
                auto* a = new QAction(name, &w);
                a->setObjectName(name);
                a->setVisible(false);
            }
        if (!w.findChild<QWidget*>("Button3")) {
            auto* b = new QPushButton("Open...", w.Expander);
            b->setObjectName("Button3");
        }
    }
    ~Window() { app.SetDialogs(nullptr); }
    TOptionsPage& Options() { return *w.OptionsPage; }
    bool UnpackerTab() { return w.PageControl1->isTabVisible(w.PageControl1->indexOf(w.Expander)); }
    bool Button3() { return !w.findChild<QWidget*>("Button3")->isHidden(); }
    int ItemsShown()
    {
        int n = 0;
        for (const char* name : kDebugItems)
            n += w.findChild<QAction*>(name)->isVisible() ? 1 : 0;
        return n;
    }
};

TRegistry OptionsKey()
{
    TRegistry reg;
    reg.OpenKey(std::string("\\") + kOptionsKey, true);
    return reg;
}

std::string ReadText(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(OptionsPage, FirstStartKeepsTheDesignDefaults)
{
    XdgHome home;
    Window win;
    win.w.FormCreate({});
    auto& o = win.Options();
    EXPECT_TRUE(win.UnpackerTab());
    EXPECT_TRUE(win.Button3());
    EXPECT_EQ(win.ItemsShown(), 0);
    EXPECT_FALSE(o.CheckBox2->isChecked());
    EXPECT_EQ(o.CheckBox2->text(), "Assign Tarvesh Mox to all known file types");
    EXPECT_EQ(o.RadioGroup1->checkedId(), 0);
    EXPECT_EQ(o.RadioGroup1->button(1)->text(), "Convert to OGG");
    EXPECT_EQ(o.ScrollBar1->value(), 100);
    EXPECT_EQ(o.ScrollBar1->maximum(), 1000);
    EXPECT_EQ(o.Label1->text(), "1.00");
    for (QCheckBox* b : {o.CheckBox4, o.CheckBox5, o.CheckBox6, o.CheckBox14, o.CheckBox7})
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    EXPECT_EQ(o.RadioGroup2->checkedId(), 0);
    EXPECT_EQ(o.RadioGroup2->button(1)->text(), "3DS");
    EXPECT_FALSE(fs::exists(home.UserFile())); // reading creates nothing
    EXPECT_FALSE(fs::exists(home.ClassesFile()));
}

TEST(OptionsPage, DebugValueOfAnyTypeShowsTheSixDebugControls)
{
    XdgHome home;
    {
        TRegistry reg = OptionsKey();
        reg.WriteString("debug", "whatever");
    }
    Window win;
    win.w.FormCreate({});
    EXPECT_TRUE(win.UnpackerTab());
    EXPECT_TRUE(win.Button3());
    EXPECT_EQ(win.ItemsShown(), 4);
    EXPECT_TRUE(win.w.frontend().Option(OptionId::Debug));
}

TEST(OptionsPage, KeyWithoutDebugHidesTheUnpackerAndDebugItems)
{
    XdgHome home;
    OptionsKey();
    Window win;
    win.w.FormCreate({});
    EXPECT_FALSE(win.UnpackerTab());
    EXPECT_FALSE(win.Button3());
    EXPECT_EQ(win.ItemsShown(), 0);
    EXPECT_FALSE(win.w.frontend().Option(OptionId::Debug));
}

TEST(OptionsPage, OptionsSurviveARestartAndDebugIsNeverWritten)
{
    XdgHome home;
    {
        Window win;
        win.w.FormCreate({});
        auto& o = win.Options();
        o.CheckBox4->setChecked(true);
        o.CheckBox6->setChecked(true);
        o.CheckBox7->setChecked(true);
        TOptionsPage::SetItemIndex(o.RadioGroup1, 1);
        TOptionsPage::SetItemIndex(o.RadioGroup2, 1); // not stored
        o.ScrollBar1->setValue(57);
        EXPECT_EQ(o.Label1->text(), "0.57");
        win.w.close();
    }
    const std::string text = ReadText(home.UserFile());
    EXPECT_EQ(text.find("Debug"), std::string::npos);
    for (const char* name : {"AssignFiles", "OggQuality", "ConvertFormat", "LoadTextures", "WriteOBJ", "ClearPrevious",
                             "Legacy3DS", "Legacy3DSTextures"})
        EXPECT_NE(text.find(std::string("\"") + name + "\"=dword:"), std::string::npos) << name;
    // The order of writing.
    EXPECT_LT(text.find("AssignFiles"), text.find("OggQuality"));
    EXPECT_LT(text.find("OggQuality"), text.find("ConvertFormat"));
    EXPECT_LT(text.find("ClearPrevious"), text.find("Legacy3DSTextures"));

    {
        TRegistry reg = OptionsKey();
        reg.WriteInteger("Debug", 0); // mere presence
    }
    Window win;
    win.w.FormCreate({});
    auto& o = win.Options();
    EXPECT_TRUE(o.CheckBox4->isChecked());
    EXPECT_FALSE(o.CheckBox5->isChecked());
    EXPECT_TRUE(o.CheckBox6->isChecked());
    EXPECT_FALSE(o.CheckBox14->isChecked());
    EXPECT_TRUE(o.CheckBox7->isChecked());
    EXPECT_EQ(o.RadioGroup1->checkedId(), 1);
    EXPECT_EQ(o.RadioGroup2->checkedId(), 0);
    EXPECT_EQ(o.ScrollBar1->value(), 57);
    EXPECT_EQ(o.Label1->text(), "0.57");
    EXPECT_EQ(win.w.frontend().Option(OptionId::OggQuality), 57);
    EXPECT_EQ(win.w.frontend().Option(OptionId::ConvertFormat), 1);
    EXPECT_EQ(win.ItemsShown(), 4);
    win.w.close();
    TRegistry reg = OptionsKey();
    EXPECT_TRUE(reg.ValueExists("Debug")); // never removed either
}

TEST(OptionsPage, StoredValuesOutOfRangeAreHeld)
{
    XdgHome home;
    {
        TRegistry reg = OptionsKey();
        reg.WriteInteger("OggQuality", 1234);
        reg.WriteInteger("ConvertFormat", 5);
    }
    {
        Window win;
        win.w.FormCreate({});
        EXPECT_EQ(win.Options().ScrollBar1->value(), 1000);
        EXPECT_EQ(win.Options().Label1->text(), "10.00");
        EXPECT_EQ(win.Options().RadioGroup1->checkedId(), 1);
    }
    {
        TRegistry reg = OptionsKey();
        reg.WriteInteger("OggQuality", 250);
        reg.WriteInteger("ConvertFormat", -3);
    }
    Window win;
    win.w.FormCreate({});
    EXPECT_EQ(win.Options().Label1->text(), "2.50");
    EXPECT_EQ(win.Options().RadioGroup1->checkedId(), -1);
    EXPECT_EQ(win.w.frontend().Option(OptionId::ConvertFormat), -1);
    win.w.close();
    EXPECT_EQ(OptionsKey().ReadInteger("ConvertFormat"), -1);
}

TEST(OptionsPage, QualityLabelHasTwoSignificantDigitsAndTwoDecimals)
{
    const std::pair<int, const char*> cases[] = {{100, "1.00"}, {57, "0.57"}, {5, "0.05"},    {0, "0.00"},
                                                 {123, "1.20"}, {155, "1.60"}, {999, "10.00"}, {1000, "10.00"},
                                                 {994, "9.90"}, {10, "0.10"},  {250, "2.50"}};
    for (auto [pos, text] : cases)
        EXPECT_EQ(OggQualityText(pos), text) << pos;
}

// Clicks on the quality bar as the user makes them: in the trough on either side of the thumb, and on the arrows.
TEST(OptionsPage, QualityBarTroughAndArrowsMoveByOne)
{
    XdgHome home;
    Window win;
    win.w.FormCreate({});
    win.w.show();
    win.w.PageControl1->setCurrentWidget(win.w.TabSheet4);
    QScrollBar* bar = win.Options().ScrollBar1;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&win.w));
    auto part = [bar](QStyle::SubControl sc) {
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = bar->orientation();
        opt.minimum = bar->minimum();
        opt.maximum = bar->maximum();
        opt.sliderPosition = bar->sliderPosition();
        opt.sliderValue = bar->value();
        opt.singleStep = bar->singleStep();
        opt.pageStep = bar->pageStep();
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, sc, bar);
    };
    auto click = [&](QPoint at) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        return bar->value();
    };
    const QRect thumb = part(QStyle::SC_ScrollBarSlider);
    EXPECT_EQ(click(QPoint(thumb.right() + 40, thumb.center().y())), 101); // trough after the thumb
    EXPECT_EQ(click(QPoint(part(QStyle::SC_ScrollBarSlider).left() - 4, thumb.center().y())), 100);
    EXPECT_EQ(click(part(QStyle::SC_ScrollBarAddLine).center()), 101);
    EXPECT_EQ(click(part(QStyle::SC_ScrollBarSubLine).center()), 100);
    EXPECT_EQ(win.Options().Label1->text(), "1.00");
    win.w.close();
    EXPECT_EQ(OptionsKey().ReadInteger("OggQuality"), 100);
}

TEST(OptionsPage, StoredValueOfAnotherTypeStopsTheReadingThere)
{
    XdgHome home;
    {
        TRegistry reg = OptionsKey();
        reg.WriteInteger("LoadTextures", 1);
        reg.WriteString("WriteOBJ", "1");
        reg.WriteInteger("ClearPrevious", 1);
    }
    Window win;
    EXPECT_THROW(win.w.FormCreate({}), ERegistryException);
    EXPECT_TRUE(win.Options().CheckBox4->isChecked());
    EXPECT_FALSE(win.Options().CheckBox6->isChecked()); // later values stay unread
}

TEST(OptionsPage, StoredAssignFilesRegistersTheTypesAtStart)
{
    XdgHome home;
    {
        TRegistry reg = OptionsKey();
        reg.WriteBool("AssignFiles", true);
    }
    Window win;
    win.w.FormCreate({});
    EXPECT_TRUE(win.Options().CheckBox2->isChecked());
    TRegistry classes(TRootKey::ClassesRoot);
    ASSERT_TRUE(classes.OpenKey("\\GameDataFile\\shell\\Tarvesh Mox\\command", false));
    const std::string exe = (RunningProgramFolder() / "TarveshMox").string();
    EXPECT_EQ(classes.ReadString(""), "\"" + exe + "\" \"%1\"");
    EXPECT_TRUE(fs::exists(home.Data() / "applications" / "tarveshmox.desktop"));
    EXPECT_TRUE(fs::exists(home.Data() / "mime" / "packages" / "tarveshmox.xml"));
}

TEST(OptionsPage, ClickingTheBoxRegistersAndUnclickingRemoves)
{
    XdgHome home;
    Window win;
    win.w.FormCreate({});
    win.w.PageControl1->setCurrentWidget(win.w.TabSheet4);
    win.w.show();
    QCheckBox* box = win.Options().CheckBox2;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    ASSERT_TRUE(box->isChecked());
    EXPECT_TRUE(fs::exists(home.Data() / "applications" / "tarveshmox.desktop"));
    EXPECT_TRUE(TRegistry(TRootKey::ClassesRoot).KeyExists("\\.sb0"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    ASSERT_FALSE(box->isChecked());
    EXPECT_FALSE(fs::exists(home.Data() / "applications" / "tarveshmox.desktop"));
    EXPECT_FALSE(fs::exists(home.Data() / "mime" / "packages" / "tarveshmox.xml"));
    TRegistry classes(TRootKey::ClassesRoot);
    EXPECT_FALSE(classes.KeyExists("\\.sb0"));
    EXPECT_FALSE(classes.KeyExists("\\GameDataFile"));
    EXPECT_TRUE(win.dialogs.errors.empty());
}

TEST(OptionsPage, AssociationThatCannotBeWrittenEndsInTheErrorBox)
{
    XdgHome home;
    fs::create_directories(home.Config());
    std::ofstream(home.Config() / "tarveshmox") << "a file where the folder should be";
    Window win;
    win.w.FormCreate({});
    win.w.PageControl1->setCurrentWidget(win.w.TabSheet4);
    win.w.show();
    QCheckBox* box = win.Options().CheckBox2;
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    ASSERT_EQ(win.dialogs.errors.size(), 1u);
    EXPECT_NE(win.dialogs.errors[0].find("tarveshmox"), std::string::npos) << win.dialogs.errors[0];
    EXPECT_TRUE(win.w.isVisible());
    // Closing cannot store the options either: the error is shown and the window still closes.
    win.w.close();
    EXPECT_EQ(win.dialogs.errors.size(), 2u);
    EXPECT_FALSE(win.w.isVisible());
}
