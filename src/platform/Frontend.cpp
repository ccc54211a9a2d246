#include "platform/Frontend.h"

#include <cstdio>
#include <cstring>

void Frontend::ShowMessage(const std::string& text, const char* file, unsigned line)
{
    if (Admit(file, line, text))
        Message(text);
}

void Frontend::ShowWarning(const std::string& text, const char* file, unsigned line)
{
    if (Admit(file, line, text))
        Warning(text);
}

void Frontend::MessageBox(const std::string& text, const std::string& caption, const char* file, unsigned line)
{
    if (Admit(file, line, text))
        SystemBox(text, caption);
}

bool Frontend::Admit(const char* file, unsigned line, const std::string& text)
{
    if (depth_ == 0)
        return true;
    for (Kind& k : kinds_) {
        if (k.line != line || std::strcmp(k.file, file) != 0)
            continue;
        if (k.shown < kMaxBoxesPerKind) {
            ++k.shown;
            return true;
        }
        ++k.more;
        return false;
    }
    kinds_.push_back({file, line, 1, 0, text});
    return true;
}

void Frontend::BeginCommand()
{
    if (depth_++ > 0)
        CommandNested();
}

void Frontend::EndCommand()
{
    if (depth_ == 0 || --depth_ > 0)
        return;
    CommandEnded();
    std::string report;
    for (const Kind& k : kinds_) {
        if (k.more == 0)
            continue;
        if (!report.empty())
            report += "\n\n";
        report += k.first + "\n" + MoreMessagesText(k.more);
    }
    kinds_.clear();
    if (!report.empty())
        Message(report);
}

TCommandScope::~TCommandScope()
{
    // A failure to show the report of a command that is ending anyway must not end the program: it is shown as
    // an error, or written to the standard error stream when even that fails.
    std::exception_ptr error;
    try {
        frontend_.EndCommand();
        return;
    } catch (...) {
        error = std::current_exception();
    }
    try {
        frontend_.ShowError(error);
    } catch (...) {
        std::fprintf(stderr, "%s\n", ErrorText(error).c_str());
    }
}

std::string ErrorText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

std::string MoreMessagesText(uint64_t more)
{
    std::string digits = std::to_string(more);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return "... and " + digits + (more == 1 ? " more such message" : " more such messages");
}
