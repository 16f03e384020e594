#include "core/application/config_sheet_services.h"

#include <atomic>

namespace {

PlaceholderConfigSheet g_placeholderConfigSheet;
std::atomic<ConfigSheetServices*> g_configSheet{nullptr};

}  // namespace

ConfigSheetServices& ConfigSheet() {
    ConfigSheetServices* s = g_configSheet.load(std::memory_order_acquire);
    return s != nullptr ? *s : g_placeholderConfigSheet;
}

void SetConfigSheetServices(ConfigSheetServices* services) {
    g_configSheet.store(services, std::memory_order_release);
}
