#pragma once

// Scripts for the dialogs the program runs modally (platform::RunModal).
// While a ModalScript<D> lives, every dialog of class D that the program
// runs modally is shown for real, modal, and handed to the script from
// inside its own exec. The script acts as the operator would (UserClick,
// UserType, UserKey from user_input.h) and ends the dialog, or leaves it to
// end by itself. The innermost living script whose class fits takes a
// dialog; a dialog that no script takes runs as it would in the program.
//
//   test_support::ModalScript<CSelectPtzDlg> answer([](CSelectPtzDlg& dialog) {
//       test_support::UserType(dialog.NumberEdit(), "3");
//       test_support::UserClick(dialog.OkButton());
//   });
//   ... the action that opens the dialog ...
//   EXPECT_EQ(answer.Runs(), 1);
//
// A dialog still open when its script has returned is watched: if it is
// still open after the common wait bound, the test fails and the dialog is
// rejected, so a script that forgot to end its dialog never hangs the test.

#include <QDialog>
#include <functional>
#include <utility>

namespace test_support {

class ModalScriptBase {
public:
    ModalScriptBase(const ModalScriptBase&) = delete;
    ModalScriptBase& operator=(const ModalScriptBase&) = delete;

    // How many dialogs this script took.
    int Runs() const { return m_runs; }

protected:
    ModalScriptBase();
    virtual ~ModalScriptBase();

    virtual bool Fits(QDialog& dialog) const = 0;
    virtual void Act(QDialog& dialog) = 0;

private:
    friend struct ModalScriptRegistry;
    int m_runs = 0;
};

template <class Dialog>
class ModalScript final : public ModalScriptBase {
public:
    using Script = std::function<void(Dialog&)>;

    explicit ModalScript(Script script) : m_script(std::move(script)) {}
    ~ModalScript() override = default;

    // Replaces what the script does from the next dialog on.
    void Set(Script script) { m_script = std::move(script); }

private:
    bool Fits(QDialog& dialog) const override { return dynamic_cast<Dialog*>(&dialog) != nullptr; }
    void Act(QDialog& dialog) override {
        // A copy: the script may replace itself while it runs.
        const Script script = m_script;
        if (script)
            script(dynamic_cast<Dialog&>(dialog));
    }

    Script m_script;
};

// Ends a dialog that is still open (an OK that the dialog refused left it
// so) as CANCEL would.
void RejectIfOpen(QDialog& dialog);

}  // namespace test_support
