// autoplay.cpp: plays one winning game with the autopilot, in a visible window, through the
// game's whole start-up, its real frame sequence and its key handling, on a fixed clock. It can
// save screenshots of the moments worth showing (the headless demo of scripts/play) and stream
// every frame as raw video (scripts/record pipes it into ffmpeg). Tells when the game was won.
//
// Usage: autoplay [--size W H] [--fps N] [--shots DIR] [--video FILE|-] [--draw-every N]
//                 [--watch-platform]
// --watch-platform shows the free camera (F6) from the run-up to the platform until the canoe
// is back on the water: from its start place it looks straight at the platform.
// Run it from the repository root. Log lines go to standard output, or to standard error when
// the video goes there. Lines "moment NAME FRAME SECONDS" mark events for cutting the clip.
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "app/scripted_play.h"
#include "autopilot.h"
#include "trial/file_trial.h"

namespace {

struct Options {
  unsigned width = 1280;
  unsigned height = 720;
  int fps = 30;
  std::string shots;   // folder for the screenshots; empty: none
  std::string video;   // raw RGB24 frames, top row first; "-" for standard output
  long drawEvery = 1;  // frames in between only run the game's rules (shots are always drawn)
  bool watchPlatform = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--size" && i + 2 < argc) {
      o.width = static_cast<unsigned>(std::atoi(argv[++i]));
      o.height = static_cast<unsigned>(std::atoi(argv[++i]));
    } else if (a == "--fps" && more) {
      o.fps = std::atoi(argv[++i]);
    } else if (a == "--shots" && more) {
      o.shots = argv[++i];
    } else if (a == "--video" && more) {
      o.video = argv[++i];
    } else if (a == "--draw-every" && more) {
      o.drawEvery = std::atol(argv[++i]);
    } else if (a == "--watch-platform") {
      o.watchPlatform = true;
    } else {
      return false;
    }
  }
  return o.width > 0 && o.height > 0 && o.fps > 0 && o.drawEvery > 0;
}

// The last drawn frame, RGB, top row first.
void TopDownRgb(const ScriptedPlay& play, std::vector<unsigned char>& rgb) {
  const int w = static_cast<int>(play.game.screenWidth);
  const int h = static_cast<int>(play.game.screenHeight);
  const std::vector<unsigned char> rgba = ReadWindowPixels(play);
  rgb.resize(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned char* src = &rgba[(static_cast<size_t>(h - 1 - y) * w + x) * 4];
      std::memcpy(&rgb[(static_cast<size_t>(y) * w + x) * 3], src, 3);
    }
  }
}

// The screenshots of the demo: each is taken of the frame run right after its condition holds.
enum Shot { kStart, kPaddling, kJump, kFreeCamera, kFrameTime, kGameOver, kShotCount };
const char* const kShotNames[kShotCount] = {"01-start",       "02-paddling",   "03-jump",
                                            "04-free-camera", "05-frame-time", "06-game-over"};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: autoplay [--size W H] [--fps N] [--shots DIR] [--video FILE|-] "
                 "[--draw-every N] [--watch-platform]\n");
    return 2;
  }
  std::FILE* log = o.video == "-" ? stderr : stdout;
  std::FILE* video = nullptr;
  if (!o.video.empty()) {
    video = o.video == "-" ? stdout : std::fopen(o.video.c_str(), "wb");
    if (!video) {
      std::fprintf(stderr, "autoplay: cannot write %s\n", o.video.c_str());
      return 1;
    }
  }

  ScriptedPlayOptions options;
  options.width = o.width;
  options.height = o.height;
  options.frameSeconds = 1.0 / o.fps;
  options.visible = true;
  SetDecodeWhere(DecodeWhere::InProcess);  // the repository's own data
  auto play = std::make_unique<ScriptedPlay>();
  if (!StartScriptedPlay(*play, options)) return 1;
  ScriptedPlay& p = *play;
  Autopilot pilot;
  PlanAutopilot(pilot, p.game);

  const double start = p.clock;
  const long maxFrames = static_cast<long>(100.0 * o.fps);
  std::vector<unsigned char> rgb;
  bool taken[kShotCount] = {};
  int collected = 0;
  bool wasOnPlatform = false, wasAirborne = false;
  long overFrame = -1;
  double freeCameraSeconds = 0.0;
  double wonSeconds = -1.0;
  while (p.frameIndex < maxFrames && (overFrame < 0 || p.frameIndex < overFrame + o.fps)) {
    const SceneNode& canoe = p.game.world.canoeNode;
    const double seconds = p.clock - start;
    // Which shot, if any, this frame is for.
    int shot = -1;
    if (!o.shots.empty()) {
      const bool onPlatform = !canoe.rising && !canoe.falling && canoe.minCorner.y > 0.0f;
      if (!taken[kStart] && p.frameIndex == 3) shot = kStart;
      if (!taken[kPaddling] && seconds >= 2.5) shot = kPaddling;
      if (!taken[kJump] && canoe.rising && canoe.riseHeight > 1.2f) shot = kJump;
      if (!taken[kFreeCamera] && onPlatform) {
        shot = kFreeCamera;
        freeCameraSeconds = seconds;
        TapKey(p, GLFW_KEY_F6);  // the free camera for this one frame
      }
      if (taken[kFreeCamera] && !taken[kFrameTime] && seconds >= freeCameraSeconds + 2.0) {
        shot = kFrameTime;
      }
      if (!taken[kGameOver] && overFrame >= 0 && p.frameIndex >= overFrame + o.fps / 2) {
        shot = kGameOver;
      }
    }
    if (taken[kFreeCamera] && !p.game.seatView && !o.watchPlatform) {
      TapKey(p, GLFW_KEY_F6);  // back to the seat, and the frame time shown from now on
      TapKey(p, GLFW_KEY_F2);
    }

    if (o.watchPlatform) {
      const bool atPlatform = PilotTarget(pilot, p.game) == pilot.highDuck && pilot.inLane;
      const bool onWater = !canoe.rising && !canoe.falling && canoe.minCorner.y < 0.0f;
      if ((atPlatform && p.game.seatView) || (!atPlatform && onWater && !p.game.seatView)) {
        TapKey(p, GLFW_KEY_F6);
      }
    }
    SteerAutopilot(pilot, p);
    p.options.draw = video || shot >= 0 || p.frameIndex % o.drawEvery == 0;
    RunScriptedFrames(p, 1);

    if (p.options.draw && (video || shot >= 0)) {
      TopDownRgb(p, rgb);
      if (video) std::fwrite(rgb.data(), 1, rgb.size(), video);
      if (shot >= 0) {
        const std::string path = o.shots + "/" + kShotNames[shot] + ".png";
        const int w = static_cast<int>(p.game.screenWidth);
        const bool ok = stbi_write_png(path.c_str(), w, static_cast<int>(p.game.screenHeight), 3,
                                       rgb.data(), w * 3) != 0;
        std::fprintf(log, "%s %s\n", ok ? "saved" : "could not save", path.c_str());
        taken[shot] = true;
      }
    }
    if (p.options.draw) glfwSwapBuffers(p.window);  // show it on the display

    // Moments, for cutting the clip.
    const double at = p.clock - start - options.frameSeconds;  // this frame's clock reading
    const bool airborne = canoe.rising || canoe.falling;
    const bool onPlatform = !airborne && canoe.minCorner.y > 0.0f;
    if (airborne && !wasAirborne) std::fprintf(log, "moment jump %ld %.3f\n", p.frameIndex - 1, at);
    if (onPlatform && !wasOnPlatform) {
      std::fprintf(log, "moment platform %ld %.3f\n", p.frameIndex - 1, at);
    }
    wasAirborne = airborne;
    wasOnPlatform = onPlatform;
    for (; collected < p.game.state.ducksCollected; ++collected) {
      std::fprintf(log, "moment duck %ld %.3f\n", p.frameIndex - 1, at);
    }
    if (overFrame < 0 && p.game.state.gameOver) {
      overFrame = p.frameIndex;
      if (p.game.state.ducksCollected == DuckCount) wonSeconds = at;
      std::fprintf(log, "moment over %ld %.3f\n", p.frameIndex - 1, at);
    }
  }
  TapKey(p, GLFW_KEY_ESCAPE);  // the game ends as a player ends it
  RunScriptedFrames(p, 1);
  const bool closed = p.closeRequested;
  const GameState state = p.game.state;
  EndScriptedPlay(p);
  glfwTerminate();
  if (video == stdout) {
    std::fflush(video);
  } else if (video) {
    std::fclose(video);
  }

  if (wonSeconds < 0.0) {
    std::fprintf(log, "autoplay: not won: %d of %d ducks, %.2f s left\n", state.ducksCollected,
                 DuckCount, state.timeLeft);
    return 1;
  }
  std::fprintf(log,
               "autoplay: won: all %d ducks in %.2f s of game time (%ld frames at %d fps), "
               "%.2f s left on the clock\n",
               DuckCount, wonSeconds, overFrame, o.fps, 90.0 - wonSeconds);
  return closed ? 0 : 1;
}
