// pad_mappings.h: the player's gamepad mappings (gamecontrollerdb.txt, one mapping a line, the
// format SDL and GLFW share), sorted into lines GLFW can take and lines it cannot, so one bad
// line costs only itself and the player hears about it once.
#pragma once

#include <string>

// Most mappings one file gives GLFW: it looks each one up among those it has, so their cost
// grows with the square of their number (52 428 of them took it 6 s).
constexpr int kMaxPadMappings = 4096;
// Longest pad name GLFW takes (it complains about each longer one).
constexpr std::size_t kMaxPadNameLength = 127;

struct PadMappingLines {
  std::string kept;  // the well-formed mappings, one a line
  int keptCount = 0;
  int refusedCount = 0;  // lines that are neither mappings, blank nor comments
  int overCount = 0;     // well-formed mappings past the first kMaxPadMappings
};

// Keeps the first kMaxPadMappings lines of the form "<32 hex digits>,<name>,<field>:<value>,..."
// (a trailing comma allowed, a name of at most kMaxPadNameLength bytes); blank lines and '#'
// comments are neither kept nor refused.
PadMappingLines SortPadMappings(const std::string& text);
