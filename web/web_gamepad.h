// web_gamepad.h: the browser's gamepads, read through Emscripten's joystick API.
#pragma once

struct Session;

// Reads every pad the page sees and applies them to the session's game; the platform's poll
// step calls it right after the window's events.
void ReadWebPads(Session& session);
