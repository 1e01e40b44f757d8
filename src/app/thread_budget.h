// thread_budget.h: fits Mesa's software renderer to a low process limit. Its drawing threads
// count against `ulimit -u` like every process of the player's, and llvmpipe waits for ever
// for a thread it could not start, so where the limit leaves too few it draws with fewer.
#pragma once

// The threads llvmpipe is given when `spare` more threads or processes can still be started
// on a machine of `cpus` processors: -1 to leave it its own choice (room enough), else 0 (draw
// in the game's own thread) up to cpus - 1.
int RendererThreadsFor(int spare, int cpus);

// Counts how many threads the limit still allows (up to what the game could want) and, when
// that is too few, sets LP_NUM_THREADS and says so in one line on standard error. Does nothing
// when LP_NUM_THREADS is already set. Call before the trials start and before any GL is loaded.
void FitRendererToProcessLimit();
