#include <unistd.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto cores = static_cast<int>(std::thread::hardware_concurrency());
    return dla::cli::runCli(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0,
                            cores > 0 ? cores : 1);
}
