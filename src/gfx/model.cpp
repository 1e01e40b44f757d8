// model.cpp: placeholder until the graphics resources land.
#include "gfx/model.h"

Model::Model(const char*) {}
void Model::Draw(Shader) const {}
