#pragma once

// The live view's windows that the login dialog opens: the folder picker
// and the copy-program dialog. Start-up installs them into the login
// dialog's hooks.

namespace liveview {

// Installs the folder picker and the copy-program dialog; the login
// dialog's other hooks keep their defaults.
void InstallLoginDialogEntries();

}  // namespace liveview
