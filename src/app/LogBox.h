// The window's log boxes: multi-line text with a vertical scroll bar only, whose lines wrap at the box's width.
#pragma once

class QPlainTextEdit;
class QWidget;

QPlainTextEdit* MakeLogBox(QWidget* parent, const char* name);
