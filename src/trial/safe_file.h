// safe_file.h: how the game and its trial open the files it reads at run time.
//
// A run-time file is whatever the player's folder holds under that name: a FIFO that never
// answers, a device that never ends, a directory, a link to somewhere else. Every open here is
// non-blocking, takes regular files only (checked on the open descriptor, so nothing can be
// swapped in between the check and the read) and reads at most a cap suited to the file's
// type. A texture named by a model must also stay inside that model's folder: the name comes
// from the file, and a model must not be able to show the player's private pictures.
#pragma once

#include <cstddef>
#include <string>

enum class RunFileStatus {
  Read,        // the whole file is in `bytes`
  Missing,     // no such file (or a path the system refused to look up)
  NotRegular,  // a FIFO, device, socket or directory
  TooLarge,    // larger than the cap for its type
  Outside,     // a texture name that leaves its model's folder
  Unreadable,  // opened, but a read failed
};

// Opens `path` for reading as a run-time file: non-blocking, no controlling terminal,
// close-on-exec, regular files only. A path that a link leads out of the game's folders (the
// working directory and the player's folders; /usr/share is fine) counts as missing: a data
// folder must not be able to show the game a private file, or one it is not meant to read. A
// descriptor, or -1 with `status` saying why.
int OpenRunFile(const std::string& path, RunFileStatus& status);
// The whole of `path` when it is a regular file of at most `maxBytes`.
RunFileStatus ReadRunFile(const std::string& path, std::size_t maxBytes, std::string& bytes);
// The whole of the file `name` names inside `folder` (a model's folder and one of its texture
// names): `name` may not be absolute, climb out with "..", or pass through a link that leads
// out of `folder`. The folder itself is taken as given.
RunFileStatus ReadRunFileInside(const std::string& folder, const std::string& name,
                                std::size_t maxBytes, std::string& bytes);
// Words for a status that is not Read, for the player ("it is not a regular file").
const char* RunFileWords(RunFileStatus status);
