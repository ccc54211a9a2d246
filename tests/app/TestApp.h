// The one application object of a GUI test executable.
#pragma once

#include "app/Application.h"

inline TTarveshApplication& App()
{
    static int argc = 1;
    static char arg0[] = "tests_app";
    static char* argv[] = {arg0, nullptr};
    static TTarveshApplication* app = new TTarveshApplication(argc, argv);
    return *app;
}
