#include "app/Application.h"

#include <cstdio>

#include "platform/Dialogs.h"
#include "platform/Frontend.h"

TTarveshApplication::TTarveshApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TTarveshApplication::~TTarveshApplication() = default;

TTarveshApplication* TTarveshApplication::Instance() { return dynamic_cast<TTarveshApplication*>(QCoreApplication::instance()); }

bool TTarveshApplication::notify(QObject* receiver, QEvent* event)
{
    Frontend* const frontend = frontend_;
    if (frontend)
        frontend->BeginCommand();
    std::exception_ptr error;
    bool result = false;
    try {
        result = QApplication::notify(receiver, event);
    } catch (...) {
        error = std::current_exception();
    }
    // The boxes are shown outside the handler: they run an event loop of their own. The command's lines and the
    // report of the boxes it did not show come first (the window may have gone during the event).
    if (frontend && frontend == frontend_)
        RunCommand([frontend] { frontend->EndCommand(); });
    if (error)
        HandleException(error);
    return result;
}

std::string ExceptionMessage(std::exception_ptr error) { return ErrorText(error); }

void TTarveshApplication::HandleException(std::exception_ptr error)
{
    const std::string text = ExceptionMessage(error);
    if (dialogs_)
        dialogs_->ErrorBox(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

void ShowException(std::exception_ptr error)
{
    if (auto* app = TTarveshApplication::Instance())
        app->HandleException(error);
    else
        std::fprintf(stderr, "%s\n", ExceptionMessage(error).c_str());
}
