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
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tavro/SoundInterface.h"
#include "tavroplay/BoardChips.h"
#include "tavroplay/Destination.h"

namespace tavroplay {

class BoardDestination : public Destination {
public:
    // linkSpeed, when given, tells the Speed of a board by its name
    // ("KX7M(COM3)"); without it every link is taken at the default.
    BoardDestination(SoundInterfaceManager& manager, const std::atomic<bool>& stop,
                     std::function<std::uint32_t(const std::string& board)> linkSpeed = {});
    ~BoardDestination() override { release(); }

    std::optional<PlacedChip> place(songs::ChipType type, std::uint32_t clock) override;
    void begin() override;
    std::unique_ptr<Timeline> timeline(std::vector<ChipFamily*> chips,
                                       StatusFunction status) override;
    void end(bool finished) override;
    double linkWritesPerSecond() const override;
    // Lengthens the library's send delay for the song where its bursts need
    // a longer head start than the delay gives; end puts it back.
    void setHeadStart(double milliseconds) override;
    std::string_view scope() const override { return "on the boards"; }

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

    SoundInterfaceManager& manager_;
    const std::atomic<bool>& stop_;
    // The library's own send delay.
    const std::int32_t sendDelay_;
    BoardChips boards_;
    std::function<std::uint32_t(const std::string&)> linkSpeed_;
    std::vector<SoundChip*> acquired_;
    std::vector<std::string> boardsUsed_;
    std::vector<std::unique_ptr<Sink>> sinks_;
};

} // namespace tavroplay
