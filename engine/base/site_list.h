#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <vector>

#include "base/growth_law.h"

namespace dla {

/// Sites in the order they were added, 6 bytes a site where 8 would hold two int32: the sites
/// are kept in chunks of kChunk, and a chunk whose coordinates all lie within 24 bits (|x|, |y|
/// below 2^23, farther than any aggregate this machine holds reaches) stores each in 3 bytes. A
/// chunk that is given a site beyond that is widened to 4 bytes a coordinate, so that any int32
/// site is kept exactly. Reads by index take constant time; sites cannot be changed once added.
class SiteList {
  public:
    static constexpr std::size_t kChunkShift = 12;
    static constexpr std::size_t kChunk = std::size_t{1} << kChunkShift;

    SiteList() = default;
    SiteList(std::initializer_list<Site> sites) {
        for (const Site s : sites) push_back(s);
    }
    template <std::input_iterator It>
    SiteList(It first, It last) {
        for (; first != last; ++first) push_back(*first);
    }
    SiteList(SiteList&&) = default;
    SiteList& operator=(SiteList&&) = default;
    SiteList(const SiteList& other) { *this = other; }
    SiteList& operator=(const SiteList& other) {
        if (this == &other) return *this;
        clear();
        for (const Site s : other) push_back(s);
        return *this;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    Site operator[](std::size_t i) const {
        const Chunk& chunk = chunks_[i >> kChunkShift];
        const std::size_t at = i & (kChunk - 1);
        return chunk.wide ? wideAt(chunk.bytes.get(), at) : narrowAt(chunk.bytes.get(), at);
    }
    Site front() const { return (*this)[0]; }
    Site back() const { return (*this)[size_ - 1]; }

    void push_back(Site s) {
        const std::size_t at = size_ & (kChunk - 1);
        if (at == 0) chunks_.push_back(Chunk::make(fitsNarrow(s) ? kNarrow : kWide));
        Chunk& chunk = chunks_.back();
        if (!chunk.wide && !fitsNarrow(s)) widen(chunk, at);
        if (chunk.wide) {
            std::memcpy(chunk.bytes.get() + at * kWide, &s.x, 4);
            std::memcpy(chunk.bytes.get() + at * kWide + 4, &s.y, 4);
        } else {
            const std::uint64_t packed = (static_cast<std::uint64_t>(s.x) & kLow24) |
                                         ((static_cast<std::uint64_t>(s.y) & kLow24) << 24);
            std::memcpy(chunk.bytes.get() + at * kNarrow, &packed, kNarrow);
        }
        ++size_;
    }

    void clear() {
        chunks_.clear();
        size_ = 0;
    }

    /// Bytes held by the chunks.
    std::size_t memoryBytes() const {
        std::size_t bytes = chunks_.capacity() * sizeof(Chunk);
        for (const Chunk& c : chunks_) bytes += kChunk * (c.wide ? kWide : kNarrow);
        return bytes;
    }

    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Site;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Site;

        const_iterator() = default;
        Site operator*() const { return (*list_)[at_]; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator was = *this;
            ++at_;
            return was;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.at_ == b.at_;
        }

      private:
        friend class SiteList;
        const_iterator(const SiteList* list, std::size_t at) : list_(list), at_(at) {}
        const SiteList* list_ = nullptr;
        std::size_t at_ = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }

    friend bool operator==(const SiteList& a, const SiteList& b) {
        if (a.size_ != b.size_) return false;
        for (std::size_t i = 0; i < a.size_; ++i)
            if (a[i] != b[i]) return false;
        return true;
    }

  private:
    static constexpr std::size_t kNarrow = 6, kWide = 8;
    static constexpr std::uint64_t kLow24 = (std::uint64_t{1} << 24) - 1;
    static constexpr std::int32_t kNarrowReach = std::int32_t{1} << 23;

    struct Chunk {
        // Two bytes more than the sites need, so that a narrow site is read as 8 bytes at once.
        std::unique_ptr<std::uint8_t[]> bytes;
        bool wide = false;
        static Chunk make(std::size_t perSite) {
            return {std::make_unique<std::uint8_t[]>(kChunk * perSite + 2),
                    perSite == kWide};
        }
    };

    static bool fitsNarrow(Site s) {
        return s.x >= -kNarrowReach && s.x < kNarrowReach && s.y >= -kNarrowReach &&
               s.y < kNarrowReach;
    }
    static std::int32_t signed24(std::uint64_t bits) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits & kLow24) << 8) >> 8;
    }
    static Site narrowAt(const std::uint8_t* bytes, std::size_t at) {
        std::uint64_t packed;
        std::memcpy(&packed, bytes + at * kNarrow, 8);
        return {signed24(packed), signed24(packed >> 24)};
    }
    static Site wideAt(const std::uint8_t* bytes, std::size_t at) {
        Site s;
        std::memcpy(&s.x, bytes + at * kWide, 4);
        std::memcpy(&s.y, bytes + at * kWide + 4, 4);
        return s;
    }
    // The first `count` sites of a narrow chunk, rewritten 8 bytes a site.
    static void widen(Chunk& chunk, std::size_t count) {
        Chunk wide = Chunk::make(kWide);
        for (std::size_t i = 0; i < count; ++i) {
            const Site s = narrowAt(chunk.bytes.get(), i);
            std::memcpy(wide.bytes.get() + i * kWide, &s.x, 4);
            std::memcpy(wide.bytes.get() + i * kWide + 4, &s.y, 4);
        }
        chunk = std::move(wide);
    }

    std::vector<Chunk> chunks_;
    std::size_t size_ = 0;
};

}  // namespace dla
