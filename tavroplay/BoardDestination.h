// BoardDestination: the boards' chips as a song's destination, through the
// library's manager by slot only (BoardChips finds and gives back the
// chips). Its link carries what the slowest link of the boards a song plays
// on carries. Songs play along a RealTimeline; a song that finished is let out
// for the library's send delay before the boards are reset and its chips
// given back. The library's board worker starts a burst of writes early
// enough that the link finishes it by its time, within the send delay; a
// song whose bursts need longer plays with a longer delay. From begin to
// end the calling thread, which keeps the song's time, asks for real-time
// scheduling.
//
// No board has the ADPCM chip of an MDX song: a song with samples plays
// them through the computer's speakers (SampleSpeaker), each start heard
// when the board sounds the writes made with it: the library's send delay
// plus one write's time on the link after it is made, and when the boards
// are the virtual board heard through the speakers too, the delay from its
// wire to its sound (common/AudibleBoard.h).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tavro/SoundInterface.h"
#include "tavroplay/BoardChips.h"
#include "tavroplay/Destination.h"
#include "tavroplay/SampleSpeaker.h"

namespace tavroplay {

class BoardDestination : public Destination {
public:
    // linkSpeed, when given, tells the Speed of a board by its name
    // ("KX7M(COM3)"); without it every link is taken at the default.
    BoardDestination(SoundInterfaceManager& manager, const std::atomic<bool>& stop,
                     std::function<std::uint32_t(const std::string& board)> linkSpeed = {});
    ~BoardDestination() override { release(); }

    std::optional<PlacedChip> place(songs::ChipType type, std::uint32_t clock) override;
    void prepare(const songs::Song& song) override { song_ = &song; }
    void begin() override;
    std::unique_ptr<Timeline> timeline(std::vector<ChipFamily*> chips,
                                       StatusFunction status) override;
    void end(bool finished) override;
    double linkWritesPerSecond() const override;
    // Lengthens the library's send delay for the song where its bursts need
    // a longer head start than the delay gives; end puts it back.
    void setHeadStart(double milliseconds) override;
    std::string_view scope() const override { return "on the boards"; }
    std::string unplacedReason(songs::ChipType type) const override;

private:
    class Sink : public RegisterSink {
    public:
        explicit Sink(SoundChip* chip) : chip_(chip) {}
        void write(std::uint16_t address, std::uint8_t data) override {
            chip_->setRegister(address, data);
        }

    private:
        SoundChip* chip_;
    };

    void release();
    // Returns once what was written has left for the boards: the library's
    // send delay, a margin, and the milliseconds later given.
    void waitForTheWire(double laterMilliseconds) const;
    // From a write to the board's sound of it.
    double aheadMilliseconds() const;
    // From the board's wire to its sound through the speakers: the audible
    // virtual board's delay, else nothing.
    double speakerDelayMilliseconds() const;

    SoundInterfaceManager& manager_;
    const std::atomic<bool>& stop_;
    // The library's own send delay.
    const std::int32_t sendDelay_;
    BoardChips boards_;
    std::function<std::uint32_t(const std::string&)> linkSpeed_;
    std::vector<SoundChip*> acquired_;
    std::vector<std::string> boardsUsed_;
    std::vector<std::unique_ptr<Sink>> sinks_;
    const songs::Song* song_ = nullptr;
    std::unique_ptr<SampleSpeaker> speaker_; // the song's samples
    std::string speakerError_;               // why they are not heard
};

} // namespace tavroplay
