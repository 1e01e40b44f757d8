// byte_form.cpp: the compact byte forms of decoded models, images, fonts and sounds (see
// decoders.h).
//
// Kept apart from the decoders themselves so that a build without the decoder libraries (the
// browser's, which loads data baked into these forms) parses them with the same checks.
#include <cstdint>
#include <cstring>

#include "trial/decoders.h"
#include "trial/limits.h"

namespace {

void PutU64(std::string& out, std::uint64_t value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutBytes(std::string& out, const void* data, std::size_t size) {
  PutU64(out, size);
  out.append(static_cast<const char*>(data), size);
}

// Reads from a byte string, refusing any length that runs past its end.
struct ByteReader {
  const std::string& bytes;
  std::size_t at = 0;

  bool U64(std::uint64_t& value) {
    if (bytes.size() - at < sizeof value) return false;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    at += sizeof value;
    return true;
  }
  // A length-prefixed run of `T`, read into `out`.
  template <typename T>
  bool Array(std::vector<T>& out) {
    std::uint64_t size = 0;
    if (!U64(size) || size > bytes.size() - at || size % sizeof(T) != 0) return false;
    out.resize(size / sizeof(T));
    // Vertex and the index type are plain bytes in memory, as in the GL buffer.
    if (size) std::memcpy(static_cast<void*>(out.data()), bytes.data() + at, size);
    at += size;
    return true;
  }
  bool String(std::string& out) {
    std::uint64_t size = 0;
    if (!U64(size) || size > bytes.size() - at) return false;
    out.assign(bytes, at, size);
    at += size;
    return true;
  }
};

}  // namespace

std::string PrintableWorkerText(const std::string& text) {
  std::string shown = text.substr(0, kMaxWorkerTextBytes - 1);
  for (char& c : shown) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  return shown;
}

std::string SerializeModel(const DecodedModel& model) {
  std::string out(1, model.loaded ? 'L' : 'F');
  PutBytes(out, model.error.data(), model.error.size());
  PutU64(out, model.meshes.size());
  for (const DecodedMesh& mesh : model.meshes) {
    PutBytes(out, mesh.vertices.data(), mesh.vertices.size() * sizeof(Vertex));
    PutBytes(out, mesh.indices.data(), mesh.indices.size() * sizeof(unsigned int));
    PutU64(out, mesh.textures.size());
    for (const auto& [stem, name] : mesh.textures) {
      PutBytes(out, stem.data(), stem.size());
      PutBytes(out, name.data(), name.size());
    }
  }
  return out;
}

bool ParseModel(const std::string& bytes, DecodedModel& model) {
  model = DecodedModel{};
  if (bytes.empty()) return false;
  ByteReader reader{bytes, 1};
  model.loaded = bytes[0] == 'L';
  std::uint64_t meshCount = 0;
  if (!reader.String(model.error) || !reader.U64(meshCount)) return false;
  model.error = PrintableWorkerText(model.error);
  for (std::uint64_t m = 0; m < meshCount; ++m) {
    DecodedMesh mesh;
    std::uint64_t textureCount = 0;
    if (!reader.Array(mesh.vertices) || !reader.Array(mesh.indices) || !reader.U64(textureCount)) {
      return false;
    }
    for (std::uint64_t t = 0; t < textureCount; ++t) {
      std::pair<std::string, std::string> texture;
      if (!reader.String(texture.first) || !reader.String(texture.second)) return false;
      mesh.textures.push_back(std::move(texture));
    }
    model.meshes.push_back(std::move(mesh));
  }
  return reader.at == bytes.size();
}

std::string SerializePixels(const DecodedPixels& pixels) {
  std::string out;
  PutU64(out, static_cast<std::uint64_t>(pixels.width));
  PutU64(out, static_cast<std::uint64_t>(pixels.height));
  PutBytes(out, pixels.rgb.data(), pixels.rgb.size());
  return out;
}

std::string SerializeFont(const DecodedFont& font) {
  std::string out(1, static_cast<char>((font.libraryReady ? 1 : 0) | (font.faceReady ? 2 : 0)));
  PutU64(out, font.glyphs.size());
  for (const DecodedGlyph& glyph : font.glyphs) {
    const std::int64_t fields[] = {glyph.loaded, glyph.width, glyph.rows,
                                   glyph.left,   glyph.top,   glyph.advance};
    for (std::int64_t field : fields) PutU64(out, static_cast<std::uint64_t>(field));
    PutBytes(out, glyph.bitmap.data(), glyph.bitmap.size());
  }
  return out;
}

bool ParseFont(const std::string& bytes, DecodedFont& font) {
  font = DecodedFont{};
  if (bytes.empty()) return false;
  font.libraryReady = (bytes[0] & 1) != 0;
  font.faceReady = (bytes[0] & 2) != 0;
  ByteReader reader{bytes, 1};
  std::uint64_t count = 0;
  if (!reader.U64(count) || count > static_cast<std::uint64_t>(kGlyphCount)) return false;
  font.glyphs.resize(count);
  for (DecodedGlyph& glyph : font.glyphs) {
    std::uint64_t fields[6];
    for (std::uint64_t& field : fields) {
      if (!reader.U64(field)) return false;
    }
    if (!reader.Array(glyph.bitmap)) return false;
    const auto asInt = [](std::uint64_t v) { return static_cast<std::int64_t>(v); };
    // A glyph is at most a few times the pixel size; anything else is not a glyph.
    const std::int64_t limit = 16 * static_cast<std::int64_t>(kGlyphPixelHeight);
    if (asInt(fields[1]) < 0 || asInt(fields[1]) > limit || asInt(fields[2]) < 0 ||
        asInt(fields[2]) > limit || std::llabs(asInt(fields[3])) > limit ||
        std::llabs(asInt(fields[4])) > limit || fields[5] > 0xFFFFFFFFull ||
        glyph.bitmap.size() != (glyph.bitmap.empty() ? 0 : fields[1] * fields[2])) {
      return false;
    }
    glyph.loaded = fields[0] != 0;
    glyph.width = static_cast<int>(fields[1]);
    glyph.rows = static_cast<int>(fields[2]);
    glyph.left = static_cast<int>(asInt(fields[3]));
    glyph.top = static_cast<int>(asInt(fields[4]));
    glyph.advance = static_cast<unsigned>(fields[5]);
  }
  return reader.at == bytes.size();
}

bool ParsePixels(const std::string& bytes, DecodedPixels& pixels) {
  pixels = DecodedPixels{};
  ByteReader reader{bytes};
  std::uint64_t width = 0, height = 0;
  if (!reader.U64(width) || !reader.U64(height) || !reader.Array(pixels.rgb) ||
      reader.at != bytes.size()) {
    pixels = DecodedPixels{};  // no pixels without their sizes
    return false;
  }
  // Sizes that do not describe the pixels at hand make an image that did not decode.
  if (width == 0 || height == 0 || width > 65535 || height > 65535 ||
      pixels.rgb.size() != width * height * 3) {
    pixels = DecodedPixels{};
    return true;
  }
  pixels.width = static_cast<int>(width);
  pixels.height = static_cast<int>(height);
  return true;
}

std::string SerializeSound(const DecodedSound& sound) {
  std::string out(1, sound.samples.empty() ? 'F' : 'L');
  PutBytes(out, sound.error.data(), sound.error.size());
  PutU64(out, static_cast<std::uint64_t>(sound.sampleRate));
  PutU64(out, static_cast<std::uint64_t>(sound.channels));
  PutBytes(out, sound.samples.data(), sound.samples.size() * sizeof(std::int16_t));
  return out;
}

bool ParseSound(const std::string& bytes, DecodedSound& sound) {
  sound = DecodedSound{};
  if (bytes.empty() || (bytes[0] != 'L' && bytes[0] != 'F')) return false;
  ByteReader reader{bytes, 1};
  std::uint64_t rate = 0, channels = 0;
  if (!reader.String(sound.error) || !reader.U64(rate) || !reader.U64(channels) ||
      !reader.Array(sound.samples) || reader.at != bytes.size()) {
    sound = DecodedSound{};
    return false;
  }
  // A decoded sound has samples at a rate the game plays and no longer than the cap; a failed
  // one has none. Anything else did not come from the decoder.
  const bool loaded = bytes[0] == 'L';
  const bool fits = rate >= static_cast<std::uint64_t>(kMinSoundRate) &&
                    rate <= static_cast<std::uint64_t>(kMaxSoundRate) &&
                    (channels == 1 || channels == 2) && sound.samples.size() % channels == 0 &&
                    sound.samples.size() <= rate * kMaxSoundSeconds * channels;
  sound.error = PrintableWorkerText(sound.error);
  if (loaded ? (sound.samples.empty() || !fits) : !sound.samples.empty()) {
    sound = DecodedSound{};
    return false;
  }
  sound.sampleRate = loaded ? static_cast<int>(rate) : 0;
  sound.channels = loaded ? static_cast<int>(channels) : 1;
  return true;
}
