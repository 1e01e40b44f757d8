// Hardening: no GL errors over every key, no heap allocations per steady frame beyond the HUD's
// strings (sound observing the frames too), and a long soak with random held keys that keeps
// the canoe in the pool and the process's memory flat.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "alloc_counter.h"
#include "audio/game_audio.h"
#include "render_play.h"
#include "scene/game_rules.h"

namespace {

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmRSS:" && status >> value) return value;
    status.ignore(1 << 10, '\n');
  }
  return -1;
}

}  // namespace

TEST(Hardening, NoGlErrorsWhileEveryKeyIsUsed) {
  if (!HaveGameAssets()) GTEST_SKIP() << "game assets missing";
  auto play = StartPlay(320, 180, 1.0 / 30.0);
  PlayGuard guard{play.get()};
  while (glGetError() != GL_NO_ERROR) {
  }
  const int held[] = {GLFW_KEY_W,  GLFW_KEY_S,    GLFW_KEY_A,    GLFW_KEY_D,
                      GLFW_KEY_UP, GLFW_KEY_DOWN, GLFW_KEY_LEFT, GLFW_KEY_RIGHT};
  const int tapped[] = {GLFW_KEY_F2, GLFW_KEY_F3, GLFW_KEY_F6, GLFW_KEY_F7, GLFW_KEY_SPACE};
  long errors = 0;
  auto runChecked = [&](long frames) {
    for (long i = 0; i < frames; ++i) {
      RunScriptedFrames(*play, 1);
      while (glGetError() != GL_NO_ERROR) ++errors;
    }
  };
  for (int key : held) {
    HoldKey(*play, key, 20);
    HoldKey(*play, GLFW_KEY_LEFT_SHIFT, 6);
    runChecked(22);
  }
  for (int round = 0; round < 2; ++round) {
    for (int key : tapped) {
      TapKey(*play, key);
      runChecked(10);
    }
  }
  // Past the end of the game: the countdown runs out and every path of the HUD is drawn.
  play->game.state.timeLeft = 0.2f;
  TapKey(*play, GLFW_KEY_F2);
  HoldKey(*play, GLFW_KEY_W, 20);
  runChecked(40);
  EXPECT_TRUE(play->game.state.gameOver);
  TapKey(*play, GLFW_KEY_ESCAPE);
  runChecked(1);
  EXPECT_TRUE(play->closeRequested);
  EXPECT_GE(play->frameIndex, 300);
  EXPECT_EQ(errors, 0);
  RecordProperty("gl_errors", static_cast<int>(errors));
}

TEST(Hardening, SteadyFramesAllocateOnlyTheHudStrings) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "allocation counting needs the replaced operator new";
#endif
  if (!HaveGameAssets()) GTEST_SKIP() << "game assets missing";
  auto play = StartPlay(320, 180, 1.0 / 60.0);
  PlayGuard guard{play.get()};
  GameAudio audio;  // sound observes every frame, as in the game (silent without a device)
  StartAudio(audio.output);
  play->audio = &audio;
  TapKey(*play, GLFW_KEY_F2);  // the frame-time line too
  HoldKey(*play, GLFW_KEY_A, 100000);
  RunScriptedFrames(*play, 30);  // warm up: driver variants, glyph table

  const long frames = 100;
  long hud = 0;
  allocationCount = 0;
  countingAllocations = true;
  for (long i = 0; i < frames; ++i) {
    // What the HUD's strings cost for this frame's values, counted the same way.
    GameState copy = play->game.state;
    const long before = allocationCount;
    BuildHudLines(copy, play->game.input.showFrameTime, play->game.clock.deltaTime,
                  play->game.screenWidth, play->game.screenHeight);
    hud += allocationCount - before;
    RunScriptedFrames(*play, 1);
  }
  countingAllocations = false;
  const long frameAllocations = allocationCount - hud;
  EXPECT_GT(hud, 0);
  EXPECT_EQ(frameAllocations, hud)
      << "frames allocated " << frameAllocations << ", of which the HUD's strings " << hud;
  RecordProperty("allocations_per_frame", static_cast<int>(frameAllocations / frames));
  play->audio = nullptr;
  StopAudio(audio.output);
}

// The long run: random held keys with a fixed seed, on through game over. The default runs the
// game logic with the scene's real boxes and the duck collection of every drawing, without
// drawing (fast enough for every test run); VELLORAN_SOAK_RENDER=1 renders every frame too.
TEST(Hardening, SoakWithRandomKeysKeepsTheCanoeInThePool) {
  if (!HaveGameAssets()) GTEST_SKIP() << "game assets missing";
  const char* renderEnv = std::getenv("VELLORAN_SOAK_RENDER");
  const bool render = renderEnv && std::string(renderEnv) == "1";
  const char* framesEnv = std::getenv("VELLORAN_SOAK_FRAMES");
  const long frames = framesEnv ? std::atol(framesEnv) : 20000;
  auto play = StartPlay(320, 180, 1.0 / 60.0);
  PlayGuard guard{play.get()};

  std::mt19937 random(20261207);
  const int keys[] = {GLFW_KEY_W,          GLFW_KEY_S,    GLFW_KEY_A,    GLFW_KEY_D,
                      GLFW_KEY_LEFT_SHIFT, GLFW_KEY_UP,   GLFW_KEY_DOWN, GLFW_KEY_LEFT,
                      GLFW_KEY_RIGHT,      GLFW_KEY_SPACE};
  play->options.draw = render;

  long warmKiB = 0;
  float lowestBottom = 1e9f;
  float farthest = 0.0f;
  for (long frame = 0; frame < frames; ++frame) {
    if (frame % 20 == 0) {
      // Change one key's held state at random every third of a second.
      const int key = keys[random() % (sizeof keys / sizeof keys[0])];
      const bool press = random() % 3 != 0;
      if (key == GLFW_KEY_SPACE) {
        HandleKey(play->game, key, GLFW_PRESS);
        HandleKey(play->game, key, GLFW_RELEASE);
      } else {
        HandleKey(play->game, key, press ? GLFW_PRESS : GLFW_RELEASE);
      }
    }
    RunScriptedFrames(*play, 1);
    const SceneNode& canoe = play->game.world.canoeNode;
    const glm::vec3 lo = canoe.minCorner, hi = canoe.minCorner + canoe.size;
    ASSERT_TRUE(lo.x > -50.0f && hi.x < 50.0f && lo.z > -50.0f && hi.z < 50.0f)
        << "frame " << frame << ": canoe box x " << lo.x << ".." << hi.x << ", z " << lo.z << ".."
        << hi.z;
    const bool airborne = canoe.rising || canoe.falling;
    if (!airborne) lowestBottom = std::min(lowestBottom, lo.y);
    ASSERT_GE(lo.y, -0.5f - 1e-3f) << "frame " << frame;
    if (frame == 1000) warmKiB = ResidentKiB();
    farthest = std::max(farthest, std::max(std::abs(lo.x), std::abs(lo.z)));
  }
  EXPECT_TRUE(play->game.state.gameOver);
  const long growthKiB = ResidentKiB() - warmKiB;
#if !defined(__SANITIZE_ADDRESS__)
  // (AddressSanitizer's quarantine holds freed memory back on purpose: no measure there.)
  EXPECT_LT(growthKiB, 1024) << "resident memory grew by " << growthKiB << " KiB";
#endif
  RecordProperty("soak_frames", static_cast<int>(frames));
  RecordProperty("soak_rss_growth_kib", static_cast<int>(growthKiB));
  RecordProperty("ducks_collected", play->game.state.ducksCollected);
  std::printf(
      "soak: %ld frames, %d ducks collected, resident growth %ld KiB, lowest bottom %.4f, "
      "farthest %.1f\n",
      frames, play->game.state.ducksCollected, growthKiB, lowestBottom, farthest);
}
