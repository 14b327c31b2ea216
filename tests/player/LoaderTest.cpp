// Loading the driver image and the data file into the machine's memory: the
// size limits, files that must be rejected without touching memory, and the
// title read from the loaded data.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "player/Tonrig.h"
#include "support/ScratchDirectory.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::vector<unsigned char> pattern(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 1);
    return bytes;
}

class LoaderTest : public ::testing::Test {
protected:
    bool load(std::uint16_t address, std::size_t size) {
        scratch.write("image.bin", pattern(size));
        return machine->loadImage(address, scratch.path() / "image.bin");
    }
    bool memoryIsZero() const {
        return std::all_of(machine->memory.begin(), machine->memory.end(),
                           [](std::uint8_t b) { return b == 0; });
    }

    ScratchDirectory scratch;
    std::unique_ptr<Tonrig> machine = std::make_unique<Tonrig>();
};

TEST_F(LoaderTest, DataFileFitsUpToTheEndOfMemory) {
    const auto bytes = pattern(49152);
    ASSERT_TRUE(load(0x4000, 49152));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), machine->memory.begin() + 0x4000));
    EXPECT_EQ(machine->memory[0x3FFF], 0);

    // The first driver call pushes its return address 0xFFFF over the last
    // two bytes of such a file.
    machine->memory[Tonrig::driverAddress] = 0xC9; // RET
    machine->callSubroutine(Tonrig::driverAddress);
    EXPECT_EQ(machine->memory[0xFFFE], 0xFF);
    EXPECT_EQ(machine->memory[0xFFFF], 0xFF);
    EXPECT_NE(bytes[bytes.size() - 2], 0xFF);

    EXPECT_FALSE(load(0x4000, 49153));
}

TEST_F(LoaderTest, DriverImageFitsUpToTheEndOfMemory) {
    ASSERT_TRUE(load(0x1800, 59392));
    EXPECT_EQ(machine->memory[0xFFFF], pattern(59392).back());
    EXPECT_EQ(machine->memory[0x17FF], 0);
}

TEST_F(LoaderTest, RejectedFilesLeaveMemoryUnchanged) {
    EXPECT_FALSE(load(0x1800, 59393));
    EXPECT_FALSE(load(0x4000, 49153));
    EXPECT_FALSE(load(0x4000, 0));
    EXPECT_FALSE(machine->loadImage(0x4000, scratch.path() / "missing.vkn"));
    EXPECT_FALSE(machine->loadImage(0x4000, scratch.path()));
    EXPECT_TRUE(memoryIsZero());

    // Over data already loaded, too.
    ASSERT_TRUE(load(0x4000, 100));
    const auto before = machine->memory;
    EXPECT_FALSE(load(0x1800, 70000));
    EXPECT_EQ(machine->memory, before);
}

TEST_F(LoaderTest, LargeDriverImageOverwritesTheData) {
    scratch.write("data.vkn", std::vector<unsigned char>(64, 0xAA));
    ASSERT_TRUE(machine->loadImage(0x4000, scratch.path() / "data.vkn"));
    scratch.write("VELKAN.BIN", std::vector<unsigned char>(10241, 0x55));
    ASSERT_TRUE(machine->loadImage(0x1800, scratch.path() / "VELKAN.BIN"));
    EXPECT_EQ(machine->memory[0x4000], 0x55);
    EXPECT_EQ(machine->memory[0x4001], 0xAA);
}

TEST_F(LoaderTest, TitleIsTheZeroTerminatedTextAtOffset41) {
    std::vector<unsigned char> data(41, 0x20);
    for (unsigned char c : std::string("Song\xE6\x9B\xB2"))
        data.push_back(c);
    data.push_back(0);
    data.push_back('X');
    scratch.write("data.vkn", data);
    ASSERT_TRUE(machine->loadImage(0x4000, scratch.path() / "data.vkn"));
    EXPECT_EQ(machine->title(), "Song\xE6\x9B\xB2");
}

TEST_F(LoaderTest, TitleWithoutZeroEndsAtTheEndOfMemory) {
    EXPECT_EQ(machine->title(), "");
    std::fill(machine->memory.begin() + 0x4029, machine->memory.end(), 'A');
    EXPECT_EQ(machine->title(), std::string(0x10000 - 0x4029, 'A'));
}

#ifdef _WIN32
// The file is opened without sharing: one that another program holds open
// cannot be loaded, and loading leaves nothing open behind it.
TEST_F(LoaderTest, FileHeldOpenElsewhereIsRejected) {
    scratch.write("song.vkn", pattern(100));
    const auto path = scratch.path() / "song.vkn";
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(machine->loadImage(0x4000, path));
    EXPECT_TRUE(memoryIsZero());
    CloseHandle(held);

    ASSERT_TRUE(machine->loadImage(0x4000, path));
    HANDLE exclusive =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
}

// The mapping is named after the file's last path component. A mapping of
// that name that exists already holds other bytes; the file's own are loaded.
TEST_F(LoaderTest, ForeignMappingOfTheSameNameIsNotRead) {
    const std::vector<unsigned char> foreign(100, 0xEE);
    HANDLE other =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"clash.vkn");
    ASSERT_NE(other, nullptr);
    void* view = MapViewOfFile(other, FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    std::copy(foreign.begin(), foreign.end(), static_cast<unsigned char*>(view));

    scratch.write("clash.vkn", pattern(100));
    ASSERT_TRUE(machine->loadImage(0x4000, scratch.path() / "clash.vkn"));
    const auto bytes = pattern(100);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), machine->memory.begin() + 0x4000));
    UnmapViewOfFile(view);
    CloseHandle(other);
}
#endif

} // namespace
