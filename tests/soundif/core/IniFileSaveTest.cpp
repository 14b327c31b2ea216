// Saving the INI file where an administrator or a user has set it up with
// care: through a symbolic link, with narrow permissions, owned by someone
// else, in a directory that takes no new file. Every case checks the whole
// file afterwards: the three keys changed and every other byte as it was.
// Cases that need another user run the save in a child process as "nobody"
// when the tests run as root (as a user's own files are not another's).
#include "soundif/core/IniFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <grp.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr uid_t nobody = 65534;

const std::string before = "; written by hand\r\n"
                           "[tavro]\r\n"
                           "DelayTime=80\r\n"
                           "\r\n"
                           "[ftd2xx(COM3)]\r\n"
                           "Speed=9600\r\n"
                           "BufferSize=64\r\n";
const std::string after = "; written by hand\r\n"
                          "[tavro]\r\n"
                          "DelayTime=80\r\n"
                          "\r\n"
                          "[ftd2xx(COM3)]\r\n"
                          "Speed=115200\r\n"
                          "BufferSize=64\r\n"
                          "SLOT_00_CHIP_ID=38\r\n"
                          "SLOT_00_CHIP_CLOCK=4000000\r\n";

BoardSettings kx7mOnCom3() {
    BoardSettings record;
    record.port = 3;
    record.slotChipId = 38;
    record.slotChipClock = 4000000;
    return record;
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct stat statusOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status;
}

bool runningAsRoot() {
    return geteuid() == 0;
}

// Runs save as the user "nobody" in a child process and returns its result.
bool saveAsNobody(const std::function<bool()>& save) {
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(2);
        _exit(save() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return false;
    EXPECT_NE(WEXITSTATUS(status), 2) << "could not become nobody";
    return WEXITSTATUS(status) == 0;
}

class IniFileSave : public ::testing::Test {
protected:
    void SetUp() override {
        directory = fs::temp_directory_path() /
                    ("tavro-save-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(directory);
        fs::create_directories(directory);
        path = directory / "libtavro.ini";
        previousMask = umask(022);
    }
    void TearDown() override {
        umask(previousMask);
        fs::permissions(directory, fs::perms::owner_all);
        fs::remove_all(directory);
    }
    void write(const fs::path& file, mode_t mode) {
        std::ofstream(file, std::ios::binary) << before;
        ASSERT_EQ(chmod(file.c_str(), mode), 0);
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
    }

    fs::path directory;
    fs::path path;
    mode_t previousMask = 0;
};

TEST_F(IniFileSave, ALinkKeepsPointingAtTheFileItNamesWhichGetsTheKeys) {
    fs::create_directories(directory / "real");
    write(directory / "real" / "settings.ini", 0644);
    fs::create_symlink("real/settings.ini", directory / "middle.ini");
    fs::create_symlink(directory / "middle.ini", path);
    ASSERT_TRUE(saveBoardSettings(kx7mOnCom3(), path));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_TRUE(fs::is_symlink(directory / "middle.ini"));
    EXPECT_EQ(fs::read_symlink(directory / "middle.ini"), "real/settings.ini");
    EXPECT_EQ(fileText(directory / "real" / "settings.ini"), after);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory / "real"), fs::directory_iterator()),
              1)
        << "no temporary file is left beside the file";

    fs::create_symlink("missing.ini", directory / "dangling.ini");
    ASSERT_TRUE(saveBoardSettings(kx7mOnCom3(), directory / "dangling.ini"));
    EXPECT_TRUE(fs::is_symlink(directory / "dangling.ini"));
    EXPECT_NE(fileText(directory / "missing.ini").find("SLOT_00_CHIP_ID=38"), std::string::npos)
        << "a link to a missing file creates the file";
}

// Where the directory takes a new file, the save is a new file put in the
// old one's place: a program that has the old file open reads it whole.
TEST_F(IniFileSave, AReaderOfTheOldFileReadsItWhole) {
    write(path, 0644);
    std::ifstream reader(path, std::ios::binary);
    ASSERT_TRUE(saveBoardSettings(kx7mOnCom3(), path));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), std::istreambuf_iterator<char>()),
              before);
    EXPECT_EQ(fileText(path), after);
}

TEST_F(IniFileSave, TheFilesPermissionsAreKept) {
    for (mode_t mode : {0600, 0640, 0664, 0604}) {
        write(path, mode);
        ASSERT_TRUE(saveBoardSettings(kx7mOnCom3(), path)) << std::oct << mode;
        EXPECT_EQ(statusOf(path).st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(fileText(path), after);
    }
    fs::remove(path);
    umask(027);
    ASSERT_TRUE(saveBoardSettings(kx7mOnCom3(), path));
    EXPECT_EQ(statusOf(path).st_mode & 07777, 0640u) << "a new file follows the mask";
}

TEST_F(IniFileSave, AnotherUsersFileKeepsItsOwner) {
    if (!runningAsRoot()) GTEST_SKIP() << "only root may give files to other users";
    write(path, 0640);
    ASSERT_EQ(chown(path.c_str(), 1234, 2345), 0);
    ASSERT_TRUE(saveBoardSettings(kx7mOnCom3(), path));
    const struct stat status = statusOf(path);
    EXPECT_EQ(status.st_uid, 1234u);
    EXPECT_EQ(status.st_gid, 2345u);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(fileText(path), after);
}

// An installed library's folder, which its users may not change, with an INI
// file that an administrator made writable for them.
TEST_F(IniFileSave, AWritableFileInADirectoryThatTakesNoNewFileIsWrittenInPlace) {
    write(path, 0666);
    bool saved = false;
    if (runningAsRoot()) {
        ASSERT_EQ(chmod(directory.c_str(), 0755), 0);
        saved = saveAsNobody([this] { return saveBoardSettings(kx7mOnCom3(), path); });
    } else {
        ASSERT_EQ(chmod(directory.c_str(), 0555), 0);
        saved = saveBoardSettings(kx7mOnCom3(), path);
    }
    EXPECT_TRUE(saved);
    EXPECT_EQ(fileText(path), after);
    EXPECT_EQ(statusOf(path).st_mode & 07777, 0666u);
    EXPECT_EQ(entries(), 1u);

    // A shorter content is cut to its length.
    BoardSettings shorter = kx7mOnCom3();
    shorter.slotChipClock = 1;
    if (runningAsRoot())
        saved = saveAsNobody([&] { return saveBoardSettings(shorter, path); });
    else
        saved = saveBoardSettings(shorter, path);
    EXPECT_TRUE(saved);
    EXPECT_EQ(fileText(path), after.substr(0, after.size() - 9) + "1\r\n");
}

// A file with a second name (a hard link) is the same file under both
// names after the save.
TEST_F(IniFileSave, AFileWithASecondNameKeepsBothNamesOnTheNewText) {
    write(path, 0644);
    fs::create_hard_link(path, directory / "other-name.ini");
    ASSERT_TRUE(saveBoardSettings(kx7mOnCom3(), path));
    EXPECT_EQ(fileText(path), after);
    EXPECT_EQ(fileText(directory / "other-name.ini"), after);
    EXPECT_EQ(fs::hard_link_count(path), 2u);
}

// A user who may write another user's file, in a directory where anyone may
// make files: the file is written in place, so it keeps its owner.
TEST_F(IniFileSave, AFileWhoseOwnerCannotBeKeptIsWrittenInPlace) {
    if (!runningAsRoot()) GTEST_SKIP() << "needs a file of another user";
    write(path, 0666);
    ASSERT_EQ(chmod(directory.c_str(), 0777), 0);
    EXPECT_TRUE(saveAsNobody([this] { return saveBoardSettings(kx7mOnCom3(), path); }));
    const struct stat status = statusOf(path);
    EXPECT_EQ(status.st_uid, 0u);
    EXPECT_EQ(status.st_gid, 0u);
    EXPECT_EQ(status.st_mode & 07777, 0666u);
    EXPECT_EQ(fileText(path), after);
    EXPECT_EQ(entries(), 1u);
}

// A file the user may not write is left alone, even where the directory
// would let a new file replace it.
TEST_F(IniFileSave, AFileThatMayNotBeWrittenIsNotReplaced) {
    bool saved = true;
    if (runningAsRoot()) {
        write(path, 0644);
        ASSERT_EQ(chmod(directory.c_str(), 0777), 0);
        saved = saveAsNobody([this] { return saveBoardSettings(kx7mOnCom3(), path); });
    } else {
        write(path, 0444);
        saved = saveBoardSettings(kx7mOnCom3(), path);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(fileText(path), before);
    EXPECT_EQ(entries(), 1u);
}

} // namespace
