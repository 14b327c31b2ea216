// The ADPCM voices as a chip family; see AdpcmFamily.h.
#include "tavroplay/AdpcmFamily.h"

#include <algorithm>

namespace tavroplay {

AdpcmFamily::AdpcmFamily(double ratio, RegisterSink& sink)
    : ChipFamily(registerCount, ratio, sink) {}

std::string AdpcmFamily::activity() const {
    std::string marks;
    for (unsigned track = 0; track < trackCount; ++track)
        marks += mark((started_ >> track & 1) != 0);
    started_ = 0;
    return marks;
}

void AdpcmFamily::noteWrite(std::uint16_t address, std::uint8_t) {
    if (address < startBase + trackCount) started_ |= 1u << (address - startBase);
}

void AdpcmFamily::emit(std::uint16_t address, bool onlyChanges) {
    // A start or a stop goes out every time it is written.
    const bool event = address < panBase || (address >= stopBase && address < attenuationRegister);
    send(address, value(address), onlyChanges && !event);
}

void AdpcmFamily::refreshLevels() {
    send(attenuationRegister,
         static_cast<std::uint8_t>(std::min<int>(steps(attenuationStepDecibels), mutedSteps)),
         true);
}

void AdpcmFamily::mute() {
    send(stopRegister, 0, false);
    refreshLevels();
}

bool AdpcmFamily::restoredOtherwise(std::uint16_t address) const {
    return address < panBase || (address >= stopBase && address < gainBase);
}

void AdpcmFamily::restoreKeys() {
    refreshLevels();
}

} // namespace tavroplay
