#include "app/QtFrontend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "app/Application.h"
#include "app/LogBox.h"
#include "app/Tmox.h"

namespace {
const char* const kPendingBlank = "pendingBlankLine";

const char* MemoName(MemoId m)
{
    switch (m) {
    case MemoId::Memo1: return "Memo1";
    case MemoId::Memo2: return "Memo2";
    case MemoId::Memo3: return "Memo3";
    }
    return "";
}

int Checked(TTarvesh& w, const char* name, int dflt)
{
    auto* b = w.findChild<QAbstractButton*>(name);
    return b ? (b->isChecked() ? 1 : 0) : dflt;
}

int Position(TTarvesh& w, const char* name, int dflt)
{
    auto* s = w.findChild<QScrollBar*>(name);
    return s ? s->value() : dflt;
}

int Selected(TTarvesh& w, const char* name, int dflt)
{
    auto* g = w.findChild<QButtonGroup*>(name);
    return g ? g->checkedId() : dflt;
}
} // namespace

QPlainTextEdit* QtFrontend::Memo(MemoId memo)
{
    QPointer<QPlainTextEdit>& m = memos_[static_cast<size_t>(memo)];
    if (!m) {
        m = window_.findChild<QPlainTextEdit*>(MemoName(memo));
        // A log keeps no undo history of the lines the program appends.
        if (m)
            m->setUndoRedoEnabled(false);
    }
    return m;
}

void QtFrontend::Append(QPlainTextEdit* box, const std::string& text)
{
    QString lines = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (lines.size() > kShownLineLength) {
        QStringList each = lines.split('\n');
        for (QString& line : each)
            line = ShownText(line);
        lines = each.join('\n');
    }
    // An empty document cannot show a lone empty first line: hold it until the next line arrives.
    if (box->document()->isEmpty()) {
        if (box->property(kPendingBlank).toBool())
            lines.prepend('\n');
        else if (lines.isEmpty()) {
            box->setProperty(kPendingBlank, true);
            return;
        }
    }
    box->setProperty(kPendingBlank, false);
    box->appendPlainText(lines);
    // The newest line in view, also while the box's page is not shown.
    QScrollBar* bar = box->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void QtFrontend::AppendLine(MemoId memo, const std::string& line)
{
    if (!InCommand()) {
        if (QPlainTextEdit* m = Memo(memo))
            Append(m, line);
        return;
    }
    Pending& p = pending_[static_cast<size_t>(memo)];
    if (p.any)
        p.text += '\n';
    p.text += line;
    p.any = true;
    anyPending_ = true;
}

void QtFrontend::AppendLines(MemoId memo, const std::vector<std::string>& lines)
{
    if (lines.empty())
        return;
    if (InCommand()) {
        for (const std::string& line : lines)
            AppendLine(memo, line);
        return;
    }
    QPlainTextEdit* m = Memo(memo);
    if (!m)
        return;
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    Append(m, text);
}

void QtFrontend::Flush(MemoId memo)
{
    Pending& p = pending_[static_cast<size_t>(memo)];
    if (!p.any)
        return;
    if (QPlainTextEdit* m = Memo(memo))
        Append(m, p.text);
    std::string().swap(p.text);
    p.any = false;
}

void QtFrontend::FlushLines()
{
    if (!anyPending_)
        return;
    anyPending_ = false;
    for (MemoId memo : {MemoId::Memo1, MemoId::Memo2, MemoId::Memo3})
        Flush(memo);
}

void QtFrontend::ClearMemo(MemoId memo)
{
    Pending& p = pending_[static_cast<size_t>(memo)];
    std::string().swap(p.text);
    p.any = false;
    if (QPlainTextEdit* m = Memo(memo)) {
        m->clear();
        m->setProperty(kPendingBlank, false);
    }
}

void QtFrontend::Message(const std::string& text)
{
    FlushLines();
    window_.dialogs().MessageBox(text);
}

void QtFrontend::Warning(const std::string& text)
{
    FlushLines();
    window_.dialogs().Warning(text);
}

void QtFrontend::SystemBox(const std::string& text, const std::string& caption)
{
    FlushLines();
    window_.dialogs().SystemMessageBox(text, caption);
}

void QtFrontend::ShowError(std::exception_ptr error) { ShowException(error); }

void QtFrontend::ProcessMessages()
{
    FlushLines();
    QApplication::processEvents();
}

int QtFrontend::Option(OptionId id)
{
    switch (id) {
    case OptionId::LoadTextures: return Checked(window_, "CheckBox4", 0);
    case OptionId::WriteOBJ: return Checked(window_, "CheckBox5", 0);
    case OptionId::AssignFiles: return Checked(window_, "CheckBox2", 0);
    case OptionId::ConvertFormat: return Selected(window_, "RadioGroup1", 0);
    case OptionId::OggQuality: return Position(window_, "ScrollBar1", 100);
    case OptionId::ClearPrevious: return Checked(window_, "CheckBox6", 0);
    case OptionId::Legacy3DS: return Checked(window_, "CheckBox14", 0);
    case OptionId::Legacy3DSTextures: return Checked(window_, "CheckBox7", 0);
    case OptionId::ModelFormat: return Selected(window_, "RadioGroup2", 0);
    case OptionId::Triangles: return Checked(window_, "CheckBox1", 1);
    case OptionId::Normals: return Checked(window_, "CheckBox3", 0);
    case OptionId::DisplayStep: return Position(window_, "ScrollBar2", 1);
    case OptionId::Debug: return window_.property("DebugSwitch").toBool() ? 1 : 0;
    }
    return 0;
}
