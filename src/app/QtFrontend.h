// Frontend over the main window's widgets. Within a command the lines of each text box are collected and reach
// it in one piece: when the command ends, and before pending messages run or a box is shown, so that a long load
// still shows its lines as it goes.
#pragma once

#include <QPointer>
#include <array>
#include <string>

#include "platform/Frontend.h"

class TTarvesh;
class QPlainTextEdit;

class QtFrontend : public Frontend {
public:
    explicit QtFrontend(TTarvesh& window) : window_(window) {}
    void AppendLine(MemoId memo, const std::string& line) override;
    void AppendLines(MemoId memo, const std::vector<std::string>& lines) override;
    void ClearMemo(MemoId memo) override;
    void ShowError(std::exception_ptr error) override;
    void ProcessMessages() override;
    int Option(OptionId id) override;

    // Hands every collected line to its text box.
    void FlushLines();

protected:
    void Message(const std::string& text) override;
    void Warning(const std::string& text) override;
    void SystemBox(const std::string& text, const std::string& caption) override;
    void CommandNested() override { FlushLines(); }
    void CommandEnded() override { FlushLines(); }

private:
    // Lines not yet in a text box: joined by '\n'.
    struct Pending {
        std::string text;
        bool any = false;
    };
    QPlainTextEdit* Memo(MemoId memo);
    void Flush(MemoId memo);
    // Appends lines joined by '\n' (at least one line) to the box.
    static void Append(QPlainTextEdit* box, const std::string& text);

    TTarvesh& window_;
    std::array<QPointer<QPlainTextEdit>, 3> memos_;
    std::array<Pending, 3> pending_;
    bool anyPending_ = false;
};
