// broker.h: the trial's broker, the process between the game and its workers.
//
// Forked before the game has any thread, it reads each file with the game's safe open, forks
// a worker for it (at most `limits.parallel` at once), watches each worker's memory and time,
// judges how it ended and sends the game one record per file, in the order the game will ask.
// A passed model's textures are tried right after it. Nothing here decodes a file.
#pragma once

#include <sys/types.h>

#include <vector>

#include "trial/file_trial.h"

// Runs in the forked child and never returns; `outFd` is the pipe to the game.
[[noreturn]] void RunBroker(std::vector<TrialFile> plan, const TrialLimits& limits, int outFd,
                            pid_t game);
