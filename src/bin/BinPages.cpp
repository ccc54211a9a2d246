#include "bin/BinPages.h"

#include "app/Tmox.h"

TBinPages::TBinPages(TTarvesh& window, QWidget* unpackerPage, QWidget* analyzerPage) : window_(window)
{
    (void)unpackerPage;
    (void)analyzerPage;
}
