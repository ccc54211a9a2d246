// The "Bin unpacker" and "Bin analyzer" pages.
#pragma once

#include <QObject>

class TTarvesh;
class QWidget;

class TBinPages : public QObject {
    Q_OBJECT
public:
    TBinPages(TTarvesh& window, QWidget* unpackerPage, QWidget* analyzerPage);

private:
    TTarvesh& window_;
};
