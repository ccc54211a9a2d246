// The "Bin unpacker" and "Bin analyzer" pages: their controls and commands.
#pragma once

#include <QAbstractListModel>
#include <QObject>
#include <vector>

#include "bin/TBinFile.h"

class TTarvesh;
class QWidget;
class QPushButton;
class QPlainTextEdit;
class QListView;
class QLabel;
class QMenu;
class QAction;

// The analyzer's block list: line i stands for block i.
class TBlockListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Replaces every line.
    void SetLines(TListLines lines);
    const TListLines& Lines() const { return lines_; }

private:
    TListLines lines_;
};

class TBinPages : public QObject {
    Q_OBJECT
public:
    TBinPages(TTarvesh& window, QWidget* unpackerPage, QWidget* analyzerPage);

    // "Bin unpacker"
    QPushButton* Button3 = nullptr; // "Open..."
    QPlainTextEdit* Memo2 = nullptr;
    // "Bin analyzer"
    QPushButton* Button5 = nullptr; // "Analyze"
    QListView* ListBox1 = nullptr;
    TBlockListModel* ListModel = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Button19 = nullptr; // "Textures"
    QPushButton* Button20 = nullptr; // "Objects"
    QPlainTextEdit* Memo3 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Extract1 = nullptr;     // "View/Extract"
    QAction* Find2 = nullptr;        // "Find..."
    QAction* List1 = nullptr;        // "Save list..."
    QAction* Inspect1 = nullptr;     // "Inspect"
    QAction* est1 = nullptr;         // "Test actors"
    QAction* Extractdata1 = nullptr; // "Extract data"

    void Button3Click();
    void Button5Click();
    void Button19Click();
    void Button20Click();
    void Extract1Click();
    void Find2Click();
    void List1Click();
    void Extractdata1Click();
    void Inspect1Click();
    void est1Click();

    // Indexes of the selected lines, in increasing order.
    std::vector<int> SelectedLines() const;
    // True while Analyze is loading a file (the pages' commands are disabled then).
    bool Loading() const { return loading_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildUnpacker(QWidget* page);
    void BuildAnalyzer(QWidget* page);
    void SetCommandsEnabled(bool enabled);
    void Log(const std::string& line);
    TBinFile* Bin();

    TTarvesh& window_;
    bool loading_ = false;
    bool closePending_ = false;
};
