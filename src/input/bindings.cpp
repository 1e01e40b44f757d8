// bindings.cpp: the bindings file's lines, and the counting of held keys per action.
#include "input/bindings.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "input/key_names.h"

namespace {

std::string Trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// One usable line: the action and the keys it names, with the line's number for notes.
struct BindingLine {
  int action;
  std::vector<int> keys;
  std::vector<int> buttons;  // pad buttons
  int number;
};

bool Bound(int key) {
  return key >= 0 && key < KeyCount;
}

}  // namespace

Bindings DefaultBindings() {
  Bindings bindings;
  for (signed char& action : bindings.keyAction) action = -1;
  for (signed char& action : bindings.padAction) action = -1;
  for (int i = 0; i < kActionCount; ++i) {
    bindings.keyAction[kActions[i].gameKey] = static_cast<signed char>(i);
    for (int button : kActions[i].padButtons) {
      if (button >= 0) bindings.padAction[button] = static_cast<signed char>(i);
    }
  }
  return bindings;
}

bool PadCanDo(int action) {
  return kActions[action].padButtons[0] >= 0;
}

Bindings ReadBindings(const std::string& text, const std::string& fileName,
                      std::vector<std::string>& notes) {
  return ReadOptionsFile(text, fileName, notes).bindings;
}

OptionsFile ReadOptionsFile(const std::string& text, const std::string& fileName,
                            std::vector<std::string>& notes) {
  OptionsFile file;
  std::vector<std::pair<int, std::string>> numbered;  // told in line order at the end
  auto note = [&](int number, const std::string& what) {
    numbered.emplace_back(number, fileName + ":" + std::to_string(number) + ": " + what);
  };
  std::vector<BindingLine> lines;
  std::istringstream in(text);
  std::string raw;
  for (int number = 1; std::getline(in, raw); ++number) {
    if (raw.size() > kMaxOptionsLine) {
      note(number, "line longer than " + std::to_string(kMaxOptionsLine) + " bytes, skipped");
      continue;
    }
    const std::string line = Trimmed(raw.substr(0, raw.find('#')));
    if (line.empty()) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      note(number, "not a \"name = value\" line, skipped");
      continue;
    }
    const std::string name = Lower(Trimmed(line.substr(0, equals)));
    const int action = ActionNamed(name.c_str());
    if (action < 0 && IsOptionName(name)) {
      std::string problem;
      SetOption(file.options, name, Lower(Trimmed(line.substr(equals + 1))), problem);
      if (!problem.empty()) note(number, problem);
      continue;
    }
    if (action < 0) {
      note(number, "no action or option called \"" + name + "\"");
      continue;
    }
    BindingLine binding{action, {}, {}, number};
    std::istringstream values(line.substr(equals + 1));
    std::string value;
    while (std::getline(values, value, ',')) {
      const std::string keyName = Trimmed(value);
      const int key = KeyFromName(keyName.c_str());
      const int button = PadButtonFromName(keyName.c_str());
      if (button >= 0 && !PadCanDo(action)) {
        note(number, "the pad cannot do " + name);
      } else if (button >= 0) {
        binding.buttons.push_back(button);
      } else if (key < 0) {
        note(number, "no key called \"" + keyName + "\" (README lists the names)");
      } else {
        binding.keys.push_back(key);
      }
    }
    if (!binding.keys.empty() || !binding.buttons.empty()) lines.push_back(binding);
  }

  // An action named with a usable key gives up its defaults before any key is handed out, so
  // a line may take a key that a later line frees.
  Bindings& bindings = file.bindings;
  bindings = DefaultBindings();
  for (const BindingLine& line : lines) {
    for (signed char& action : bindings.keyAction) {
      if (action == line.action && !line.keys.empty()) action = -1;
    }
    for (signed char& action : bindings.padAction) {
      if (action == line.action && !line.buttons.empty()) action = -1;
    }
  }
  std::vector<bool> fromFile(KeyCount, false);
  for (const BindingLine& line : lines) {
    for (int key : line.keys) {
      signed char& bound = bindings.keyAction[key];
      if (bound >= 0 && bound != line.action) {
        note(line.number, std::string(NameOfKey(key)) + " is already " +
                              (fromFile[key] ? "bound to " : "the key of ") + kActions[bound].name +
                              ", not bound to " + kActions[line.action].name);
        continue;
      }
      bound = static_cast<signed char>(line.action);
      fromFile[key] = true;
    }
    for (int button : line.buttons) {
      signed char& bound = bindings.padAction[button];
      if (bound >= 0 && bound != line.action) {
        note(line.number, std::string(kPadButtonNames[button]) + " already does " +
                              kActions[bound].name + ", not bound to " +
                              kActions[line.action].name);
        continue;
      }
      bound = static_cast<signed char>(line.action);
    }
  }
  // An action whose every named key was refused keeps its own key, where that is still free:
  // a slip in the file must not leave the player without a way to jump or quit.
  for (int i = 0; i < kActionCount; ++i) {
    const int own = kActions[i].gameKey;
    if (KeysOf(bindings, kActions[i].action).empty() && bindings.keyAction[own] < 0) {
      bindings.keyAction[own] = static_cast<signed char>(i);
    }
    bool onPad = false;
    for (signed char action : bindings.padAction) onPad = onPad || action == i;
    for (int button : kActions[i].padButtons) {
      if (!onPad && button >= 0 && bindings.padAction[button] < 0) {
        bindings.padAction[button] = static_cast<signed char>(i);
      }
    }
  }
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& line : numbered) notes.push_back(std::move(line.second));
  return file;
}

std::vector<int> KeysOf(const Bindings& bindings, Action action) {
  std::vector<int> keys;
  for (int key = 0; key < KeyCount; ++key) {
    if (bindings.keyAction[key] == static_cast<int>(action)) keys.push_back(key);
  }
  return keys;
}

GameKeyEvent TranslateKey(const Bindings& bindings, HeldControls& held, int key, int event) {
  if (!Bound(key)) return {};  // GLFW's unknown key (-1): the handlers would ignore it too
  const int action = bindings.keyAction[key];
  if (action < 0) {
    // An action's own key that the player moved elsewhere must not still do the action.
    if (ActionOfGameKey(key) >= 0) return {};
    return {key, event};
  }
  const int gameKey = kActions[action].gameKey;
  int& count = held.count[action];
  if (event == kKeyPress) {
    if (held.key[key]) return {gameKey, kKeyRepeat};
    held.key[key] = true;
    return ++count == 1 ? GameKeyEvent{gameKey, kKeyPress} : GameKeyEvent{};
  }
  if (event == kKeyRelease) {
    if (held.key[key]) {
      held.key[key] = false;
      --count;
    }
    return count == 0 ? GameKeyEvent{gameKey, kKeyRelease} : GameKeyEvent{};
  }
  return {gameKey, event};
}

GameKeyEvent TranslateTouch(HeldControls& held, Action action, bool down) {
  const int index = static_cast<int>(action);
  if (held.touch[index] == down) return {};
  held.touch[index] = down;
  int& count = held.count[index];
  count += down ? 1 : -1;
  if (down) return count == 1 ? GameKeyEvent{kActions[index].gameKey, kKeyPress} : GameKeyEvent{};
  return count == 0 ? GameKeyEvent{kActions[index].gameKey, kKeyRelease} : GameKeyEvent{};
}

std::vector<GameKeyEvent> ReleaseAll(const Bindings& bindings, HeldControls& held) {
  std::vector<GameKeyEvent> releases;
  auto add = [&releases](GameKeyEvent event) {
    if (event.key >= 0) releases.push_back(event);
  };
  for (int key = 0; key < KeyCount; ++key) {
    if (held.key[key]) add(TranslateKey(bindings, held, key, kKeyRelease));
  }
  for (int i = 0; i < kActionCount; ++i) {
    if (held.touch[i]) add(TranslateTouch(held, static_cast<Action>(i), false));
  }
  return releases;
}
