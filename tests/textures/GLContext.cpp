#include "GLContext.h"

#include <QApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

bool MakeTestContextCurrent()
{
    static int argc = 1;
    static char arg0[] = "tests_textures_gl";
    static char* argv[] = {arg0, nullptr};
    static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    static QOffscreenSurface* surface = nullptr;
    static QOpenGLContext* context = nullptr;
    (void)app;
    if (!context) {
        QSurfaceFormat format;
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setRenderableType(QSurfaceFormat::OpenGL);
        surface = new QOffscreenSurface();
        surface->setFormat(format);
        surface->create();
        context = new QOpenGLContext();
        context->setFormat(format);
        if (!context->create())
            return false;
    }
    return context->makeCurrent(surface);
}
