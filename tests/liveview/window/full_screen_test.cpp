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
#include "tests/support/artifacts.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"

namespace {

using test_support::PumpUntil;

class FullScreenFromWindow : public window_test::LiveWindowTest {
protected:
    // What the window system has of the window: its backing store.
    static QImage Shown(const CDravelinDlg& main) {
        QBackingStore* store = main.backingStore();
        if (store == nullptr || store->paintDevice()->devType() != QInternal::Image)
            return {};
        return static_cast<QImage*>(store->paintDevice())
            ->copy(main.rect())
            .convertToFormat(QImage::Format_RGB32);
    }

    static bool WindowedPictureShown(const CDravelinDlg& main) {
        return !main.IsFullScreen() && !main.CurrentPicture().isNull() &&
               main.CurrentPictureOrigin() != QPoint(0, 0);
    }
};

TEST_F(FullScreenFromWindow, EscRestoresTheSkinAroundTheLivePicture) {
    // Few frames a second: the window is repainted after Esc well before
    // the next frame comes.
    UseDevice(devicesim::ProfileForProduct("Q8A7").value(),
              devicesim::LiveStreamOptions{.framesPerSecond = 2});
    RunMainWindow([&](CDravelinDlg& main) {
        ASSERT_TRUE(PumpUntil([&] { return WindowedPictureShown(main); }, "a windowed picture"));
        const QSize windowed = main.size();

        ASSERT_TRUE(test_support::ExpectReachable(main.FindButton(8201)));
        test_support::UserClick(main.FindButton(8201));
        ASSERT_TRUE(PumpUntil(
            [&] {
                return main.IsFullScreen() && main.geometry() == main.WorkArea() &&
                       !main.CurrentPicture().isNull() &&
                       main.CurrentPictureOrigin() == QPoint(0, 0);
            },
            "a full-screen picture"));
        test_support::detail::DeliverPostedMessages();
        test_support::SaveImagePicture(Shown(main), "main_window_full_screen_live.png");

        test_support::UserKey(&main, Qt::Key_Escape);
        EXPECT_FALSE(main.IsFullScreen());
        EXPECT_EQ(main.size(), windowed);
        ASSERT_TRUE(
            PumpUntil([&] { return WindowedPictureShown(main); }, "the next windowed picture"));
        // The frame's paint (its rectangle only) has reached the backing store.
        test_support::detail::DeliverPostedMessages();
        test_support::detail::DeliverPostedMessages();

        const QImage shown = Shown(main);
        const QImage whole = main.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(shown.isNull());
        ASSERT_EQ(shown.size(), whole.size());
        // Outside the live picture and the buttons, which paint themselves.
        QRegion compared(main.rect());
        compared -= QRect(main.CurrentPictureOrigin(), main.CurrentPicture().size());
        for (const QWidget* child : main.findChildren<QWidget*>()) {
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
    });
}

}  // namespace
