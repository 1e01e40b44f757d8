// gl.h: the one include for OpenGL in the game. GLEW must come before any other GL header.
// The browser build puts web/include/gfx/gl.h (WebGL 2) in this header's place.
#pragma once

#include <GL/glew.h>
