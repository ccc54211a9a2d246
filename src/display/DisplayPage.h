// The "Display" page: the OpenGL view (Panel1) and the controls that turn the scene, move the camera, reset
// the view, empty the world data and export it.
#pragma once

#include <QObject>
#include <QOpenGLWidget>

#include <memory>
#include <string>

class TTarvesh;
class TDisplayPage;
class QWidget;
class QCheckBox;
class QPushButton;
class QScrollBar;
class QLabel;
class TWorldData;
class QOpenGLContext;
class QOffscreenSurface;

// The OpenGL surface of the page. Its frames come from TDisplayPage::RenderScene.
class TGLPanel : public QOpenGLWidget {
    Q_OBJECT
public:
    TGLPanel(TDisplayPage& page, QWidget* parent);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    TDisplayPage& page_;
};

class TDisplayPage : public QObject {
    Q_OBJECT
public:
    TDisplayPage(TTarvesh& window, QWidget* page);
    ~TDisplayPage() override;

    // Start-up: the OpenGL context on Panel1 (made before the window is first shown), the idle handler,
    // the projection from the current viewport and one frame that is not shown.
    void CreateGLContext();
    void InstallIdleHandler();
    void InitProjection();
    void RenderScene();
    // The context for texture uploads and deletes, made at start-up in the view's share group: textures made
    // in it are drawn by the view. MakeCurrent is false when there is none; DoneCurrent releases it.
    QOpenGLContext* GLContext() const { return glContext_.get(); }
    bool MakeCurrent();
    void DoneCurrent();

    // Frames are drawn when the event loop is about to wait after it handled events.
    void AppIdle();
    void Panel1Resize();
    void Panel1MouseMove(Qt::MouseButtons Shift, int X, int Y);

    void Button13Click(); // "Z+"
    void Button14Click(); // "Z-"
    void Button11Click(); // "XL"
    void Button12Click(); // "XR"
    void Button15Click(); // "YL"
    void Button17Click(); // "YR"
    void Button16Click(); // "ZL"
    void Button18Click(); // "ZR"
    void ScrollBar2Change();
    void Button21Click(); // "Reset view"
    void Button4Click();  // "Clear data"
    void Button6Click();  // "Export data"

    // Export base name: the bin file's name without folder and without its last 4 characters.
    static std::string ExportBaseName(const std::string& binFileName);

    TGLPanel* Panel1 = nullptr;
    QCheckBox* CheckBox1 = nullptr; // "Triangles"
    QPushButton* Button21 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button13 = nullptr;
    QPushButton* Button14 = nullptr;
    QScrollBar* ScrollBar2 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Button11 = nullptr;
    QPushButton* Button12 = nullptr;
    QPushButton* Button15 = nullptr;
    QPushButton* Button17 = nullptr;
    QPushButton* Button16 = nullptr;
    QPushButton* Button18 = nullptr;
    QCheckBox* CheckBox3 = nullptr; // "normals"

    int FramesDrawn() const { return frames_; }
    // A new frame at the next idle time.
    void RequestFrame();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TGLPanel;
    int Step() const;
    // CameraSetPosition from CameraX/Y/Z, CameraUpdate, ViewChanged.
    void CameraUpdateTail();
    void DrawFrame(); // RenderScene with the context already current

    TTarvesh& window_;
    std::unique_ptr<QOffscreenSurface> glSurface_;
    std::unique_ptr<QOpenGLContext> glContext_;
    bool idleInstalled_ = false;
    bool framePending_ = false;
    int frames_ = 0;
};
