// A whole file mapped: a regular file's bytes; what is not a regular file
// (a folder, a FIFO, a device) is refused, a FIFO without a writer at once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>

#include "common/MappedFile.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

TEST(MappedFile, MapsRegularFilesAndRefusesTheRestWithoutWaiting) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("mapped-file-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "song.bin", std::ios::binary) << "abc";
    MappedFile file;
    ASSERT_TRUE(file.open(folder / "song.bin"));
    EXPECT_EQ(std::string(file.bytes().begin(), file.bytes().end()), "abc");
    EXPECT_FALSE(file.open(folder));
#ifndef _WIN32
    const std::filesystem::path fifo = folder / "fifo.bin";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto opened = std::async(std::launch::async, [&] { return MappedFile().open(fifo); });
    if (opened.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "opening a FIFO waits for a writer";
        std::ofstream unblock(fifo); // lets the open go on, so that the test can end
    }
    EXPECT_FALSE(opened.get());
    EXPECT_FALSE(file.open("/dev/null"));
#endif
    std::filesystem::remove_all(folder);
}

} // namespace
