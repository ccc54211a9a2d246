// The "Options" page: the options that steer the other pages, kept in the settings store, the debug switch
// and the file-type association.
#pragma once

#include <QObject>
#include <string>

class TTarvesh;
class QWidget;
class QCheckBox;
class QButtonGroup;
class QGroupBox;
class QScrollBar;
class QLabel;
class TRegistry;

extern const char* const kOptionsKey; // "Software\Dornvale\Tarvesh Mox"

// The quality label for a quality bar position: position / 100 to 2 significant digits, 2 decimals, '.'.
std::string OggQualityText(int position);

class TOptionsPage : public QObject {
    Q_OBJECT
public:
    TOptionsPage(TTarvesh& window, QWidget* page);

    // Start: the debug switch by the presence of Debug, then each stored value into its control, in order.
    // Setting a control has the effect of the user's change. Registry errors are raised.
    void ReadOptions();
    void ReadOptions(TRegistry& reg);
    // Close: every option but Debug, creating the key.
    void WriteOptions();
    void WriteOptions(TRegistry& reg);
    // Visibility of the debug controls (the unpacker tab, its "Open..." button, four popup items).
    void ApplyDebugSwitch(bool on);

    // Registers the file types when checked, removes the registration when unchecked. Raises registry errors.
    void CheckBox2Click();
    void ScrollBar1Change();

    // A radio group's selected item, -1 for none.
    static void SetItemIndex(QButtonGroup* group, int index);

    QCheckBox* CheckBox2 = nullptr;
    QGroupBox* RadioGroup1Box = nullptr;
    QButtonGroup* RadioGroup1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QCheckBox* CheckBox6 = nullptr;
    QCheckBox* CheckBox14 = nullptr;
    QGroupBox* RadioGroup2Box = nullptr;
    QButtonGroup* RadioGroup2 = nullptr;
    QCheckBox* CheckBox7 = nullptr;

private:
    TTarvesh& window_;
};
