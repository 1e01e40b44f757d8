// bake.cpp: the browser build's data step, run natively when the web build is made. It decodes
// every file the game loads at start-up (the nine models, their textures, the sky, the water
// map, the floor and the font's glyphs) with the desktop's own decoders and writes each one's
// byte form under baked/<its path>, derives the GLSL ES shaders into shader/, and copies
// settings.conf. Sounds and images are the exception: their Ogg Vorbis and JPEG/PNG bytes are
// copied as they are (decoded they would be three to six times larger, a slower first visit)
// and the game decodes them itself. Everything else the browser parses from the byte forms with
// the same checked parser the desktop uses for its trial workers' results.
//
// The inputs are the repository's own committed files, so they are decoded in this process.
//
//   velloran_web_bake <source folder> <bundle folder>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

#include "app/session.h"
#include "glsl_es.h"
#include "trial/decoders.h"
#include "trial/file_trial.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

struct Baker {
  fs::path source;
  fs::path bundle;
  std::set<std::string> done;
  bool ok = true;

  void Fail(const std::string& path, const char* what) {
    std::cerr << "velloran_web_bake: " << path << ": " << what << std::endl;
    ok = false;
  }

  // Checked with the desktop's decoder, then copied unchanged.
  void Image(const std::string& path) {
    if (!done.insert(path).second) return;
    const DecodedPixels pixels = DecodeImageFile((source / path).string());
    if (pixels.rgb.empty()) return Fail(path, "the image did not decode");
    if (!Write(bundle / "baked" / path, ReadText(source / path))) Fail(path, "cannot write");
  }

  void Model(const std::string& path) {
    const DecodedModel model = DecodeModelFile((source / path).string());
    if (!model.loaded) return Fail(path, "the model did not import");
    if (!Write(bundle / "baked" / path, SerializeModel(model))) Fail(path, "cannot write");
    for (const DecodedMesh& mesh : model.meshes) {
      for (const auto& texture : mesh.textures) Image(ModelTexturePath(path, texture.second));
    }
  }

  void Font(const std::string& path) {
    const DecodedFont font = DecodeFontFile((source / path).string());
    if (!font.faceReady) return Fail(path, "the font did not open");
    if (!Write(bundle / "baked" / path, SerializeFont(font))) Fail(path, "cannot write");
  }

  // Checked with the decoder the page runs, then copied unchanged.
  void Sound(const std::string& path) {
    if (DecodeSoundFile((source / path).string()).samples.empty()) {
      return Fail(path, "the sound did not decode");
    }
    if (!Write(bundle / "baked" / path, ReadText(source / path))) Fail(path, "cannot write");
  }

  void Shaders() {
    for (const auto& entry : fs::directory_iterator(source / "shader")) {
      if (entry.path().extension() != ".vertex") continue;
      fs::path fragmentPath = entry.path();
      fragmentPath.replace_extension(".fragment");
      const ShaderPair es = DeriveEsPair({ReadText(entry.path()), ReadText(fragmentPath)});
      const fs::path out = bundle / "shader" / entry.path().stem();
      if (!Write(fs::path(out).concat(".vertex"), es.vertex) ||
          !Write(fs::path(out).concat(".fragment"), es.fragment)) {
        Fail(entry.path().string(), "cannot write");
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: velloran_web_bake <source folder> <bundle folder>" << std::endl;
    return 2;
  }
  SetDecodeWhere(DecodeWhere::InProcess);  // the repository's own files, see above
  Baker baker{argv[1], argv[2], {}, true};
  fs::remove_all(baker.bundle);
  for (const TrialFile& file : StartupFiles()) {
    switch (file.kind) {
      case FileKind::Model:
        baker.Model(file.path);
        break;
      case FileKind::Image:
        baker.Image(file.path);
        break;
      case FileKind::Font:
        baker.Font(file.path);
        break;
      case FileKind::Sound:
        baker.Sound(file.path);
        break;
    }
  }
  baker.Shaders();
  fs::copy_file(baker.source / "settings.conf", baker.bundle / "settings.conf");
  return baker.ok ? 0 : 1;
}
