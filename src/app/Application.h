// The application object: every event is dispatched through it, and an error that escapes a command (a C++
// exception) ends that command in the standard error box while the program goes on.
#pragma once

#include <QApplication>
#include <exception>
#include <string>

class Dialogs;
class Frontend;

class TTarveshApplication : public QApplication {
public:
    TTarveshApplication(int& argc, char** argv);
    ~TTarveshApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Where the error box is shown (the main window's dialogs); without one, errors go to stderr.
    void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
    Dialogs* GetDialogs() const { return dialogs_; }
    // The frontend whose commands the events are: each event handled outside any other is one command (the main
    // window sets its own; null: none).
    void SetFrontend(Frontend* frontend) { frontend_ = frontend; }
    Frontend* GetFrontend() const { return frontend_; }

    // Shows the error in the standard error box.
    void HandleException(std::exception_ptr error);

    static TTarveshApplication* Instance();

private:
    Dialogs* dialogs_ = nullptr;
    Frontend* frontend_ = nullptr;
};

// The text shown for an error.
std::string ExceptionMessage(std::exception_ptr error);

// Shows an error through the running TTarveshApplication (stderr when there is none).
void ShowException(std::exception_ptr error);

// Runs a command; an error it raises is shown in the standard error box. Returns false when it raised one.
template <typename F>
bool RunCommand(F&& command)
{
    try {
        command();
        return true;
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}
