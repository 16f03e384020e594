#include "config/sheet/sheet_pages.h"

#include <map>

#include "core/state/device_family.h"

std::vector<SheetPageId> PagesForProduct(std::string_view productId, bool hasLinkedDvr) {
    using P = SheetPageId;
    if (IsDvrFamilyId(productId)) {
        std::vector<P> pages{P::kNetwork,    P::kDdns,        P::kMail,      P::kFtp,
                             P::kCamera,     P::kDevice,      P::kDetection, P::kNetworkBackup,
                             P::kSearchList, P::kTimerRecord, P::kDate,      P::kRecordSetting,
                             P::kAlarm};
        if (hasLinkedDvr) {
            pages.push_back(P::kAlarmList);
        }
        pages.insert(pages.end(), {P::kGeneral, P::kAccount, P::kOnlineUser, P::kFilePath});
        return pages;
    }
    if (productId == "Q3A2") {
        return {P::kNetwork, P::kDdns,       P::kMail,       P::kFtp,
                P::kSntp,    P::kAlarm,      P::kAlarmList,  P::kGeneral,
                P::kAccount, P::kPeripheral, P::kOnlineUser, P::kFilePath};
    }
    if (productId == "Q9C0") {
        return {P::kNetwork,   P::kDdns,    P::kMail,    P::kFtp,        P::kSntp,    P::kAlarm,
                P::kAlarmList, P::kGeneral, P::kAccount, P::kOnlineUser, P::kFilePath};
    }
    if (IsQ7BFamilyId(productId)) {
        return {P::kNetwork, P::kMail,    P::kFtp,        P::kAlarm,   P::kAlarmList,
                P::kGeneral, P::kAccount, P::kOnlineUser, P::kFilePath};
    }
    return {};
}

namespace {

// Registered on the GUI thread only, like the sheet itself.
std::map<SheetPageId, SheetPageFactory>& Factories() {
    static std::map<SheetPageId, SheetPageFactory> factories;
    return factories;
}

}  // namespace

void SetSheetPageFactory(SheetPageId id, SheetPageFactory factory) {
    if (factory) {
        Factories()[id] = std::move(factory);
    } else {
        Factories().erase(id);
    }
}

SheetPageFactory SheetPageFactoryFor(SheetPageId id) {
    const auto found = Factories().find(id);
    return found != Factories().end() ? found->second : SheetPageFactory{};
}

void RegisterSheetPages(std::span<const SheetPageFactoryRow> rows) {
    for (const SheetPageFactoryRow& row : rows) {
        SetSheetPageFactory(row.id, row.build);
    }
}
