// Settings: the positional reader over a table of file contents.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct SettingsCase {
  const char* name;
  const char* contents;  // nullptr: no file at all
  int width;
  int height;
  bool fullscreen;
};

Settings ReadSettings(const char* contents) {
  const std::string path = ::testing::TempDir() + "velloran_settings_test.conf";
  std::remove(path.c_str());
  if (contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
  }
  return Settings(path);
}

}  // namespace

TEST(Settings, ReadsEachCaseAsPositionalLines) {
  const SettingsCase cases[] = {
      {"missing file keeps defaults", nullptr, 1280, 720, false},
      {"empty file keeps defaults", "", 1280, 720, false},
      {"full screen", "1920\n1080\ntrue\n", 1920, 1080, true},
      {"reading stops at x", "800x600\n600\nfalse\n", 800, 600, false},
      {"blanks before true", "800\n600\n  true\n", 800, 600, true},
      {"capital True rejected", "800\n600\nTrue\n", 800, 600, false},
      {"capital TRUE rejected", "800\n600\nTRUE\n", 800, 600, false},
      {"truex is true", "800\n600\ntruex\n", 800, 600, true},
      {"digit 1 is not a flag", "800\n600\n1\n", 800, 600, false},
      {"five lines use three", "640\n480\ntrue\n1\n2\n", 640, 480, true},
      {"short file", "1024\n", 1024, 720, false},
      {"no final line feed", "1024\n768\ntrue", 1024, 768, true},
      {"CRLF line ends", "1024\r\n768\r\ntrue\r\n", 1024, 768, true},
      {"empty first line is width 0", "\n600\nfalse\n", 0, 600, false},
      {"garbage", "abc\n#$%\nyes\n", 0, 0, false},
      {"negative numbers", "-800\n-600\nfalse\n", -800, -600, false},
      {"leading blanks and sign", "  +640\n\t480\nfalse\n", 640, 480, false},
      {"huge numbers clamp", "99999999999999999999\n-99999999999999999999\nfalse\n", 2147483647,
       -2147483647 - 1, false},
      {"binary bytes", "\x01\xff\x7fzz", 0, 720, false},
  };
  for (const SettingsCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Settings s = ReadSettings(c.contents);
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
    EXPECT_EQ(s.fullscreen, c.fullscreen);
  }
}

TEST(Settings, RepositoryFileIsTheDefaultWindow) {
  const Settings s("settings.conf");
  EXPECT_EQ(s.width, 1280);
  EXPECT_EQ(s.height, 720);
  EXPECT_FALSE(s.fullscreen);
}

TEST(Settings, HugeOrEndlessFilesReachTheDefaultsAtOnce) {
  const std::string longLine(kMaxSettingsLine + 1, '9');
  const std::string noLineEnd(kMaxSettingsBytes + 10, '7');
  const std::string path = ::testing::TempDir() + "velloran_settings_big.conf";
  struct BigCase {
    const char* name;
    std::string contents;
    int width, height;
  } cases[] = {
      {"over-long width line keeps its default", longLine + "\n600\n", 1280, 600},
      {"a line at the cap is read", std::string(kMaxSettingsLine - 3, ' ') + "800\n600\n", 800,
       600},
      {"no line end within the budget", noLineEnd, 1280, 720},
  };
  for (const BigCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(path, std::ios::binary) << c.contents;
    const Settings s(path);
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
  }
  // An endless stream: /dev/zero never ends and holds no line end.
  const Settings endless("/dev/zero");
  EXPECT_EQ(endless.width, 1280);
  EXPECT_EQ(endless.height, 720);
}
