// The machine's I/O ports: chip register latches and data ports, the CTC
// ports, the ports that must be ignored, and what IN returns.
#include <gtest/gtest.h>

#include <memory>

#include "player/PortMap.h"
#include "player/Tonrig.h"
#include "support/TestDrivers.h"

namespace {

using namespace portmap;

using Writes = std::vector<std::pair<int, int>>;

class PortMapTest : public ::testing::Test {
protected:
    PortMapTest() {
        machine->opm1 = &opm1;
        machine->opm2 = &opm2;
        machine->psg = &psg;
    }

    RecordingChip opm1{ChipKind::Opm};
    RecordingChip opm2{ChipKind::Opm};
    RecordingChip psg{ChipKind::Psg};
    std::unique_ptr<Tonrig> machine = std::make_unique<Tonrig>();
};

TEST_F(PortMapTest, OpmDataGoesToTheLatchedRegister) {
    machine->portOut(opm1Address, 0x14);
    machine->portOut(opm1Data, 0x2A);
    machine->portOut(opm1Data, 0x15);
    machine->portOut(opm2Address, 0x20);
    machine->portOut(opm2Data, 0xC7);
    EXPECT_EQ(opm1.writes, (Writes{{0x14, 0x2A}, {0x14, 0x15}}));
    EXPECT_EQ(opm2.writes, (Writes{{0x20, 0xC7}}));
    EXPECT_TRUE(psg.writes.empty());
}

TEST_F(PortMapTest, PsgPortsTakeAnyLowByte) {
    machine->portOut(psgAddressPort(0x07), 0x07);
    machine->portOut(psgDataPort(0x38), 0x38);
    machine->portOut(psgAddressPort(0xFF), 0x08);
    machine->portOut(psgDataPort(0x00), 0x0F);
    machine->portOut(psgAddressPort(0x00), 0x09);
    machine->portOut(psgDataPort(0xFF), 0x0E);
    EXPECT_EQ(psg.writes, (Writes{{0x07, 0x38}, {0x08, 0x0F}, {0x09, 0x0E}}));
    EXPECT_TRUE(opm1.writes.empty());
    EXPECT_TRUE(opm2.writes.empty());
}

TEST_F(PortMapTest, UnmappedPortsAreIgnored) {
    const auto before = machine->ctc.channels;
    for (std::uint16_t port : {0x0702, 0x0703, 0x0705, 0x0706, 0x0707, 0x070A, 0x070B, 0x070D,
                               0x0001, 0x0700 + 0x100, 0x1D00, 0x1A00, 0x1FA4, 0x1F00, 0xA01F}) {
        machine->portOut(port, 0x85);
    }
    EXPECT_TRUE(opm1.writes.empty() && opm2.writes.empty() && psg.writes.empty());
    EXPECT_EQ(machine->opm1Latch, 0);
    EXPECT_EQ(machine->opm2Latch, 0);
    EXPECT_EQ(machine->psgLatch, 0);
    for (unsigned n = 0; n < 4; ++n)
        EXPECT_EQ(machine->ctc.channels[n].control, before[n].control);
    EXPECT_EQ(machine->ctc.vector, 0);
}

TEST_F(PortMapTest, CtcPortsReachTheirChannels) {
    const std::uint16_t ports[] = {ctcPort(0), ctcPort(1), ctcPort(2), ctcPort(3)};
    for (unsigned n = 0; n < 4; ++n) {
        machine->portOut(ports[n], static_cast<std::uint8_t>(0x05 | n << 4));
        EXPECT_EQ(machine->ctc.channels[n].control, 0x05 | n << 4) << "channel " << n;
    }
    machine->portOut(ctcChannel0Mirror, 0x10); // time constant for channel 0
    EXPECT_EQ(machine->ctc.channels[0].timeConstant, 0x10);
    machine->portOut(ctcChannel0SecondMirror, 0x95);
    EXPECT_EQ(machine->ctc.channels[0].control, 0x95);
    EXPECT_EQ(machine->ctc.channels[1].control, 0x15);
}

TEST_F(PortMapTest, InReadsTheCtcAndFFElsewhere) {
    machine->portOut(ctcPort(1), 0x85);
    machine->portOut(ctcPort(1), 0xFA);
    machine->portOut(ctcPort(0), 0x05);
    machine->portOut(ctcPort(0), 0x19);
    machine->portOut(ctcPort(3), 0x45);
    machine->portOut(ctcPort(3), 0x64);
    machine->ctc.advance();

    EXPECT_EQ(machine->portIn(ctcPort(1)), 0xFA); // time constant, not the count
    EXPECT_EQ(machine->portIn(ctcPort(0)), 0x19);
    EXPECT_EQ(machine->portIn(ctcChannel0Mirror), 0x19);
    EXPECT_EQ(machine->portIn(ctcChannel0SecondMirror), 0x19);
    EXPECT_EQ(machine->portIn(ctcPort(3)), 90); // live count: ten zeros of channel 0
    for (std::uint16_t port :
         {opm1Address, opm1Data, opm2Data, psgDataPort(), psgAddressPort(), std::uint16_t{0x0705},
          std::uint16_t{0x1FA4}, std::uint16_t{0x0000}}) {
        EXPECT_EQ(machine->portIn(port), openBusRead) << std::hex << port;
    }
}

TEST_F(PortMapTest, WritesToMissingChipsAreDroppedButLatchesKept) {
    machine->opm1 = machine->opm2 = machine->psg = nullptr;
    machine->portOut(opm1Address, 0x14);
    machine->portOut(opm1Data, 0x2A);
    machine->portOut(opm2Address, 0x15);
    machine->portOut(opm2Data, 0x2B);
    machine->portOut(psgAddressPort(0x07), 0x07);
    machine->portOut(psgDataPort(0x00), 0x38);
    EXPECT_EQ(machine->opm1Latch, 0x14);
    EXPECT_EQ(machine->opm2Latch, 0x15);
    EXPECT_EQ(machine->psgLatch, 0x07);

    machine->opm1 = &opm1;
    machine->portOut(opm1Data, 0x01);
    EXPECT_EQ(opm1.writes, (Writes{{0x14, 0x01}}));
}

} // namespace
