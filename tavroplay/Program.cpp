// tavroplay's program; see Program.h.
//
// Messages go to standard error: faults always, notices (missing chips,
// clock corrections) unless --quiet, and the tag, chips and status line only
// when standard error is a terminal.
#include "tavroplay/Program.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <set>

#include "client/StopRequest.h"
#include "client/TavroLibrary.h"
#include "common/Platform.h"
#include "common/ThreadScheduling.h"
#include "soundif/core/IniFile.h"
#include "soundif/diagnosis/DeviceDiagnosis.h"
#include "tavroplay/BoardChips.h"
#include "tavroplay/BoardDestination.h"
#include "tavroplay/BoardReport.h"
#include "tavroplay/CommandLine.h"
#include "tavroplay/LinkLoad.h"
#include "tavroplay/Session.h"
#include "tavroplay/SongListing.h"
#include "tavroplay/WavRenderer.h"

namespace tavroplay {

namespace {

constexpr const char* program = "tavroplay";
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

// A run ended by a console event ends as that event ends a program (130
// after Ctrl+C), so that a shell loop over files stops too.
int endsAsStopped(int code) {
    if (!stopFlag.load()) return code;
    platform::endAsConsoleEvent(platform::lastConsoleEvent());
    return exitStatusOfInterrupt;
}

// The Speed of a board named "KX7M(COM3)" as its INI section gives it.
std::uint32_t boardSpeed(const std::filesystem::path& iniPath, const std::string& board) {
    const std::size_t com = board.rfind("(COM");
    if (com == std::string::npos) return defaultLinkSpeed;
    BoardSettings settings;
    settings.port = std::atoi(board.c_str() + com + 4);
    loadBoardSettings(settings, iniPath);
    return settings.speed;
}

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
    if (line->list && !line->items.empty()) return listSongs(line->items, std::cout, std::cerr);
    installStopRequest();
    // A reader that went away (tavroplay ... | head) fails the writes
    // instead of ending the program with the board open.
    platform::ignoreClosedPipes();
    if (line->wav) return endsAsStopped(renderWav(*line, stopFlag));

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
        // The timing thread (this one, while a song plays) and the boards'
        // workers ask for real-time scheduling alike, and are granted the same.
        std::cout << "Timing threads' scheduling: "
                  << platform::describeScheduling(platform::requestRealTimeScheduling()) << '\n';
        if (!library.libraryPath().empty()) {
            std::cout << '\n';
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
        const std::filesystem::path iniPath = iniFilePathFor(library.libraryPath());
        BoardDestination destination(
            *library.manager(), stopFlag,
            [iniPath](const std::string& board) { return boardSpeed(iniPath, board); });
        Session session(destination,
                        {{line->loops, line->fadeSeconds},
                         line->quiet,
                         !line->quiet && platform::standardErrorIsTerminal(),
                         line->shuffle,
                         line->repeat},
                        stopFlag, std::cerr);
        code = session.run(line->items);
    }
    platform::endKeyInput();
    library.unbind();
    return endsAsStopped(code);
}

} // namespace tavroplay
