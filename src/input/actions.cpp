// actions.cpp: looking actions up by name and by key.
#include "input/actions.h"

#include <cstring>

int ActionNamed(const char* name) {
  for (int i = 0; i < kActionCount; ++i) {
    if (std::strcmp(kActions[i].name, name) == 0) return i;
  }
  return -1;
}

int ActionOfGameKey(int gameKey) {
  for (int i = 0; i < kActionCount; ++i) {
    if (kActions[i].gameKey == gameKey) return i;
  }
  return -1;
}
