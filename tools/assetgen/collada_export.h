// collada_export.h: writes a generated model as COLLADA 1.4.1 through Assimp's own exporter,
// then reads the file back the way the game does and checks that nothing changed.
#pragma once

#include <string>

#include "geometry.h"

// Writes `model` to `path`. Returns an empty string on success, else what went wrong.
std::string ExportCollada(const ModelData& model, const std::string& path);

// Imports `path` with Triangulate | FlipUVs (the game's flags) and compares every triangle
// corner's position, normal and texture coordinate, and every material's texture names, with
// `model` bit for bit. Returns an empty string when they match, else the first difference.
std::string VerifyCollada(const ModelData& model, const std::string& path);
