#include "core/state/device_family.h"

#include <algorithm>
#include <array>

#include "core/application/string_table.h"
#include "core/state/app_global_state.h"

namespace {

constexpr std::array<std::string_view, 3> kDvrFamily{"Q8A7", "Q8A5", "Q8A3"};
constexpr std::array<std::string_view, 3> kQ7BFamily{"Q7B7", "Q7B5", "Q7B3"};
constexpr std::array<std::uint8_t, 11> kPeripheralCodes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 25};

template <std::size_t N>
bool OneOf(std::string_view id, const std::array<std::string_view, N>& ids) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::string ProductId() {
    return g_lpApp != nullptr ? g_lpApp->str_ProductID.Get() : std::string();
}

}  // namespace

bool IsDvrFamilyId(std::string_view productId) {
    return OneOf(productId, kDvrFamily);
}
bool IsQ7BFamilyId(std::string_view productId) {
    return OneOf(productId, kQ7BFamily);
}

int IsDvrFamily() {
    return IsDvrFamilyId(ProductId()) ? 1 : 0;
}
int IsQ3A2() {
    return ProductId() == "Q3A2" ? 1 : 0;
}
int IsQ9C0() {
    return ProductId() == "Q9C0" ? 1 : 0;
}
int IsQ7BFamily() {
    return IsQ7BFamilyId(ProductId()) ? 1 : 0;
}
int IsMultiChannel() {
    return g_lpApp != nullptr ? g_lpApp->b_MultiChannel.load() : 0;
}

int CompareVersion(std::string_view a, std::string_view b) {
    if (a.size() != 4 || b.size() != 4)
        return -1;
    for (std::size_t i = 0; i < 4; ++i) {
        // Characters compare as signed 8-bit codes.
        const auto ca = static_cast<signed char>(a[i]);
        const auto cb = static_cast<signed char>(b[i]);
        if (ca > cb)
            return 2;
        if (ca < cb)
            return 1;
    }
    return 0;
}

bool FirmwareOlderThan(std::string_view gate) {
    const std::string version = g_lpApp != nullptr ? g_lpApp->str_FWVersion.Get() : std::string();
    return CompareVersion(gate, version) == 2;
}

int HasFeature(std::uint32_t mask) {
    return g_lpApp != nullptr && (g_lpApp->dw_FeatureFlags.load() & mask) != 0 ? 1 : 0;
}

int FilterDigits(std::string& text, int mode) {
    if (text.size() >= 256)
        return 0;
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            kept.push_back(c);
        } else if (mode == 0 && c == '-' && kept.empty()) {
            kept.push_back(c);
        }
    }
    text = std::move(kept);
    return 1;
}

std::uint8_t PeripheralCodeToIndex(std::uint8_t code) {
    const auto* it = std::find(kPeripheralCodes.begin(), kPeripheralCodes.end(), code);
    return it == kPeripheralCodes.end() ? 0
                                        : static_cast<std::uint8_t>(it - kPeripheralCodes.begin());
}

std::uint8_t PeripheralIndexToCode(std::uint8_t index) {
    return index < kPeripheralCodes.size() ? kPeripheralCodes[index] : 0;
}

int DrawCrossMark(std::span<std::uint8_t> frame, int width, int height, std::uint32_t colour, int x,
                  int y) {
    if (width <= 0 || height <= 0)
        return 1;
    const auto stride = static_cast<std::size_t>(width) * 3;
    const auto put = [&](int column, int row) {
        if (column < 0 || column >= width || row < 0 || row >= height)
            return;
        const std::size_t at =
            static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(column) * 3;
        if (at + 3 > frame.size())
            return;
        frame[at] = static_cast<std::uint8_t>(colour);
        frame[at + 1] = static_cast<std::uint8_t>(colour >> 8);
        frame[at + 2] = static_cast<std::uint8_t>(colour >> 16);
    };
    // Rows are stored bottom-up, so the mark's centre row counts from the end.
    const int r = height - y;
    const int c = x;
    for (int col = c - 8; col <= c + 8; ++col) {
        put(col, r - 1);
        put(col, r);
        put(col, r + 1);
        if (col <= c - 5 || col >= c + 5) {
            put(col, r - 8);
            put(col, r + 8);
        }
    }
    for (int row = r - 8; row <= r + 8; ++row) {
        put(c - 1, row);
        put(c, row);
        put(c + 1, row);
        if (row <= r - 5 || row >= r + 5) {
            put(c - 8, row);
            put(c + 8, row);
        }
    }
    return 1;
}

SplitText LoadSplitString(unsigned id) {
    const std::string_view text = LoadText(id);
    const auto dollar = text.find('$');
    if (dollar == std::string_view::npos)
        return {std::string(text), {}};
    return {std::string(text.substr(0, dollar)), std::string(text.substr(dollar + 1))};
}

int DetectMmx() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("mmx") ? 1 : 0;
#else
    return 0;
#endif
}
