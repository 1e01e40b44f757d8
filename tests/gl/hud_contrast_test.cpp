// The HUD's white lines must stay readable over whatever the view shows: the median sRGB luma
// of the picture under every line (the composite image, before the text) is at most 0.60 in
// the canoe's eight headings from the start and in the free camera's first view. This guards
// the wall, coping and sky data, whose bright tones once hid the top line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "render_play.h"
#include "scene/scene_node.h"

namespace {

constexpr double kMaxMedianLuma = 0.60;  // white text keeps about 3:1 contrast

// Rec. 709 weights on the stored (sRGB-encoded) values.
double MedianLuma(const Image& image, Box box) {
  box.x0 = std::max(box.x0, 0);
  box.y0 = std::max(box.y0, 0);
  box.x1 = std::min(box.x1, image.width);
  box.y1 = std::min(box.y1, image.height);
  std::vector<double> luma;
  for (int y = box.y0; y < box.y1; ++y) {
    for (int x = box.x0; x < box.x1; ++x) {
      const unsigned char* p = image.At(x, y);
      luma.push_back((0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0);
    }
  }
  if (luma.empty()) return 0.0;
  std::nth_element(luma.begin(), luma.begin() + luma.size() / 2, luma.end());
  return luma[luma.size() / 2];
}

// The canoe's heading in degrees, 0 at the start, counter-clockwise seen from above.
double CanoeHeading(const ScriptedPlay& play) {
  const glm::vec4 bow = WorldMatrix(&play.game.world.canoeNode) * glm::vec4(1, 0, 0, 0);
  const double degrees = std::atan2(-bow.z, bow.x) * 57.29577951308232;
  return degrees < -1.0 ? degrees + 360.0 : degrees;
}

struct Size {
  unsigned width, height;
};

class HudContrast : public ::testing::TestWithParam<Size> {};

TEST_P(HudContrast, MedianLumaUnderEveryLineInEveryStartView) {
  if (!HaveGameAssets()) GTEST_SKIP() << "generated assets missing";
  const Size size = GetParam();
  // 0.9 s a frame: holding A turns the canoe 50 degrees a second, so one frame is one step of
  // 45 degrees, turned in place by the real keyboard step, and only measured frames are drawn.
  auto play = StartPlay(size.width, size.height, 0.9);
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

  double worst = 0.0;
  std::string worstAt, topLine;  // topLine: the median under the seconds, view by view
  auto measure = [&](const std::string& view) {
    const Image image = TargetImage(*play, play->session.targets.compositeTarget);
    for (const auto& [text, box] : boxes) {
      const double median = MedianLuma(image, box);
      if (&text == &boxes.front().first) {
        char entry[32];
        std::snprintf(entry, sizeof entry, " %.2f", median);
        topLine += entry;
      }
      EXPECT_LE(median, kMaxMedianLuma) << view << ", under \"" << text << "\"";
      if (median > worst) {
        worst = median;
        worstAt = view + ", under \"" + text + "\"";
      }
    }
  };

  TapKey(*play, GLFW_KEY_F6);  // the free camera as it starts
  RunScriptedFrames(*play, 1);
  ASSERT_FALSE(play->game.seatView);
  measure("free camera");
  TapKey(*play, GLFW_KEY_F6);  // back in the seat; this frame also sets deltaTime to 0.9
  RunScriptedFrames(*play, 1);
  ASSERT_TRUE(play->game.seatView);
  measure("heading 0");
  HoldKey(*play, GLFW_KEY_A, 7);
  for (int step = 1; step < 8; ++step) {
    RunScriptedFrames(*play, 1);
    ASSERT_NEAR(CanoeHeading(*play), 45.0 * step, 0.5) << "the canoe turns in place";
    measure("heading " + std::to_string(45 * step));
  }
  std::printf(
      "HUD contrast %ux%u: worst median luma %.3f (%s); top line, free camera then "
      "headings:%s\n",
      size.width, size.height, worst, worstAt.c_str(), topLine.c_str());
}

INSTANTIATE_TEST_SUITE_P(Sizes, HudContrast,
                         ::testing::Values(Size{800, 600}, Size{1280, 720}, Size{1920, 1080}),
                         [](const ::testing::TestParamInfo<Size>& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

}  // namespace
