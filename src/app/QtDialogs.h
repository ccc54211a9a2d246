// Dialogs over QFileDialog, QMessageBox and QInputDialog.
#pragma once

#include <QString>

#include "platform/Dialogs.h"

class QWidget;

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    void MessageBox(const std::string& text) override;
    void Warning(const std::string& text) override;
    void Information(const std::string& text) override;
    void SystemMessageBox(const std::string& text, const std::string& caption) override;
    std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& preset) override;
    void ErrorBox(const std::string& text) override;

protected:
    std::optional<std::string> RunOpenDialog(const FileDialogSpec& request, const std::string& folder) override;
    std::optional<std::string> RunSaveDialog(const FileDialogSpec& request, const std::string& folder) override;

private:
    QWidget* parent_;
};

// "Desc|*.a;*.b|Desc2|*.c" -> "Desc (*.a *.b);;Desc2 (*.c)"
QString QtFilterFromPipes(const std::string& filter);

// The file an open dialog takes for a chosen path: the default extension (without the dot) is added only to a name
// that has no extension and does not exist as it is.
QString OpenDialogFileName(const QString& path, const QString& defaultExt);
