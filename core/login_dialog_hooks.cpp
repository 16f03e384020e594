#include "core/login_dialog_hooks.h"

#include <utility>

#include "platform/message_box.h"

namespace {

LoginDialogHooks& Installed() {
    static LoginDialogHooks hooks;
    return hooks;
}

void ShowNotAvailable() {
    platform::ShowMessageBox(0, kNotAvailableText, platform::kMbOk);
}

}  // namespace

LoginDialogHooks GetLoginDialogHooks() {
    LoginDialogHooks hooks = Installed();
    if (!hooks.runAddressBook) {
        hooks.runAddressBook = []() -> std::optional<AddressBookChoice> {
            ShowNotAvailable();
            return std::nullopt;
        };
    }
    if (!hooks.runDeviceSearch) {
        hooks.runDeviceSearch = [](QWidget*) -> std::optional<DeviceSearchChoice> {
            ShowNotAvailable();
            return std::nullopt;
        };
    }
    if (!hooks.pickFolder) {
        hooks.pickFolder =
            [](QWidget*, const std::filesystem::path&) -> std::optional<std::filesystem::path> {
            ShowNotAvailable();
            return std::nullopt;
        };
    }
    if (!hooks.copyProgram) {
        hooks.copyProgram = [](QWidget*, const std::filesystem::path&,
                               const std::filesystem::path&) { ShowNotAvailable(); };
    }
    if (!hooks.runUpgradeFirmware) {
        hooks.runUpgradeFirmware = [] { ShowNotAvailable(); };
    }
    return hooks;
}

void SetLoginDialogHooks(LoginDialogHooks hooks) {
    Installed() = std::move(hooks);
}
