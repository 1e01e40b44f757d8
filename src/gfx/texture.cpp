// texture.cpp: placeholder until the graphics resources land.
#include "gfx/texture.h"

GLuint LoadModelTexture(const char*, std::string) { return 0; }
void LoadTexture(GLuint& id, const char*) { id = 0; }
GLuint LoadCubemap(std::vector<std::string>) { return 0; }
