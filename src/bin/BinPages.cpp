#include "bin/BinPages.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/ListPopup.h"
#include "app/LogBox.h"
#include "app/Tmox.h"
#include "bin/BlockAnalysis.h"
#include "bin/ExpandBin.h"
#include "bin/Geometry.h"
#include "bin/RawImage.h"
#include "models/FloatFormat.h"
#include "models/WorldData.h"
#include "platform/OutputFile.h"
#include "platform/Paths.h"

namespace {

const char* const kBinFilter = "Binary files|*.bin;*.binexpanded";
const char* const kBinDefaultExt = "bin";
const char* const kExpandedFilter = "Expanded data|*.binexpanded";
const char* const kExpandedDefaultExt = "binexpanded";

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QAction* MakeItem(QMenu* menu, QWidget* owner, const char* name, const char* caption, const QKeySequence& key,
                  bool visible)
{
    auto* a = new QAction(caption, menu);
    a->setObjectName(name);
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    a->setVisible(visible);
    menu->addAction(a);
    owner->addAction(a); // shortcuts work while the list has the focus
    return a;
}

// Resets a flag and re-enables the commands when a load ends, also by an error.
class LoadGuard {
public:
    LoadGuard(bool& flag, std::function<void(bool)> enable) : flag_(flag), enable_(std::move(enable))
    {
        flag_ = true;
        enable_(false);
    }
    ~LoadGuard()
    {
        flag_ = false;
        enable_(true);
    }

private:
    bool& flag_;
    std::function<void(bool)> enable_;
};

} // namespace

// ---------------------------------------------------------------- list model

int TBlockListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : lines_.Count(); }

QVariant TBlockListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= lines_.Count())
        return {};
    const std::string_view line = lines_.Line(index.row());
    return ShownText(line);
}

void TBlockListModel::SetLines(TListLines lines)
{
    beginResetModel();
    lines_ = std::move(lines);
    endResetModel();
}

// ---------------------------------------------------------------- pages

TBinPages::TBinPages(TTarvesh& window, QWidget* unpackerPage, QWidget* analyzerPage) : window_(window)
{
    BuildUnpacker(unpackerPage);
    BuildAnalyzer(analyzerPage);
    window_.installEventFilter(this);
}

void TBinPages::BuildUnpacker(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    Button3 = MakeButton(page, "Button3", "Open...");
    auto* row = new QHBoxLayout();
    row->addWidget(Button3);
    row->addStretch();
    layout->addLayout(row);
    Memo2 = MakeLogBox(page, "Memo2");
    QFont courier("Courier New");
    courier.setStyleHint(QFont::Monospace);
    Memo2->setFont(courier);
    layout->addWidget(Memo2);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
}

void TBinPages::BuildAnalyzer(QWidget* page)
{
    auto* layout = new QHBoxLayout(page);
    auto* left = new QVBoxLayout();
    Button5 = MakeButton(page, "Button5", "Analyze");
    auto* top = new QHBoxLayout();
    top->addWidget(Button5);
    top->addStretch();
    left->addLayout(top);

    ListBox1 = new QListView(page);
    ListBox1->setObjectName("ListBox1");
    ListModel = new TBlockListModel(ListBox1);
    ListBox1->setModel(ListModel);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    left->addWidget(ListBox1, 1);
    layout->addLayout(left, 3);

    auto* right = new QVBoxLayout();
    Label3 = new QLabel("Extract all :", page);
    Label3->setObjectName("Label3");
    right->addWidget(Label3);
    auto* buttons = new QHBoxLayout();
    Button19 = MakeButton(page, "Button19", "Textures");
    Button20 = MakeButton(page, "Button20", "Objects");
    buttons->addWidget(Button19);
    buttons->addWidget(Button20);
    right->addLayout(buttons);
    Memo3 = MakeLogBox(page, "Memo3");
    right->addWidget(Memo3, 1);
    layout->addLayout(right, 2);

    PopupMenu2 = new QMenu(ListBox1);
    PopupMenu2->setObjectName("PopupMenu2");
    Extract1 = MakeItem(PopupMenu2, ListBox1, "Extract1", "View/Extract", QKeySequence(Qt::CTRL | Qt::Key_E), true);
    Find2 = MakeItem(PopupMenu2, ListBox1, "Find2", "Find...", QKeySequence(Qt::CTRL | Qt::Key_F), true);
    List1 = MakeItem(PopupMenu2, ListBox1, "List1", "Save list...", QKeySequence(), false);
    Inspect1 = MakeItem(PopupMenu2, ListBox1, "Inspect1", "Inspect", QKeySequence(Qt::CTRL | Qt::Key_I), false);
    est1 = MakeItem(PopupMenu2, ListBox1, "est1", "Test actors", QKeySequence(), false);
    Extractdata1 = MakeItem(PopupMenu2, ListBox1, "Extractdata1", "Extract data", QKeySequence(), false);
    AttachPopupMenu(ListBox1, PopupMenu2);

    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button19, &QPushButton::clicked, this, [this] { Button19Click(); });
    connect(Button20, &QPushButton::clicked, this, [this] { Button20Click(); });
    connect(Extract1, &QAction::triggered, this, [this] { Extract1Click(); });
    connect(Find2, &QAction::triggered, this, [this] { Find2Click(); });
    connect(List1, &QAction::triggered, this, [this] { List1Click(); });
    connect(Inspect1, &QAction::triggered, this, [this] { Inspect1Click(); });
    connect(est1, &QAction::triggered, this, [this] { est1Click(); });
    connect(Extractdata1, &QAction::triggered, this, [this] { Extractdata1Click(); });
}

TBinFile* TBinPages::Bin() { return window_.BinFile.get(); }

void TBinPages::Log(const std::string& line) { window_.frontend().AppendLine(MemoId::Memo3, line); }

void TBinPages::SetCommandsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(Button3), static_cast<QWidget*>(Button5),
                       static_cast<QWidget*>(Button19), static_cast<QWidget*>(Button20),
                       static_cast<QWidget*>(ListBox1)})
        w->setEnabled(enabled);
    for (QAction* a : PopupMenu2->actions())
        a->setEnabled(enabled);
}

bool TBinPages::eventFilter(QObject* watched, QEvent* event)
{
    // The window is not closed under a running load; it closes once the load has returned.
    if (watched == &window_ && event->type() == QEvent::Close && loading_) {
        closePending_ = true;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

std::vector<int> TBinPages::SelectedLines() const
{
    std::vector<int> rows;
    for (const QModelIndex& i : ListBox1->selectionModel()->selectedIndexes())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// ---------------------------------------------------------------- unpacker

void TBinPages::Button3Click()
{
    if (loading_)
        return;
    const auto chosen = window_.dialogs().OpenFile({kBinFilter, kBinDefaultExt, "", ""});
    if (!chosen)
        return;
    const std::string& path = *chosen;
    TFileStream input(path, TFileStream::OpenRead);
    uint32_t a = 0, b = 0;
    input.SetPosition(0);
    input.ReadValue(a);
    input.ReadValue(b);
    if (LooksCompressed(a, b, input.Size())) {
        const auto target = window_.dialogs().SaveFile(
            {kExpandedFilter, kExpandedDefaultExt, ChangeFileExt(path, ".binexpanded"), ""});
        if (!target)
            return;
        // The input itself, by any name or link, is never replaced. After a failure the file keeps what was
        // expanded before it, and the warning says where it stopped.
        TFileIds source;
        source.Add(input);
        ExpandStatus status;
        bool ok = false;
        if (!WriteReplacingFile(*target, source, [&](TFileStream& out) { ok = ExpandBin(input, out, &status); }))
            window_.dialogs().Warning(WouldReplaceSourceText(*target));
        else if (!ok)
            window_.dialogs().Warning(ExpandFailureText(status));
        return;
    }
    switch (ConvertRawImage(path, input)) {
    case RawConversion::NoRawImage:
        window_.dialogs().Warning("Not a compressed engine bin file. Not supported yet.");
        break;
    case RawConversion::WouldReplace:
        window_.dialogs().Warning(WouldReplaceSourceText(RawImageOutput(path)));
        break;
    case RawConversion::Converted:
        break;
    }
}

// ---------------------------------------------------------------- analyzer

void TBinPages::Button5Click()
{
    if (loading_ || !Bin())
        return;
    if (window_.WorldData) {
        window_.WorldData->Loaded = false;
        window_.WorldData->Clear();
    }
    const auto chosen = window_.dialogs().OpenFile({kBinFilter, kBinDefaultExt, "", ""});
    if (!chosen)
        return;
    const std::string path = *chosen;
    bool ok;
    {
        LoadGuard guard(loading_, [this](bool on) { SetCommandsEnabled(on); });
        ok = Bin()->LoadFromFile(path);
    }
    if (ok) {
        Log("File type : " + Bin()->FileType);
        Log(std::to_string(Bin()->Count) + " blocks.");
        TListLines lines;
        Bin()->FillList(lines);
        ListModel->SetLines(std::move(lines));
        Log("Done.");
    } else {
        TMemoryStream whole;
        whole.LoadFromFile(path);
        switch (ConvertRawImage(path, whole)) {
        case RawConversion::Converted:
            Log("Image file converted.");
            break;
        case RawConversion::WouldReplace:
            LogWouldReplace(window_.frontend(), RawImageOutput(path));
            break;
        case RawConversion::NoRawImage:
            Log("I can't do anything with this file!");
            break;
        }
    }
    if (closePending_) {
        closePending_ = false;
        window_.close();
    }
}

void TBinPages::Button19Click()
{
    if (loading_ || !Bin())
        return;
    Bin()->ExtractAllTextures();
    Log("All textures extracted.");
}

void TBinPages::Button20Click()
{
    if (loading_ || !Bin())
        return;
    Bin()->ExtractAllObjects();
    Log("All static objects extracted.");
}

void TBinPages::Extract1Click()
{
    if (loading_ || !Bin())
        return;
    // Many selected objects placed into one world: its derived data are made before exports and once at the end.
    const geometry::TDeferDerived defer(*Bin(), true);
    Bin()->PastEndSlotLines = kMaxSlotLines;
    for (int i : SelectedLines()) {
        if (i >= Bin()->Count)
            continue; // a line left from an earlier file names no block
        Bin()->AnalyzeBlock(i, false);
        Log("Extracted " + std::string(ListModel->Lines().Line(i)));
    }
}

void TBinPages::Find2Click()
{
    if (loading_ || ListModel->rowCount() == 0)
        return;
    const std::string answer =
        window_.dialogs().InputBox("Selection", "What do you want to search for?", "");
    int found = -1;
    if (answer == "*") {
        found = 0;
    } else if (!answer.empty()) {
        const std::string wanted = UpperCase(answer);
        const TListLines& lines = ListModel->Lines();
        for (int i = 0; i < lines.Count() && found < 0; ++i) {
            const std::string_view line = lines.Line(i);
            if (line.size() >= wanted.size() && UpperCase(std::string(line.substr(0, wanted.size()))) == wanted)
                found = i;
        }
    }
    if (found < 0) {
        Log("Not found.");
        return;
    }
    const QModelIndex index = ListModel->index(found);
    ListBox1->selectionModel()->select(index, QItemSelectionModel::Select);
    ListBox1->scrollTo(index, QAbstractItemView::PositionAtTop);
    Log("Found.");
}

void TBinPages::List1Click()
{
    if (loading_ || !Bin())
        return;
    const std::string fileName =
        window_.dialogs().InputBox("Save list", "File to save to?", ChangeFileExt(Bin()->FileName, ".txt"));
    const TListLines& lines = ListModel->Lines();
    const bool written = WriteReplacingFile(fileName, Bin()->Inputs, [&](TFileStream& out) {
        std::string text;
        for (int i = 0; i < lines.Count(); ++i) {
            text.append(lines.Line(i));
            text.append("\r\n");
            if (text.size() >= (1u << 20)) {
                out.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
                text.clear();
            }
        }
        out.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    });
    if (!written)
        LogWouldReplace(window_.frontend(), fileName);
}

void TBinPages::Extractdata1Click()
{
    if (loading_ || !Bin())
        return;
    for (int i : SelectedLines())
        Bin()->ExtractBlock(i);
}

// ---------------------------------------------------------------- debug commands

void TBinPages::Inspect1Click()
{
    if (loading_ || !Bin())
        return;
    TBinFile& bin = *Bin();
    window_.PageControl1->setCurrentWidget(window_.Expander);
    bin.PastEndSlotLines = kMaxSlotLines;
    for (int i : SelectedLines())
        if (i < bin.Count) // a line left from an earlier file names no block
            InspectBlock(bin, i);
}

void TBinPages::est1Click()
{
    if (loading_ || !Bin())
        return;
    TBinFile& bin = *Bin();
    for (int i : SelectedLines()) {
        if (i >= bin.Count || bin.GetTag(i, 0) != TagGameObject)
            continue;
        TGameObject go;
        if (!ResolveGameObject(bin, i, go)) {
            window_.frontend().AppendLine(MemoId::Memo3, "No useful data.");
            continue;
        }
        if (window_.WorldData)
            window_.WorldData->CurrentPack = window_.WorldData->FindTexturePack(go.PackKey);
        bin.LoadActorGeometry(bin.FindKey(go.GeoKey), false, go.Matrix, true);
    }
}
