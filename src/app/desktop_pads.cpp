// desktop_pads.cpp: GLFW's gamepad state copied into the game's pad reading. GLFW already puts
// every known pad into the one layout, so the copy is index for index.
#include "app/desktop_pads.h"

#include <GLFW/glfw3.h>

#include <iostream>

#include "app/controls.h"
#include "app/gamepad.h"
#include "app/pad_mappings.h"
#include "app/session.h"
#include "trial/limits.h"
#include "trial/safe_file.h"

static_assert(kPadButtonCount == GLFW_GAMEPAD_BUTTON_LAST + 1, "the pad layout is GLFW's");
static_assert(kPadAxisCount == GLFW_GAMEPAD_AXIS_LAST + 1, "the pad layout is GLFW's");
static_assert(kPadSlots == GLFW_JOYSTICK_LAST + 1, "one slot per GLFW joystick");

namespace {

int padComplaints = 0;  // GLFW's complaints while it reads the mapping file
void CountPadComplaint(int, const char*) {
  ++padComplaints;
}

}  // namespace

void LoadPadMappings(const std::string& path) {
  std::string bytes;
  const RunFileStatus status = ReadRunFile(path, kMaxPadMappingBytes, bytes);
  if (status == RunFileStatus::Missing) return;  // the usual case: no mappings of the player's
  if (status != RunFileStatus::Read) {
    std::cerr << "Gamepad mappings in " << path << " not used: " << RunFileWords(status)
              << std::endl;
    return;
  }
  const PadMappingLines lines = SortPadMappings(bytes);
  // GLFW reports each mapping it cannot take through the game's error callback: counted here
  // instead, so the file gets one note however many there are.
  padComplaints = 0;
  const GLFWerrorfun previous = glfwSetErrorCallback(CountPadComplaint);
  const bool taken = lines.keptCount == 0 || glfwUpdateGamepadMappings(lines.kept.c_str());
  glfwSetErrorCallback(previous);
  if (!taken) {
    std::cerr << "Gamepad mappings in " << path << " not used: GLFW refused them" << std::endl;
    return;
  }
  if (lines.refusedCount > 0 || lines.overCount > 0 || padComplaints > 0) {
    std::cerr << "Gamepad mappings in " << path << ": " << lines.refusedCount
              << " line(s) are not mappings and were skipped, ";
    if (lines.overCount > 0) {
      std::cerr << lines.overCount << " past the first " << kMaxPadMappings << " were not read, ";
    }
    if (padComplaints > 0) std::cerr << padComplaints << " GLFW refused, ";
    std::cerr << lines.keptCount - padComplaints << " used" << std::endl;
  }
}

void ReadDesktopPads(Session& session) {
  PadState pads;
  for (int slot = 0; slot < kPadSlots; ++slot) {
    const bool present = glfwJoystickPresent(slot) == GLFW_TRUE;
    const bool usable = present && glfwJoystickIsGamepad(slot) == GLFW_TRUE;
    if (ShouldNoteUnusablePad(session.padNoted[slot], present, usable)) {
      const char* name = glfwGetJoystickName(slot);
      std::cerr << "Joystick \"" << (name ? name : "") << "\" ignored: GLFW has no gamepad "
                << "mapping for it (one can be added in " << kPadMappingFile << ")" << std::endl;
    }
    GLFWgamepadstate state;
    if (!usable || !glfwGetGamepadState(slot, &state)) continue;
    PadState pad;
    for (int i = 0; i < kPadAxisCount; ++i) pad.axes[i] = state.axes[i];
    for (int i = 0; i < kPadButtonCount; ++i) pad.buttons[i] = state.buttons[i] == GLFW_PRESS;
    MergePad(pads, pad);
  }
  ApplyPadReading(session, pads);
}
