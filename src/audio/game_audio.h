// game_audio.h: sound beside the running game. The frame loop is left as it is: the platform's
// loop takes a snapshot before each frame and, after it, lets this part play what changed.
#pragma once

#include "audio/audio_output.h"
#include "audio/sound_events.h"

struct GameAudio {
  AudioOutput output;
  SoundObserver observer;
  GameSnapshot before;     // taken before the frame now running
  SoundEvents lastEvents;  // the latest frame's events (tests read them)
};

void SoundBeforeFrame(GameAudio& audio, const Game& game);
void SoundAfterFrame(GameAudio& audio, const Game& game);
