// Playing the entries of a command line; see Session.h.
#include "tavroplay/Session.h"

#include <cstdio>
#include <optional>

#include "tavroplay/Display.h"
#include "tavroplay/LinkLoad.h"
#include "tavroplay/SongChips.h"

namespace tavroplay {

std::string displayName(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
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
                  "(%.0f a second): they fall behind; %s",
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
    std::size_t index = 0;
    while (index < items.size() && !stop_.load()) {
        const Request request = playItem(items[index], failed, status);
        if (request == Request::stop || request == Request::quit) break;
        if (request == Request::previous)
            index = index == 0 ? 0 : index - 1;
        else
            ++index;
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
    if (settings_.display)
        show = [&](const Position& position, bool paused) {
            status.show(statusLine(position, total, looping, settings_.play.loops, meter, paused));
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
