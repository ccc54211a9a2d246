// Frontend over the main window's widgets, found by their object names at the moment of use.
#pragma once

#include "platform/Frontend.h"

class TTarvesh;

class QtFrontend : public Frontend {
public:
    explicit QtFrontend(TTarvesh& window) : window_(window) {}
    void AppendLine(MemoId memo, const std::string& line) override;
    void AppendLines(MemoId memo, const std::vector<std::string>& lines) override;
    void ClearMemo(MemoId memo) override;
    void ShowMessage(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    void MessageBox(const std::string& text, const std::string& caption) override;
    void ProcessMessages() override;
    int Option(OptionId id) override;

private:
    TTarvesh& window_;
};
