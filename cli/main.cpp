#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "command.h"
#include "files/output_file.h"
#include "files/signals.h"

int main(int argc, char** argv) {
    // A reader that goes away makes writes fail with EPIPE, so that the program ends at a point
    // of its own choosing (files written whole or not at all), as SIGPIPE would have ended it.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit makes writes beyond it fail with EFBIG, reported like a full disk,
    // instead of ending the process without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    dla::installSignalHandling();
    // A closed standard descriptor would go to the first file opened, and stdout's lines into
    // it; /dev/null opened read-only holds the place and fails every write as the closed one.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            if (::open("/dev/null", O_RDONLY) != fd) return dla::cli::kExitFileError;
        }
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto cores = static_cast<int>(std::thread::hardware_concurrency());
    dla::DescriptorBuffer standardOutput(STDOUT_FILENO);
    std::ostream out(&standardOutput);
    const int status =
        dla::cli::runCli(args, out, std::cerr, ::isatty(STDERR_FILENO) != 0, cores > 0 ? cores : 1);
    // A reader that stopped early ends the program as SIGPIPE would have, without a word.
    if (status == dla::cli::kExitReaderGone) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
    return status;
}
