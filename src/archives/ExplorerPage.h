// The "Resource file explorer" page: open an archive, list its entries, extract them.
#pragma once

#include <QObject>
#include <string>

class TTarvesh;
class QWidget;

class TExplorerPage : public QObject {
    Q_OBJECT
public:
    TExplorerPage(TTarvesh& window, QWidget* page);

    void OpenResourceFile(const std::string& fileName);
    void ExtractAllFiles();

private:
    TTarvesh& window_;
};
