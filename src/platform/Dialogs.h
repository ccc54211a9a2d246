// Standard dialogs, behind an interface so that tests can answer them.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

struct FileDialogSpec {
    std::string filter;      // "Description|*.a;*.b|Description|*.c"
    std::string defaultExt;  // without the dot, may be empty
    std::string fileName;    // proposed name (save dialogs)
    std::string title;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The chosen file's full path, or nothing on cancel. A file dialog starts in the folder of the last file chosen
    // through one of them (before the first: the current folder); a proposed name with a folder starts there.
    std::optional<std::string> OpenFile(const FileDialogSpec& request);
    std::optional<std::string> SaveFile(const FileDialogSpec& request);
    // Modal message box with the application's caption: the text and an OK button, no icon.
    virtual void MessageBox(const std::string& text) = 0;
    // The same with the warning icon.
    virtual void Warning(const std::string& text) { MessageBox(text); }
    // Plain information message.
    virtual void Information(const std::string& text) = 0;
    // Plain system message box with a caption of its own: no icon, no owner window.
    virtual void SystemMessageBox(const std::string& text, const std::string& caption) = 0;
    // One-line input box; cancel gives the preset text.
    virtual std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& preset) = 0;
    // The standard error box for an error that ended a command.
    virtual void ErrorBox(const std::string& text) = 0;

protected:
    // The dialogs themselves, started in `folder`.
    virtual std::optional<std::string> RunOpenDialog(const FileDialogSpec& request, const std::string& folder) = 0;
    virtual std::optional<std::string> RunSaveDialog(const FileDialogSpec& request, const std::string& folder) = 0;

private:
    std::string StartFolder() const;
    std::optional<std::string> Chosen(std::optional<std::string> file);
    std::string lastFolder_;
};

// Dialogs answered from queues; every call is recorded. An empty answer queue means cancel.
class ScriptedDialogs : public Dialogs {
public:
    void MessageBox(const std::string& text) override { messages.push_back(text); }
    void Warning(const std::string& text) override
    {
        messages.push_back(text);
        warnings.push_back(text);
    }
    void Information(const std::string& text) override { messages.push_back(text); }
    void SystemMessageBox(const std::string& text, const std::string& caption) override
    {
        messages.push_back(caption + ": " + text);
    }
    std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& preset) override
    {
        inputPrompts.push_back(prompt);
        if (inputAnswers.empty())
            return preset;
        auto a = inputAnswers.front();
        inputAnswers.pop_front();
        return a ? *a : preset;
    }
    void ErrorBox(const std::string& text) override { errors.push_back(text); }

    std::deque<std::optional<std::string>> openAnswers, saveAnswers, inputAnswers;
    std::vector<FileDialogSpec> fileDialogs;
    std::vector<std::string> dialogFolders; // the folder each of `fileDialogs` started in
    std::vector<std::string> messages, inputPrompts, errors;
    std::vector<std::string> warnings; // those of `messages` shown as warnings

protected:
    std::optional<std::string> RunOpenDialog(const FileDialogSpec& request, const std::string& folder) override
    {
        return Next(request, folder, openAnswers);
    }
    std::optional<std::string> RunSaveDialog(const FileDialogSpec& request, const std::string& folder) override
    {
        return Next(request, folder, saveAnswers);
    }

private:
    std::optional<std::string> Next(const FileDialogSpec& request, const std::string& folder,
                                    std::deque<std::optional<std::string>>& q)
    {
        fileDialogs.push_back(request);
        dialogFolders.push_back(folder);
        if (q.empty())
            return std::nullopt;
        auto a = q.front();
        q.pop_front();
        return a;
    }
};
