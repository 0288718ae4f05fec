#pragma once

#include <cstddef>
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
template <class T>
struct HugePageAllocator {
    using value_type = T;
    static constexpr std::size_t kHugePage = std::size_t{1} << 21;

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) {}

    T* allocate(std::size_t n) {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kHugePage / 2) return std::allocator<T>().allocate(n);
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (p == nullptr) throw std::bad_alloc();
#if defined(__linux__)
        (void)madvise(p, rounded, MADV_HUGEPAGE);
#endif
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) < kHugePage / 2) {
            std::allocator<T>().deallocate(p, n);
        } else {
            std::free(p);
        }
    }
    template <class U>
    friend bool operator==(const HugePageAllocator&, const HugePageAllocator<U>&) {
        return true;
    }
};

}  // namespace dla
