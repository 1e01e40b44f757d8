// desktop_keys.cpp: options.conf through the safe open, and GLFW's key labels.
#include "app/desktop_keys.h"

#include <GLFW/glfw3.h>

#include <iostream>
#include <vector>

#include "app/run_files.h"
#include "trial/safe_file.h"

namespace {

// What a first installed start leaves in the player's folder: every option, commented out.
constexpr const char* kOptionsTemplate =
    "# Velloran's options: remove a line's # to use it (README lists every option and key).\n"
    "# volume = 100\n"
    "# effects_volume = 100\n"
    "# ambience_volume = 100\n"
    "# hud_scale = 1.5\n"
    "# hud_outline = on\n";

}  // namespace

std::string OptionsFolder() {
  OfferPlayerFile(kOptionsFile, kOptionsTemplate);
  return RunFileFolder(kOptionsFile);
}

OptionsFile LoadOptions(const std::string& folder) {
  std::string bytes;
  const RunFileStatus status = ReadRunFileInside(folder, kOptionsFile, kMaxOptionsBytes, bytes);
  if (status == RunFileStatus::Missing) return OptionsFile{DefaultBindings(), {}};
  if (status != RunFileStatus::Read) {
    std::cerr << kOptionsFile << " not used: "
              << (status == RunFileStatus::Outside ? "it is a link out of the game's folder"
                                                   : RunFileWords(status))
              << std::endl;
    return OptionsFile{DefaultBindings(), {}};
  }
  std::vector<std::string> notes;
  const OptionsFile file = ReadOptionsFile(bytes, kOptionsFile, notes);
  for (const std::string& note : notes) std::cerr << note << std::endl;
  return file;
}

std::string DesktopKeyLabel(void*, int key) {
  const char* name = glfwGetKeyName(key, 0);
  return name ? name : "";
}
