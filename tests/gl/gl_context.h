// gl_context.h: GL tests share one hidden GLFW window with a GL 3.3 core context, created by
// gl_main.cpp before any test runs (on Xvfb + Mesa's llvmpipe here).
#pragma once

#include <GLFW/glfw3.h>

#include <string>

#include "gfx/gl.h"

GLFWwindow* TestWindow();  // the hidden window whose context is current

// Runs fn with standard output captured and returns what it printed.
template <typename Fn>
std::string CaptureStdout(Fn fn);

#include "gl_context_inl.h"
