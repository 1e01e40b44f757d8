// app.cpp: the program: settings, start-up, the frame loop until the window closes, shutdown.
#include "app/app.h"

#include <GLFW/glfw3.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>

#include "app/controls.h"
#include "app/desktop_keys.h"
#include "app/desktop_pads.h"
#include "app/mute_key.h"
#include "app/replay_record.h"
#include "app/replay_store.h"
#include "app/replay_window.h"
#include "app/run_files.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/thread_budget.h"
#include "audio/game_audio.h"
#include "gfx/shader_trial_compile.h"
#include "trial/game_confinement.h"

namespace {

// The file named by `--replay FILE`, or null when the game is played. Any other argument is
// ignored, as it always was.
const char* ReplayArgument(int argc, char** argv, bool& missing) {
  missing = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--replay") != 0) continue;
    if (i + 1 < argc) return argv[i + 1];
    missing = true;
  }
  return nullptr;
}

// Keeps the recording once; a game that cannot keep it says so and plays on.
void KeepRecording(ReplayRecorder& recorder, bool& kept) {
  if (kept) return;
  kept = true;
  std::string path, why;
  if (!KeepReplay(recorder.replay, ReplayFolder(), path, why)) {
    std::cerr << "Replay not kept: " << why << std::endl;
  } else if (recorder.full) {
    std::cerr << "Replay kept in " << path << " up to its limit of " << kReplayMaxFrames
              << " frames" << std::endl;
  }
}

}  // namespace

int RunVelloran(int argc, char** argv) {
  // A replay to watch is read and checked before anything starts, so a file that is not one
  // costs one line and nothing else; and before the game confines itself, so the player may
  // name a replay anywhere.
  bool replayMissing = false;
  const char* replayPath = ReplayArgument(argc, argv, replayMissing);
  static Replay replay;
  if (replayMissing) {
    std::cerr << "Replay: --replay needs a file" << std::endl;
    return 1;
  }
  std::string why;
  if (replayPath && !ReadReplayFile(replayPath, replay, why)) {
    std::cerr << "Replay " << replayPath << " not played: " << why << std::endl;
    return 1;
  }

  // Then, while the process has one thread: the game gives up the files and network it never
  // needs, for itself and every thread and process it starts later. The drivers' shader caches
  // stay off: a game taken over by a shader must not leave compiled code behind for the next
  // start (the rules would refuse the cache's folder anyway).
  setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  setenv("__GL_SHADER_DISK_CACHE", "0", 1);
  ConfineGameFiles(CurrentGameFolders());
  // Before any thread or process starts: a low process limit must not leave the software
  // renderer waiting for threads it cannot have.
  FitRendererToProcessLimit();
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
  const Settings settings(RunFilePath("settings.conf"));
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
  LoadPadMappings(RunFilePath(kPadMappingFile));
  session.readPads = ReadDesktopPads;
  // Sound: its files decode through the trial, which is still installed.
  StartAudio(audio.output);
  InstallMuteKey(window, &audio);
  // The player's keys, in front of every other key callback.
  static Controls controls;
  const OptionsFile optionsFile = LoadOptions(OptionsFolder());
  const PlayerOptions& player = optionsFile.options;
  controls.bindings = optionsFile.bindings;
  SetVolumes(audio.output, VolumeGain(player.volume), VolumeGain(player.effectsVolume),
             VolumeGain(player.ambienceVolume));
  game.hudLook = HudLook{player.hudScale, player.hudOutline};
  controls.labels.label = DesktopKeyLabel;
  InstallControls(window, game, controls);

  // Everything is loaded: the decoded bytes now live in GL objects.
  FinishFileTrial(trial);
  InstallFileTrial(nullptr);
  trial.records.clear();
  FinishShaderTrial(shaderTrial);
  InstallShaderTrial(nullptr);

  if (replayPath) {
    // Another build may place the ducks elsewhere; then nothing in the recording would match.
    int status = 1;
    if (replay.duckLayout != DuckLayoutHash(game.world)) {
      std::cerr << "Replay " << replayPath << " not played: its ducks were placed by another "
                << "build (" << replay.build << ")" << std::endl;
    } else {
      status = WatchReplay(session, audio, replay);
    }
    StopAudio(audio.output);
    EndSession(session);
    return status;
  }

  // 23. The frame loop; it ends after the pass in which the window was asked to close.
  // Sound and the recording watch each frame from outside it: the state before, the frame
  // (the recording also around its poll step), the state after.
  static ReplayRecorder recorder;
  StartRecording(recorder, game, VELLORAN_VERSION);
  static ReplayHooks replayHooks;
  replayHooks.live = SessionFrameHooks(session);
  replayHooks.game = &game;
  replayHooks.recorder = &recorder;
  const FrameHooks frameHooks = ReplayFrameHooks(replayHooks);
  bool kept = false;
  while (!glfwWindowShouldClose(window)) {
    SoundBeforeFrame(audio, game);
    RunFrame(game, frameHooks);
    SoundAfterFrame(audio, game);
    AfterReplayFrame(replayHooks);
    if (!recorder.recording) KeepRecording(recorder, kept);
  }
  KeepRecording(recorder, kept);

  StopAudio(audio.output);
  EndSession(session);
  return 0;
}
