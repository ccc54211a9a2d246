#include "display/DisplayPage.h"

#include "app/Tmox.h"

TDisplayPage::TDisplayPage(TTarvesh& window, QWidget* page) : window_(window) { (void)page; }
