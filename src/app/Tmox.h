// The main window: five pages on PageControl1, the long-lived objects, start-up and close.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <memory>

#include "display/camera.h"
#include "platform/Dialogs.h"
#include "platform/GLTextures.h"
#include "platform/Frontend.h"


class QTabWidget;
class QCloseEvent;
class TExplorerPage;
class TBinPages;
class TOptionsPage;
class TDisplayPage;
class TBinFile;
class TWorldData;
class TBF;

extern const char* const kVersionText;

// '.' as the decimal separator of the process (C library and Qt), whatever the user's locale.
void UsePointDecimalSeparator();

class TTarvesh : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and its pages; FormCreate runs separately so that callers (main, tests) decide when.
    // FormCreate raises what its steps raise; the caller shows it in the error box and the window still opens.
    explicit TTarvesh(Dialogs& dialogs, QWidget* parent = nullptr);
    ~TTarvesh() override;

    void FormCreate(const QStringList& args);
    void FormClose();

    Frontend& frontend() { return *frontend_; }
    Dialogs& dialogs() { return dialogs_; }

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "Resource file explorer"
    QWidget* Expander = nullptr;  // "Bin unpacker"
    QWidget* TabSheet3 = nullptr; // "Bin analyzer"
    QWidget* TabSheet4 = nullptr; // "Options"
    QWidget* TabSheet5 = nullptr; // "Display"

    std::unique_ptr<TExplorerPage> Explorer;
    std::unique_ptr<TBinPages> BinPages;
    std::unique_ptr<TOptionsPage> OptionsPage;
    std::unique_ptr<TDisplayPage> DisplayPage;

    std::unique_ptr<TBF> BF;
    std::unique_ptr<TBinFile> BinFile;
    std::unique_ptr<TWorldData> WorldData;
    std::unique_ptr<GLTextures> GLTextureService; // uploads and deletes in the display's context
    Tcamera SceneCamera;
    Tcamera* CurrentCamera = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Dialogs& dialogs_;
    std::unique_ptr<Frontend> frontend_;
    bool closed_ = false;
};
