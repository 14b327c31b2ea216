// The board setup dialog's lists, clock suggestions and handlers.
#include "soundif/dialogs/Kx7mSetupDlg.h"

#include "soundif/catalog/BoardLayout.h"
#include "soundif/catalog/ChipModel.h"
#include "soundif/dialogs/DecimalText.h"
#include "soundif/dialogs/DialogResources.h"
#include "soundif/dialogs/WindowMap.h"

#include <array>
#include <string_view>

namespace {
constexpr std::array<std::uint32_t, 10> speeds{9600,   19200,  38400,  57600,   115200,
                                               230400, 460800, 921600, 1500000, 3000000};

// One entry of the chip type list: a board model, or a chip offered alone.
struct ChipTypeEntry {
    std::string_view text;
    std::int32_t code;
    std::uint32_t clock; // put into the clock box when the entry is picked
};

constexpr std::size_t offeredChipCount = [] {
    std::size_t count = 0;
    for (const catalog::ChipModel& model : catalog::chipModels)
        count += model.offeredAlone ? 1 : 0;
    return count;
}();

// The board models first, then the chips offered alone, as the catalog lists them.
constexpr auto chipTypes = [] {
    std::array<ChipTypeEntry, catalog::boardLayouts.size() + offeredChipCount> entries{};
    std::size_t next = 0;
    for (const catalog::BoardLayout& layout : catalog::boardLayouts)
        entries[next++] = {layout.name, layout.id, layout.defaultClock};
    for (const catalog::ChipModel& model : catalog::chipModels)
        if (model.offeredAlone) entries[next++] = {model.name, model.type, model.defaultClock};
    return entries;
}();

constexpr ChipTypeEntry noChip{"NONE", 0, 0};

constexpr std::array<std::uint32_t, 5> clockSuggestions{3579545, 3993600, 4000000, 7987200,
                                                        8000000};
} // namespace

CKx7mSetupDlg::CKx7mSetupDlg(BoardSettings& settings, WindowHandle owner)
    : CDlgProc(boardSetupDialogTemplate, owner), settings(&settings) {}

int CKx7mSetupDlg::onInitDialog() {
    attachWindow(&speedList, dialogItem(speedListId));
    for (std::uint32_t speed : speeds)
        speedList.addEntry(unsignedDecimalText(speed), speed);
    speedList.selectData(settings->speed);

    attachWindow(&chipTypeList, dialogItem(chipTypeListId));
    chipTypeList.addEntry(std::string(noChip.text), noChip.code);
    for (const ChipTypeEntry& type : chipTypes)
        chipTypeList.addEntry(std::string(type.text), type.code);
    chipTypeList.selectData(settings->slotChipId);

    attachWindow(&clockBox, dialogItem(clockBoxId));
    for (std::uint32_t clock : clockSuggestions)
        clockBox.addString(unsignedDecimalText(clock));
    clockBox.setTextUnsigned(static_cast<std::uint32_t>(settings->slotChipClock));

    showClockBoxFor(chipTypeList.selectedData(0));
    return 1;
}

int CKx7mSetupDlg::onCommand(std::uint32_t command, MessageParam) {
    if ((command & 0xFFFFu) != chipTypeListId || (command >> 16) != notifySelChange) return 0;
    std::intptr_t code = chipTypeList.selectedData(0);
    for (const ChipTypeEntry& type : chipTypes)
        if (type.code == code) clockBox.setTextUnsigned(type.clock);
    showClockBoxFor(code);
    return 1;
}

// A list left without a selection stands for a stored value that has no entry
// (a hand-written speed, a chip type the list does not offer): OK keeps that
// value instead of storing 0, so a user who only looks loses nothing.
void CKx7mSetupDlg::onOK() {
    if (speedList.selection() >= 0) settings->speed = speedList.textAsUnsigned();
    if (chipTypeList.selection() >= 0) {
        settings->slotChipId = static_cast<std::int32_t>(chipTypeList.selectedData(0));
        settings->slotChipClock = static_cast<std::int32_t>(clockBox.textAsUnsigned());
    }
    endDialog(1);
}

void CKx7mSetupDlg::showClockBoxFor(std::intptr_t chipType) {
    clockBox.enable(chipType != 0);
    if (chipType == 0) clockBox.setText("");
}
