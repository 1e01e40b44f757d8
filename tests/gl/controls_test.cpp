// The controls in front of a real window's key callback: what the callback behind them is
// handed for the player's keys, the help key's panel, letting go on focus loss, and the key
// table the page and options.conf name keys by.
#include "app/controls.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/game.h"
#include "gl_context.h"
#include "input/key_names.h"

namespace {

std::vector<std::pair<int, int>> handed;  // (key, event) as the callback behind saw them

void Behind(GLFWwindow*, int key, int, int action, int) {
  handed.emplace_back(key, action);
}

}  // namespace

TEST(Controls, TheCallbackBehindSeesTheActionsOwnKeys) {
  GLFWwindow* window = TestWindow();
  GLFWkeyfun before = glfwSetKeyCallback(window, Behind);
  auto game = std::make_unique<Game>();
  static Controls controls;
  std::vector<std::string> notes;
  controls.bindings = ReadBindings("forward = I\nhelp = F12", "options.conf", notes);
  InstallControls(window, *game, controls);
  ASSERT_EQ(game->help.lines.size(), static_cast<std::size_t>(kActionCount + 1));

  handed.clear();
  FeedKey(GLFW_KEY_I, GLFW_PRESS);
  FeedKey(GLFW_KEY_W, GLFW_PRESS);  // no longer forward's: nothing
  FeedKey(GLFW_KEY_Q, GLFW_PRESS);  // nobody's: passes as itself
  FeedTouch(Action::Forward, true);
  EXPECT_TRUE(ControlsHold(GLFW_KEY_W));
  FeedKey(GLFW_KEY_I, GLFW_RELEASE);  // the touch control still holds forward
  EXPECT_TRUE(ControlsHold(GLFW_KEY_W));
  ReleaseControls();
  EXPECT_FALSE(ControlsHold(GLFW_KEY_W));
  const std::vector<std::pair<int, int>> want = {
      {GLFW_KEY_W, GLFW_PRESS}, {GLFW_KEY_Q, GLFW_PRESS}, {GLFW_KEY_W, GLFW_RELEASE}};
  EXPECT_EQ(handed, want);

  // The help key shows and hides the panel on its press edge, and still reaches the game.
  FeedKey(GLFW_KEY_F12, GLFW_PRESS);
  FeedKey(GLFW_KEY_F12, GLFW_REPEAT);
  EXPECT_TRUE(game->help.shown);
  FeedKey(GLFW_KEY_F12, GLFW_RELEASE);
  FeedKey(GLFW_KEY_F1, GLFW_PRESS);  // F1 is nobody's now
  EXPECT_TRUE(game->help.shown);
  FeedKey(GLFW_KEY_F12, GLFW_PRESS);
  EXPECT_FALSE(game->help.shown);
  EXPECT_EQ(handed[3], std::make_pair(GLFW_KEY_F1, GLFW_PRESS));

  ChangeBindings(DefaultBindings());
  glfwSetKeyCallback(window, before);
}

// Every name and browser code is one key's, GLFW knows a key by each code, and a name comes
// back from its key.
TEST(Controls, KeyTableNamesEachKeyOnce) {
  std::set<int> keys;
  std::set<std::string> codes;
  for (const KeyName& row : kKeyNames) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(keys.insert(row.key).second);
    EXPECT_TRUE(codes.insert(row.domCode).second);
    EXPECT_EQ(KeyFromName(row.name), row.key);
    EXPECT_EQ(KeyFromDomCode(row.domCode), row.key);
    EXPECT_STREQ(NameOfKey(row.key), row.name);
    EXPECT_NE(glfwGetKeyScancode(row.key), -1);  // a key GLFW knows by that code
  }
  EXPECT_EQ(KeyFromName("left  SHIFT"), GLFW_KEY_LEFT_SHIFT);
  EXPECT_EQ(KeyFromDomCode("ShiftLeft"), GLFW_KEY_LEFT_SHIFT);
  EXPECT_EQ(KeyFromName("F13"), -1);
  EXPECT_EQ(PadButtonFromName("pad a"), GLFW_GAMEPAD_BUTTON_A);
  EXPECT_EQ(PadButtonFromName("Pad Left"), GLFW_GAMEPAD_BUTTON_DPAD_LEFT);
  EXPECT_EQ(PadButtonFromName("Pad Back"), -1);
}
