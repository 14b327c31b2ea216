// Rendering to a sound file through the software chips; see WavRenderer.h.
//
// The songs follow one another in one 48 kHz, 16-bit stereo file, each
// played by the session on a MixerDestination. Nothing is lost on the way:
// every input is read before the output is touched (a name mistyped writes
// nothing), an output that is one of the inputs is refused, the sound goes
// into a new file beside the output that replaces it only when the render is
// done, and a render that is stopped leaves that file under its own name and
// says so. A WAV file that grows past 4 GiB becomes RF64 (libsndfile writes
// RF64 and makes it a plain WAV file at the end when it stayed small).
#include "tavroplay/WavRenderer.h"

#include <sndfile.h>

#include <iostream>

#include "common/Platform.h"
#include "songs/Song.h"
#include "tavroplay/MixerDestination.h"
#include "tavroplay/Session.h"

namespace tavroplay {

namespace {

std::string lowerExtension(const std::filesystem::path& path) {
    const std::u8string wide = path.extension().u8string();
    std::string extension(wide.begin(), wide.end());
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

// Whether two names are the same file (or would be).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code code;
    if (std::filesystem::equivalent(a, b, code)) return true;
    return std::filesystem::weakly_canonical(a, code) == std::filesystem::weakly_canonical(b, code);
}

// Whether this build's libsndfile has the major format (a build without its
// external codecs lacks FLAC).
bool canWrite(int format) {
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int index = 0; index < count; ++index) {
        SF_FORMAT_INFO major{};
        major.format = index;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &major, sizeof major) == 0 &&
            major.format == (format & SF_FORMAT_TYPEMASK))
            return true;
    }
    return false;
}

// libsndfile takes a path in the system's code page, which on Windows cannot
// name every file: there it takes the wide path.
SNDFILE* openForWriting(const std::filesystem::path& path, SF_INFO& info) {
#ifdef _WIN32
    return sf_wchar_open(path.c_str(), SFM_WRITE, &info);
#else
    return sf_open(path.c_str(), SFM_WRITE, &info);
#endif
}

} // namespace

SoundFileFormat soundFileFormat(const std::filesystem::path& path) {
    if (lowerExtension(path) == ".flac") return {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false};
    return {SF_FORMAT_RF64 | SF_FORMAT_PCM_16, true};
}

std::filesystem::path partialPath(const std::filesystem::path& out) {
    std::filesystem::path name = out.stem();
    name += ".partial";
    name += out.extension();
    std::filesystem::path partial = out;
    partial.replace_filename(name);
    return partial;
}

int renderWav(const CommandLine& line, const std::atomic<bool>& stop) {
    const std::filesystem::path& out = *line.wav;
    const std::string name = displayName(out);
    // The inputs first: the output is touched only when every one is there.
    bool unreadable = false;
    for (const PlayItem& item : line.items) {
        if (sameFile(item.path, out)) {
            std::cerr << name << ": is one of the files to render; give --wav another name"
                      << std::endl;
            return 1;
        }
        std::string error = item.fault;
        if (error.empty() && !songs::loadSong(item.path, error)) unreadable = true;
        if (!error.empty()) {
            std::cerr << displayName(item.path) << ": " << error << std::endl;
            unreadable = true;
        }
    }
    if (unreadable) {
        std::cerr << name << ": not written, since not every file can be read" << std::endl;
        return 1;
    }

    const SoundFileFormat format = soundFileFormat(out);
    SF_INFO info{};
    info.samplerate = mixer::BoardMixer::outputRate;
    info.channels = 2;
    info.format = format.format;
    const std::filesystem::path partial = partialPath(out);
    const std::string partialName = displayName(partial);
    if (!canWrite(info.format)) {
        std::cerr << name << ": this build cannot write that kind of sound file; give a .wav name"
                  << std::endl;
        return 1;
    }
    SNDFILE* file = openForWriting(partial, info);
    if (file == nullptr) {
        std::cerr << partialName << ": cannot be written: " << sf_strerror(nullptr) << std::endl;
        return 1;
    }
    if (format.rf64WhenLarge) sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    int code = 0;
    std::uint64_t frames = 0;
    {
        MixerDestination destination(file, stop);
        // On a terminal: the tag, the chips and a progress line with the speed.
        const bool display = !line.quiet && platform::standardErrorIsTerminal();
        Session session(
            destination,
            {{line.loops, line.fadeSeconds}, line.quiet, display, line.shuffle, line.repeat, true},
            stop, std::cerr);
        code = session.run(line.items);
        if (destination.failed()) {
            std::cerr << partialName << ": cannot be written: " << sf_strerror(file) << std::endl;
            code = 1;
        }
        frames = destination.framesWritten();
    }
    std::error_code error;
    if (sf_close(file) != 0) {
        std::cerr << partialName << ": cannot be written to its end" << std::endl;
        code = 1;
    } else if (stop.load()) {
        if (frames == 0) {
            std::filesystem::remove(partial, error);
        } else {
            std::cerr << name << ": stopped; what was rendered is in " << partialName << std::endl;
        }
    } else if (frames == 0) {
        std::filesystem::remove(partial, error);
        std::cerr << name << ": not written: nothing was rendered" << std::endl;
        code = 1;
    } else {
        std::filesystem::rename(partial, out, error);
        if (error) {
            std::cerr << name << ": cannot be replaced (" << error.message()
                      << "); the sound is in " << partialName << std::endl;
            code = 1;
        }
    }
    return code;
}

} // namespace tavroplay
