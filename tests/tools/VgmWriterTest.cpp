// The VGM writer on its own: header fields, the command of each chip position
// for both board models, waits in samples, and writes the format cannot carry.
#include "vgm/VgmWriter.h"
#include "RecordedVgm.h"

#include <gtest/gtest.h>

namespace {

using vgm::VgmWriter;

TEST(VgmWriter, WritesAKx7mBoardAsAnAyAndTwoYm2151) {
    VgmWriter writer(catalog::boardLayoutOf(tavro::boardIdKx7m), 4000000);
    writer.write(0.0, 0, 0x07, 0x38);
    writer.write(10.0, 1, 0x28, 0x4A);
    writer.write(10.0, 2, 0x08, 0x01);
    writer.write(5.0, 1, 0x30, 0x02);   // earlier than the time reached: no wait
    writer.write(12.0, 0, 0x10, 0x01);  // no such SSG register
    writer.write(12.0, 1, 0x108, 0x01); // address bit 8
    const std::vector<std::uint8_t> file = writer.finish(2000.0);
    EXPECT_EQ(writer.samples(), 88200u);

    const VgmContents vgm = readVgm(file);
    EXPECT_EQ(vgm.version, 0x171u);
    EXPECT_EQ(vgm.eofOffset, file.size() - 4);
    EXPECT_EQ(vgm.dataOffset, 0x100u - 0x34u);
    EXPECT_EQ(vgm.ym2151Clock, 4000000u | 0x40000000u);
    EXPECT_EQ(vgm.ym2413Clock, 0u);
    EXPECT_EQ(vgm.ay8910Clock, 2000000u);
    EXPECT_EQ(vgm.ay8910Type, 0x00);
    EXPECT_EQ(vgm.totalSamples, 88200u);
    EXPECT_EQ(vgm.waitedSamples, 88200u);
    EXPECT_TRUE(vgm.ended);
    EXPECT_EQ(vgm.writes, (std::vector<VgmWrite>{{0, 0xA0, 0x07, 0x38},
                                                 {441, 0x54, 0x28, 0x4A},
                                                 {441, 0xA4, 0x08, 0x01},
                                                 {441, 0x54, 0x30, 0x02}}));
}

TEST(VgmWriter, WritesATrq05BoardAsAnAyAndTwoYm2413WithLongWaitsSplit) {
    VgmWriter writer(catalog::boardLayoutOf(tavro::boardIdTrq05), 3579545);
    writer.write(3000.0, 1, 0x10, 0x20);
    writer.write(3000.5, 2, 0x30, 0x40);
    writer.write(3001.0, 0, 0x08, 0x0F);
    // An end before the last write does not cut the stream.
    const VgmContents vgm = readVgm(writer.finish(100.0));
    EXPECT_EQ(vgm.ym2413Clock, 3579545u | 0x40000000u);
    EXPECT_EQ(vgm.ym2151Clock, 0u);
    EXPECT_EQ(vgm.ay8910Clock, 3579545u / 2);
    EXPECT_EQ(vgm.totalSamples, 132344u);
    EXPECT_EQ(vgm.waitedSamples, 132344u);
    EXPECT_EQ(vgm.writes, (std::vector<VgmWrite>{{132300, 0x51, 0x10, 0x20},
                                                 {132322, 0xA1, 0x30, 0x40},
                                                 {132344, 0xA0, 0x08, 0x0F}}));
}

} // namespace
