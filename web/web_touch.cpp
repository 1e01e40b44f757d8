// web_touch.cpp: the page's touch controls as actions, and a drag on the picture as cursor
// movement (see web_touch.h).
#include "web_touch.h"

#include <emscripten.h>

#include <cstring>

#include "app/controls.h"
#include "app/game.h"
#include "app/input.h"

namespace {

Game* touchedGame = nullptr;  // the running game, once start-up has built it

// The actions a control may hold: paddling, turning, sprint, jump and the view switch.
// Anything else (quit above all) is not the controls' to press.
constexpr Action kTouchActions[] = {Action::Forward, Action::Back, Action::Left, Action::Right,
                                    Action::Sprint,  Action::Jump, Action::View};

}  // namespace

void InstallTouchControls(Game& game) {
  touchedGame = &game;
}

extern "C" {
// A control pressed (down != 0) or let go of the action called `name` ("forward", "jump").
EMSCRIPTEN_KEEPALIVE void velloran_touch(const char* name, int down) {
  if (!touchedGame || !name) return;
  for (Action action : kTouchActions) {
    if (std::strcmp(InfoOf(action).name, name) == 0) FeedTouch(action, down != 0);
  }
}
// A finger dragged by (dx, dy) CSS pixels on the picture: the cursor moved as far.
EMSCRIPTEN_KEEPALIVE void velloran_touch_look(double dx, double dy) {
  if (!touchedGame) return;
  const InputState& input = touchedGame->input;
  HandleCursorPos(*touchedGame, input.lastX + dx, input.lastY + dy);
}
}
