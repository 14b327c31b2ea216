// AudibleBoard: the virtual board played through the computer's speakers
// (tools/virtualboard with TAVRO_VB_AUDIO naming a sound device) sounds every
// write a fixed time after its wire time, the same for every write and
// every run: boardSoundDelayMs, kept against the latency its sound server
// reports (SampleClock). A player that plays other sound of the same song
// through the speakers (tavroplay, a song's samples) places it that much later
// too when its boards are that board, so that the two are heard together.
//
// The player knows it from the environment the library and the virtual board
// read in its process: the library loads the device module that
// TAVRO_D2XX_MODULE names instead of the system's, and TAVRO_VB_AUDIO names a
// sound device. A device module of another kind with TAVRO_VB_AUDIO set is
// taken for the audible virtual board too.
#pragma once

namespace platform {

// From a write's time on the wire to the moment the audible virtual board's
// sound of it is heard: the sound server's buffer (100 ms) and room for the
// sound device's own latency.
inline constexpr double boardSoundDelayMs = 250;

// This process's boards are the audible virtual board.
bool boardsHeardThroughTheSpeakers();

} // namespace platform
