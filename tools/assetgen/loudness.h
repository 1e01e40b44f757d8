// loudness.h: loudness as a listener perceives it (ITU-R BS.1770: K-weighted power in 400 ms
// blocks, with the gates of EBU R 128 for a whole programme) and the true peak, for setting
// the sounds' levels by ear rather than by their highest sample.
#pragma once

#include <cstddef>
#include <vector>

struct LoudnessReading {
  double momentaryMax = -200.0;  // LUFS: the loudest 400 ms block
  double integrated = -200.0;    // LUFS: the gated mean over the whole signal
};

// Interleaved samples (`channels` of them a frame, full scale +-1) at `rate`. Every channel
// counts with weight 1 (left, right or a single mono channel).
LoudnessReading MeasureLoudness(const std::vector<float>& samples, int channels, double rate);
// The highest level between samples as well as at them (4x oversampled), in dBFS.
double TruePeakDb(const std::vector<float>& samples, int channels);
