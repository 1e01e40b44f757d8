// The game's side of the trial takes only what it asked for: a fake broker sends records for
// a path never planned, a second record for a planned path, a payload past the byte budget,
// then falls silent. The game keeps the first record, refuses the oversized one and stops
// waiting at the deadline instead of hanging.
#include <gtest/gtest.h>
#include <unistd.h>

#include "trial/channel.h"
#include "trial/file_trial.h"

TEST(TrialChannel, TakesOnlyAskedForRecordsOnceWithinBudgetAndDeadline) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  FileTrial trial;
  trial.readFd = fds[0];
  trial.broker = -1;
  trial.limits.totalBytes = 100;
  trial.deadline = MonotonicSeconds() + 0.5;
  for (const char* path : {"/game/a.jpg", "/game/b.jpg", "/game/c.jpg"})
    trial.expected.insert(path);

  TrialRecord first, forged, big;
  first.payload = "first";
  forged.payload = "forged";
  big.payload = std::string(200, 'x');
  std::string stream;
  AppendRecord(stream, "/home/user/.ssh/id_rsa", forged);  // never asked for
  AppendRecord(stream, "/game/a.jpg", first);
  AppendRecord(stream, "/game/a.jpg", forged);  // a second record for the same file
  AppendRecord(stream, "/game/b.jpg", big);
  ASSERT_TRUE(WriteAll(fds[1], stream.data(), stream.size()));  // then silence, no end mark

  const TrialRecord* a = AwaitTrialRecord(trial, "/game/a.jpg");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->payload, "first");
  const TrialRecord* b = AwaitTrialRecord(trial, "/game/b.jpg");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->verdict, TrialVerdict::OutOfMemory);
  EXPECT_EQ(trial.records.count("/home/user/.ssh/id_rsa"), 0u);
  EXPECT_EQ(AwaitTrialRecord(trial, "/game/a.jpg")->payload, "first");
  const double before = MonotonicSeconds();
  EXPECT_EQ(AwaitTrialRecord(trial, "/game/c.jpg"), nullptr);
  EXPECT_LT(MonotonicSeconds() - before, 2.0);
  EXPECT_TRUE(trial.overTime);
  close(fds[1]);
}
