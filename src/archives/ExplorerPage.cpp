#include "archives/ExplorerPage.h"

#include "app/Tmox.h"

TExplorerPage::TExplorerPage(TTarvesh& window, QWidget* page) : window_(window) { (void)page; }

void TExplorerPage::OpenResourceFile(const std::string& fileName) { (void)fileName; }

void TExplorerPage::ExtractAllFiles() {}
