// tavroplay's program; see Program.h.
//
// Messages go to standard error: faults always, notices (missing chips,
// clock corrections) unless --quiet, and the tag, chips and status line only
// when standard error is a terminal.
#include "tavroplay/Program.h"

#include <cstring>
#include <iostream>
#include <optional>
#include <set>

#include "client/StopRequest.h"
#include "client/TavroLibrary.h"
#include "common/Platform.h"
#include "soundif/core/IniFile.h"
#include "soundif/link/d2xx/DeviceDiagnosis.h"
#include "tavroplay/BoardChips.h"
#include "tavroplay/BoardReport.h"
#include "tavroplay/CommandLine.h"
#include "tavroplay/Display.h"
#include "tavroplay/FileChips.h"
#include "tavroplay/PlayOrder.h"
#include "tavroplay/RealTimeline.h"
#include "tavroplay/SongPlayer.h"
#include "tavroplay/WavRenderer.h"

namespace tavroplay {

namespace {

constexpr const char* program = "tavroplay";
// What is sent leaves after the library's send delay; this much more is
// waited for it, in steps of the second.
constexpr std::int32_t drainMarginMilliseconds = 20;
constexpr std::uint32_t drainStepMilliseconds = 10;
// The exit status of a program ended by SIGINT, where the event cannot be
// raised again.
constexpr int exitStatusOfInterrupt = 130;

std::string bindFault(const TavroLibrary& library) {
    switch (library.failure()) {
    case TavroLibrary::Failure::notFound:
        return "the sound-interface library " + library.libraryName() + " cannot be loaded";
    case TavroLibrary::Failure::noExport:
    case TavroLibrary::Failure::noManager:
        return library.libraryName() + " is not the sound-interface library";
    default: return "no board could be opened";
    }
}

// The boards of the INI file the library read, and why each is or is not open.
BoardReport reportBoards(const TavroLibrary& library, const diagnosis::Diagnosis* devices) {
    std::set<std::int32_t> opened;
    if (SoundInterfaceManager* manager = library.manager()) {
        const auto count = static_cast<std::uint32_t>(manager->interfaceCount());
        for (std::uint32_t i = 0; i < count; ++i)
            if (const SoundInterfaceInfo* info = manager->interfaceInfoAt(i))
                opened.insert(portOfInterfaceName(
                    std::string(info->name, strnlen(info->name, sizeof info->name))));
    }
    return BoardReport::look(iniFilePathFor(library.libraryPath()), devices, opened);
}

std::string displayName(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return terminalText(std::string(text.begin(), text.end()));
}

// A run ended by a console event ends as that event ends a program (130
// after Ctrl+C), so that a shell loop over files stops too.
int endsAsStopped(int code) {
    if (!stopFlag.load()) return code;
    platform::endAsConsoleEvent(platform::lastConsoleEvent());
    return exitStatusOfInterrupt;
}

// The terminal's status line, overwritten in place.
class StatusLine {
public:
    void show(const std::string& text) {
        std::string line = "\r" + text;
        if (text.size() < width_) line.append(width_ - text.size(), ' ');
        width_ = text.size();
        std::cerr << line << std::flush;
    }
    void end() {
        if (width_ == 0) return;
        std::cerr << '\n' << std::flush;
        width_ = 0;
    }

private:
    std::size_t width_ = 0;
};

class BoardSession {
public:
    BoardSession(const CommandLine& line, TavroLibrary& library)
        : line_(line), library_(library), boards_(*library.manager()),
          display_(!line.quiet && platform::standardErrorIsTerminal()) {}

    int run() {
        bool failed = false;
        PlayOrder order(line_.items.size(), line_.shuffle, line_.repeat);
        while (const std::optional<std::size_t> index = order.current()) {
            if (stopFlag.load()) break;
            bool refused = false;
            const Request request = playItem(line_.items[*index], refused);
            failed = failed || refused;
            if (request == Request::stop || request == Request::quit) break;
            // A refused file is passed over in the direction of travel.
            if (request == Request::previous)
                order.back();
            else if (refused)
                order.passOver();
            else
                order.forward(true);
        }
        return failed ? 1 : 0;
    }

private:
    void fault(const PlayItem& item, const std::string& text) {
        status_.end();
        std::cerr << displayName(item.path) << ": " << text << std::endl;
    }
    void notice(const PlayItem& item, const std::string& text) {
        if (line_.quiet) return;
        status_.end();
        std::cerr << displayName(item.path) << ": " << text << std::endl;
    }

    // Waits until what was sent has left (the library's send delay), so that
    // a reset after it drops nothing; a stop request does not cut it short.
    void drain() {
        const std::int32_t delay = library_.manager()->getSendDelay();
        for (std::int32_t waited = 0; waited < delay + drainMarginMilliseconds;
             waited += drainStepMilliseconds)
            platform::sleepMilliseconds(drainStepMilliseconds);
    }

    Request playItem(const PlayItem& item, bool& failed) {
        if (!item.fault.empty()) {
            fault(item, item.fault);
            failed = true;
            return Request::go;
        }
        std::string error;
        const std::optional<vgm::VgmFile> file = vgm::VgmFile::load(item.path, error);
        if (!file) {
            fault(item, error);
            failed = true;
            return Request::go;
        }
        if (!file->warning().empty()) notice(item, file->warning());
        FileChips chips(*file, boards_);
        if (!chips.missing().empty()) {
            std::string list;
            for (const std::string& label : chips.missing())
                list += (list.empty() ? "" : ", ") + label;
            if (!chips.any()) {
                fault(item, "none of its chips is on the boards (" + list + ")");
                failed = true;
                return Request::go;
            }
            notice(item, "not on the boards, its writes are dropped: " + list);
        }
        for (const std::string& correction : chips.corrections())
            notice(item, correction);
        if (!chips.any()) {
            fault(item, "it writes to no chip that can be played");
            failed = true;
            return Request::go;
        }

        SongPlayer player(*file, chips.table(), {line_.loops, line_.fadeSeconds});
        if (display_) {
            std::cerr << displayName(item.path) << '\n';
            if (file->tag())
                for (const std::string& text : tagLines(*file->tag()))
                    std::cerr << "  " << text << '\n';
            std::cerr << "  Chips:  " << chips.placement() << std::endl;
        }
        const std::vector<MeterChip> meter = chips.meter();
        const std::uint64_t total = player.totalSamples();
        const bool looping = player.loops();
        std::function<void(const Position&, bool)> status;
        if (display_)
            status = [&](const Position& position, bool paused) {
                status_.show(statusLine(position, total, looping, line_.loops, meter, paused));
            };
        RealTimeline timeline(chips.played(), status);
        // Each file starts on chips in their reset state.
        library_.manager()->resetInterfaces();
        const Request request = player.play(timeline);

        // The file's end is heard out, and after a stop or a skip too the
        // key-offs reach the wire before the reset clears what is queued.
        chips.silence();
        drain();
        library_.manager()->resetInterfaces();
        chips.release();
        status_.end();
        return stopFlag.load() ? Request::stop : request;
    }

    const CommandLine& line_;
    TavroLibrary& library_;
    BoardChips boards_;
    bool display_;
    StatusLine status_;
};

} // namespace

int runProgram(const std::vector<std::string>& arguments) {
    platform::useUtf8Console();
    std::string error;
    const std::optional<CommandLine> line = CommandLine::parse(arguments, error);
    if (arguments.empty()) {
        for (const char* const* text = usageText; *text != nullptr; ++text)
            std::cerr << *text << '\n';
        std::cerr << std::flush;
        return 1;
    }
    if (!line) {
        std::cerr << program << ": " << error << " (tavroplay --help shows the options)"
                  << std::endl;
        return 1;
    }
    if (line->help) {
        for (const char* const* text = usageText; *text != nullptr; ++text)
            std::cout << *text << '\n';
        return 0;
    }
    installStopRequest();
    // A reader that went away (tavroplay ... | head) fails the writes
    // instead of ending the program with the board open.
    platform::ignoreClosedPipes();
    if (line->wav) return endsAsStopped(renderWav(*line));

    // --list: the boards the library offers, the INI file read and what
    // became of each board in it, then every device attached and, for one
    // that cannot be opened, why and what to do about it (looked at before
    // the library holds its boards).
    const diagnosis::Diagnosis devices =
        line->list ? diagnosis::diagnoseDevices() : diagnosis::Diagnosis();
    TavroLibrary library;
    const bool bound = library.bind();
    if (line->list) {
        if (bound) BoardChips(*library.manager()).list(std::cout);
        if (!library.libraryPath().empty()) {
            std::cout << (bound ? "\n" : "");
            const BoardReport report = reportBoards(library, &devices);
            for (const std::string& text : report.lines())
                std::cout << text << '\n';
        }
        std::cout << '\n' << diagnosis::describe(devices) << std::flush;
        if (bound) library.unbind();
    }
    if (!bound) {
        std::cerr << program << ": " << bindFault(library) << std::endl;
        // Why: the file read and each board in it (the devices looked at now
        // that the library has let them go).
        if (library.failure() == TavroLibrary::Failure::noBoard && !line->list) {
            const diagnosis::Diagnosis now = diagnosis::diagnoseDevices();
            const BoardReport report = reportBoards(library, &now);
            for (const std::string& text : report.lines())
                std::cerr << "  " << text << '\n';
        }
        std::cerr << std::flush;
        return 1;
    }
    if (line->list) return 0;
    if (!line->quiet) {
        // A board that is configured but cannot play is named at the start.
        const BoardReport report = reportBoards(library, nullptr);
        if (report.anyProblem())
            for (const std::string& text : report.lines())
                std::cerr << text << '\n';
    }
    platform::beginKeyInput();
    // The first sleep makes the system timer fine enough (Windows): done
    // here, before any timing starts.
    platform::sleepMilliseconds(1);
    int code = 0;
    {
        BoardSession session(*line, library);
        code = session.run();
    }
    platform::endKeyInput();
    library.unbind();
    return endsAsStopped(code);
}

} // namespace tavroplay
