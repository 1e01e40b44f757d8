// replay_window.cpp: the playback loop: the recorded frames paced by their own clock readings
// at the chosen speed, the window's keys steering playback instead of the game.
#include "app/replay_window.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "app/replay_record.h"
#include "app/session.h"
#include "audio/game_audio.h"
#include "scene/game_keys.h"

namespace {

constexpr float kSpeeds[] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f, 8.0f};
constexpr int kNormalSpeed = 2;

struct Controls {
  bool paused = false;
  int speed = kNormalSpeed;
  bool changed = true;  // the title is out of date
};

Controls controls;  // the one playback's keys

void OnReplayKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/) {
  if (action != kKeyPress) return;
  if (key == kKeyEscape) glfwSetWindowShouldClose(window, GLFW_TRUE);
  if (key == kKeySpace) controls.paused = !controls.paused;
  if (key == kKeyUp) controls.speed = std::min(controls.speed + 1, 5);
  if (key == kKeyDown) controls.speed = std::max(controls.speed - 1, 0);
  controls.changed = true;
}

void ShowControls(GLFWwindow* window, const char* state) {
  char title[128];
  std::snprintf(title, sizeof title,
                "Velloran replay x%g %s - Space: pause, Up: faster, Down: slower, Escape: close",
                kSpeeds[controls.speed], state);
  glfwSetWindowTitle(window, title);
  controls.changed = false;
}

// The live poll step's stand-in during playback: the window's events reach only the controls.
void PollControls(void*) {
  glfwPollEvents();
}

}  // namespace

int WatchReplay(Session& session, GameAudio& audio, const Replay& replay) {
  Game& game = *session.game;
  GLFWwindow* window = session.window;
  glfwSetKeyCallback(window, OnReplayKey);
  glfwSetCursorPosCallback(window, nullptr);
  glfwSetScrollCallback(window, nullptr);
  glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
  controls = Controls{};

  static ReplayHooks hooks;
  hooks = ReplayHooks{};
  hooks.live = SessionFrameHooks(session);
  hooks.game = &game;
  hooks.playback = &replay;
  hooks.pollControls = PollControls;
  const FrameHooks frameHooks = ReplayFrameHooks(hooks);

  double position = replay.clock.front();  // where playback stands on the recorded clock
  double wall = glfwGetTime();
  bool said = false;
  while (!glfwWindowShouldClose(window)) {
    const double now = glfwGetTime();
    const bool running = !controls.paused && !ReplayFinished(hooks) && !hooks.diverged;
    if (running) position += (now - wall) * kSpeeds[controls.speed];
    wall = now;
    if (controls.changed) {
      ShowControls(window, hooks.diverged          ? "(stopped)"
                           : ReplayFinished(hooks) ? "(the end)"
                           : controls.paused       ? "(paused)"
                                                   : "");
    }
    if (running && replay.clock[hooks.cursor.frame] <= position) {
      SoundBeforeFrame(audio, game);
      RunFrame(game, frameHooks);
      SoundAfterFrame(audio, game);
      if (!AfterReplayFrame(hooks)) {
        const float second = replay.clock[hooks.cursor.frame - 1] - replay.clock.front();
        std::cerr << "Replay: the game diverged from the recording at " << static_cast<int>(second)
                  << " s (this build plays it differently)" << std::endl;
        controls.changed = true;
      }
      continue;
    }
    if (ReplayFinished(hooks) && !said) {
      std::cerr << "Replay: the end, " << game.state.ducksCollected << " of " << DuckCount
                << " ducks" << std::endl;
      said = true;
      controls.changed = true;
    }
    const double wait =
        running ? (replay.clock[hooks.cursor.frame] - position) / kSpeeds[controls.speed] : 0.1;
    glfwWaitEventsTimeout(std::clamp(wait, 0.001, 0.1));
  }
  return hooks.diverged ? 1 : 0;
}
