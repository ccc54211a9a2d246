#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include "app/LogBox.h"

QString QtFilterFromPipes(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pats = parts[i + 1];
        pats.replace(';', ' ');
        out << parts[i] + " (" + pats + ")";
    }
    return out.join(";;");
}

QString OpenDialogFileName(const QString& path, const QString& defaultExt)
{
    const QFileInfo info(path);
    if (defaultExt.isEmpty() || info.fileName().contains('.') || info.exists())
        return path;
    return path + '.' + defaultExt;
}

namespace {

QString DefaultSuffix(const FileDialogSpec& request)
{
    QString ext = QString::fromStdString(request.defaultExt);
    ext.remove(QRegularExpression("^\\*?\\."));
    return ext;
}

// QFileDialog adds its default suffix to every name without one, also to a file that exists as it is, and then
// looks for that name. Here the suffix is set for each accepted name, from OpenDialogFileName.
class OpenFileDialog : public QFileDialog {
public:
    OpenFileDialog(QWidget* parent, const QString& title, QString ext)
        : QFileDialog(parent, title), ext_(std::move(ext))
    {
    }

protected:
    void accept() override
    {
        setDefaultSuffix(QString());
        const QStringList chosen = selectedFiles();
        const bool add = chosen.size() == 1 && OpenDialogFileName(chosen.front(), ext_) != chosen.front();
        setDefaultSuffix(add ? ext_ : QString());
        QFileDialog::accept();
    }

private:
    QString ext_;
};

} // namespace

std::optional<std::string> QtDialogs::RunOpenDialog(const FileDialogSpec& request, const std::string& folder)
{
    OpenFileDialog dlg(parent_, QString::fromStdString(request.title), DefaultSuffix(request));
    dlg.setDirectory(QString::fromStdString(folder));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(QtFilterFromPipes(request.filter));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().first().toStdString();
}

std::optional<std::string> QtDialogs::RunSaveDialog(const FileDialogSpec& request, const std::string& folder)
{
    QFileDialog dlg(parent_, QString::fromStdString(request.title));
    dlg.setDirectory(QString::fromStdString(folder));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilter(QtFilterFromPipes(request.filter));
    dlg.setDefaultSuffix(DefaultSuffix(request));
    if (!request.fileName.empty())
        dlg.selectFile(QString::fromStdString(request.fileName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().first().toStdString();
}

namespace {

// A box's text fits on any screen: about 1,000 characters at most. A stretch of more than kWord characters where
// the text may not break (a path without separators) gets zero-width spaces every few characters, never inside a
// surrogate pair; a text without such a stretch is shown as it is.
QString BoxText(const std::string& text)
{
    constexpr qsizetype kLength = 1000, kWord = 50, kStep = 10;
    const QString shown = ShownText(text, kLength);
    QString out;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, shown);
    for (qsizetype from = 0, to = breaks.toNextBoundary(); to != -1; from = to, to = breaks.toNextBoundary()) {
        if (to - from <= kWord) {
            out += QStringView(shown).mid(from, to - from);
            continue;
        }
        for (qsizetype i = from, next = from + kStep; i < to; ++i) {
            if (i >= next && !shown[i].isLowSurrogate()) {
                out += QChar(0x200B);
                next = i + kStep;
            }
            out += shown[i];
        }
    }
    return out;
}

// Every box of the program: the text and an OK button.
void ShowBox(QMessageBox::Icon icon, QWidget* owner, const QString& caption, const std::string& text)
{
    QMessageBox box(icon, caption, BoxText(text), QMessageBox::Ok, owner);
    box.exec();
}

} // namespace

void QtDialogs::MessageBox(const std::string& text)
{
    ShowBox(QMessageBox::NoIcon, parent_, QApplication::applicationName(), text);
}

void QtDialogs::Warning(const std::string& text)
{
    ShowBox(QMessageBox::Warning, parent_, QApplication::applicationName(), text);
}

void QtDialogs::Information(const std::string& text)
{
    ShowBox(QMessageBox::Information, parent_, QApplication::applicationName(), text);
}

void QtDialogs::SystemMessageBox(const std::string& text, const std::string& caption)
{
    ShowBox(QMessageBox::NoIcon, nullptr, QString::fromStdString(caption), text);
}

std::string QtDialogs::InputBox(const std::string& caption, const std::string& prompt, const std::string& preset)
{
    bool ok = false;
    const QString s = QInputDialog::getText(parent_, QString::fromStdString(caption), QString::fromStdString(prompt),
                                            QLineEdit::Normal, QString::fromStdString(preset), &ok);
    return ok ? s.toStdString() : preset;
}

void QtDialogs::ErrorBox(const std::string& text)
{
    ShowBox(QMessageBox::Critical, parent_, QApplication::applicationName(), text);
}
