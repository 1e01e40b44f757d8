// mute_key.cpp: the key callback wrapper that handles M and forwards every key.
#include "app/mute_key.h"

#include <GLFW/glfw3.h>

#include "audio/game_audio.h"
#include "scene/game_keys.h"

namespace {

GLFWkeyfun gameKeys = nullptr;  // the game's own key callback
GameAudio* mutedAudio = nullptr;

void OnKeyWithMute(GLFWwindow* window, int key, int scancode, int action, int mods) {
  if (key == kKeyM && action == GLFW_PRESS && mutedAudio) ToggleMute(mutedAudio->output);
  if (gameKeys) gameKeys(window, key, scancode, action, mods);
}

}  // namespace

void InstallMuteKey(GLFWwindow* window, GameAudio* audio) {
  mutedAudio = audio;
  GLFWkeyfun previous = glfwSetKeyCallback(window, OnKeyWithMute);
  if (previous != OnKeyWithMute) gameKeys = previous;
}
