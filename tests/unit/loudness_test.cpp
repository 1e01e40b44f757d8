// The loudness measure against EBU Tech 3341's reference signals (stereo 1 kHz sines whose
// loudness the document states), and the true peak of a crest between samples.
#include "loudness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Stretches of {seconds, peak dBFS} of a 1 kHz sine, the same in both channels.
std::vector<float> Sines(std::initializer_list<std::pair<double, double>> stretches, double rate) {
  std::vector<float> s;
  double t = 0.0;
  for (const auto& [seconds, dbfs] : stretches) {
    for (long i = 0; i < std::lround(seconds * rate); ++i, t += 1.0 / rate) {
      const double v = std::pow(10.0, dbfs / 20.0) * std::sin(2.0 * kPi * 1000.0 * t);
      s.insert(s.end(), 2, static_cast<float>(v));
    }
  }
  return s;
}

}  // namespace

TEST(Loudness, ReadsTheReferenceSignalsAsStated) {
  struct Case {
    const char* name;
    std::vector<float> samples;
    double rate, momentaryMax, integrated;
  } const cases[] = {
      {"case 1: -23 dBFS for 20 s", Sines({{20, -23}}, 48000), 48000, -23.0, -23.0},
      {"case 1 at 44.1 kHz", Sines({{20, -23}}, 44100), 44100, -23.0, -23.0},
      {"case 2: -33 dBFS for 20 s", Sines({{20, -33}}, 48000), 48000, -33.0, -33.0},
      {"case 3: the relative gate", Sines({{10, -36}, {60, -23}, {10, -36}}, 48000), 48000, -23.0,
       -23.0},
      {"case 4: both gates", Sines({{10, -72}, {10, -36}, {60, -23}, {10, -36}, {10, -72}}, 48000),
       48000, -23.0, -23.0},
      {"case 5: a louder middle", Sines({{20, -26}, {20.1, -20}, {20, -26}}, 48000), 48000, -20.0,
       -23.0},
  };
  for (const Case& c : cases) {
    const LoudnessReading reading = MeasureLoudness(c.samples, 2, c.rate);
    EXPECT_NEAR(reading.momentaryMax, c.momentaryMax, 0.1) << c.name;
    EXPECT_NEAR(reading.integrated, c.integrated, 0.1) << c.name;
  }
}

TEST(Loudness, TruePeakFindsTheCrestBetweenSamples) {
  // A quarter of the sample rate, 45 degrees out of phase: every sample is at 0.707 (-3 dBFS)
  // while the wave itself reaches 1 (0 dBTP).
  std::vector<float> s;
  for (int i = 0; i < 4800; ++i) s.push_back(static_cast<float>(std::sin(kPi / 2 * i + kPi / 4)));
  EXPECT_NEAR(TruePeakDb(s, 1), 0.0, 0.3);
}
