#include "output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace dla::cli {

namespace {

[[noreturn]] void fail(const std::string& path, int error) {
    throw FileError("cannot write '" + path + "': " + std::strerror(error));
}

struct TemporaryFile {
    std::string name;
    std::FILE* stream = nullptr;
};

// A new file beside `path`, created exclusively so that two writers never share one; opened
// with the usual permissions (the umask applies), unlike mkstemp's owner-only ones.
TemporaryFile createBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path target(path);
    if (target.filename().empty()) fail(path, EISDIR);
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) fail(path, EISDIR);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Built by appending: GCC 12 warns falsely (-Wrestrict) on a chain of operator+.
        std::string leaf = ".";
        leaf += target.filename().string();
        leaf += ".tmp-";
        leaf += std::to_string(::getpid());
        leaf += '-';
        leaf += std::to_string(counter.fetch_add(1));
        const std::string name = (target.parent_path() / leaf).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            fail(path, errno);
        }
        std::FILE* stream = ::fdopen(fd, "wb");
        if (stream == nullptr) {
            const int error = errno;
            ::close(fd);
            ::unlink(name.c_str());
            fail(path, error);
        }
        return {name, stream};
    }
    fail(path, EEXIST);
}

}  // namespace

void writeFileAtomically(const std::string& path, const std::function<void(std::FILE*)>& write) {
    TemporaryFile temp = createBeside(path);
    try {
        write(temp.stream);
        if (std::fflush(temp.stream) != 0 || std::ferror(temp.stream))
            fail(path, errno ? errno : EIO);
        std::FILE* stream = temp.stream;
        temp.stream = nullptr;
        if (std::fclose(stream) != 0) fail(path, errno);
        if (std::rename(temp.name.c_str(), path.c_str()) != 0) fail(path, errno);
    } catch (...) {
        if (temp.stream != nullptr) std::fclose(temp.stream);
        ::unlink(temp.name.c_str());
        throw;
    }
}

void writeFileAtomically(const std::string& path, std::string_view contents) {
    writeFileAtomically(path, [&](std::FILE* stream) {
        if (!contents.empty() &&
            std::fwrite(contents.data(), 1, contents.size(), stream) != contents.size()) {
            fail(path, errno ? errno : EIO);
        }
    });
}

void checkWritable(const std::string& path) {
    TemporaryFile temp = createBeside(path);
    std::fclose(temp.stream);
    ::unlink(temp.name.c_str());
}

}  // namespace dla::cli
