// The byte forms a trial worker sends back: a round trip keeps everything, and no cut or
// lying length in the bytes makes the parser read past them or accept them.
#include <gtest/gtest.h>

#include <cstring>

#include "trial/decoders.h"
#include "trial/limits.h"

TEST(DecodedBytes, RoundTripsAndRefusesEveryCutAndBadLength) {
  DecodedModel model;
  model.loaded = true;
  DecodedMesh mesh;
  mesh.vertices.resize(3);
  mesh.vertices[1].position = glm::vec3(1.0f, 2.0f, 3.0f);
  mesh.indices = {0, 1, 2};
  mesh.textures = {{"texture_diffuse", "duck.jpg"}, {"texture_specular", "shine.png"}};
  model.meshes = {mesh, DecodedMesh{}};
  const std::string modelBytes = SerializeModel(model);

  DecodedPixels pixels;
  pixels.width = 2;
  pixels.height = 1;
  pixels.rgb = {1, 2, 3, 4, 5, 6};
  const std::string pixelBytes = SerializePixels(pixels);

  DecodedFont font;
  font.libraryReady = font.faceReady = true;
  font.glyphs.resize(2);
  font.glyphs[1] = DecodedGlyph{true, 2, 1, -1, 5, 640, {7, 8}};
  const std::string fontBytes = SerializeFont(font);

  DecodedFont parsedFont;
  ASSERT_TRUE(ParseFont(fontBytes, parsedFont));
  EXPECT_TRUE(parsedFont.faceReady);
  EXPECT_EQ(parsedFont.glyphs[1].bitmap, font.glyphs[1].bitmap);
  EXPECT_EQ(parsedFont.glyphs[1].left, -1);
  EXPECT_EQ(parsedFont.glyphs[1].advance, 640u);
  for (std::size_t cut = 0; cut < fontBytes.size(); ++cut) {
    EXPECT_FALSE(ParseFont(fontBytes.substr(0, cut), parsedFont)) << "cut at " << cut;
  }

  DecodedModel parsedModel;
  ASSERT_TRUE(ParseModel(modelBytes, parsedModel));
  ASSERT_EQ(parsedModel.meshes.size(), 2u);
  EXPECT_EQ(parsedModel.meshes[0].vertices[1].position, glm::vec3(1.0f, 2.0f, 3.0f));
  EXPECT_EQ(parsedModel.meshes[0].indices, mesh.indices);
  EXPECT_EQ(parsedModel.meshes[0].textures, mesh.textures);
  DecodedPixels parsedPixels;
  ASSERT_TRUE(ParsePixels(pixelBytes, parsedPixels));
  EXPECT_EQ(parsedPixels.rgb, pixels.rgb);

  for (std::size_t cut = 0; cut < modelBytes.size(); ++cut) {
    EXPECT_FALSE(ParseModel(modelBytes.substr(0, cut), parsedModel)) << "cut at " << cut;
  }
  for (std::size_t cut = 0; cut < pixelBytes.size(); ++cut) {
    EXPECT_FALSE(ParsePixels(pixelBytes.substr(0, cut), parsedPixels)) << "cut at " << cut;
  }
  // Refused bytes leave no pixels behind for an upload to take with sizes of zero.
  EXPECT_FALSE(ParsePixels(pixelBytes + "x", parsedPixels));
  EXPECT_TRUE(parsedPixels.rgb.empty());
  // Every 8-byte field set to a huge length or count.
  for (std::size_t at = 1; at + 8 <= modelBytes.size(); ++at) {
    std::string lying = modelBytes;
    const std::uint64_t huge = ~std::uint64_t{0} - 7;
    std::memcpy(&lying[at], &huge, sizeof huge);
    ParseModel(lying, parsedModel);  // must return, whatever it answers
  }
  // Sizes that do not match the pixels make an image that did not decode.
  DecodedPixels wrong = pixels;
  wrong.width = 3;
  ASSERT_TRUE(ParsePixels(SerializePixels(wrong), parsedPixels));
  EXPECT_TRUE(parsedPixels.rgb.empty());
}

// A sound's byte form: kept whole, refused when cut, when a length lies, or when what it holds
// could not have come from the decoder.
TEST(DecodedBytes, SoundRoundTripsAndRefusesWhatNoDecoderSends) {
  DecodedSound sound;
  sound.sampleRate = 22050;
  sound.channels = 2;
  sound.samples = {0, 1, -1, 32767, -32768, 5};
  const std::string bytes = SerializeSound(sound);
  DecodedSound parsed;
  ASSERT_TRUE(ParseSound(bytes, parsed));
  EXPECT_EQ(parsed.sampleRate, 22050);
  EXPECT_EQ(parsed.channels, 2);
  EXPECT_EQ(parsed.samples, sound.samples);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    EXPECT_FALSE(ParseSound(bytes.substr(0, cut), parsed)) << "cut at " << cut;
  }
  // Every 8 bytes over the lengths and the rate (before the samples) set to a huge value.
  const std::size_t samplesAt = bytes.size() - sound.samples.size() * sizeof(std::int16_t);
  for (std::size_t at = 1; at + 8 <= samplesAt; ++at) {
    std::string lying = bytes;
    const std::uint64_t huge = ~std::uint64_t{0} - 7;
    std::memcpy(&lying[at], &huge, sizeof huge);
    EXPECT_FALSE(ParseSound(lying, parsed)) << "huge field at " << at;
  }

  DecodedSound failed;
  failed.error = "it is not an Ogg Vorbis stream";
  ASSERT_TRUE(ParseSound(SerializeSound(failed), parsed));
  EXPECT_EQ(parsed.error, failed.error);
  EXPECT_TRUE(parsed.samples.empty());

  struct Bad {
    const char* what;
    int rate;
    std::size_t samples;
    std::string error;
    int channels = 1;
  };
  const Bad bad[] = {
      {"three channels", 22050, 6, "", 3},
      {"stereo ending mid-frame", 22050, 5, "", 2},
      {"stereo longer than the cap", kMinSoundRate,
       std::size_t{kMinSoundRate} * kMaxSoundSeconds * 2 + 2, "", 2},
      {"a rate below what the game plays", kMinSoundRate - 1, 4, ""},
      {"a rate above it", kMaxSoundRate + 1, 4, ""},
      {"longer than the cap", kMinSoundRate, std::size_t{kMinSoundRate} * kMaxSoundSeconds + 1, ""},
  };
  for (const Bad& b : bad) {
    DecodedSound lie;
    lie.sampleRate = b.rate;
    lie.channels = b.channels;
    lie.samples.assign(b.samples, 0);
    lie.error = b.error;
    EXPECT_FALSE(ParseSound(SerializeSound(lie), parsed)) << b.what;
    EXPECT_TRUE(parsed.samples.empty()) << b.what;
  }
  // A failed sound that carries samples anyway.
  std::string both = SerializeSound(sound);
  both[0] = 'F';
  EXPECT_FALSE(ParseSound(both, parsed));
}

// A decoder taken over by its file writes its own error text: whatever it sends reaches the
// game's output as at most 511 printable characters on the error's own line, for every file
// type that carries text back.
TEST(DecodedBytes, AWorkersTextIsCappedAndPrintable) {
  const struct {
    const char* what;
    std::string sent;
    std::string printed;
  } forged[] = {
      {"clears the screen", "\x1b[2J\x1b]0;title\x07", "?[2J?]0;title?"},
      {"starts a line of its own", "bad\nERROR::SHADER::PROGRAM::LINKING_FAILED\r",
       "bad?ERROR::SHADER::PROGRAM::LINKING_FAILED?"},
      {"8-bit controls and a NUL",
       std::string("\x9b"
                   "2J\0x\x7f",
                   6),
       "?2J?x?"},
      {"over the log buffer", std::string(5000, 'x'), std::string(511, 'x')},
      {"plain words", "Unable to open file \"a.dae\".", "Unable to open file \"a.dae\"."},
  };
  for (const auto& text : forged) {
    DecodedModel model;
    model.error = text.sent;
    DecodedModel parsedModel;
    ASSERT_TRUE(ParseModel(SerializeModel(model), parsedModel)) << text.what;
    EXPECT_EQ(parsedModel.error, text.printed) << text.what;
    DecodedSound sound;
    sound.error = text.sent;
    DecodedSound parsedSound;
    ASSERT_TRUE(ParseSound(SerializeSound(sound), parsedSound)) << text.what;
    EXPECT_EQ(parsedSound.error, text.printed) << text.what;
  }
}
