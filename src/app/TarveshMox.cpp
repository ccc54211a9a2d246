// Program body.
#include <QApplication>

#include "app/QtDialogs.h"
#include "app/Tmox.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tarvesh Mox");
    QtDialogs dialogs;
    TTarvesh Tarvesh(dialogs);
    dialogs.SetParent(&Tarvesh);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    Tarvesh.FormCreate(args);
    Tarvesh.show();
    return app.exec();
}
