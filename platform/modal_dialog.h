#pragma once

// The one way the program runs a dialog modally. By default it is the
// dialog's own exec(); a test installs a script that is handed each dialog
// once it is shown and modal, inside its exec, and acts on it as an operator
// would (types, clicks, ends it).

#include <functional>

class QDialog;

namespace platform {

// Runs the dialog modally and returns the result it ended with.
int RunModal(QDialog& dialog);

// Called on the GUI thread with each dialog RunModal runs, from the dialog's
// own event loop, once the dialog is visible and modal. An empty script: none.
using ModalScript = std::function<void(QDialog&)>;

// Replaces the script (GUI thread); returns the previous one.
ModalScript SetModalScript(ModalScript script);

}  // namespace platform
