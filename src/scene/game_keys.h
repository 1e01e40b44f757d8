// game_keys.h: the numbering of the held-key table and of the key handler's events. It is
// GLFW's, because the handlers were written against it and the desktop's key tokens arrive in
// it; every other device (the page's keys, pads, touch controls) is translated into it by the
// input room before it reaches the game. Only the keys the game itself reads are named here.
#pragma once

constexpr int kKeySpace = 32;
constexpr int kKeyA = 65;
constexpr int kKeyD = 68;
constexpr int kKeyM = 77;
constexpr int kKeyS = 83;
constexpr int kKeyW = 87;
constexpr int kKeyEscape = 256;
constexpr int kKeyRight = 262;
constexpr int kKeyLeft = 263;
constexpr int kKeyDown = 264;
constexpr int kKeyUp = 265;
constexpr int kKeyF1 = 290;
constexpr int kKeyF2 = 291;
constexpr int kKeyF3 = 292;
constexpr int kKeyF6 = 295;
constexpr int kKeyF7 = 296;
constexpr int kKeyLeftShift = 340;

// What happened to a key: GLFW's event words.
constexpr int kKeyRelease = 0;
constexpr int kKeyPress = 1;
constexpr int kKeyRepeat = 2;
