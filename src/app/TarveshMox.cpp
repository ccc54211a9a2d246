// Program body.
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "app/Application.h"
#include "app/QtDialogs.h"
#include "app/Tmox.h"

namespace {
int signalPipe[2] = {-1, -1};
bool starting = true;        // the start-up handler has not returned yet
bool closeRequested = false; // a close request came in while it ran

void OnTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT close the main window the ordinary way, so the options are stored.
void CloseOnTerminate(TTarvesh& window)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char buf[16];
        while (::read(signalPipe[0], buf, sizeof buf) > 0) {
        }
        if (starting) {
            // The start-up may be waiting on a message box: end the box; the window is closed once the
            // start-up has returned.
            closeRequested = true;
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
            return;
        }
        window.close();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
} // namespace

int main(int argc, char** argv)
{
    // A write past the process's file-size limit fails as an ordinary write error (EFBIG), which removes the
    // unfinished file, instead of ending the program and leaving that file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    // The display's texture context and its view share textures.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TTarveshApplication app(argc, argv);
    QApplication::setApplicationName("Tarvesh Mox");
    QtDialogs dialogs;
    app.SetDialogs(&dialogs);
    TTarvesh Tarvesh(dialogs);
    dialogs.SetParent(&Tarvesh);
    CloseOnTerminate(Tarvesh);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    // An error in the start-up handler skips its remaining steps; the window still opens.
    RunCommand([&] {
        const TCommandScope command(Tarvesh.frontend()); // the start-up and the command line are one command
        Tarvesh.FormCreate(args);
    });
    starting = false;
    if (closeRequested) {
        Tarvesh.close(); // the ordinary close: the options are stored
        return 0;
    }
    Tarvesh.show();
    return app.exec();
}
