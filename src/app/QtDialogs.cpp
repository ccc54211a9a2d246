#include "app/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

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

// A box's text fits on any screen: about 1,000 characters at most, and a word longer than a line of the box (a
// path) may break anywhere, at zero-width spaces put in every few characters, never inside a surrogate pair.
QString BoxText(const std::string& text)
{
    constexpr qsizetype kLength = 1000, kWord = 40, kStep = 10;
    const QString shown = ShownText(text, kLength);
    QString out;
    out.reserve(shown.size() + shown.size() / kStep);
    qsizetype run = 0, next = kWord; // the word's length so far, and past which length it may break next
    for (const QChar c : shown) {
        if (c.isSpace()) {
            run = 0;
            next = kWord;
        } else if (++run > next && !c.isLowSurrogate()) {
            out += QChar(0x200B);
            next = run + kStep - 1;
        }
        out += c;
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
