// game_audio.cpp: one frame's observation: snapshot, compare, play.
#include "audio/game_audio.h"

void SoundBeforeFrame(GameAudio& audio, const Game& game) {
  audio.before = TakeSnapshot(game);
}

void SoundAfterFrame(GameAudio& audio, const Game& game) {
  const GameSnapshot after = TakeSnapshot(game);
  ObserveFrame(audio.observer, audio.before, after, audio.lastEvents);
  PlaySoundEvents(audio.output, audio.lastEvents, after.listener);
}
