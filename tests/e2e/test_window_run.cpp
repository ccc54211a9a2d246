// The analyzer's road through the real main window: a compressed bin file analyzed with its textures uploaded,
// every texture exported, every Game Object loaded and exported, and the last one drawn by the display.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QEventLoop>
#include <QImage>
#include <QOpenGLWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <sstream>

#include "support/TestApp.h"
#include "app/OptionsPage.h"
#include "app/Tmox.h"
#include "bin/BinPages.h"
#include "display/DisplayPage.h"
#include "e2e/Samples.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void RunLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string Text(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

int Count(const std::string& text, const std::string& prefix)
{
    int n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        n += line.rfind(prefix, 0) == 0;
    return n;
}

// Mean position of the pixels of one colour (within a tolerance), and their number.
struct Spot {
    double x = 0, y = 0;
    int n = 0;
};
Spot Find(const QImage& img, QRgb colour)
{
    Spot s;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - qRed(colour)) < 40 && std::abs(qGreen(p) - qGreen(colour)) < 40 &&
                std::abs(qBlue(p) - qBlue(colour)) < 40) {
                s.x += x;
                s.y += y;
                ++s.n;
            }
        }
    if (s.n) {
        s.x /= s.n;
        s.y /= s.n;
    }
    return s;
}

} // namespace

TEST(AnalyzerRun, CompressedFileToTexturesModelsAndTheView)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // as the program does
    App();
    TempDir dir;
    WriteSamples(dir.path());
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path()); // bare export names land here

    ScriptedDialogs dialogs;
    {
        TTarvesh w(dialogs);
        w.FormCreate({});
        w.show();
        w.OptionsPage->CheckBox4->setChecked(true); // Load textures
        w.OptionsPage->CheckBox5->setChecked(true); // Write 3D models
        w.OptionsPage->CheckBox6->setChecked(false); // Clear previous
        TBinPages& p = *w.BinPages;

        dialogs.openAnswers.push_back((dir.path() / "packed.bin").string());
        QTest::mouseClick(p.Button5, Qt::LeftButton);
        const QString log = p.Memo3->toPlainText();
        EXPECT_TRUE(log.contains("10 textures loaded.")) << log.toStdString();
        EXPECT_TRUE(log.contains("Done.")) << log.toStdString();
        EXPECT_FALSE(fs::exists(dir.path() / "packed.binexpanded"));

        QTest::mouseClick(p.Button19, Qt::LeftButton);
        QTest::mouseClick(p.Button20, Qt::LeftButton);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_TRUE(dialogs.errors.empty());

        // Every texture data block as a TGA file named after the bin file and its key.
        for (uint32_t key = 0x300; key <= 0x309; ++key) {
            char name[32];
            std::snprintf(name, sizeof name, "packed_%08X.TGA", key);
            EXPECT_TRUE(fs::exists(dir.path() / name)) << name;
        }
        // The 64 x 64 quarters: stored bottom row first, so the first stored pixel is the bottom left (blue) one
        // and the last is the top right (green) one.
        const Bytes q = ReadFileBytes((dir.path() / "packed_00000309.TGA").string());
        ASSERT_EQ(q.size(), 18u + 64 * 64 * 4);
        EXPECT_EQ(Bytes(q.begin() + 12, q.begin() + 17), (Bytes{64, 0, 64, 0, 32}));
        EXPECT_EQ(Bytes(q.begin() + 18, q.begin() + 22), (Bytes{255, 0, 0, 255}));
        EXPECT_EQ(Bytes(q.end() - 4, q.end()), (Bytes{0, 255, 0, 255}));

        // One OBJ and MTL per Game Object, each holding the world as it then stood; the quad names its texture.
        EXPECT_EQ(Count(Text(dir.path() / "Crate.obj"), "v "), 4);
        EXPECT_EQ(Count(Text(dir.path() / "Crate.obj"), "f "), 2);
        EXPECT_EQ(Count(Text(dir.path() / "Lamp.obj"), "v "), 4 + 6);
        EXPECT_NE(Text(dir.path() / "Crate.mtl").find("map_Kd .\\packed_00000309.TGA\r\n"), std::string::npos);
        // The actor mesh replaces the world and is exported on its own.
        EXPECT_EQ(Count(Text(dir.path() / "Robot.obj"), "v "), 4);

        // The view shows the actor (the list after it is no plain mesh and adds nothing), a textured quad, the right way up: red above blue, green right of red.
        w.PageControl1->setCurrentIndex(4);
        TDisplayPage& d = *w.DisplayPage;
        for (int i = 0; i < 50 && !d.Panel1->context(); ++i)
            RunLoop(20);
        d.ScrollBar2->setValue(8);
        d.Button13Click();
        RunLoop(50);
        const QImage img = d.Panel1->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        const Spot red = Find(img, qRgb(255, 0, 0)), green = Find(img, qRgb(0, 255, 0)),
                   blue = Find(img, qRgb(0, 0, 255));
        ASSERT_GT(red.n, 50);
        ASSERT_GT(green.n, 50);
        ASSERT_GT(blue.n, 50);
        EXPECT_LT(red.y, blue.y);
        EXPECT_LT(red.x, green.x);
        EXPECT_NEAR(red.y, green.y, 3);
        EXPECT_NEAR(red.x, blue.x, 3);
    }
    fs::current_path(cwd);
}
