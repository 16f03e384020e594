// The recorder's Detection page in the configuration sheet against the
// simulated recorder, and its edit dialog: the channel rows from DVRLIVE and
// ALARM, the channel switch before an edit, value edits clamped as typed,
// the motion grid edited with the mouse over a frame copied by the frame
// thread (a stand-in for the main window's frame drawing releases the
// copies), and accepted edits reaching the recorder on APPLY.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/pages/detection_edit_dlg.h"
#include "config/pages/detection_page.h"
#include "config/pages/page_factories.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "core/login/login_exchange.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/fake_device.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/wait.h"

namespace {

using test_support::FakeDevice;
using test_support::ModalScript;

// Rows of DVRLIVE as the test sets them: channel n has detect n % 3 (2 reads
// "OFF"), LS n, SS 15 - n, TS 3, RE 40 + n; ALARM input n % 4.
std::string LiveSection(std::string live) {
    for (std::size_t n = 0; n < 16; ++n) {
        live[308 + n] = static_cast<char>(n % 3);
        live[324 + n] = static_cast<char>(n);
        live[340 + n] = static_cast<char>(15 - n);
        live[356 + n] = 3;
        live[372 + n] = static_cast<char>(40 + n);
        for (std::size_t b = 0; b < 24; ++b) {
            live[388 + 24 * n + b] = 0;
        }
    }
    return live;
}

std::string AlarmSection(std::string alarm) {
    for (std::size_t n = 0; n < 16; ++n) {
        alarm[8 + n] = static_cast<char>(n % 4);
    }
    return alarm;
}

class DetectionPageTest : public page_test::PageStateTest {
protected:
    void SetUp() override {
        PageStateTest::SetUp();
        g_lpApp->lp_FrameCopyBuffer.reset(new std::uint8_t[kImageSlotBytes]());
        g_lpApp->h_FrameCopySem = std::make_unique<platform::Semaphore>(0, 1);
        SetDetectionChannelSwitch(MainWindowChannelSwitch());
    }
    void TearDown() override {
        StopDrawing();
        PageStateTest::TearDown();
    }

    DetectionPage* Open(const char* product, std::uint32_t features = 0) {
        auto profile = devicesim::ProfileForProduct(product);
        profile->firmwareVersion = "1058";
        profile->features = features;
        model = &device.EnableDeviceModel("tresk", "tresk", *profile);
        EXPECT_TRUE(model->SetSection("DVRLIVE", LiveSection(*model->Section("DVRLIVE"))));
        EXPECT_TRUE(model->SetSection("ALARM", AlarmSection(*model->Section("ALARM"))));
        EXPECT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
        g_lpApp->f_VideoConnected = true;
        opener.OnConfigurationCommand(&mainWindow);
        sheet = opener.Sheet();
        if (sheet == nullptr) {
            return nullptr;
        }
        EXPECT_TRUE(sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kDetection)));
        return dynamic_cast<DetectionPage*>(sheet->PageWindowOf(SheetPageId::kDetection));
    }

    static void Select(DetectionPage* page, int row) {
        page->List()->clearSelection();
        page->List()->topLevelItem(row)->setSelected(true);
    }

    // Plays the main window's frame drawing: while the dialog asks for a
    // copy, copies the frame, stores its size, clears the request and
    // releases the semaphore once. Frames fit the copy buffer, as the
    // drawing copies no larger ones.
    void StartDrawing(int width, int height) {
        frame.assign(static_cast<std::size_t>(width) * height * 3, 0);
        ASSERT_LE(frame.size(), kImageSlotBytes);
        for (std::size_t i = 0; i < frame.size(); i += 3) {
            const std::size_t pixel = i / 3;
            frame[i] = static_cast<std::uint8_t>(pixel % static_cast<std::size_t>(width));
            frame[i + 1] = static_cast<std::uint8_t>(pixel / static_cast<std::size_t>(width));
            frame[i + 2] = 90;
        }
        drawing = std::thread([this, width, height] {
            AppGlobalState& app = *g_lpApp;
            while (!stopDrawing) {
                if (app.f_FrameCopyRequest) {
                    app.w_CopyWidth = static_cast<std::uint16_t>(width);
                    app.w_CopyHeight = static_cast<std::uint16_t>(height);
                    std::memcpy(app.lp_FrameCopyBuffer.get(), frame.data(), frame.size());
                    app.f_FrameCopyRequest = false;
                    app.h_FrameCopySem->Release();
                    ++copies;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    void StopDrawing() {
        stopDrawing = true;
        if (drawing.joinable()) {
            drawing.join();
        }
    }

    MySystemDialog* sheet = nullptr;
    std::vector<std::uint8_t> frame;
    std::thread drawing;
    std::atomic<bool> stopDrawing{false};
    std::atomic<int> copies{0};
};

std::vector<std::string> Row(DetectionPage* page, int row) {
    std::vector<std::string> texts;
    for (int c = 0; c < 7; ++c) {
        texts.push_back(page->List()->topLevelItem(row)->text(c).toStdString());
    }
    return texts;
}

TEST_F(DetectionPageTest, RowsShowTheSectionsByFamilyAndFeature) {
    struct Case {
        const char* product;
        std::uint32_t features;
        int rows;
        std::vector<std::string> row1, row3;
    };
    for (const Case& c : {Case{"Q8A7",
                               0,
                               16,
                               {" 2", "ON", "1", "14", "3", "41", "HIGH"},
                               {" 4", "OFF", "3", "12", "3", "43", "OFF"}},
                          Case{"Q8A5",
                               0x80,
                               8,
                               {" 2", "ON", "1", "14", "3", "41", "N.C."},
                               {" 4", "OFF", "3", "12", "3", "43", "OFF"}},
                          Case{"Q8A3",
                               0,
                               4,
                               {" 2", "ON", "1", "14", "3", "41", "HIGH"},
                               {" 4", "OFF", "3", "12", "3", "43", "OFF"}}}) {
        SCOPED_TRACE(c.product);
        DetectionPage* page = Open(c.product, c.features);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->List()->topLevelItemCount(), c.rows);
        EXPECT_EQ(Row(page, 0)[6], c.features != 0 ? "N.O." : "LOW");
        EXPECT_EQ(Row(page, 1), c.row1);
        EXPECT_EQ(Row(page, 2)[1], "OFF");  // detect 2 reads "OFF"
        EXPECT_EQ(Row(page, 3), c.row3);    // alarm input 3 reads "OFF"
        if (c.rows == 16) {
            test_support::SaveWidgetPicture(*sheet, "detection_page.png");
        }
        opener.DeleteConfigSheet();
    }
}

TEST_F(DetectionPageTest, EditWithoutSelection) {
    DetectionPage* page = Open("Q8A7");
    ASSERT_NE(page, nullptr);
    ModalScript<CDetectionEditDlg> editDialog([](CDetectionEditDlg& dialog) { dialog.reject(); });
    page->OnEdit(false);  // a double click on nothing does nothing
    EXPECT_TRUE(boxes.Ids().empty());
    page->OnEdit(true);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4046});
    EXPECT_EQ(editDialog.Runs(), 0);
}

TEST_F(DetectionPageTest, ChannelSwitchBeforeTheEdit) {
    struct Case {
        const char* name;
        bool master, multi;
        int current;
        std::vector<std::string> calls;
    };
    for (const Case& c : {Case{"ChannelBar", true, true, 1, {"request 3"}},
                          Case{"OwnView", true, true, 0, {"key 2"}},
                          Case{"SingleChannel", true, false, 5, {"key 2"}},
                          Case{"NotMaster", false, true, 1, {}}}) {
        SCOPED_TRACE(c.name);
        DetectionPage* page = Open("Q8A7");
        ASSERT_NE(page, nullptr);
        std::vector<std::string> calls;
        SetDetectionChannelSwitch(
            {[&] { return c.master; }, [&] { return c.multi; }, [&] { return c.current; },
             [&](int key) { calls.push_back("key " + std::to_string(key)); },
             [&](int ch) { calls.push_back("request " + std::to_string(ch)); }});
        ModalScript<CDetectionEditDlg> editDialog(
            [](CDetectionEditDlg& dialog) { dialog.reject(); });
        Select(page, 2);
        page->OnEdit(true);
        EXPECT_EQ(calls, c.calls);
        opener.DeleteConfigSheet();
    }
}

TEST_F(DetectionPageTest, ValueEditsAreClampedAsTyped) {
    DetectionPage* page = Open("Q8A7");
    ASSERT_NE(page, nullptr);
    struct Case {
        int id;
        const char* typed;
        const char* shown;
    };
    ModalScript<CDetectionEditDlg> editDialog([&](CDetectionEditDlg& dialog) {
        for (const Case c :
             {Case{1420, "40", "40"}, Case{1420, "70", "61"}, Case{1417, "20", "15"},
              Case{1418, "1x2", "12"}, Case{1418, "99999999999", "15"}, Case{1419, "abc", "abc"}}) {
            auto* edit = qobject_cast<QLineEdit*>(dialog.Control(c.id));
            edit->setText(c.typed);
            emit edit->textEdited(c.typed);
            EXPECT_EQ(edit->text().toStdString(), c.shown) << c.id << " " << c.typed;
        }
        // "abc" in TS is no number: OK keeps the dialog open.
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        qobject_cast<QLineEdit*>(dialog.Control(1419))->setText("7");
        dialog.accept();
    });
    Select(page, 0);
    page->OnEdit(true);
    EXPECT_EQ(Row(page, 0), (std::vector<std::string>{" 1", "OFF", "15", "15", "7", "61", "LOW"}));
    EXPECT_TRUE(page->DvrLiveChanged());
    EXPECT_FALSE(page->AlarmChanged());
}

TEST_F(DetectionPageTest, ClearAllReachesTheRecorderAndAnUnchangedEditMarksNothing) {
    DetectionPage* page = Open("Q8A7");
    ASSERT_NE(page, nullptr);
    ModalScript<CDetectionEditDlg> editDialog([](CDetectionEditDlg& dialog) {
        dialog.OnClearAll();
        qobject_cast<QComboBox*>(dialog.Control(1421))->setCurrentIndex(2);
        dialog.accept();
    });
    Select(page, 4);
    page->OnEdit(true);
    EXPECT_TRUE(page->DvrLiveChanged());
    EXPECT_TRUE(page->AlarmChanged());
    EXPECT_EQ(Row(page, 4)[6], "OFF");

    sheet->OnClickApply();
    const auto received = model->ReceivedSections();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].option, "DVRLIVE");
    EXPECT_EQ(received[0].body.substr(388 + 24 * 4, 24), std::string(24, '\xFF'));
    EXPECT_EQ(received[0].body.substr(388 + 24 * 5, 24), std::string(24, '\0'));
    EXPECT_EQ(received[1].option, "ALARM");
    EXPECT_EQ(received[1].body[8 + 4], 2);
}

TEST_F(DetectionPageTest, UnchangedEditMarksNothing) {
    DetectionPage* page = Open("Q8A5");
    ASSERT_NE(page, nullptr);
    ModalScript<CDetectionEditDlg> editDialog([](CDetectionEditDlg& dialog) { dialog.accept(); });
    for (int row = 0; row < 8; ++row) {
        Select(page, row);
        page->OnEdit(true);
    }
    EXPECT_FALSE(page->DvrLiveChanged());
    EXPECT_FALSE(page->AlarmChanged());
    sheet->OnClickApply();
    EXPECT_TRUE(model->ReceivedSections().empty());
}

// ---- the grid over a live frame --------------------------------------------------

void Mouse(QWidget& w, QEvent::Type type, QPoint p) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, QPointF(p), QPointF(w.mapToGlobal(p)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

class DetectionGrid : public DetectionPageTest,
                      public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(DetectionGrid, MouseEditsTheAreaOverTheFrame) {
    const auto [width, height] = GetParam();
    DetectionPage* page = Open("Q8A7");
    ASSERT_NE(page, nullptr);
    StartDrawing(width, height);
    ModalScript<CDetectionEditDlg> editDialog([&](CDetectionEditDlg& dialog) {
        // Before Setup no copy is asked for and the grid takes no clicks.
        EXPECT_FALSE(dialog.FrameArrived());
        dialog.OnSetup();
        EXPECT_FALSE(dialog.Control(1068)->isEnabled());
        EXPECT_TRUE(dialog.Control(1423)->isVisible());
        EXPECT_TRUE(test_support::PumpUntil([&] {
            QApplication::processEvents();
            return dialog.FrameArrived() && copies >= 2;
        }));
        const QPoint o = dialog.PictureOrigin();
        // A click toggles one cell.
        Mouse(dialog, QEvent::MouseButtonPress, o + QPoint(25, 25));
        Mouse(dialog, QEvent::MouseButtonRelease, o + QPoint(25, 25));
        EXPECT_EQ(dialog.m_area[3], 0x02);  // cell 17: row 1, column 1
        EXPECT_EQ(dialog.State(), CDetectionEditDlg::kIdle);
        // Hovering outlines the cell under the pointer; leaving clears it.
        Mouse(dialog, QEvent::MouseMove, o + QPoint(305, 5));
        EXPECT_TRUE(CellBit(dialog.Selection(), 15));
        Mouse(dialog, QEvent::MouseMove, o + QPoint(-5, 5));
        EXPECT_FALSE(AnyCell(dialog.Selection()));
        // A drag across three cells of the last row toggles exactly those.
        const int y = dialog.PictureSize().height() - 3;
        Mouse(dialog, QEvent::MouseButtonPress, o + QPoint(5, y));
        Mouse(dialog, QEvent::MouseMove, o + QPoint(6, y));
        EXPECT_EQ(dialog.State(), CDetectionEditDlg::kDragging);
        Mouse(dialog, QEvent::MouseMove, o + QPoint(45, y));
        Mouse(dialog, QEvent::MouseButtonRelease, o + QPoint(45, y));
        EXPECT_EQ(dialog.m_area[23], 0x07);
        EXPECT_FALSE(AnyCell(dialog.Selection()));
        QApplication::processEvents();
        const QImage composed = dialog.ComposedPicture();
        EXPECT_EQ(composed.width(), std::min(width, 320));
        test_support::SaveImagePicture(composed, "detection_grid_" + std::to_string(width) + "x" +
                                                     std::to_string(height) + ".png");
        if (width == 640) {
            test_support::SaveWidgetPicture(dialog, "detection_edit_dialog.png");
        }
        dialog.accept();
    });
    Select(page, 0);
    page->OnEdit(true);
    StopDrawing();
    EXPECT_FALSE(g_lpApp->f_FrameCopyRequest);
    sheet->OnClickApply();
    const auto received = model->ReceivedSections();
    ASSERT_EQ(received.size(), 1u);
    std::string area(24, '\0');
    area[3] = 0x02;
    area[23] = 0x07;
    EXPECT_EQ(received[0].body.substr(388, 24), area);
}

INSTANTIATE_TEST_SUITE_P(FrameSizes, DetectionGrid,
                         ::testing::Values(std::pair{640, 480}, std::pair{320, 240},
                                           std::pair{704, 576}, std::pair{960, 540}),
                         [](const auto& instance) {
                             return std::to_string(instance.param.first) + "x" +
                                    std::to_string(instance.param.second);
                         });

// The dialog ends its frame thread whether or not Setup ran or a frame came.
TEST_F(DetectionPageTest, DialogEndsItsThreadWithoutFrames) {
    DetectionPage* page = Open("Q8A7");
    ASSERT_NE(page, nullptr);
    for (const bool setup : {false, true}) {
        ModalScript<CDetectionEditDlg> editDialog([setup](CDetectionEditDlg& dialog) {
            if (setup) {
                dialog.OnSetup();
                EXPECT_TRUE(
                    test_support::WaitUntil([] { return g_lpApp->f_FrameCopyRequest.load(); }));
            }
            dialog.reject();
        });
        Select(page, 1);
        page->OnEdit(true);
        EXPECT_FALSE(g_lpApp->f_FrameCopyRequest);
    }
    EXPECT_FALSE(page->DvrLiveChanged());
}

}  // namespace
