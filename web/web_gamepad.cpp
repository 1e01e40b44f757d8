// web_gamepad.cpp: the browser's gamepads. Emscripten's GLFW offers raw joysticks only (the
// page's navigator.getGamepads()), with no gamepad mappings; but a browser that knows a pad
// reports it in the "standard" layout, whose button and axis numbers are fixed, so they are
// mapped here to the game's pad layout. Its buttons arrive as pressed or not, so a trigger is
// either at rest or fully pressed.
#include "web_gamepad.h"

#include <iostream>

// clang-format off
#include "gfx/gl.h"  // the GL header before GLFW's
#include <GLFW/glfw3.h>
// clang-format on

#include "app/controls.h"
#include "app/gamepad.h"
#include "app/session.h"

namespace {

// The standard layout's buttons, in its order, as the game's pad buttons (-1: a trigger, read
// as an axis below; kPadButtonCount: not used).
constexpr int kStandardButtons[] = {
    kPadA,      kPadB,        kPadX,        kPadY,         kPadLeftBumper, kPadRightBumper,
    -1,         -1,           kPadBack,     kPadStart,     kPadLeftThumb,  kPadRightThumb,
    kPadDpadUp, kPadDpadDown, kPadDpadLeft, kPadDpadRight, kPadGuide};
constexpr int kStandardLeftTrigger = 6;
constexpr int kStandardRightTrigger = 7;
constexpr int kStandardButtonCount = 16;  // the guide button (16) is often missing
constexpr int kStandardAxisCount = 4;     // left x, left y, right x, right y: as the game's

// One standard pad's reading; false when the device has too few buttons or axes to be one.
bool ReadStandardPad(int slot, PadState& pad) {
  int axisCount = 0, buttonCount = 0;
  const float* axes = glfwGetJoystickAxes(slot, &axisCount);
  const unsigned char* buttons = glfwGetJoystickButtons(slot, &buttonCount);
  if (!axes || !buttons || axisCount < kStandardAxisCount || buttonCount < kStandardButtonCount) {
    return false;
  }
  for (int i = 0; i < kStandardAxisCount; ++i) pad.axes[i] = axes[i];
  constexpr int kListed = sizeof(kStandardButtons) / sizeof(kStandardButtons[0]);
  const int known = buttonCount < kListed ? buttonCount : kListed;
  for (int i = 0; i < known; ++i) {
    if (kStandardButtons[i] >= 0) pad.buttons[kStandardButtons[i]] = buttons[i] != 0;
  }
  pad.axes[kPadLeftTrigger] = buttons[kStandardLeftTrigger] ? 1.0f : -1.0f;
  pad.axes[kPadRightTrigger] = buttons[kStandardRightTrigger] ? 1.0f : -1.0f;
  return true;
}

}  // namespace

void ReadWebPads(Session& session) {
  PadState pads;
  for (int slot = 0; slot < kPadSlots; ++slot) {
    const bool present = glfwJoystickPresent(slot) == GLFW_TRUE;
    PadState pad;
    const bool usable = present && ReadStandardPad(slot, pad);
    if (ShouldNoteUnusablePad(session.padNoted[slot], present, usable)) {
      const char* name = glfwGetJoystickName(slot);
      std::cerr << "Gamepad \"" << (name ? name : "") << "\" ignored: the browser does not "
                << "report it in the standard layout" << std::endl;
    }
    if (usable) MergePad(pads, pad);
  }
  ApplyPadReading(session, pads);
}
