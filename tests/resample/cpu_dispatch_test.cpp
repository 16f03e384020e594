// The processor dispatch of the resize entry.

#include <gtest/gtest.h>

#include <cstring>

#include "resample/cpu_dispatch.h"
#include "resample/resize_general.h"
#include "tests/resample/resample_test_util.h"

using namespace resample_test;
using resample::CpuClassIndex;

namespace {

// Restores the class after each test.
class CpuDispatch : public ::testing::Test {
protected:
    void TearDown() override { CpuClassIndex.store(1); }
};

}  // namespace

TEST_F(CpuDispatch, EntryReachesTheGenericImplementation) {
    EXPECT_EQ(CpuClassIndex.load(), 1);
    const Picture src = RandomPicture(9, 5, 3);
    Picture viaEntry(20, 20), viaGeneric(20, 20);
    EXPECT_EQ(Resize(src, src.all(), viaEntry, 2.1, 1.6, kResizeCubic), kResizeOk);
    EXPECT_EQ(
        resample::ResizeGenericEntry(src.data(), src.size(), src.step, src.all(), viaGeneric.data(),
                                     viaGeneric.step, viaGeneric.size(), 2.1, 1.6, kResizeCubic),
        kResizeOk);
    EXPECT_EQ(viaEntry.bytes, viaGeneric.bytes);
    // Errors come back unchanged.
    EXPECT_EQ(Resize(src, {9, 0, 1, 1}, viaEntry, 1.0, 1.0, kResizeNearest), kResizeRoiOutside);
}

TEST_F(CpuDispatch, RegistrationRecord) {
    const resample::DispatchRecord* head = resample::DispatchListHead();
    ASSERT_NE(head, nullptr);
    EXPECT_STREQ(head->domain, "i");
    EXPECT_STREQ(head->name, "ResizeImage_8u_C3R");
    EXPECT_EQ(head->implementations[0], nullptr);
    const resample::ResizeEntryFn generic = &resample::ResizeGenericEntry;
    for (int c = 1; c < 5; ++c) {
        EXPECT_EQ(head->implementations[c], generic) << c;
    }
    EXPECT_EQ(head->next, nullptr);
}

TEST_F(CpuDispatch, ClassForType) {
    struct Case {
        int type;
        ResizeStatus status;
        int cpuClass;
    };
    constexpr Case kCases[] = {
        {-1, kResizeOk, 0},
        {0, kResizeOk, 1},
        {4, kResizeOk, 1},
        {5, kResizeOk, 2},
        {16, kResizeOk, 2},
        {17, kResizeOk, 2},
        {6, kResizeOk, 3},
        {7, kResizeOk, 3},
        {9, kResizeOk, 3},
        {8, kResizeOk, 4},
        {32, kResizeOk, 4},
        {10, kResizeUnknownCpuType, 4},
        {-2, kResizeUnknownCpuType, 4},
        {33, kResizeUnknownCpuType, 4},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(resample::InitCpuClassForType(c.type), c.status) << c.type;
        EXPECT_EQ(CpuClassIndex.load(), c.cpuClass) << c.type;
    }
}

// The empty slot refuses the call instead of jumping through null; the
// processor-specific slots still resize.
TEST_F(CpuDispatch, EmptySlotRefusesTheCall) {
    const Picture src = RandomPicture(4, 4, 5);
    Picture dst(8, 8, 3, 0, 0x3C);
    const Picture before = dst;
    ASSERT_EQ(resample::InitCpuClassForType(-1), kResizeOk);
    EXPECT_EQ(Resize(src, src.all(), dst, 2.0, 2.0, kResizeLinear), kResizeNoImplementation);
    EXPECT_EQ(dst.bytes, before.bytes);
    ASSERT_EQ(resample::InitCpuClassForType(8), kResizeOk);
    EXPECT_EQ(Resize(src, src.all(), dst, 2.0, 2.0, kResizeLinear), kResizeOk);
}

// No real processor reports the reference vendor text.
TEST_F(CpuDispatch, OtherVendorKeepsTheGenericClass) {
    ASSERT_EQ(resample::IsReferenceVendor(), 0);
    EXPECT_EQ(resample::CpuTypeDetect(), 0);
    ASSERT_EQ(resample::InitCpuClassForType(6), kResizeOk);
    EXPECT_EQ(resample::InitCpuClass(), kResizeNotReferenceCpu);
    EXPECT_EQ(CpuClassIndex.load(), 1);
}

TEST_F(CpuDispatch, TypeFromProcessorInfo) {
    struct Case {
        int family, mmx, sse, sse2, sse3, ht, x64;
        int type;
    };
    constexpr Case kCases[] = {
        {7, 0, 0, 0, 0, 0, 0, 16}, {15, 1, 1, 0, 0, 0, 0, 17}, {15, 1, 1, 1, 1, 0, 1, 32},
        {15, 1, 1, 1, 1, 0, 0, 8}, {15, 1, 1, 1, 0, 1, 0, 7},  {15, 1, 1, 1, 0, 0, 0, 6},
        {5, 1, 0, 0, 0, 0, 0, 2},  {5, 0, 0, 0, 0, 0, 0, 1},   {6, 1, 1, 1, 0, 0, 0, 9},
        {6, 1, 1, 0, 0, 0, 0, 5},  {6, 1, 0, 0, 0, 0, 0, 4},   {6, 0, 0, 0, 0, 0, 0, 3},
        {4, 1, 1, 1, 1, 1, 1, 0},  {16, 1, 1, 1, 1, 1, 1, 0},
    };
    for (const Case& c : kCases) {
        resample::CpuInfoRecord info;
        info.family = c.family;
        info.mmx = c.mmx;
        info.sse = c.sse;
        info.sse2 = c.sse2;
        info.sse3 = c.sse3;
        info.hyperThreading = c.ht;
        info.x64 = c.x64;
        EXPECT_EQ(resample::CpuTypeFromInfo(info), c.type) << "family " << c.family;
    }
}

TEST_F(CpuDispatch, ProbesAgreeWithTheRecord) {
    ASSERT_EQ(resample::CpuidAvailable(), 1);
    resample::CpuInfoRecord info;
    resample::ReadCpuInfo(info);
    EXPECT_EQ(info.mmx, resample::HasMmx());
    EXPECT_EQ(info.sse, resample::HasSse());
    EXPECT_EQ(info.sse2, resample::HasSse2());
    EXPECT_EQ(info.sse3, resample::HasSse3());
    EXPECT_EQ(info.hyperThreading, resample::HasHyperThreading());
    EXPECT_EQ(info.x64, resample::Has64Bit());
    EXPECT_EQ(resample::Has64Bit(), 1);  // this is an x86-64 build
    EXPECT_EQ(resample::HasSse2(), 1);
    EXPECT_GE(resample::CpuidMaxLeaf(), 1u);
    if (resample::HasTimeStampCounter() != 0) {
        const std::uint64_t t0 = resample::ReadTimeStampCounter();
        EXPECT_GE(resample::ReadTimeStampCounter(), t0);
    }
}
