// frame_loop.cpp: the fixed order of one frame. The countdown and the keyboard step use the
// previous frame's deltaTime (the clock is read only at step 4); everything after uses the new.
#include "app/frame_loop.h"

#include "scene/canoe.h"
#include "scene/game_rules.h"

void UpdateFrameClock(FrameClock& clock, float now) {
  clock.currentFrame = now;
  // Only the very first pass sees lastFrame 0, so the first frame moves nothing.
  clock.deltaTime = clock.lastFrame == 0.0f ? 0.0f : clock.currentFrame - clock.lastFrame;
  clock.lastFrame = clock.currentFrame;
}

void RunFrame(Game& game, const FrameHooks& hooks) {
  CountdownStep(game.state, game.clock.deltaTime);     // 1
  if (hooks.pollEvents) hooks.pollEvents(hooks.user);  // 2
  if (!game.state.gameOver) {                          // 3
    ProcessCanoeInput(game.world, game.camera, game.input.keyState, game.clock.deltaTime);
  }
  UpdateFrameClock(game.clock, static_cast<float>(hooks.now(hooks.user)));  // 4
  const float dt = game.clock.deltaTime;
  PaddleStep(game.state, game.world.armsNode, dt);                     // 5
  if (game.world.canoeNode.rising) game.world.canoeNode.RiseStep(dt);  // 6
  if (game.world.canoeNode.falling) CanoeFallStep(game.world, dt);     // 7
  if (hooks.render) hooks.render(hooks.user);                          // 8
  if (hooks.swapBuffers) hooks.swapBuffers(hooks.user);                // 9
}
