// mute_key.h: M mutes and unmutes the sound. It sits in front of the game's own key handler,
// which still sees every key as before, so muting changes nothing in the game.
#pragma once

struct GLFWwindow;
struct GameAudio;

// Installs the mute key in front of the key callback already set on `window`.
void InstallMuteKey(GLFWwindow* window, GameAudio* audio);
