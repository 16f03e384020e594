#pragma once

// The windows the login dialog opens: the address book and the LAN device
// search (by default the core's own dialogs), and those that live in later
// subsystems: the folder picker and copy-program dialog of the live view and
// the firmware upgrade dialog of the maintenance tools. Start-up fills them
// all in, tests replace any; an entry left empty stands in with a "not
// available" message and no result.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QWidget;

// The entry the address book handed back (it ended with SELECT).
struct AddressBookChoice {
    std::string userName;
    std::string ipAddress;
    std::uint32_t port = 0;
};

// The device the LAN search handed back (its taken flag was 1).
struct DeviceSearchChoice {
    std::string ipAddress;
    std::uint32_t webPort = 0;
};

struct LoginDialogHooks {
    // Runs the address book modally without a parent.
    std::function<std::optional<AddressBookChoice>()> runAddressBook;
    // Runs the LAN device search modally over `parent`.
    std::function<std::optional<DeviceSearchChoice>(QWidget* parent)> runDeviceSearch;
    // Runs the folder picker from `start`; the chosen folder after OK.
    std::function<std::optional<std::filesystem::path>(QWidget* parent,
                                                       const std::filesystem::path& start)>
        pickFolder;
    // Runs the copy-program dialog from `source` (the program's folder) to
    // `destination`.
    std::function<void(QWidget* parent, const std::filesystem::path& source,
                       const std::filesystem::path& destination)>
        copyProgram;
    // Constructs the firmware upgrade dialog without a parent and runs it.
    std::function<void()> runUpgradeFirmware;
};

// The hooks in force, each empty one replaced by its stand-in.
LoginDialogHooks GetLoginDialogHooks();
// Replaces the hooks (GUI thread, at start-up or in tests).
void SetLoginDialogHooks(LoginDialogHooks hooks);

// The text the stand-ins show.
inline constexpr const char* kNotAvailableText = "Not available";
