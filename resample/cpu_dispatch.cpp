#include "resample/cpu_dispatch.h"

#include <array>
#include <cstring>

#include "resample/resize_general.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define KESTRUNE_X86 1
#else
#define KESTRUNE_X86 0
#endif

namespace resample {

constinit std::atomic<std::int32_t> CpuClassIndex{1};

namespace {

// The vendor text the processor-specific classes were made for.
constexpr char kReferenceVendor[] = "ReferenceCPU";
static_assert(sizeof(kReferenceVendor) == 13);

// Slots 2 to 4 are never selected by the program; they hold the generic
// implementation.
constexpr std::array<ResizeEntryFn, 5> kResizeImplementations = {
    nullptr, ResizeGenericEntry, ResizeGenericEntry, ResizeGenericEntry, ResizeGenericEntry};

constinit const DispatchRecord* g_dispatchListHead = nullptr;

DispatchRecord g_resizeRecord{"i", "ResizeImage_8u_C3R", kResizeImplementations.data(), nullptr};
[[maybe_unused]] const DispatchRecord* const g_registered = RegisterDispatchRecord(&g_resizeRecord);

struct Regs {
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
};

Regs Cpuid(std::uint32_t leaf) {
    Regs r;
#if KESTRUNE_X86
    __cpuid(leaf, r.a, r.b, r.c, r.d);
#else
    (void)leaf;
#endif
    return r;
}

bool Bit(std::uint32_t word, int bit) {
    return ((word >> bit) & 1u) != 0;
}

struct TypeClass {
    int type;
    int cpuClass;
};

// Processor type code to class.
constexpr TypeClass kClassOfType[] = {
    {-1, 0}, {0, 1},  {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 2},
    {16, 2}, {17, 2}, {6, 3}, {7, 3}, {9, 3}, {8, 4}, {32, 4},
};

int ClassOfType(int type, int unknown) {
    for (const TypeClass& e : kClassOfType) {
        if (e.type == type) {
            return e.cpuClass;
        }
    }
    return unknown;
}

}  // namespace

const DispatchRecord* RegisterDispatchRecord(DispatchRecord* record) {
    const DispatchRecord* previous = g_dispatchListHead;
    record->next = previous;
    g_dispatchListHead = record;
    return previous;
}

const DispatchRecord* DispatchListHead() {
    return g_dispatchListHead;
}

int CpuidAvailable() {
#if defined(__x86_64__)
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    asm volatile(
        "pushfq\n\t"
        "popq %0\n\t"
        "movq %0, %1\n\t"
        "xorq $0x200000, %1\n\t"
        "pushq %1\n\t"
        "popfq\n\t"
        "pushfq\n\t"
        "popq %1\n\t"
        "pushq %0\n\t"
        "popfq\n\t"
        : "=&r"(before), "=&r"(after)
        :
        : "cc");
    return ((before ^ after) & 0x200000) != 0 ? 1 : 0;
#elif defined(__i386__)
    return __get_cpuid_max(0, nullptr) != 0 ? 1 : 0;
#else
    return 0;
#endif
}

int IsReferenceVendor() {
    if (CpuidAvailable() == 0) {
        return 0;
    }
    const Regs r = Cpuid(0);
    char vendor[12];
    std::memcpy(vendor, &r.b, 4);
    std::memcpy(vendor + 4, &r.d, 4);
    std::memcpy(vendor + 8, &r.c, 4);
    return std::memcmp(vendor, kReferenceVendor, 12) == 0 ? 1 : 0;
}

void ReadCpuInfo(CpuInfoRecord& info) {
    info = CpuInfoRecord{};
    if (CpuidAvailable() == 0) {
        return;
    }
    const Regs r1 = Cpuid(1);
    info.family = static_cast<int>((r1.a >> 8) & 0xF);
    info.model = static_cast<int>((r1.a >> 4) & 0xF);
    info.stepping = static_cast<int>(r1.a & 0xF);
    info.featureEdx = r1.d;
    const Regs r2 = Cpuid(2);
    info.cacheEax = r2.a;
    info.cacheEdx = r2.d;
    info.mmx = Bit(r1.d, 23);
    info.sse = Bit(r1.d, 25);
    info.sse2 = Bit(r1.d, 26);
    info.hyperThreading = Bit(r1.d, 28) && ((r1.b >> 16) & 0xFF) > 1;
    info.sse3 = Bit(r1.c, 0);
    info.x64 = Has64Bit();
}

int CpuTypeFromInfo(const CpuInfoRecord& info) {
    switch (info.family) {
        case 7:
            return 16;
        case 15:
            if (info.sse2 == 0) {
                return 17;
            }
            if (info.sse3 != 0) {
                return info.x64 != 0 ? 32 : 8;
            }
            return info.hyperThreading != 0 ? 7 : 6;
        case 5:
            return info.mmx != 0 ? 2 : 1;
        case 6:
            return info.sse2 != 0 ? 9 : info.sse != 0 ? 5 : info.mmx != 0 ? 4 : 3;
        default:
            return 0;
    }
}

int CpuTypeDetect() {
    if (CpuidAvailable() == 0 || IsReferenceVendor() == 0) {
        return 0;
    }
    CpuInfoRecord info;
    ReadCpuInfo(info);
    return CpuTypeFromInfo(info);
}

ResizeStatus InitCpuClass() {
    CpuClassIndex.store(ClassOfType(CpuTypeDetect(), 1), std::memory_order_relaxed);
    if (CpuidAvailable() != 0 && IsReferenceVendor() != 0) {
        return kResizeOk;
    }
    CpuClassIndex.store(1, std::memory_order_relaxed);
    return kResizeNotReferenceCpu;
}

ResizeStatus InitCpuClassForType(int type) {
    const int cpuClass = ClassOfType(type, -1);
    if (cpuClass < 0) {
        return kResizeUnknownCpuType;
    }
    CpuClassIndex.store(cpuClass, std::memory_order_relaxed);
    return kResizeOk;
}

std::uint32_t CpuidMaxLeaf() {
    return CpuidAvailable() != 0 ? Cpuid(0).a : 0;
}
int HasTimeStampCounter() {
    return CpuidAvailable() != 0 && Bit(Cpuid(1).d, 4) ? 1 : 0;
}
int HasMmx() {
    return CpuidAvailable() != 0 && Bit(Cpuid(1).d, 23) ? 1 : 0;
}
int HasSse() {
    return CpuidAvailable() != 0 && Bit(Cpuid(1).d, 25) ? 1 : 0;
}
int HasSse2() {
    return CpuidAvailable() != 0 && Bit(Cpuid(1).d, 26) ? 1 : 0;
}
int HasHyperThreading() {
    if (CpuidAvailable() == 0) {
        return 0;
    }
    const Regs r = Cpuid(1);
    return Bit(r.d, 28) && ((r.b >> 16) & 0xFF) > 1 ? 1 : 0;
}
int HasSse3() {
    return CpuidAvailable() != 0 && Bit(Cpuid(1).c, 0) ? 1 : 0;
}
int Has64Bit() {
    if (CpuidAvailable() == 0 || Cpuid(0x80000000u).a < 0x80000001u) {
        return 0;
    }
    return Bit(Cpuid(0x80000001u).d, 29) ? 1 : 0;
}
std::uint64_t ReadTimeStampCounter() {
#if KESTRUNE_X86
    return __rdtsc();
#else
    return 0;
#endif
}

}  // namespace resample

// The public entry: a jump through the slot of the processor class. The
// empty slot (class 0) and any class outside the table refuse the call.
ResizeStatus ResizeImage_8u_C3R(const std::uint8_t* src, ResizeSize srcSize, int srcStep,
                                ResizeRect srcRoi, std::uint8_t* dst, int dstStep,
                                ResizeSize dstRoiSize, double xFactor, double yFactor,
                                int interpolation) {
    const std::int32_t cpuClass = resample::CpuClassIndex.load(std::memory_order_relaxed);
    if (cpuClass < 0 ||
        cpuClass >= static_cast<std::int32_t>(resample::kResizeImplementations.size())) {
        return kResizeNoImplementation;
    }
    const resample::ResizeEntryFn impl = resample::kResizeImplementations[cpuClass];
    if (impl == nullptr) {
        return kResizeNoImplementation;
    }
    return impl(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize, xFactor, yFactor,
                interpolation);
}
