// mesh.cpp: placeholder until the graphics resources land.
#include "gfx/mesh.h"

std::string SamplerName(const std::string& type, unsigned&, unsigned&) { return type; }
Mesh::Mesh(std::vector<Vertex> v, std::vector<unsigned int> i, std::vector<Texture> t)
    : vertices(std::move(v)), indices(std::move(i)), textures(std::move(t)) {}
void Mesh::UploadBuffers() {}
void Mesh::Draw(Shader) const {}
