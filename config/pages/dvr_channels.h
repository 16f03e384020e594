#pragma once

#include <string_view>

// Channels of a recorder of the family: 16, 8 or 4; 0 for any other product.
constexpr int DvrChannelCount(std::string_view productId) {
    if (productId == "Q8A7") {
        return 16;
    }
    if (productId == "Q8A5") {
        return 8;
    }
    if (productId == "Q8A3") {
        return 4;
    }
    return 0;
}
