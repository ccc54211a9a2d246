#include "app/Application.h"

#include <cstdio>

#include "platform/Dialogs.h"

TTarveshApplication::TTarveshApplication(int& argc, char** argv) : QApplication(argc, argv) {}

TTarveshApplication::~TTarveshApplication() = default;

TTarveshApplication* TTarveshApplication::Instance() { return dynamic_cast<TTarveshApplication*>(QCoreApplication::instance()); }

bool TTarveshApplication::notify(QObject* receiver, QEvent* event)
{
    std::exception_ptr error;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        error = std::current_exception();
    }
    // The box is shown outside the handler: it runs an event loop of its own.
    HandleException(error);
    return false;
}

std::string ExceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

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
