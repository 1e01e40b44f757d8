// decoders.h: the game's calls into its file decoders (Assimp, SOIL, FreeType, stb_vorbis), free
// of GL, and a compact byte form of what they produce.
//
// Decoders work on bytes already in memory: the file is read (see safe_file.h) before any
// decoder runs, so a decoder never opens anything itself. The loaders use the *File helpers
// in their own process only where the caller chose that by name (tests, tools); in the game
// the trial's confined workers run the decoders, and the loaders build their GL objects from
// the bytes a worker sent back. Either way a file is decoded by the same code, and the game
// process never parses a model, image, font or sound file itself.
#pragma once

#include <cstdint>
#include <glm/glm.hpp>
#include <string>
#include <utility>
#include <vector>

// One vertex, 32 bytes, the same layout in memory, in the byte form and in the GL buffer.
struct Vertex {
  glm::vec3 position;   // offset 0
  glm::vec3 normal;     // offset 12, as read from the file
  glm::vec2 texCoords;  // offset 24, coordinate set 0
};

constexpr unsigned kGlyphPixelHeight = 48;  // rasterised size of every HUD glyph
constexpr int kGlyphCount = 128;            // codes 0-127

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

// A sound as 16-bit samples, mono or stereo (interleaved); empty with `error` saying why when
// it could not be decoded within the caps in limits.h.
struct DecodedSound {
  int sampleRate = 0;
  int channels = 1;  // 1 or 2
  std::vector<std::int16_t> samples;
  std::string error;  // words for the player when there are no samples
};

// The path the model loader opens for a material texture of the model at `modelPath`.
std::string ModelTexturePath(const std::string& modelPath, const std::string& textureName);

// Assimp import of `bytes` as the file `path` (its name picks the format and appears in
// Assimp's messages), then the loader's walk. `readable` false: the file could not be opened,
// and Assimp says so in its own words.
DecodedModel DecodeModel(const std::string& path, const std::string& bytes, bool readable);
DecodedPixels DecodeImage(const std::string& bytes);  // SOIL, always as RGB
DecodedFont DecodeFont(const std::string& bytes);     // FreeType face + the HUD's glyphs
DecodedSound DecodeSound(const std::string& bytes);   // stb_vorbis, Ogg Vorbis

// The same, reading the file first with the game's safe open and the cap for its type. A
// model that exists but may not be read (not a regular file, too large) is refused in the
// words the trial uses. Only under DecodeWhere::InProcess (file_trial.h): otherwise nothing
// is read or decoded (a model refused, no pixels, no font face).
DecodedModel DecodeModelFile(const std::string& path);
DecodedPixels DecodeImageFile(const std::string& path);
DecodedPixels DecodeTextureFile(const std::string& folder, const std::string& name);
DecodedFont DecodeFontFile(const std::string& path);
DecodedSound DecodeSoundFile(const std::string& path);

// What the game prints of a text a worker sent (a decoder's error): what its 512-byte log
// buffer holds, with every byte outside printable ASCII as '?', so a decoder taken over by its
// file can neither begin a line of the game's output nor send the terminal a control sequence.
std::string PrintableWorkerText(const std::string& text);

// Byte forms for the trip from a worker process. Parsing checks every length against the
// bytes at hand and fails rather than trusting them.
std::string SerializeModel(const DecodedModel& model);
bool ParseModel(const std::string& bytes, DecodedModel& model);
std::string SerializePixels(const DecodedPixels& pixels);
bool ParsePixels(const std::string& bytes, DecodedPixels& pixels);
std::string SerializeFont(const DecodedFont& font);
bool ParseFont(const std::string& bytes, DecodedFont& font);
std::string SerializeSound(const DecodedSound& sound);
bool ParseSound(const std::string& bytes, DecodedSound& sound);
