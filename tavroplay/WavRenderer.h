// Rendering to a sound file through the software chips instead of a board.
#pragma once

#include <atomic>
#include <filesystem>

#include "tavroplay/CommandLine.h"

namespace tavroplay {

// Renders every file of the command line, one after the other, into the
// command line's sound file; returns the exit code. A stop request ends it.
// Every input is read first, and nothing is written unless all can be; the
// sound goes into partialPath(OUT), renamed over OUT when done, kept and
// named when the render is stopped, removed when nothing was rendered.
int renderWav(const CommandLine& line, const std::atomic<bool>& stop);

// The file format for a name: FLAC for ".flac" (any case), else WAV, written
// as RF64 that libsndfile turns into a plain WAV file at the end when it
// stayed under the WAV format's 4 GiB.
struct SoundFileFormat {
    int format;         // libsndfile's major and minor format
    bool rf64WhenLarge; // RF64 with the downgrade to WAV asked for
};
SoundFileFormat soundFileFormat(const std::filesystem::path& path);

// "song.partial.wav" for "song.wav": where the sound goes until it is done.
std::filesystem::path partialPath(const std::filesystem::path& out);

} // namespace tavroplay
