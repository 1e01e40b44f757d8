// scripted_play.h: the real frame sequence run in-process with a scripted clock and a scripted
// key table, so a test can say "hold W for 1.0 s at 50 fps, then read back the frame" and get
// the same answer on every run. The benchmark drives its route with it too.
//
// A ScriptedPlay opens its own window (hidden by default) with the whole start-up of the game,
// makes its context current for its lifetime and gives the previous context back at the end.
// It links to itself by address (the world's nodes, the callbacks' user pointer): create it
// with std::make_unique and never move it.
#pragma once

#include <vector>

#include "app/game.h"
#include "app/session.h"

struct GLFWwindow;
struct GameAudio;
struct ReplayHooks;

struct ScriptedPlayOptions {
  unsigned width = 640;
  unsigned height = 360;
  double frameSeconds = 0.02;  // the scripted clock advances this much every frame
  double startSeconds = 1.0;   // the clock's first reading (the first frame has deltaTime 0)
  bool visible = false;        // the benchmark shows its window; tests keep theirs hidden
  bool swapBuffers = false;    // tests read the back buffer after a frame, so they don't swap
  // False: the render step only does what drawing does to the game (the duck collection of
  // the three scene drawings and the HUD's game-over decision), without a GL call. Long runs
  // use it: a frame costs tens of milliseconds on a software renderer, however small the
  // window, because the shadow map is always 4096 x 4096. May change between frames.
  bool draw = true;
};

// A key event applied through the game's key handling in the poll step of a given frame.
struct ScriptedKey {
  long frame = 0;  // frame index (0 = the first frame run)
  int key = 0;     // GLFW key code
  int action = 0;  // GLFW_PRESS or GLFW_RELEASE
};

struct ScriptedPlay {
  Game game;
  Session session;
  ScriptedPlayOptions options;
  GLFWwindow* window = nullptr;
  GLFWwindow* previousContext = nullptr;
  double clock = 0.0;               // the next frame's clock reading
  long frameIndex = 0;              // frames run so far
  bool closeRequested = false;      // Escape was applied
  std::vector<ScriptedKey> script;  // pending events, any order
  GameAudio* audio = nullptr;       // when set, sound observes every frame as in the real loop
  ReplayHooks* replay = nullptr;    // when set, records the frames or plays a recording

  ScriptedPlay() = default;
  ScriptedPlay(const ScriptedPlay&) = delete;
  ScriptedPlay& operator=(const ScriptedPlay&) = delete;
};

// Settings, window, the whole start-up. False (with an "ERROR::" line printed) without a window.
bool StartScriptedPlay(ScriptedPlay& play, const ScriptedPlayOptions& options);
// Shutdown of the session; destroys the window and makes the previous context current again.
void EndScriptedPlay(ScriptedPlay& play);

void ScheduleKey(ScriptedPlay& play, long frame, int key, int action);
void TapKey(ScriptedPlay& play, int key);                // press and release in the next frame
void HoldKey(ScriptedPlay& play, int key, long frames);  // held from the next frame for n frames

// Runs `count` frames of the real frame loop (countdown, input, clock, animation, render).
void RunScriptedFrames(ScriptedPlay& play, long count);

// Pixels of the last frame, RGBA, rows bottom-up. The window's come from its back buffer, so
// read them before a swap (tests run with swapBuffers false).
std::vector<unsigned char> ReadWindowPixels(const ScriptedPlay& play);
std::vector<unsigned char> ReadTargetPixels(const ScriptedPlay& play, GLuint framebuffer);
std::vector<float> ReadTargetDepth(const ScriptedPlay& play, GLuint framebuffer);  // W x H
std::vector<float> ReadShadowMap(const ScriptedPlay& play);  // ShadowMapSize^2 depth values
