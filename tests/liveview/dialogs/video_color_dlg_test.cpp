// The picture colour dialog: the conversions of each device family as
// tables, the sliders and number boxes on real widgets, the request Apply
// sends to the fake device, closing without sending, dragging, a missing
// skin, the colour command's read of the device, and a picture.

#include "liveview/dialogs/video_color_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "core/widgets/qel_button.h"
#include "platform/program_folder.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/device_command_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using liveview::ColourFamily;
using liveview::ColourValues;
using liveview::CVideoColorDlg;
using test_support::Reply;

TEST(ColourConversion, FamiliesOfTheProducts) {
    struct Case {
        const char* product;
        bool multiChannel;
        ColourFamily family;
    };
    for (const Case& c : {
             Case{"Q3A2", false, ColourFamily::kOffset},
             Case{"Q7B7", false, ColourFamily::kOffset},
             Case{"Q7B5", true, ColourFamily::kOffset},
             Case{"Q7B3", false, ColourFamily::kOffset},
             Case{"Q9C0", false, ColourFamily::kOffset},
             Case{"Q8A7", true, ColourFamily::kDirect},
             Case{"Q8A5", true, ColourFamily::kDirect},
             Case{"Q8A3", true, ColourFamily::kDirect},
             Case{"Q8A7", false, ColourFamily::kOther},
             Case{"", false, ColourFamily::kOther},
             Case{"Q9C1", true, ColourFamily::kOther},
         }) {
        EXPECT_EQ(liveview::ColourFamilyOf(c.product, c.multiChannel), c.family)
            << c.product << " " << c.multiChannel;
    }
}

TEST(ColourConversion, OffsetIsItsOwnInverse) {
    struct Case {
        int in;
        int out;
    };
    for (const Case& c : {Case{0, 128}, Case{1, 129}, Case{127, 255}, Case{128, 0}, Case{200, 72},
                          Case{255, 127}}) {
        EXPECT_EQ(liveview::ColourOffset(c.in), c.out) << c.in;
    }
    for (int v = 0; v <= 255; ++v) {
        EXPECT_EQ(liveview::ColourOffset(liveview::ColourOffset(v)), v);
    }
}

// One table per family: what the device reported, the slider rows shown,
// and what Apply sends for those rows unchanged.
struct ConversionCase {
    const char* name;
    ColourValues device;  // BRI, CON, HUE as reported
    ColourValues rows;
    ColourValues sent;
};

void CheckConversions(ColourFamily family, std::initializer_list<ConversionCase> cases) {
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(liveview::ColourRowsFromDevice(family, c.device), c.rows);
        EXPECT_EQ(liveview::ColourValuesToSend(family, c.rows), c.sent);
    }
}

TEST(ColourConversion, OffsetFamily) {
    CheckConversions(ColourFamily::kOffset,
                     {
                         {"zero is mid-scale", {0, 0, 0}, {128, 0, 128}, {0, 0, 0}},
                         {"200 shows as 72", {200, 200, 200}, {72, 200, 72}, {200, 200, 200}},
                         {"factory picture", {47, 150, 2}, {175, 150, 130}, {47, 150, 2}},
                         {"ends of the scale", {255, 255, 127}, {127, 255, 255}, {255, 255, 127}},
                         {"out of range is clamped", {300, -5, -40}, {127, 0, 128}, {255, 0, 0}},
                     });
}

TEST(ColourConversion, DirectFamily) {
    CheckConversions(ColourFamily::kDirect,
                     {
                         {"mid-scale", {128, 128, 128}, {128, 128, 128}, {128, 128, 128}},
                         {"as reported", {0, 17, 255}, {0, 17, 255}, {0, 17, 255}},
                         {"out of range is clamped", {999, -1, 256}, {255, 0, 255}, {255, 0, 255}},
                     });
}

TEST(ColourConversion, OtherDevicesShowAndSendTheValuesAsReported) {
    CheckConversions(ColourFamily::kOther, {
                                               {"as reported", {5, 6, 7}, {5, 6, 7}, {5, 6, 7}},
                                           });
}

TEST(ColourConversion, DefaultsPerFamily) {
    EXPECT_EQ(liveview::ColourDefaults(ColourFamily::kOffset), (ColourValues{175, 150, 130}));
    EXPECT_EQ(liveview::ColourDefaults(ColourFamily::kDirect), (ColourValues{128, 128, 128}));
    EXPECT_FALSE(liveview::ColourDefaults(ColourFamily::kOther).has_value());
}

class VideoColorTest : public command_test::DeviceCommandTest {
protected:
    void SetUp() override {
        DeviceCommandTest::SetUp();
        test_support::EnsureQtApp();
        platform::SetProgramFolder(KESTRUNE_BUILT_PROGRAM_DIR);
        g_szSessionCookie.Set("C00C1E");
        Device("Q9C0", false);
        device.SetReply("/SetColor.cgi", Reply::Ok());
    }
    void TearDown() override {
        platform::ResetProgramFolder();
        DeviceCommandTest::TearDown();
    }

    static void Device(const char* product, bool multi) {
        g_lpApp->str_ProductID.Set(product);
        g_lpApp->b_MultiChannel = multi ? 1 : 0;
    }

    std::vector<std::string> ColourTargets() const {
        std::vector<std::string> targets;
        for (const auto& request : device.RequestsTo("/SetColor.cgi")) {
            targets.push_back(request.target);
        }
        return targets;
    }

    static void Key(QWidget* target, int key, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
    }

    static void Type(QLineEdit* edit, const QString& text) {
        for (const QChar c : text) {
            Key(edit, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A, QString(c));
        }
    }

    // Deletes the whole text at once.
    static void Clear(QLineEdit* edit) {
        edit->selectAll();
        Key(edit, Qt::Key_Backspace);
    }
};

TEST_F(VideoColorTest, OpensFramelessSkinnedWithTheDevicesValues) {
    CVideoColorDlg dialog;
    dialog.m_nBrightnessIn = 0;
    dialog.m_nContrastIn = 150;
    dialog.m_nHueIn = 200;
    EXPECT_TRUE(dialog.OnInitDialog());
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(dialog.size(), QSize(304, 196));
    EXPECT_FALSE(dialog.mask().contains(QPoint(0, 0)));  // a rounded corner
    EXPECT_TRUE(dialog.mask().contains(QPoint(150, 100)));
    EXPECT_EQ(dialog.Rows(), (ColourValues{128, 150, 72}));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(dialog.slider(row)->value(), dialog.RowValue(row));
        EXPECT_EQ(dialog.edit(row)->text().toInt(), dialog.RowValue(row));
        EXPECT_EQ(dialog.slider(row)->maximum(), 255);
        EXPECT_EQ(dialog.slider(row)->pageStep(), 10);
    }
    EXPECT_TRUE(dialog.slider(3)->isHidden());
    EXPECT_TRUE(dialog.edit(3)->isHidden());
    EXPECT_EQ(dialog.labelButton(0)->toolTip(), "Brightness");
    EXPECT_EQ(dialog.labelButton(1)->toolTip(), "Contrast");
    EXPECT_EQ(dialog.labelButton(2)->toolTip(), "Hue");
    EXPECT_EQ(dialog.closeButton()->geometry(), QRect(280, 8, 13, 13));
    EXPECT_EQ(dialog.applyButton()->geometry(), QRect(125, 160, 88, 25));
    EXPECT_TRUE(dialog.applyButton()->BitmapLoaded());
    EXPECT_TRUE(ColourTargets().empty());
}

TEST_F(VideoColorTest, ApplySendsTheDeviceFormAndStaysOpen) {
    CVideoColorDlg dialog;
    dialog.m_nBrightnessIn = 200;
    dialog.m_nContrastIn = 90;
    dialog.m_nHueIn = 0;
    dialog.show();
    dialog.applyButton()->click();
    dialog.applyButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    const std::string expected = "/SetColor.cgi?Cookie=C00C1E&CON=90&BRI=200&HUE=0";
    EXPECT_EQ(ColourTargets(), (std::vector<std::string>{expected, expected}));
    EXPECT_EQ(device.RequestsTo("/SetColor.cgi")[0].raw,
              "GET " + expected + " HTTP/1.1\r\n" + command_test::FixedHeaders());
    EXPECT_TRUE(boxes.Ids().empty());
    dialog.reject();
}

TEST_F(VideoColorTest, EnterAppliesOnce) {
    CVideoColorDlg dialog;
    dialog.m_nContrastIn = 33;
    dialog.show();
    dialog.edit(1)->setFocus();
    Key(dialog.edit(1), Qt::Key_Return);
    EXPECT_EQ(ColourTargets().size(), 1u);
    EXPECT_TRUE(dialog.isVisible());
    dialog.reject();
}

TEST_F(VideoColorTest, ApplyOnARecorderSendsTheRowsAsTheyAre) {
    Device("Q8A7", true);
    g_szSessionCookie.Clear();
    CVideoColorDlg dialog;
    dialog.m_nBrightnessIn = 10;
    dialog.m_nContrastIn = 20;
    dialog.m_nHueIn = 30;
    dialog.OnInitDialog();
    dialog.slider(0)->setValue(40);
    EXPECT_EQ(dialog.edit(0)->text(), "40");
    dialog.OnOK();
    EXPECT_EQ(ColourTargets(), (std::vector<std::string>{"/SetColor.cgi?CON=20&BRI=40&HUE=30"}));
}

TEST_F(VideoColorTest, NumberBoxesKeepDigitsAndClamp) {
    CVideoColorDlg dialog;
    dialog.m_nBrightnessIn = 128;  // shows 0
    dialog.m_nContrastIn = 100;
    dialog.m_nHueIn = 128;
    dialog.show();
    QLineEdit* contrast = dialog.edit(1);
    contrast->setFocus();
    Clear(contrast);
    EXPECT_EQ(contrast->text(), "100");  // an emptied box shows the value again
    contrast->selectAll();
    Type(contrast, "999");
    EXPECT_EQ(contrast->text(), "255");
    EXPECT_EQ(dialog.slider(1)->value(), 255);
    contrast->selectAll();
    Type(contrast, "4x2");
    EXPECT_EQ(contrast->text(), "42");
    EXPECT_EQ(dialog.RowValue(1), 42);
    contrast->selectAll();
    Type(contrast, "x");
    EXPECT_EQ(contrast->text(), "42");
    EXPECT_EQ(dialog.slider(1)->value(), 42);
    dialog.reject();
}

TEST_F(VideoColorTest, DefaultsChangeTheRowsAndSendNothing) {
    struct Case {
        const char* product;
        bool multi;
        ColourValues rows;
    };
    for (const Case& c :
         {Case{"Q7B5", false, {175, 150, 130}}, Case{"Q3A2", false, {175, 150, 130}},
          Case{"Q8A3", true, {128, 128, 128}}, Case{"Q8A3", false, {1, 2, 3}}}) {
        SCOPED_TRACE(c.product);
        Device(c.product, c.multi);
        CVideoColorDlg dialog;
        dialog.m_nBrightnessIn = 1;
        dialog.m_nContrastIn = 2;
        dialog.m_nHueIn = 3;
        dialog.OnInitDialog();
        if (liveview::CurrentColourFamily() == ColourFamily::kOffset) {
            dialog.slider(0)->setValue(1);
            dialog.slider(2)->setValue(3);
        }
        dialog.defaultButton()->click();
        EXPECT_EQ(dialog.Rows(), c.rows);
        EXPECT_EQ(dialog.edit(0)->text().toInt(), c.rows.brightness);
    }
    EXPECT_TRUE(ColourTargets().empty());
}

TEST_F(VideoColorTest, ClosingSendsNothing) {
    for (int way = 0; way < 3; ++way) {
        CVideoColorDlg dialog;
        dialog.show();
        if (way == 0) {
            dialog.okButton()->click();
        } else if (way == 1) {
            dialog.closeButton()->click();
        } else {
            Key(&dialog, Qt::Key_Escape);
        }
        EXPECT_FALSE(dialog.isVisible()) << way;
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_TRUE(ColourTargets().empty());
}

TEST_F(VideoColorTest, AFailedApplyShowsTheTimeoutMessageAndKeepsTheValues) {
    device.SetReply("/SetColor.cgi", Reply::Status(500, "Internal Server Error"));
    CVideoColorDlg dialog;
    dialog.m_nContrastIn = 77;
    dialog.OnInitDialog();
    dialog.OnOK();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4064}));
    EXPECT_EQ(dialog.RowValue(1), 77);
}

TEST_F(VideoColorTest, DraggedByItsSurface) {
    CVideoColorDlg dialog;
    dialog.show();
    dialog.move(100, 100);
    const QPoint start = dialog.pos();
    const QPointF local(150, 90);
    const QPointF global = dialog.mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&dialog, &press);
    QMouseEvent move(QEvent::MouseMove, local + QPointF(30, 20), global + QPointF(30, 20),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + QPointF(30, 20),
                        global + QPointF(30, 20), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &release);
    EXPECT_EQ(dialog.pos(), start + QPoint(30, 20));
    dialog.reject();
}

TEST_F(VideoColorTest, AMissingSkinStillShowsAndSendsTheDevicesValues) {
    test_support::TempDir empty;
    platform::SetProgramFolder(empty.path());
    CVideoColorDlg dialog;
    dialog.m_nBrightnessIn = 0;
    dialog.m_nContrastIn = 60;
    dialog.m_nHueIn = 0;
    EXPECT_FALSE(dialog.OnInitDialog());
    EXPECT_EQ(dialog.Rows(), (ColourValues{128, 60, 128}));
    dialog.OnOK();
    EXPECT_EQ(ColourTargets(),
              (std::vector<std::string>{"/SetColor.cgi?Cookie=C00C1E&CON=60&BRI=0&HUE=0"}));
}

TEST_F(VideoColorTest, ReadsTheDevicesValues) {
    device.SetReply("/GetColor.cgi", Reply::Ok("BRI=10;CON=20;HUE=30;"));
    EXPECT_EQ(liveview::ReadDeviceColour(), (ColourValues{10, 20, 30}));
    EXPECT_EQ(device.RequestsTo("/GetColor.cgi").back().target, "/GetColor.cgi?Cookie=C00C1E");
    device.SetReply("/GetColor.cgi", Reply::Ok("OTHER=1;"));
    EXPECT_EQ(liveview::ReadDeviceColour(), (ColourValues{0, 128, 0}));
    device.SetReply("/GetColor.cgi", Reply::Status(404, "Not Found"));
    EXPECT_FALSE(liveview::ReadDeviceColour().has_value());
}

TEST_F(VideoColorTest, TheColourCommand) {
    g_lpApp->f_VideoConnected = false;
    liveview::RunVideoColourCommand(nullptr);
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4085}));
    EXPECT_TRUE(device.RequestsTo("/GetColor.cgi").empty());

    g_lpApp->f_VideoConnected = true;
    device.SetReply("/GetColor.cgi", Reply::Status(500, "Internal Server Error"));
    liveview::RunVideoColourCommand(nullptr);
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4085, 4064}));

    // With the values read, the dialog runs modally with them.
    device.SetReply("/GetColor.cgi", Reply::Ok("BRI=200;CON=90;HUE=0;"));
    ColourValues shown{-1, -1, -1};
    QTimer::singleShot(0, [&shown] {
        auto* dialog = qobject_cast<CVideoColorDlg*>(QApplication::activeModalWidget());
        if (dialog != nullptr) {
            shown = dialog->Rows();
            dialog->OnCancel();
        }
    });
    liveview::RunVideoColourCommand(nullptr);
    EXPECT_EQ(shown, (ColourValues{72, 90, 128}));
    EXPECT_TRUE(ColourTargets().empty());
}

TEST_F(VideoColorTest, AgainstTheDeviceModel) {
    device.ClearReply("/SetColor.cgi");
    auto& model = device.EnableDeviceModel("tresk", "tresk", *devicesim::ProfileForProduct("Q9C0"));
    const Outcome login = Send(kCgiLogin, "/Login.cgi?Username=tresk&Password=tresk");
    ASSERT_EQ(login.result, 1);
    g_szSessionCookie.Set(*ReplyItems(login.body).Find("Session-ID"));

    const auto read = liveview::ReadDeviceColour();
    ASSERT_TRUE(read.has_value());
    CVideoColorDlg dialog;
    dialog.m_nBrightnessIn = read->brightness;
    dialog.m_nContrastIn = read->contrast;
    dialog.m_nHueIn = read->hue;
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.Rows(), (ColourValues{175, 150, 130}));  // the camera's factory picture
    dialog.slider(0)->setValue(128);
    dialog.slider(1)->setValue(140);
    dialog.OnOK();
    EXPECT_TRUE(boxes.Ids().empty());
    const auto colour = model.dialogCommands().Colour();
    EXPECT_EQ(colour.brightness, 0);
    EXPECT_EQ(colour.contrast, 140);
    EXPECT_EQ(colour.hue, 2);
}

TEST_F(VideoColorTest, Picture) {
    CVideoColorDlg dialog;
    dialog.m_nBrightnessIn = 47;
    dialog.m_nContrastIn = 150;
    dialog.m_nHueIn = 2;
    dialog.show();
    QApplication::processEvents();
    test_support::SaveImagePicture(dialog.grab().toImage(), "video_color.png");
    dialog.reject();
}

}  // namespace
