// frame_bench.cpp: how long a frame of the real game takes here, beside its floor.
//
// Starts the whole game (shaders, models, world, targets) in a visible window and, in a second
// window of the same size, the floor: the same game from a copy of the data folder whose
// fragment stages only write one constant colour (vertex stages, models, passes, targets and
// draws unchanged). What the floor costs no shading can save; the game's cost over it is what
// the fragment shaders spend. Both drive the same route with a scripted clock, in alternating
// rounds so that other load on a shared machine falls on both alike.
//
// Printed: the median and 95th percentile of the frame's wall-clock time and of its CPU time
// over all threads (a software renderer shades on several), each pass's split measured with a
// glFinish after every pass (the honest one on a software renderer, which only does the work
// when a target is flushed), with a GL timer query beside it, and a bare clear-and-swap loop.
// Compare ratios within one run: the machines are shared.
//
// With VELLORAN_BENCH_SOUND=1 in the environment the two sides are the game with its sound
// observing every frame and the same game silent (no floor); the sound device mixes only during
// the sounding side's rounds, so its mixing thread is counted there. Run it with
// ALSOFT_DRIVERS=null (or any device) to measure what sound costs a frame.
//
// Usage: frame_bench [frames] [width height]   (defaults: 240 frames, 1280 x 720). Run it from
// the repository root (it reads shader/, assets/, textures/ and fonts/ from there); the floor's
// folder is made under the system's temporary folder and removed at the end.
#include <AL/alc.h>
#include <GLFW/glfw3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/scripted_play.h"
#include "audio/game_audio.h"
#include "render/pass_timers.h"
#include "trial/file_trial.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 4;  // game and floor take turns this many times

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
}

double Least(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

// The route, in frames at a fixed 1/30 s: paddle ahead, turn, sprint, jump, turn back.
void ScheduleRoute(ScriptedPlay& play, long frames) {
  struct Step {
    double at, length;
    int key;
  };
  const Step steps[] = {
      {0.05, 0.30, GLFW_KEY_W},          {0.15, 0.10, GLFW_KEY_A},     {0.35, 0.20, GLFW_KEY_W},
      {0.35, 0.20, GLFW_KEY_LEFT_SHIFT}, {0.45, 0.02, GLFW_KEY_SPACE}, {0.60, 0.15, GLFW_KEY_D},
      {0.60, 0.35, GLFW_KEY_S},          {0.80, 0.10, GLFW_KEY_A},
  };
  for (const Step& s : steps) {
    const long from = static_cast<long>(s.at * static_cast<double>(frames));
    const long to = from + std::max(1L, static_cast<long>(s.length * static_cast<double>(frames)));
    ScheduleKey(play, play.frameIndex + from, s.key, GLFW_PRESS);
    ScheduleKey(play, play.frameIndex + to, s.key, GLFW_RELEASE);
  }
}

// The floor's data folder: the game's models, textures and font, its vertex
// stages copied, and every fragment stage replaced by one that writes a constant colour.
// Empty on failure.
std::string MakeFloorFolder() {
  std::string pattern = (fs::temp_directory_path() / "velloran_floor_XXXXXX").string();
  if (!mkdtemp(pattern.data())) return "";
  const fs::path floor = pattern;
  std::error_code error;
  // Hard links (a copy where they cannot be made): the game reads nothing through a symbolic
  // link that leaves its data folder.
  for (const char* folder : {"assets", "textures", "fonts"}) {
    const fs::copy_options recursive = fs::copy_options::recursive;
    fs::copy(folder, floor / folder, recursive | fs::copy_options::create_hard_links, error);
    if (error)
      fs::copy(folder, floor / folder, recursive | fs::copy_options::overwrite_existing, error);
  }
  fs::create_directory(floor / "shader", error);
  for (const fs::directory_entry& entry : fs::directory_iterator("shader", error)) {
    const fs::path name = entry.path().filename();
    if (entry.path().extension() == ".vertex") {
      fs::copy_file(entry.path(), floor / "shader" / name, error);
    } else if (entry.path().extension() == ".fragment") {
      std::ofstream(floor / "shader" / name) << "#version 330 core\nout vec4 FragColor;\n"
                                                "void main() { FragColor = vec4(0.5); }\n";
    }
  }
  if (error) {
    std::fprintf(stderr, "frame_bench: could not make the floor's folder: %s\n",
                 error.message().c_str());
    fs::remove_all(floor, error);
    return "";
  }
  return floor.string();
}

// One side of the comparison: a running game and what was measured of it.
struct Side {
  explicit Side(const char* n) : name(n) {}
  const char* name;
  std::unique_ptr<ScriptedPlay> play = std::make_unique<ScriptedPlay>();
  PassTimers timers;
  std::vector<double> frameWall, frameCpu;
  std::vector<double> passGpu[kRenderPassCount], passWall[kRenderPassCount],
      passCpu[kRenderPassCount];
  std::unique_ptr<GameAudio> audio;  // the sound comparison's sounding side
};

// Stops or restarts the sound device's mixing between rounds.
void PauseSound(GameAudio* audio, bool pause) {
  if (!audio || !audio->output.device) return;
  auto* device = static_cast<ALCdevice*>(audio->output.device);
  using Call = void (*)(ALCdevice*);
  auto call = reinterpret_cast<Call>(
      alcGetProcAddress(device, pause ? "alcDevicePauseSOFT" : "alcDeviceResumeSOFT"));
  if (call) call(device);
}

// One round of one side: route frames as the game runs them (no timers), then frames with a
// glFinish and a timer query around every pass.
void MeasureRound(Side& side, long frames, long splitFrames) {
  ScriptedPlay& play = *side.play;
  glfwMakeContextCurrent(play.window);
  PauseSound(side.audio.get(), false);
  for (long i = 0; i < frames; ++i) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    RunScriptedFrames(play, 1);
    FinishRendering();
    side.frameWall.push_back(Ms(Clock::now() - start));
    side.frameCpu.push_back((ProcessCpuSeconds() - cpuStart) * 1000.0);
  }
  side.timers.finishEachPass = true;
  play.session.renderer.timers = &side.timers;
  for (long i = 0; i < splitFrames; ++i) {
    RunScriptedFrames(play, 1);
    CollectPassTimes(side.timers);
    for (int p = 0; p < kRenderPassCount; ++p) {
      side.passGpu[p].push_back(side.timers.gpuMs[p]);
      side.passWall[p].push_back(side.timers.wallMs[p]);
      side.passCpu[p].push_back(side.timers.cpuMs[p]);
    }
  }
  play.session.renderer.timers = nullptr;
  PauseSound(side.audio.get(), true);
}

void PrintRow(const char* label, double game, double floor) {
  std::printf("%-34s %9.2f %9.2f %7.2fx\n", label, game, floor, floor > 0.0 ? game / floor : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  long frames = argc > 1 ? std::atol(argv[1]) : 240;
  ScriptedPlayOptions options;
  options.width = argc > 3 ? static_cast<unsigned>(std::atoi(argv[2])) : 1280;
  options.height = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 720;
  options.frameSeconds = 1.0 / 30.0;
  options.visible = true;
  options.swapBuffers = true;
  if (frames < 4 * kRounds) frames = 4 * kRounds;

  SetDecodeWhere(DecodeWhere::InProcess);  // the repository's own data and the floor's
  const bool soundBench = std::getenv("VELLORAN_BENCH_SOUND") != nullptr;
  const std::string floorFolder = soundBench ? "." : MakeFloorFolder();
  if (floorFolder.empty()) return 1;
  const fs::path home = fs::current_path();
  Side sides[2] = {Side(soundBench ? "sound" : "game"), Side(soundBench ? "silent" : "floor")};
  bool started = StartScriptedPlay(*sides[0].play, options);
  if (started && soundBench) {
    sides[0].audio = std::make_unique<GameAudio>();
    StartAudio(sides[0].audio->output);
    sides[0].play->audio = sides[0].audio.get();
    PauseSound(sides[0].audio.get(), true);
  }
  if (started) {
    // Everything the game reads it reads at start-up, by paths relative to the working folder.
    fs::current_path(floorFolder);
    started = StartScriptedPlay(*sides[1].play, options);
    fs::current_path(home);
  }
  std::error_code ignored;
  if (!soundBench) fs::remove_all(floorFolder, ignored);
  if (!started) return 1;
  std::printf("frame_bench: %u x %u, %ld frames each, %s\n", options.width, options.height, frames,
              RendererName());

  for (Side& side : sides) {
    glfwMakeContextCurrent(side.play->window);
    CreatePassTimers(side.timers);
    RunScriptedFrames(*side.play,
                      5);  // the software renderer compiles shader variants on first use
    ScheduleRoute(*side.play, frames);
  }
  const long splitFrames = std::max(2L, frames / 4 / kRounds);
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < 2; ++i) MeasureRound(sides[(round + i) % 2], frames / kRounds, splitFrames);
  }

  // The bare floor of any frame: clear and swap the game's window, nothing else.
  glfwMakeContextCurrent(sides[0].play->window);
  std::vector<double> bareWall, bareCpu;
  for (long i = 0; i < frames / 2; ++i) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    ClearWindowFramebuffer();
    glfwSwapBuffers(sides[0].play->window);
    FinishRendering();
    bareWall.push_back(Ms(Clock::now() - start));
    bareCpu.push_back((ProcessCpuSeconds() - cpuStart) * 1000.0);
  }

  const Side& game = sides[0];
  const Side& floorSide = sides[1];
  std::printf("%-34s %9s %9s %8s\n", "ms", game.name, floorSide.name, "ratio");
  PrintRow("frame wall, median", Percentile(game.frameWall, 0.5),
           Percentile(floorSide.frameWall, 0.5));
  PrintRow("frame wall, p95", Percentile(game.frameWall, 0.95),
           Percentile(floorSide.frameWall, 0.95));
  PrintRow("frame CPU (all threads), median", Percentile(game.frameCpu, 0.5),
           Percentile(floorSide.frameCpu, 0.5));
  PrintRow("frame CPU (all threads), p95", Percentile(game.frameCpu, 0.95),
           Percentile(floorSide.frameCpu, 0.95));
  std::printf("bare clear + swap: wall %.2f ms, CPU %.2f ms (medians)\n", Percentile(bareWall, 0.5),
              Percentile(bareCpu, 0.5));

  std::printf("per pass, glFinish after each (%ld frames each; medians, and the least CPU seen):\n",
              splitFrames * kRounds);
  std::printf("%-11s %19s %19s %19s %19s\n", "", "wall", "CPU", "CPU least", "GL timer");
  std::printf("%-11s %9s %9s %9s %9s %9s %9s %9s %9s\n", "pass", "game", "floor", "game", "floor",
              "game", "floor", "game", "floor");
  double total[8] = {};
  for (int p = 0; p <= kRenderPassCount; ++p) {
    double v[8];
    if (p < kRenderPassCount) {
      const Side* s[2] = {&game, &floorSide};
      for (int i = 0; i < 2; ++i) {
        v[0 + i] = Percentile(s[i]->passWall[p], 0.5);
        v[2 + i] = Percentile(s[i]->passCpu[p], 0.5);
        v[4 + i] = Least(s[i]->passCpu[p]);
        v[6 + i] = Percentile(s[i]->passGpu[p], 0.5);
      }
      for (int i = 0; i < 8; ++i) total[i] += v[i];
    } else {
      std::copy(total, total + 8, v);
    }
    std::printf("%-11s %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f\n",
                p < kRenderPassCount ? RenderPassName(p) : "sum", v[0], v[1], v[2], v[3], v[4],
                v[5], v[6], v[7]);
  }
  std::printf("ducks collected on the route: game %d, floor %d\n",
              game.play->game.state.ducksCollected, floorSide.play->game.state.ducksCollected);

  for (int i = 1; i >= 0; --i) {
    glfwMakeContextCurrent(sides[i].play->window);
    DeletePassTimers(sides[i].timers);
    if (sides[i].audio) {
      PauseSound(sides[i].audio.get(), false);
      StopAudio(sides[i].audio->output);
    }
    EndScriptedPlay(*sides[i].play);
  }
  glfwTerminate();
  return 0;
}
