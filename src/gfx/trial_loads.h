// trial_loads.h: the calls the game makes into its file decoders (Assimp, SOIL, FreeType),
// without any GL, so a file can be tried in a throw-away process before the game trusts it.
//
// Each function parses the file exactly as the game's loader will and walks what it gets the
// way the loader does, so a file that survives its trial survives the real load.
#pragma once

#include <string>
#include <vector>

// What a decoder made of one file.
struct TrialOutcome {
  bool loaded = false;                    // the decoder accepted the file
  std::string error;                      // the decoder's own reason when it did not
  std::vector<std::string> texturePaths;  // a model's material textures, as the loader opens them
};

// The import flags the model loader uses.
unsigned ModelImportFlags();

// The path the model loader opens for a material texture of the model at `modelPath`.
std::string ModelTexturePath(const std::string& modelPath, const char* textureName);

TrialOutcome TrialLoadModel(const std::string& path);  // Assimp import + the loader's walk
TrialOutcome TrialLoadImage(const std::string& path);  // SOIL decode to packed RGB
TrialOutcome TrialLoadFont(const std::string& path);   // FreeType face + glyphs 0-127 at 48 px
