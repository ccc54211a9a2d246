#include "archives/ExplorerPage.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <QVBoxLayout>
#include <exception>

#include "app/ListPopup.h"
#include "app/LogBox.h"
#include "app/Tmox.h"
#include "archives/TBF.h"
#include "platform/Frontend.h"
#include "platform/Paths.h"

namespace {

const char* const kOpenFilter = "All recognised file types|*.bf;*.fat;*.sb0|FAT files|*.fat|BIG files|*.bf|SB0 files|*.sb0";

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// Ranges of consecutive rows for which `match` holds.
template <typename Pred>
QItemSelection RowRuns(QAbstractItemModel* model, int rows, Pred match)
{
    QItemSelection sel;
    int start = -1;
    for (int i = 0; i <= rows; ++i) {
        const bool m = i < rows && match(i);
        if (m && start < 0)
            start = i;
        else if (!m && start >= 0) {
            // A run of one row holds one persistent index, not two.
            sel.append(start == i - 1 ? QItemSelectionRange(model->index(start, 0))
                                      : QItemSelectionRange(model->index(start, 0), model->index(i - 1, 0)));
            start = -1;
        }
    }
    return sel;
}

// A progress bar whose empty range (an archive without entries) shows an empty bar, not a busy indicator.
class TProgressBar : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionProgressBar option;
        initStyleOption(&option);
        if (option.minimum == option.maximum) {
            option.maximum = option.minimum + 1;
            option.progress = option.minimum;
        }
        painter.drawControl(QStyle::CE_ProgressBar, option);
    }
};

} // namespace

// Marks an extraction run: Open and Extract are disabled and refused until it ends.
class TExplorerPage::RunGuard {
public:
    explicit RunGuard(TExplorerPage& p) : p_(p), b1_(p.Button1->isEnabled()), b2_(p.Button2->isEnabled())
    {
        p_.running_ = true;
        p_.Button1->setEnabled(false);
        p_.Button2->setEnabled(false);
    }
    ~RunGuard()
    {
        p_.running_ = false;
        p_.Button1->setEnabled(b1_);
        p_.Button2->setEnabled(b2_);
    }

private:
    TExplorerPage& p_;
    bool b1_, b2_;
};

TExplorerPage::TExplorerPage(TTarvesh& window, QWidget* page) : window_(window)
{
    Edit1 = new QLineEdit(page);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    Button1 = new QPushButton("Open ...", page);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("Extract", page);
    Button2->setObjectName("Button2");
    Button2->setEnabled(false);

    FileList = new QListWidget(page);
    FileList->setObjectName("FileList");
    FileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileList->setUniformItemSizes(true);

    PopupMenu1 = new QMenu(FileList);
    PopupMenu1->setObjectName("PopupMenu1");
    Selectall1 = PopupMenu1->addAction("Select all");
    Selectall1->setObjectName("Selectall1");
    Unselectall1 = PopupMenu1->addAction("Unselect all");
    Unselectall1->setObjectName("Unselectall1");
    Invertselection1 = PopupMenu1->addAction("Invert selection");
    Invertselection1->setObjectName("Invertselection1");
    PopupMenu1->addSeparator();
    Find1 = PopupMenu1->addAction("Find ...");
    Find1->setObjectName("Find1");

    Memo1 = MakeLogBox(page, "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setMaximumHeight(90);

    ProgressBar1 = new TProgressBar(page);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setMinimum(0);
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    auto* top = new QHBoxLayout();
    top->addWidget(Edit1, 1);
    top->addWidget(Button1);
    top->addWidget(Button2);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(FileList, 1);
    layout->addWidget(Memo1);
    layout->addWidget(ProgressBar1);

    connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });
    connect(Selectall1, &QAction::triggered, this, [this] { Guarded([this] { Selectall1Click(); }); });
    connect(Unselectall1, &QAction::triggered, this, [this] { Guarded([this] { Unselectall1Click(); }); });
    connect(Invertselection1, &QAction::triggered, this, [this] { Guarded([this] { Invertselection1Click(); }); });
    connect(Find1, &QAction::triggered, this, [this] { Guarded([this] { Find1Click(); }); });
    AttachPopupMenu(FileList, PopupMenu1);
    connect(FileList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionDirty_ = true; });
    connect(FileList->model(), &QAbstractItemModel::modelReset, this, [this] { selectionDirty_ = true; });
}

void TExplorerPage::Guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        window_.dialogs().ErrorBox(e.what());
    }
}

void TExplorerPage::Log(const std::string& line) { window_.frontend().AppendLine(MemoId::Memo1, line); }

void TExplorerPage::Button1Click()
{
    if (running_)
        return;
    FileDialogSpec dialog;
    dialog.filter = kOpenFilter;
    dialog.defaultExt = "BF";
    if (auto chosen = window_.dialogs().OpenFile(dialog))
        OpenResourceFile(*chosen);
}

void TExplorerPage::OpenResourceFile(const std::string& fileName)
{
    TBF* bf = window_.BF.get();
    if (running_ || !bf)
        return;
    bool ok = false;
    try {
        ok = bf->Open(fileName);
    } catch (...) {
        Button2->setEnabled(false); // the reader holds no stream now
        throw;
    }
    if (!ok) {
        window_.dialogs().Warning("Not a valid/supported file!");
        Button2->setEnabled(false);
        return;
    }
    Button2->setEnabled(true);
    Edit1->setText(Q(fileName));
    FileList->clear();

    Log(std::to_string(bf->Count) + " files in a " + ArchiveTypeName(bf->ArchiveType) + " file.");

    const bool bank = bf->ArchiveType >= atSoundBank1 && bf->ArchiveType <= atSoundBank3;
    lines_.clear();
    lines_.reserve(static_cast<size_t>(bf->Count));
    QStringList items;
    items.reserve(bf->Count);
    for (int i = 0; i < bf->Count; ++i) {
        const BFInfo& e = bf->Entries[static_cast<size_t>(i)];
        std::string line = Win1252ToUtf8(e.Name);
        if (bank) {
            line += " [" + std::to_string(e.Size) + " bytes @ " + std::to_string(e.Offset) + "]";
            if (e.Kind != 1)
                line += " DOES NOT EXTRACT CORRECTLY";
        }
        items.push_back(ShownText(line));
        lines_.push_back(std::move(line));
    }
    FileList->setUpdatesEnabled(false);
    FileList->addItems(items);
    FileList->setUpdatesEnabled(true);
    selectionDirty_ = true;

    const int old = ProgressBar1->value();
    ProgressBar1->setMaximum(FileList->count());
    if (old > ProgressBar1->maximum())
        ProgressBar1->setValue(ProgressBar1->maximum());
}

const std::vector<char>& TExplorerPage::SelectedRows()
{
    if (selectionDirty_) {
        selected_.assign(static_cast<size_t>(FileList->count()), 0);
        for (const QItemSelectionRange& r : FileList->selectionModel()->selection())
            for (int i = std::max(r.top(), 0); i <= r.bottom() && i < FileList->count(); ++i)
                selected_[static_cast<size_t>(i)] = 1;
        selectionDirty_ = false;
    }
    return selected_;
}

bool TExplorerPage::LineSelected(int row)
{
    const std::vector<char>& selected = SelectedRows();
    return row >= 0 && static_cast<size_t>(row) < selected.size() && selected[static_cast<size_t>(row)];
}

// The selection model merges and splits range against range when it is handed a selection while many ranges
// are selected: the selection is emptied first and then given the wanted rows as one set of whole runs.
void TExplorerPage::SelectRows(const std::vector<char>& want)
{
    const QItemSelection runs = RowRuns(FileList->model(), FileList->count(), [&](int i) {
        return static_cast<size_t>(i) < want.size() && want[static_cast<size_t>(i)];
    });
    // With updates off the list repaints its view once instead of working out the rectangles of every range.
    const bool updates = FileList->updatesEnabled();
    FileList->setUpdatesEnabled(false);
    FileList->selectionModel()->clearSelection();
    if (!runs.isEmpty())
        FileList->selectionModel()->select(runs, QItemSelectionModel::Select);
    FileList->setUpdatesEnabled(updates);
}

void TExplorerPage::ExtractRun(int count, bool selectedOnly)
{
    if (running_)
        return;
    RunGuard guard(*this);
    // The bar shows the entry in hand and pending messages run at most every 10 ms: a repaint of this window goes
    // through the OpenGL panel's compositor, which costs far more than most entries. The bar's last position is
    // always shown, also when an error ends the run.
    int at = -1;
    struct ShowLast {
        QProgressBar* bar;
        const int& at;
        ~ShowLast()
        {
            if (at >= 0)
                bar->setValue(at);
        }
    } showLast{ProgressBar1, at};
    TMessagePacer pacer;
    int extracted = 0;
    for (int i = 0; i < count; ++i) {
        at = i;
        pacer.Tick([&] {
            ProgressBar1->setValue(i);
            window_.frontend().ProcessMessages();
        });
        TBF* bf = window_.BF.get();
        if (!bf)
            return; // the window closed during the run
        if (selectedOnly && (i >= FileList->count() || !LineSelected(i)))
            continue;
        if (bf->ExtractEntry(i))
            ++extracted;
    }
    Log(std::to_string(extracted) + " files extracted.");
}

void TExplorerPage::Button2Click() { ExtractRun(FileList->count(), true); }

void TExplorerPage::ExtractAllFiles()
{
    TBF* bf = window_.BF.get();
    if (!bf)
        return;
    ExtractRun(bf->Count, false);
}

void TExplorerPage::Selectall1Click() { SelectRows(std::vector<char>(static_cast<size_t>(FileList->count()), 1)); }

void TExplorerPage::Unselectall1Click() { SelectRows({}); }

void TExplorerPage::Invertselection1Click()
{
    std::vector<char> want = SelectedRows();
    for (char& row : want)
        row = !row;
    SelectRows(want);
}

void TExplorerPage::Find1Click()
{
    const std::string text = window_.dialogs().InputBox("Selection", "What do you want to search for?", "*");
    const std::string want = UpperCase(text);
    std::vector<char> rows = SelectedRows(); // matches are added; nothing is deselected
    int count = 0;
    for (size_t i = 0; i < rows.size(); ++i)
        if (text == "*" || (!text.empty() && i < lines_.size() && UpperCase(lines_[i]).find(want) != std::string::npos)) {
            rows[i] = 1;
            ++count;
        }
    if (count > 0)
        SelectRows(rows);
    window_.dialogs().Information(std::to_string(count) + " items selected.");
}
