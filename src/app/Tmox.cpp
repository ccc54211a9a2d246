#include "app/Tmox.h"

#include <QCloseEvent>
#include <QFile>
#include <QLocale>
#include <QTabWidget>
#include <clocale>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/OptionsPage.h"
#include "app/QtFrontend.h"
#include "archives/ExplorerPage.h"
#include "archives/TBF.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "display/DisplayPage.h"
#include "models/WorldData.h"
#include "textures/Textures.h"
#include "display/ViewGlobals.h"

const char* const kVersionText = "v2.5beta build 170606-2331 ";

namespace {
const char* const kDesignCaption = "Tarvesh Mox - game data explorer";
}

TTarvesh::TTarvesh(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs)
{
    setObjectName("Tarvesh");
    setWindowTitle(kDesignCaption);
    // Single border, system menu and minimize box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
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
    // The events the application handles are this window's commands.
    if (auto* app = TTarveshApplication::Instance())
        app->SetFrontend(frontend_.get());
    Explorer = std::make_unique<TExplorerPage>(*this, TabSheet1);
    BinPages = std::make_unique<TBinPages>(*this, Expander, TabSheet3);
    OptionsPage = std::make_unique<TOptionsPage>(*this, TabSheet4);
    DisplayPage = std::make_unique<TDisplayPage>(*this, TabSheet5);

    setFixedSize(592, 398);
}

TTarvesh::~TTarvesh()
{
    if (auto* app = TTarveshApplication::Instance(); app && app->GetFrontend() == frontend_.get())
        app->SetFrontend(nullptr);
}

void UsePointDecimalSeparator()
{
    std::setlocale(LC_NUMERIC, "C");
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(c);
}

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
    BinFile->WorldData = WorldData.get();
    BinFile->OnLoaded = [this] { BinFile->LoadTextures(); }; // every successful load rebuilds the texture packs
    // 4. the first page
    PageControl1->setCurrentIndex(0);
    // 5. '.' as decimal separator for the whole process
    UsePointDecimalSeparator();
    // 6. the version text goes before the 13th character of the design caption
    QString caption = windowTitle();
    caption.insert(std::min<qsizetype>(12, caption.size()), QString::fromLatin1(kVersionText));
    setWindowTitle(caption);
    // 7. options and the debug switch
    OptionsPage->ReadOptions();
    // 8. OpenGL context of the display; textures are made and deleted with it current
    DisplayPage->CreateGLContext();
    GLTextureService = std::make_unique<TOpenGLTextures>(frontend(), [this] { DisplayPage->MakeCurrent(); });
    WorldData->Textures = GLTextureService.get();
    // 9. idle handler
    DisplayPage->InstallIdleHandler();
    // 10. camera
    CurrentCamera = &SceneCamera;
    CameraSetHeight(*CurrentCamera, 10.0);
    CameraSetDistance(*CurrentCamera, 2.0);
    CameraSetTarget(*CurrentCamera, 0, 0, 0);
    CameraSetMode(*CurrentCamera, 0);
    CameraSetOrbit(*CurrentCamera, 0);
    CameraUpdate(*CurrentCamera);
    // 11.
    ViewChanged = true;
    // 12., 13. projection and one frame (not shown)
    DisplayPage->InitProjection();
    DisplayPage->RenderScene();
    // 14. command line
    std::vector<std::string> argv;
    for (const QString& a : args)
        argv.push_back(QFile::encodeName(a).toStdString());
    const TCommandLine cmd = ReadCommandLine(argv);
    if (cmd.open) {
        Explorer->OpenResourceFile(cmd.fileName);
        if (cmd.extractAll)
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
    // 3. options back to the settings store
    OptionsPage->WriteOptions();
}

void TTarvesh::closeEvent(QCloseEvent* event)
{
    if (!closed_) {
        closed_ = true;
        // The window closes even when the options cannot be stored; the error is shown first.
        RunCommand([this] { FormClose(); });
    }
    event->accept();
}
