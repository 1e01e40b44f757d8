// help_panel.cpp: the help panel's text and places.
#include "input/help_panel.h"

#include <cctype>

#include "input/key_names.h"

namespace {

bool PrintableAscii(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x21 || u > 0x7e) return false;
  }
  return true;
}

}  // namespace

std::string KeyLabel(const KeyLabels& labels, int key) {
  std::string label = labels.label ? labels.label(labels.user, key) : std::string();
  if (!PrintableAscii(label)) {
    const char* name = NameOfKey(key);
    return name ? name : "?";
  }
  // Layouts give letters in lower case; the keys show capitals, as a keyboard's caps do.
  for (char& c : label) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return label;
}

std::vector<HudLine> LayoutHelpPanel(const Bindings& bindings, const KeyLabels& labels,
                                     unsigned width, unsigned height) {
  // Eighteen lines filling about nine tenths of the height, at the font's 48 px cell.
  const float step = static_cast<float>(height) / 20.0f;
  const float scale = step * 0.8f / 48.0f;
  const float x = static_cast<float>(width) * 0.55f;
  float y = static_cast<float>(height) - step * 1.5f;
  std::vector<HudLine> lines;
  std::string help;
  for (int key : KeysOf(bindings, Action::Help))
    help += (help.empty() ? "" : " or ") + KeyLabel(labels, key);
  lines.push_back({help.empty() ? "Keys" : "Keys (" + help + " hides this)", x, y, scale});
  for (const ActionInfo& info : kActions) {
    y -= step;
    std::string keys;
    for (int key : KeysOf(bindings, info.action)) {
      keys += (keys.empty() ? "" : " or ") + KeyLabel(labels, key);
    }
    lines.push_back(
        {std::string(info.description) + ": " + (keys.empty() ? "-" : keys), x, y, scale});
  }
  return lines;
}
