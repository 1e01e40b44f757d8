// sounds.cpp: the game's ten sounds, each a few lines of synthesis: filtered noise for water
// and air, damped modes for wood and hull, FM for the squeak, additive tones for the endings.
// Pitches are kept apart (hull ~70-340 Hz, knock ~380 Hz, horn 330-220 Hz, squeak 0.9-1.5 kHz,
// arpeggio 1-2 kHz, tick 2.6 kHz) so a listener, or a test, can tell the sounds apart.
//
// Each file is then scaled to one loudness (the ambience to its own), not to a peak: the game's
// gains set how loud each plays against the others, and a file's peak says little about that.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "loudness.h"
#include "sound.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// Water and air keep their hiss up to 20 kHz; the rest has nothing above 11 kHz to keep.
constexpr double kWaterRate = 44100.0;
constexpr double kRate = 22050.0;
// Every one-shot file measures this (momentary max); the ambience this (integrated).
constexpr double kOneShotLufs = -16.0;
constexpr double kAmbienceLufs = -20.0;
constexpr double kMostPeak = 0.85;  // below -1 dBFS between samples too, with a margin

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
  double rate = kRate;
  double b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  void Set(Kind kind, double freq, double q) {
    const double w = 2.0 * kPi * freq / rate, c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
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

std::vector<float> Frames(double seconds, double rate = kRate) {
  return std::vector<float>(static_cast<size_t>(std::lround(seconds * rate)), 0.0f);
}

// Fades a one-shot's last 4 ms so it ends without a click.
void FadeOut(std::vector<float>& s, double rate = kRate) {
  const size_t fade = std::min(s.size(), static_cast<size_t>(0.004 * rate));
  for (size_t k = 0; k < fade; ++k) {
    s[s.size() - 1 - k] *= static_cast<float>(static_cast<double>(k) / static_cast<double>(fade));
  }
}

double Time(size_t i, double rate = kRate) {
  return static_cast<double>(i) / rate;
}

// Scales the sound to its loudness: a one-shot's loudest 400 ms (heard from 100 ms of silence
// before it, as the game starts it), a loop's gated mean. A peak over kMostPeak lowers it.
NamedSound Scaled(const char* path, std::vector<float> samples, double rate, int channels = 1) {
  NamedSound sound{path, std::move(samples), static_cast<int>(rate), channels};
  sound.loop = channels == 2;
  std::vector<float> heard(static_cast<size_t>(0.1 * rate) * channels, 0.0f);
  heard.insert(heard.end(), sound.samples.begin(), sound.samples.end());
  heard.resize(std::max(heard.size(), static_cast<size_t>(0.5 * rate) * channels), 0.0f);
  const LoudnessReading reading = MeasureLoudness(heard, channels, rate);
  const double now = sound.loop ? reading.integrated : reading.momentaryMax;
  double gain = std::pow(10.0, ((sound.loop ? kAmbienceLufs : kOneShotLufs) - now) / 20.0);
  double peak = 0.0;
  for (float v : sound.samples) peak = std::max(peak, static_cast<double>(std::fabs(v)));
  gain = std::min(gain, kMostPeak / peak);
  for (float& v : sound.samples) v = static_cast<float>(v * gain);
  sound.lufs = now + 20.0 * std::log10(gain);
  return sound;
}

// The blade dips: a downward-sweeping watery swish and a small low bloop.
std::vector<float> Paddle() {
  const double rate = kWaterRate;
  std::vector<float> s = Frames(0.4, rate);
  Noise noise(11);
  Biquad swish{rate};
  double bloop = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i, rate);
    swish.Set(Biquad::BandPass, 350.0 + 1400.0 * std::exp(-t * 6.0), 1.3);
    bloop += 2.0 * kPi * (240.0 - 150.0 * t) / rate;
    s[i] = static_cast<float>(swish.Run(noise.Next()) * Env(t, 0.04, 0.08) +
                              0.25 * std::sin(bloop) * Env(t - 0.03, 0.006, 0.05));
  }
  FadeOut(s, rate);
  return s;
}

// A rubber duck: a soft FM tone gliding up then down, with a little breath. Heard fifteen
// times a game, so the brightness is kept low and the onset round.
std::vector<float> Squeak() {
  std::vector<float> s = Frames(0.3);
  Noise noise(22);
  Biquad breath, soften;
  soften.Set(Biquad::LowPass, 3000.0, 0.7);
  double carrier = 0.0, modulator = 0.0;
  constexpr double kLength = 0.27;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i), u = std::min(t / kLength, 1.0);
    const double freq = 900.0 + 600.0 * std::sin(kPi * std::pow(u, 0.6)) - 100.0 * u;
    carrier += 2.0 * kPi * freq / kRate;
    modulator += 2.0 * kPi * freq * 2.0 / kRate;
    const double env = std::min(1.0, t / 0.03) * std::min(1.0, std::max(0.0, (kLength - t) / 0.06));
    breath.Set(Biquad::BandPass, 2.0 * freq, 4.0);
    s[i] =
        static_cast<float>(soften.Run(env * (std::sin(carrier + 0.6 * env * std::sin(modulator)) +
                                             0.15 * breath.Run(noise.Next()))));
  }
  FadeOut(s);
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
  FadeOut(s);
  return s;
}

// Landing in the water: a darkening noise burst, a tail, and bubbles rising in pitch.
std::vector<float> Splash() {
  const double rate = kWaterRate;
  std::vector<float> s = Frames(0.9, rate);
  Noise noise(44), place(45);
  Biquad body{rate}, tail{rate};
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i, rate);
    body.Set(Biquad::LowPass, 500.0 + 9000.0 * std::exp(-t * 6.0), 0.8);
    tail.Set(Biquad::BandPass, 900.0, 0.9);
    const double n = noise.Next();
    s[i] = static_cast<float>(body.Run(n) * Env(t, 0.008, 0.16) +
                              0.5 * tail.Run(n) * Env(t, 0.02, 0.35));
  }
  for (int b = 0; b < 14; ++b) {
    const double start = place.Range(0.05, 0.7), f0 = place.Range(600.0, 1800.0);
    const double amp = place.Range(0.08, 0.2);
    double phase = 0.0;
    for (size_t i = static_cast<size_t>(start * rate); i < s.size(); ++i) {
      const double tau = Time(i, rate) - start;
      if (tau > 0.06) break;
      phase += 2.0 * kPi * f0 * (1.0 + 3.0 * tau) / rate;
      s[i] += static_cast<float>(amp * std::sin(phase) * std::exp(-tau / 0.015));
    }
  }
  FadeOut(s, rate);
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
  FadeOut(s);
  return s;
}

// The hull against a wall: a low thud whose pitch drops, the hull ringing at 180 and 340 Hz so
// that a small speaker still plays it, and the contact's click of scraped wood (0.6-4 kHz).
std::vector<float> Bump() {
  std::vector<float> s = Frames(0.55);
  Noise noise(66), scrape(67);
  Biquad thump, click, clickTop;
  thump.Set(Biquad::LowPass, 400.0, 0.7);
  click.Set(Biquad::HighPass, 600.0, 0.7);
  clickTop.Set(Biquad::LowPass, 4000.0, 0.7);
  double phase = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    phase += 2.0 * kPi * (70.0 + 60.0 * std::exp(-t / 0.03)) / kRate;
    const double hull =
        0.45 * Mode(t, 180.0, 0.12) + 0.3 * Mode(t, 340.0, 0.08) + 0.15 * Mode(t, 610.0, 0.04);
    s[i] = static_cast<float>(std::sin(phase) * Env(t, 0.003, 0.16) + 0.5 * Mode(t, 130.0, 0.1) +
                              hull + 0.6 * thump.Run(noise.Next()) * Env(t, 0.003, 0.03) +
                              0.5 * clickTop.Run(click.Run(scrape.Next())) * std::exp(-t / 0.006));
  }
  FadeOut(s);
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
  FadeOut(s);
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
  FadeOut(s);
  return s;
}

// Time up: a soft falling horn, a few harmonics of a tone gliding from E4 down to A3, under
// 1.5 kHz so it reads as an ending, not an alarm, and over before the win's arpeggio would be.
std::vector<float> TimeUp() {
  constexpr double kLength = 0.9;
  std::vector<float> s = Frames(kLength);
  double phase = 0.0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = Time(i);
    const double freq = 330.0 * std::pow(2.0 / 3.0, std::min(t / 0.7, 1.0));
    phase += 2.0 * kPi * freq / kRate;
    double tone = 0.0;
    for (int k = 1; k * freq < 1500.0; ++k) tone += std::sin(k * phase) / k * std::exp(-0.5 * k);
    const double env = std::min(1.0, t / 0.04) * std::min(1.0, (kLength - t) / 0.35);
    s[i] = static_cast<float>(tone * env);
  }
  FadeOut(s);
  return s;
}

// One channel of the hall's water: lapping against the pool's edge, noise in 300 Hz-3 kHz
// swelling at random times, made seamless by crossfading the stretch past the loop's end into
// its start with equal power. The channels differ by seed, so the water surrounds the player.
std::vector<double> Lapping(size_t loop, size_t fade, uint64_t seed) {
  std::vector<double> water(loop + fade);
  Noise noise(seed), place(seed + 1);
  Biquad high, low, gurgle;
  high.Set(Biquad::HighPass, 300.0, 0.7);
  low.Set(Biquad::LowPass, 3000.0, 0.7);
  gurgle.Set(Biquad::BandPass, 700.0, 2.0);
  for (double& w : water) {
    const double n = high.Run(low.Run(noise.Next()));
    w = n + 1.5 * gurgle.Run(n);
  }
  std::vector<double> s(loop);
  for (size_t i = 0; i < loop; ++i) {
    const double x = std::min(1.0, static_cast<double>(i) / fade);
    s[i] = i < fade ? water[i] * std::sqrt(x) + water[loop + i] * std::sqrt(1.0 - x) : water[i];
  }
  const double seconds = static_cast<double>(loop) / kRate;
  std::vector<double> swell(loop, 0.2);
  for (int l = 0; l < static_cast<int>(seconds * 1.4); ++l) {
    const double at = place.Range(0.0, seconds), width = place.Range(0.4, 1.2);
    const double height = place.Range(0.4, 1.0);
    const size_t from = static_cast<size_t>(at * kRate), span = static_cast<size_t>(width * kRate);
    for (size_t k = 0; k < span; ++k)
      swell[(from + k) % loop] +=
          height * 0.5 * (1.0 - std::cos(2.0 * kPi * static_cast<double>(k) / span));
  }
  for (size_t i = 0; i < loop; ++i) s[i] *= swell[i];
  return s;
}

// The hall, a 36 s stereo loop (heard about two and a half times a game): water on both sides
// over a hum of 100 and 150 Hz, 10 dB under the water, that a laptop's speakers can still play.
std::vector<float> Ambience() {
  constexpr double kLoop = 36.0;
  const size_t loop = static_cast<size_t>(kLoop * kRate), fade = static_cast<size_t>(0.5 * kRate);
  const std::vector<double> left = Lapping(loop, fade, 77), right = Lapping(loop, fade, 177);
  double waterPower = 0.0;
  for (size_t i = 0; i < loop; ++i) waterPower += (left[i] * left[i] + right[i] * right[i]) / 2.0;
  // The hum's mean square is (a^2 + b^2) / 2 for amplitudes a and b = 0.6 a.
  const double humAmp = std::sqrt(waterPower / loop * 0.1 * 2.0 / 1.36);
  std::vector<float> s(2 * loop);
  for (size_t i = 0; i < loop; ++i) {
    const double t = Time(i);  // whole cycles in the loop: the hum wraps exactly
    const double hum =
        humAmp * (std::sin(2.0 * kPi * 100.0 * t) + 0.6 * std::sin(2.0 * kPi * 150.0 * t));
    s[2 * i] = static_cast<float>(left[i] + hum);
    s[2 * i + 1] = static_cast<float>(right[i] + hum);
  }
  return s;
}

}  // namespace

std::vector<NamedSound> MakeSounds() {
  return {Scaled("sounds/paddle.ogg", Paddle(), kWaterRate),
          Scaled("sounds/squeak.ogg", Squeak(), kRate),
          Scaled("sounds/takeoff.ogg", TakeOff(), kRate),
          Scaled("sounds/splash.ogg", Splash(), kWaterRate),
          Scaled("sounds/knock.ogg", Knock(), kRate),
          Scaled("sounds/bump.ogg", Bump(), kRate),
          Scaled("sounds/tick.ogg", Tick(), kRate),
          Scaled("sounds/win.ogg", Win(), kRate),
          Scaled("sounds/timeup.ogg", TimeUp(), kRate),
          Scaled("sounds/ambience.ogg", Ambience(), kRate, 2)};
}
