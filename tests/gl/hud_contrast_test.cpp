// The HUD's white lines must stay readable over whatever the view shows: the median sRGB luma
// of the picture under every line (the composite image, before the text) is at most 0.60 at
// every heading, a few degrees apart, from eyes across the pool, and in the free camera's
// first view. This guards the wall, coping and sky data, whose bright tones once hid the top
// line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "render_play.h"
#include "scene/camera.h"
#include "scene/scene_node.h"

namespace {

constexpr double kMaxMedianLuma = 0.60;  // white text keeps about 3:1 contrast
constexpr float kSeatPitch = -20.0f;     // the seat view looks this far down
constexpr int kHeadingStep = 3;          // measured headings, degrees apart

// Rec. 709 weights on the stored (sRGB-encoded) values.
double Luma(const unsigned char* p) {
  return (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
}

double Median(std::vector<double>& values) {
  if (values.empty()) return 0.0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

Box Clipped(Box box, const Image& image) {
  return Box{std::max(box.x0, 0), std::max(box.y0, 0), std::min(box.x1, image.width),
             std::min(box.y1, image.height)};
}

double MedianLuma(const Image& image, Box box) {
  box = Clipped(box, image);
  std::vector<double> luma;
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) luma.push_back(Luma(image.At(x, y)));
  }
  return Median(luma);
}

// One rendered view from a fixed eye, to look up the colour of any ray it shows.
struct Shot {
  float yaw = 0.0f;
  Image image;
  glm::mat4 toClip{1.0f};  // world point -> clip space of this view
};

// Window pixels of a box as normalised device coordinates on the far plane, every `stride`th
// pixel each way.
std::vector<glm::vec4> FarPoints(Box box, int stride, const Image& frame) {
  std::vector<glm::vec4> points;
  for (int y = box.y0; y < box.y1; y += stride) {
    for (int x = box.x0; x < box.x1; x += stride) {
      points.emplace_back(2.0f * (x + 0.5f) / frame.width - 1.0f,
                          2.0f * (y + 0.5f) / frame.height - 1.0f, 1.0f, 1.0f);
    }
  }
  return points;
}

// The lumas of the rays through `points` as `shot` shows them; `toShot` maps the points into
// the shot's clip space (the views share the eye, so this is a rotation between perspectives).
// False if a ray falls outside the shot. Plain arithmetic: this runs some million times.
bool LumasInShot(const Shot& shot, const glm::mat4& toShot, const std::vector<glm::vec4>& points,
                 std::vector<double>& luma) {
  const Image& image = shot.image;
  const float* m = &toShot[0][0];
  luma.clear();
  for (const glm::vec4& p : points) {
    const float cx = m[0] * p.x + m[4] * p.y + m[8] + m[12];
    const float cy = m[1] * p.x + m[5] * p.y + m[9] + m[13];
    const float cw = m[3] * p.x + m[7] * p.y + m[11] + m[15];
    if (cw <= 0.0f) return false;
    const float sx = (cx / cw + 1.0f) * 0.5f * image.width;
    const float sy = (cy / cw + 1.0f) * 0.5f * image.height;
    if (sx < 0.0f || sy < 0.0f || sx >= image.width || sy >= image.height) return false;
    luma.push_back(Luma(image.At(static_cast<int>(sx), static_cast<int>(sy))));
  }
  return true;
}

struct Size {
  unsigned width, height;
  int shotsPerEye;  // enough for every heading's lines to lie whole in one (wider views: fewer)
};

class HudContrast : public ::testing::TestWithParam<Size> {};

TEST_P(HudContrast, MedianLumaUnderEveryLineAtEveryHeading) {
  if (!HaveGameAssets()) GTEST_SKIP() << "generated assets missing";
  const Size size = GetParam();
  auto play = StartPlay(size.width, size.height);
  PlayGuard guard{play.get()};

  // Every line the HUD can show: the seconds, "GAME OVER", the frame time and the ducks.
  GameState shown = play->game.state, over = play->game.state;
  over.secondsShown = 0;
  const HudLines hud = BuildHudLines(shown, true, 0.016667f, size.width, size.height);
  const HudLines end = BuildHudLines(over, false, 0.0f, size.width, size.height);
  std::vector<std::pair<std::string, Box>> boxes;
  for (const HudLines* lines : {&hud, &end}) {
    for (int i = 0; i < lines->count; ++i) {
      const HudLine& line = lines->lines[i];
      if (lines == &end && line.text != "GAME OVER") continue;
      boxes.emplace_back(line.text, InkBox(*play->session.textRenderer, line));
    }
  }
  ASSERT_EQ(boxes.size(), 4u);
  // The brightest view under each line.
  std::vector<double> worst(boxes.size(), 0.0);
  std::vector<std::string> worstAt(boxes.size());
  auto note = [&](std::size_t line, double median, const std::string& view) {
    if (median > worst[line]) {
      worst[line] = median;
      worstAt[line] = view;
    }
  };
  auto composite = [&] { return TargetImage(*play, play->session.targets.compositeTarget); };

  // The views a game starts with, the canoe in the picture: the free camera, then the seat.
  Image frame;
  for (const char* view : {"free camera", "seat at the start"}) {
    TapKey(*play, GLFW_KEY_F6);
    RunScriptedFrames(*play, 1);
    frame = composite();
    for (std::size_t i = 0; i < boxes.size(); ++i)
      note(i, MedianLuma(frame, boxes[i].second), view);
  }
  ASSERT_TRUE(play->game.seatView);

  // Every heading, with the seat's downward look, from the seat's eye at the start and from eyes
  // in two corners, whose far walls sit lowest in the view. From one eye a ray's colour does
  // not depend on which way the camera turned to see it, so a few shots around the eye hold
  // every ray that any heading puts under a line, and each heading's lines are read from the
  // shot that shows them nearest its middle.
  const glm::vec3 start = SeatView(WorldMatrix(&play->game.world.canoeNode)).eye;
  const glm::mat4 projection = SceneProjection(play->game.camera.zoom, size.width, size.height);
  // The boxes grow with the window: read them about as densely as at 400 pixels wide.
  const int stride = static_cast<int>((size.width + 399) / 400);
  std::vector<std::vector<glm::vec4>> points;
  for (const auto& [text, box] : boxes)
    points.push_back(FarPoints(Clipped(box, frame), stride, frame));
  for (const glm::vec3& eye :
       {start, glm::vec3(-42.0f, start.y, -42.0f), glm::vec3(42.0f, start.y, -42.0f)}) {
    std::vector<Shot> shots(size.shotsPerEye);
    for (int k = 0; k < size.shotsPerEye; ++k) {
      shots[k].yaw = 360.0f * k / size.shotsPerEye;
      PlaceFreeCamera(*play, eye, shots[k].yaw, kSeatPitch);
      RunScriptedFrames(*play, 1);
      shots[k].image = composite();
      shots[k].toClip = projection * play->game.camera.ViewMatrix();
    }
    for (int yaw = 0; yaw < 360; yaw += kHeadingStep) {
      PlaceFreeCamera(*play, eye, static_cast<float>(yaw), kSeatPitch);
      const glm::mat4 fromClip = glm::inverse(projection * play->game.camera.ViewMatrix());
      // The lines sit on the left, about 20 degrees off the view's middle.
      std::vector<const Shot*> nearest;
      for (const Shot& shot : shots) nearest.push_back(&shot);
      auto off = [&](const Shot* shot) {
        const float d = std::fmod(std::fabs(shot->yaw - (yaw - 20.0f)), 360.0f);
        return std::min(d, 360.0f - d);
      };
      std::sort(nearest.begin(), nearest.end(),
                [&](const Shot* a, const Shot* b) { return off(a) < off(b); });
      char view[64];
      std::snprintf(view, sizeof view, "eye (%.0f, %.0f), yaw %d", eye.x, eye.z, yaw);
      for (std::size_t i = 0; i < boxes.size(); ++i) {
        std::vector<double> luma;
        const auto holder = std::find_if(nearest.begin(), nearest.end(), [&](const Shot* shot) {
          return LumasInShot(*shot, shot->toClip * fromClip, points[i], luma);
        });
        ASSERT_NE(holder, nearest.end()) << view << ": no shot holds \"" << boxes[i].first << "\"";
        note(i, Median(luma), view);
      }
    }
  }
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_LE(worst[i], kMaxMedianLuma) << worstAt[i] << ", under \"" << boxes[i].first << "\"";
    std::printf("HUD contrast %ux%u: worst median luma %.3f under \"%s\" (%s)\n", size.width,
                size.height, worst[i], boxes[i].first.c_str(), worstAt[i].c_str());
  }
}

// WCAG's relative luminance of an sRGB pixel.
double Luminance(const unsigned char* p) {
  auto linear = [](unsigned char c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2]);
}

// The contrast of a line's fill against the pixels bordering it (within two pixels), medians
// of each: the fill is where the plain HUD lit the scene to near white, read there; the border
// is read in `frame`.
double FillContrast(const Image& plain, const Image& scene, const Image& frame, Box box) {
  box = Clipped(box, frame);
  auto fill = [&](int x, int y) {
    return box.Contains(x, y) && Luma(plain.At(x, y)) > 0.95 && Luma(scene.At(x, y)) < 0.9;
  };
  std::vector<double> inside, border;
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      if (fill(x, y)) {
        inside.push_back(Luminance(plain.At(x, y)));
        continue;
      }
      bool near = false;
      for (int dy = -2; dy <= 2 && !near; ++dy) {
        for (int dx = -2; dx <= 2 && !near; ++dx) near = fill(x + dx, y + dy);
      }
      if (near) border.push_back(Luminance(frame.At(x, y)));
    }
  }
  return (Median(inside) + 0.05) / (Median(border) + 0.05);
}

// hud_outline: every line's white fill stands at least 4.5:1 off what borders it, in the views
// above (the start views, and headings round the eyes) where the plain HUD has the scene there.
TEST(HudOutline, FillStandsOffTheSceneAtEveryHeading) {
  if (!HaveGameAssets()) GTEST_SKIP() << "generated assets missing";
  constexpr unsigned kWidth = 800, kHeight = 600;
  auto play = StartPlay(kWidth, kHeight);
  PlayGuard guard{play.get()};
  GameState shown = play->game.state;
  const HudLines hud = BuildHudLines(shown, false, 0.0f, kWidth, kHeight);
  double worstOutlined = 1e9, worstPlain = 1e9;
  std::string worstView;
  auto measure = [&](const std::string& view) {
    play->game.hudLook.outline = false;
    RunScriptedFrames(*play, 1);
    const Image plain = WindowImage(*play);
    const Image scene = TargetImage(*play, play->session.targets.compositeTarget);
    play->game.hudLook.outline = true;
    RunScriptedFrames(*play, 1);
    const Image outlined = WindowImage(*play);
    for (int i = 0; i < hud.count; ++i) {
      const Box box = InkBox(*play->session.textRenderer, hud.lines[i]);
      const double ratio = FillContrast(plain, scene, outlined, box);
      worstPlain = std::min(worstPlain, FillContrast(plain, scene, scene, box));
      if (ratio < worstOutlined) worstView = view + ", \"" + hud.lines[i].text + "\"";
      worstOutlined = std::min(worstOutlined, ratio);
    }
  };
  for (const char* view : {"free camera", "seat at the start"}) {
    TapKey(*play, GLFW_KEY_F6);
    measure(view);
  }
  const glm::vec3 start = SeatView(WorldMatrix(&play->game.world.canoeNode)).eye;
  for (const glm::vec3& eye :
       {start, glm::vec3(-42.0f, start.y, -42.0f), glm::vec3(42.0f, start.y, -42.0f)}) {
    for (int yaw = 0; yaw < 360; yaw += 30) {
      PlaceFreeCamera(*play, eye, static_cast<float>(yaw), kSeatPitch);
      measure("eye (" + std::to_string(static_cast<int>(eye.x)) + ", " +
              std::to_string(static_cast<int>(eye.z)) + "), yaw " + std::to_string(yaw));
    }
  }
  std::printf("HUD outline: worst fill contrast %.1f:1 outlined, %.1f:1 plain (%s)\n",
              worstOutlined, worstPlain, worstView.c_str());
  EXPECT_GE(worstOutlined, 4.5) << worstView;
}

INSTANTIATE_TEST_SUITE_P(Sizes, HudContrast,
                         ::testing::Values(Size{800, 600, 9}, Size{1280, 720, 7},
                                           Size{1920, 1080, 7}),
                         [](const ::testing::TestParamInfo<Size>& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

}  // namespace
