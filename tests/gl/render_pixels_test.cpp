// Pixels read back from real frames of the scripted game: where the HUD writes, what the
// shadow switch, wireframe and the view switch change, how the water is laid over the scene,
// and the chrome statue's colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "input/help_panel.h"
#include "render/pass_math.h"
#include "render_play.h"
#include "scene/game_rules.h"

namespace {

struct HudCase {
  unsigned width, height;
  bool frameTime;
};

class HudPixels : public ::testing::TestWithParam<HudCase> {};

// The present pass copies the composite image exactly (its alpha is 1 everywhere), so every
// pixel where the window differs from it was written by the HUD: those must all lie in the
// lines' boxes, be lighter than the image below (white text), and every line must show.
TEST_P(HudPixels, WhiteTextOnlyInTheLinesBoxes) {
  const HudCase c = GetParam();
  auto play = StartPlay(c.width, c.height, 0.02);
  PlayGuard guard{play.get()};
  if (c.frameTime) TapKey(*play, GLFW_KEY_F2);
  RunScriptedFrames(*play, 2);

  GameState copy = play->game.state;
  const HudLines hud = BuildHudLines(copy, play->game.input.showFrameTime,
                                     play->game.clock.deltaTime, c.width, c.height);
  ASSERT_EQ(hud.count, c.frameTime ? 3 : 2);
  std::vector<Box> boxes;
  for (int i = 0; i < hud.count; ++i)
    boxes.push_back(InkBox(*play->session.textRenderer, hud.lines[i]));
  // Seconds at the top left, ducks at the bottom left, the frame time above the ducks.
  EXPECT_GT(boxes.front().y0, static_cast<int>(c.height) * 3 / 4);
  EXPECT_LT(boxes.back().y1, static_cast<int>(c.height) / 4);
  for (const Box& b : boxes) EXPECT_LT(b.x1, static_cast<int>(c.width) * 3 / 4);

  const Image window = WindowImage(*play);
  const Image composite = TargetImage(*play, play->session.targets.compositeTarget);
  std::vector<long> inBox(boxes.size(), 0);
  long stray = 0, darker = 0;
  for (int y = 0; y < window.height; ++y) {
    for (int x = 0; x < window.width; ++x) {
      const unsigned char* w = window.At(x, y);
      const unsigned char* s = composite.At(x, y);
      if (SameRgb(w, s)) continue;
      if (w[0] + 1 < s[0] || w[1] + 1 < s[1] || w[2] + 1 < s[2]) ++darker;  // 1: rounding
      bool inside = false;
      for (size_t b = 0; b < boxes.size(); ++b) {
        if (boxes[b].Contains(x, y)) {
          ++inBox[b];
          inside = true;
        }
      }
      if (!inside) ++stray;
    }
  }
  EXPECT_EQ(stray, 0) << "HUD pixels outside the lines' boxes";
  EXPECT_EQ(darker, 0) << "white text only lightens";
  for (size_t b = 0; b < boxes.size(); ++b) {
    EXPECT_GT(inBox[b], 40) << "line " << b << ": " << hud.lines[b].text;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, HudPixels,
                         ::testing::Values(HudCase{800, 600, false}, HudCase{1280, 720, false},
                                           HudCase{800, 600, true}));

// Where the mask says water, the composite shows the water surface; elsewhere it is exactly
// the scene image.
TEST(RenderPixels, WaterRegionDiffersFromTheSceneAndTheRestIsTheScene) {
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  RunScriptedFrames(*play, 2);
  const Image scene = TargetImage(*play, play->session.targets.sceneTarget);
  const Image composite = TargetImage(*play, play->session.targets.compositeTarget);
  long water = 0, waterChanged = 0, dry = 0, dryChanged = 0;
  for (int y = 0; y < scene.height; ++y) {
    for (int x = 0; x < scene.width; ++x) {
      const unsigned char* s = scene.At(x, y);
      const bool changed = !SameRgb(s, composite.At(x, y));
      if (s[3] == 0) {
        ++water;
        waterChanged += changed;
      } else {
        EXPECT_EQ(s[3], 255) << "the mask is either water or not";
        ++dry;
        dryChanged += changed;
      }
    }
  }
  const long total = static_cast<long>(scene.width) * scene.height;
  EXPECT_GT(water, total / 10) << "the seat view looks over the water";
  EXPECT_GT(dry, total / 20);
  EXPECT_GT(waterChanged, water * 9 / 10);
  EXPECT_EQ(dryChanged, 0);
}

TEST(RenderPixels, WireframeChangesTheImagesButTheWindowQuadIsFilled) {
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  RunScriptedFrames(*play, 2);
  const Image sceneFilled = TargetImage(*play, play->session.targets.sceneTarget);
  const Image compositeFilled = TargetImage(*play, play->session.targets.compositeTarget);
  TapKey(*play, GLFW_KEY_F3);
  RunScriptedFrames(*play, 1);
  ASSERT_TRUE(play->game.input.wireframe);
  const Image scene = TargetImage(*play, play->session.targets.sceneTarget);
  const Image composite = TargetImage(*play, play->session.targets.compositeTarget);
  const Image window = WindowImage(*play);
  const long total = static_cast<long>(scene.width) * scene.height;
  EXPECT_GT(CountDifferent(scene, sceneFilled), total / 4);
  EXPECT_GT(CountDifferent(composite, compositeFilled), total / 4);
  // Filled, the quad copies the composite into every pixel; drawn as lines, the window's white
  // clear colour would show almost everywhere. Only the HUD may differ.
  EXPECT_LT(CountDifferent(window, composite), total / 50);
}

// The help panel writes into the right part of the window only, over the same picture.
TEST(RenderPixels, HelpPanelDrawsInItsAreaOverTheSameFrame) {
  auto play = StartPlay(640, 360);
  PlayGuard guard{play.get()};
  RunScriptedFrames(*play, 2);
  const Image without = WindowImage(*play);
  play->game.help.lines = LayoutHelpPanel(DefaultBindings(), KeyLabels(), 640, 360);
  play->game.help.shown = true;
  RunScriptedFrames(*play, 1);
  const Image with = WindowImage(*play);
  long inside = 0, outside = 0;
  for (int y = 0; y < with.height; ++y) {
    for (int x = 0; x < with.width; ++x) {
      const bool differs = !SameRgb(with.At(x, y), without.At(x, y));
      (x >= with.width / 2 ? inside : outside) += differs ? 1 : 0;
    }
  }
  EXPECT_GT(inside, with.width * with.height / 40);
  EXPECT_EQ(outside, 0);
}

TEST(RenderPixels, SeatViewAndFreeCameraDiffer) {
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  RunScriptedFrames(*play, 2);
  const Image seat = WindowImage(*play);
  TapKey(*play, GLFW_KEY_F6);
  RunScriptedFrames(*play, 1);
  ASSERT_FALSE(play->game.seatView);
  const Image free = WindowImage(*play);
  EXPECT_GT(CountDifferent(seat, free), static_cast<long>(seat.width) * seat.height / 3);
}

// Window pixel of a world point for the frame's view and projection.
void ProjectToWindow(const ScriptedPlay& play, glm::vec3 point, int& x, int& y) {
  const View view =
      SelectView(play.game.camera, play.game.seatView, play.game.world.canoeNode.transform);
  const glm::mat4 projection =
      SceneProjection(play.game.camera.zoom, play.game.screenWidth, play.game.screenHeight);
  const glm::vec4 clip = projection * view.matrix * glm::vec4(point, 1.0f);
  x = static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * play.game.screenWidth);
  y = static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * play.game.screenHeight);
}

// The light stands low in the +x +z corner, so the wall at x = +50 shades the floor in front
// of it: that patch must brighten when shadows are switched off.
TEST(RenderPixels, ShadowsOffBrightensAShadowedPatch) {
  if (!HaveGameAssets()) GTEST_SKIP() << "needs the generated models";
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  PlaceFreeCamera(*play, glm::vec3(30.0f, 12.0f, 0.0f), 0.0f, -45.0f);
  RunScriptedFrames(*play, 2);
  int px = 0, py = 0;
  ProjectToWindow(*play, glm::vec3(40.0f, -1.5f, 0.0f), px, py);
  ASSERT_TRUE(px > 10 && px < 310 && py > 10 && py < 170) << px << ", " << py;
  const Image sceneOn = TargetImage(*play, play->session.targets.sceneTarget);
  const Image windowOn = WindowImage(*play);
  TapKey(*play, GLFW_KEY_F7);
  RunScriptedFrames(*play, 1);
  ASSERT_FALSE(play->game.input.shadowsEnabled);
  const Image sceneOff = TargetImage(*play, play->session.targets.sceneTarget);
  const Image windowOff = WindowImage(*play);
  const Box patch{px - 8, py - 8, px + 8, py + 8};
  const double floorOn = MeanBrightness(sceneOn, patch.x0, patch.y0, patch.x1, patch.y1);
  const double floorOff = MeanBrightness(sceneOff, patch.x0, patch.y0, patch.x1, patch.y1);
  const double waterOn = MeanBrightness(windowOn, patch.x0, patch.y0, patch.x1, patch.y1);
  const double waterOff = MeanBrightness(windowOff, patch.x0, patch.y0, patch.x1, patch.y1);
  EXPECT_GT(floorOff, floorOn * 1.3) << "floor " << floorOn << " -> " << floorOff;
  EXPECT_GT(waterOff, waterOn * 1.15) << "through the water " << waterOn << " -> " << waterOff;
}

// Paints every face of the sky's cube map one colour.
void PaintSky(const ScriptedPlay& play, const unsigned char rgb[3]) {
  glBindTexture(GL_TEXTURE_CUBE_MAP, play.session.targets.cubemapTexture);
  for (int face = 0; face < 6; ++face) {
    glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB, 1, 1, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, rgb);
  }
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

const unsigned char kMagenta[3] = {255, 0, 255};

// The statue is chrome: paint the sky one colour and the statue takes it on.
TEST(RenderPixels, StatueShowsTheSkysColours) {
  if (!HaveGameAssets()) GTEST_SKIP() << "needs the generated models";
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  PlaceFreeCamera(*play, glm::vec3(0.0f, 6.0f, -30.0f), -90.0f, 12.0f);
  struct Sky {
    unsigned char rgb[3];
    int strong0, strong1, weak;  // the two channels that must dominate the third
  };
  for (const Sky sky : {Sky{{255, 0, 255}, 0, 2, 1}, Sky{{0, 255, 0}, 1, 1, 0}}) {
    PaintSky(*play, sky.rgb);
    RunScriptedFrames(*play, 1);
    const Image scene = TargetImage(*play, play->session.targets.sceneTarget);
    const std::vector<float> depth = ReadTargetDepth(*play, play->session.targets.sceneTarget);
    // Above the far wall (the lowest third) only the statue stands in front of the sky.
    long statue = 0, skyColoured = 0;
    for (int y = scene.height / 3; y < scene.height; ++y) {
      for (int x = 0; x < scene.width; ++x) {
        if (depth[static_cast<size_t>(y) * scene.width + x] >= 1.0f) continue;
        const unsigned char* p = scene.At(x, y);
        ++statue;
        if (p[sky.strong0] > p[sky.weak] + 60 && p[sky.strong1] > p[sky.weak] + 60) ++skyColoured;
      }
    }
    EXPECT_GT(statue, 200) << "the statue is in view";
    EXPECT_GT(skyColoured, statue * 8 / 10);
  }
}

// The world point seen at a pixel of a target with the given depth, for a view and the
// frame's projection.
glm::vec3 Unproject(const ScriptedPlay& play, const glm::mat4& view, int x, int y, float depth) {
  const glm::mat4 projection =
      SceneProjection(play.game.camera.zoom, play.game.screenWidth, play.game.screenHeight);
  const glm::vec4 ndc((x + 0.5f) / play.game.screenWidth * 2.0f - 1.0f,
                      (y + 0.5f) / play.game.screenHeight * 2.0f - 1.0f, depth * 2.0f - 1.0f, 1.0f);
  const glm::vec4 world = glm::inverse(projection * view) * ndc;
  return glm::vec3(world) / world.w;
}

// What a target shows: pixels at the far plane (nothing but the sky, if anything, drawn there)
// and how many of them have a given colour; pixels with something nearer and how many of those
// lie below the water.
struct TargetCensus {
  long far = 0, farOfColour = 0, near = 0, nearBelowWater = 0;
};

TargetCensus TakeCensus(const ScriptedPlay& play, GLuint target, const glm::mat4& view,
                        const unsigned char farRgba[4]) {
  const Image image = TargetImage(play, target);
  const std::vector<float> depth = ReadTargetDepth(play, target);
  TargetCensus c;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const float d = depth[static_cast<size_t>(y) * image.width + x];
      const unsigned char* p = image.At(x, y);
      if (d >= 1.0f) {
        ++c.far;
        c.farOfColour += SameRgb(p, farRgba) && p[3] == farRgba[3];
      } else {
        ++c.near;
        c.nearBelowWater += Unproject(play, view, x, y, d).y < -0.55f;
      }
    }
  }
  return c;
}

// With a one-colour sky: in the scene image the sky fills exactly what nothing else covers (it
// is drawn at the far plane, so only GL_LEQUAL lets it pass there). The reflection image keeps
// only what stands above the water (the 0.5 clip plane takes everything under it, the floor
// included) with the sky behind; where nothing at all is drawn, its clear shows: white, alpha 0.
TEST(RenderPixels, SkyFillsTheRestAndTheReflectionKeepsOnlyWhatIsAboveTheWater) {
  if (!HaveGameAssets()) GTEST_SKIP() << "needs the generated models";
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  PlaceFreeCamera(*play, glm::vec3(0.0f, 2.0f, 40.0f), -90.0f, 8.0f);
  PaintSky(*play, kMagenta);
  RunScriptedFrames(*play, 2);
  const long total = 320L * 180L;
  const RenderTargets& targets = play->session.targets;
  const unsigned char sky[4] = {255, 0, 255, 255};

  const View main =
      SelectView(play->game.camera, play->game.seatView, play->game.world.canoeNode.transform);
  const TargetCensus scene = TakeCensus(*play, targets.sceneTarget, main.matrix, sky);
  EXPECT_GT(scene.far, total / 10) << "the sky is in view";
  EXPECT_GT(scene.near, total / 10);
  EXPECT_EQ(scene.farOfColour, scene.far) << "every uncovered pixel shows the sky";

  const View reflection = ReflectionView(play->game.world.canoeNode);
  const TargetCensus mirrored = TakeCensus(*play, targets.reflectionTarget, reflection.matrix, sky);
  EXPECT_GT(mirrored.near, total / 50) << "things above the water are in the reflection";
  EXPECT_EQ(mirrored.nearBelowWater, 0) << "nothing below the water survives the clip plane";
  EXPECT_GT(mirrored.far, total / 10);
  EXPECT_EQ(mirrored.farOfColour, mirrored.far);

  // No sky: an empty vertex array draws its 36 vertices onto one point, so nothing at all.
  GLuint noSky = 0;
  glGenVertexArrays(1, &noSky);
  const GLuint skyboxVAO = targets.skyboxVAO;
  play->session.targets.skyboxVAO = noSky;
  RunScriptedFrames(*play, 1);
  play->session.targets.skyboxVAO = skyboxVAO;
  glDeleteVertexArrays(1, &noSky);
  const unsigned char clear[4] = {255, 255, 255, 0};
  const TargetCensus bare = TakeCensus(*play, targets.reflectionTarget, reflection.matrix, clear);
  EXPECT_GT(bare.far, total / 10);
  EXPECT_EQ(bare.farOfColour, bare.far) << "the reflection's clear is white with alpha 0";
}

// The water mixes the scene image under it (refraction, unit 1) with the reflection image
// (unit 2) by a Fresnel term: looking straight down it shows what lies below, with no trace of
// the sky (which the reflection image is mostly made of), and towards the horizon much of the
// mirrored sky. A one-colour sky tells the two images apart.
TEST(RenderPixels, WaterShowsWhatIsBelowAndTowardsTheHorizonTheReflectedSky) {
  if (!HaveGameAssets()) GTEST_SKIP() << "needs the generated models";
  auto play = StartPlay(320, 180);
  PlayGuard guard{play.get()};
  PaintSky(*play, kMagenta);
  struct Look {
    const char* name;
    glm::vec3 position;
    float pitch;
    bool mostlySky;
  };
  for (const Look& look : {Look{"straight down", {0.0f, 30.0f, 25.0f}, -89.0f, false},
                           Look{"along the surface", {0.0f, 0.3f, 45.0f}, -3.0f, true}}) {
    PlaceFreeCamera(*play, look.position, -90.0f, look.pitch);
    RunScriptedFrames(*play, 2);
    const Image scene = TargetImage(*play, play->session.targets.sceneTarget);
    const Image composite = TargetImage(*play, play->session.targets.compositeTarget);
    long water = 0, skyish = 0;
    for (int y = 0; y < scene.height; ++y) {
      for (int x = 0; x < scene.width; ++x) {
        if (scene.At(x, y)[3] != 0) continue;  // the mask: not water
        const unsigned char* p = composite.At(x, y);
        ++water;
        skyish += p[0] > p[1] + 40 && p[2] > p[1] + 40;
      }
    }
    EXPECT_GT(water, 320L * 180L / 4) << look.name;
    if (look.mostlySky) {
      EXPECT_GT(skyish, water * 4 / 10) << look.name;
    } else {
      EXPECT_LT(skyish, water / 20) << look.name;
    }
    RecordProperty(look.name, static_cast<int>(skyish * 100 / std::max(water, 1L)));
  }
}

}  // namespace
