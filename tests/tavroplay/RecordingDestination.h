// Test support: a destination offering chips of given types and clocks,
// each writing into a RecordingSink of its own (or one shared sink), with a
// timeline that reaches every position at once (and can answer the start of
// each song with a listener's request).
#pragma once

#include <deque>
#include <utility>
#include <vector>

#include "RecordingSink.h"
#include "tavroplay/Destination.h"

class RecordingDestination : public tavroplay::Destination {
public:
    struct Offer {
        songs::ChipType type;
        std::uint32_t clock;
    };
    explicit RecordingDestination(std::vector<Offer> offers,
                                  tavroplay::RegisterSink* shared = nullptr)
        : offers_(std::move(offers)), taken_(offers_.size(), false), shared_(shared) {
        for (std::size_t i = 0; i < offers_.size(); ++i)
            sinks.emplace_back();
    }

    std::optional<tavroplay::PlacedChip> place(songs::ChipType type, std::uint32_t clock) override {
        // The chip at the clock first, else any of the type.
        for (int pass = 0; pass < 2; ++pass)
            for (std::size_t i = 0; i < offers_.size(); ++i)
                if (!taken_[i] && offers_[i].type == type &&
                    (pass == 1 || offers_[i].clock == clock)) {
                    taken_[i] = true;
                    tavroplay::RegisterSink* sink = shared_ != nullptr ? shared_ : &sinks[i];
                    return tavroplay::PlacedChip{sink, offers_[i].clock, "TEST(1)"};
                }
        return std::nullopt;
    }
    void begin() override { ++begun; }
    std::unique_ptr<tavroplay::Timeline> timeline(std::vector<tavroplay::ChipFamily*>,
                                                  tavroplay::StatusFunction) override {
        const std::size_t song = static_cast<std::size_t>(begun - 1);
        return std::make_unique<AtOnce>(song < firstAnswers.size() ? firstAnswers[song]
                                                                   : tavroplay::Request::go);
    }
    void end(bool finished) override {
        ended.push_back(finished);
        taken_.assign(offers_.size(), false);
    }
    std::string_view scope() const override { return "on the test board"; }
    double linkWritesPerSecond() const override { return linkCapacity; }

    double linkCapacity = 0; // writes a second; 0: no limit
    // What the listener asks for at the start of each song begun, in turn
    // (go for those past the end).
    std::vector<tavroplay::Request> firstAnswers;

    std::deque<RecordingSink> sinks; // one per offer, in order
    int begun = 0;
    std::vector<bool> ended;

private:
    class AtOnce : public tavroplay::Timeline {
    public:
        explicit AtOnce(tavroplay::Request first) : first_(first) {}
        tavroplay::Request reach(const tavroplay::Position&) override {
            return std::exchange(first_, tavroplay::Request::go);
        }

    private:
        tavroplay::Request first_;
    };
    std::vector<Offer> offers_;
    std::vector<bool> taken_;
    tavroplay::RegisterSink* shared_;
};
