#include "formats/checkpoint.h"

#include <signal.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <vector>

#include "files/output_file.h"

namespace dla {

namespace {

constexpr std::string_view kHeader = "dla-cli checkpoint 2\n";
constexpr std::size_t kCrcBytes = 4;

// An output stream's bytes handed to an OutputFile, with the CRC-32 of all of them; the file's
// FileError is kept for the caller, since a stream swallows what its buffer throws.
class OutputFileBuffer : public std::streambuf {
  public:
    explicit OutputFileBuffer(OutputFile& file) : file_(file) {}
    const std::optional<FileError>& failure() const { return failure_; }
    std::uint32_t crc() const { return static_cast<std::uint32_t>(crc_); }

  protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        if (failure_) return 0;
        try {
            file_.write({bytes, static_cast<std::size_t>(count)});
        } catch (const FileError& e) {
            failure_ = e;
            return 0;
        }
        crc_ = ::crc32(crc_, reinterpret_cast<const Bytef*>(bytes), static_cast<uInt>(count));
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
    uLong crc_ = ::crc32(0, nullptr, 0);
};

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

// The system's refusal to give the bytes (a folder, an I/O error), told apart from bytes that
// are not a checkpoint.
class ReadFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The CRC-32 of everything but the last kCrcBytes bytes, and those bytes as a number; false for
// a stream shorter than that.
bool wholeCrc(std::istream& in, std::uint32_t& computed, std::uint32_t& stored) {
    std::vector<char> chunk(std::size_t{1} << 20);
    std::string held;  // the last bytes read, which may turn out to be the stored CRC
    uLong crc = ::crc32(0, nullptr, 0);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        held.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (held.size() <= kCrcBytes) continue;
        const std::size_t sure = held.size() - kCrcBytes;
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(held.data()), static_cast<uInt>(sure));
        held.erase(0, sure);
    }
    if (in.bad()) throw ReadFailure(std::strerror(errno != 0 ? errno : EIO));
    if (held.size() < kCrcBytes) return false;
    computed = static_cast<std::uint32_t>(crc);
    std::memcpy(&stored, held.data(), kCrcBytes);
    return true;
}

}  // namespace

void writeCheckpoint(OutputFile& file, const Run& run) {
    OutputFileBuffer buffer(file);
    std::ostream out(&buffer);
    out.write(kHeader.data(), static_cast<std::streamsize>(kHeader.size()));
    put<double>(out, run.growSeconds());
    try {
        run.save(out);
    } catch (const std::ios_base::failure&) {
        if (!buffer.failure()) throw FileError("cannot write '" + file.path() + "'");
    }
    if (buffer.failure()) throw *buffer.failure();
    const std::uint32_t crc = buffer.crc();
    file.write({reinterpret_cast<const char*>(&crc), kCrcBytes});
}

namespace {

// The checkpoint in a stream that can be read twice.
std::unique_ptr<Run> parse(std::istream& in) {
    // The whole first: nothing of a damaged file is restored, and a file that is not one
    // checkpoint (two joined, a header from another) does not pass as one.
    std::uint32_t computed = 0, stored = 0;
    if (!wholeCrc(in, computed, stored)) throw std::runtime_error("not a dla-cli checkpoint");
    in.clear();
    in.seekg(0);
    std::string header(kHeader.size(), '\0');
    if (!in.read(header.data(), static_cast<std::streamsize>(header.size())) || header != kHeader) {
        constexpr std::string_view kFormat = "dla-cli checkpoint ";
        if (!header.starts_with(kFormat)) throw std::runtime_error("not a dla-cli checkpoint");
        const std::string format =
            header.substr(kFormat.size(), header.find('\n') - kFormat.size());
        throw std::runtime_error("a checkpoint of format " + format +
                                 ", and this dla-cli reads format " +
                                 std::string(kHeader.substr(kFormat.size(), 1)) + " only");
    }
    if (computed != stored) throw std::runtime_error("damaged (its CRC-32 does not match)");
    const auto grown = get<double>(in);
    if (!(grown >= 0.0) || grown > 1e12)
        throw std::runtime_error("damaged (a time grown outside 0..10^12 s)");
    std::unique_ptr<Run> run = Run::restore(in, grown);
    // Another largest jump would grow another aggregate from the seed, or walk for minutes.
    if (!run->walksAsItsSettings())
        throw std::runtime_error("damaged (a largest jump that dla-cli's runs do not take)");
    (void)get<std::uint32_t>(in);
    if (in.peek() != std::char_traits<char>::eof())
        throw std::runtime_error("damaged (bytes after its end)");
    return run;
}

}  // namespace

std::unique_ptr<Run> readCheckpoint(std::istream& in, const std::string& name) {
    try {
        if (in.tellg() >= 0) return parse(in);
        // A pipe is read once, into memory, and checked from there.
        std::ostringstream bytes;
        if (!(bytes << in.rdbuf()) && in.bad())
            throw ReadFailure(std::strerror(errno != 0 ? errno : EIO));
        std::istringstream copy(std::move(bytes).str());
        return parse(copy);
    } catch (const ReadFailure& e) {
        throw std::runtime_error("cannot read '" + name + "': " + e.what());
    } catch (const std::runtime_error& e) {
        throw std::runtime_error("cannot resume from '" + name + "': " + e.what());
    }
}

}  // namespace dla
