// The one application object of a GUI test executable: the program's own, with its error box.
#pragma once

#include "app/Application.h"

inline TTarveshApplication& App()
{
    static int argc = 1;
    static char arg0[] = "tarvesh_tests";
    static char* argv[] = {arg0, nullptr};
    static TTarveshApplication* app = [] {
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // as the program does
        return new TTarveshApplication(argc, argv);
    }();
    return *app;
}
