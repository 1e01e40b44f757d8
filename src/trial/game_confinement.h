// game_confinement.h: the rights the game itself keeps, for when a shader that passed its
// trial takes over the driver's compiler in the game's own process.
//
// Three steps, each at the one moment it can be taken. Landlock binds only the thread that
// asks and those it starts later, so the file system and the network are closed first thing
// in main, while the process has one thread: every thread, broker and worker inherits that.
// Abstract unix sockets are closed after the display's connection exists (the X library
// reaches the display through one, and does not fall back when it is refused). A system-call
// filter for every thread comes last, once start-up has opened its own sockets and before the
// first compile.
#pragma once

#include <string>

// What the file system and network rules grant, by path; where the kernel has Landlock.
struct GameFolders {
  std::string data;          // the game's data folder: read
  std::string playerConfig;  // the player's velloran folders: read and write
  std::string playerData;
};

// The folders of a game run from the working directory, the player's made if missing.
GameFolders CurrentGameFolders();
// Turns on no_new_privs, then restricts the file system to reading the game's data and the
// system's libraries and settings, reading and writing the GPU, sound and input devices and the
// player's folders, refuses TCP binds and connects (but for a display named by TCP) and, where
// the kernel can, signals to processes outside the game's own. Returns the Landlock ABI used;
// 0, after one note on standard error, where the kernel has none. Call with one thread.
int ConfineGameFiles(const GameFolders& folders);
// Refuses connections to abstract unix sockets made outside the game (a message bus, another
// program's). True when done or when the kernel cannot; false when the process already has
// other threads, which Landlock would leave free.
bool ScopeGameSockets();
// Installs, on every thread, a filter that refuses with EPERM what the game never does once
// started: running programs, tracing or reading other processes, mounting, loading kernel code,
// BPF, performance counters, io_uring and new sockets. False when it could not be installed.
bool RefuseGameSyscalls();
