// The converters of convert/ as the road plugs them in; see Conversion.h.
// Each adapter feeds the song's writes to its converter and the converter's
// writes to the target chips' families; the losses are named from the
// song's writes before it plays, for the placement line.
#include "tavroplay/Conversion.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "convert/OpnToYm2151.h"
#include "convert/Sn76489ToSsg.h"

namespace tavroplay {

namespace {

using songs::ChipType;

convert::RegisterWriter writerOf(ChipFamily* family) {
    if (family == nullptr) return [](std::uint16_t, std::uint8_t) {};
    return [family](std::uint16_t address, std::uint8_t data) { family->write(address, data); };
}

class Sn76489Conversion : public Conversion {
public:
    Sn76489Conversion(const songs::Song& song, std::size_t chip, const ConversionOutput& output)
        : convert_(setupOf(song.chips[chip]), output.mainClock, writerOf(&output.main)) {
        for (const songs::SongWrite& write : song.writes)
            if (write.chip == chip && write.address == songs::sn76489StereoAddress &&
                convert::Sn76489ToSsg::losesStereo(write.data))
                losses_ = convert::Sn76489ToSsg::stereoLoss;
    }
    void write(std::uint16_t address, std::uint8_t data) override {
        if (address == songs::sn76489StereoAddress)
            convert_.writeStereo(data);
        else
            convert_.write(data);
    }
    std::string losses() const override { return losses_; }

private:
    static convert::Sn76489Setup setupOf(const songs::SongChip& chip) {
        return {chip.clock, chip.noise.width, chip.noise.zeroPeriodIs1024};
    }
    convert::Sn76489ToSsg convert_;
    std::string losses_;
};

// OPN FM on a YM2151, its SSG part on an SSG.
class OpnConversion : public Conversion {
public:
    OpnConversion(const songs::Song& song, std::size_t chip, convert::OpnModel model,
                  const ConversionOutput& output)
        : convert_({model, song.chips[chip].clock}, output.mainClock, writerOf(&output.main),
                   output.ssgClock, writerOf(output.ssg)) {
        std::vector<std::string_view> found;
        for (const songs::SongWrite& write : song.writes) {
            if (write.chip != chip) continue;
            const std::string_view loss =
                convert::OpnToYm2151::lossOf(model, write.address, write.data);
            if (!loss.empty() && std::find(found.begin(), found.end(), loss) == found.end())
                found.push_back(loss);
        }
        for (std::string_view loss : found)
            losses_ += (losses_.empty() ? "" : "; ") + std::string(loss);
    }
    void write(std::uint16_t address, std::uint8_t data) override { convert_.write(address, data); }
    std::string losses() const override { return losses_; }

private:
    convert::OpnToYm2151 convert_;
    std::string losses_;
};

} // namespace

const ConversionFactory& standardConversions() {
    static const ConversionFactory factory{
        [](ChipType type) -> std::optional<ConversionTargets> {
            switch (type) {
            case ChipType::sn76489: return ConversionTargets{ChipType::ssg, std::nullopt};
            case ChipType::ym2612: return ConversionTargets{ChipType::ym2151, std::nullopt};
            case ChipType::ym2203:
            case ChipType::ym2608: return ConversionTargets{ChipType::ym2151, ChipType::ssg};
            default: return std::nullopt;
            }
        },
        [](const songs::Song& song, std::size_t chip,
           const ConversionOutput& output) -> std::unique_ptr<Conversion> {
            switch (song.chips[chip].type) {
            case ChipType::sn76489: return std::make_unique<Sn76489Conversion>(song, chip, output);
            case ChipType::ym2203:
                return std::make_unique<OpnConversion>(song, chip, convert::OpnModel::ym2203,
                                                       output);
            case ChipType::ym2608:
                return std::make_unique<OpnConversion>(song, chip, convert::OpnModel::ym2608,
                                                       output);
            case ChipType::ym2612:
                return std::make_unique<OpnConversion>(song, chip, convert::OpnModel::ym2612,
                                                       output);
            default: return nullptr;
            }
        }};
    return factory;
}

} // namespace tavroplay
