#pragma once

// The operator's input as the window system delivers it: QTest's events on
// a top-level window's QWindow go through Qt's input handling, so a window
// that a modal window blocks gets none of them, as on the screen.

#include <gtest/gtest.h>

#include <QDialog>
#include <QTest>
#include <QWidget>
#include <QWindow>
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

}  // namespace operator_input
