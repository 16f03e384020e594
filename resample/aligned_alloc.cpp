#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "resample/alloc_fault.h"
#include "resample/resize.h"

namespace {

// The heap's own address is kept in the slot just below the aligned block; the
// slot holds a whole pointer.
constexpr std::size_t kAlignment = 32;
constexpr std::size_t kSlot = sizeof(void*);
constexpr std::size_t kOverhead = kSlot + kAlignment - 1;

thread_local int t_failAfter = -1;
thread_local int t_requests = 0;

}  // namespace

namespace resample {

void SetAllocationFailureAfter(int allowed) noexcept {
    t_failAfter = allowed;
}
int AllocationRequestCount() noexcept {
    return t_requests;
}
void ResetAllocationRequestCount() noexcept {
    t_requests = 0;
}

}  // namespace resample

void* AlignedAlloc32(std::ptrdiff_t count, std::size_t elementSize) {
    ++t_requests;
    if (t_failAfter == 0) {
        return nullptr;
    }
    if (t_failAfter > 0) {
        --t_failAfter;
    }
    if (count <= 0 || elementSize == 0) {
        return nullptr;
    }
    constexpr std::size_t kLimit =
        static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
    const auto n = static_cast<std::size_t>(count);
    if (n > (kLimit - kOverhead) / elementSize) {
        return nullptr;
    }
    void* raw = std::malloc(n * elementSize + kOverhead);
    if (raw == nullptr) {
        return nullptr;
    }
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned =
        (start + kOverhead) & ~static_cast<std::uintptr_t>(kAlignment - 1);
    std::memcpy(reinterpret_cast<void*>(aligned - kSlot), &raw, kSlot);
    return reinterpret_cast<void*>(aligned);
}

void AlignedFree32(void* block) {
    if (block == nullptr) {
        return;
    }
    void* raw = nullptr;
    std::memcpy(&raw, static_cast<const unsigned char*>(block) - kSlot, kSlot);
    std::free(raw);
}
