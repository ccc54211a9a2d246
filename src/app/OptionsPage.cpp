#include "app/OptionsPage.h"

#include "app/Tmox.h"

TOptionsPage::TOptionsPage(TTarvesh& window, QWidget* page) : window_(window) { (void)page; }
