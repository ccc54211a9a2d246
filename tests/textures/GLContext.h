// An offscreen OpenGL context (compatibility profile) made current for the tests of this suite.
#pragma once

class QOpenGLContext;

// Creates the application and the context on first use; false when no OpenGL is available here.
bool MakeTestContextCurrent();
