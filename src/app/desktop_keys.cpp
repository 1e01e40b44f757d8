// desktop_keys.cpp: options.conf through the safe open, and GLFW's key labels.
#include "app/desktop_keys.h"

#include <GLFW/glfw3.h>

#include <iostream>
#include <vector>

#include "trial/safe_file.h"

std::string OptionsFolder() {
  return ".";
}

Bindings LoadBindings(const std::string& folder) {
  std::string bytes;
  const RunFileStatus status = ReadRunFileInside(folder, kOptionsFile, kMaxOptionsBytes, bytes);
  if (status == RunFileStatus::Missing) return DefaultBindings();
  if (status != RunFileStatus::Read) {
    std::cerr << kOptionsFile << " not used: "
              << (status == RunFileStatus::Outside ? "it is a link out of the game's folder"
                                                   : RunFileWords(status))
              << std::endl;
    return DefaultBindings();
  }
  std::vector<std::string> notes;
  const Bindings bindings = ReadBindings(bytes, kOptionsFile, notes);
  for (const std::string& note : notes) std::cerr << note << std::endl;
  return bindings;
}

std::string DesktopKeyLabel(void*, int key) {
  const char* name = glfwGetKeyName(key, 0);
  return name ? name : "";
}
