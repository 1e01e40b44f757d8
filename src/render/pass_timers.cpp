// pass_timers.cpp: GL timer queries around each render pass.
#include "render/pass_timers.h"

#include <chrono>
#include <ctime>

namespace {

double WallSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

}  // namespace

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1.0e-9;
}

const char* RenderPassName(int pass) {
  static const char* const names[kRenderPassCount] = {
      "shadow", "scene", "water mask", "reflection", "composite", "present", "hud"};
  return pass >= 0 && pass < kRenderPassCount ? names[pass] : "?";
}

void CreatePassTimers(PassTimers& timers) {
  glGenQueries(kRenderPassCount, timers.queries);
}

void DeletePassTimers(PassTimers& timers) {
  glDeleteQueries(kRenderPassCount, timers.queries);
  for (GLuint& q : timers.queries) q = 0;
}

void BeginPass(PassTimers* timers, int pass) {
  if (!timers) return;
  if (timers->finishEachPass) {
    glFinish();
    timers->startSeconds = WallSeconds();
    timers->startCpuSeconds = ProcessCpuSeconds();
  }
  glBeginQuery(GL_TIME_ELAPSED, timers->queries[pass]);
}

void EndPass(PassTimers* timers, int pass) {
  if (!timers) return;
  glEndQuery(GL_TIME_ELAPSED);
  if (timers->finishEachPass) {
    glFinish();
    timers->wallMs[pass] = (WallSeconds() - timers->startSeconds) * 1000.0;
    timers->cpuMs[pass] = (ProcessCpuSeconds() - timers->startCpuSeconds) * 1000.0;
  }
}

void CollectPassTimes(PassTimers& timers) {
  for (int pass = 0; pass < kRenderPassCount; ++pass) {
    GLuint64 ns = 0;
    glGetQueryObjectui64v(timers.queries[pass], GL_QUERY_RESULT, &ns);
    timers.gpuMs[pass] = static_cast<double>(ns) / 1.0e6;
  }
}

const char* RendererName() {
  return reinterpret_cast<const char*>(glGetString(GL_RENDERER));
}

void FinishRendering() {
  glFinish();
}

void ClearWindowFramebuffer() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
