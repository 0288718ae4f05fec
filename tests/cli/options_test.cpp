// Command lines that must be taken, and what they mean; the refused ones run the program.
#include "options.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "files/file_names.h"
#include "output_paths.h"
#include "test_support.h"

namespace dla::cli {
namespace {

TEST(Options, AcceptedCommandLinesMeanWhatTheySay) {
    EXPECT_EQ(parseCommand({}, 3).options.threads, 3);
    // Leading zeros are decimal; the last of a repeated option counts.
    const Options o = parseCommand({"--size=0050,7", "--runs", "20", "--walk", "literal",
                                    "--threads=1", "--threads", "2", "-q", "--json"})
                          .options;
    EXPECT_EQ(o.sizes, (std::vector<std::int32_t>{50, 7}));
    EXPECT_EQ(o.totalRuns(), 40);
    EXPECT_EQ(o.growth.walker, Walker::Literal);
    EXPECT_EQ(o.threads, 2);
    EXPECT_TRUE(o.quiet && o.json);
    EXPECT_EQ(parseCommand({"--seed", "18446744073709551615"}).options.seed, 18446744073709551615u);
    EXPECT_TRUE(parseCommand({"-h"}).help);

    // The largest picture under the limit; numbered names none of which is the fit's.
    const Options files = parseCommand({"--image", "x.png", "--scale", "18", "--size", "1000",
                                        "--plot", "x.svg", "--fit", "x-2.png", "--runs", "2"})
                              .options;
    EXPECT_EQ(files.scale, 18);
    // Run numbers have two digits at least, as many as the run count where it has more; a
    // single run, or a pipe or device every run writes to in turn, keeps its name.
    EXPECT_EQ(numberedPath("d/c.png", 0, 2), "d/c-01.png");
    EXPECT_EQ(numberedPath("c.tar", 98, 99), "c-99.tar");
    EXPECT_EQ(numberedPath("c.png", 0, 100), "c-001.png");
    EXPECT_EQ(numberedPath("c.png", 0, 1), "c.png");
    EXPECT_EQ(numberedPath("/dev/null", 3, 5), "/dev/null");
}

// Names are told apart as the file system sees them: a link that points nowhere yet names the
// file a write makes, and the checkpoint a run resumes is an input for every output but the
// checkpoint it saves anew.
TEST(Options, OutputsAndTheResumedCheckpointAreFilesNotSpellings) {
    test::ScratchFolder folder;
    const std::string c = folder.file("c"), link = folder.file("link");
    std::filesystem::create_symlink("c", link);
    EXPECT_TRUE(namesOneFile(link, c));
    EXPECT_THROW(parseCommand({"--checkpoint", c, "--fit", link}), UsageError);
    EXPECT_THROW(parseCommand({"--resume", link, "--plot", c}), UsageError);
    EXPECT_NO_THROW(parseCommand({"--resume", c, "--checkpoint", link}));
}

}  // namespace
}  // namespace dla::cli
