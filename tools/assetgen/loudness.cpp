// loudness.cpp: the K-weighting filter (a high shelf for the head's effect, then a high-pass),
// block powers every 100 ms over 400 ms, and the absolute (-70 LUFS) and relative (-10 LU)
// gates. The filter's analogue prototype is redrawn for any sample rate, so 22.05 and 44.1 kHz
// files are weighted alike.
#include "loudness.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Stage {
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  double Run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};

// The two stages at `rate`, from the recommendation's 48 kHz filter's poles and zeros.
void KWeighting(double rate, Stage& shelf, Stage& highPass) {
  double k = std::tan(kPi * 1681.974450955533 / rate), q = 0.7071752369554196;
  const double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  shelf = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
           2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
  k = std::tan(kPi * 38.13547087602444 / rate), q = 0.5003270373238773;
  a0 = 1.0 + k / q + k * k;
  highPass = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

double Lufs(double power) {
  return power > 0.0 ? -0.691 + 10.0 * std::log10(power) : -200.0;
}

}  // namespace

LoudnessReading MeasureLoudness(const std::vector<float>& samples, int channels, double rate) {
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  const std::size_t step = static_cast<std::size_t>(std::lround(0.1 * rate));
  // Weighted power summed over the channels, per 100 ms step.
  std::vector<double> stepPower(frames / step, 0.0);
  for (int c = 0; c < channels; ++c) {
    Stage shelf{}, highPass{};
    KWeighting(rate, shelf, highPass);
    for (std::size_t i = 0; i < stepPower.size() * step; ++i) {
      const double y = highPass.Run(shelf.Run(samples[i * channels + c]));
      stepPower[i / step] += y * y;
    }
  }
  std::vector<double> blocks;  // mean power of each 400 ms block, every 100 ms
  for (std::size_t b = 0; b + 4 <= stepPower.size(); ++b) {
    blocks.push_back((stepPower[b] + stepPower[b + 1] + stepPower[b + 2] + stepPower[b + 3]) /
                     (4.0 * step));
  }
  LoudnessReading reading;
  auto gatedMean = [&blocks](double gate) {
    double sum = 0.0;
    int n = 0;
    for (double p : blocks) {
      if (Lufs(p) > gate) sum += p, ++n;
    }
    return n ? sum / n : 0.0;
  };
  for (double p : blocks) reading.momentaryMax = std::max(reading.momentaryMax, Lufs(p));
  const double relativeGate = Lufs(gatedMean(-70.0)) - 10.0;
  reading.integrated = Lufs(gatedMean(std::max(-70.0, relativeGate)));
  return reading;
}

double TruePeakDb(const std::vector<float>& samples, int channels) {
  // Three points between each pair of samples, from a Hann-windowed sinc 16 samples each side.
  constexpr int kTaps = 16, kOver = 4;
  double peak = 0.0;
  const long frames = static_cast<long>(samples.size()) / channels;
  for (int c = 0; c < channels; ++c) {
    for (long i = 0; i < frames; ++i) {
      peak = std::max(peak, std::fabs(static_cast<double>(samples[i * channels + c])));
      for (int phase = 1; phase < kOver; ++phase) {
        const double at = i + static_cast<double>(phase) / kOver;
        double v = 0.0;
        for (long j = i - kTaps + 1; j <= i + kTaps; ++j) {
          if (j < 0 || j >= frames) continue;
          const double x = at - j, w = 0.5 + 0.5 * std::cos(kPi * x / (kTaps + 1));
          v += samples[j * channels + c] * std::sin(kPi * x) / (kPi * x) * w;
        }
        peak = std::max(peak, std::fabs(v));
      }
    }
  }
  return 20.0 * std::log10(std::max(peak, 1e-10));
}
