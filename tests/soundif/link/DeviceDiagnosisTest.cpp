// The device diagnosis on the emulated USB bus: every interface of every FTDI
// chip listed with the backend's COM number, the reason and the mend for one
// that cannot be opened, interfaces of the kernel's serial driver left to it;
// and the text users read.
#include "soundif/diagnosis/DeviceDiagnosis.h"
#include "tests/soundif/link/RecordingD2xx.h"
#include "tests/soundif/link/usb/EmulatedUsb.h"

#include <cstdlib>
#include <libusb.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using diagnosis::Verdict;
using emulatedusb::Chip;
using ::testing::HasSubstr;

class DeviceDiagnosis : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("TAVRO_D2XX_MODULE");
        emulatedusb::reset();
    }
    void TearDown() override { emulatedusb::reset(); }
};

TEST_F(DeviceDiagnosis, EveryInterfaceIsJudgedWithItsNumberReasonAndMend) {
    const int cable = emulatedusb::plug({Chip::ft232r, 3, {4}, "CABLE1"});
    const int locked = emulatedusb::plug({Chip::ft2232h, 1, {2, 6}, "LOCKED"});
    emulatedusb::refuseOpen(locked, LIBUSB_ERROR_ACCESS);
    const int shared = emulatedusb::plug({Chip::ft4232h, 2, {5}, "QUAD"});
    emulatedusb::bindKernelDriver(shared, 1, false);
    emulatedusb::holdInterface(shared, 1, true); // another player has interface B
    emulatedusb::bindKernelDriver(shared, 2, false);

    const diagnosis::Diagnosis found = diagnosis::diagnoseDevices();
    EXPECT_TRUE(found.unavailable.empty());
    ASSERT_EQ(found.devices.size(), 7u);
    std::vector<std::int32_t> numbers;
    for (const auto& device : found.devices)
        numbers.push_back(device.comNumber);
    EXPECT_THAT(numbers, ::testing::ElementsAre(3040, 1060, 1061, 2050, 2051, 2052, 2053));

    const auto& ready = found.devices[0];
    EXPECT_EQ(ready.verdict, Verdict::usable);
    EXPECT_EQ(ready.device, "FT232R, bus 3, port 4, serial CABLE1");
    EXPECT_THAT(ready.note, HasSubstr("serial driver"));
    for (const std::size_t i : {1, 2}) {
        EXPECT_EQ(found.devices[i].verdict, Verdict::noPermission);
        EXPECT_THAT(found.devices[i].mend, HasSubstr("udev rule"));
    }
    EXPECT_EQ(found.devices[2].device, "FT2232H interface B, bus 1, port 2.6");
    EXPECT_EQ(found.devices[3].verdict, Verdict::usable);
    EXPECT_EQ(found.devices[4].verdict, Verdict::busy);
    EXPECT_THAT(found.devices[4].mend, HasSubstr("close the other program"));
    EXPECT_EQ(found.devices[5].verdict, Verdict::usable);
    EXPECT_TRUE(found.devices[5].note.empty());

    // Looking changed nothing: serial drivers still bound, nothing claimed.
    EXPECT_TRUE(emulatedusb::kernelDriverBound(cable, 0));
    EXPECT_TRUE(emulatedusb::kernelDriverBound(shared, 0));
    for (int interface = 0; interface < 4; ++interface)
        EXPECT_FALSE(emulatedusb::claimed(shared, interface));
    EXPECT_EQ(emulatedusb::openHandles(shared), 0);
    for (const auto& event : emulatedusb::events())
        EXPECT_NE(event.kind, emulatedusb::EventKind::detach);

    const std::string text = diagnosis::describe(found);
    EXPECT_THAT(text, HasSubstr("COM3040  FT232R, bus 3, port 4, serial CABLE1: can be opened\n"));
    EXPECT_THAT(text, HasSubstr("COM1061  FT2232H interface B, bus 1, port 2.6: cannot be opened: "
                                "no permission to open the USB device\n           Mend: "));
    EXPECT_THAT(text, HasSubstr("COM2051  FT4232H interface B, bus 2, port 5, serial QUAD: "
                                "cannot be opened: another program holds it\n"));
}

TEST_F(DeviceDiagnosis, NoDevicesAndModulesAreReportedInTheirOwnWords) {
    const auto none = diagnosis::diagnoseDevices();
    EXPECT_TRUE(none.devices.empty());
    EXPECT_THAT(diagnosis::describe(none), HasSubstr("none found"));

    // Device functions answer for themselves; a device they cannot open says why.
    recording::start("5,!7");
    const auto module = diagnosis::diagnoseThroughFunctions(recording::functions(), "the module");
    EXPECT_EQ(module.source, "the module");
    ASSERT_EQ(module.devices.size(), 2u);
    EXPECT_EQ(module.devices[0].comNumber, 5);
    EXPECT_EQ(module.devices[0].verdict, Verdict::usable);
    EXPECT_NE(module.devices[1].verdict, Verdict::usable);
    EXPECT_THAT(module.devices[1].mend, HasSubstr("re-plug"));
}

} // namespace
