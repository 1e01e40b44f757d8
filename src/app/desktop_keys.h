// desktop_keys.h: the desktop's side of the controls: the player's options.conf, and the
// labels the keyboard's layout prints on its keys (GLFW's key tokens are positions).
#pragma once

#include <string>

#include "input/bindings.h"

// Where options.conf is looked for: the player's folder when the launcher named one and it
// holds the file (a first installed start leaves a commented one there), else the game's
// folder, beside settings.conf.
std::string OptionsFolder();

// The bindings and options of `folder`/options.conf: the defaults where there is no such file,
// and the file's lines otherwise. Every problem is one note on standard error naming the line; a
// file that is too large, not a regular file, or a link out of the folder is not read at all.
OptionsFile LoadOptions(const std::string& folder);

// glfwGetKeyName's label for `key` (empty for keys without one); a KeyLabels function.
std::string DesktopKeyLabel(void* user, int key);
