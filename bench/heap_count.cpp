#include "bench/heap_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

// The size is kept in front of the block, so that delete can count it.
constexpr std::size_t Header = 16;

void* counted(std::size_t n) {
    void* p = std::malloc(n + Header);
    if (!p) return nullptr;
    *static_cast<std::size_t*>(p) = n;
    const std::size_t live = g_live += n;
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(p) + Header;
}

void uncounted(void* p) {
    if (!p) return;
    void* base = static_cast<char*>(p) - Header;
    g_live -= *static_cast<std::size_t*>(base);
    std::free(base);
}

} // namespace

std::size_t heapLive() {
    return g_live.load();
}
std::size_t heapPeak() {
    return g_peak.load();
}
void resetHeapPeak() {
    g_peak.store(g_live.load());
}

void* operator new(std::size_t n) {
    if (void* p = counted(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = counted(n)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return counted(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return counted(n);
}
void operator delete(void* p) noexcept {
    uncounted(p);
}
void operator delete[](void* p) noexcept {
    uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept {
    uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    uncounted(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    uncounted(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    uncounted(p);
}
