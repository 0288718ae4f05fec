#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace dla {

/// An allocator that asks for transparent huge pages on blocks of 1 MB or more (Linux; elsewhere,
/// or when the system declines, ordinary pages). A walker reads the lattice's large arrays at
/// random places; with 2 MB pages their translations stay in the TLB.
///
/// On Linux such a block is a mapping of its own, given back to the system whole when it is
/// freed: from the heap, a freed block stays with the process wherever later allocations lie
/// above it, and a run that sheds its lattice to make room for its estimate would only add the
/// estimate's memory to the lattice's.
template <class T>
struct HugePageAllocator {
    using value_type = T;
    static constexpr std::size_t kHugePage = std::size_t{1} << 21;

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) {}

    T* allocate(std::size_t n) {
        if (n > (std::size_t(-1) - 2 * kHugePage) / sizeof(T)) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHugePage / 2) return std::allocator<T>().allocate(n);
        const std::size_t rounded = roundedUp(bytes);
#if defined(__linux__)
        // A huge page's worth more than needed, then the parts before and after the aligned
        // block handed back.
        const std::size_t mapped = rounded + kHugePage;
        void* area =
            mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area == MAP_FAILED) throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(area);
        const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
        if (aligned > start) munmap(area, aligned - start);
        const std::size_t after = start + mapped - (aligned + rounded);
        if (after > 0) munmap(reinterpret_cast<void*>(aligned + rounded), after);
        void* p = reinterpret_cast<void*>(aligned);
        (void)madvise(p, rounded, MADV_HUGEPAGE);
#else
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (p == nullptr) throw std::bad_alloc();
#endif
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) < kHugePage / 2) {
            std::allocator<T>().deallocate(p, n);
        } else {
#if defined(__linux__)
            munmap(p, roundedUp(n * sizeof(T)));
#else
            std::free(p);
#endif
        }
    }
    template <class U>
    friend bool operator==(const HugePageAllocator&, const HugePageAllocator<U>&) {
        return true;
    }

  private:
    static std::size_t roundedUp(std::size_t bytes) {
        return (bytes + kHugePage - 1) / kHugePage * kHugePage;
    }
};

}  // namespace dla
