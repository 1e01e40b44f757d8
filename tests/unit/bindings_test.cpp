// The bindings file and the edge where physical keys become the game's keys: one table of
// files and key sequences, the hostile files the game's folder may hold, and the help panel.
#include "input/bindings.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/desktop_keys.h"
#include "input/help_panel.h"

namespace {

constexpr int P = GLFW_PRESS, R = GLFW_RELEASE, T = GLFW_REPEAT;

struct KeyStep {
  int key;      // physical key
  int event;    // GLFW_PRESS, GLFW_REPEAT, GLFW_RELEASE
  int wantKey;  // what reaches the handlers, with the same event (-1: nothing)
};

// Steps written as the options file names keys ('_' for a space), then + for a press, * a
// repeat, - a release, then what reaches the handlers: nothing written for the key itself,
// another key's name, or ! for nothing. "I+W J-!" is I pressed reaching them as W, then J let
// go reaching nothing.
std::vector<KeyStep> Steps(const std::string& text) {
  std::vector<KeyStep> steps;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    std::replace(word.begin(), word.end(), '_', ' ');
    const std::size_t at = word.find_first_of("+*-", 1);
    const std::string rest = word.substr(at + 1);
    const int key = KeyFromName(word.substr(0, at).c_str());
    const int want = rest.empty() ? key : rest == "!" ? -1 : KeyFromName(rest.c_str());
    EXPECT_TRUE(key >= 0 && (want >= 0 || rest == "!")) << word;
    steps.push_back({key, word[at] == '+' ? P : word[at] == '*' ? T : R, want});
  }
  return steps;
}

struct BindingCase {
  const char* name;
  std::string text;
  std::string steps;                          // see Steps
  std::vector<std::string> notes;             // each note's start, in order
  std::vector<std::pair<int, int>> pad = {};  // pad button, the action it does (-1: none)
};

// Each note starts as wanted, in order.
void ExpectNotes(const std::vector<std::string>& notes, const std::vector<std::string>& want) {
  EXPECT_EQ(notes.size(), want.size());
  for (std::size_t i = 0; i < std::min(notes.size(), want.size()); ++i)
    EXPECT_EQ(notes[i].rfind(want[i], 0), 0u) << notes[i];
}

}  // namespace

TEST(Bindings, FilesAndKeySequences) {
  const BindingCase cases[] = {
      {"defaults: every key as today, unbound keys pass through",
       "",
       "W+ W* W- Q+ F1+ Right_Shift+",
       {}},
      {"a rebinding replaces the default, which then does nothing",
       "forward = I\n",
       "I+W W+! W-! I-W",
       {}},
      {"two keys: the action holds until the last is let go",
       "jump = Space, J",
       "Space+ J+! Space-! J*Space J-Space",
       {}},
      {"a swap across two lines", "forward = S\nback = W\n", "S+W W+S", {}},
      {"names in any case and spacing, comments",
       "# keys for the left hand\n  JUMP   =   right  shift ,  F12  # two\r\n",
       "Right_Shift+Space F12+!",
       {}},
      {"a key already another action's: refused, and the action keeps its own",
       "jump = A\nforward = I\nback = I, K",
       "A+ Space+ K+S I+W",
       {"options.conf:1: A is already the key of left",
        "options.conf:3: I is already bound to forward"}},
      {"unknown names and broken lines: one note each, the rest counts",
       "fly = K\nforward = Wq, I\n\nforward\n" + std::string(300, 'x') + "\nleft = J",
       "I+W J+A K+",
       {"options.conf:1: no action or option called \"fly\"",
        "options.conf:2: no key called \"Wq\"", "options.conf:4: not a \"name = value\" line",
        "options.conf:5: line longer than 256"}},
      {"pad buttons: moved, refused, and a key line leaves the pad alone",
       "jump = Pad X\nshadows = pad guide\nview = Pad B\nmute = Pad Y\nforward = I",
       "Space+",
       {"options.conf:3: Pad B already does wireframe", "options.conf:4: the pad cannot do mute"},
       {{GLFW_GAMEPAD_BUTTON_X, static_cast<int>(Action::Jump)},
        {GLFW_GAMEPAD_BUTTON_A, -1},
        {GLFW_GAMEPAD_BUTTON_GUIDE, static_cast<int>(Action::Shadows)},
        {GLFW_GAMEPAD_BUTTON_Y, static_cast<int>(Action::View)},
        {GLFW_GAMEPAD_BUTTON_DPAD_UP, static_cast<int>(Action::Forward)}}},
  };
  for (const BindingCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> notes;
    const Bindings bindings = ReadBindings(c.text, "options.conf", notes);
    ExpectNotes(notes, c.notes);
    for (const auto& [button, action] : c.pad)
      EXPECT_EQ(bindings.padAction[button], action) << button;
    HeldControls held;
    for (const KeyStep& step : Steps(c.steps)) {
      const GameKeyEvent out = TranslateKey(bindings, held, step.key, step.event);
      EXPECT_EQ(out.key, step.wantKey) << "key " << step.key << " event " << step.event;
      if (step.wantKey >= 0) {
        EXPECT_EQ(out.event, step.event) << "key " << step.key;
      }
    }
  }
}

// The options' lines beside the bindings: values, clamps (one note each) and refusals.
TEST(Options, OneFileHoldsBindingsAndOptions) {
  // Each case's options as volume, effects and ambience volumes, HUD scale and outline.
  const auto describe = [](const PlayerOptions& o) {
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %.2f %s", o.volume, o.effectsVolume,
                  o.ambienceVolume, o.hudScale, o.hudOutline ? "on" : "off");
    return std::string(text);
  };
  const struct {
    std::string text, options;
    std::vector<std::string> notes;
  } cases[] = {
      {"", "100 100 100 1.00 off", {}},
      {"volume = 40\neffects_volume=0\nAmbience_Volume = 50 # quieter", "40 0 50 1.00 off", {}},
      {"volume = 140\nambience_volume = -3",
       "100 100 0 1.00 off",
       {"options.conf:1: volume is 0 to 100; 140 taken as 100",
        "options.conf:2: ambience_volume is 0 to 100; -3 taken as 0"}},
      {"volume = loud\nhud_outline = maybe\nhud_scale =",
       "100 100 100 1.00 off",
       {"options.conf:1: volume needs a number", "options.conf:2: hud_outline is on or off",
        "options.conf:3: hud_scale needs a number"}},
      {"hud_scale = 1.5\nhud_outline = ON", "100 100 100 1.50 on", {}},
      {"hud_scale = 3\nhud_outline = off",
       "100 100 100 2.00 off",
       {"options.conf:1: hud_scale is 1 to 2; 3 taken as 2"}},
      {"brightness = 3\nforward = I",
       "100 100 100 1.00 off",
       {"options.conf:1: no action or option called \"brightness\""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> notes;
    const OptionsFile file = ReadOptionsFile(c.text, "options.conf", notes);
    ExpectNotes(notes, c.notes);
    EXPECT_EQ(describe(file.options), c.options);
  }
  // The bindings still count beside the options.
  std::vector<std::string> notes;
  EXPECT_EQ(ReadOptionsFile("volume = 5\nforward = I", "", notes).bindings.keyAction[GLFW_KEY_I],
            static_cast<int>(Action::Forward));
}

TEST(Bindings, TouchAndKeysHoldOneActionAndAllLetGoTogether) {
  const Bindings bindings = DefaultBindings();
  HeldControls held;
  EXPECT_EQ(TranslateTouch(held, Action::Forward, true).event, GLFW_PRESS);
  EXPECT_EQ(TranslateKey(bindings, held, GLFW_KEY_W, P).key, -1);
  EXPECT_EQ(TranslateTouch(held, Action::Forward, false).key, -1);  // W still holds it
  TranslateKey(bindings, held, GLFW_KEY_LEFT_SHIFT, P);
  const std::vector<GameKeyEvent> releases = ReleaseAll(bindings, held);
  ASSERT_EQ(releases.size(), 2u);
  EXPECT_EQ(releases[0].key, GLFW_KEY_W);
  EXPECT_EQ(releases[1].key, GLFW_KEY_LEFT_SHIFT);
  EXPECT_TRUE(ReleaseAll(bindings, held).empty());
}

// What the game's folder may hold under the name: each is one note and the default keys.
TEST(Bindings, HostileFilesLeaveTheDefaults) {
  struct Hostile {
    const char* name;
    void (*make)(const std::string& folder);
    const char* note;
  };
  const Hostile hostile[] = {
      {"a FIFO", [](const std::string& f) { mkfifo((f + "/options.conf").c_str(), 0600); },
       "it is not a regular file"},
      {"a link out of the folder",
       [](const std::string& f) {
         std::ofstream(f + "/../outside.conf") << "forward = I\n";
         symlink("../outside.conf", (f + "/options.conf").c_str());
       },
       "it is a link out of the game's folder"},
      {"too large",
       [](const std::string& f) {
         std::ofstream out(f + "/options.conf");
         for (std::size_t i = 0; i <= kMaxOptionsBytes / 12; ++i) out << "forward = I\n";
       },
       "it is larger than allowed"},
  };
  for (const Hostile& h : hostile) {
    SCOPED_TRACE(h.name);
    char base[] = "/tmp/velloran-options-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const std::string folder = std::string(base) + "/game";
    mkdir(folder.c_str(), 0700);
    h.make(folder);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const Bindings bindings = LoadOptions(folder).bindings;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(err, std::string("options.conf not used: ") + h.note + "\n");
    EXPECT_EQ(bindings.keyAction[GLFW_KEY_I], -1);
    EXPECT_EQ(bindings.keyAction[GLFW_KEY_W], static_cast<int>(Action::Forward));
    std::system(("rm -rf " + std::string(base)).c_str());
  }
}

TEST(HelpPanel, ListsEachActionWithThePlayersLabels) {
  std::vector<std::string> notes;
  const Bindings bindings = ReadBindings("forward = I, Keypad 8\nhelp = F12", "", notes);
  KeyLabels azerty;
  azerty.label = [](void*, int key) -> std::string {
    if (key == GLFW_KEY_A) return "q";
    if (key == GLFW_KEY_S) return "\xc3\xa9";  // a label the HUD's font cannot draw
    return "";
  };
  const std::vector<HudLine> lines = LayoutHelpPanel(bindings, azerty, 1280, 720);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kActionCount + 1));
  EXPECT_EQ(lines[0].text, "Keys (F12 hides this)");
  EXPECT_EQ(lines[1].text, "paddle forward: I or Keypad 8");
  EXPECT_EQ(lines[2].text, "paddle back: S");
  EXPECT_EQ(lines[3].text, "turn left: Q");
  EXPECT_EQ(lines[5].text, "paddle harder: Left Shift");
  EXPECT_EQ(lines[13].text, "this help: F12");
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i].text);
    EXPECT_GE(lines[i].x, 640.0f);
    EXPECT_GT(lines[i].y, 0.0f);
    EXPECT_LT(lines[i].y + 48.0f * lines[i].scale, 720.0f);
    if (i > 0) {
      EXPECT_LT(lines[i].y, lines[i - 1].y);
    }
  }
}
