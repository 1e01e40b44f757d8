// readback.h: copies of what a framebuffer holds, for tests, the benchmark and screenshots.
// Rows come bottom-up, as GL stores them. Framebuffer 0 is read from its back buffer.
#pragma once

#include <vector>

#include "gfx/gl.h"

std::vector<unsigned char> ReadFramebufferColor(GLuint framebuffer, unsigned width,
                                                unsigned height);  // RGBA, 4 bytes a pixel
std::vector<float> ReadFramebufferDepth(GLuint framebuffer, unsigned width, unsigned height);
