// web_main.cpp: the browser's entry, in place of src/app/app.cpp. The same start-up, the same
// frame, the same shutdown; what differs is where they run from. The browser owns the loop, so
// each animation frame runs one pass of the game's frame; the canvas is the window; the data
// comes from the bundle the page loaded before main (see bundle_trial.cpp). Escape ends the
// game as on the desktop, and the page then says so.
//
// The page's address may carry options, for players on slow machines and for the tests:
//   width, height  the canvas size instead of settings.conf's
//   clock=S        a scripted clock that advances S seconds each frame, whatever the real time
//   hold           frames run only when granted (velloran_run_frames), so a test can stop the
//                  picture at a chosen frame; the last granted frame is kept for reading back
#include <emscripten.h>

#include <string>
#include <vector>

// clang-format off
#include "gfx/gl.h"  // the GL header before GLFW's
#include <GLFW/glfw3.h>
// clang-format on

#include "app/frame_loop.h"
#include "app/input.h"
#include "app/mute_key.h"
#include "app/session.h"
#include "app/settings.h"
#include "audio/game_audio.h"
#include "render/readback.h"
#include "scene/game_rules.h"

namespace {

Game game;
Session session;
FileTrial bundle;  // the baked records, read on demand
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

EM_JS(void, TellPageEnded, (), {
  if (Module.velloranEnded) Module.velloranEnded();
});
// clang-format on

void OnScroll(GLFWwindow*, double, double) {
  HandleScroll(game, 0.0, TakeWheelSteps());
}

void PollEvents(void*) {
  glfwPollEvents();
}
double ReadClock(void*) {
  return options.clockStep > 0.0 ? scriptedClock : glfwGetTime();
}
void Render(void*) {
  RenderFrame(game, session.renderer);
  // Read before the browser presents the frame; afterwards the drawing buffer is gone.
  if (options.hold && framesGranted == 1) {
    heldPicture = ReadFramebufferColor(0, game.screenWidth, game.screenHeight);
  }
}

void AnimationFrame() {
  if (options.hold && framesGranted <= 0) return;
  const FrameHooks hooks{nullptr, PollEvents, ReadClock, Render, nullptr};
  SoundBeforeFrame(audio, game);
  RunFrame(game, hooks);
  SoundAfterFrame(audio, game);
  scriptedClock += options.clockStep;
  --framesGranted;
  ++framesRun;
  if (glfwWindowShouldClose(session.window)) {
    emscripten_cancel_main_loop();
    // Closing Emscripten's OpenAL (3.1.6) while the page lives on raised a script error in it;
    // the ended page only needs quiet.
    SilenceAudio(audio.output);
    EndSession(session);
    TellPageEnded();
  }
}

}  // namespace

// Test hooks, called from the page's script.
extern "C" {
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
  game.screenWidth = static_cast<unsigned>(options.width > 0 ? options.width : settings.width);
  game.screenHeight = static_cast<unsigned>(options.height > 0 ? options.height : settings.height);
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
  ResumeSoundOnGesture();
  InstallFileTrial(nullptr);
  bundle.records.clear();
  ReportMissingFeatures();

  emscripten_set_main_loop(AnimationFrame, 0, false);
  return 0;
}
