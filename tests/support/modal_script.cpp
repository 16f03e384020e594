#include "tests/support/modal_script.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/modal_dialog.h"
#include "tests/support/wait.h"

namespace test_support {

struct ModalScriptRegistry {
    // Innermost last.
    static std::vector<ModalScriptBase*>& Scripts() {
        static std::vector<ModalScriptBase*> scripts;
        return scripts;
    }

    static void Run(QDialog& dialog) {
        QPointer<QDialog> target(&dialog);
        // A copy: a script may end scripts of its own while it runs.
        const std::vector<ModalScriptBase*> scripts = Scripts();
        for (auto it = scripts.rbegin(); it != scripts.rend(); ++it) {
            ModalScriptBase* script = *it;
            if (std::find(Scripts().begin(), Scripts().end(), script) == Scripts().end())
                continue;
            if (!script->Fits(dialog))
                continue;
            ++script->m_runs;
            script->Act(dialog);
            if (target != nullptr && target->isVisible())
                Watch(target);
            return;
        }
    }

    static void Watch(QPointer<QDialog> dialog) {
        QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(kWaitBound),
                           dialog.data(), [dialog] {
                               if (dialog == nullptr || !dialog->isVisible())
                                   return;
                               ADD_FAILURE() << "the modal " << dialog->metaObject()->className()
                                             << " was still open " << kWaitBound.count()
                                             << " s after its script ended";
                               dialog->reject();
                           });
    }
};

void RejectIfOpen(QDialog& dialog) {
    if (dialog.isVisible())
        dialog.reject();
}

ModalScriptBase::ModalScriptBase() {
    auto& scripts = ModalScriptRegistry::Scripts();
    if (scripts.empty())
        platform::SetModalScript(&ModalScriptRegistry::Run);
    scripts.push_back(this);
}

ModalScriptBase::~ModalScriptBase() {
    auto& scripts = ModalScriptRegistry::Scripts();
    std::erase(scripts, this);
    if (scripts.empty())
        platform::SetModalScript({});
}

}  // namespace test_support
