#include "app/LogBox.h"

#include <QPlainTextEdit>

#include "platform/Paths.h"

QPlainTextEdit* MakeLogBox(QWidget* parent, const char* name)
{
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Between words, and inside a word (a long path) that is wider than the box.
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return box;
}

QString ShownText(const QString& text, qsizetype limit)
{
    if (text.size() <= limit)
        return text;
    qsizetype head = (limit - 1) / 2, tail = text.size() - (limit - 1 - head);
    if (head > 0 && text[head - 1].isHighSurrogate())
        --head;
    if (tail < text.size() && text[tail].isLowSurrogate())
        ++tail;
    return text.left(head) + QChar(0x2026) + text.mid(tail);
}

QString ShownText(std::string_view utf8, qsizetype limit)
{
    const size_t part = 2 * static_cast<size_t>(limit); // at least limit / 2 characters of up to 4 bytes
    if (utf8.size() <= 2 * part)
        return ShownText(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), limit);
    const std::string head = Utf8Prefix(utf8, part);
    size_t from = utf8.size() - part;
    while (from < utf8.size() && (static_cast<unsigned char>(utf8[from]) & 0xC0) == 0x80)
        ++from;
    const std::string_view tail = utf8.substr(from);
    return ShownText(QString::fromStdString(head) + QString::fromUtf8(tail.data(), static_cast<qsizetype>(tail.size())),
                     limit);
}
