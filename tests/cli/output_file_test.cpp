#include "output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"

namespace dla::cli {
namespace {

TEST(WriteFileAtomically, WritesAndReplacesLeavingNoTemporaryFile) {
    test::ScratchFolder folder;
    const std::string path = folder.file("out.csv");
    writeFileAtomically(path, "first\n");
    writeFileAtomically(path, "second\n");
    EXPECT_EQ(test::readFile(path), "second\n");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.csv"});
}

TEST(WriteFileAtomically, FailedWriterKeepsTheOldFile) {
    test::ScratchFolder folder;
    const std::string path = folder.file("out.csv");
    writeFileAtomically(path, "old\n");
    EXPECT_THROW(writeFileAtomically(path,
                                     [](std::FILE* stream) {
                                         std::fputs("half of the new", stream);
                                         throw std::runtime_error("interrupted");
                                     }),
                 std::runtime_error);
    EXPECT_EQ(test::readFile(path), "old\n");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.csv"});
}

struct BadPath {
    std::string name;  // inside the scratch folder
    std::string reason;
};

void PrintTo(const BadPath& c, std::ostream* os) {
    *os << c.name;
}

class UnwritablePath : public ::testing::TestWithParam<BadPath> {};

TEST_P(UnwritablePath, OneLineNamingFileAndReasonAndNothingLeft) {
    test::ScratchFolder folder;
    writeFileAtomically(folder.file("plain-file"), "x");
    std::filesystem::create_directory(folder.path() / "a-folder");
    const std::string path = folder.file(GetParam().name);
    for (const bool check : {true, false}) {
        try {
            if (check) {
                checkWritable(path);
            } else {
                writeFileAtomically(path, "data");
            }
            FAIL() << "written";
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), "cannot write '" + path + "': " + GetParam().reason);
        }
        EXPECT_EQ(folder.entries(), (std::vector<std::string>{"a-folder", "plain-file"}));
        EXPECT_TRUE(std::filesystem::is_empty(folder.path() / "a-folder"));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, UnwritablePath,
                         ::testing::Values(BadPath{"missing/out.png", "No such file or directory"},
                                           BadPath{"plain-file/out.png", "Not a directory"},
                                           BadPath{"a-folder", "Is a directory"},
                                           BadPath{"a-folder/", "Is a directory"}));

TEST(WriteFileAtomically, FolderWithoutPermission) {
    test::ScratchFolder folder;
    std::string path;
    if (::geteuid() != 0) {
        std::filesystem::permissions(
            folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        path = folder.file("out.png");
    } else {
        // Permissions do not stop root; sysfs refuses new files even to root.
        path = "/sys/dla-cli-test.png";
        if (::access("/sys", W_OK) != 0 || std::filesystem::exists(path))
            GTEST_SKIP() << "no folder refuses root here";
    }
    EXPECT_THROW(checkWritable(path), FileError);
    try {
        writeFileAtomically(path, "data");
        FAIL() << "written";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write '" + path + "': Permission denied");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace dla::cli
