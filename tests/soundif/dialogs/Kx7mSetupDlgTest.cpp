// The board setup dialog on the scripted binding: what it shows for a record,
// how the chip type drives the clock box, and what OK and Cancel store.
#include "ScriptedBinding.h"

#include "soundif/dialogs/Kx7mSetupDlg.h"
#include "tavro/SoundInterface.h"

#include <gtest/gtest.h>

namespace {
using Entries = std::vector<std::string>;

BoardSettings boardWith(std::int32_t chipId, std::int32_t clock) {
    BoardSettings record;
    record.port = 3;
    record.slotChipId = chipId;
    record.slotChipClock = clock;
    return record;
}

MessageResult run(ScriptedBinding& user, BoardSettings& record,
                  std::vector<ScriptedBinding::Step> steps) {
    user.script(std::move(steps));
    CKx7mSetupDlg dialog(record, nullptr);
    return dialog.doModal();
}

TEST(Kx7mSetupDlg, ShowsTheRecordWithItsListsInOrder) {
    ScriptedBinding user;
    BoardSettings record = boardWith(tavro::boardIdKx7m, 4000000);
    run(user, record,
        {[](ScriptedBinding& u) {
             auto& speeds = u.control(1002);
             EXPECT_EQ(speeds.entries,
                       (Entries{"9600", "19200", "38400", "57600", "115200", "230400", "460800",
                                "921600", "1500000", "3000000"}));
             EXPECT_EQ(speeds.data[9], 3000000);
             EXPECT_EQ(speeds.selection, 4);
             auto& types = u.control(1003);
             EXPECT_EQ(types.entries,
                       (Entries{"NONE", "KX7M", "TRQ05", "YM2151", "YM2203", "YM2608"}));
             EXPECT_EQ(types.data,
                       (std::vector<std::intptr_t>{tavro::chipTypeNone, tavro::boardIdKx7m,
                                                   tavro::boardIdTrq05, tavro::chipTypeYm2151,
                                                   tavro::chipTypeYm2203, tavro::chipTypeYm2608}));
             EXPECT_EQ(types.selection, 1);
             auto& clock = u.control(1004);
             EXPECT_EQ(clock.entries,
                       (Entries{"3579545", "3993600", "4000000", "7987200", "8000000"}));
             EXPECT_EQ(clock.text, "4000000");
             EXPECT_TRUE(clock.enabled);
         },
         [](ScriptedBinding& u) { u.click(1); }});
    EXPECT_EQ(record.speed, 115200U);
    EXPECT_EQ(record.slotChipId, tavro::boardIdKx7m);
    EXPECT_EQ(record.slotChipClock, 4000000);
}

TEST(Kx7mSetupDlg, ChipTypeSetsTheClockAndNoneEmptiesAndDisablesIt) {
    ScriptedBinding user;
    BoardSettings record = boardWith(2, 3580000);
    MessageResult result = run(
        user, record,
        {[](ScriptedBinding& u) { EXPECT_EQ(u.control(1004).text, "3580000"); },
         [](ScriptedBinding& u) { u.pick(1003, "TRQ05"); },
         [](ScriptedBinding& u) { EXPECT_EQ(u.control(1004).text, "3579545"); },
         [](ScriptedBinding& u) { u.pick(1003, "NONE"); },
         [](ScriptedBinding& u) {
             EXPECT_EQ(u.control(1004).text, "");
             EXPECT_FALSE(u.control(1004).enabled);
         },
         [](ScriptedBinding& u) { u.pick(1003, "YM2608"); },
         [](ScriptedBinding& u) {
             EXPECT_EQ(u.control(1004).text, "7987200");
             EXPECT_TRUE(u.control(1004).enabled);
         },
         [](ScriptedBinding& u) { u.pick(1003, "NONE"); }, [](ScriptedBinding& u) { u.click(1); }});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(record.slotChipId, 0);
    EXPECT_EQ(record.slotChipClock, 0);
    EXPECT_EQ(record.speed, 115200U);
}

TEST(Kx7mSetupDlg, TypedClockIsStoredWithTheChipType) {
    ScriptedBinding user;
    BoardSettings record = boardWith(0, 0);
    run(user, record,
        {[](ScriptedBinding& u) { u.pick(1003, "YM2151"); },
         [](ScriptedBinding& u) { u.type(1004, "3580000"); },
         [](ScriptedBinding& u) { u.pick(1002, "1500000"); },
         [](ScriptedBinding& u) { u.click(1); }});
    EXPECT_EQ(record.slotChipId, 2);
    EXPECT_EQ(record.slotChipClock, 3580000);
    EXPECT_EQ(record.speed, 1500000U);
}

TEST(Kx7mSetupDlg, StoredValuesWithoutAnEntryShowNoSelection) {
    ScriptedBinding user;
    BoardSettings record = boardWith(10, 3579545);
    record.speed = 12345;
    run(user, record,
        {[](ScriptedBinding& u) {
             EXPECT_EQ(u.control(1002).selection, -1);
             EXPECT_EQ(u.control(1003).selection, -1);
             EXPECT_EQ(u.control(1004).text, "");
             EXPECT_FALSE(u.control(1004).enabled);
         },
         [](ScriptedBinding& u) { u.click(1); }});
    // OK keeps what it could not show.
    EXPECT_EQ(record.speed, 12345U);
    EXPECT_EQ(record.slotChipId, 10);
    EXPECT_EQ(record.slotChipClock, 3579545);

    // Picking an entry still replaces the stored values.
    run(user, record,
        {[](ScriptedBinding& u) {
             u.pick(1002, "9600");
             u.pick(1003, "NONE");
         },
         [](ScriptedBinding& u) { u.click(1); }});
    EXPECT_EQ(record.speed, 9600U);
    EXPECT_EQ(record.slotChipId, 0);
    EXPECT_EQ(record.slotChipClock, 0);
}

TEST(Kx7mSetupDlg, ClockTextThatIsNotANumberReadsZero) {
    for (const char* typed : {"abc", "4000000Hz", "-5", "", "4294967296"}) {
        ScriptedBinding user;
        BoardSettings record = boardWith(tavro::boardIdKx7m, 4000000);
        run(user, record,
            {[typed](ScriptedBinding& u) { u.type(1004, typed); },
             [](ScriptedBinding& u) { u.click(1); }});
        EXPECT_EQ(record.slotChipClock, 0) << typed;
        EXPECT_EQ(record.slotChipId, tavro::boardIdKx7m);
    }
    ScriptedBinding user;
    BoardSettings record = boardWith(tavro::boardIdKx7m, 4000000);
    run(user, record,
        {[](ScriptedBinding& u) { u.type(1004, " 4294967295 "); },
         [](ScriptedBinding& u) { u.click(1); }});
    EXPECT_EQ(static_cast<std::uint32_t>(record.slotChipClock), 4294967295U);
}

} // namespace
