// The detection edit dialog as the program runs it: the main window over the
// simulated recorder opens the configuration sheet, the Detection page opens
// the dialog, the window draws a frame of the simulator's live stream and
// its frame drawing hands the copy to the dialog's frame thread; the area
// edited with the mouse over that picture reaches the recorder on APPLY.

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/pages/detection_edit_dlg.h"
#include "config/pages/detection_page.h"
#include "config/pages/page_factories.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/sheet_window_extensions.h"
#include "core/state/app_global_state.h"
#include "liveview/window/main_window.h"
#include "liveview/window/window_extensions.h"
#include "media/jpeg_codec_adapter.h"
#include "tests/config/sheet_window_fixture.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"
#include "tools/devicesim/live_stream.h"
#include "tools/streamgen/device_jpeg.h"

namespace {

// DVRLIVE holds channel n's 24 area bytes from here.
constexpr std::size_t kAreaOffset = 388;
constexpr int kChannel = 2;  // the third row

// The sheet's tree item of the page with `index`.
QTreeWidgetItem* PageItem(MySystemDialog& sheet, int index) {
    for (QTreeWidgetItemIterator it(sheet.GetPageTree()); *it != nullptr; ++it) {
        if ((*it)->data(0, Qt::UserRole).toInt() == index)
            return *it;
    }
    return nullptr;
}

class DetectionFromWindow : public sheet_test::SheetWindowTest {
protected:
    void SetUp() override {
        SheetWindowTest::SetUp();
        // What the program allocates at start-up for the frame drawing.
        AppGlobalState& app = *g_lpApp;
        app.lp_DoubleLineBuffer.reset(new std::uint8_t[kImageSlotBytes]());
        app.lp_FrameCopyBuffer.reset(new std::uint8_t[kImageSlotBytes]());
        app.h_FrameCopySem = std::make_unique<platform::Semaphore>(0, 1);
    }

    // A frame of the simulator's live stream, decoded as the program decodes
    // it, becomes the window's current image.
    void TakeLiveFrame() {
        const auto [width, height] = devicesim::LiveStream::PictureSize(model->profile(), 0);
        const streamgen::DeviceJpegCycle cycle(width, height, 1);
        slot.assign(kImageSlotBytes, 0);
        std::uint16_t w = 0;
        std::uint16_t h = 0;
        ASSERT_EQ(DecodeJpegFrame(cycle.Frame(0), slot, w, h), 1);
        AppGlobalState& app = *g_lpApp;
        app.lp_CurrentImage = slot.data();
        app.w_ImageWidth = w;
        app.w_ImageHeight = h;
        app.f_VideoConnected = true;
    }

    std::vector<std::uint8_t> slot;
};

TEST_F(DetectionFromWindow, GridOverTheLiveFrameAndTheEditedAreaReachesTheRecorder) {
    ASSERT_EQ(Open("Q8A7", 30, 0, [](devicesim::DeviceProfile& p) { p.firmwareVersion = "1058"; }),
              1);
    TakeLiveFrame();
    const std::string before = model->Section("DVRLIVE").value();
    const std::string oldArea = before.substr(kAreaOffset + 24 * kChannel, 24);

    MotionAreaGrid edited{};
    test_support::ModalScript<CDetectionEditDlg> edit([&](CDetectionEditDlg& dialog) {
        if (test_support::ExpectReachable(dialog.Control(1068)))
            test_support::UserClick(dialog.Control(1068));  // Setup
        // The dialog's frame thread asks for a copy; the window's next frame
        // hands it over.
        EXPECT_TRUE(test_support::WaitUntil([] { return g_lpApp->f_FrameCopyRequest.load(); }));
        EXPECT_EQ(window->DrawVideoFrame(), 1);
        EXPECT_TRUE(test_support::PumpUntil([&] {
            QApplication::processEvents();
            return dialog.FrameArrived();
        }));
        if (!dialog.FrameArrived()) {
            dialog.reject();
            return;
        }
        const QPoint o = dialog.PictureOrigin();
        // A click toggles cell 17 (row 1, column 1); a drag over the first
        // three cells of the last row toggles those.
        test_support::UserClick(&dialog, o + QPoint(25, 25));
        const int y = dialog.PictureSize().height() - 3;
        test_support::UserDrag(&dialog, {o + QPoint(5, y), o + QPoint(6, y), o + QPoint(45, y)});
        // Hovering outlines cell 15 (row 0, column 15).
        test_support::UserHover(&dialog, o + QPoint(305, 5));
        EXPECT_EQ(dialog.m_area[3] ^ static_cast<std::uint8_t>(oldArea[3]), 0x02);
        EXPECT_EQ(dialog.m_area[23] ^ static_cast<std::uint8_t>(oldArea[23]), 0x07);
        QApplication::processEvents();

        // The dialog's picture is the window's frame, scaled to 320 wide,
        // with the grid's cells over it: the area's cells tinted and outlined
        // yellow, the hovered cell outlined blue, every other pixel the
        // window's own.
        const QImage shown = window->CurrentPicture();
        const QImage composed = dialog.ComposedPicture().convertToFormat(QImage::Format_RGB32);
        EXPECT_FALSE(shown.isNull());
        EXPECT_EQ(composed.width(), 320);
        EXPECT_EQ(composed.height(), shown.height() * 320 / shown.width());
        const int cw = composed.width() / kGridColumns;
        const int ch = composed.height() / kGridRows;
        int framePixels = 0;
        for (int cell = 0; cell < kGridCells; ++cell) {
            const int left = (cell % kGridColumns) * cw;
            const int top = (cell / kGridColumns) * ch;
            // The copy is scaled by the nearest pixel, its rows counted
            // from the bottom as the frame's are.
            const int px = left + cw / 2;
            const int py = top + ch / 2;
            const int fromBottom =
                (composed.height() - 1 - py) * shown.height() / composed.height();
            const QRgb frame =
                shown.pixel(px * shown.width() / composed.width(), shown.height() - 1 - fromBottom);
            const QRgb inside = composed.pixel(px, py);
            const QRgb corner = composed.pixel(left, top);
            SCOPED_TRACE("cell " + std::to_string(cell));
            if (CellBit(dialog.m_area, cell)) {
                EXPECT_EQ(qRed(inside), qRed(frame) * 155 / 255 + 100);
                EXPECT_EQ(qGreen(inside), qGreen(frame) * 155 / 255);
            } else {
                EXPECT_EQ(inside, frame);
                ++framePixels;
            }
            if (CellBit(dialog.Selection(), cell)) {
                EXPECT_EQ(corner, qRgb(0, 0, 255));
            } else if (CellBit(dialog.m_area, cell)) {
                EXPECT_EQ(corner, qRgb(255, 255, 0));
            }
        }
        EXPECT_GT(framePixels, 0);
        test_support::SaveWidgetPicture(dialog, "detection_dialog_live_frame.png");
        edited = dialog.m_area;
        test_support::UserClick(dialog.Control(1));  // OK
        test_support::RejectIfOpen(dialog);
    });
    std::size_t writes = 0;
    std::size_t sections = 0;
    RunWindow([&](CDravelinDlg&) {
        if (!ClickButton(1006))
            return;
        Pump();
        MySystemDialog* sheet = sheets.opener().Sheet();
        ASSERT_NE(sheet, nullptr);
        // The operator picks the page in the sheet's tree, the channel's row
        // in the page's list, and presses Edit.
        test_support::UserClickItem(sheet->GetPageTree(),
                                    PageItem(*sheet, sheet->PageIndexOf(SheetPageId::kDetection)));
        auto* page = dynamic_cast<DetectionPage*>(sheet->PageWindowOf(SheetPageId::kDetection));
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(page->isVisible());
        test_support::UserClickItem(page->List(), page->List()->topLevelItem(kChannel));
        if (!test_support::ExpectReachable(page->EditButton()))
            return;
        test_support::UserClick(page->EditButton());
        ASSERT_EQ(edit.Runs(), 1);
        EXPECT_TRUE(page->DvrLiveChanged());
        EXPECT_FALSE(g_lpApp->f_FrameCopyRequest.load());

        writes = device.RequestsTo("/SetSysCfg.cgi").size();
        sections = model->ReceivedSections().size();
        if (test_support::ExpectReachable(sheet->ApplyButton()))
            test_support::UserClick(sheet->ApplyButton());
        Pump();
    });
    const auto sent = device.RequestsTo("/SetSysCfg.cgi");
    ASSERT_GT(sent.size(), writes);
    bool dvrLiveSent = false;
    const auto received = model->ReceivedSections();
    for (std::size_t i = sections; i < received.size(); ++i) {
        dvrLiveSent = dvrLiveSent || received[i].option == "DVRLIVE";
    }
    EXPECT_TRUE(dvrLiveSent);
    const std::string after = model->Section("DVRLIVE").value();
    const std::string wantArea(edited.begin(), edited.end());
    EXPECT_EQ(after.substr(kAreaOffset + 24 * kChannel, 24), wantArea);
    EXPECT_NE(wantArea, oldArea);
    // The other channels' areas are as they were.
    EXPECT_EQ(after.substr(kAreaOffset, 24 * kChannel), before.substr(kAreaOffset, 24 * kChannel));
}

}  // namespace
