// VGM file reading and checking; see VgmFile.h.
#include "vgm/VgmFile.h"
#include "vgm/FileBytes.h"

#include <cstdio>

#include "common/WholeFile.h"

namespace vgm {

namespace {

constexpr std::uint32_t magic = 0x206D6756; // "Vgm "
constexpr std::size_t minimumHeader = 0x40;
constexpr std::size_t eofField = 0x04;
constexpr std::size_t versionField = 0x08;
constexpr std::size_t gd3Field = 0x14;
constexpr std::size_t totalSamplesField = 0x18;
constexpr std::size_t loopField = 0x1C;
constexpr std::size_t loopSamplesField = 0x20;
constexpr std::size_t dataField = 0x34;
constexpr std::size_t ay8910TypeField = 0x78;
constexpr std::size_t ay8910FlagsField = 0x79;
constexpr std::uint32_t dataFieldSince = 0x150;
constexpr std::uint32_t ym2151ClockSince = 0x110;
constexpr std::uint32_t dualChip = catalog::vgmSecondChipClockFlag;
constexpr std::uint32_t variantBit = 0x80000000;
constexpr std::size_t maximumSize = maximumFileSize;

} // namespace

bool isGzip(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B;
}

bool readFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes,
                   std::string& error, std::size_t limit) {
    const platform::FileFault fault = platform::readWholeFile(path, limit, bytes);
    if (fault == platform::FileFault::tooLarge) {
        error = "too large to be a song file (over " + std::to_string(limit >> 20) + " MB)";
        return false;
    }
    if (fault != platform::FileFault::none) {
        error = platform::fileFaultText(fault);
        return false;
    }
    return true;
}

std::optional<VgmFile> VgmFile::load(const std::filesystem::path& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(path, bytes, error, maximumSize)) return std::nullopt;
    return parse(std::move(bytes), error);
}

std::optional<VgmFile> VgmFile::parse(std::vector<std::uint8_t> bytes, std::string& error) {
    if (isGzip(bytes)) {
        std::vector<std::uint8_t> unpacked;
        if (!gunzip(bytes, unpacked, error, maximumSize)) return std::nullopt;
        bytes = std::move(unpacked);
    }
    if (bytes.size() < minimumHeader) {
        error = bytes.empty() ? "empty file" : "too short for a VGM header";
        return std::nullopt;
    }
    if (read32(bytes, 0) != magic) {
        error = "not a VGM file (no \"Vgm \" at its start)";
        return std::nullopt;
    }

    VgmFile file;
    VgmHeader& header = file.header_;
    header.version = read32(bytes, versionField);
    header.dataStart = minimumHeader;
    if (header.version >= dataFieldSince && read32(bytes, dataField) != 0)
        header.dataStart = dataField + std::size_t{read32(bytes, dataField)};
    if (header.dataStart < minimumHeader) {
        error = "data offset " + hex(header.dataStart) + " lies inside the header";
        return std::nullopt;
    }
    if (header.dataStart >= bytes.size()) {
        error = "data offset " + hex(header.dataStart) + " lies past the end of the file (" +
                std::to_string(bytes.size()) + " bytes)";
        return std::nullopt;
    }
    const std::uint32_t eof = read32(bytes, eofField);
    header.dataEnd = eof == 0 ? bytes.size() : eofField + std::size_t{eof};
    if (header.dataEnd <= header.dataStart) {
        error = "bad end-of-file field: it gives " + std::to_string(header.dataEnd) +
                " bytes, which ends before the data at " + hex(header.dataStart);
        return std::nullopt;
    }
    // A file shorter than its header says is played when its music is whole
    // (the end command is there): an end-of-file field off by 4 (the file's
    // size written in it), or a file cut inside its tag.
    std::string shortFile;
    const std::size_t declaredEnd = header.dataEnd;
    if (header.dataEnd > bytes.size()) {
        shortFile = "the header gives " + std::to_string(header.dataEnd) + " bytes, the file has " +
                    std::to_string(bytes.size());
        header.dataEnd = bytes.size();
    }
    // Header fields that lie in the data or that the version lacks read as 0.
    const auto field = [&](std::size_t offset, std::uint32_t since) -> std::uint32_t {
        return header.version >= since && offset + 4 <= header.dataStart ? read32(bytes, offset)
                                                                         : 0;
    };
    header.totalSamples = read32(bytes, totalSamplesField);
    header.loopSamples = read32(bytes, loopSamplesField);
    if (const std::uint32_t gd3 = read32(bytes, gd3Field); gd3 != 0) {
        header.gd3Start = gd3Field + std::size_t{gd3};
        // The commands end where the tag begins, end command or not.
        if (header.gd3Start > header.dataStart && header.gd3Start < header.dataEnd)
            header.dataEnd = header.gd3Start;
    }
    std::string loopFault;
    if (const std::uint32_t loop = read32(bytes, loopField); loop != 0) {
        header.loopStart = loopField + std::size_t{loop};
        if (header.loopStart < header.dataStart || header.loopStart >= header.dataEnd)
            loopFault = "loop offset " + hex(header.loopStart) + " lies outside the data";
    }
    for (std::size_t chip = 0; chip < chipCount; ++chip) {
        const ClockField where = clockField(static_cast<VgmChip>(chip));
        std::uint32_t value = field(where.offset, where.sinceVersion);
        // Before 1.10 the YM2413 field held the clock of every FM chip.
        if (static_cast<VgmChip>(chip) == VgmChip::ym2151 && header.version < ym2151ClockSince)
            value = read32(bytes, clockField(VgmChip::ym2413).offset);
        header.clocks[chip] = {value & ~(dualChip | variantBit), (value & dualChip) != 0,
                               (value & variantBit) != 0};
    }
    if (header.version >= 0x151 && ay8910FlagsField < header.dataStart) {
        header.ay8910Type = bytes[ay8910TypeField];
        header.ay8910Flags = bytes[ay8910FlagsField];
    }
    file.bytes_ = std::move(bytes);
    std::string tagFault;
    if (header.gd3Start != 0) {
        file.tag_ = readGd3Tag(file.bytes_, header.gd3Start, tagFault);
        if (!file.tag_ && tagFault.empty()) tagFault = "no tag where the header points";
    }

    // One pass over the stream: well formed, which chips, how long, and
    // where the loop starts.
    CommandReader reader = file.commands();
    std::uint64_t samples = 0;
    std::uint64_t samplesAtLoop = 0;
    bool loopSeen = header.loopStart == 0 || !loopFault.empty();
    for (VgmEvent event = reader.next(); event.kind != VgmEvent::end; event = reader.next()) {
        if (!loopSeen && event.offset >= header.loopStart) {
            loopSeen = true;
            if (event.offset != header.loopStart)
                loopFault = "loop offset " + hex(header.loopStart) + " is not at a command";
            samplesAtLoop = samples;
        }
        if (event.kind == VgmEvent::fault) {
            error = reader.error();
            if (!shortFile.empty()) error = "truncated: " + shortFile + " (" + error + ")";
            return std::nullopt;
        }
        if (event.kind == VgmEvent::wait) samples += event.samples;
        if (event.kind == VgmEvent::write)
            file.used_[static_cast<std::size_t>(event.chip)][event.index] = true;
    }
    // A loop that starts at the end command is empty: it plays nothing.
    if (!loopSeen) {
        if (reader.offset() != header.loopStart)
            loopFault = "loop offset " + hex(header.loopStart) + " is not at a command";
        samplesAtLoop = samples;
    }

    // What was wrong but did not spoil the music: one warning.
    std::string& warning = file.warning_;
    const auto warn = [&warning](const std::string& text) {
        warning += (warning.empty() ? "" : "; ") + text;
    };
    if (!shortFile.empty()) {
        if (declaredEnd == file.bytes_.size() + eofField)
            warn("its end-of-file field is off by 4 (it gives the file's size)");
        else
            warn("cut short after its music: " + shortFile);
    }
    if (!loopFault.empty()) {
        warn(loopFault + "; played without its loop");
        header.loopStart = 0;
        header.loopSamples = 0;
    }
    if (!tagFault.empty()) warn("its tag: " + tagFault);

    file.streamSamples_ = samples;
    file.streamLoopSamples_ = header.loopStart != 0 ? samples - samplesAtLoop : 0;
    return file;
}

} // namespace vgm
