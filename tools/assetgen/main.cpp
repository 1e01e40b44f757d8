// assetgen: generates every model, image and sound the game reads from assets/, textures/ and
// sounds/.
//
//   assetgen <output-root>                  write (or rewrite) the files under <output-root>
//   assetgen <output-root> --preview <dir>  also render preview pictures of the models to <dir>
//
// Everything is written to a temporary folder inside <output-root> first, every model is read
// back and compared with what was meant to be written, and only then are the files moved into
// place: a failure leaves the existing files untouched. The output is the same bytes on every
// run, apart from the creation/modification dates the COLLADA exporter stamps into each file.
#include <stb_image.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "collada_export.h"
#include "models.h"
#include "preview.h"
#include "sound.h"

namespace fs = std::filesystem;

namespace {

struct Failure {
  std::string what;
};

void WriteImage(const NamedImage& image, const fs::path& root) {
  const fs::path path = root / image.path;
  fs::create_directories(path.parent_path());
  const bool png = path.extension() == ".png";
  const bool ok =
      png ? WritePng(image.image, path.string()) : WriteJpeg(image.image, path.string());
  if (!ok) throw Failure{"could not write " + image.path};
  // Read it back: the game's decoder wants 8-bit images of the size we meant.
  int w = 0, h = 0, channels = 0;
  unsigned char* pixels = stbi_load(path.string().c_str(), &w, &h, &channels, 3);
  if (!pixels || w != image.image.width || h != image.image.height)
    throw Failure{"could not read back " + image.path};
  stbi_image_free(pixels);
}

void WriteSound(const NamedSound& sound, const fs::path& root) {
  const fs::path path = root / sound.path;
  fs::create_directories(path.parent_path());
  // The long ambience is broadband noise, which costs Vorbis the most: a lower quality keeps
  // the folder small, and the water under 3 kHz loses nothing audible.
  if (!WriteOggVorbis(sound, path.string(), sound.loop ? 0.0f : 0.3f))
    throw Failure{"could not write " + sound.path};
  // Read it back with the game's decoder: the channels, rate and length we meant.
  if (!ReadBackOggVorbis(path.string(), sound)) throw Failure{"could not read back " + sound.path};
}

void WriteModel(const ModelData& model, const fs::path& root) {
  const fs::path path = root / model.path;
  fs::create_directories(path.parent_path());
  std::string error = ExportCollada(model, path.string());
  if (error.empty()) error = VerifyCollada(model, path.string());
  if (!error.empty()) throw Failure{model.path + ": " + error};
}

// Every file below `dir`, relative to it, in a fixed order.
std::vector<fs::path> FilesBelow(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), dir));
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--preview")) {
    std::fprintf(stderr, "usage: assetgen <output-root> [--preview <dir>]\n");
    return 2;
  }
  const fs::path root = argv[1];
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    std::fprintf(stderr, "assetgen: %s is not a directory\n", argv[1]);
    return 1;
  }

  std::string staging = (root / ".assetgen-XXXXXX").string();
  if (!mkdtemp(staging.data())) {
    std::fprintf(stderr, "assetgen: cannot create a staging folder in %s\n", argv[1]);
    return 1;
  }
  const fs::path temp = staging;

  std::vector<Asset> assets;
  std::vector<NamedSound> sounds;
  try {
    assets.push_back(MakeDuck());
    assets.push_back(MakeCanoe());
    assets.push_back(MakeDriver());
    assets.push_back(MakeDriverArms());
    assets.push_back(MakeCube());
    assets.push_back(MakePlatform());
    assets.push_back(MakePool(true));
    assets.push_back(MakePool(false));
    assets.push_back(MakeStatue());
    for (const Asset& a : assets) {
      WriteModel(a.model, temp);
      for (const NamedImage& image : a.images) WriteImage(image, temp);
    }
    for (const NamedImage& image : MakeSkybox()) WriteImage(image, temp);
    WriteImage(MakeWaterImage(), temp);
    WriteImage(MakeGroundImage(), temp);
    sounds = MakeSounds();
    for (const NamedSound& sound : sounds) WriteSound(sound, temp);
    // Every texture a material names must have been written beside its model.
    for (const Asset& a : assets)
      for (const MeshData& m : a.model.meshes) {
        const fs::path tex = (temp / a.model.path).parent_path() / m.diffuse;
        if (!fs::is_regular_file(tex)) throw Failure{a.model.path + " names missing " + m.diffuse};
      }
  } catch (const Failure& f) {
    std::fprintf(stderr, "assetgen: %s; nothing was changed\n", f.what.c_str());
    fs::remove_all(temp, ec);
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "assetgen: %s; nothing was changed\n", e.what());
    fs::remove_all(temp, ec);
    return 1;
  }

  // Everything is written and checked. Make sure every destination can take its file before
  // the first one moves, so a blocked path cannot leave a half-replaced set behind.
  const std::vector<fs::path> files = FilesBelow(temp);
  for (const fs::path& rel : files) {
    fs::create_directories((root / rel).parent_path(), ec);
    const bool blocked = fs::exists(root / rel) && !fs::is_regular_file(root / rel);
    if (ec || blocked) {
      std::fprintf(stderr, "assetgen: cannot place %s; nothing was changed\n",
                   rel.string().c_str());
      fs::remove_all(temp, ec);
      return 1;
    }
  }
  for (const fs::path& rel : files) {
    fs::rename(temp / rel, root / rel, ec);
    if (ec) {
      std::fprintf(stderr, "assetgen: could not move %s into place: %s\n", rel.string().c_str(),
                   ec.message().c_str());
      fs::remove_all(temp, ec);
      return 1;
    }
  }
  fs::remove_all(temp, ec);

  size_t total = 0;
  for (const Asset& a : assets) {
    const glm::vec3 lo = a.model.MinCorner(), hi = a.model.MaxCorner();
    std::printf("%-24s %6zu triangles  x %.2f..%.2f  y %.2f..%.2f  z %.2f..%.2f\n",
                a.model.path.c_str(), a.model.TriangleCount(), lo.x, hi.x, lo.y, hi.y, lo.z, hi.z);
    total += a.model.TriangleCount();
  }
  std::printf("%-24s %6zu triangles (one of each model)\n", "total", total);
  size_t soundBytes = 0;
  for (const NamedSound& sound : sounds) {
    const size_t bytes = static_cast<size_t>(fs::file_size(root / sound.path, ec));
    std::printf("%-24s %6zu bytes  %6.3f s  %5d Hz x%d  %6.1f LUFS %s\n", sound.path.c_str(), bytes,
                static_cast<double>(sound.samples.size()) / sound.channels / sound.rate, sound.rate,
                sound.channels, sound.lufs, sound.loop ? "integrated, loop" : "momentary max");
    soundBytes += bytes;
  }
  std::printf("%-24s %6zu bytes (every sound)\n", "total", soundBytes);

  if (argc == 4) {
    std::string error = RenderPreviews(assets, argv[3]);
    if (!error.empty()) {
      std::fprintf(stderr, "assetgen: previews: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}
