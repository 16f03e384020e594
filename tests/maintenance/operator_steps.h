#pragma once

// What an operator does, as the tests of the maintenance tools do it: a
// click that reaches a control through the window system (so a modal window
// blocks it as it would block the user's), and acting on a modal dialog
// once it runs.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace operator_steps {

// A left click in the middle of `control`, delivered to its window.
inline void Click(QWidget* control) {
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->isVisible());
    QWidget* top = control->window();
    ASSERT_NE(top->windowHandle(), nullptr);
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                      control->mapTo(top, control->rect().center()));
}

// Runs `act` on the modal dialog of type T as soon as one is active; fails
// (and closes every modal window) when none comes within the bound. The
// watch ends with the object returned.
template <class T>
[[nodiscard]] std::unique_ptr<QTimer> WhenModal(std::function<void(T&)> act) {
    auto timer = std::make_unique<QTimer>();
    QTimer* watch = timer.get();
    auto tries = std::make_shared<int>(0);
    QObject::connect(watch, &QTimer::timeout, watch, [watch, tries, act = std::move(act)] {
        if (auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget())) {
            watch->stop();
            act(*dialog);
        } else if (++*tries > 30'000) {
            watch->stop();
            ADD_FAILURE() << "the dialog never ran";
            while (QWidget* modal = QApplication::activeModalWidget()) {
                modal->close();
            }
        }
    });
    watch->start(1);
    return timer;
}

}  // namespace operator_steps
