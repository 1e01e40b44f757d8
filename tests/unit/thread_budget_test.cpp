// The software renderer's threads against the room a process limit leaves.
#include "app/thread_budget.h"

#include <gtest/gtest.h>

TEST(ThreadBudget, GivesTheRendererOnlyTheRoomTheTrialsLeave) {
  struct Case {
    int spare, cpus, threads;
  } const cases[] = {
      {1000, 2, -1},  // a usual limit: llvmpipe keeps its own choice
      {12, 2, -1},    // just enough for the trials, the sound and two threads of two
      {11, 2, 1},    {10, 2, 1}, {9, 2, 0},
      {8, 2, 0},     {0, 2, 0},  {39, 16, 15},  // many processors, a middling limit
      {10, 0, -1},                              // an unknown processor count counts as one
  };
  for (const Case& c : cases)
    EXPECT_EQ(RendererThreadsFor(c.spare, c.cpus), c.threads) << c.spare << " spare, " << c.cpus;
}
