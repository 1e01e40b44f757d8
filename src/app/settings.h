// settings.h: the window configuration read from "settings.conf": three positional lines,
// width, height and the full-screen flag. Missing values keep 1280, 720 and false.
#pragma once

#include <string>

struct Settings {
  int width = 1280;
  int height = 720;
  bool fullscreen = false;

  explicit Settings(std::string fileName);  // never fails, prints nothing
};
