// pass_timers.h: optional per-pass timing for the frame benchmark. The game itself runs without
// timers (Renderer::timers stays null), so none of this costs it anything.
//
// Each pass is bracketed by a GL_TIME_ELAPSED query. A software renderer only does a pass's
// work when its target is flushed, so with `finishEachPass` the timers also call glFinish after
// every pass and record the wall-clock time (the honest split there) and the process's CPU
// time over all renderer threads (which other load on a shared machine barely disturbs).
#pragma once

#include "gfx/gl.h"

enum RenderPass {
  kShadowPass,
  kScenePass,
  kWaterMaskPass,
  kReflectionPass,
  kCompositePass,
  kPresentPass,
  kHudPass,
  kRenderPassCount
};

const char* RenderPassName(int pass);

struct PassTimers {
  GLuint queries[kRenderPassCount] = {};
  bool finishEachPass = false;
  double startSeconds = 0.0;             // wall clock at BeginPass (finish mode)
  double startCpuSeconds = 0.0;          // process CPU time at BeginPass (finish mode)
  double gpuMs[kRenderPassCount] = {};   // last frame, from the queries
  double wallMs[kRenderPassCount] = {};  // last frame, finish mode only
  double cpuMs[kRenderPassCount] = {};   // last frame, finish mode only
};

void CreatePassTimers(PassTimers& timers);
void DeletePassTimers(PassTimers& timers);
void BeginPass(PassTimers* timers, int pass);  // null timers: nothing happens
void EndPass(PassTimers* timers, int pass);
void CollectPassTimes(PassTimers& timers);  // after the frame: waits for the query results
double ProcessCpuSeconds();                 // CPU time of every thread of this process

// The benchmark's other GL needs: the renderer's name, waiting for all queued work, and the
// bare clear of the window that measures the floor of a frame.
const char* RendererName();
void FinishRendering();
void ClearWindowFramebuffer();
