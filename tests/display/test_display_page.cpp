#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QButtonGroup>
#include <QTest>
#include <QTimer>

#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "support/TempDir.h"
#include "app/Tmox.h"
#include "bin/BinPages.h"
#include "bin/TBinFile.h"
#include "display/DisplayPage.h"
#include "display/Renderer.h"
#include "display/ViewGlobals.h"
#include "models/WorldData.h"
#include "platform/GLTextures.h"
#include "platform/Stream.h"
#include "support/TestApp.h"

namespace {

// Runs the event loop (which blocks between events) for ms milliseconds.
void RunLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class DisplayPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        ResetViewGlobals();
        w = std::make_unique<TTarvesh>(dialogs);
        w->FormCreate({});
        page = w->DisplayPage.get();
        ASSERT_TRUE(w->WorldData);
        // The view makes its own context when it is first shown.
        w->show();
        w->PageControl1->setCurrentIndex(4);
        for (int i = 0; i < 50 && !page->Panel1->context(); ++i)
            RunLoop(20);
        ASSERT_NE(page->Panel1->context(), nullptr);
    }

    TWorldData& World() { return *w->WorldData; }

    // Moves the camera back so that a world around the origin is in view.
    void StepBack(int distance)
    {
        page->ScrollBar2->setValue(distance);
        page->Button13Click();
        page->ScrollBar2->setValue(1);
    }

    // One triangle facing the camera, centred on the origin, 2 units wide; texture slot 0 of pack 0.
    void OneTriangle(uint32_t texture = 0) { OneTriangle(World(), texture); }
    static void OneTriangle(TWorldData& wd, uint32_t texture)
    {
        wd.Vertices = {{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}};
        wd.Normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
        wd.VertexCount = 3;
        model m;
        m.Triangles.resize(1);
        m.Triangles[0].VertexIndex[0] = 0;
        m.Triangles[0].VertexIndex[1] = 1;
        m.Triangles[0].VertexIndex[2] = 2;
        m.TriangleCount = 1;
        wd.Models = {m};
        wd.ModelCount = 1;
        texturepack pack;
        pack.Count = 1;
        pack.Keys = {0x1234};
        pack.TexIds = {texture};
        wd.Packs = {pack};
        wd.PackCount = 1;
        wd.Loaded = true;
    }

    QImage Frame() { return page->Panel1->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    static QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

    static int Count(const QImage& img, QRgb colour)
    {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += At(img, x, y) == (colour & 0xFFFFFF);
        return n;
    }

    // The projection of a view of this aspect: 45 degrees high (1 / tan 22.5 degrees = 1 + sqrt 2), depth 1 to
    // 10000.
    static void ExpectProjection(const Matrix4& m, double aspect)
    {
        const double f = 1 + std::sqrt(2.0);
        EXPECT_DOUBLE_EQ(m[0], f / aspect);
        EXPECT_DOUBLE_EQ(m[5], f);
        EXPECT_DOUBLE_EQ(m[10], -10001.0 / 9999.0);
        EXPECT_EQ(m[11], -1.0);
        EXPECT_DOUBLE_EQ(m[14], -20000.0 / 9999.0);
        for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15})
            EXPECT_EQ(m[i], 0.0) << "element " << i;
    }

    static void SendMove(QWidget* target, QPoint pos, Qt::MouseButtons buttons)
    {
        QMouseEvent ev(QEvent::MouseMove, QPointF(pos), target->mapToGlobal(QPointF(pos)), Qt::NoButton, buttons,
                       Qt::NoModifier);
        QApplication::sendEvent(target, &ev);
    }

    ScriptedDialogs dialogs;
    std::unique_ptr<TTarvesh> w;
    TDisplayPage* page = nullptr;
};

TEST_F(DisplayPageTest, ControlsAndStartValues)
{
    EXPECT_EQ(page->Panel1->size(), QSize(465, 348));
    EXPECT_EQ(page->Panel1->objectName(), "Panel1");
    EXPECT_EQ(w->TabSheet5->findChild<QWidget*>("Panel1"), page->Panel1);
    const std::pair<const char*, const char*> buttons[] = {
        {"Button21", "Reset view"}, {"Button4", "Clear data"}, {"Button6", "Export data"}, {"Button13", "Z+"},
        {"Button14", "Z-"},         {"Button11", "XL"},        {"Button12", "XR"},          {"Button15", "YL"},
        {"Button17", "YR"},         {"Button16", "ZL"},        {"Button18", "ZR"}};
    for (const auto& [name, caption] : buttons) {
        auto* b = w->TabSheet5->findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), caption);
    }
    EXPECT_EQ(page->CheckBox1->text(), "Triangles");
    EXPECT_TRUE(page->CheckBox1->isChecked());
    EXPECT_EQ(page->CheckBox3->text(), "normals");
    EXPECT_FALSE(page->CheckBox3->isChecked());
    EXPECT_EQ(page->ScrollBar2->orientation(), Qt::Vertical);
    EXPECT_EQ(page->ScrollBar2->minimum(), 1);
    EXPECT_EQ(page->ScrollBar2->maximum(), 100);
    EXPECT_EQ(page->ScrollBar2->value(), 1);
    EXPECT_EQ(page->Label2->text(), "1");
    page->ScrollBar2->setValue(37);
    EXPECT_EQ(page->Label2->text(), "37");
    // A click in the trough below the handle moves the step by 1, like the arrows.
    page->ScrollBar2->setValue(1);
    QTest::mouseClick(page->ScrollBar2, Qt::LeftButton, {}, QPoint(8, page->ScrollBar2->height() - 30));
    EXPECT_EQ(page->ScrollBar2->value(), 2);
    EXPECT_EQ(page->Label2->text(), "2");
}

TEST_F(DisplayPageTest, StartUpSetsUpCameraProjectionAndView)
{
    ASSERT_NE(page->GLContext(), nullptr);
    EXPECT_EQ(w->CurrentCamera, &w->SceneCamera);
    EXPECT_EQ(w->SceneCamera.Height, 10.0);
    EXPECT_EQ(w->SceneCamera.Distance, 2.0);
    Matrix4 identity;
    MatrixIdentity(identity);
    EXPECT_EQ(ViewMatrix, identity);
    EXPECT_FALSE(ViewChanged); // the start-up frame rebuilt the view
    ExpectProjection(ProjectionMatrix, 465.0 / 348.0);
}

TEST_F(DisplayPageTest, StepButtonsMoveCameraAndTurnScene)
{
    page->Button13Click();
    EXPECT_EQ(CameraZ, 1.0);
    EXPECT_EQ(w->SceneCamera.Position.z, 1.0f);
    EXPECT_TRUE(ViewChanged);
    page->ScrollBar2->setValue(100);
    for (int i = 0; i < 3; ++i)
        page->Button13->click();
    EXPECT_EQ(CameraZ, 301.0);
    page->Button14->click();
    EXPECT_EQ(CameraZ, 201.0);
    EXPECT_EQ(w->SceneCamera.Position.z, 201.0f);

    page->ScrollBar2->setValue(7);
    page->Button11->click();
    EXPECT_EQ(RotationX, 7.0);
    page->Button12->click();
    EXPECT_EQ(RotationX, 0.0);
    page->Button15->click();
    page->Button15->click();
    EXPECT_EQ(RotationY, 14.0);
    page->Button17->click();
    EXPECT_EQ(RotationY, 7.0);
    page->Button18->click();
    EXPECT_EQ(RotationZ, -7.0);
    page->Button16->click();
    EXPECT_EQ(RotationZ, 0.0);
    // Rotations are never wrapped.
    page->ScrollBar2->setValue(100);
    for (int i = 0; i < 5; ++i)
        page->Button11->click();
    EXPECT_EQ(RotationX, 500.0);

    // The scene rotations do not touch the camera.
    EXPECT_EQ(w->SceneCamera.Rotation.x, 0.0f);

    page->Button21->click();
    EXPECT_EQ(RotationX, 0.0);
    EXPECT_EQ(RotationY, 0.0);
    EXPECT_EQ(RotationZ, 0.0);
    EXPECT_EQ(CameraZ, 0.0);
    EXPECT_EQ(w->SceneCamera.Position.z, 0.0f);
    EXPECT_EQ(page->ScrollBar2->value(), 100); // the step stays
}

TEST_F(DisplayPageTest, MouseDragSetsAnglesAndCamera)
{
    page->Panel1MouseMove(Qt::LeftButton, 0, 0);
    EXPECT_DOUBLE_EQ(RotationX, -179.9943);
    EXPECT_DOUBLE_EQ(RotationZ, -180.008475);
    page->Panel1MouseMove(Qt::LeftButton, 464, 347);
    EXPECT_DOUBLE_EQ(RotationX, 178.95985);
    EXPECT_DOUBLE_EQ(RotationZ, 179.234245);

    page->ScrollBar2->setValue(5);
    page->Panel1MouseMove(Qt::MiddleButton, 3, 100);
    EXPECT_EQ(CameraZ, 500.0);
    EXPECT_EQ(w->SceneCamera.Position.z, 500.0f);

    page->ScrollBar2->setValue(2);
    page->Panel1MouseMove(Qt::RightButton, 332, 274);
    EXPECT_DOUBLE_EQ(CameraX, 19.9);
    EXPECT_EQ(CameraY, 20.0);
    EXPECT_EQ(w->SceneCamera.Position.x, 19.9f);
    EXPECT_EQ(w->SceneCamera.Position.y, 20.0f);

    // No button: nothing changes. Left and right together: both.
    page->Panel1MouseMove(Qt::NoButton, 10, 10);
    EXPECT_DOUBLE_EQ(RotationX, 178.95985);
    page->Panel1MouseMove(Qt::LeftButton | Qt::RightButton, 232, 174);
    EXPECT_EQ(RotationX, 0.0);
    EXPECT_DOUBLE_EQ(RotationZ, -0.5 * 0.77423);
    EXPECT_DOUBLE_EQ(CameraX, -0.1);
    EXPECT_EQ(CameraY, 0.0);

    // The same through real mouse events on the panel.
    ViewChanged = false;
    SendMove(page->Panel1, QPoint(0, 0), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(RotationX, -179.9943);
    EXPECT_FALSE(ViewChanged); // the left drag leaves the view matrix alone
    SendMove(page->Panel1, QPoint(5, 100), Qt::MiddleButton);
    EXPECT_EQ(CameraZ, 200.0);
    EXPECT_TRUE(ViewChanged);
}

TEST_F(DisplayPageTest, ClearDataEmptiesTheWorldButKeepsViewAndPacks)
{
    OneTriangle(0);
    page->Button11Click();
    page->Button4->click();
    EXPECT_FALSE(World().Loaded);
    EXPECT_EQ(World().VertexCount, 0u);
    EXPECT_EQ(World().ModelCount, 0u);
    EXPECT_EQ(World().PackCount, 1);
    EXPECT_EQ(RotationX, 1.0);
}

TEST_F(DisplayPageTest, ExportBaseName)
{
    EXPECT_EQ(TDisplayPage::ExportBaseName("C:\\data\\level.bin"), "level");
    EXPECT_EQ(TDisplayPage::ExportBaseName("/data/level.binexpanded"), "level.binexpa");
    EXPECT_EQ(TDisplayPage::ExportBaseName("/data/abcd"), "");
    EXPECT_EQ(TDisplayPage::ExportBaseName("ab"), "");
    EXPECT_EQ(TDisplayPage::ExportBaseName("/data/caf\xC3\xA9"), ""); // four characters, five bytes
    EXPECT_EQ(TDisplayPage::ExportBaseName(""), "");
}

TEST_F(DisplayPageTest, ExportWritesUnderTheBinFileName)
{
    ASSERT_TRUE(w->BinFile);
    TempDir dir;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    // A non-ASCII bin file name is file-system text already: the files carry it unchanged, and the OBJ file's
    // mtllib line names the MTL file as it is on disk.
    const std::string cafe = "caf\xC3\xA9";
    w->BinFile->FileName = (dir.path() / (cafe + ".bin")).string();
    page->Button4->click();
    page->Button6->click();
    EXPECT_TRUE(dialogs.warnings.empty());
    // Nor is the bin file replaced: "self.obj" gives the base name "self". A warning box says so on this page.
    const std::string self = (dir.path() / "self.obj").string();
    WriteFileBytes(self, {1, 2, 3});
    w->BinFile->FileName = self;
    w->BinFile->Inputs.Add(self);
    page->Button6->click();
    std::filesystem::current_path(old);
    EXPECT_EQ(ReadFileBytes(self), (std::vector<uint8_t>{1, 2, 3}));
    const std::string refused = self + ": the output would replace its own source file, not written.";
    EXPECT_TRUE(w->BinPages->Memo3->toPlainText().endsWith(QString::fromStdString(refused)));
    EXPECT_EQ(dialogs.warnings, std::vector<std::string>{refused});
    // The same for a 3DS export.
    const std::string self3ds = (dir.path() / "self.3DS").string();
    WriteFileBytes(self3ds, {4, 5});
    w->BinFile->FileName = self3ds;
    w->BinFile->Inputs.Add(self3ds);
    w->findChild<QButtonGroup*>("RadioGroup2")->button(1)->setChecked(true);
    std::filesystem::current_path(dir.path());
    page->Button6->click();
    std::filesystem::current_path(old);
    w->findChild<QButtonGroup*>("RadioGroup2")->button(0)->setChecked(true);
    EXPECT_EQ(ReadFileBytes(self3ds), (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(dialogs.warnings.back(), self3ds + ": the output would replace its own source file, not written.");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / (cafe + ".mtl")));
    std::ifstream obj(dir.path() / (cafe + ".obj"), std::ios::binary);
    std::string header, mtllib;
    std::getline(obj, header);
    std::getline(obj, mtllib);
    EXPECT_EQ(mtllib, "mtllib " + cafe + ".mtl\r");
}

TEST_F(DisplayPageTest, NothingIsDrawnUnlessLoaded)
{
    OneTriangle();
    World().Loaded = false;
    StepBack(10);
    const QImage img = Frame();
    ASSERT_EQ(img.size(), QSize(465, 348));
    EXPECT_EQ(Count(img, 0x000000), 465 * 348);
}

TEST_F(DisplayPageTest, TrianglesPointsAndNormals)
{
    OneTriangle();
    StepBack(10);
    QImage img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0xFFFFFFu); // untextured white triangle
    EXPECT_EQ(At(img, 5, 5), 0x000000u);
    EXPECT_EQ(Count(img, 0x00FF00), 0);

    // Points take the current colour: white after a frame without normal lines.
    page->CheckBox1->setChecked(false);
    img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0x000000u);
    const int whitePoints = Count(img, 0xFFFFFF);
    EXPECT_GT(whitePoints, 3 * 50);
    EXPECT_LT(whitePoints, 3 * 150);

    // Normal lines are green, and the points of the next frame are green too.
    page->CheckBox1->setChecked(true);
    page->CheckBox3->setChecked(true);
    StepBack(-8); // closer, so that the lines are long enough to see around the triangle
    img = Frame();
    EXPECT_GT(Count(img, 0x00FF00), 0);
    page->CheckBox1->setChecked(false);
    page->CheckBox3->setChecked(false);
    img = Frame();
    EXPECT_EQ(Count(img, 0xFFFFFF), 0);
    EXPECT_GT(Count(img, 0x00FF00), 3 * 50);
}

// A 2 x 2 uncompressed 24-bit TGA image of one colour.
TMemoryStream SolidTga(uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    for (int i = 0; i < 4; ++i)
        bytes.insert(bytes.end(), {b, g, r});
    return TMemoryStream(std::move(bytes));
}

TEST_F(DisplayPageTest, TexturedTriangleAndMissingPack)
{
    // Textures come through the world's texture service, made in the display's own context.
    ASSERT_NE(World().Textures, nullptr);
    TMemoryStream tga = SolidTga(255, 0, 0);
    const uint32_t tex = World().Textures->TextureFromStream(tga, false, false);
    ASSERT_NE(tex, 0u);

    OneTriangle(tex);
    StepBack(10);
    QImage img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0xFF0000u);

    // A pack index or slot that does not exist draws the model plain white.
    World().Models[0].Pack = 3;
    img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0xFFFFFFu);
    World().Models[0].Pack = 0;
    World().Models[0].TexSlot = 1;
    img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0xFFFFFFu);
    World().Packs.clear();
    World().Models[0].TexSlot = 0;
    img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0xFFFFFFu);
}

TEST_F(DisplayPageTest, TexturesMadeBeforeTheViewIsShownAreDrawnAndFreedAtClose)
{
    TTarvesh other(dialogs);
    other.FormCreate({});
    TDisplayPage* view = other.DisplayPage.get();
    TMemoryStream tga = SolidTga(0, 0, 255);
    const uint32_t tex = other.WorldData->Textures->TextureFromStream(tga, false, false);
    ASSERT_NE(tex, 0u);
    EXPECT_EQ(view->Panel1->context(), nullptr); // the view has not been shown yet

    OneTriangle(*other.WorldData, tex);
    other.show();
    other.PageControl1->setCurrentIndex(4);
    for (int i = 0; i < 50 && !view->Panel1->context(); ++i)
        RunLoop(20);
    view->ScrollBar2->setValue(10);
    view->Button13Click();
    const QImage img = view->Panel1->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(At(img, 232, 174), 0x0000FFu);

    other.FormClose();
    ASSERT_TRUE(view->MakeCurrent());
    EXPECT_FALSE(glIsTexture(tex));
    view->DoneCurrent();
}

TEST_F(DisplayPageTest, SceneTurnsAboutTheWorldCentre)
{
    // A triangle far from the origin stays in the middle of the view: it is drawn relative to its centre.
    OneTriangle();
    for (Vector3& v : World().Vertices)
        v.x += 1000;
    World().Center = {1000, 0, 0};
    StepBack(10);
    QImage img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0xFFFFFFu);
    // Turned 90 degrees about X, the flat triangle is seen edge-on.
    page->ScrollBar2->setValue(90);
    page->Button11Click();
    img = Frame();
    EXPECT_LT(Count(img, 0xFFFFFF), 465 * 3);
    EXPECT_EQ(At(img, 232, 120), 0x000000u);
}

TEST_F(DisplayPageTest, BadIndicesAndCountsAreNotFollowed)
{
    OneTriangle();
    World().Models[0].Triangles[0].VertexIndex[1] = 1000000; // skipped
    World().VertexCount = 50;                                // more than the arrays hold
    World().Models[0].TriangleCount = 9;
    World().ModelCount = 4;
    StepBack(10);
    page->CheckBox3->setChecked(true);
    const QImage img = Frame();
    EXPECT_EQ(At(img, 232, 174), 0x000000u);
    page->CheckBox1->setChecked(false);
    Frame();
}

TEST_F(DisplayPageTest, ResizeViewWithZeroHeight)
{
    ASSERT_TRUE(page->MakeCurrent());
    ResizeView(465, 0);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    page->DoneCurrent();
    EXPECT_EQ(vp[3], 1);
    EXPECT_EQ(vp[2], 465);
    ExpectProjection(ProjectionMatrix, 465);
}

TEST_F(DisplayPageTest, FramesOnlyAfterEventsNeverBusy)
{
    // Idle times are made by hand: the dispatcher's about-to-wait signal, then the events posted so far. Nothing
    // from outside the program (exposures by other windows, timers) comes in between, so the counts are exact.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get())); // frames of a window not yet shown are not painted
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    ASSERT_NE(dispatcher, nullptr);
    auto idle = [&](int times) {
        for (int i = 0; i < times; ++i) {
            emit dispatcher->aboutToBlock();
            QCoreApplication::sendPostedEvents();
        }
    };
    // What the start-up left pending is drawn within a few idle times.
    int settled = 0;
    for (int last = -1; last != page->FramesDrawn() && settled < 20; ++settled) {
        last = page->FramesDrawn();
        idle(1);
    }
    EXPECT_LT(settled, 20);
    int before = page->FramesDrawn();
    idle(50);
    EXPECT_EQ(page->FramesDrawn(), before); // no event, no frame: drawing a frame is no reason for the next

    // An event gives one frame, at the next idle time.
    QTest::mouseClick(page->Button13, Qt::LeftButton);
    EXPECT_EQ(CameraZ, 1.0);
    EXPECT_EQ(page->FramesDrawn(), before);
    idle(1);
    EXPECT_EQ(page->FramesDrawn(), before + 1);
    idle(50);
    EXPECT_EQ(page->FramesDrawn(), before + 1);

    // The real event loop draws the frame asked for when it is about to wait.
    before = page->FramesDrawn();
    page->RequestFrame();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (page->FramesDrawn() == before && std::chrono::steady_clock::now() < until)
        RunLoop(10);
    EXPECT_GT(page->FramesDrawn(), before);
}

} // namespace
