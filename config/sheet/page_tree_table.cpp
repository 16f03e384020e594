#include "config/sheet/page_tree_table.h"

#include "core/state/device_family.h"

std::atomic<const PageTreeTable*> g_lpPageTreeTable{nullptr};

const PageTreeTable* PageTreeTableFor(std::string_view productId) {
    if (productId == "Q3A2") {
        return &kQ3A2PageTree;
    }
    if (IsDvrFamilyId(productId)) {
        return &kDvrPageTree;
    }
    if (IsQ7BFamilyId(productId)) {
        return &kQ7BPageTree;
    }
    if (productId == "Q9C0") {
        return &kQ9C0PageTree;
    }
    return nullptr;
}
