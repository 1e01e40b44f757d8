// worker.cpp: limits, confinement, one decode, one report.
//
// The worker leaves with EndWorker: it is a fork of the game, and running the game's exit
// handlers or flushing its copied output buffers would repeat the game's own output.
#include "trial/worker.h"

#include <unistd.h>

#include "trial/channel.h"
#include "trial/confinement.h"
#include "trial/decoders.h"
#include "trial/safe_file.h"

void RunWorker(const TrialFile& file, const std::string& bytes, bool readable,
               const TrialLimits& limits, std::size_t addressSpace, int reportFd, pid_t broker) {
  DieWithParent(broker);
  LimitWorker(limits, addressSpace);
  if (!ConfineWorker(reportFd)) EndWorker(kUnconfinedExit);
  bool decoded = false;
  std::string payload;
  if (file.kind == FileKind::Model) {
    const DecodedModel model = DecodeModel(file.path, bytes, readable);
    decoded = model.loaded;
    payload = SerializeModel(model);
  } else if (file.kind == FileKind::Image) {
    const DecodedPixels pixels = DecodeImage(bytes);
    decoded = !pixels.rgb.empty();
    payload = SerializePixels(pixels);
  } else if (file.kind == FileKind::Sound) {
    DecodedSound sound;
    if (readable) {
      sound = DecodeSound(bytes);
    } else {
      sound.error = RunFileWords(RunFileStatus::Missing);
    }
    decoded = !sound.samples.empty();
    payload = SerializeSound(sound);
  } else {
    const DecodedFont font = DecodeFont(bytes);
    decoded = font.faceReady;
    payload = SerializeFont(font);
  }
  const std::string report = WorkerReport(decoded, payload);
  EndWorker(WriteAll(reportFd, report.data(), report.size()) ? 0 : 1);
}
