// tavroplay's program; see Program.h.
//
// Messages go to standard error: faults always, notices (missing chips,
// clock corrections) unless --quiet, and the tag, chips and status line only
// when standard error is a terminal.
#include "tavroplay/Program.h"

#include <iostream>
#include <optional>

#include "client/StopRequest.h"
#include "client/TavroLibrary.h"
#include "common/Platform.h"
#include "common/ThreadScheduling.h"
#include "soundif/diagnosis/DeviceDiagnosis.h"
#include "tavroplay/BoardChips.h"
#include "tavroplay/BoardDestination.h"
#include "tavroplay/CommandLine.h"
#include "tavroplay/Session.h"
#include "tavroplay/SongListing.h"
#include "tavroplay/WavRenderer.h"

namespace tavroplay {

namespace {

constexpr const char* program = "tavroplay";

std::string bindFault(const TavroLibrary& library) {
    switch (library.failure()) {
    case TavroLibrary::Failure::notFound:
        return "the sound-interface library " + library.libraryName() + " cannot be loaded";
    case TavroLibrary::Failure::noExport:
    case TavroLibrary::Failure::noManager:
        return library.libraryName() + " is not the sound-interface library";
    default: return "no board is open (none configured, or none attached)";
    }
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
    if (line->wav) return renderWav(*line, stopFlag);

    // --list: the boards the library offers, then every device attached and,
    // for one that cannot be opened, why and what to do about it (looked at
    // before the library holds its boards).
    const std::string devices =
        line->list ? diagnosis::describe(diagnosis::diagnoseDevices()) : std::string();
    TavroLibrary library;
    const bool bound = library.bind();
    if (line->list) {
        if (bound) BoardChips(*library.manager()).list(std::cout);
        // The timing thread (this one, while a song plays) and the boards'
        // workers ask for real-time scheduling alike, and are granted the same.
        std::cout << "Timing threads' scheduling: "
                  << platform::describeScheduling(platform::requestRealTimeScheduling()) << '\n';
        std::cout << '\n' << devices << std::flush;
        if (bound) library.unbind();
    }
    if (!bound) {
        std::cerr << program << ": " << bindFault(library) << std::endl;
        return 1;
    }
    if (line->list) return 0;
    platform::beginKeyInput();
    // The first sleep makes the system timer fine enough (Windows): done
    // here, before any timing starts.
    platform::sleepMilliseconds(1);
    int code = 0;
    {
        BoardDestination destination(*library.manager(), stopFlag);
        Session session(destination,
                        {{line->loops, line->fadeSeconds},
                         line->quiet,
                         !line->quiet && platform::standardErrorIsTerminal()},
                        stopFlag, std::cerr);
        code = session.run(line->items);
    }
    platform::endKeyInput();
    library.unbind();
    return code;
}

} // namespace tavroplay
