// The chips of one song; see SongChips.h.
#include "tavroplay/SongChips.h"

#include <cmath>
#include <cstdio>

#include "tavroplay/FamilyFactory.h"

namespace tavroplay {

namespace {

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

} // namespace

ChipFamily* SongChips::placeFamily(songs::ChipType type, std::uint32_t clock,
                                   const std::string& label, std::string& where,
                                   std::uint32_t& placedClock) {
    const std::optional<PlacedChip> placed = destination_.place(type, clock);
    if (!placed) return nullptr;
    const double ratio =
        clock == 0 || placed->clock == 0 ? 1.0 : static_cast<double>(clock) / placed->clock;
    std::unique_ptr<ChipFamily> family = makeFamily(type, ratio, *placed->sink);
    if (!family) return nullptr;
    if (ratio != 1.0) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "%s is clock-corrected: the file's %u Hz played on a %u Hz chip "
                      "(%+.2f semitones)",
                      label.c_str(), clock, placed->clock, 12 * std::log2(ratio));
        corrections_.push_back(text);
    }
    where = placed->where.empty() ? "a board" : placed->where;
    placedClock = placed->clock;
    int sameName = 0;
    for (const Played& played : families_)
        if (played.family->meterName() == family->meterName()) ++sameName;
    std::string meterLabel(family->meterName());
    if (sameName > 0) meterLabel += std::to_string(sameName + 1);
    families_.push_back({std::move(family), meterLabel});
    return families_.back().family.get();
}

SongChips::SongChips(const songs::Song& song, Destination& destination,
                     const ConversionFactory& conversions)
    : destination_(destination) {
    inputs_.resize(song.chips.size());
    for (std::size_t number = 0; number < song.chips.size(); ++number) {
        if (!song.writesTo(number)) continue;
        const songs::SongChip& chip = song.chips[number];
        const std::string label = chip.label();
        std::string where;
        std::uint32_t clock = 0;
        if (ChipFamily* family = placeFamily(chip.type, chip.clock, label, where, clock)) {
            inputs_[number].family = family;
            placements_.push_back(label + " on " + where);
            continue;
        }
        const std::optional<ConversionTargets> targets =
            conversions.targets ? conversions.targets(chip.type) : std::nullopt;
        ChipFamily* main = nullptr;
        if (targets) main = placeFamily(targets->main, 0, label, where, clock);
        if (main == nullptr) {
            const std::string reason = destination_.unplacedReason(chip.type);
            dropped_.push_back(reason.empty() ? label : label + " (" + reason + ")");
            continue;
        }
        ConversionOutput output{*main, clock, nullptr, 0};
        std::string ssgWhere;
        if (targets->ssg)
            output.ssg = placeFamily(*targets->ssg, 0, label, ssgWhere, output.ssgClock);
        inputs_[number].conversion = conversions.make(song, number, output);
        if (!inputs_[number].conversion) {
            dropped_.push_back(label);
            continue;
        }
        std::string line = label + " -> " + std::string(songs::typeName(targets->main)) + " on " +
                           where + " (converted";
        if (const std::string losses = inputs_[number].conversion->losses(); !losses.empty())
            line += "; " + losses;
        placements_.push_back(line + ")");
        if (output.ssg != nullptr)
            placements_.push_back(label + " SSG part -> SSG on " + ssgWhere + " (converted)");
    }
}

void SongChips::write(const songs::SongWrite& write) {
    if (write.chip >= inputs_.size()) return;
    Input& input = inputs_[write.chip];
    if (input.conversion)
        input.conversion->write(write.address, write.data);
    else if (input.family != nullptr)
        input.family->write(write.address, write.data);
}

std::vector<ChipFamily*> SongChips::families() const {
    std::vector<ChipFamily*> result;
    for (const Played& played : families_)
        result.push_back(played.family.get());
    return result;
}

std::vector<bool> SongChips::played() const {
    std::vector<bool> result;
    for (const Input& input : inputs_)
        result.push_back(input.family != nullptr || input.conversion != nullptr);
    return result;
}

std::vector<MeterChip> SongChips::meter() const {
    std::vector<MeterChip> result;
    for (const Played& played : families_)
        result.push_back({played.meterLabel, played.family.get()});
    return result;
}

std::string SongChips::placementLine() const {
    return joined(placements_);
}

void SongChips::setAttenuation(double decibels) {
    for (Played& played : families_)
        played.family->setAttenuation(decibels);
}

void SongChips::silence() {
    for (Played& played : families_)
        played.family->silence();
}

void SongChips::restore() {
    for (Played& played : families_)
        played.family->restore();
}

} // namespace tavroplay
