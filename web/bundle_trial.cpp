// bundle_trial.cpp: the browser build's side of the loaders' gate (trial/file_trial.h) and
// of the decoders (trial/decoders.h). The
// desktop tries every file in a confined worker and hands the loaders its decoded bytes; the
// browser has those bytes already, baked at build time under baked/<path> in the bundle the
// page loaded. So a loader asking for `path` gets the baked bytes as a passed trial, and a file
// the bundle lacks is refused like a file whose trial failed. A sound is baked as its Ogg Vorbis
// file and an image as its JPEG/PNG file, decoded here on the first request into the byte form
// its loader parses. stb_image gives the same pixels as the desktop's SOIL (whose decoder it
// is), always as RGB.
#include <stb/stb_image.h>

#include <fstream>
#include <sstream>

#include "trial/decoders.h"
#include "trial/file_trial.h"
#include "trial/shader_trial.h"

namespace {

FileTrial* installed = nullptr;

bool EndsWith(const std::string& text, const char* tail) {
  const std::string end(tail);
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

DecodedPixels DecodeImageBytes(const std::string& bytes) {
  DecodedPixels image;
  int channels = 0;
  unsigned char* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                                static_cast<int>(bytes.size()), &image.width,
                                                &image.height, &channels, 3);
  if (pixels && image.width > 0 && image.height > 0) {
    image.rgb.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height * 3);
  } else {
    image.width = image.height = 0;
  }
  stbi_image_free(pixels);
  return image;
}

}  // namespace

void InstallFileTrial(FileTrial* trial) {
  installed = trial;
}

const TrialRecord* PassedTrial(const std::string& path, const char*& refusal) {
  refusal = nullptr;
  if (!installed) return nullptr;
  const auto known = installed->records.find(path);
  if (known != installed->records.end()) return &known->second;
  std::ifstream file("baked/" + path, std::ios::binary);
  if (!file) {
    refusal = "it is not in the browser's bundle";
    return nullptr;
  }
  std::stringstream bytes;
  bytes << file.rdbuf();
  TrialRecord& record = installed->records[path];
  record.decoded = true;
  record.payload = bytes.str();
  if (EndsWith(path, ".ogg")) {
    const DecodedSound sound = DecodeSound(record.payload);
    record.decoded = !sound.samples.empty();
    record.payload = SerializeSound(sound);
  } else if (EndsWith(path, ".jpg") || EndsWith(path, ".jpeg") || EndsWith(path, ".png")) {
    const DecodedPixels image = DecodeImageBytes(record.payload);
    record.decoded = !image.rgb.empty();
    record.payload = SerializePixels(image);
  }
  return &record;
}

// The browser has no decoder libraries: a loader only reaches these without a bundle
// installed, and then nothing decodes (a model refused, an image the fallback colour).
DecodedModel DecodeModelFile(const std::string&) {
  DecodedModel model;
  model.error = "the browser build decodes no model files";
  return model;
}
DecodedPixels DecodeImageFile(const std::string&) {
  return {};
}
DecodedPixels DecodeTextureFile(const std::string&, const std::string&) {
  return {};
}
DecodedFont DecodeFontFile(const std::string&) {
  DecodedFont font;
  font.libraryReady = true;
  return font;
}
DecodedSound DecodeSoundFile(const std::string&) {
  DecodedSound sound;
  sound.error = "the browser build reads sounds only from its bundle";
  return sound;
}

// The desktop tries each shader pair in a worker with a GL context of its own before its driver
// sees the sources. A browser compiles WebGL shaders in its own sandboxed GPU process, so the
// page compiles the bundle's sources directly.
const ShaderPairTrial* TriedShaderPair(const char*, const char*) {
  return nullptr;
}
