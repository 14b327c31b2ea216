// The device seam's fallbacks and the system's own backend as far as they can
// be exercised without hardware: broken modules give no devices; on Linux the
// libftdi1 backend lists, refuses unknown indexes and rejects null handles;
// on Windows, without the vendor's library installed, there are no devices.
#include "soundif/link/d2xx/D2xxBackends.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t countOf(const D2xxFunctions& functions, FT_STATUS* status = nullptr) {
    std::uint32_t count = 12345;
    const FT_STATUS result = functions.listDevices(&count, nullptr, ftListNumberOnly);
    if (status != nullptr) *status = result;
    return count;
}

void expectNoDevices(const D2xxFunctions& functions) {
    FT_STATUS status = 99;
    EXPECT_EQ(countOf(functions, &status), 0u);
    EXPECT_EQ(status, ftOk);
    FT_HANDLE handle = &status;
    EXPECT_EQ(functions.open(0, &handle), ftDeviceNotFound);
    EXPECT_EQ(handle, nullptr);
    std::int32_t port = 0;
    EXPECT_NE(functions.getComPortNumber(nullptr, &port), ftOk);
    EXPECT_NE(functions.setBitMode(nullptr, ftAllPinsOutput, ftBitModeAsyncBitBang), ftOk);
    EXPECT_NE(functions.setBaudRate(nullptr, 115200), ftOk);
    std::uint8_t byte = 0;
    std::uint32_t written = 7;
    EXPECT_NE(functions.write(nullptr, &byte, 1, &written), ftOk);
    EXPECT_EQ(written, 0u);
    EXPECT_NE(functions.close(nullptr), ftOk);
}

TEST(D2xxSeam, ModulesThatCannotServeGiveNoDevices) {
    expectNoDevices(noD2xxDevices());
    expectNoDevices(loadD2xxModule("/nonexistent/libnothing.so"));
    // A real shared module without any of the seven exports.
#ifdef _WIN32
    expectNoDevices(loadD2xxModule("kernel32.dll"));
#else
    expectNoDevices(loadD2xxModule("libm.so.6"));
#endif
}

#ifdef _WIN32
TEST(D2xxVendorBackend, WithoutTheVendorLibraryThereAreNoDevices) {
    expectNoDevices(platformD2xx());
}
#else

TEST(D2xxFtdiBackend, ListsAndRefusesIndexesBeyondTheCount) {
    const D2xxFunctions& ftdi = platformD2xx();
    FT_STATUS status = 99;
    const std::uint32_t count = countOf(ftdi, &status);
    EXPECT_EQ(status, ftOk);
    EXPECT_NE(count, 12345u);
    std::uint32_t ignored = 0;
    EXPECT_NE(ftdi.listDevices(&ignored, nullptr, 0), ftOk);

    FT_HANDLE handle = &status;
    EXPECT_EQ(ftdi.open(static_cast<std::int32_t>(count), &handle), ftDeviceNotFound);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(ftdi.open(-1, &handle), ftDeviceNotFound);
    EXPECT_NE(ftdi.open(0, nullptr), ftOk);
    EXPECT_NE(ftdi.close(nullptr), ftOk);
    EXPECT_NE(ftdi.setBitMode(nullptr, ftAllPinsOutput, ftBitModeAsyncBitBang), ftOk);
}

TEST(D2xxFtdiBackend, NumbersDevicesByBusSocketAndInterface) {
    const std::uint8_t direct[] = {4};
    const std::uint8_t behindHub[] = {2, 1, 7};
    EXPECT_EQ(ftdiComPortNumber(3, direct, 0), 3040);
    EXPECT_EQ(ftdiComPortNumber(3, behindHub, 1), 3071);
    EXPECT_EQ(ftdiComPortNumber(1, {}, 3), 1003);
}
#endif

} // namespace
