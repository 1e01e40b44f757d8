// settings.cpp: reads settings.conf by position: line 1 width, line 2 height, line 3 the
// full-screen word. Lines it cannot read leave the defaults in place.
#include "app/settings.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// The leading decimal integer of a line, read as atoi reads it (blanks, sign, digits), but
// clamped to the int range: atoi's result for a number too large for int is undefined.
int LeadingInteger(const std::string& line) {
  const long value = std::strtol(line.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

Settings::Settings(std::string fileName) {
  std::ifstream file(fileName);
  std::string line;
  int counter = 0;
  while (std::getline(file, line)) {
    if (counter == 0) {
      width = LeadingInteger(line);
    } else if (counter == 1) {
      height = LeadingInteger(line);
    } else if (counter == 2) {
      std::istringstream stream(line);
      bool value = false;
      stream >> std::boolalpha >> value;
      if (stream) fullscreen = value;
    }
    ++counter;
  }
}
