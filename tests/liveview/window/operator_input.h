#pragma once

// The operator's input as the window system delivers it: QTest's events on
// a top-level window's QWindow go through Qt's input handling, so a window
// that a modal window blocks gets none of them, as on the screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <memory>
#include <optional>

namespace operator_input {

// Shows `dialog` as its exec() shows it, application-modal, and waits until
// it is on the screen.
inline ::testing::AssertionResult ShowAsRun(QDialog& dialog) {
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return ::testing::AssertionFailure() << "the window was never exposed";
    return ::testing::AssertionSuccess();
}

// A left click at the middle of `target` (or at `at` in it).
inline void Click(QWidget* target, std::optional<QPoint> at = std::nullopt) {
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(target->isVisible());
    QWidget* top = target->window();
    const QPoint point = target->mapTo(top, at.value_or(target->rect().center()));
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
}

// A key pressed and released on the top-level window of `target`; Qt hands
// it to the widget that has the focus there.
inline void Key(QWidget* target, Qt::Key key) {
    ASSERT_NE(target, nullptr);
    QTest::keyClick(target->window()->windowHandle(), key);
}

// Characters typed one by one on the top-level window of `target`.
inline void Type(QWidget* target, const char* text) {
    ASSERT_NE(target, nullptr);
    for (const char* c = text; *c != '\0'; ++c)
        QTest::keyClick(target->window()->windowHandle(), *c);
}

// Runs `script` on the dialog of type Dialog once it is the active modal
// window (a dialog some click runs with exec(): the script acts inside its
// modal loop). Looks every few milliseconds, for the generous wait bound;
// a dialog the script leaves open is closed, so a failure never hangs the
// test. Returns a flag that tells whether the script ran.
template <class Dialog, class Script>
std::shared_ptr<bool> WhenShown(Script script) {
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer(QCoreApplication::instance());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ran, deadline, script]() mutable {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "no " << Dialog::staticMetaObject.className() << " was shown";
                timer->deleteLater();
                timer->stop();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        *ran = true;
        QPointer<Dialog> guard(dialog);
        if (!QTest::qWaitForWindowExposed(dialog))
            ADD_FAILURE() << "the dialog was never exposed";
        script(*dialog);
        if (guard != nullptr && guard->isVisible())
            guard->reject();
    });
    timer->start(5);
    return ran;
}

}  // namespace operator_input
