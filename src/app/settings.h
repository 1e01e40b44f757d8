// settings.h: the window configuration read from "settings.conf": three positional lines,
// width, height and the full-screen flag. Missing values keep 1280, 720 and false.
#pragma once

#include <cstddef>
#include <string>

constexpr std::size_t kMaxSettingsLine = 4096;        // a longer line keeps its default
constexpr std::size_t kMaxSettingsBytes = 64 * 1024;  // reading stops here whatever the file

struct Settings {
  int width = 1280;
  int height = 720;
  bool fullscreen = false;

  explicit Settings(std::string fileName);  // never fails, prints nothing
};
