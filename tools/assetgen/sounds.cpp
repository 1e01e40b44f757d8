// sounds.cpp: the game's ten sounds, each a few lines of synthesis: filtered noise for water
// and air, damped modes for wood and hull, FM for the squeak, additive tones for the endings.
// Pitches are kept apart (hull ~70-130 Hz, knock ~380 Hz, horn 392-196 Hz, squeak 0.9-1.6 kHz,
// arpeggio 1-2 kHz, tick 2.6 kHz) so a listener, or a test, can tell the sounds apart.
#include <cmath>
#include <cstdint>

#include "sound.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kSoundRate;

// Fixed-seed white noise in [-1, 1) (SplitMix64).
struct Noise {
  uint64_t state;
  explicit Noise(uint64_t seed) : state(seed) {}
  double Next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / 4503599627370496.0 - 1.0;  // 2^52
  }
  double Range(double lo, double hi) { return lo + (hi - lo) * 0.5 * (Next() + 1.0); }
};

// A second-order filter (the audio cookbook's forms); its coefficients may change every sample
// for sweeps while the state carries on.
struct Biquad {
  enum Kind { LowPass, BandPass, HighPass };
  double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  void Set(Kind kind, double freq, double q) {
    const double w = 2.0 * kPi * freq / kRate, c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    switch (kind) {
      case LowPass:
        b0 = b2 = (1.0 - c) / 2.0, b1 = 1.0 - c;
        break;
      case HighPass:
        b0 = b2 = (1.0 + c) / 2.0, b1 = -(1.0 + c);
        break;
      case BandPass:
        b0 = alpha, b1 = 0.0, b2 = -alpha;
        break;
    }
    b0 /= a0, b1 /= a0, b2 /= a0;
    a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
  }
  double Run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};

// Linear rise over `attack` seconds, then exponential fall with time constant `decay`.
double Env(double t, double attack, double decay) {
  if (t < 0.0) return 0.0;
  return t < attack ? t / attack : std::exp(-(t - attack) / decay);
}

// A damped sine: one resonant mode of a struck body.
double Mode(double t, double freq, double decay) {
  return t < 0.0 ? 0.0 : std::sin(2.0 * kPi * freq * t) * std::exp(-t / decay);
}

std::vector<float> Frames(double seconds) {
  return std::vector<float>(static_cast<size_t>(std::lround(seconds * kRate)), 0.0f);
}

// Scales to `peak` and, for a one-shot, fades the last 4 ms so it ends without a click.
void Finish(std::vector<float>& s, double peak, bool fadeOut = true) {
  double most = 0.0;
  for (float v : s) most = std::max(most, static_cast<double>(std::fabs(v)));
  const double gain = most > 0.0 ? peak / most : 0.0;
  const size_t fade = fadeOut ? static_cast<size_t>(0.004 * kRate) : 0;
  for (size_t i = 0; i < s.size(); ++i) {
    double g = gain;
    const size_t left = s.size() - i;
    if (left <= fade) g *= static_cast<double>(left - 1) / static_cast<double>(fade);
    s[i] = static_cast<float>(s[i] * g);
  }
}

double Time(size_t i) {
  return static_cast<double>(i) / kRate;
}

// The blade dips: a downward-sweeping watery swish and a small low bloop.
std::vector<float> Paddle() {
  std::vector<float> s = Frames(0.4);
  Noise noise(11);
  Biquad swish;
  double bloop = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    swish.Set(Biquad::BandPass, 350.0 + 1400.0 * std::exp(-t * 6.0), 1.3);
    bloop += 2.0 * kPi * (240.0 - 150.0 * t) / kRate;
    s[i] = static_cast<float>(swish.Run(noise.Next()) * Env(t, 0.04, 0.08) +
                              0.25 * std::sin(bloop) * Env(t - 0.03, 0.006, 0.05));
  }
  Finish(s, 0.8);
  return s;
}

// A rubber duck: an FM tone gliding up then down, with a little breath.
std::vector<float> Squeak() {
  std::vector<float> s = Frames(0.3);
  Noise noise(22);
  Biquad breath;
  double carrier = 0.0, modulator = 0.0;
  constexpr double kLength = 0.27;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i), u = std::min(t / kLength, 1.0);
    const double freq = 900.0 + 700.0 * std::sin(kPi * std::pow(u, 0.6)) - 100.0 * u;
    carrier += 2.0 * kPi * freq / kRate;
    modulator += 2.0 * kPi * freq * 2.0 / kRate;
    const double env =
        std::min(1.0, t / 0.015) * std::min(1.0, std::max(0.0, (kLength - t) / 0.05));
    breath.Set(Biquad::BandPass, 2.0 * freq, 4.0);
    s[i] = static_cast<float>(env * (std::sin(carrier + 1.4 * env * std::sin(modulator)) +
                                     0.3 * breath.Run(noise.Next())));
  }
  Finish(s, 0.8);
  return s;
}

// A jump: a rising whoosh of air and a springy boing.
std::vector<float> TakeOff() {
  std::vector<float> s = Frames(0.45);
  Noise noise(33);
  Biquad whoosh;
  double spring = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    whoosh.Set(Biquad::BandPass, 300.0 * std::pow(8.0, t / 0.45), 2.0);
    spring += 2.0 * kPi * 180.0 * (1.0 + 1.6 * t / 0.45) *
              (1.0 + 0.06 * std::sin(2.0 * kPi * 24.0 * t)) / kRate;
    s[i] = static_cast<float>(whoosh.Run(noise.Next()) * 2.0 * Env(t, 0.09, 0.14) +
                              0.45 * std::sin(spring) * Env(t, 0.004, 0.11));
  }
  Finish(s, 0.8);
  return s;
}

// Landing in the water: a darkening noise burst, a tail, and bubbles rising in pitch.
std::vector<float> Splash() {
  std::vector<float> s = Frames(0.9);
  Noise noise(44), place(45);
  Biquad body, tail;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    body.Set(Biquad::LowPass, 500.0 + 5000.0 * std::exp(-t * 6.0), 0.8);
    tail.Set(Biquad::BandPass, 900.0, 0.9);
    const double n = noise.Next();
    s[i] = static_cast<float>(body.Run(n) * Env(t, 0.008, 0.16) +
                              0.5 * tail.Run(n) * Env(t, 0.02, 0.35));
  }
  for (int b = 0; b < 14; ++b) {
    const double start = place.Range(0.05, 0.7), f0 = place.Range(600.0, 1800.0);
    const double amp = place.Range(0.08, 0.2);
    double phase = 0.0;
    for (size_t i = static_cast<size_t>(start * kRate); i < s.size(); ++i) {
      const double tau = Time(i) - start;
      if (tau > 0.06) break;
      phase += 2.0 * kPi * f0 * (1.0 + 3.0 * tau) / kRate;
      s[i] += static_cast<float>(amp * std::sin(phase) * std::exp(-tau / 0.015));
    }
  }
  Finish(s, 0.8);
  return s;
}

// Landing on the cube or the platform: a hollow wooden knock (a few damped modes and a click).
std::vector<float> Knock() {
  std::vector<float> s = Frames(0.3);
  Noise noise(55);
  Biquad click;
  click.Set(Biquad::HighPass, 2000.0, 0.7);
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    s[i] = static_cast<float>(Mode(t, 380.0, 0.07) + 0.5 * Mode(t, 1020.0, 0.03) +
                              0.3 * Mode(t, 1730.0, 0.018) + 0.3 * Mode(t, 190.0, 0.09) +
                              0.6 * click.Run(noise.Next()) * std::exp(-t / 0.002));
  }
  Finish(s, 0.8);
  return s;
}

// The hull against a wall: a low thud whose pitch drops, hollow overtones and a soft impact.
std::vector<float> Bump() {
  std::vector<float> s = Frames(0.55);
  Noise noise(66);
  Biquad thump;
  thump.Set(Biquad::LowPass, 400.0, 0.7);
  double phase = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    phase += 2.0 * kPi * (70.0 + 60.0 * std::exp(-t / 0.03)) / kRate;
    s[i] = static_cast<float>(std::sin(phase) * Env(t, 0.003, 0.16) + 0.5 * Mode(t, 130.0, 0.1) +
                              0.2 * Mode(t, 260.0, 0.05) +
                              0.6 * thump.Run(noise.Next()) * Env(t, 0.003, 0.03));
  }
  Finish(s, 0.85);
  return s;
}

// One clock tick: a short, clearly pitched blip.
std::vector<float> Tick() {
  std::vector<float> s = Frames(0.12);
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    s[i] = static_cast<float>(std::sin(2.0 * kPi * 2640.0 * t) * Env(t, 0.001, 0.02) +
                              0.25 * Mode(t, 5280.0, 0.008));
  }
  Finish(s, 0.7);
  return s;
}

// Every duck: a bright rising arpeggio (C6 E6 G6 C7) of bell-like FM notes.
std::vector<float> Win() {
  std::vector<float> s = Frames(1.3);
  const double notes[] = {1046.5, 1318.5, 1568.0, 2093.0};
  for (int n = 0; n < 4; ++n) {
    const double start = 0.11 * n, decay = n == 3 ? 0.45 : 0.25;
    for (size_t i = static_cast<size_t>(start * kRate); i < s.size(); ++i) {
      const double t = Time(i) - start, f = notes[n];
      const double bright = 1.5 * std::exp(-t / 0.08);
      s[i] +=
          static_cast<float>(std::sin(2.0 * kPi * f * t + bright * std::sin(2.0 * kPi * f * t)) *
                                 Env(t, 0.004, decay) +
                             0.2 * Mode(t, 2.0 * f, decay * 0.4));
    }
  }
  Finish(s, 0.8);
  return s;
}

// Time up: a falling horn, a band-limited sawtooth gliding down an octave.
std::vector<float> TimeUp() {
  std::vector<float> s = Frames(1.4);
  double phase = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    const double freq = 392.0 * std::pow(0.5, std::min(t / 1.2, 1.0));
    phase += 2.0 * kPi * freq / kRate;
    double tone = 0.0;
    for (int k = 1; k * freq < 4000.0; ++k) tone += std::sin(k * phase) / k * std::exp(-0.15 * k);
    const double env = std::min(1.0, t / 0.03) * std::min(1.0, (1.4 - t) / 0.3);
    s[i] = static_cast<float>(tone * env);
  }
  Finish(s, 0.75);
  return s;
}

// The hall: water lapping against the pool's edge over a low mains hum, a seamless loop.
std::vector<float> Ambience() {
  constexpr double kLoop = 6.0, kFade = 0.5;
  const size_t loop = static_cast<size_t>(kLoop * kRate), fade = static_cast<size_t>(kFade * kRate);
  // Stationary water noise, made seamless by crossfading the stretch past the loop's end
  // into its start with equal power.
  std::vector<double> water(loop + fade);
  Noise noise(77), place(78);
  Biquad low, gurgle;
  low.Set(Biquad::LowPass, 500.0, 0.7);
  gurgle.Set(Biquad::BandPass, 1100.0, 3.0);
  for (double& w : water) {
    const double n = noise.Next();
    w = low.Run(n) + 0.4 * gurgle.Run(n);
  }
  std::vector<float> s(loop);
  for (size_t i = 0; i < loop; ++i) {
    double w = water[i];
    if (i < fade) {
      const double x = static_cast<double>(i) / fade;
      w = water[i] * std::sqrt(x) + water[loop + i] * std::sqrt(1.0 - x);
    }
    s[i] = static_cast<float>(w);
  }
  // Laps: smooth swells at fixed random times, wrapped around the loop.
  std::vector<double> swell(loop, 0.25);
  for (int l = 0; l < 9; ++l) {
    const double at = place.Range(0.0, kLoop), width = place.Range(0.3, 0.8);
    const double height = place.Range(0.5, 1.0);
    const size_t from = static_cast<size_t>(at * kRate), span = static_cast<size_t>(width * kRate);
    for (size_t k = 0; k < span; ++k)
      swell[(from + k) % loop] +=
          height * 0.5 * (1.0 - std::cos(2.0 * kPi * static_cast<double>(k) / span));
  }
  // The hum: whole cycles of 50 Hz and its harmonics in the loop, so it wraps exactly.
  for (size_t i = 0; i < loop; ++i) {
    const double t = Time(i);
    const double hum = 0.05 * std::sin(2.0 * kPi * 50.0 * t) +
                       0.03 * std::sin(2.0 * kPi * 100.0 * t) +
                       0.012 * std::sin(2.0 * kPi * 150.0 * t);
    s[i] = static_cast<float>(s[i] * 0.35 * swell[i] + hum * (1.0 + 0.2 * std::sin(kPi * t)));
  }
  Finish(s, 0.3, false);
  return s;
}

}  // namespace

std::vector<NamedSound> MakeSounds() {
  return {{"sounds/paddle.ogg", Paddle()},   {"sounds/squeak.ogg", Squeak()},
          {"sounds/takeoff.ogg", TakeOff()}, {"sounds/splash.ogg", Splash()},
          {"sounds/knock.ogg", Knock()},     {"sounds/bump.ogg", Bump()},
          {"sounds/tick.ogg", Tick()},       {"sounds/win.ogg", Win()},
          {"sounds/timeup.ogg", TimeUp()},   {"sounds/ambience.ogg", Ambience(), true}};
}
