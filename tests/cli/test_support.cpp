#include "test_support.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <png.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <sstream>
#include <stdexcept>

#include "command.h"

namespace dla::cli::test {

ScratchFolder::ScratchFolder() {
    char name[] = "/tmp/dla-cli-test-XXXXXX";
    path_ = ::mkdtemp(name);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ScratchFolder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> decodePng(const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    std::vector<std::uint8_t> rgb;
    if (png_image_begin_read_from_file(&png, path.c_str())) {
        png.format = PNG_FORMAT_RGB;
        rgb.resize(PNG_IMAGE_SIZE(png));
        if (png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) return rgb;
    }
    throw std::runtime_error("cannot decode PNG " + path + ": " + png.message);
}

namespace {

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

}  // namespace

std::string readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::string text = readAll(fd);
    ::close(fd);
    return text;
}

Finished runProgram(const std::vector<std::string>& args, const std::function<void()>& inChild,
                    const std::function<void(pid_t, int)>& whileRunning) {
    std::vector<char*> argv{const_cast<char*>(DLA_CLI_PROGRAM)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    // stderr goes to memory, where it cannot fill up while stdout is being read.
    const int err = ::memfd_create("stderr", MFD_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        for (const int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
        if (inChild) inChild();
        ::execv(DLA_CLI_PROGRAM, argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (whileRunning) whileRunning(pid, out[0]);
    Finished finished;
    finished.out = readAll(out[0]);
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    finished.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    finished.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    ::lseek(err, 0, SEEK_SET);
    finished.err = readAll(err);
    ::close(err);
    return finished;
}

Ran run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runCli(args, out, err, false, 2);
    return {status, out.str(), err.str()};
}

void refuseUnnamedFiles() {
    // openat(folder, name, flags, mode): O_TMPFILE carries O_DIRECTORY, so its own bit is tested.
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, __O_TMPFILE, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(126);
}

}  // namespace dla::cli::test
