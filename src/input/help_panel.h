// help_panel.h: the lines of the panel F1 shows over the game: each action and the keys that
// do it, labelled as the player's own keyboard prints them. Laid out here, without a window;
// the render side draws the lines with the HUD's text.
#pragma once

#include <string>
#include <vector>

#include "input/bindings.h"
#include "scene/game_rules.h"  // HudLine

// The label the player's keyboard prints on `key`; empty where the platform does not know,
// and then the key's US name is shown.
struct KeyLabels {
  void* user = nullptr;
  std::string (*label)(void* user, int key) = nullptr;
};

// What to show for `key`: the player's label when it is printable ASCII (the HUD's font has
// no other glyphs), else the US name.
std::string KeyLabel(const KeyLabels& labels, int key);

// A title line, then one line per action: "paddle forward: W", keys joined by " or ".
// Placed in window pixels (origin bottom-left) in the right half of a width x height window.
std::vector<HudLine> LayoutHelpPanel(const Bindings& bindings, const KeyLabels& labels,
                                     unsigned width, unsigned height);
