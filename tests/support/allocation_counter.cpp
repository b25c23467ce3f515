#include "support/allocation_counter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARVELO_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TARVELO_SANITIZER_ALLOCATOR 1
#endif
#endif

namespace {

// Written by each thread for itself; read by the allocation functions on that thread.
thread_local bool countedThread = false;
std::atomic<long> allocations{0};

void noteAllocation() noexcept {
    if (countedThread)
        allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

#ifdef TARVELO_SANITIZER_ALLOCATOR

// The sanitizer runtimes' allocation hook (sanitizer/allocator_interface.h, which GCC does not
// ship): called on the allocating thread for every allocation, operator new included.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {
void onMalloc(const volatile void*, std::size_t) {
    noteAllocation();
}
void onFree(const volatile void*) {}
}  // namespace

#else

// glibc's own allocator under its internal names: the replacements below count and hand over.
// operator new calls malloc, so it is counted too; free needs no replacement.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size) noexcept {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) noexcept {
    noteAllocation();
    return __libc_realloc(pointer, size);
}
void* memalign(std::size_t alignment, std::size_t size) noexcept {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    noteAllocation();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *out = p;
    return 0;
}
}

#endif

namespace tarvelo::testing {

CountedThread::CountedThread() {
#ifdef TARVELO_SANITIZER_ALLOCATOR
    // Installed once for the process: every call would add the hooks again.
    static const int installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    (void)installed;
#endif
    countedThread = true;
}

CountedThread::~CountedThread() {
    countedThread = false;
}

long countedAllocations() {
    return allocations.load(std::memory_order_relaxed);
}

}  // namespace tarvelo::testing
