// input.cpp: what a key, cursor or wheel event does to the game. Toggles flip on the press edge
// only; held keys are just recorded here and acted on by the frame loop's keyboard step.
#include "app/input.h"

#include "app/game.h"
#include "scene/game_keys.h"

namespace {

bool InKeyRange(int key) {
  return key >= 0 && key < KeyCount;
}

void MarkHeld(InputState& input, int key) {
  if (InKeyRange(key)) input.keyState[key] = true;
}

}  // namespace

bool HandleKey(Game& game, int key, int action) {
  InputState& input = game.input;
  if (action == kKeyPress) {
    MarkHeld(input, key);
    switch (key) {
      case kKeyF3:
        input.wireframe = !input.wireframe;
        break;
      case kKeyF6:
        game.seatView = !game.seatView;
        break;
      case kKeySpace: {
        SceneNode& canoe = game.world.canoeNode;
        // A jump in progress is neither restarted nor extended.
        if (!canoe.rising && !canoe.falling) {
          canoe.rising = true;
          canoe.riseHeight = 0.0f;
        }
        break;
      }
      case kKeyF2:
        input.showFrameTime = !input.showFrameTime;
        break;
      case kKeyF7:
        input.shadowsEnabled = !input.shadowsEnabled;
        break;
      case kKeyEscape:
        return true;
      default:
        break;
    }
  } else if (action == kKeyRelease) {
    if (InKeyRange(key)) input.keyState[key] = false;
  }
  // A repeat changes nothing: holding a toggle key flips it once.
  return false;
}

void HandleCursorPos(Game& game, double xpos, double ypos) {
  InputState& input = game.input;
  if (input.firstMouse) {
    input.lastX = static_cast<float>(xpos);
    input.lastY = static_cast<float>(ypos);
    input.firstMouse = false;
  }
  // Screen y grows downward, so the vertical offset is reversed.
  const float xOffset = static_cast<float>(xpos - input.lastX);
  const float yOffset = static_cast<float>(input.lastY - ypos);
  input.lastX = static_cast<float>(xpos);
  input.lastY = static_cast<float>(ypos);
  game.camera.Look(xOffset, yOffset);
}

void HandleScroll(Game& game, double /*xoffset*/, double yoffset) {
  game.camera.ZoomBy(static_cast<float>(yoffset));
}
