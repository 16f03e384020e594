#include "core/dialogs/login_dialog_hooks.h"

#include <utility>

#include "core/dialogs/address_book_dialog.h"
#include "core/dialogs/lan_search_dialog.h"
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
            CAddressBookDialog book;
            if (book.DoModal() != CAddressBookDialog::kChosen)
                return std::nullopt;
            return AddressBookChoice{book.m_strUserName, book.m_strIPAddress,
                                     static_cast<std::uint32_t>(book.m_iMajorPort)};
        };
    }
    if (!hooks.runDeviceSearch) {
        hooks.runDeviceSearch = [](QWidget* parent) -> std::optional<DeviceSearchChoice> {
            CDeviceSearchDialog search(parent);
            search.DoModal();
            if (!search.Taken())
                return std::nullopt;
            return DeviceSearchChoice{search.HandedBackIP(), search.HandedBackPort()};
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
