#include "output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>

#include "test_support.h"

namespace dla::cli {
namespace {

namespace fs = std::filesystem;

enum class Before { Nothing, File, LinkToFile, LinkToNothing };

struct Target {
    Before before;
    std::string name;
    friend void PrintTo(const Target& c, std::ostream* os) { *os << c.name.substr(0, 20); }
};

class WrittenWhole : public ::testing::TestWithParam<Target> {};

TEST_P(WrittenWhole, UnderItsFinalNameOnlyKeepingLinksAndPermissions) {
    test::ScratchFolder folder;
    const std::string path = folder.file(GetParam().name);
    const Before before = GetParam().before;
    if (before == Before::File) writeWholeFile(path, "old contents, longer");
    if (before == Before::File) ::chmod(path.c_str(), 0640);
    if (before == Before::LinkToFile) writeWholeFile(folder.file("real"), "old");
    if (before == Before::LinkToFile || before == Before::LinkToNothing)
        fs::create_symlink("real", path);
    writeWholeFile(path, "data");
    EXPECT_EQ(test::readFile(folder.file("real")), before >= Before::LinkToFile ? "data" : "");
    EXPECT_EQ(test::readFile(path), "data");
    std::vector<std::string> entries{GetParam().name};
    if (before >= Before::LinkToFile) entries = {"link", "real"};
    EXPECT_EQ(folder.entries(), entries);
    struct stat st {};
    EXPECT_TRUE(before != Before::File ||
                (::stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640));
}

INSTANTIATE_TEST_SUITE_P(Table, WrittenWhole,
                         ::testing::Values(Target{Before::Nothing, "new"},
                                           Target{Before::File, "old"},
                                           Target{Before::LinkToFile, "link"},
                                           Target{Before::LinkToNothing, "link"},
                                           Target{Before::Nothing, std::string(255, 'n')}));

TEST(OutputFile, DevicesAndPipesAreWrittenThrough) {
    test::ScratchFolder folder;
    const std::string pipe = folder.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    writeWholeFile(pipe, "data");
    char got[8] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 4);
    EXPECT_STREQ(got, "data");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(pipe));
    // A /dev/null of our own, so that a fault replaces nothing of the system's.
    const std::string null = folder.file("null");
    if (::mknod(null.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0)
        GTEST_SKIP() << "only root makes device nodes";
    writeWholeFile(null, "data");
    EXPECT_TRUE(fs::is_character_file(null));
}

struct Unwritable {
    std::string name;
    const char* reason;
    friend void PrintTo(const Unwritable& c, std::ostream* os) { *os << c.reason; }
};

class UnwritablePath : public ::testing::TestWithParam<Unwritable> {};

TEST_P(UnwritablePath, OneLineNamingFileAndReasonAndNothingLeft) {
    test::ScratchFolder folder;
    fs::create_directory(folder.file("folder"));
    const std::string path = folder.file(GetParam().name);
    const std::string message = "cannot write '" + path + "': " + GetParam().reason;
    for (const bool check : {true, false}) {
        try {
            check ? checkWritable(path) : writeWholeFile(path, "data");
            ADD_FAILURE() << "written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.what(), message);
        }
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"folder"});
        EXPECT_TRUE(fs::is_empty(folder.file("folder")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnwritablePath,
    ::testing::Values(Unwritable{"missing/out.png", "No such file or directory"},
                      Unwritable{"folder", "Is a directory"},
                      Unwritable{"folder/", "Is a directory"},
                      Unwritable{"folder/" + std::string(256, 'n'), "File name too long"}));

TEST(OutputFile, WithoutCommitTheOldFileStays) {
    test::ScratchFolder folder;
    const std::string path = folder.file("out.csv");
    writeWholeFile(path, "old\n");
    {
        OutputFile file(path);
        file.write("half of the new");
        file.flush();
    }
    EXPECT_EQ(test::readFile(path), "old\n");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.csv"});
}

}  // namespace
}  // namespace dla::cli
