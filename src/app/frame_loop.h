// frame_loop.h: one pass of the frame loop, with the platform's parts (event polling, the
// clock, rendering, buffer swap) passed in so tests can drive it with a scripted clock.
#pragma once

#include "app/game.h"

struct FrameHooks {
  void* user = nullptr;
  void (*pollEvents)(void* user) = nullptr;  // runs the input handlers
  double (*now)(void* user) = nullptr;       // clock reading in seconds
  void (*render)(void* user) = nullptr;      // every render pass and the HUD
  void (*swapBuffers)(void* user) = nullptr;
};

// The clock step: deltaTime = now - lastFrame, except 0 while lastFrame is exactly 0.
void UpdateFrameClock(FrameClock& clock, float now);

// The nine steps of one frame, in order.
void RunFrame(Game& game, const FrameHooks& hooks);
