// The picture hand-over's row kernels: the vector kernel against the plain
// one across the widths where its rounds and its tail meet, the pixel layout
// the paint expects, and the nearest row map against the resize routine.

#include "liveview/window/picture_rows.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "resample/resize.h"

namespace {

TEST(PictureRows, PixelIsOpaqueRedGreenBlueWord) {
    const std::uint8_t bgr[] = {0x11, 0x22, 0x33, 0xFE, 0x00, 0x80};
    std::uint32_t out[2] = {};
    picture_rows::BgrToRgb32Plain(bgr, out, 2);
    EXPECT_EQ(out[0], 0xFF332211u);
    EXPECT_EQ(out[1], 0xFF8000FEu);
}

TEST(PictureRows, ChosenKernelMatchesThePlainOne) {
    // Widths below, at and around the vector kernel's 16-pixel rounds, the
    // picture widths, and starts off any alignment.
    for (const int width : {0, 1, 5, 15, 16, 17, 31, 32, 33, 47, 48, 352, 640, 704, 720, 1920}) {
        for (const int offset : {0, 1, 3}) {
            std::vector<std::uint8_t> in(static_cast<std::size_t>(width) * 3 + 8);
            for (std::size_t i = 0; i < in.size(); ++i)
                in[i] = static_cast<std::uint8_t>(i * 37 + 11);
            // One word past the row on each side shows a kernel writing
            // beyond it.
            std::vector<std::uint32_t> want(static_cast<std::size_t>(width) + 2, 0x5A5A5A5Au);
            std::vector<std::uint32_t> got(want);
            picture_rows::BgrToRgb32Plain(in.data() + offset, want.data() + 1, width);
            picture_rows::BgrToRgb32(in.data() + offset, got.data() + 1, width);
            EXPECT_EQ(got, want) << "width " << width << " offset " << offset;
        }
    }
}

struct RowMapCase {
    int fromRows;
    int toRows;
};

TEST(PictureRows, RowMapRepeatsTheRoutinesRows) {
    const RowMapCase cases[] = {{480, 1080}, {240, 1080}, {576, 1080}, {480, 768},
                                {1, 5},      {7, 3},      {600, 480},  {288, 1200}};
    for (const RowMapCase& c : cases) {
        const double factor = static_cast<double>(c.toRows) / c.fromRows;
        const auto map = picture_rows::NearestRowMap(c.fromRows, c.toRows, factor);
        ASSERT_EQ(map.size(), static_cast<std::size_t>(c.toRows));
        // A two-pixel-wide picture whose rows are all different, scaled by
        // the routine itself in both directions at once.
        std::vector<std::uint8_t> picture(static_cast<std::size_t>(c.fromRows) * 6);
        for (int y = 0; y < c.fromRows; ++y) {
            for (int k = 0; k < 6; k += 3) {
                std::uint8_t* p =
                    &picture[static_cast<std::size_t>(y) * 6 + static_cast<std::size_t>(k)];
                p[0] = static_cast<std::uint8_t>(y & 0xFF);
                p[1] = static_cast<std::uint8_t>(y >> 8);
                p[2] = static_cast<std::uint8_t>(k);
            }
        }
        std::vector<std::uint8_t> scaled(static_cast<std::size_t>(c.toRows) * 12, 0);
        ASSERT_GE(ResizeImage_8u_C3R(picture.data(), {2, c.fromRows}, 6, {0, 0, 2, c.fromRows},
                                     scaled.data(), 12, {4, c.toRows}, 2.0, factor, kResizeNearest),
                  kResizeOk);
        for (int y = 0; y < c.toRows; ++y) {
            const int row = map[static_cast<std::size_t>(y)];
            ASSERT_GE(row, 0) << c.fromRows << " to " << c.toRows << " row " << y;
            const std::uint8_t* got = &scaled[static_cast<std::size_t>(y) * 12];
            EXPECT_EQ(got[0] | (got[1] << 8), row)
                << c.fromRows << " to " << c.toRows << " row " << y;
        }
    }
}

TEST(PictureRows, RowMapOfNothingIsEmptyOrUnwritten) {
    EXPECT_TRUE(picture_rows::NearestRowMap(0, 0, 1.0).empty());
    EXPECT_EQ(picture_rows::NearestRowMap(0, 3, 1.0), (std::vector<int>{-1, -1, -1}));
}

// Every kernel the processor runs against the plain ones, on rows that end
// where their buffers end (a read past a row shows under the sanitizers),
// widths below, at and around the rounds of 16 and 32 pixels with odd tails,
// and blend weights from none to whole.
TEST(PictureRows, EveryKernelMatchesThePlainOne) {
    const auto kernels = picture_rows::AvailableKernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_EQ(kernels.front().name, "plain");
    for (const int width :
         {1, 2, 7, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 95, 97, 353, 704, 721, 1025, 1920}) {
        const std::size_t bytes = static_cast<std::size_t>(width) * 3;
        std::vector<std::uint8_t> upper(bytes), lower(bytes);
        for (std::size_t i = 0; i < bytes; ++i) {
            upper[i] = static_cast<std::uint8_t>(i * 37 + 11);
            lower[i] = static_cast<std::uint8_t>(i * 101 + width);
        }
        std::vector<std::uint32_t> want(static_cast<std::size_t>(width));
        picture_rows::BgrToRgb32Plain(upper.data(), want.data(), width);
        for (const auto& k : kernels) {
            std::vector<std::uint32_t> got(want.size(), 0x5A5A5A5Au);
            k.convert(upper.data(), got.data(), width);
            EXPECT_EQ(got, want) << k.name << " width " << width;
        }
        // The blend of the converted rows against the routine's blend of the
        // rows themselves, converted.
        std::vector<std::uint32_t> upper32(want.size()), lower32(want.size());
        picture_rows::BgrToRgb32Plain(upper.data(), upper32.data(), width);
        picture_rows::BgrToRgb32Plain(lower.data(), lower32.data(), width);
        for (const int weight : {0, 1, 4096, 8191, 8192, 16383, 16384}) {
            const auto w = static_cast<std::uint16_t>(weight);
            picture_rows::BlendToRgb32Plain(upper.data(), lower.data(), w, want.data(), width);
            for (const auto& k : kernels) {
                std::vector<std::uint32_t> got(want.size(), 0x5A5A5A5Au);
                k.blend32(upper32.data(), lower32.data(), w, got.data(), width);
                EXPECT_EQ(got, want) << k.name << " width " << width << " weight " << weight;
            }
            std::vector<std::uint32_t> chosen(want.size());
            picture_rows::BlendRgb32(upper32.data(), lower32.data(), w, chosen.data(), width);
            EXPECT_EQ(chosen, want) << "width " << width << " weight " << weight;
        }
    }
}

// The blend is the resize routine's line doubling: the rows it names
// (ResizeLinearRows), converted and blended with its weights, give the
// routine's picture, converted, on the field sizes of the doubling and a few
// odd ones.
TEST(PictureRows, BlendedRowsAreTheRoutinesDoubling) {
    struct Field {
        int width;
        int height;
        double factor;
        int toRows;
    };
    const Field fields[] = {{704, 240, 2.0, 480}, {720, 288, 2.0, 576}, {640, 228, 2.0, 456},
                            {256, 256, 2.0, 512}, {33, 7, 2.0, 14},     {17, 5, 1.8, 9}};
    for (const Field& f : fields) {
        // Bytes of a simple generator: neighbouring rows far apart and close.
        std::vector<std::uint8_t> field(static_cast<std::size_t>(f.width) * f.height * 3);
        std::uint32_t state = 12345;
        for (std::uint8_t& b : field) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(state >> 24);
        }
        std::vector<std::uint8_t> doubled(static_cast<std::size_t>(f.width) * f.toRows * 3);
        ASSERT_GE(ResizeImage_8u_C3R(field.data(), {f.width, f.height}, f.width * 3,
                                     {0, 0, f.width, f.height}, doubled.data(), f.width * 3,
                                     {f.width, f.toRows}, 1.0, f.factor, kResizeLinear),
                  kResizeOk);
        std::vector<ResizeLinearRow> rows(static_cast<std::size_t>(f.toRows));
        ASSERT_EQ(ResizeLinearRows(f.height, f.toRows, f.factor, rows.data()), f.toRows);
        std::vector<std::uint32_t> want(static_cast<std::size_t>(f.width));
        std::vector<std::uint32_t> got(want.size()), upper32(want.size()), lower32(want.size());
        for (int y = 0; y < f.toRows; ++y) {
            const ResizeLinearRow r = rows[static_cast<std::size_t>(y)];
            ASSERT_GE(r.upper, 0);
            ASSERT_LT(r.upper + 1, f.height);
            picture_rows::BgrToRgb32Plain(&doubled[static_cast<std::size_t>(y) * f.width * 3],
                                          want.data(), f.width);
            const std::uint8_t* upper = &field[static_cast<std::size_t>(r.upper) * f.width * 3];
            picture_rows::BgrToRgb32Plain(upper, upper32.data(), f.width);
            picture_rows::BgrToRgb32Plain(upper + static_cast<std::ptrdiff_t>(f.width) * 3,
                                          lower32.data(), f.width);
            picture_rows::BlendRgb32(upper32.data(), lower32.data(), r.weight, got.data(), f.width);
            ASSERT_EQ(got, want) << f.width << "x" << f.height << " row " << y;
        }
    }
}

struct Geometry {
    int from;
    int to;
};

// Row scaling by every kernel against the pixels the column map names, on
// rows that end where their buffers end: the full-screen geometries,
// shrinks, and widths too narrow for a window of eight pixels; every group
// of eight, whether one load holds it or it is done plainly, and the rest.
TEST(PictureRows, EveryScale32KernelTakesTheMappedPixels) {
    const Geometry geometries[] = {{640, 1920}, {704, 1920}, {352, 1920}, {720, 1366}, {640, 600},
                                   {320, 1280}, {1, 5},      {5, 3},      {7, 16},     {8, 9},
                                   {17, 40},    {1920, 704}, {33, 33}};
    const auto kernels = picture_rows::AvailableKernels();
    for (const Geometry& g : geometries) {
        const auto columns =
            picture_rows::NearestRowMap(g.from, g.to, static_cast<double>(g.to) / g.from);
        picture_rows::ScalePlan plan;
        ASSERT_TRUE(plan.Make(columns, g.from)) << g.from << " to " << g.to;
        std::vector<std::uint32_t> in(static_cast<std::size_t>(g.from));
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010307 + 11);
        std::vector<std::uint32_t> want(static_cast<std::size_t>(g.to));
        for (std::size_t x = 0; x < want.size(); ++x)
            want[x] = in[static_cast<std::size_t>(columns[x])];
        for (const auto& k : kernels) {
            std::vector<std::uint32_t> got(want.size(), 0x5A5A5A5Au);
            k.scale32(plan, in.data(), got.data());
            EXPECT_EQ(got, want) << k.name << " " << g.from << " to " << g.to;
        }
    }
    picture_rows::ScalePlan outside;
    EXPECT_FALSE(outside.Make({0, 3}, 3));
    EXPECT_FALSE(outside.Make({-1}, 3));
}

}  // namespace

namespace {

// Streamed rows are the rows copied, whatever the alignment of either end
// and the length, and nothing beside them is written.
TEST(PictureRows, EveryStreamKernelCopiesTheRow) {
    std::vector<std::uint32_t> in(80);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint32_t>(i * 0x01020304u);
    for (const auto& k : picture_rows::AvailableKernels()) {
        for (int offset = 0; offset < 17; ++offset) {
            for (const int count : {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 40, 63}) {
                alignas(64) std::array<std::uint32_t, 96> out{};
                out.fill(0x5A5A5A5Au);
                k.stream(in.data() + 3, out.data() + offset, count);
                picture_rows::StreamFence();
                for (int x = 0; x < 96; ++x) {
                    const bool written = x >= offset && x < offset + count;
                    ASSERT_EQ(out[static_cast<std::size_t>(x)],
                              written ? in[static_cast<std::size_t>(x - offset + 3)] : 0x5A5A5A5Au)
                        << k.name << " offset " << offset << " count " << count << " at " << x;
                }
            }
        }
    }
}

}  // namespace
