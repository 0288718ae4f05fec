// Checkpoints as files: checked as one whole before anything is restored, and a resumed run
// reported with the plan it was started with.
#include "checkpoint.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <sstream>

#include "command.h"
#include "test_support.h"

namespace dla::cli {
namespace {

using test::run;

std::string lastLine(const std::string& text) {
    return text.substr(text.rfind('\n', text.size() - 2) + 1);
}

TEST(Checkpoint, IsCheckedAsOneWhole) {
    test::ScratchFolder folder;
    const std::string seven = folder.file("7"), five = folder.file("5");
    // Seed 7's file is larger than one read of it (1 MiB), so that its CRC-32 spans reads.
    for (const auto& [seed, particles, path] :
         {std::tuple{"7", "200000", seven}, std::tuple{"5", "2000", five}}) {
        ASSERT_EQ(run({"--particles", particles, "--seed", seed, "--checkpoint", path}).status, 0);
    }
    ASSERT_EQ(run({"--resume", seven}).status, 0);
    const std::string a = test::readFile(seven), b = test::readFile(five);
    ASSERT_GT(a.size(), std::size_t{1} << 20);
    // Its first line, the seconds grown (a double) and then the run's own state.
    const std::size_t header = std::string("dla-cli checkpoint 2\n").size() + 8;
    std::string flipped = a, older = a;
    flipped[a.size() / 2] ^= 1;
    older[19] = '1';
    // A file's body with its CRC-32 made anew.
    const auto withCrc = [](std::string body) {
        const auto crc = static_cast<std::uint32_t>(::crc32(
            0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
        return body.append(reinterpret_cast<const char*>(&crc), 4);
    };
    // Whole and sound, but written by another version of the walker (the run's state gives its
    // layout, then the walker's version), or by a walker held to shorter jumps.
    std::string otherWalker = a.substr(0, a.size() - 4), otherJump = otherWalker;
    otherWalker[header + 12] = 1;
    otherJump[header + 40] = 1;  // a largest jump of 2^16, not 2^17
    const std::pair<std::string, const char*> cases[] = {
        {a.substr(0, header) + b.substr(header), "CRC-32"},  // seed 7's header, seed 5's run
        {flipped, "CRC-32"},                                 // in the first of its reads
        {withCrc(a.substr(0, a.size() - 4) + "x"), "bytes after its end"},
        {a + "x", "CRC-32"},
        {a.substr(0, a.size() - 1), "CRC-32"},
        {older, "a checkpoint of format 1, and this dla-cli reads format 2 only"},
        {"dla", "not a dla-cli checkpoint"},
        {withCrc(otherJump), "a largest jump that dla-cli's runs do not take"},
        {withCrc(otherWalker),
         "written by the jump walker's version 1; this program's walker is version 2"},
    };
    for (const auto& [bytes, says] : cases) {
        const std::string path = folder.file("damaged");
        std::ofstream(path, std::ios::binary) << bytes;
        const test::Ran r = run({"--resume", path});
        EXPECT_EQ(r.status, kExitFileError) << says;
        EXPECT_TRUE(r.err.starts_with("dla-cli: cannot resume from '" + path + "': ") &&
                    r.err.find(says) != std::string::npos && r.err.find('\n') == r.err.size() - 1)
            << r.err;
    }
}

// The summary of a resumed run carries the plan of the command that started it, so that merge
// takes it as that command's output; a run saved after it ended resumes to its report alone, and
// its data files are the whole run's.
TEST(Checkpoint, ResumedRunKeepsItsPlan) {
    test::ScratchFolder folder;
    const std::string c = folder.file("c");
    const std::vector<std::string> started{"--particles",   "1500", "--seed", "9",
                                           "--kill-factor", "3",    "--json"};
    std::vector<std::string> saving = started;
    saving.insert(saving.end(), {"--checkpoint", c});
    std::vector<std::string> exporting = started;
    exporting.insert(exporting.end(),
                     {"--sites", folder.file("w.csv"), "--history", folder.file("wh.csv")});
    const test::Ran whole = run(exporting), saved = run(saving),
                    resumed = run({"--resume", c, "--json", "--sites", folder.file("r.csv"),
                                   "--history", folder.file("rh.csv")});
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_EQ(lastLine(resumed.out), lastLine(whole.out));
    // Its sites and history are the whole run's, in the same order.
    EXPECT_EQ(test::readFile(folder.file("r.csv")), test::readFile(folder.file("w.csv")));
    EXPECT_EQ(test::readFile(folder.file("rh.csv")), test::readFile(folder.file("wh.csv")));
    EXPECT_EQ(lastLine(saved.out), lastLine(whole.out));
    const std::string output = folder.file("resumed.json");
    std::ofstream(output) << resumed.out;
    const test::Ran merged = run({"merge", "--json", output});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(merged.out, lastLine(whole.out));
}

}  // namespace
}  // namespace dla::cli
