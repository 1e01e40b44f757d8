// scripted_play.cpp: the frame loop's hooks fed from a script instead of the window system.
#include "app/scripted_play.h"

#include <GLFW/glfw3.h>

#include <algorithm>

#include "app/frame_loop.h"
#include "app/input.h"
#include "app/replay_record.h"
#include "audio/game_audio.h"
#include "render/readback.h"
#include "scene/game_rules.h"

namespace {

void ApplyScript(void* user) {
  auto& play = *static_cast<ScriptedPlay*>(user);
  // Events of this frame, in the order they were scheduled; the rest stay pending. (A plain
  // loop and remove_if: the driver itself must not allocate in a frame.)
  auto due = [&play](const ScriptedKey& k) { return k.frame <= play.frameIndex; };
  for (const ScriptedKey& k : play.script) {
    if (due(k) && HandleKey(play.game, k.key, k.action)) play.closeRequested = true;
  }
  play.script.erase(std::remove_if(play.script.begin(), play.script.end(), due), play.script.end());
}

double ScriptedClock(void* user) {
  return static_cast<ScriptedPlay*>(user)->clock;
}

// What RenderFrame changes in the game, in its order: each of the three DrawScene calls
// (shadow, scene, reflection) tests every present duck after "drawing" it, then the HUD takes
// the game-over decision.
void ApplyRenderRules(Game& game) {
  for (int drawing = 0; drawing < 3; ++drawing) {
    for (int i = 0; i < DuckCount; ++i) {
      if (game.state.duckAlive[i]) CollectDuckIfTouched(game.state, game.world, i);
    }
  }
  BuildHudLines(game.state, game.input.showFrameTime, game.clock.deltaTime, game.screenWidth,
                game.screenHeight);
}

void Render(void* user) {
  auto& play = *static_cast<ScriptedPlay*>(user);
  if (play.options.draw) {
    RenderFrame(play.game, play.session.renderer);
  } else {
    ApplyRenderRules(play.game);
  }
}

void Swap(void* user) {
  auto& play = *static_cast<ScriptedPlay*>(user);
  if (play.options.swapBuffers && play.options.draw) glfwSwapBuffers(play.window);
}

}  // namespace

bool StartScriptedPlay(ScriptedPlay& play, const ScriptedPlayOptions& options) {
  play.options = options;
  play.clock = options.startSeconds;
  play.previousContext = glfwGetCurrentContext();
  play.game.screenWidth = options.width;
  play.game.screenHeight = options.height;
  MarkAllDucksPresent(play.game.state);

  WindowOptions windowOptions;
  windowOptions.visible = options.visible;
  windowOptions.installCallbacks = false;  // input comes from the script only
  play.window = OpenGameWindow(play.game, windowOptions);
  if (!play.window) return false;
  play.session.ownsWindow = false;  // destroyed here, leaving GLFW to whoever started it
  BuildSession(play.session, play.game, play.window);
  return true;
}

void EndScriptedPlay(ScriptedPlay& play) {
  if (!play.window) return;
  EndSession(play.session);
  glfwDestroyWindow(play.window);
  play.window = nullptr;
  if (play.previousContext) glfwMakeContextCurrent(play.previousContext);
}

void ScheduleKey(ScriptedPlay& play, long frame, int key, int action) {
  play.script.push_back(ScriptedKey{frame, key, action});
}

void TapKey(ScriptedPlay& play, int key) {
  ScheduleKey(play, play.frameIndex, key, GLFW_PRESS);
  ScheduleKey(play, play.frameIndex, key, GLFW_RELEASE);
}

void HoldKey(ScriptedPlay& play, int key, long frames) {
  ScheduleKey(play, play.frameIndex, key, GLFW_PRESS);
  ScheduleKey(play, play.frameIndex + frames, key, GLFW_RELEASE);
}

void RunScriptedFrames(ScriptedPlay& play, long count) {
  const FrameHooks scripted{&play, ApplyScript, ScriptedClock, Render, Swap};
  if (play.replay) play.replay->live = scripted;
  const FrameHooks hooks = play.replay ? ReplayFrameHooks(*play.replay) : scripted;
  for (long i = 0; i < count; ++i) {
    if (play.audio) SoundBeforeFrame(*play.audio, play.game);
    RunFrame(play.game, hooks);
    if (play.audio) SoundAfterFrame(*play.audio, play.game);
    if (play.replay) AfterReplayFrame(*play.replay);
    play.clock += play.options.frameSeconds;
    ++play.frameIndex;
  }
}

std::vector<unsigned char> ReadWindowPixels(const ScriptedPlay& play) {
  return ReadFramebufferColor(0, play.game.screenWidth, play.game.screenHeight);
}

std::vector<unsigned char> ReadTargetPixels(const ScriptedPlay& play, GLuint framebuffer) {
  return ReadFramebufferColor(framebuffer, play.game.screenWidth, play.game.screenHeight);
}

std::vector<float> ReadTargetDepth(const ScriptedPlay& play, GLuint framebuffer) {
  return ReadFramebufferDepth(framebuffer, play.game.screenWidth, play.game.screenHeight);
}

std::vector<float> ReadShadowMap(const ScriptedPlay& play) {
  return ReadFramebufferDepth(play.session.targets.shadowTarget, ShadowMapSize, ShadowMapSize);
}
