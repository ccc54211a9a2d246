// The "Options" page.
#pragma once

#include <QObject>

class TTarvesh;
class QWidget;

class TOptionsPage : public QObject {
    Q_OBJECT
public:
    TOptionsPage(TTarvesh& window, QWidget* page);

private:
    TTarvesh& window_;
};
