#include "liveview/dialogs/login_dialog_entries.h"

#include <filesystem>
#include <optional>

#include "core/dialogs/login_dialog_hooks.h"
#include "liveview/dialogs/copy_program_dlg.h"
#include "liveview/dialogs/dlg_get_path.h"
#include "platform/modal_dialog.h"

namespace liveview {

void InstallLoginDialogEntries() {
    LoginDialogHooks hooks;
    hooks.pickFolder =
        [](QWidget* parent,
           const std::filesystem::path& start) -> std::optional<std::filesystem::path> {
        CDlgGetPath picker(parent);
        picker.SetPath(start.string());
        if (platform::RunModal(picker) != QDialog::Accepted) {
            return std::nullopt;
        }
        return std::filesystem::path(picker.GetPath());
    };
    hooks.copyProgram = &RunCopyProgram;
    SetLoginDialogHooks(std::move(hooks));
}

}  // namespace liveview
