// The process-wide settings of the playback library: the frame-rate override,
// the simulated read rate, the count of open sound tracks, the audio tree
// scratch area and the link to the sound output.
#include "playback/vidzo.h"

extern "C" {

VidzoProcessState* VidzoProcess(void) {
  static VidzoProcessState state{};
  return &state;
}

void VidzoSetFrameRate(int32_t frames_per_second) {
  VidzoProcess()->RateOverride = frames_per_second >= 1 ? -(100000 / frames_per_second) : frames_per_second;
}

void VidzoSetSimulatedRate(uint32_t bytes_per_second) {
  VidzoProcess()->SimulatedRate = bytes_per_second;
}

}  // extern "C"
