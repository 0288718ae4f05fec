#include "checkpoint.h"

#include <signal.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <streambuf>

#include "output_file.h"

namespace dla::cli {

namespace {

constexpr std::string_view kHeader = "dla-cli checkpoint 1\n";

// An output stream's bytes handed to an OutputFile; its FileError is kept for the caller, since
// a stream swallows what its buffer throws.
class OutputFileBuffer : public std::streambuf {
  public:
    explicit OutputFileBuffer(OutputFile& file) : file_(file) {}
    const std::optional<FileError>& failure() const { return failure_; }

  protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        if (failure_) return 0;
        try {
            file_.write({bytes, static_cast<std::size_t>(count)});
        } catch (const FileError& e) {
            failure_ = e;
            return 0;
        }
        return count;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

  private:
    OutputFile& file_;
    std::optional<FileError> failure_;
};

// A check of the header's fields, so that a damaged seed or time is refused like the rest.
std::uint64_t headerCheck(std::uint8_t hasSeed, std::uint64_t seed, double seconds) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const std::uint64_t word : {std::uint64_t{hasSeed}, seed, bits}) {
        h = (h ^ word) * 0x100000001b3ULL;
        h ^= h >> 29;
    }
    return h;
}

template <class T>
void put(std::ostream& out, T value) {
    out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

template <class T>
T get(std::istream& in) {
    T value{};
    if (!in.read(reinterpret_cast<char*>(&value), sizeof value))
        throw std::runtime_error("cut short");
    return value;
}

// The state shared with the signal handler: lock-free atomics and what sigaction saved.
std::atomic<bool> interruptRequested{false};
std::atomic<int> interruptSignal{0};
constexpr std::array<int, 2> kInterrupts{SIGINT, SIGTERM};
std::array<struct sigaction, 2> previousActions{};
std::array<bool, 2> installed{};

extern "C" void requestInterrupt(int signal) {
    const std::size_t k = signal == SIGINT ? 0 : 1;
    if (interruptRequested.load()) {
        // The second one: as before, once this handler returns.
        ::sigaction(signal, &previousActions[k], nullptr);
        ::raise(signal);
        return;
    }
    interruptSignal.store(signal);
    interruptRequested.store(true);
}

}  // namespace

std::string checkpointHeader(std::optional<std::uint64_t> seed, double growSeconds) {
    std::ostringstream out;
    out.write(kHeader.data(), static_cast<std::streamsize>(kHeader.size()));
    put<std::uint8_t>(out, seed ? 1 : 0);
    put<std::uint64_t>(out, seed.value_or(0));
    put<double>(out, growSeconds);
    put<std::uint64_t>(out, headerCheck(seed ? 1 : 0, seed.value_or(0), growSeconds));
    return out.str();
}

void saveCheckpoint(const std::string& path, const LargeGrowth& growth,
                    std::optional<std::uint64_t> seed, double growSeconds) {
    OutputFile file(path);
    OutputFileBuffer buffer(file);
    std::ostream out(&buffer);
    out << checkpointHeader(seed, growSeconds);
    try {
        growth.save(out);
    } catch (const std::ios_base::failure&) {
        if (!buffer.failure()) throw FileError("cannot write '" + path + "'");
    }
    if (buffer.failure()) throw *buffer.failure();
    file.commit();
}

Checkpoint loadCheckpoint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read '" + path + "': " +
                                 std::strerror(errno != 0 ? errno : EIO));
    }
    return readCheckpoint(in, path);
}

Checkpoint readCheckpoint(std::istream& in, const std::string& name) {
    Checkpoint checkpoint;
    try {
        std::string header(kHeader.size(), '\0');
        if (!in.read(header.data(), static_cast<std::streamsize>(header.size())) ||
            header != kHeader)
            throw std::runtime_error("not a dla-cli checkpoint");
        const auto hasSeed = get<std::uint8_t>(in);
        const auto seed = get<std::uint64_t>(in);
        checkpoint.growSeconds = get<double>(in);
        if (get<std::uint64_t>(in) != headerCheck(hasSeed, seed, checkpoint.growSeconds) ||
            hasSeed > 1 || !(checkpoint.growSeconds >= 0.0) || checkpoint.growSeconds > 1e12)
            throw std::runtime_error("damaged");
        if (hasSeed == 1) checkpoint.seed = seed;
        checkpoint.growth = LargeGrowth::restore(in);
        if (in.peek() != std::char_traits<char>::eof())
            throw std::runtime_error("damaged (bytes after its end)");
    } catch (const std::ios_base::failure& e) {
        throw std::runtime_error("cannot read '" + name + "': " + e.what());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("cannot resume from '" + name + "': " + e.what());
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("cannot resume from '" + name + "': damaged");
    }
    return checkpoint;
}

InterruptRequest::InterruptRequest() {
    interruptRequested = false;
    interruptSignal = 0;
    for (std::size_t k = 0; k < kInterrupts.size(); ++k) {
        installed[k] = false;
        if (::sigaction(kInterrupts[k], nullptr, &previousActions[k]) != 0 ||
            previousActions[k].sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = requestInterrupt;
        sigemptyset(&action.sa_mask);
        installed[k] = ::sigaction(kInterrupts[k], &action, nullptr) == 0;
    }
}

InterruptRequest::~InterruptRequest() {
    for (std::size_t k = 0; k < kInterrupts.size(); ++k) {
        if (installed[k]) ::sigaction(kInterrupts[k], &previousActions[k], nullptr);
    }
}

const std::atomic<bool>& InterruptRequest::requested() const {
    return interruptRequested;
}

int InterruptRequest::signal() const {
    return interruptSignal.load();
}

}  // namespace dla::cli
