#include "platform/modal_dialog.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <utility>

namespace platform {

namespace {

ModalScript& Script() {
    static ModalScript script;
    return script;
}

}  // namespace

int RunModal(QDialog& dialog) {
    if (Script()) {
        // A zero timer fires inside exec's event loop, after exec has shown
        // the dialog modal. The script is taken when it runs, so that a
        // script replaced meanwhile is the one that acts.
        QPointer<QDialog> target(&dialog);
        QTimer::singleShot(0, &dialog, [target] {
            if (target == nullptr || !target->isVisible())
                return;
            if (const ModalScript script = Script())
                script(*target);
        });
    }
    return dialog.exec();
}

ModalScript SetModalScript(ModalScript script) {
    return std::exchange(Script(), std::move(script));
}

}  // namespace platform
