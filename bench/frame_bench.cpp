// frame_bench.cpp: how long a frame of the real game takes here.
//
// Starts the whole game (shaders, models, world, targets) in a visible window, drives a fixed
// route with a scripted clock for a fixed number of frames and prints the median and 95th
// percentile wall-clock frame time, each pass's share from GL timer queries, the same split
// measured with a glFinish after every pass (the honest one on a software renderer, which only
// does the work when a target is flushed), and the frame time of a bare clear-and-swap loop of
// the same window in the same run. Compare ratios within one run: the machines are shared.
//
// Usage: frame_bench [frames] [width height]   (defaults: 240 frames, 1280 x 720). Run it from
// the repository root (it reads shader/, assets/, textures/ and fonts/ from there).
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/scripted_play.h"
#include "render/pass_timers.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
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
    ScheduleKey(play, from, s.key, GLFW_PRESS);
    ScheduleKey(play, to, s.key, GLFW_RELEASE);
  }
}

void PrintStats(const char* label, const std::vector<double>& ms) {
  std::printf("%-30s median %7.2f ms   p95 %7.2f ms   (%zu frames)\n", label, Percentile(ms, 0.5),
              Percentile(ms, 0.95), ms.size());
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
  if (frames < 10) frames = 10;

  auto play = std::make_unique<ScriptedPlay>();
  if (!StartScriptedPlay(*play, options)) return 1;
  std::printf("frame_bench: %u x %u, %ld frames, %s\n", options.width, options.height, frames,
              RendererName());

  // Warm-up: shader variants get compiled on first use by the software renderer.
  RunScriptedFrames(*play, 5);
  ScheduleRoute(*play, frames);
  const long routeStart = play->frameIndex;
  for (ScriptedKey& k : play->script) k.frame += routeStart;

  // The frames as the game runs them: no timers.
  std::vector<double> frameMs, frameCpuMs;
  for (long i = 0; i < frames; ++i) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    RunScriptedFrames(*play, 1);
    FinishRendering();
    frameMs.push_back(Ms(Clock::now() - start));
    frameCpuMs.push_back((ProcessCpuSeconds() - cpuStart) * 1000.0);
  }

  // Further frames (the canoe at rest where the route ended) with a timer query per pass.
  PassTimers timers;
  CreatePassTimers(timers);
  play->session.renderer.timers = &timers;
  const long splitFrames = std::max(10L, frames / 4);
  std::vector<double> gpuMs[kRenderPassCount];
  for (long i = 0; i < splitFrames; ++i) {
    RunScriptedFrames(*play, 1);
    CollectPassTimes(timers);
    for (int p = 0; p < kRenderPassCount; ++p) gpuMs[p].push_back(timers.gpuMs[p]);
  }

  // A shorter run with a glFinish after every pass: the wall-clock split per pass.
  timers.finishEachPass = true;
  std::vector<double> wallMs[kRenderPassCount], cpuMs[kRenderPassCount];
  for (long i = 0; i < splitFrames; ++i) {
    RunScriptedFrames(*play, 1);
    CollectPassTimes(timers);
    for (int p = 0; p < kRenderPassCount; ++p) {
      wallMs[p].push_back(timers.wallMs[p]);
      cpuMs[p].push_back(timers.cpuMs[p]);
    }
  }
  play->session.renderer.timers = nullptr;
  DeletePassTimers(timers);

  // The floor: clear and swap the same window, nothing else.
  std::vector<double> bareMs, bareCpuMs;
  for (long i = 0; i < frames; ++i) {
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    ClearWindowFramebuffer();
    glfwSwapBuffers(play->window);
    FinishRendering();
    bareMs.push_back(Ms(Clock::now() - start));
    bareCpuMs.push_back((ProcessCpuSeconds() - cpuStart) * 1000.0);
  }

  PrintStats("game frame, wall", frameMs);
  PrintStats("game frame, CPU (all threads)", frameCpuMs);
  PrintStats("bare clear + swap, wall", bareMs);
  PrintStats("bare clear + swap, CPU", bareCpuMs);
  std::printf("per pass, medians (ms; min = least CPU seen, the cost without other load):\n");
  std::printf("%-12s %10s %12s %12s %10s\n", "pass", "GL timer", "finish wall", "finish CPU",
              "CPU min");
  double gpuTotal = 0.0, wallTotal = 0.0, cpuTotal = 0.0, minTotal = 0.0;
  for (int p = 0; p < kRenderPassCount; ++p) {
    const double gpu = Percentile(gpuMs[p], 0.5);
    const double wall = Percentile(wallMs[p], 0.5);
    const double cpu = Percentile(cpuMs[p], 0.5);
    const double cpuMin = *std::min_element(cpuMs[p].begin(), cpuMs[p].end());
    gpuTotal += gpu;
    minTotal += cpuMin;
    wallTotal += wall;
    cpuTotal += cpu;
    std::printf("%-12s %10.2f %12.2f %12.2f %10.2f\n", RenderPassName(p), gpu, wall, cpu, cpuMin);
  }
  std::printf("%-12s %10.2f %12.2f %12.2f %10.2f\n", "sum", gpuTotal, wallTotal, cpuTotal,
              minTotal);
  std::printf("ducks collected on the route: %d\n", play->game.state.ducksCollected);

  EndScriptedPlay(*play);
  glfwTerminate();
  return 0;
}
