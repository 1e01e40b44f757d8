// pad_mappings.h: the player's gamepad mappings (gamecontrollerdb.txt, one mapping a line, the
// format SDL and GLFW share), sorted into lines GLFW can take and lines it cannot, so one bad
// line costs only itself and the player hears about it once.
#pragma once

#include <string>

struct PadMappingLines {
  std::string kept;  // the well-formed mappings, one a line
  int keptCount = 0;
  int refusedCount = 0;  // lines that are neither mappings, blank nor comments
};

// Keeps the lines of the form "<32 hex digits>,<name>,<field>:<value>,..." (a trailing comma
// allowed); blank lines and '#' comments are neither kept nor refused.
PadMappingLines SortPadMappings(const std::string& text);
