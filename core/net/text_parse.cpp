#include "core/net/text_parse.h"

#include <algorithm>
#include <climits>
#include <string>

namespace {

// ASCII-only upper-casing: the texts are addresses, and the C library's
// toupper is undefined for negative char values.
char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCopy(std::string_view text) {
    std::string copy(text);
    std::transform(copy.begin(), copy.end(), copy.begin(), UpperAscii);
    return copy;
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigitValue(char upper) {
    const auto code = static_cast<unsigned char>(upper);
    return code >= 'A' ? code - 55 : code - 48;
}

}  // namespace

int DecimalValue(std::string_view piece) {
    std::size_t i = 0;
    while (i < piece.size() && IsCSpace(piece[i])) {
        ++i;
    }
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-')) {
        negative = piece[i] == '-';
        ++i;
    }
    // Accumulate the magnitude in a wider type and stop growing it once it is
    // past every int value; the digits after that cannot bring it back.
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        magnitude = std::min(kLimit, magnitude * 10 + (piece[i] - '0'));
    }
    if (negative) {
        return static_cast<int>(-magnitude);  // -kLimit is INT_MIN
    }
    return static_cast<int>(std::min<long long>(magnitude, INT_MAX));
}

bool SplitToInts(std::string_view text, std::span<std::uint8_t> out, std::string_view delimiters) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const std::string upper = UpperCopy(text);
    const std::string_view view(upper);

    std::size_t stored = 0;
    bool anyPiece = false;
    std::size_t pos = view.find_first_not_of(delimiters);
    while (pos != std::string_view::npos) {
        const std::size_t end = std::min(view.find_first_of(delimiters, pos), view.size());
        anyPiece = true;
        if (stored < out.size()) {
            // Only the low 8 bits are kept: "300" becomes 0x2C.
            out[stored++] = static_cast<std::uint8_t>(
                static_cast<unsigned>(DecimalValue(view.substr(pos, end - pos))) & 0xFFu);
        }
        pos = view.find_first_not_of(delimiters, end);
    }
    return anyPiece;
}

bool MacTextToBytes(std::string_view text, std::span<std::uint8_t> out) {
    constexpr std::size_t kMacBytes = 6;
    if (out.size() < kMacBytes || text.size() != kMacBytes * 2) {
        return false;
    }
    const std::string upper = UpperCopy(text);
    const auto mac = out.first(kMacBytes);
    std::fill(mac.begin(), mac.end(), std::uint8_t{0});
    const bool allHex = std::all_of(upper.begin(), upper.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    });
    if (!allHex) {
        return false;
    }
    for (std::size_t i = 0; i < kMacBytes; ++i) {
        mac[i] = static_cast<std::uint8_t>(16 * HexDigitValue(upper[2 * i]) +
                                           HexDigitValue(upper[2 * i + 1]));
    }
    return true;
}

bool HexTextToBytes(std::string_view text, std::span<std::uint8_t> out, char separator) {
    std::string digits;
    digits.reserve(text.size());
    for (char c : text) {
        if (c != separator) {
            digits.push_back(UpperAscii(c));
        }
    }
    for (std::size_t i = 0; i < out.size() && 2 * i + 1 < digits.size(); ++i) {
        // Unvalidated characters give arbitrary values; the conversion to a
        // byte keeps the low 8 bits of whatever the sum is.
        out[i] = static_cast<std::uint8_t>(16 * HexDigitValue(digits[2 * i]) +
                                           HexDigitValue(digits[2 * i + 1]));
    }
    return true;
}
