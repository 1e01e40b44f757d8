// The game's look, held still: fixed views rendered at 1280 x 720 through the whole frame
// sequence are compared pixel by pixel with reference pictures kept in tests/gl/pictures/.
// The shaders get reworked for speed on software renderers; this is what says the picture
// stayed the same while they were.
//
// A view fails when more than 0.5% of its pixels differ from the reference by more than 3/255
// in any channel. Run to run the same build gives identical pixels here; the slack is for
// rounding that moves when arithmetic is reordered (a term worked out per vertex instead of per
// pixel), the kind of change the guard must let through. A shadow edge moved by a texel, a lost
// highlight or a wrong flip changes far more pixels than that.
//
// VELLORAN_WRITE_PICTURES=1 writes the references instead of comparing (from the repository
// root), then `convert x.png -define png:compression-level=9 x.png` (ImageMagick) for a quarter
// off their size. Do that only when the look is meant to change, and say why in the commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>  // its implementation lives in texture_test.cpp

#include "render_play.h"

namespace {

constexpr unsigned kWidth = 1280, kHeight = 720;
constexpr int kChannelSlack = 3;           // per channel, of 255
constexpr double kDifferentShare = 0.005;  // of the pixels

struct PictureView {
  const char* name;
  double frameSeconds;  // the scripted clock's step (0: frozen)
  void (*setUp)(ScriptedPlay& play);
  long frames;       // frames run after the set-up
  const char* base;  // stored as the difference from this view's picture (mostly zero), or null
};

void Nothing(ScriptedPlay&) {}
void FreeCamera(ScriptedPlay& play) {
  PlaceFreeCamera(play, glm::vec3(8.0f, 4.0f, 8.0f), -130.0f, -10.0f);
}
void PaddleAhead(ScriptedPlay& play) {  // the cube and the platform mirrored in rippled water
  HoldKey(play, GLFW_KEY_W, 30);
}
void Statue(ScriptedPlay& play) {
  PlaceFreeCamera(play, glm::vec3(0.0f, 6.0f, -30.0f), -90.0f, 12.0f);
}
void ShadowCorner(ScriptedPlay& play) {  // long shadows of the obstacles on the pool floor
  PlaceFreeCamera(play, glm::vec3(12.0f, 9.0f, 12.0f), -135.0f, -28.0f);
}
void ShadowCornerUnshadowed(ScriptedPlay& play) {
  ShadowCorner(play);
  TapKey(play, GLFW_KEY_F7);
}
void Wireframe(ScriptedPlay& play) {
  TapKey(play, GLFW_KEY_F3);
}

const PictureView kViews[] = {
    {"seat_view", 0.0, Nothing, 2, nullptr},
    {"free_camera", 0.0, FreeCamera, 2, nullptr},
    {"water_reflection", 1.0 / 30.0, PaddleAhead, 31, nullptr},
    {"chrome_statue", 0.0, Statue, 2, nullptr},
    {"shadows_on", 0.0, ShadowCorner, 2, nullptr},
    {"shadows_off", 0.0, ShadowCornerUnshadowed, 2, "shadows_on"},
    {"wireframe", 0.0, Wireframe, 2, nullptr},
};

// Failure messages name the view rather than dumping its bytes.
void PrintTo(const PictureView& view, std::ostream* out) {
  *out << view.name;
}

std::string ReferencePath(const char* name) {
  return std::string("tests/gl/pictures/") + name + ".png";
}

// The stored picture, RGB; empty when it cannot be read.
std::vector<unsigned char> LoadPicture(const char* name) {
  int w = 0, h = 0, channels = 0;
  unsigned char* data = stbi_load(ReferencePath(name).c_str(), &w, &h, &channels, 3);
  std::vector<unsigned char> rgb;
  if (data && w == static_cast<int>(kWidth) && h == static_cast<int>(kHeight))
    rgb.assign(data, data + size_t{kWidth} * kHeight * 3);
  stbi_image_free(data);
  return rgb;
}

// RGB, rows top-down as pictures are stored (GL reads them bottom-up).
std::vector<unsigned char> WindowRgb(const ScriptedPlay& play) {
  const std::vector<unsigned char> rgba = ReadWindowPixels(play);
  std::vector<unsigned char> rgb(size_t{kWidth} * kHeight * 3);
  for (size_t y = 0; y < kHeight; ++y) {
    for (size_t x = 0; x < kWidth; ++x) {
      const unsigned char* src = &rgba[((kHeight - 1 - y) * kWidth + x) * 4];
      std::copy(src, src + 3, &rgb[(y * kWidth + x) * 3]);
    }
  }
  return rgb;
}

class PictureGuard : public ::testing::TestWithParam<PictureView> {};

TEST_P(PictureGuard, MatchesTheReference) {
  if (!HaveGameAssets()) GTEST_SKIP() << "needs the generated models";
  const PictureView& view = GetParam();
  auto play = StartPlay(kWidth, kHeight, view.frameSeconds);
  PlayGuard guard{play.get()};
  RunScriptedFrames(*play, 1);
  view.setUp(*play);
  RunScriptedFrames(*play, view.frames);
  const std::vector<unsigned char> rgb = WindowRgb(*play);
  const std::string path = ReferencePath(view.name);

  // A view that differs from another only in places (the shadows switched off) is stored as
  // its difference from that one, modulo 256: mostly zeros, a tenth of the size.
  std::vector<unsigned char> base(rgb.size(), 0);
  if (view.base) base = LoadPicture(view.base);
  ASSERT_EQ(base.size(), rgb.size()) << "no reference picture for " << view.base;

  const char* write = std::getenv("VELLORAN_WRITE_PICTURES");
  if (write && std::string(write) == "1") {
    std::vector<unsigned char> stored(rgb.size());
    for (size_t i = 0; i < rgb.size(); ++i)
      stored[i] = static_cast<unsigned char>(rgb[i] - base[i]);
    stbi_write_png_compression_level = 9;
    ASSERT_TRUE(stbi_write_png(path.c_str(), kWidth, kHeight, 3, stored.data(), kWidth * 3));
    GTEST_SKIP() << "wrote " << path;
  }

  std::vector<unsigned char> reference = LoadPicture(view.name);
  ASSERT_EQ(reference.size(), rgb.size()) << "no reference picture " << path;
  for (size_t i = 0; i < rgb.size(); ++i)
    reference[i] = static_cast<unsigned char>(reference[i] + base[i]);

  long changed = 0, beyondSlack = 0;
  int largest = 0;
  for (size_t i = 0; i < reference.size(); i += 3) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(rgb[i + c] - reference[i + c]));
    changed += d > 0;
    beyondSlack += d > kChannelSlack;
    largest = std::max(largest, d);
  }
  const long pixels = long{kWidth} * kHeight;
  std::printf("%s: %ld pixels differ (%ld by more than %d/255), largest difference %d/255\n",
              view.name, changed, beyondSlack, kChannelSlack, largest);
  EXPECT_LE(beyondSlack, static_cast<long>(kDifferentShare * pixels))
      << view.name << ": largest difference " << largest << "/255";
}

INSTANTIATE_TEST_SUITE_P(Views, PictureGuard, ::testing::ValuesIn(kViews),
                         [](const ::testing::TestParamInfo<PictureView>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
