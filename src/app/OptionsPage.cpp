#include "app/OptionsPage.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <algorithm>

#include "app/Application.h"
#include "app/FileAssociation.h"
#include "app/Tmox.h"
#include "platform/Settings.h"

const char* const kOptionsKey = "Software\\Dornvale\\Tarvesh Mox";

std::string OggQualityText(int position)
{
    // position / 100 in hundredths, rounded half up to two significant digits.
    int hundredths = std::max(position, 0);
    int unit = 1;
    for (int v = hundredths; v >= 100; v /= 10)
        unit *= 10;
    hundredths = (hundredths + unit / 2) / unit * unit;
    const int frac = hundredths % 100;
    return std::to_string(hundredths / 100) + "." + (frac < 10 ? "0" : "") + std::to_string(frac);
}

namespace {

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* caption, int x, int y, int w)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(x, y, w, 20);
    return box;
}

// A radio group: a titled box holding radio buttons laid out in columns, ids = item indexes.
QButtonGroup* MakeRadioGroup(QWidget* parent, QGroupBox*& box, const char* name, const char* caption,
                             const QStringList& items, int columns, QRect rect)
{
    box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(rect);
    auto* group = new QButtonGroup(box);
    group->setObjectName(name);
    const int colWidth = (rect.width() - 16) / columns;
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], box);
        b->setGeometry(8 + (i / rows) * colWidth, 26 + (i % rows) * 22, colWidth, 20);
        group->addButton(b, i);
    }
    return group;
}

} // namespace

TOptionsPage::TOptionsPage(TTarvesh& window, QWidget* page) : window_(window)
{
    CheckBox2 = MakeCheckBox(page, "CheckBox2", "Assign Tarvesh Mox to all known file types", 16, 12, 400);

    RadioGroup1 = MakeRadioGroup(page, RadioGroup1Box, "RadioGroup1", " Audio output format ",
                                 {"Keep 16-bit PCM", "Convert to OGG"}, 1, QRect(16, 40, 200, 80));
    SetItemIndex(RadioGroup1, 0);

    GroupBox1 = new QGroupBox(" OGG Quality setting ", page);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(232, 40, 336, 80);
    ScrollBar1 = new QScrollBar(Qt::Horizontal, GroupBox1);
    ScrollBar1->setObjectName("ScrollBar1");
    ScrollBar1->setGeometry(12, 40, 256, 17);
    ScrollBar1->setRange(0, 1000);
    ScrollBar1->setPageStep(1); // the thumb's size, and what a click in the trough moves
    ScrollBar1->setValue(100);
    Label1 = new QLabel("1.00", GroupBox1);
    Label1->setObjectName("Label1");
    Label1->setGeometry(276, 40, 48, 17);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    CheckBox4 = MakeCheckBox(page, "CheckBox4", "Load textures", 16, 136, 200);
    CheckBox5 = MakeCheckBox(page, "CheckBox5", "Write 3D models", 16, 160, 200);
    CheckBox6 = MakeCheckBox(page, "CheckBox6", "Clear previous", 16, 184, 200);
    CheckBox14 = MakeCheckBox(page, "CheckBox14", "Legacy 3DS", 16, 208, 200);
    RadioGroup2 = MakeRadioGroup(page, RadioGroup2Box, "RadioGroup2", " Model format ", {"OBJ", "3DS"}, 3,
                                 QRect(232, 136, 336, 56));
    SetItemIndex(RadioGroup2, 0);
    CheckBox7 = MakeCheckBox(page, "CheckBox7", "Export legacy ready texes", 16, 232, 200);

    // A change made by the user ends in the error box when the association cannot be written.
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { RunCommand([this] { CheckBox2Click(); }); });
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] { ScrollBar1Change(); });
}

void TOptionsPage::SetItemIndex(QButtonGroup* group, int index)
{
    if (QAbstractButton* b = group->button(index)) {
        b->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

void TOptionsPage::ScrollBar1Change() { Label1->setText(QString::fromStdString(OggQualityText(ScrollBar1->value()))); }

void TOptionsPage::CheckBox2Click()
{
    TRegistry classes(TRootKey::ClassesRoot);
    TFileAssociation assoc{classes, RunningProgramFolder(), DataHome()};
    if (CheckBox2->isChecked())
        assoc.Register();
    else
        assoc.Unregister();
}

void TOptionsPage::ApplyDebugSwitch(bool on)
{
    window_.setProperty("DebugSwitch", on);
    if (QTabWidget* tabs = window_.PageControl1) {
        const int index = tabs->indexOf(window_.Expander);
        if (index >= 0)
            tabs->setTabVisible(index, on);
    }
    for (const char* name : {"List1", "Inspect1", "Extractdata1", "est1"})
        if (auto* action = window_.findChild<QAction*>(name))
            action->setVisible(on);
    if (auto* button = window_.findChild<QWidget*>("Button3"))
        button->setVisible(on);
}

void TOptionsPage::ReadOptions()
{
    TRegistry reg(TRootKey::CurrentUser);
    ReadOptions(reg);
}

void TOptionsPage::ReadOptions(TRegistry& reg)
{
    if (!reg.OpenKey(std::string("\\") + kOptionsKey, false))
        return;
    ApplyDebugSwitch(reg.ValueExists("Debug"));

    // Check boxes: a change runs the box's own effect, as the user's click would.
    auto setBox = [](QCheckBox* box, bool value) {
        if (box->isChecked() == value)
            return false;
        const QSignalBlocker block(box);
        box->setChecked(value);
        return true;
    };
    if (reg.ValueExists("LoadTextures"))
        setBox(CheckBox4, reg.ReadBool("LoadTextures"));
    if (reg.ValueExists("WriteOBJ"))
        setBox(CheckBox5, reg.ReadBool("WriteOBJ"));
    if (reg.ValueExists("AssignFiles") && setBox(CheckBox2, reg.ReadBool("AssignFiles")))
        CheckBox2Click();
    if (reg.ValueExists("ConvertFormat"))
        SetItemIndex(RadioGroup1, std::clamp(reg.ReadInteger("ConvertFormat"), -1, 1));
    if (reg.ValueExists("OggQuality"))
        ScrollBar1->setValue(std::clamp(reg.ReadInteger("OggQuality"), 0, 1000));
    if (reg.ValueExists("ClearPrevious"))
        setBox(CheckBox6, reg.ReadBool("ClearPrevious"));
    if (reg.ValueExists("Legacy3DS"))
        setBox(CheckBox14, reg.ReadBool("Legacy3DS"));
    if (reg.ValueExists("Legacy3DSTextures"))
        setBox(CheckBox7, reg.ReadBool("Legacy3DSTextures"));
    reg.CloseKey();
}

void TOptionsPage::WriteOptions()
{
    TRegistry reg(TRootKey::CurrentUser);
    WriteOptions(reg);
}

void TOptionsPage::WriteOptions(TRegistry& reg)
{
    reg.OpenKey(std::string("\\") + kOptionsKey, true);
    reg.WriteBool("AssignFiles", CheckBox2->isChecked());
    reg.WriteInteger("OggQuality", ScrollBar1->value());
    reg.WriteInteger("ConvertFormat", RadioGroup1->checkedId());
    reg.WriteBool("LoadTextures", CheckBox4->isChecked());
    reg.WriteBool("WriteOBJ", CheckBox5->isChecked());
    reg.WriteBool("ClearPrevious", CheckBox6->isChecked());
    reg.WriteBool("Legacy3DS", CheckBox14->isChecked());
    reg.WriteBool("Legacy3DSTextures", CheckBox7->isChecked());
    reg.CloseKey();
}
