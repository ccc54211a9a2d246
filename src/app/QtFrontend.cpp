#include "app/QtFrontend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QPlainTextEdit>
#include <QScrollBar>

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

void QtFrontend::AppendLine(MemoId memo, const std::string& line)
{
    auto* m = window_.findChild<QPlainTextEdit*>(MemoName(memo));
    if (!m)
        return;
    // An empty document cannot show a lone empty first line: hold it until the next line arrives.
    QString text = QString::fromStdString(line);
    if (m->document()->isEmpty()) {
        if (m->property(kPendingBlank).toBool())
            text.prepend('\n');
        else if (text.isEmpty()) {
            m->setProperty(kPendingBlank, true);
            return;
        }
    }
    m->setProperty(kPendingBlank, false);
    m->appendPlainText(text);
    // The newest line in view, also while the box's page is not shown.
    QScrollBar* bar = m->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void QtFrontend::AppendLines(MemoId memo, const std::vector<std::string>& lines)
{
    auto* m = window_.findChild<QPlainTextEdit*>(MemoName(memo));
    if (!m)
        return;
    // The first lines of an empty document go one by one (for its empty first line); the rest as one text,
    // which the text box lays out once instead of once per line.
    size_t next = 0;
    while (next < lines.size() && m->document()->isEmpty())
        AppendLine(memo, lines[next++]);
    if (next == lines.size())
        return;
    QString text;
    for (size_t i = next; i < lines.size(); ++i) {
        if (i > next)
            text += '\n';
        text += QString::fromStdString(lines[i]);
    }
    m->appendPlainText(text);
    QScrollBar* bar = m->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void QtFrontend::ClearMemo(MemoId memo)
{
    if (auto* m = window_.findChild<QPlainTextEdit*>(MemoName(memo))) {
        m->clear();
        m->setProperty(kPendingBlank, false);
    }
}

void QtFrontend::ShowMessage(const std::string& text) { window_.dialogs().MessageBox(text); }

void QtFrontend::ShowWarning(const std::string& text) { window_.dialogs().Warning(text); }

void QtFrontend::MessageBox(const std::string& text, const std::string& caption)
{
    window_.dialogs().SystemMessageBox(text, caption);
}

void QtFrontend::ProcessMessages() { QApplication::processEvents(); }

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
