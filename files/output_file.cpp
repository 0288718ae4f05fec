#include "files/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <utility>

#include "files/signals.h"

namespace dla {

namespace {

[[noreturn]] void failOn(const std::string& path, int error) {
    const std::string name = path == kStandardStream ? "standard output" : "'" + path + "'";
    const std::string message = "cannot write " + name + ": " + std::strerror(error);
    if (error == EPIPE) throw ReaderGone(message);
    throw FileError(message);
}

// Where a failed write to `fd` goes back to, so that a file keeps what was whole: the offset of a
// regular file not opened for appending, else -1 (nothing can be taken back).
off_t keptOffset(int fd) {
    struct stat file {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode) || flags < 0 || (flags & O_APPEND))
        return -1;
    return ::lseek(fd, 0, SEEK_CUR);
}

// Writes all of `bytes` to `fd`: 0, or the failed write's errno, once what was written after
// `kept` (keptOffset's, or -1) has been taken back.
int writeAll(int fd, std::string_view bytes, off_t kept) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            if (kept >= 0 && ::lseek(fd, 0, SEEK_CUR) > kept && ::ftruncate(fd, kept) == 0)
                ::lseek(fd, kept, SEEK_SET);
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

std::string folderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

}  // namespace

std::string finalName(const std::string& path) {
    std::string name = path;
    for (int hops = 0; hops < 40; ++hops) {
        char link[PATH_MAX];
        const ssize_t length = ::readlink(name.c_str(), link, sizeof link);
        if (length < 0) return name;  // not a link, or nothing there yet
        if (static_cast<std::size_t>(length) == sizeof link) failOn(path, ENAMETOOLONG);
        const std::string to(link, static_cast<std::size_t>(length));
        name = to.front() == '/' ? to : folderOf(name) + "/" + to;
    }
    failOn(path, ELOOP);
}

namespace {

// Unnamed files are linked through /proc; without it they could not be given a name.
bool canLinkUnnamed() {
    static const bool proc = ::access("/proc/self/fd", X_OK) == 0;
    return proc;
}

std::string newHiddenName(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    return folder + "/.dla-cli-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1)) + ".tmp";
}

bool isStandardOutput(const struct stat& file, int fd) {
    struct stat standard {};
    return ::fstat(fd, &standard) == 0 && standard.st_dev == file.st_dev &&
           standard.st_ino == file.st_ino;
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path), target_(path) {
    if (path == kStandardStream) {
        fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (fd_ < 0) fail(errno);
        keepWholeWrites();
        return;
    }
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) fail(errno);
    if (exists && S_ISDIR(existing.st_mode)) fail(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) fail(errno);
        return;
    }
    for (const int standard : {STDOUT_FILENO, STDERR_FILENO}) {
        // Replacing the file that stdout writes to would lose stdout's lines; share its offset.
        if (exists && isStandardOutput(existing, standard)) {
            fd_ = ::fcntl(standard, F_DUPFD_CLOEXEC, 3);
            if (fd_ < 0) fail(errno);
            keepWholeWrites();
            return;
        }
    }

    // A file that may not be written to is not replaced either, as a shell's ">" refuses it
    // (and, as there, root may).
    if (exists && ::access(path.c_str(), W_OK) != 0) fail(errno);

    target_ = finalName(path);
    const std::string folder = folderOf(target_);
    const std::string leaf = std::filesystem::path(target_).filename().string();
    if (leaf.empty()) fail(EISDIR);
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (leaf.size() > static_cast<std::size_t>(longest > 0 ? longest : NAME_MAX))
        fail(ENAMETOOLONG);

    kind_ = Kind::Unnamed;
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    const bool unsupported = fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL);
    if (fd_ < 0 && !unsupported) fail(errno);
    if (fd_ < 0 || !canLinkUnnamed()) {
        if (fd_ >= 0) ::close(fd_);
        kind_ = Kind::Hidden;
        hidden_ = newHiddenName(folder);
        slot_ = rememberHiddenFile(hidden_);
        fd_ = ::open(hidden_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int error = errno;
            forgetHiddenName();
            fail(error);
        }
    }
    // The owner first, since a change of owner clears the set-id bits that the mode restores.
    if (exists && ::fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
        // Only root may give a file away; others keep at least its group where they may.
        [[maybe_unused]] const int kept = ::fchown(fd_, static_cast<uid_t>(-1), existing.st_gid);
    }
    if (exists && ::fchmod(fd_, existing.st_mode & 07777) != 0) {
        const int error = errno;
        discard();
        fail(error);
    }
}

void OutputFile::keepWholeWrites() {
    kept_ = keptOffset(fd_);
}

OutputFile::~OutputFile() {
    discard();
}

void OutputFile::discard() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    if (!hidden_.empty()) ::unlink(hidden_.c_str());
    forgetHiddenName();
}

void OutputFile::fail(int error) const {
    failOn(path_, error);
}

void OutputFile::forgetHiddenName() {
    forgetHiddenFile(slot_);
    slot_ = -1;
    hidden_.clear();
}

void OutputFile::write(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= (1u << 14)) drain();
}

void OutputFile::drain() {
    // A regular file written in place keeps what was whole at the last flush().
    if (const int error = writeAll(fd_, buffer_, kept_); error != 0) fail(error);
    buffer_.clear();
}

void OutputFile::flush() {
    drain();
    if (kept_ >= 0) kept_ = ::lseek(fd_, 0, SEEK_CUR);
}

void OutputFile::commit() {
    flush();
    if (kind_ == Kind::Unnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            ::close(std::exchange(fd_, -1));
            return;
        }
        if (errno != EEXIST) fail(errno);
        // A link cannot replace a file; a rename can. The hidden name lives only between the two.
        hidden_ = newHiddenName(folderOf(target_));
        slot_ = rememberHiddenFile(hidden_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, hidden_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            const int error = errno;
            forgetHiddenName();
            fail(error);
        }
    }
    if (::close(std::exchange(fd_, -1)) != 0) fail(errno);
    if (kind_ != Kind::InPlace) {
        if (std::rename(hidden_.c_str(), target_.c_str()) != 0) fail(errno);
        forgetHiddenName();
    }
}

std::streamsize DescriptorBuffer::xsputn(const char* bytes, std::streamsize count) {
    pending_.append(bytes, static_cast<std::size_t>(count));
    return count;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) pending_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
}

int DescriptorBuffer::sync() {
    const int error = writeAll(fd_, pending_, keptOffset(fd_));
    pending_.clear();
    errno = error;
    return error == 0 ? 0 : -1;
}

void writeWholeFile(const std::string& path, std::string_view contents) {
    OutputFile file(path);
    file.write(contents);
    file.commit();
}

void checkWritable(const std::string& path) {
    if (path == kStandardStream) return;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISDIR(existing.st_mode)) {
        // Opening a pipe would wait for its reader.
        if (::access(path.c_str(), W_OK) != 0) failOn(path, errno);
        return;
    }
    OutputFile probe(path);
}

}  // namespace dla
