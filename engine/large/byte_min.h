#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dla {

/// dst[i] = min(dst[i], src[i]) for i < n; the two ranges must not overlap. In chunks of 16 (or
/// 8) bytes, which the compiler turns into one vector operation each, with a last chunk that
/// overlaps the one before instead of a tail of single bytes: taking a minimum twice changes
/// nothing.
namespace detail {
template <std::size_t kChunk>
struct Chunk {
    std::uint8_t bytes[kChunk];
    static Chunk lowered(const std::uint8_t* dst, const std::uint8_t* src) {
        Chunk a, b;
        std::memcpy(a.bytes, dst, kChunk);
        std::memcpy(b.bytes, src, kChunk);
        for (std::size_t i = 0; i < kChunk; ++i) a.bytes[i] = std::min(a.bytes[i], b.bytes[i]);
        return a;
    }
};

template <std::size_t kChunk>
[[gnu::always_inline]] inline void minInChunks(std::uint8_t* dst, const std::uint8_t* src,
                                               std::size_t n) {
    // The last chunk is read before any store, so that no read waits on a store it overlaps.
    const Chunk<kChunk> last = Chunk<kChunk>::lowered(dst + n - kChunk, src + n - kChunk);
    for (std::size_t at = 0; at + kChunk < n; at += kChunk) {
        const Chunk<kChunk> c = Chunk<kChunk>::lowered(dst + at, src + at);
        std::memcpy(dst + at, c.bytes, kChunk);
    }
    std::memcpy(dst + n - kChunk, last.bytes, kChunk);
}
}  // namespace detail

inline void minInto(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    if (n >= 16) {
        detail::minInChunks<16>(dst, src, n);
    } else if (n >= 8) {
        detail::minInChunks<8>(dst, src, n);
    } else {
        for (std::size_t i = 0; i < n; ++i) dst[i] = std::min(dst[i], src[i]);
    }
}

/// dst[i] = max(dst[i], src[i]) for bytes that hold two values of 4 bits each, half by half; n a
/// multiple of 16. Each half is taken apart with a mask, so that a byte's maximum of masked
/// values is the maximum of that half.
inline void maxNibblesInto(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    for (std::size_t at = 0; at < n; at += 16) {
        std::uint8_t a[16], b[16];
        std::memcpy(a, dst + at, 16);
        std::memcpy(b, src + at, 16);
        for (std::size_t i = 0; i < 16; ++i) {
            const auto low = std::max(a[i] & 0x0F, b[i] & 0x0F);
            const auto high = std::max(a[i] & 0xF0, b[i] & 0xF0);
            a[i] = static_cast<std::uint8_t>(low | high);
        }
        std::memcpy(dst + at, a, 16);
    }
}

/// The same for 8 x 8 bytes stored row by row in dst, from eight rows of 8 bytes `stride` apart
/// in src: two rows of src make one 16-byte chunk, four chunks the square.
inline void minSquareInto(std::uint8_t* dst, const std::uint8_t* src, std::size_t stride) {
    for (std::size_t at = 0; at < 64; at += 16, src += 2 * stride) {
        std::uint8_t rows[16];
        std::memcpy(rows, src, 8);
        std::memcpy(rows + 8, src + stride, 8);
        const detail::Chunk<16> c = detail::Chunk<16>::lowered(dst + at, rows);
        std::memcpy(dst + at, c.bytes, 16);
    }
}

}  // namespace dla
