// texture.h: image textures decoded by SOIL as packed 8-bit RGB.
//
// Every function leaves texture 0 bound to its target. When an image cannot be decoded the
// texture still exists and its level 0 is one magenta texel (a cube face: magenta at the size
// of the faces that did decode, so the cube map stays complete); sampling it is defined.
#pragma once

#include <string>
#include <vector>

#include "gfx/gl.h"

GLuint LoadModelTexture(const char* fileName, std::string directory);  // repeat, mipmapped
void LoadTexture(GLuint& textureId, const char* path);                 // mirrored repeat, linear
GLuint LoadCubemap(std::vector<std::string> faces);  // +X,-X,+Y,-Y,+Z,-Z; clamp to edge
