// audio_output.cpp: OpenAL playback. The clips become buffers once; a fixed set of sources is
// made at start-up, so playing a sound only points a free source at its buffer.
#include "audio/audio_output.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>

#if !defined(__EMSCRIPTEN__)
#include <AL/efx-presets.h>
#include <AL/efx.h>
#include <dlfcn.h>

#include <cstdlib>
#endif

namespace {

// How loud each sound plays, in decibels by SoundId. The files are made equally loud (the
// ambience apart; the short knock, tick and paddle a little under, held back by their peaks),
// so these set the ranking as heard from the seat: the endings loudest, the win over the
// time-up, a duck (a few metres off when taken) next, then the jump, landings and bumps, then
// the strokes and ticks that repeat, and the hall's water far under everything.
struct SoundGain {
  SoundId id;
  float db;
};
constexpr SoundGain kGainDb[] = {{SoundId::Paddle, -5.0f},  {SoundId::Squeak, 0.0f},
                                 {SoundId::TakeOff, -6.0f}, {SoundId::Splash, -5.0f},
                                 {SoundId::Knock, -2.0f},   {SoundId::Bump, -5.0f},
                                 {SoundId::Tick, -6.0f},    {SoundId::Win, 0.0f},
                                 {SoundId::TimeUp, -1.0f},  {SoundId::Ambience, -12.0f}};
static_assert(OneRowPerSound(kGainDb), "kGainDb needs one row per SoundId, in order");

float Gain(SoundId id) {
  return std::pow(10.0f, kGainDb[static_cast<int>(id)].db / 20.0f);
}

double SteadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Distances in the pool's units (metres): full loudness within 4 m of a sound (the seat's eye
// rides 4 m behind the canoe's middle, so all that happens at the canoe is heard whole), then
// halving with each doubling of the distance, and no quieter than at 80 m, so a duck across
// the 100 x 100 pool is faint but still there.
constexpr float kReferenceDistance = 4.0f;
constexpr float kMaxDistance = 80.0f;

ALCdevice* Device(const AudioOutput& audio) {
  return static_cast<ALCdevice*>(audio.device);
}

#if !defined(__EMSCRIPTEN__)
// ALSA reports every device it cannot open on standard error, about eight lines on a machine
// with no sound card. Its error handler is process-wide: installing a silent one in the copy
// of the library that OpenAL will load keeps those lines off. The library stays loaded on
// purpose, so the handler outlives OpenAL's own loading and unloading of it.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void QuietDeviceProbe() {
  // OpenAL Soft logs each backend it could not open as well; it reads its log level at its
  // first call, so a level set here (unless the player chose one) keeps that quiet too.
  setenv("ALSOFT_LOGLEVEL", "0", 0);
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
  if (!alsa) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) {
    set(SilentAlsaError);
  }
}

// A hall reverb for a tiled indoor pool on one auxiliary slot every voice sends to.
void StartReverb(AudioOutput& audio) {
  if (!alcIsExtensionPresent(Device(audio), "ALC_EXT_EFX")) return;
  auto genEffects = reinterpret_cast<LPALGENEFFECTS>(alGetProcAddress("alGenEffects"));
  auto effecti = reinterpret_cast<LPALEFFECTI>(alGetProcAddress("alEffecti"));
  auto effectf = reinterpret_cast<LPALEFFECTF>(alGetProcAddress("alEffectf"));
  auto genSlots =
      reinterpret_cast<LPALGENAUXILIARYEFFECTSLOTS>(alGetProcAddress("alGenAuxiliaryEffectSlots"));
  auto sloti =
      reinterpret_cast<LPALAUXILIARYEFFECTSLOTI>(alGetProcAddress("alAuxiliaryEffectSloti"));
  if (!genEffects || !effecti || !effectf || !genSlots || !sloti) return;

  EFXEAXREVERBPROPERTIES p = EFX_REVERB_PRESET_SPORT_LARGESWIMMINGPOOL;
  // The preset's 5.5 s tail blurs one sound into the next; a tiled hall this size rings ~2.7 s.
  p.flDecayTime = 2.7f;
  ALuint effect = 0, slot = 0;
  alGetError();
  genEffects(1, &effect);
  effecti(effect, AL_EFFECT_TYPE, AL_EFFECT_REVERB);
  effectf(effect, AL_REVERB_DENSITY, p.flDensity);
  effectf(effect, AL_REVERB_DIFFUSION, p.flDiffusion);
  effectf(effect, AL_REVERB_GAIN, p.flGain);
  effectf(effect, AL_REVERB_GAINHF, p.flGainHF);
  effectf(effect, AL_REVERB_DECAY_TIME, p.flDecayTime);
  effectf(effect, AL_REVERB_DECAY_HFRATIO, p.flDecayHFRatio);
  effectf(effect, AL_REVERB_REFLECTIONS_GAIN, p.flReflectionsGain);
  effectf(effect, AL_REVERB_REFLECTIONS_DELAY, p.flReflectionsDelay);
  effectf(effect, AL_REVERB_LATE_REVERB_GAIN, p.flLateReverbGain);
  effectf(effect, AL_REVERB_LATE_REVERB_DELAY, p.flLateReverbDelay);
  effectf(effect, AL_REVERB_AIR_ABSORPTION_GAINHF, p.flAirAbsorptionGainHF);
  effectf(effect, AL_REVERB_ROOM_ROLLOFF_FACTOR, p.flRoomRolloffFactor);
  effecti(effect, AL_REVERB_DECAY_HFLIMIT, p.iDecayHFLimit);
  genSlots(1, &slot);
  sloti(slot, AL_EFFECTSLOT_EFFECT, static_cast<ALint>(effect));
  if (alGetError() != AL_NO_ERROR) return;  // left dry; the names are freed with the context
  audio.reverbEffect = effect;
  audio.reverbSlot = slot;
  for (ALuint voice : audio.voices) {
    alSource3i(voice, AL_AUXILIARY_SEND_FILTER, static_cast<ALint>(slot), 0, AL_FILTER_NULL);
    // The echo of a far duck falls with distance like its direct sound, not 9 dB less.
    alSourcef(voice, AL_ROOM_ROLLOFF_FACTOR, 1.0f);
  }
}

// The hall's echo follows the mute, so its tail stops with everything else.
void SetReverbGain(const AudioOutput& audio, float gain) {
  if (!audio.reverbSlot) return;
  auto slotf =
      reinterpret_cast<LPALAUXILIARYEFFECTSLOTF>(alGetProcAddress("alAuxiliaryEffectSlotf"));
  if (slotf) slotf(audio.reverbSlot, AL_EFFECTSLOT_GAIN, gain);
}

void StopReverb(AudioOutput& audio) {
  if (!audio.reverbSlot) return;
  auto deleteSlots = reinterpret_cast<LPALDELETEAUXILIARYEFFECTSLOTS>(
      alGetProcAddress("alDeleteAuxiliaryEffectSlots"));
  auto deleteEffects = reinterpret_cast<LPALDELETEEFFECTS>(alGetProcAddress("alDeleteEffects"));
  if (deleteSlots) deleteSlots(1, &audio.reverbSlot);
  if (deleteEffects) deleteEffects(1, &audio.reverbEffect);
  audio.reverbSlot = audio.reverbEffect = 0;
}
#else
void QuietDeviceProbe() {}
void StartReverb(AudioOutput&) {}  // the browser's OpenAL has no effects: dry
void StopReverb(AudioOutput&) {}
void SetReverbGain(const AudioOutput&, float) {}
#endif

// The listener's gain scales what goes into the echo; silence must also stop the tail already
// in it.
float HallEchoGain(const AudioOutput& audio) {
  return audio.muted || audio.volumeGain <= 0.0f ? 0.0f : 1.0f;
}

// A voice to start a sound on: the first idle one from the round-robin position, else the one
// there (the oldest sound is cut short).
ALuint TakeVoice(AudioOutput& audio) {
  for (int n = 0; n < kVoiceCount; ++n) {
    const int i = (audio.nextVoice + n) % kVoiceCount;
    ALint state = AL_STOPPED;
    alGetSourcei(audio.voices[i], AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) {
      audio.nextVoice = (i + 1) % kVoiceCount;
      return audio.voices[i];
    }
  }
  const ALuint voice = audio.voices[audio.nextVoice];
  audio.nextVoice = (audio.nextVoice + 1) % kVoiceCount;
  alSourceStop(voice);
  return voice;
}

}  // namespace

bool OpenAudioDevice(AudioOutput& audio) {
  audio.deviceTried = true;
  QuietDeviceProbe();
  ALCdevice* device = alcOpenDevice(nullptr);
  if (!device) {
    std::cerr << "Sound: no audio device, playing silent" << std::endl;
    return false;
  }
  ALCcontext* context = alcCreateContext(device, nullptr);
  if (!context || !alcMakeContextCurrent(context)) {
    if (context) alcDestroyContext(context);
    alcCloseDevice(device);
    std::cerr << "Sound: the audio device refused a context, playing silent" << std::endl;
    return false;
  }
  audio.device = device;
  audio.context = context;
  return true;
}

bool StartAudio(AudioOutput& audio) {
  // Every file is read and checked first, device or not, so a bad one is reported alike.
  SoundClip clips[kSoundCount];
  for (int i = 0; i < kSoundCount; ++i) {
    LoadSoundClip(kSoundFiles[i].path, clips[i]);
  }
  if (!audio.deviceTried) OpenAudioDevice(audio);
  if (!audio.device) return false;

  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  alGenBuffers(kSoundCount, audio.buffers);
  for (int i = 0; i < kSoundCount; ++i) {
    const SoundClip& clip = clips[i];
    if (clip.samples.empty() || clip.sampleRate <= 0) continue;
    const ALenum format = clip.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
    alBufferData(audio.buffers[i], format, clip.samples.data(),
                 static_cast<ALsizei>(clip.samples.size() * sizeof(clip.samples[0])),
                 clip.sampleRate);
    audio.loaded[i] = alGetError() == AL_NO_ERROR;
    clips[i] = SoundClip{};  // the device has its copy
  }

  alGenSources(kVoiceCount, audio.voices);
  for (ALuint voice : audio.voices) {
    alSourcef(voice, AL_REFERENCE_DISTANCE, kReferenceDistance);
    alSourcef(voice, AL_MAX_DISTANCE, kMaxDistance);
  }
  StartReverb(audio);

  alGenSources(1, &audio.ambience);
  const int ambience = static_cast<int>(SoundId::Ambience);
  if (audio.loaded[ambience]) {
    alSourcei(audio.ambience, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcei(audio.ambience, AL_LOOPING, AL_TRUE);
    // A stereo buffer plays unpanned: the file's own left and right.
    alSourcef(audio.ambience, AL_GAIN, 0.0f);
    alSourcei(audio.ambience, AL_BUFFER, static_cast<ALint>(audio.buffers[ambience]));
    alSourcePlay(audio.ambience);
    audio.ambienceStart = SteadySeconds();
  }
  alGetError();
  return true;
}

void PlaySoundEvents(AudioOutput& audio, const SoundEvents& events, const Listener& listener) {
  if (!audio.device) return;
  alListener3f(AL_POSITION, listener.position.x, listener.position.y, listener.position.z);
  const ALfloat orientation[6] = {listener.forward.x, listener.forward.y, listener.forward.z,
                                  listener.up.x,      listener.up.y,      listener.up.z};
  alListenerfv(AL_ORIENTATION, orientation);
  if (audio.ambienceStart >= 0.0) {
    const double faded = (SteadySeconds() - audio.ambienceStart) / kAmbienceFadeIn;
    const float rise = static_cast<float>(std::min(1.0, faded));
    alSourcef(audio.ambience, AL_GAIN, Gain(SoundId::Ambience) * audio.ambienceGain * rise * rise);
    if (faded >= 1.0) audio.ambienceStart = -1.0;
  }
  for (int n = 0; n < events.count; ++n) {
    const SoundEvent& e = events.list[n];
    const int id = static_cast<int>(e.id);
    if (!audio.loaded[id]) continue;
    const ALuint voice = TakeVoice(audio);
    alSourcei(voice, AL_BUFFER, static_cast<ALint>(audio.buffers[id]));
    alSourcei(voice, AL_SOURCE_RELATIVE, e.positional ? AL_FALSE : AL_TRUE);
    const glm::vec3 p = e.positional ? e.position : glm::vec3(0.0f);
    alSource3f(voice, AL_POSITION, p.x, p.y, p.z);
    alSourcef(voice, AL_GAIN, std::min(1.0f, Gain(e.id) * e.gain) * audio.effectsGain);
    alSourcef(voice, AL_PITCH, e.pitch);
    alSourcePlay(voice);
  }
}

void ToggleMute(AudioOutput& audio) {
  audio.muted = !audio.muted;
  if (!audio.device) return;
  alListenerf(AL_GAIN, audio.muted ? 0.0f : audio.volumeGain);
  SetReverbGain(audio, HallEchoGain(audio));
}

void SetVolumes(AudioOutput& audio, float all, float effects, float ambience) {
  audio.volumeGain = all;
  audio.effectsGain = effects;
  audio.ambienceGain = ambience;
  if (!audio.device) return;
  if (!audio.muted) alListenerf(AL_GAIN, all);
  SetReverbGain(audio, HallEchoGain(audio));
  // While it fades in, the next frame's step takes the new level.
  if (audio.ambience && audio.ambienceStart < 0.0) {
    alSourcef(audio.ambience, AL_GAIN, Gain(SoundId::Ambience) * ambience);
  }
}

void PauseAmbience(AudioOutput& audio, bool paused) {
  if (!audio.device || !audio.loaded[static_cast<int>(SoundId::Ambience)]) return;
  ALint state = AL_STOPPED;
  alGetSourcei(audio.ambience, AL_SOURCE_STATE, &state);
  if (paused && state == AL_PLAYING) alSourcePause(audio.ambience);
  if (!paused && state == AL_PAUSED) alSourcePlay(audio.ambience);
}

bool AnyVoicePlaying(const AudioOutput& audio) {
  if (!audio.device) return false;
  for (ALuint voice : audio.voices) {
    ALint state = AL_STOPPED;
    alGetSourcei(voice, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) return true;
  }
  return false;
}

void SilenceAudio(AudioOutput& audio) {
  if (!audio.device) return;
  alSourceStop(audio.ambience);
  for (ALuint voice : audio.voices) alSourceStop(voice);
}

void StopAudio(AudioOutput& audio) {
  if (!audio.device) return;
  alSourceStop(audio.ambience);
  alSourceStopv(kVoiceCount, audio.voices);
  alDeleteSources(1, &audio.ambience);
  alDeleteSources(kVoiceCount, audio.voices);
  StopReverb(audio);
  alDeleteBuffers(kSoundCount, audio.buffers);
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(static_cast<ALCcontext*>(audio.context));
  alcCloseDevice(Device(audio));
  audio = AudioOutput{};
}
