// Playing the entries of a command line; see Session.h.
#include "tavroplay/Session.h"

#include <chrono>
#include <cstdio>
#include <optional>

#include "tavroplay/Display.h"
#include "tavroplay/LinkHeadStart.h"
#include "tavroplay/LinkLoad.h"
#include "tavroplay/PlayOrder.h"
#include "tavroplay/SongChips.h"

namespace tavroplay {

std::string displayName(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return terminalText(std::string(text.begin(), text.end()));
}

// The terminal's status line, overwritten in place.
class Session::StatusLine {
public:
    explicit StatusLine(std::ostream& out) : out_(out) {}
    void show(const std::string& text) {
        std::string line = "\r" + text;
        if (text.size() < width_) line.append(width_ - text.size(), ' ');
        width_ = text.size();
        out_ << line << std::flush;
    }
    void end() {
        if (width_ == 0) return;
        out_ << '\n' << std::flush;
        width_ = 0;
    }

private:
    std::ostream& out_;
    std::size_t width_ = 0;
};

namespace {

// The clocks a chip is played at: every real chip's lies far inside.
constexpr std::uint32_t minimumChipClock = 100000;
constexpr std::uint32_t maximumChipClock = 20000000;

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::string linkNotice(const LinkLoad& load, double capacity) {
    char text[240];
    const std::uint32_t speed = speedToCarry(load.peakWritesPerSecond);
    const std::string carry = speed != 0 ? "Speed " + std::to_string(speed) + " would carry them"
                                         : "no Speed up to 3000000 carries them";
    std::snprintf(text, sizeof text,
                  "up to %.0f writes a second (at %s), more than the link carries at Speed %.0f "
                  "(%.0f a second): %s",
                  load.peakWritesPerSecond, formatTime(load.peakAt).c_str(),
                  capacity * pinBytesPerWrite, capacity, carry.c_str());
    return text;
}

} // namespace

void Session::fault(const PlayItem& item, const std::string& text, StatusLine& status) {
    status.end();
    messages_ << displayName(item.path) << ": " << text << std::endl;
}

void Session::notice(const PlayItem& item, const std::string& text, StatusLine& status) {
    if (settings_.quiet) return;
    status.end();
    messages_ << displayName(item.path) << ": " << text << std::endl;
}

int Session::run(const std::vector<PlayItem>& items) {
    StatusLine status(messages_);
    bool failed = false;
    PlayOrder order(items.size(), settings_.shuffle, settings_.repeat);
    while (const std::optional<std::size_t> index = order.current()) {
        if (stop_.load()) break;
        bool refused = false;
        const Request request = playItem(items[*index], refused, status);
        failed = failed || refused;
        if (request == Request::stop || request == Request::quit) break;
        // A file that cannot be played is passed over in the direction of
        // travel, so that p onto one goes on back past it.
        if (request == Request::previous)
            order.back();
        else if (refused)
            order.passOver();
        else
            order.forward(true);
    }
    return failed ? 1 : 0;
}

Request Session::playItem(const PlayItem& item, bool& failed, StatusLine& status) {
    if (!item.fault.empty()) {
        fault(item, item.fault, status);
        failed = true;
        return Request::go;
    }
    std::string error;
    const std::optional<songs::Song> song = songs::loadSong(item.path, error);
    if (!song) {
        fault(item, error, status);
        failed = true;
        return Request::go;
    }
    if (!song->warning.empty()) notice(item, song->warning, status);
    // A chip cannot be given any clock (a 1 Hz clock in a header would ask
    // a resampler or a clock correction for the impossible).
    for (std::size_t chip = 0; chip < song->chips.size(); ++chip) {
        const std::uint32_t clock = song->chips[chip].clock;
        if (clock == 0 || !song->writesTo(chip) ||
            (clock >= minimumChipClock && clock <= maximumChipClock))
            continue;
        fault(item,
              song->chips[chip].label() + " at " + std::to_string(clock) +
                  " Hz: a chip cannot be given that clock (from " +
                  std::to_string(minimumChipClock) + " to " + std::to_string(maximumChipClock) +
                  " Hz)",
              status);
        failed = true;
        return Request::go;
    }
    destination_.prepare(*song);
    SongChips chips(*song, destination_);
    const std::string scope(destination_.scope());
    if (!chips.dropped().empty()) {
        if (!chips.any()) {
            fault(item, "none of its chips is " + scope + " (" + joined(chips.dropped()) + ")",
                  status);
            failed = true;
            destination_.end(false);
            return Request::go;
        }
        notice(item, "not " + scope + ", its writes are dropped: " + joined(chips.dropped()),
               status);
    }
    if (!chips.any()) {
        fault(item, "it writes to no chip that can be played", status);
        failed = true;
        destination_.end(false);
        return Request::go;
    }
    for (const std::string& correction : chips.corrections())
        notice(item, correction, status);
    if (chips.placementLine().find("(converted") != std::string::npos && !settings_.display)
        notice(item, chips.placementLine(), status);
    if (const double capacity = destination_.linkWritesPerSecond(); capacity > 0) {
        const LinkLoad load = measureLinkLoad(*song, chips.played());
        if (load.peakWritesPerSecond > capacity) notice(item, linkNotice(load, capacity), status);
        destination_.setHeadStart(
            linkHeadStartMilliseconds(linkWriteTimes(*song, chips.played()), capacity));
    }

    SongPlayer player(*song, chips, settings_.play);
    if (settings_.display) {
        messages_ << displayName(item.path) << '\n';
        for (const std::string& text : tagLines(song->tags))
            messages_ << "  " << text << '\n';
        messages_ << "  Chips:  " << chips.placementLine() << std::endl;
    }
    const std::vector<MeterChip> meter = chips.meter();
    const std::uint64_t total = player.totalSamples();
    const bool looping = player.loops();
    StatusFunction show;
    const auto started = std::chrono::steady_clock::now();
    if (settings_.display)
        show = [&](const Position& position, bool paused) {
            std::string text =
                statusLine(position, total, looping, settings_.play.loops, meter, paused);
            if (settings_.showSpeed) {
                const std::chrono::duration<double> spent =
                    std::chrono::steady_clock::now() - started;
                text += "  " + speedText(position.sample, spent.count());
            }
            status.show(text);
        };
    destination_.begin();
    const std::unique_ptr<Timeline> timeline = destination_.timeline(chips.families(), show);
    const Request request = player.play(*timeline);
    chips.silence();
    destination_.end(request == Request::go && !stop_.load());
    status.end();
    return stop_.load() ? Request::stop : request;
}

} // namespace tavroplay
