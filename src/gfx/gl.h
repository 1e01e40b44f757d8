// gl.h: the one include for OpenGL in the game. GLEW must come before any other GL header.
#pragma once

#include <GL/glew.h>
