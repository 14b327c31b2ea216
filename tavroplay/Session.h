// Session: plays the entries of a command line one after the other on one
// destination (the boards, or the software chips rendering a WAV file), the
// same code for both: each song read by its source, its chips placed, one
// line of notice for what is dropped, clock-corrected, converted or too dense
// for the link, the song played along the destination's timeline, then its
// chips silenced and given back. n and p move between entries (a file that
// cannot be played is passed over in the direction of travel), in order or
// shuffled, once or repeated; a stop request (passed in) ends the session.
//
// Messages go to the stream given: faults always, notices unless quiet, the
// tag, chips and status line only with display.
#pragma once

#include <atomic>
#include <ostream>
#include <vector>

#include "tavroplay/CommandLine.h"
#include "tavroplay/Destination.h"
#include "tavroplay/SongPlayer.h"

namespace tavroplay {

struct SessionSettings {
    PlayOptions play;
    bool quiet = false;
    bool display = false;
    bool shuffle = false;   // a random order, new each round
    bool repeat = false;    // the entries again after the last
    bool showSpeed = false; // the status line tells how many times real time it runs
};

class Session {
public:
    Session(Destination& destination, SessionSettings settings, const std::atomic<bool>& stop,
            std::ostream& messages)
        : destination_(destination), settings_(settings), stop_(stop), messages_(messages) {}

    // Plays every entry; the exit code: 0, or 1 when any could not be played.
    int run(const std::vector<PlayItem>& items);

private:
    class StatusLine;
    Request playItem(const PlayItem& item, bool& failed, StatusLine& status);
    void fault(const PlayItem& item, const std::string& text, StatusLine& status);
    void notice(const PlayItem& item, const std::string& text, StatusLine& status);

    Destination& destination_;
    SessionSettings settings_;
    const std::atomic<bool>& stop_;
    std::ostream& messages_;
};

// The name of a path for messages, in UTF-8.
std::string displayName(const std::filesystem::path& path);

} // namespace tavroplay
