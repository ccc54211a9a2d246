#include "app/Tmox.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/OptionsPage.h"
#include "app/QtFrontend.h"
#include "archives/ExplorerPage.h"
#include "archives/TBF.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "display/DisplayPage.h"
#include "models/WorldData.h"

const char* const kVersionText = "v2.5beta build 170606-2331 ";

namespace {
const char* const kDesignCaption = "Tarvesh Mox - game data explorer";
}

TTarvesh::TTarvesh(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs)
{
    setObjectName("Tarvesh");
    setWindowTitle(kDesignCaption);
    QFont font("Arial");
    font.setPointSize(9);
    setFont(font);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    setCentralWidget(PageControl1);
    auto addPage = [this](const char* name, const char* caption) {
        auto* page = new QWidget();
        page->setObjectName(name);
        PageControl1->addTab(page, caption);
        return page;
    };
    TabSheet1 = addPage("TabSheet1", "Resource file explorer");
    Expander = addPage("Expander", "Bin unpacker");
    TabSheet3 = addPage("TabSheet3", "Bin analyzer");
    TabSheet4 = addPage("TabSheet4", "Options");
    TabSheet5 = addPage("TabSheet5", "Display");

    frontend_ = std::make_unique<QtFrontend>(*this);
    Explorer = std::make_unique<TExplorerPage>(*this, TabSheet1);
    BinPages = std::make_unique<TBinPages>(*this, Expander, TabSheet3);
    OptionsPage = std::make_unique<TOptionsPage>(*this, TabSheet4);
    DisplayPage = std::make_unique<TDisplayPage>(*this, TabSheet5);

    setFixedSize(592, 398);
}

TTarvesh::~TTarvesh() = default;

void TTarvesh::FormCreate(const QStringList& args)
{
    // 1. archive reader
    BF = std::make_unique<TBF>(frontend());
    BF->Init();
    // 2, 3. bin container and world data
    BinFile = std::make_unique<TBinFile>(*frontend_);
    BinFile->Clear();
    WorldData = std::make_unique<TWorldData>(frontend());
    WorldData->Clear();
    // 4. first page
    PageControl1->setCurrentIndex(0);
    // 6. caption: version text before the 13th character
    QString caption = windowTitle();
    caption.insert(12, QString::fromLatin1(kVersionText));
    setWindowTitle(caption);
    // 14. command line
    if (!args.isEmpty() && QFileInfo(args[0]).isFile()) {
        Explorer->OpenResourceFile(args[0].toStdString());
        if (args.size() == 2 && args[1].toUpper() == "X")
            Explorer->ExtractAllFiles();
    }
}

void TTarvesh::FormClose()
{
    // 1. archive reader
    BF.reset();
    if (WorldData) {
        WorldData->FreeWithTextures();
        WorldData.reset();
    }
}

void TTarvesh::closeEvent(QCloseEvent* event)
{
    if (!closed_) {
        closed_ = true;
        FormClose();
    }
    event->accept();
}
