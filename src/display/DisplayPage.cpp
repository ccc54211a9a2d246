#include "display/DisplayPage.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPushButton>
#include <QScrollBar>
#include <QSurfaceFormat>

#include "app/Tmox.h"
#include "display/Renderer.h"
#include "display/ViewGlobals.h"
#include "display/camera.h"
#include "bin/TBinFile.h"
#include "models/WorldData.h"
#include "platform/Frontend.h"
#include "platform/OutputFile.h"
#include "platform/Paths.h"

namespace {

constexpr int kPanelWidth = 465;
constexpr int kPanelHeight = 348;

template <typename T>
T* Make(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h)
{
    auto* control = new T(QString::fromLatin1(caption), parent);
    control->setObjectName(name);
    control->setGeometry(x, y, w, h);
    return control;
}

} // namespace

TGLPanel::TGLPanel(TDisplayPage& page, QWidget* parent) : QOpenGLWidget(parent), page_(page)
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(32); // 24 is what most drivers give
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    setFormat(format);
}

void TGLPanel::initializeGL() {}

void TGLPanel::resizeGL(int, int)
{
    page_.Panel1Resize();
}

void TGLPanel::paintGL()
{
    page_.DrawFrame();
}

void TGLPanel::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    page_.Panel1MouseMove(event->buttons(), p.x(), p.y());
}

TDisplayPage::TDisplayPage(TTarvesh& window, QWidget* page) : window_(window)
{
    Panel1 = new TGLPanel(*this, page);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(4, 4, kPanelWidth, kPanelHeight);
    Panel1->setFixedSize(kPanelWidth, kPanelHeight);

    const int x = 4 + kPanelWidth + 6; // right-hand column
    Button21 = Make<QPushButton>(page, "Button21", "Reset view", x, 4, 100, 24);
    Button4 = Make<QPushButton>(page, "Button4", "Clear data", x, 32, 100, 24);
    Button6 = Make<QPushButton>(page, "Button6", "Export data", x, 60, 100, 24);
    CheckBox1 = Make<QCheckBox>(page, "CheckBox1", "Triangles", x, 90, 100, 20);
    CheckBox1->setChecked(true);
    CheckBox3 = Make<QCheckBox>(page, "CheckBox3", "normals", x, 110, 100, 20);
    Button13 = Make<QPushButton>(page, "Button13", "Z+", x, 136, 48, 24);
    Button14 = Make<QPushButton>(page, "Button14", "Z-", x + 52, 136, 48, 24);
    Button11 = Make<QPushButton>(page, "Button11", "XL", x, 166, 48, 24);
    Button12 = Make<QPushButton>(page, "Button12", "XR", x + 52, 166, 48, 24);
    Button15 = Make<QPushButton>(page, "Button15", "YL", x, 194, 48, 24);
    Button17 = Make<QPushButton>(page, "Button17", "YR", x + 52, 194, 48, 24);
    Button16 = Make<QPushButton>(page, "Button16", "ZL", x, 222, 48, 24);
    Button18 = Make<QPushButton>(page, "Button18", "ZR", x + 52, 222, 48, 24);

    ScrollBar2 = new QScrollBar(Qt::Vertical, page);
    ScrollBar2->setObjectName("ScrollBar2");
    ScrollBar2->setRange(1, 100);
    ScrollBar2->setValue(1);
    ScrollBar2->setSingleStep(1);
    ScrollBar2->setPageStep(1); // a click in the trough moves the step by 1, like the arrows
    ScrollBar2->setGeometry(x, 252, 17, 100);
    Label2 = Make<QLabel>(page, "Label2", "1", x + 26, 292, 40, 20);

    connect(Button13, &QPushButton::clicked, this, [this] { Button13Click(); });
    connect(Button14, &QPushButton::clicked, this, [this] { Button14Click(); });
    connect(Button11, &QPushButton::clicked, this, [this] { Button11Click(); });
    connect(Button12, &QPushButton::clicked, this, [this] { Button12Click(); });
    connect(Button15, &QPushButton::clicked, this, [this] { Button15Click(); });
    connect(Button17, &QPushButton::clicked, this, [this] { Button17Click(); });
    connect(Button16, &QPushButton::clicked, this, [this] { Button16Click(); });
    connect(Button18, &QPushButton::clicked, this, [this] { Button18Click(); });
    connect(Button21, &QPushButton::clicked, this, [this] { Button21Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(ScrollBar2, &QScrollBar::valueChanged, this, [this] { ScrollBar2Change(); });
}

TDisplayPage::~TDisplayPage()
{
    if (idleInstalled_)
        qApp->removeEventFilter(this);
}

int TDisplayPage::Step() const
{
    return ScrollBar2->value();
}

void TDisplayPage::CreateGLContext()
{
    // The view's own context appears only when the page is first shown. Uploads may come earlier, so they
    // get a context of their own now, in the share group of the view (the application shares its contexts).
    if (glContext_)
        return;
    glSurface_ = std::make_unique<QOffscreenSurface>();
    glSurface_->setFormat(Panel1->format());
    glSurface_->create();
    glContext_ = std::make_unique<QOpenGLContext>();
    glContext_->setFormat(Panel1->format());
    glContext_->setShareContext(QOpenGLContext::globalShareContext());
    if (!glContext_->create()) {
        glContext_.reset();
        return;
    }
    glContext_->makeCurrent(glSurface_.get());
    ResizeView(Panel1->width(), Panel1->height()); // the view's first size
}

bool TDisplayPage::MakeCurrent()
{
    return glContext_ && glContext_->makeCurrent(glSurface_.get());
}

void TDisplayPage::DoneCurrent()
{
    if (glContext_)
        glContext_->doneCurrent();
}

void TDisplayPage::InstallIdleHandler()
{
    if (idleInstalled_)
        return;
    idleInstalled_ = true;
    framePending_ = true;
    qApp->installEventFilter(this);
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { AppIdle(); });
}

bool TDisplayPage::eventFilter(QObject* watched, QEvent* event)
{
    // Every event but the repaints that showing a frame causes is a reason for a new frame.
    switch (event->type()) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
        break;
    default:
        framePending_ = true;
    }
    return QObject::eventFilter(watched, event);
}

void TDisplayPage::AppIdle()
{
    if (!framePending_)
        return;
    framePending_ = false;
    // The widget draws the frame (RenderScene) and shows it when the update is processed.
    Panel1->update();
}

void TDisplayPage::InitProjection()
{
    if (!MakeCurrent())
        return;
    ::InitProjection();
    DoneCurrent();
}

void TDisplayPage::RenderScene()
{
    if (!MakeCurrent())
        return;
    DrawFrame();
    DoneCurrent();
}

void TDisplayPage::DrawFrame()
{
    ++frames_;
    static const TWorldData empty = [] {
        static MemoryFrontend ui;
        return TWorldData(ui);
    }();
    const TWorldData& world = window_.WorldData ? *window_.WorldData : empty;
    ::RenderScene(world, window_.CurrentCamera, CheckBox1->isChecked(), CheckBox3->isChecked());
}

void TDisplayPage::Panel1Resize()
{
    // Runs inside the view's resize handling, with the view's context current.
    ResizeView(Panel1->width(), Panel1->height());
}

void TDisplayPage::RequestFrame()
{
    framePending_ = true;
}

void TDisplayPage::CameraUpdateTail()
{
    if (Tcamera* cam = window_.CurrentCamera) {
        CameraSetPosition(*cam, static_cast<float>(CameraX), static_cast<float>(CameraY),
                          static_cast<float>(CameraZ));
        CameraUpdate(*cam);
    }
    ViewChanged = true;
    RequestFrame();
}

void TDisplayPage::Button13Click()
{
    CameraZ = CameraZ + Step();
    CameraUpdateTail();
}

void TDisplayPage::Button14Click()
{
    CameraZ = CameraZ - Step();
    CameraUpdateTail();
}

void TDisplayPage::Button11Click()
{
    RotationX = RotationX + Step();
    ViewChanged = true;
    RequestFrame();
}

void TDisplayPage::Button12Click()
{
    RotationX = RotationX - Step();
    ViewChanged = true;
    RequestFrame();
}

void TDisplayPage::Button15Click()
{
    RotationY = RotationY + Step();
    ViewChanged = true;
    RequestFrame();
}

void TDisplayPage::Button17Click()
{
    RotationY = RotationY - Step();
    ViewChanged = true;
    RequestFrame();
}

void TDisplayPage::Button16Click()
{
    RotationZ = RotationZ + Step();
    ViewChanged = true;
    RequestFrame();
}

void TDisplayPage::Button18Click()
{
    RotationZ = RotationZ - Step();
    ViewChanged = true;
    RequestFrame();
}

void TDisplayPage::ScrollBar2Change()
{
    Label2->setText(QString::number(Step()));
}

void TDisplayPage::Button21Click()
{
    RotationX = RotationY = RotationZ = 0;
    CameraX = CameraY = CameraZ = 0;
    CameraUpdateTail();
}

void TDisplayPage::Button4Click()
{
    if (window_.WorldData)
        window_.WorldData->Clear();
    RequestFrame();
}

std::string TDisplayPage::ExportBaseName(const std::string& binFileName)
{
    return DropLastChars(ExtractFileName(binFileName), 4);
}

void TDisplayPage::Button6Click()
{
    if (!window_.WorldData)
        return;
    const std::string binFileName = window_.BinFile ? window_.BinFile->FileName : std::string();
    const TFileIds none;
    const std::vector<std::string> refused = window_.WorldData->ExportModel(
        ExportBaseName(binFileName), 0, binFileName, window_.BinFile ? window_.BinFile->Inputs : none);
    // A refusal is said here too, not only in the analyzer's log on another page.
    for (const std::string& path : refused)
        window_.frontend().ShowWarning(WouldReplaceSourceText(path));
}

void TDisplayPage::Panel1MouseMove(Qt::MouseButtons Shift, int X, int Y)
{
    if (Shift & Qt::LeftButton) {
        RotationX = (Y - 174) * 1.03445;
        RotationZ = (X - 232.5) * 0.77423;
        RequestFrame();
    }
    if (Shift & Qt::MiddleButton) {
        CameraZ = Y * Step();
        CameraUpdateTail();
    }
    if (Shift & Qt::RightButton) {
        CameraX = (X - 232.5) / 10 * Step();
        CameraY = (Y - 174) / 10.0 * Step();
        CameraUpdateTail();
    }
}
