#include "files/output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

}  // namespace
}  // namespace dla::cli
