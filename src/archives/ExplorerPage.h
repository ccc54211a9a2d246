// The "Resource file explorer" page: open an archive, list its entries, extract them.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class TTarvesh;
class TBF;
class QWidget;
class QLineEdit;
class QPushButton;
class QPlainTextEdit;
class QProgressBar;
class QListWidget;
class QMenu;
class QAction;

class TExplorerPage : public QObject {
    Q_OBJECT
public:
    TExplorerPage(TTarvesh& window, QWidget* page);

    void Button1Click();
    void OpenResourceFile(const std::string& fileName);
    void Button2Click();
    void ExtractAllFiles();
    void Selectall1Click();
    void Unselectall1Click();
    void Invertselection1Click();
    void Find1Click();

    // True while an extraction run lets pending messages run; Open and Extract are refused then.
    bool Running() const { return running_; }

    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QListWidget* FileList = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Selectall1 = nullptr;
    QAction* Unselectall1 = nullptr;
    QAction* Invertselection1 = nullptr;
    QAction* Find1 = nullptr;

private:
    class RunGuard;
    // Extraction loop over `count` indices; `selectedOnly` tests the list line of each index first.
    void ExtractRun(int count, bool selectedOnly);
    bool LineSelected(int row);
    // One flag per line of FileList: selected or not (a snapshot, taken again after each change).
    const std::vector<char>& SelectedRows();
    // Makes the selection exactly the lines whose flag is set.
    void SelectRows(const std::vector<char>& want);
    void Log(const std::string& line);
    // Runs a command from a control; an error that ends it is shown in the error box.
    void Guarded(const std::function<void()>& command);

    TTarvesh& window_;
    bool running_ = false;
    std::vector<std::string> lines_;  // FileList's lines (UTF-8), for Find
    std::vector<char> selected_;      // selection snapshot, rebuilt after each change
    bool selectionDirty_ = true;
};
