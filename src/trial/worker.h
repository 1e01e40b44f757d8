// worker.h: one trial worker, the process that decodes one file.
//
// The broker has already read the file; the worker confines itself before a decoder sees a
// byte, decodes from memory exactly as the loaders would, sends the decoded bytes back and
// ends. Whatever the file does to the decoder happens inside this process.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "trial/file_trial.h"

// Runs in the forked child and never returns. `readable` false: the file could not be
// opened, which the decoder reports in its own words (a model) or as a failed decode.
[[noreturn]] void RunWorker(const TrialFile& file, const std::string& bytes, bool readable,
                            const TrialLimits& limits, std::size_t addressSpace, int reportFd,
                            pid_t broker);
