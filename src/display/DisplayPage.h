// The "Display" page: the OpenGL view and its controls.
#pragma once

#include <QObject>

class TTarvesh;
class QWidget;

class TDisplayPage : public QObject {
    Q_OBJECT
public:
    TDisplayPage(TTarvesh& window, QWidget* page);

private:
    TTarvesh& window_;
};
