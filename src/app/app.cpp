// app.cpp: the program: settings, start-up, the frame loop until the window closes, shutdown.
#include "app/app.h"

#include <GLFW/glfw3.h>

#include <cstdlib>
#include <iostream>
#include <iterator>

#include "app/desktop_pads.h"
#include "app/mute_key.h"
#include "app/session.h"
#include "app/settings.h"
#include "audio/game_audio.h"
#include "gfx/shader_trial_compile.h"
#include "trial/game_confinement.h"

int RunVelloran() {
  // The very first thing, while the process has one thread: the game gives up the files and
  // network it never needs, for itself and every thread and process it starts later. The
  // drivers' shader caches stay off: a game taken over by a shader must not leave compiled
  // code behind for the next start (the rules would refuse the cache's folder anyway).
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  setenv("__GL_SHADER_DISK_CACHE", "0", 1);
  ConfineGameFiles(CurrentGameFolders());

  // Then, still with one thread: worker processes start decoding every model and image and
  // trying the font, so a hostile file cannot take the game down. The window,
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

  // The display's connection comes before the window, so that abstract unix sockets (through
  // which the X library reaches a local display) can be closed while the process still has
  // one thread. Should this fail, OpenGameWindow tries again and says why.
  if (glfwInit()) ScopeGameSockets();
  // 3-9. Window, context, callbacks, captured cursor, GL entry points.
  WindowOptions options;
  options.fullscreen = settings.fullscreen;
  GLFWwindow* window = OpenGameWindow(game, options);
  if (!window) return 1;
  // The sound device is opened before any shader is compiled here: from the first compile on,
  // no new socket can be made, and the sound server is reached through one. The brokers and
  // their workers were forked before the filter and keep their own rules.
  static GameAudio audio;
  OpenAudioDevice(audio.output);
  if (!RefuseGameSyscalls()) {
    std::cerr << "velloran: the game's system-call filter could not be installed" << std::endl;
  }

  // 10-22. Everything else start-up builds.
  static Session session;
  session.ownsWindow = true;
  BuildSession(session, game, window);
  // Gamepads: the player's own mappings first, then every frame reads the pads.
  LoadPadMappings(kPadMappingFile);
  session.readPads = ReadDesktopPads;
  // Sound: its files decode through the trial, which is still installed.
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
