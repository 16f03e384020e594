// Full screen in and out as the operator does it, over the simulator's live
// stream: the title bar's full-screen button, then Esc. What the window
// shows afterwards (its backing store, what goes to the screen) is the skin
// with the live picture, the same as a whole new paint of the window, not
// the last full-screen picture.

#include <gtest/gtest.h>

#include <QBackingStore>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <memory>

#include "core/state/app_global_state.h"
#include "tests/liveview/window/live_window_fixture.h"
#include "tests/liveview/window/operator_input.h"
#include "tests/support/artifacts.h"
#include "tests/support/wait.h"

namespace {

using test_support::PumpUntil;

class FullScreenFromWindow : public live_window_test::LiveWindowTest {
protected:
    // What the window system has of the window: its backing store.
    QImage Shown() const {
        QBackingStore* store = window->backingStore();
        if (store == nullptr || store->paintDevice()->devType() != QInternal::Image)
            return {};
        return static_cast<QImage*>(store->paintDevice())
            ->copy(window->rect())
            .convertToFormat(QImage::Format_RGB32);
    }

    bool WindowedPictureShown() const {
        return !window->IsFullScreen() && !window->CurrentPicture().isNull() &&
               window->CurrentPictureOrigin() != QPoint(0, 0);
    }
};

TEST_F(FullScreenFromWindow, EscRestoresTheSkinAroundTheLivePicture) {
    // Few frames a second: the window is repainted after Esc well before
    // the next frame comes.
    UseDevice(std::make_unique<live_window_test::LiveDevice>(
        0, devicesim::LiveStreamOptions{.framesPerSecond = 2},
        devicesim::ProfileForProduct("Q8A7").value()));
    ASSERT_TRUE(OpenWindow());
    ASSERT_TRUE(PumpUntil([&] { return WindowedPictureShown(); }, "a windowed picture"));
    const QSize windowed = window->size();

    operator_input::Click(window->FindButton(8201));
    ASSERT_TRUE(PumpUntil(
        [&] {
            return window->IsFullScreen() && window->geometry() == window->WorkArea() &&
                   !window->CurrentPicture().isNull() &&
                   window->CurrentPictureOrigin() == QPoint(0, 0);
        },
        "a full-screen picture"));
    test_support::detail::DeliverPostedMessages();
    test_support::SaveImagePicture(Shown(), "main_window_full_screen_live.png");

    operator_input::Key(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_EQ(window->size(), windowed);
    ASSERT_TRUE(PumpUntil([&] { return WindowedPictureShown(); }, "the next windowed picture"));
    // The frame's paint (its rectangle only) has reached the backing store.
    test_support::detail::DeliverPostedMessages();
    test_support::detail::DeliverPostedMessages();

    const QImage shown = Shown();
    const QImage whole = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(shown.isNull());
    ASSERT_EQ(shown.size(), whole.size());
    // Outside the live picture and the buttons, which paint themselves.
    QRegion compared(window->rect());
    compared -= QRect(window->CurrentPictureOrigin(), window->CurrentPicture().size());
    for (const QWidget* child : window->findChildren<QWidget*>()) {
        if (child->isVisible())
            compared -= child->geometry();
    }
    int wrong = 0;
    for (const QRect& part : compared) {
        for (int y = part.top(); y <= part.bottom(); ++y) {
            for (int x = part.left(); x <= part.right(); ++x) {
                if (shown.pixel(x, y) != whole.pixel(x, y))
                    ++wrong;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels of the skin that show something else";
    test_support::SaveImagePicture(shown, "main_window_after_full_screen_live.png");
}

}  // namespace
