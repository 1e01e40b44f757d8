// The player's gamepad mapping file as the game loads it: GLFW takes the good lines without a
// complaint, and whatever is wrong with the file is one note on standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/desktop_pads.h"
#include "gfx_test_files.h"
#include "gl_context.h"

namespace {

const std::string kGood =
    "030000005e0400008e02000010010000,Test Pad,a:b0,b:b1,x:b2,y:b3,back:b6,start:b7,guide:b8,"
    "leftshoulder:b4,rightshoulder:b5,leftstick:b9,rightstick:b10,dpup:h0.1,dpdown:h0.4,"
    "dpleft:h0.8,dpright:h0.2,leftx:a0,lefty:a1,rightx:a3,righty:a4,lefttrigger:a2,"
    "righttrigger:a5,platform:Linux,\n";

TEST(PadMappingFile, AnyFaultIsOneNoteAndGlfwTakesTheRest) {
  // The game's own GLFW error report, so a complaint of GLFW's would show here too.
  const GLFWerrorfun previous = glfwSetErrorCallback([](int code, const char* text) {
    std::cerr << "GLFW error " << code << ": " << (text ? text : "") << std::endl;
  });
  struct Case {
    const char* name;
    std::string contents;  // "" with `fifo`: the name is a FIFO
    bool fifo;
    int notes;
    const char* says;
  };
  std::string longNames, tooMany;  // 12 000 names GLFW refuses; 5 000 pads, one mapping each
  for (int i = 0; i < 12000; ++i) {
    longNames += kGood.substr(0, 33) + std::string(128, 'n') + ",a:b0,\n";
  }
  for (int i = 0; i < 5000; ++i) {
    char id[33];
    std::snprintf(id, sizeof id, "%032x", i);
    tooMany += std::string(id) + ",Pad,a:b0,platform:Linux,\n";
  }
  const Case cases[] = {
      {"missing", "", false, 0, ""},
      {"good", "# mine\n" + kGood, false, 0, ""},
      {"broken lines", "not a mapping\n" + kGood + "0300,short\n", false, 1, "2 line(s)"},
      {"binary",
       std::string("\x7f"
                   "ELF\0\1\2",
                   7) +
           std::string(5000, '\xff'),
       false, 1, "1 line(s)"},
      {"too large", kGood + std::string(2 << 20, '#'), false, 1, "larger"},
      {"fifo", "", true, 1, "regular"},
      {"names GLFW refuses", longNames, false, 1, "12000 line(s)"},
      {"more mappings than taken", tooMany, false, 1, "904 past the first 4096"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string path = dir / kPadMappingFile;
    if (c.fifo)
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    else if (std::string(c.name) != "missing")
      WriteFile(path, c.contents);
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    LoadPadMappings(path);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::string said = testing::internal::GetCapturedStderr();
    // A capped file costs GLFW a fraction of a second (0.04 s quiet); room for a busy machine.
    // Under AddressSanitizer GLFW's string compares are intercepted and the cap costs ~12 s.
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(took.count(), 60.0);
#else
    EXPECT_LT(took.count(), 1.0);
#endif
    std::printf("%s: %.3f s\n", c.name, took.count());
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.notes) << said;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
  }
  glfwSetErrorCallback(previous);
}

}  // namespace
