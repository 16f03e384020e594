#pragma once

// Processor dispatch of the resize entry. ResizeImage_8u_C3R is a stub that
// forwards its arguments to the implementation in the slot of the processor
// class. The class starts at 1 (the generic implementation) and nothing in the
// program changes it; the setters below exist for completeness.

#include <atomic>
#include <cstdint>

#include "resample/resize.h"

namespace resample {

using ResizeEntryFn = ResizeStatus (*)(const std::uint8_t*, ResizeSize, int, ResizeRect,
                                       std::uint8_t*, int, ResizeSize, double, double, int);

// 0 no implementation (empty slot), 1 generic, 2 .. 4 processor-specific.
extern std::atomic<std::int32_t> CpuClassIndex;

// Registration record of a dispatched function; records are chained from the
// most recently registered one.
struct DispatchRecord {
    const char* domain;  // "i": image functions
    const char* name;
    const ResizeEntryFn* implementations;  // indexed by the processor class
    const DispatchRecord* next;
};

// Makes `record` the head of the list; returns the previous head.
const DispatchRecord* RegisterDispatchRecord(DispatchRecord* record);
const DispatchRecord* DispatchListHead();

// What CPUID tells about the processor.
struct CpuInfoRecord {
    int family = 0;                // leaf 1 EAX bits 8-11
    int model = 0;                 // bits 4-7
    int stepping = 0;              // bits 0-3
    std::uint32_t featureEdx = 0;  // leaf 1 EDX
    std::uint32_t cacheEax = 0;    // leaf 2 EAX
    std::uint32_t cacheEdx = 0;    // leaf 2 EDX
    int mmx = 0;
    int sse = 0;
    int sse2 = 0;
    int hyperThreading = 0;  // EDX bit 28 and more than one logical processor
    int sse3 = 0;
    int x64 = 0;  // long mode; 0 when the extended leaf is missing
};

// 1 if CPUID is available (bit 21 of the flags register can be toggled).
int CpuidAvailable();
// 1 if CPUID leaf 0 reports the reference vendor text.
int IsReferenceVendor();
void ReadCpuInfo(CpuInfoRecord& info);
// Processor type code from CPUID: 0 when CPUID is missing or the vendor is not
// the reference vendor, else CpuTypeFromInfo.
int CpuTypeDetect();
// The type code of a processor of the reference vendor.
int CpuTypeFromInfo(const CpuInfoRecord& info);

// Sets the class from the detected processor: 0, or 20 (class back to 1)
// when the processor is not of the reference vendor.
ResizeStatus InitCpuClass();
// Sets the class for a type code: 0, or 21 (class unchanged) for an unknown
// code. Type -1 selects the empty slot.
ResizeStatus InitCpuClassForType(int type);

// Single probes.
std::uint32_t CpuidMaxLeaf();
int HasTimeStampCounter();
int HasMmx();
int HasSse();
int HasSse2();
int HasHyperThreading();
int HasSse3();
int Has64Bit();
std::uint64_t ReadTimeStampCounter();

}  // namespace resample
