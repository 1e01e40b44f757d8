// pad_mappings.cpp: a line-by-line check of the mapping format before GLFW parses it. GLFW
// skips a line it cannot parse with a complaint of its own a line; checked here, a broken file
// gives one note, and nothing with a control byte, past GLFW's line or name length, or past a
// number of mappings it can take quickly reaches it.
#include "app/pad_mappings.h"

#include <cctype>

namespace {

constexpr std::size_t kGuidLength = 32;
constexpr std::size_t kMaxLineLength = 1023;  // GLFW copies each line into 1024 bytes

bool IsHex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// A field "key:value": both sides present, no second colon.
bool IsField(const std::string& field) {
  const std::size_t colon = field.find(':');
  return colon != std::string::npos && colon > 0 && colon + 1 < field.size() &&
         field.find(':', colon + 1) == std::string::npos;
}

bool IsMapping(const std::string& line) {
  if (line.size() > kMaxLineLength || line.size() <= kGuidLength + 1) return false;
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return false;
  }
  for (std::size_t i = 0; i < kGuidLength; ++i) {
    if (!IsHex(line[i])) return false;
  }
  if (line[kGuidLength] != ',') return false;
  const std::size_t nameEnd = line.find(',', kGuidLength + 1);
  if (nameEnd == std::string::npos || nameEnd == kGuidLength + 1 ||
      nameEnd - (kGuidLength + 1) > kMaxPadNameLength) {
    return false;
  }
  int fields = 0;
  std::size_t start = nameEnd + 1;
  while (start < line.size()) {
    std::size_t end = line.find(',', start);
    if (end == std::string::npos) end = line.size();
    if (!IsField(line.substr(start, end - start))) return false;
    ++fields;
    start = end + 1;
  }
  return fields > 0;
}

}  // namespace

PadMappingLines SortPadMappings(const std::string& text) {
  PadMappingLines sorted;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    if (IsMapping(line) && sorted.keptCount == kMaxPadMappings) {
      ++sorted.overCount;
    } else if (IsMapping(line)) {
      sorted.kept += line;
      sorted.kept += '\n';
      ++sorted.keptCount;
    } else {
      ++sorted.refusedCount;
    }
  }
  return sorted;
}
