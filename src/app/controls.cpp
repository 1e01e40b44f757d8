// controls.cpp: the key callback in front of the game's, and the help panel's toggle.
#include "app/controls.h"

#include <GLFW/glfw3.h>

#include "app/game.h"
#include "app/gamepad.h"
#include "app/session.h"

namespace {

GLFWkeyfun nextKeys = nullptr;  // the callback that was set before ours (mute key, game)
GLFWwindow* keyWindow = nullptr;
Game* keyGame = nullptr;
Controls* active = nullptr;

void LayOutHelp() {
  keyGame->help.lines = LayoutHelpPanel(active->bindings, active->labels, keyGame->screenWidth,
                                        keyGame->screenHeight);
}

void Deliver(GameKeyEvent event, int scancode, int mods) {
  if (event.key < 0) return;
  if (event.key == InfoOf(Action::Help).gameKey && event.event == kKeyPress) {
    keyGame->help.shown = !keyGame->help.shown;
  }
  if (nextKeys) nextKeys(keyWindow, event.key, scancode, event.event, mods);
}

void OnPhysicalKey(GLFWwindow*, int key, int scancode, int action, int mods) {
  if (active) Deliver(TranslateKey(active->bindings, active->held, key, action), scancode, mods);
}

}  // namespace

void InstallControls(GLFWwindow* window, Game& game, Controls& controls) {
  keyWindow = window;
  keyGame = &game;
  active = &controls;
  GLFWkeyfun previous = glfwSetKeyCallback(window, OnPhysicalKey);
  if (previous != OnPhysicalKey) nextKeys = previous;
  LayOutHelp();
}

void FeedKey(int key, int event) {
  OnPhysicalKey(keyWindow, key, 0, event, 0);
}

void FeedTouch(Action action, bool down) {
  if (active) Deliver(TranslateTouch(active->held, action, down), 0, 0);
}

void ReleaseControls() {
  if (!active) return;
  for (const GameKeyEvent& release : ReleaseAll(active->bindings, active->held)) {
    Deliver(release, 0, 0);
  }
}

void ChangeBindings(const Bindings& bindings) {
  if (!active) return;
  ReleaseControls();
  active->bindings = bindings;
  LayOutHelp();
}

void RelabelKeys() {
  if (active) LayOutHelp();
}

const Bindings& CurrentBindings() {
  static const Bindings defaults = DefaultBindings();
  return active ? active->bindings : defaults;
}

const Bindings* PadBindings() {
  return active ? &active->bindings : nullptr;
}

bool ControlsHold(int gameKey) {
  const int action = ActionOfGameKey(gameKey);
  return active && action >= 0 && active->held.count[action] > 0;
}

void ApplyPadReading(Session& session, const PadState& pads) {
  Game& game = *session.game;
  const KeyboardView keyboard{session.window, [](void*, int key) { return ControlsHold(key); }};
  if (ApplyPad(game, session.pads, pads, game.clock.deltaTime, keyboard, PadBindings())) {
    glfwSetWindowShouldClose(session.window, GLFW_TRUE);
  }
}
