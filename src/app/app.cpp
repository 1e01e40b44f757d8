// app.cpp: the program: settings, start-up, the frame loop until the window closes, shutdown.
#include "app/app.h"

#include <GLFW/glfw3.h>

#include <iterator>

#include "app/desktop_pads.h"
#include "app/mute_key.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/thread_budget.h"
#include "audio/game_audio.h"
#include "gfx/shader_trial_compile.h"

int RunVelloran() {
  FitRendererToProcessLimit();
  // First, while the process has one thread: worker processes start decoding every model and
  // image and trying the font, so a hostile file cannot take the game down. The window,
  // context and shaders are made meanwhile; each loader waits only for its own file. When no
  // process can be had for it, nothing is installed and every loader refuses its file.
  static FileTrial trial;
  if (StartFileTrial(trial, StartupFiles())) InstallFileTrial(&trial);
  // The shader files are read now, once, and every pair is compiled first in a process with a
  // GL context of its own; each shader waits only for its own pair's verdict.
  static ShaderTrial shaderTrial;
  StartShaderTrial(shaderTrial, {std::begin(kShaderPairs), std::end(kShaderPairs)},
                   GameShaderTrialDriver());
  InstallShaderTrial(&shaderTrial);

  // The game's state must outlive every callback and is large (nodes, key table): static.
  static Game game;

  // 1. Settings; the size is copied (signed to unsigned) before the window exists.
  const Settings settings("settings.conf");
  game.screenWidth = static_cast<unsigned>(settings.width);
  game.screenHeight = static_cast<unsigned>(settings.height);
  // 2. Every duck starts on the water.
  MarkAllDucksPresent(game.state);

  // 3-9. Window, context, callbacks, captured cursor, GL entry points.
  WindowOptions options;
  options.fullscreen = settings.fullscreen;
  GLFWwindow* window = OpenGameWindow(game, options);
  if (!window) return 1;

  // 10-22. Everything else start-up builds.
  static Session session;
  session.ownsWindow = true;
  BuildSession(session, game, window);
  // Gamepads: the player's own mappings first, then every frame reads the pads.
  LoadPadMappings(kPadMappingFile);
  session.readPads = ReadDesktopPads;
  // Sound: its files decode through the trial, which is still installed; the sound device (and
  // its mixing thread) comes after every worker process has been started.
  static GameAudio audio;
  StartAudio(audio.output);
  InstallMuteKey(window, &audio);

  // Everything is loaded: the decoded bytes now live in GL objects.
  FinishFileTrial(trial);
  InstallFileTrial(nullptr);
  trial.records.clear();
  FinishShaderTrial(shaderTrial);
  InstallShaderTrial(nullptr);

  // 23. The frame loop; it ends after the pass in which the window was asked to close.
  // Sound watches each frame from outside it: the state before, the frame, the state after.
  while (!glfwWindowShouldClose(window)) {
    SoundBeforeFrame(audio, game);
    RunSessionFrame(session);
    SoundAfterFrame(audio, game);
  }

  StopAudio(audio.output);
  EndSession(session);
  return 0;
}
