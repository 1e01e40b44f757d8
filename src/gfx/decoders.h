// decoders.h: the game's calls into its file decoders (Assimp, SOIL, FreeType), free of GL,
// and a compact byte form of what they produce.
//
// The loaders use these in the game's own process when no file trial runs (tests, tools);
// in the game the trial's worker processes run them, and the loaders build their GL objects
// from the bytes a worker sent back. Either way a file is decoded by the same code, and the
// game process never parses a model, image or font file itself.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gfx/mesh.h"

// One mesh as the model loader builds it: vertices (missing attributes are zero), the faces'
// indices in order, and the material's texture files as (sampler stem, file name) pairs,
// diffuse ones first.
struct DecodedMesh {
  std::vector<Vertex> vertices;
  std::vector<unsigned int> indices;
  std::vector<std::pair<std::string, std::string>> textures;
};

struct DecodedModel {
  bool loaded = false;              // false: Assimp refused the file
  std::string error;                // Assimp's reason when it did
  std::vector<DecodedMesh> meshes;  // depth-first node order
};

// Packed 8-bit RGB, first row first; empty when the image could not be decoded.
struct DecodedPixels {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
};

// One rasterised glyph: FreeType's bitmap (width x rows bytes, rows top first) and metrics.
struct DecodedGlyph {
  bool loaded = false;  // false: FreeType could not load this code
  int width = 0;
  int rows = 0;
  int left = 0;          // bitmap_left
  int top = 0;           // bitmap_top
  unsigned advance = 0;  // in 1/64 pixel
  std::vector<unsigned char> bitmap;
};

// The HUD font at the game's pixel size, codes 0 to kGlyphCount - 1.
struct DecodedFont {
  bool libraryReady = false;  // FreeType started
  bool faceReady = false;     // the file opened as a face
  std::vector<DecodedGlyph> glyphs;
};

// The path the model loader opens for a material texture of the model at `modelPath`.
std::string ModelTexturePath(const std::string& modelPath, const std::string& textureName);

DecodedModel DecodeModel(const std::string& path);   // Assimp import, the loader's walk
DecodedPixels DecodeImage(const std::string& path);  // SOIL, always as RGB
DecodedFont DecodeFont(const std::string& path);     // FreeType face + the HUD's glyphs

// Byte forms for the trip from a worker process. Parsing checks every length against the
// bytes at hand and fails rather than trusting them.
std::string SerializeModel(const DecodedModel& model);
bool ParseModel(const std::string& bytes, DecodedModel& model);
std::string SerializePixels(const DecodedPixels& pixels);
bool ParsePixels(const std::string& bytes, DecodedPixels& pixels);
std::string SerializeFont(const DecodedFont& font);
bool ParseFont(const std::string& bytes, DecodedFont& font);
