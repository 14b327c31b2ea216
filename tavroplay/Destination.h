// Destination: where a song's chips play, behind one interface so that one
// session serves every one of them: the boards' chips through the library
// (BoardDestination) or the software chips of the mixer rendering a WAV file
// (MixerDestination). A session places a song's chips, plays along the
// destination's timeline, silences the chips and ends the song:
//
//   if (auto chip = destination.place(songs::ChipType::ym2151, 3579545)) ...
//   destination.begin();
//   auto timeline = destination.timeline(families, status);
//   ... play ...; families silenced ...
//   destination.end(finished);  // the sound let out, the chips reset and given back
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "songs/SongChip.h"
#include "tavroplay/ChipFamily.h"
#include "tavroplay/SongPlayer.h"

namespace tavroplay {

// A chip a destination gives a song chip.
struct PlacedChip {
    RegisterSink* sink;  // its register writes
    std::uint32_t clock; // its clock for the type (SSG: the PSG clock)
    std::string where;   // "KX7M(COM3)", "the software chips"
};

using StatusFunction = std::function<void(const Position&, bool paused)>;

class Destination {
public:
    virtual ~Destination() = default;

    // A free chip of a type to play a chip of that clock on: at the clock
    // when there is one, else any of the type (the caller corrects the
    // clock); nothing when there is none.
    virtual std::optional<PlacedChip> place(songs::ChipType type, std::uint32_t clock) = 0;
    // Before its chips are placed: the song about to play, for a destination
    // that plays its samples (Song::pcm); kept until end.
    virtual void prepare(const songs::Song& /*song*/) {}
    // Before the song plays: the chips placed in their reset state.
    virtual void begin() = 0;
    // The time the song plays along; chips are those to silence while
    // pausing.
    virtual std::unique_ptr<Timeline> timeline(std::vector<ChipFamily*> chips,
                                               StatusFunction status) = 0;
    // After the song, its chips silenced: when it finished (rather than being
    // stopped or skipped) the sound already sent is let out; then the chips
    // are reset and given back.
    virtual void end(bool finished) = 0;
    // Register writes a second the link to the chips carries; 0 without a
    // limit.
    virtual double linkWritesPerSecond() const { return 0; }
    // Before begin: how long before their time the song's writes must reach
    // the link so that it finishes its bursts by their time
    // (LinkHeadStart.h). A destination with a link hands the writes on at
    // least that early; the others ignore it.
    virtual void setHeadStart(double /*milliseconds*/) {}
    // Where its chips are, for messages: "on the boards".
    virtual std::string_view scope() const = 0;
    // Why place gave a chip of a type nothing, when it has more to say than
    // that there is none: "no live sound: Connection refused".
    virtual std::string unplacedReason(songs::ChipType) const { return {}; }
};

} // namespace tavroplay
