// web_main.cpp: the browser's entry, in place of src/app/app.cpp. The same start-up, the same
// frame, the same shutdown; what differs is where they run from. The browser owns the loop, so
// each animation frame runs one pass of the game's frame; the canvas is the window; the data
// comes from the bundle the page loaded before main (see bundle_trial.cpp). Escape ends the
// game as on the desktop, and the page then says so.
//
// The page around the game: the drawing size is the browser window's in device pixels at
// start (capped), and the page scales the canvas to fit later resizes, so the window-sized
// render targets are made once, as on the desktop. The first picture is drawn under the page's
// start card and the game then waits: its clock starts at the player's gesture, and stands
// still while the page is hidden, so no frame after a pause is longer than a normal one.
//
// The page's address may carry options, for players on slow machines and for the tests:
//   width, height  a fixed drawing size instead of the window's
//   clock=S        a scripted clock that advances S seconds each frame, whatever the real time
//   hold           frames run only when granted (velloran_run_frames), so a test can stop the
//                  picture at a chosen frame; the last granted frame is kept for reading back
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// clang-format off
#include "gfx/gl.h"  // the GL header before GLFW's
#include <GLFW/glfw3.h>
// clang-format on

#include "app/controls.h"
#include "app/frame_loop.h"
#include "app/input.h"
#include "app/mute_key.h"
#include "app/replay_format.h"
#include "app/session.h"
#include "app/settings.h"
#include "audio/game_audio.h"
#include "input/key_names.h"
#include "render/readback.h"
#include "scene/game_rules.h"
#include "web_gamepad.h"
#include "web_replay.h"
#include "web_touch.h"

namespace {

Game game;
Session session;
Controls controls;
std::map<int, std::string> keyLabels;  // what the player's layout prints, as the page learnt it
FileTrial bundle;                      // the baked records, read on demand
GameAudio audio;

struct PageOptions {
  int width = 0;  // 0: settings.conf's
  int height = 0;
  double clockStep = 0.0;  // 0: the real clock
  bool hold = false;
};
PageOptions options;
double scriptedClock = 1.0;  // the next reading of the scripted clock, as the desktop tests start
long framesGranted = 0;      // hold mode: frames the test still wants
long framesRun = 0;
std::vector<unsigned char> heldPicture;  // hold mode: the last granted frame, RGBA, bottom-up

// The largest drawing buffer the window's size may ask for: every window-sized render target
// is this big, and a 4K window at full resolution would cost a phone or laptop GPU its frame
// rate. 2560 x 1440 keeps a 1280 x 720 window crisp at a device pixel ratio of 2.
constexpr double kMaxDrawingPixels = 2560.0 * 1440.0;
constexpr double kMaxDrawingSide = 4096.0;  // and no side longer: a window's odd shape

// Whether the game runs: the first picture is drawn at once, the rest wait for the start
// gesture and stop while the page is hidden. The clock the game reads leaves out the time spent
// waiting, so the first frame after a wait is as long as a normal one.
struct PageClock {
  bool started = false;    // the player's gesture came
  bool visible = true;     // the page is shown
  double offset = 0.0;     // seconds of waiting taken out of the real clock
  double pausedAt = -1.0;  // the real clock when the current wait began; < 0 while running
};
PageClock page;
bool endReported = false;  // the page has been told the game is over
bool closed = false;       // the game has ended its loop: keys reach nothing

// clang-format off
EM_JS(double, PageNumber, (const char* name), {
  var value = new URLSearchParams(location.search).get(UTF8ToString(name));
  return value === null ? -1 : (Number(value) || 0);
});

// What this browser lacks, said once on the page (and in the console) at start.
EM_JS(void, ReportMissingFeatures, (), {
  var missing = [];
  if (GLctx.getSupportedExtensions().indexOf('WEBGL_polygon_mode') < 0) missing.push('wireframe (F3)');
  var note = missing.length ? 'Not in this browser: ' + missing.join(', ') + '.' : "";
  if (note) console.info(note);
  if (Module.velloranNote) Module.velloranNote(note);
});

// Emscripten's GLFW hands scroll callbacks the page's raw delta (pixels, downward positive),
// which would zoom a hundred times too far and the wrong way. The game wants wheel steps,
// upward positive, at least one an event, as desktop GLFW counts them: counted here, in a
// listener that runs before GLFW's, and taken by the scroll callback.
EM_JS(void, CountWheelSteps, (), {
  Module.velloranWheelSteps = 0;
  window.addEventListener('wheel', function(event) {
    var steps = -Browser.getMouseWheelDelta(event);
    Module.velloranWheelSteps += steps > 0 ? Math.max(steps, 1) : (steps < 0 ? Math.min(steps, -1) : 0);
  }, true);
});

EM_JS(double, TakeWheelSteps, (), {
  var steps = Module.velloranWheelSteps;
  Module.velloranWheelSteps = 0;
  return steps;
});

// Browsers let a page make sound only after the player has done something: the first click,
// tap or key resumes the sound device's AudioContext (Emscripten's own listeners miss a tap).
EM_JS(void, ResumeSoundOnGesture, (), {
  var resume = function() {
    if (typeof AL === 'undefined' || !AL.contexts) return;
    for (var id in AL.contexts) {
      var context = AL.contexts[id];
      if (context && context.audioCtx && context.audioCtx.state === 'suspended') context.audioCtx.resume();
    }
  };
  ['click', 'touchend', 'keydown', 'pointerdown'].forEach(function(name) {
    window.addEventListener(name, resume, true);
  });
});

// The end of the game for the page's line: how (0 time or ducks ran out, 1 Escape), the
// ducks collected and the whole seconds left.
EM_JS(void, TellPageEnded, (int how, int ducks, int seconds), {
  if (Module.velloranEnded) Module.velloranEnded(how ? 'escape' : 'over', ducks, seconds);
});

// The window's size in device pixels, the drawing size a crisp picture needs.
EM_JS(void, WindowDevicePixels, (int* width, int* height), {
  var ratio = window.devicePixelRatio || 1;
  HEAP32[width >> 2] = Math.round(window.innerWidth * ratio);
  HEAP32[height >> 2] = Math.round(window.innerHeight * ratio);
});

// The recording has ended (3 s after the end, or at Escape): the page offers it; `watchable`
// when the game can still play it here.
EM_JS(void, TellPageRecorded, (int watchable), {
  if (Module.velloranRecorded) Module.velloranRecorded(watchable);
});

// The canvas has its size and the first picture is drawn: the page fits it and offers start.
EM_JS(void, TellPageReady, (), {
  if (Module.velloranReady) Module.velloranReady();
});
// clang-format on

std::string PageKeyLabel(void*, int key) {
  const auto found = keyLabels.find(key);
  return found == keyLabels.end() ? std::string() : found->second;
}

void OnScroll(GLFWwindow*, double, double) {
  HandleScroll(game, 0.0, TakeWheelSteps());
}

void PollEvents(void*) {
  PageBeforeLivePoll(game);
  glfwPollEvents();
  ReadWebPads(session);
}
double ReadClock(void*) {
  return options.clockStep > 0.0 ? scriptedClock : glfwGetTime() - page.offset;
}

bool Running() {
  return page.started && page.visible;
}
// Starts or ends a wait according to the page's state.
void UpdateWait() {
  if (!Running() && page.pausedAt < 0.0) page.pausedAt = glfwGetTime();
  // The hall's water waits with the game instead of lapping on in a hidden tab, and falls
  // quiet once the game is over (the picture goes on under the ending card).
  PauseAmbience(audio.output, !Running() || endReported);
  if (Running() && page.pausedAt >= 0.0) {
    page.offset += glfwGetTime() - page.pausedAt;
    page.pausedAt = -1.0;
  }
}

// The drawing size: the address's, else the window's device pixels scaled down to the cap,
// else settings.conf's (a window with no size yet, in a hidden frame).
void ChooseDrawingSize(const Settings& settings) {
  int width = options.width, height = options.height;
  if (width <= 0 || height <= 0) {
    WindowDevicePixels(&width, &height);
    const double pixels = static_cast<double>(width) * height;
    const double shrink =
        std::min({1.0, std::sqrt(kMaxDrawingPixels / std::max(pixels, 1.0)),
                  kMaxDrawingSide / std::max(width, 1), kMaxDrawingSide / std::max(height, 1)});
    width = static_cast<int>(width * shrink);
    height = static_cast<int>(height * shrink);
  }
  if (width <= 0 || height <= 0) {
    width = settings.width;
    height = settings.height;
  }
  game.screenWidth = static_cast<unsigned>(width);
  game.screenHeight = static_cast<unsigned>(height);
}
void Render(void*) {
  RenderFrame(game, session.renderer);
  // Read before the browser presents the frame; afterwards the drawing buffer is gone.
  if (options.hold && framesGranted == 1) {
    heldPicture = ReadFramebufferColor(0, game.screenWidth, game.screenHeight);
  }
}

// A replay plays in place of the game, paced by the page's clock (or the scripted one).
void WatchFrame() {
  const FrameHooks live{nullptr, nullptr, nullptr, Render, nullptr};
  WatchStep(game, audio, live, options.clockStep > 0.0 ? scriptedClock : glfwGetTime());
}

void AnimationFrame() {
  if (framesRun > 0 && !Running() && !(Watching() && page.visible)) return;
  if (options.hold && framesGranted <= 0) return;
  if (Watching()) {
    WatchFrame();
  } else {
    const FrameHooks hooks = PageRecordingHooks({nullptr, PollEvents, ReadClock, Render, nullptr});
    SoundBeforeFrame(audio, game);
    RunFrame(game, hooks);
    SoundAfterFrame(audio, game);
    if (AfterPageFrame()) TellPageRecorded(1);
  }
  scriptedClock += options.clockStep;
  --framesGranted;
  ++framesRun;
  const int ducks = game.state.ducksCollected, seconds = game.state.secondsShown;
  if (glfwWindowShouldClose(session.window)) {
    emscripten_cancel_main_loop();
    closed = true;
    // The canvas and its last picture stay on the page, so GLFW is not ended (that would
    // take the canvas's size and with it the picture).
    session.ownsWindow = false;
    // Closing Emscripten's OpenAL (3.1.6) while the page lives on raised a script error in it;
    // the ended page only needs quiet.
    SilenceAudio(audio.output);
    EndSession(session);
    TellPageEnded(1, ducks, seconds);
    EndPageRecording();
    TellPageRecorded(0);
  } else if (game.state.gameOver && !endReported && !Watching()) {
    endReported = true;
    UpdateWait();
    TellPageEnded(0, ducks, seconds);
  }
  if (framesRun == 1) {
    UpdateWait();
    TellPageReady();
  }
}

}  // namespace

// The page's script tells the game about the player and the page.
extern "C" {
// The start card's gesture: the game's time begins now.
EMSCRIPTEN_KEEPALIVE void velloran_start() {
  page.started = true;
  game.input.firstMouse = true;
  UpdateWait();
}
EMSCRIPTEN_KEEPALIVE void velloran_page_visible(int visible) {
  page.visible = visible != 0;
  UpdateWait();
}
// The pointer was captured or let go: the cursor's next position is measured in another frame
// of reference (movement while captured, the page's position otherwise), so it only primes the
// look instead of swinging the camera by the difference.
EMSCRIPTEN_KEEPALIVE void velloran_rearm_mouse() {
  game.input.firstMouse = true;
}
// A key event from the page, by the key's place (KeyboardEvent.code): event 1 press, 2
// repeat, 0 release. The page sends every key itself, as desktop GLFW would name its place,
// because this GLFW reads the layout's keyCode and W would move with the layout.
EMSCRIPTEN_KEEPALIVE void velloran_key(const char* code, int event) {
  const int key = code && !closed ? KeyFromDomCode(code) : -1;
  if (key >= 0 && Watching()) {
    if (event == 1) WatchKey(key);
  } else if (key >= 0) {
    FeedKey(key, event);
  }
}
// The page lost the focus or was hidden: every key and control held is let go.
EMSCRIPTEN_KEEPALIVE void velloran_release_keys() {
  ReleaseControls();
}
// What the player's layout prints on the key at `code`, for the help panel.
EMSCRIPTEN_KEEPALIVE void velloran_key_label(const char* code, const char* label) {
  const int key = code && label ? KeyFromDomCode(code) : -1;
  if (key < 0 || keyLabels[key] == label) return;
  keyLabels[key] = label;
  RelabelKeys();
}
// The player's bindings, in options.conf's words (the page keeps them in localStorage);
// returns the notes on lines it could not use, one a line.
EMSCRIPTEN_KEEPALIVE const char* velloran_set_bindings(const char* text) {
  static std::string notes;
  std::vector<std::string> lines;
  ChangeBindings(ReadBindings(text ? text : "", "controls", lines));
  notes.clear();
  for (const std::string& line : lines) notes += line + "\n";
  return notes.c_str();
}
// The player's options (volumes, HUD size and outline) in options.conf's words, applied at
// once; returns the notes on lines it could not use, one a line.
EMSCRIPTEN_KEEPALIVE const char* velloran_set_options(const char* text) {
  static std::string notes;
  std::vector<std::string> lines;
  const PlayerOptions options = ReadOptionsFile(text ? text : "", "settings", lines).options;
  SetVolumes(audio.output, VolumeGain(options.volume), VolumeGain(options.effectsVolume),
             VolumeGain(options.ambienceVolume));
  game.hudLook = HudLook{options.hudScale, options.hudOutline};
  notes.clear();
  for (const std::string& line : lines) notes += line + "\n";
  return notes.c_str();
}
// The bindings for the page's card: a line per action, "name<TAB>description<TAB>key names"
// with the names comma-separated; then a line per nameable key, "=US name<TAB>code".
EMSCRIPTEN_KEEPALIVE const char* velloran_bindings() {
  static std::string text;
  text.clear();
  for (const ActionInfo& info : kActions) {
    text += std::string(info.name) + "\t" + info.description + "\t";
    const std::vector<int> keys = KeysOf(CurrentBindings(), info.action);
    for (std::size_t i = 0; i < keys.size(); ++i)
      text += (i ? "," : "") + std::string(NameOfKey(keys[i]));
    text += "\n";
  }
  for (const KeyName& row : kKeyNames)
    text += std::string("=") + row.name + "\t" + row.domCode + "\n";
  return text.c_str();
}
}

// Replays: the recording's file form out, a file's bytes in (the page copies them into the
// room it asked for), and playback in place of the game.
namespace {
std::string replayRoom;  // a file's bytes, on their way in
}
extern "C" {
EMSCRIPTEN_KEEPALIVE const char* velloran_replay_bytes() {
  return PageRecordingBytes().data();
}
EMSCRIPTEN_KEEPALIVE int velloran_replay_length() {
  return static_cast<int>(PageRecordingBytes().size());
}
// Room for a file of `length` bytes; a longer file than any replay is cut one byte past the
// longest, which the decoder then refuses for its length.
EMSCRIPTEN_KEEPALIVE char* velloran_replay_room(double length) {
  replayRoom.assign(static_cast<size_t>(std::clamp<double>(length, 0, kReplayMaxBytes + 1)), '\0');
  return replayRoom.data();
}
EMSCRIPTEN_KEEPALIVE int velloran_replay_room_length() {
  return static_cast<int>(replayRoom.size());
}
// Plays the file in the room (0), the game just recorded (1) or the last replay played again
// (2); returns why it cannot, or "".
EMSCRIPTEN_KEEPALIVE const char* velloran_watch(int which) {
  static std::string why;
  if (closed) {
    why = "the game has ended; reload the page";
  } else {
    why = which == 1   ? WatchPageRecording(game)
          : which == 2 ? WatchAgain(game)
                       : WatchReplayBytes(game, replayRoom);
  }
  replayRoom = std::string();
  if (why.empty()) {
    glfwSetCursorPosCallback(session.window, nullptr);
    glfwSetScrollCallback(session.window, nullptr);
    page.started = true;
    UpdateWait();
  }
  return why.c_str();
}
}

// Test hooks, called from the page's script.
extern "C" {
// The game's state the page's tests read, by name, as one JSON object (every number exact):
// the clock, the canoe's place, heading (degrees) and jump height so far, the view, the drawing.
EMSCRIPTEN_KEEPALIVE const char* velloran_state() {
  static char text[512];
  const glm::mat4& m = game.world.canoeNode.transform;
  const double heading = std::atan2(-static_cast<double>(m[0][2]), static_cast<double>(m[0][0]));
  std::snprintf(text, sizeof text,
                "{\"timeLeft\":%.17g,\"canoeX\":%.17g,\"canoeY\":%.17g,\"canoeZ\":%.17g,"
                "\"canoeHeading\":%.17g,\"riseHeight\":%.17g,\"seatView\":%s,\"yaw\":%.17g,"
                "\"pitch\":%.17g,\"width\":%d,\"height\":%d,\"deltaTime\":%.17g}",
                static_cast<double>(game.state.timeLeft), static_cast<double>(m[3][0]),
                static_cast<double>(m[3][1]), static_cast<double>(m[3][2]), heading * 180.0 / M_PI,
                static_cast<double>(game.world.canoeNode.riseHeight),
                game.seatView ? "true" : "false", static_cast<double>(game.camera.yaw),
                static_cast<double>(game.camera.pitch), game.screenWidth, game.screenHeight,
                static_cast<double>(game.clock.deltaTime));
  return text;
}
EMSCRIPTEN_KEEPALIVE void velloran_run_frames(long count) {
  framesGranted += count;
}
EMSCRIPTEN_KEEPALIVE long velloran_frames_run() {
  return framesRun;
}
// The last granted frame's picture (hold mode), width x height RGBA rows, bottom row first.
EMSCRIPTEN_KEEPALIVE const unsigned char* velloran_held_picture() {
  return heldPicture.data();
}
// Sets the canoe over duck i, so the next frame collects it (the sound test hears that).
EMSCRIPTEN_KEEPALIVE void velloran_touch_duck(int i) {
  if (i < 0 || i >= DuckCount) return;
  const SceneNode& duck = game.world.ducks[i];
  SceneNode& canoe = game.world.canoeNode;
  canoe.transform[3].x = duck.minCorner.x + duck.size.x * 0.5f;
  canoe.transform[3].z = duck.minCorner.z + duck.size.z * 0.5f;
  canoe.UpdateBounds();
}
EMSCRIPTEN_KEEPALIVE int velloran_ducks_left() {
  return DuckCount - game.state.ducksCollected;
}
// The HUD's top line as the last frame drew it ("GAME OVER" once time is up).
EMSCRIPTEN_KEEPALIVE const char* velloran_hud_top() {
  static std::string top;
  top = BuildHudLines(game.state, game.input.showFrameTime, game.clock.deltaTime, game.screenWidth,
                      game.screenHeight)
            .lines[0]
            .text;
  return top.c_str();
}
}

int main() {
  options.width = static_cast<int>(PageNumber("width"));
  options.height = static_cast<int>(PageNumber("height"));
  options.clockStep = PageNumber("clock");
  options.hold = PageNumber("hold") >= 0.0;

  const Settings settings("settings.conf");
  ChooseDrawingSize(settings);
  MarkAllDucksPresent(game.state);

  // An opaque canvas: the HUD's blending must not let the page show through the picture.
  glfwInit();
  glfwWindowHint(GLFW_ALPHA_BITS, 0);
  WindowOptions windowOptions;
  windowOptions.fullscreen = false;  // the page offers full screen itself
  GLFWwindow* window = OpenGameWindow(game, windowOptions);
  if (!window) return 1;
  CountWheelSteps();
  glfwSetScrollCallback(window, OnScroll);

  InstallFileTrial(&bundle);
  session.ownsWindow = true;
  BuildSession(session, game, window);
  StartAudio(audio.output);  // the sounds come from the bundle too; heard after a gesture
  InstallMuteKey(window, &audio);
  controls.labels.label = PageKeyLabel;
  InstallControls(window, game, controls);
  ResumeSoundOnGesture();
  InstallFileTrial(nullptr);
  bundle.records.clear();
  ReportMissingFeatures();
  InstallTouchControls(game);
  StartPageRecording(game);

  emscripten_set_main_loop(AnimationFrame, 0, false);
  return 0;
}
