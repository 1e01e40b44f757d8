// desktop_views.cpp: the desktop's pictures of a scripted play, for comparing the browser's
// with. Runs the real frame sequence at the given size with the scripted clock and writes the
// window's picture after each step as raw RGBA (rows bottom-up), the form the browser's test
// hook reads back.
//
//   desktop_views <out folder> <width> <height> <seconds a frame> <step>...
//   step: name:key:mode:frames, mode one of none, hold (the key held for the step's frames)
//   and tap (pressed and released at the step's first frame); key is a GLFW key code
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/scripted_play.h"
#include "trial/file_trial.h"

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: desktop_views <out> <width> <height> <seconds> <step>...\n");
    return 2;
  }
  if (!glfwInit()) return 1;
  SetDecodeWhere(DecodeWhere::InProcess);  // the repository's own data, as the bake reads it
  ScriptedPlayOptions options;
  options.width = static_cast<unsigned>(std::atoi(argv[2]));
  options.height = static_cast<unsigned>(std::atoi(argv[3]));
  options.frameSeconds = std::atof(argv[4]);
  auto play = std::make_unique<ScriptedPlay>();
  if (!StartScriptedPlay(*play, options)) return 1;
  for (int i = 5; i < argc; ++i) {
    char name[64] = {}, mode[8] = {};
    int key = 0;
    long frames = 0;
    if (std::sscanf(argv[i], "%63[^:]:%d:%7[^:]:%ld", name, &key, mode, &frames) != 4) return 2;
    if (std::string(mode) == "hold") HoldKey(*play, key, frames);
    if (std::string(mode) == "tap") TapKey(*play, key);
    RunScriptedFrames(*play, frames);
    const std::vector<unsigned char> pixels = ReadWindowPixels(*play);
    std::ofstream(std::string(argv[1]) + "/" + name + ".rgba", std::ios::binary)
        .write(reinterpret_cast<const char*>(pixels.data()),
               static_cast<std::streamsize>(pixels.size()));
  }
  EndScriptedPlay(*play);
  glfwTerminate();
  return 0;
}
