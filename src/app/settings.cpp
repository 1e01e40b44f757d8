// settings.cpp: reads settings.conf by position: line 1 width, line 2 height, line 3 the
// full-screen word. Lines it cannot read leave the defaults in place.
//
// The file is read with bounds: at most three lines of kMaxSettingsLine bytes each and
// kMaxSettingsBytes in all. A longer line, or one whose end lies past the byte budget, counts
// as unreadable, so a huge or endless file (a link to /dev/zero, say) reaches the defaults at
// once instead of filling memory.
#include "app/settings.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "trial/safe_file.h"

namespace {

// The leading decimal integer of a line, read as atoi reads it (blanks, sign, digits), but
// clamped to the int range: atoi's result for a number too large for int is undefined.
int LeadingInteger(const std::string& line) {
  const long value = std::strtol(line.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// The file's first lines, each with its readability; stops at three lines or the budget.
struct SettingsLine {
  std::string text;
  bool readable = true;
};

std::vector<SettingsLine> ReadBoundedLines(const std::string& fileName) {
  std::vector<SettingsLine> lines;
  // Non-blocking and regular files only: a FIFO or a device reads as a missing file.
  RunFileStatus status = RunFileStatus::Read;
  const int fd = OpenRunFile(fileName, status);
  FILE* file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    return lines;
  }
  SettingsLine line;
  bool lineStarted = false;
  std::size_t budget = kMaxSettingsBytes;
  for (int c = 0; lines.size() < 3;) {
    if (budget == 0) {
      // The budget ran out inside a line: its end is unknown, so it is not read.
      if (lineStarted) lines.push_back({std::string(), false});
      break;
    }
    c = std::fgetc(file);
    --budget;
    if (c == EOF) {
      if (lineStarted) lines.push_back(line);
      break;
    }
    lineStarted = true;
    if (c == '\n') {
      lines.push_back(line);
      line = SettingsLine{};
      lineStarted = false;
    } else if (line.text.size() < kMaxSettingsLine) {
      line.text += static_cast<char>(c);
    } else {
      line.readable = false;
    }
  }
  std::fclose(file);
  return lines;
}

}  // namespace

Settings::Settings(std::string fileName) {
  const std::vector<SettingsLine> lines = ReadBoundedLines(fileName);
  for (std::size_t counter = 0; counter < lines.size(); ++counter) {
    if (!lines[counter].readable) continue;
    const std::string& line = lines[counter].text;
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
  }
}
