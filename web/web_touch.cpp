// web_touch.cpp: the page's touch controls as key presses, and a drag on the picture as cursor
// movement (see web_touch.h).
#include "web_touch.h"

#include <GLFW/glfw3.h>
#include <emscripten.h>

#include "app/game.h"
#include "app/input.h"

namespace {

Game* touchedGame = nullptr;  // the running game, once start-up has built it

// The keys a control may press: paddling, turning, sprint, jump and the view switch. Anything
// else (Escape above all) is not the controls' to press.
bool IsTouchKey(int key) {
  switch (key) {
    case GLFW_KEY_W:
    case GLFW_KEY_S:
    case GLFW_KEY_A:
    case GLFW_KEY_D:
    case GLFW_KEY_LEFT_SHIFT:
    case GLFW_KEY_SPACE:
    case GLFW_KEY_F6:
      return true;
    default:
      return false;
  }
}

}  // namespace

void InstallTouchControls(Game& game) {
  touchedGame = &game;
}

extern "C" {
// A control pressed (down != 0) or let go of the game key `key` (a GLFW key code).
EMSCRIPTEN_KEEPALIVE void velloran_touch_key(int key, int down) {
  if (!touchedGame || !IsTouchKey(key)) return;
  HandleKey(*touchedGame, key, down ? GLFW_PRESS : GLFW_RELEASE);
}
// A finger dragged by (dx, dy) CSS pixels on the picture: the cursor moved as far.
EMSCRIPTEN_KEEPALIVE void velloran_touch_look(double dx, double dy) {
  if (!touchedGame) return;
  const InputState& input = touchedGame->input;
  HandleCursorPos(*touchedGame, input.lastX + dx, input.lastY + dy);
}
}
