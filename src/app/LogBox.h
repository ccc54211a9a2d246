// The window's text: log boxes, and the bound on what one line of a list, a log or a box shows.
#pragma once

#include <QString>
#include <string_view>

class QPlainTextEdit;
class QWidget;

// Multi-line text with a vertical scroll bar only, whose lines wrap at the box's width.
QPlainTextEdit* MakeLogBox(QWidget* parent, const char* name);

// The most characters a line of a list or a log shows: more than any path the system takes, so that a name from
// a file that is much longer (a hostile one) costs no more to lay out than that.
constexpr qsizetype kShownLineLength = 8192;

// `text` as shown in at most `limit` characters: a longer text keeps its start and its end with "…" between
// them, no character cut in two.
QString ShownText(const QString& text, qsizetype limit = kShownLineLength);
// The same for UTF-8 text, of which only what is shown is decoded.
QString ShownText(std::string_view utf8, qsizetype limit = kShownLineLength);
