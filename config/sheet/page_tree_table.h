#pragma once

// The shape of the configuration sheet's page tree, one table per device
// family: every page caption the sheet may hold, the caption of the item it
// hangs under, and the caption the page frame shows for it (the DVR table
// only; the others show the item's own text).

#include <array>
#include <atomic>
#include <cstddef>
#include <string_view>

struct PageTreeRow {
    std::string_view pageCaption;
    std::string_view parentCaption;  // empty: a root item
    std::string_view frameCaption;   // empty: the item's text
};

inline constexpr std::size_t kPageTreeRows = 20;
using PageTreeTable = std::array<PageTreeRow, kPageTreeRows>;

namespace page_tree_detail {

constexpr PageTreeTable MakeTable(bool dvrCaptions, bool dateAfterRecord) {
    PageTreeTable table{{
        {"Network", "", ""},
        {"DDNS", "Network", ""},
        {"Mail", "Network", ""},
        {"FTP", "Network", ""},
        {"Server Time Config", "Network", ""},
        {"DVR", "", "DVR-CAMERA"},
        {"Device", "DVR", "DVR-Device"},
        {"Detection", "DVR", "DVR-Detection"},
        {"Network Backup", "DVR", "DVR-Network Backup"},
        {"Search List", "DVR", "DVR-Search List"},
        {"Timer Record", "DVR", "DVR-Timer Record"},
        {"Date", "DVR", "DVR-Date"},
        {"Record Setting", "DVR", "DVR-Record"},
        {"Alarm", "", ""},
        {"Alarm List", "Alarm", ""},
        {"General", "", ""},
        {"Account", "General", ""},
        {"Peripheral", "General", ""},
        {"Online User Info", "General", ""},
        {"File Path", "General", ""},
    }};
    if (!dvrCaptions) {
        for (auto& row : table) {
            row.frameCaption = {};
        }
    }
    if (dateAfterRecord) {
        const PageTreeRow date = table[11];
        table[11] = table[12];
        table[12] = date;
    }
    return table;
}

// A parent is always a root row that comes before its children, so one pass
// over the table inserts every parent before it is needed.
constexpr bool ParentsComeFirst(const PageTreeTable& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].parentCaption.empty()) {
            continue;
        }
        bool found = false;
        for (std::size_t j = 0; j < i; ++j) {
            found |=
                table[j].pageCaption == table[i].parentCaption && table[j].parentCaption.empty();
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

}  // namespace page_tree_detail

inline constexpr PageTreeTable kQ7BPageTree = page_tree_detail::MakeTable(false, false);
inline constexpr PageTreeTable kQ9C0PageTree = page_tree_detail::MakeTable(false, true);
inline constexpr PageTreeTable kQ3A2PageTree = page_tree_detail::MakeTable(false, false);
inline constexpr PageTreeTable kDvrPageTree = page_tree_detail::MakeTable(true, false);
static_assert(page_tree_detail::ParentsComeFirst(kDvrPageTree) &&
              page_tree_detail::ParentsComeFirst(kQ9C0PageTree));
static_assert(kQ9C0PageTree[11].pageCaption == "Record Setting" &&
              kQ9C0PageTree[12].pageCaption == "Date");
static_assert(kDvrPageTree[12].frameCaption == "DVR-Record" &&
              kQ3A2PageTree[5].frameCaption.empty());

// The family's table; none for a product of no known family.
const PageTreeTable* PageTreeTableFor(std::string_view productId);

// The table of the sheet's device, published when the tree is filled.
extern std::atomic<const PageTreeTable*> g_lpPageTreeTable;
