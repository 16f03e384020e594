// The main window's set-up for each product family and user level, its
// layout rules, and a picture of the window for each family, layout slot and
// the supervisor level.

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <string>
#include <vector>

#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/skin/skin_path.h"
#include "liveview/skin/skin_tables.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"

namespace {

using window_test::WindowTest;

struct OpenCase {
    const char* product;
    int level;
    std::uint8_t wantLevelRow;
    int wantFamily;        // the skin family of the current device
    QSize wantSize;        // the window without the panel
    bool wantPanelUp;      // 8192 visible
    bool wantPanelDown;    // 8193 visible
    const char* wantKeys;  // the query after the cookie
};

class OpenFamily : public WindowTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFamily, BuildsTheWindowOfTheFamilyAndLevel) {
    const OpenCase& c = GetParam();
    ASSERT_EQ(Open(c.product, c.level), 1);
    AppGlobalState& app = *g_lpApp;
    EXPECT_EQ(app.b_UserLevelRow.load(), c.wantLevelRow);
    EXPECT_EQ(window->CurrentFamily(), c.wantFamily);
    EXPECT_EQ(window->size(), c.wantSize);
    EXPECT_EQ(!window->PanelUpButton()->isHidden(), c.wantPanelUp);
    EXPECT_EQ(!window->PanelDownButton()->isHidden(), c.wantPanelDown);
    EXPECT_TRUE(window->PowerButton()->isHidden());
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(window->TitleButton(i)->isHidden());
    EXPECT_EQ(window->windowTitle().toStdString(), "Kestrune : 127.0.0.1");
    EXPECT_EQ(window->StatusText(), "Start to get image!!");
    EXPECT_TRUE(app.h_StartToGetJpegImageEvent->IsSet());
    EXPECT_TRUE(app.h_StartConnectionThreadEvent->IsSet());

    const auto requests = device.RequestsTo("/Getdeviceinfo.cgi");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].raw, "GET /Getdeviceinfo.cgi?Cookie=" + g_szSessionCookie.Get() +
                                   c.wantKeys + " HTTP/1.1\r\n" + command_test::FixedHeaders());
    EXPECT_TRUE(boxes.Ids().empty());
}

// The simulator's profiles: Q8A7 "16CH NETWORK DVR" (24), Q8A5 "8CH NETWORK
// DMR" (20), Q8A3 "4CH NETWORK DMR" (21), Q3A2 a camera (0) with a linked
// 4CH DVR (12), Q7B and Q9C0 cameras. Image Resolution 1 starts QVGA.
INSTANTIATE_TEST_SUITE_P(
    Families, OpenFamily,
    ::testing::Values(
        OpenCase{"Q8A7", 30, 0, 24, QSize(370, 366), true, false, "&RES=1&QUA=0&CH=1&NEWHR=1"},
        OpenCase{"Q8A5", 20, 1, 20, QSize(370, 366), true, false, "&RES=1&QUA=0&CH=1&NEWHR=1"},
        OpenCase{"Q8A3", 15, 3, 21, QSize(370, 366), true, false, "&RES=1&QUA=0&CH=1&NEWHR=1"},
        OpenCase{"Q3A2", 0, 2, 0, QSize(370, 366), false, false, "&RES=1&QUA=0&CH=1&NEWHR=1"},
        OpenCase{"Q7B7", 10, 3, 0, QSize(370, 366), false, true, "&RES=1&QUA=0&CH=2"},
        OpenCase{"Q9C0", 30, 0, 0, QSize(370, 366), false, true, "&RES=1&QUA=0&CH=2&NEWHR=1"}),
    [](const ::testing::TestParamInfo<OpenCase>& instance) {
        return std::string(instance.param.product);
    });

TEST_F(WindowTest, SelectedChannelIsFittedToTheProduct) {
    settings().m_bySelectedChannel = 5;
    ASSERT_EQ(Open("Q3A2"), 1);
    EXPECT_EQ(settings().m_bySelectedChannel.load(), 1);
    window.reset();
    settings().m_bySelectedChannel = 7;
    ASSERT_EQ(Open("Q8A3"), 1);
    EXPECT_EQ(settings().m_bySelectedChannel.load(), 0);
}

TEST_F(WindowTest, UnknownProductEndsTheSetUpWithAMessage) {
    ASSERT_EQ(Open("Q8A7"), 1);
    window.reset();
    g_lpApp->str_ProductID.Set("QXXX");
    window = std::make_unique<CDravelinDlg>();
    EXPECT_EQ(window->OnInitDialog(), 0);
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4093});
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, FailedDeviceInformationShowsWhyAndStillBuildsTheWindow) {
    device.AddReply("/Getdeviceinfo.cgi",
                    command_test::Reply::Status(500, "Internal Server Error"));
    ASSERT_EQ(Open("Q8A7"), 1);
    EXPECT_EQ(window->StatusText(), "Get device information failed!! Login again !!");
    EXPECT_FALSE(g_lpApp->h_StartToGetJpegImageEvent->IsSet());
    // The close button exists, so the operator can always leave.
    EXPECT_FALSE(window->TitleButton(2)->isHidden());
}

TEST_F(WindowTest, SupervisorFixesTheTruncatedModelName) {
    // The INF section as the device sends it, its name one character long.
    std::string inf(44, '\0');
    std::memcpy(inf.data() + 24, "ZRT-417X", 8);
    device.SetReply("/GetSysCfg.cgi", command_test::Reply::Ok(inf));
    device.SetReply("/SetSysCfg.cgi", command_test::Reply::Ok(""));
    ASSERT_EQ(Open("Q8A7"), 1);
    std::vector<std::string> written;
    for (const auto& request : device.RequestsTo("/SetSysCfg.cgi")) {
        if (request.Param("Option").value_or("") == "INF")
            written.push_back(request.body);
    }
    ASSERT_EQ(written.size(), 1u);
    std::string want(44, '\0');
    std::memcpy(want.data() + 24, "ZRT-417", 7);
    EXPECT_EQ(written[0], want);
}

TEST_F(WindowTest, OtherModelNamesAreLeftAlone) {
    std::string inf(44, '\0');
    std::memcpy(inf.data() + 24, "ZRT-415X", 8);
    device.SetReply("/GetSysCfg.cgi", command_test::Reply::Ok(inf));
    ASSERT_EQ(Open("Q8A7"), 1);
    EXPECT_TRUE(device.RequestsTo("/SetSysCfg.cgi").empty());
}

// ---- layout ----------------------------------------------------------------------

TEST_F(WindowTest, PictureSizeChangeKeepsTheTopLeftCorner) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->w_ViewMode = 0;
    window->ApplyButtonLayout();
    EXPECT_EQ(window->size(), QSize(722, 608));
    window->move(100, 50);
    g_lpApp->w_ViewMode = 1;
    window->ApplySkin(1);
    EXPECT_EQ(window->size(), QSize(370, 366));
    EXPECT_EQ(window->pos(), QPoint(100, 50));
}

TEST_F(WindowTest, MovingKeepsThePositionAndTheLayoutSize) {
    ASSERT_EQ(Open("Q8A7"), 1);
    window->resize(500, 500);
    const QRect kept = window->OnMoving(QRect(300, 200, 500, 500));
    EXPECT_EQ(kept, QRect(300, 200, 370, 366));
    window->SetPanelShown(true);
    EXPECT_EQ(window->OnMoving(QRect(10, 20, 500, 500)), QRect(10, 20, 370, 461));
    window->resize(370, 366);
    EXPECT_EQ(window->OnMoving(QRect(10, 20, 370, 366)), QRect(10, 20, 370, 366));
}

struct RightsCase {
    int family;
    int level;
    int row;
    bool wantShown;
};

TEST_F(WindowTest, RowsFollowTheUserRights) {
    ASSERT_EQ(Open("Q8A7"), 1);
    AppGlobalState& app = *g_lpApp;
    const RightsCase cases[] = {
        {15, 10, 44, false}, {15, 20, 44, true}, {16, 10, 44, false}, {16, 30, 44, true},
        {15, 20, 61, false}, {15, 30, 61, true}, {0, 30, 0, false},
    };
    for (const RightsCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "family " << c.family << " level " << c.level << " row " << c.row);
        app.C_ControlD.Reset();
        app.C_ControlD.AddDevice(0, 0, static_cast<std::uint8_t>(c.family), kDeviceMaster);
        app.C_ControlD.MakeCurrent(kDeviceMaster, 0);
        app.w_UserLevel = static_cast<std::uint16_t>(c.level);
        app.b_UserLevelRow = static_cast<std::uint8_t>(FindUserLevelRow(c.level));
        window->SetPanelShown(true);
        window->ChangeItemPositionForDeviceModified();
        window->ApplyButtonLayout();
        EXPECT_EQ(!window->SkinButton(c.row)->isHidden(), c.wantShown);
    }
}

TEST_F(WindowTest, CameraShowsNoPanelButton) {
    ASSERT_EQ(Open("Q9C0"), 1);
    window->SetPanelShown(false);
    window->ChangeItemPositionForDeviceModified();
    for (int r = 0; r < kSkinButtonRows; ++r) EXPECT_TRUE(window->SkinButton(r)->isHidden()) << r;
    // With the panel shown, a camera closes it and re-centres.
    window->SetPanelShown(true);
    window->ChangeItemPositionForDeviceModified();
    EXPECT_FALSE(window->IsPanelShown());
    EXPECT_EQ(window->pos(), QPoint((1920 - 370) / 2, (1080 - 366) / 2));
}

TEST_F(WindowTest, TurboArrowsWearTheTurboFacesOfTheSkin) {
    ASSERT_EQ(Open("Q8A7"), 1);
    g_lpApp->f_Turbo = true;
    window->ApplySkin(3);
    const QImage turbo(QString::fromStdString(SkinBitmapPath("P_QVGA_LEFT_TURBO").string()));
    ASSERT_FALSE(turbo.isNull());
    EXPECT_EQ(window->SkinButton(54)
                  ->FaceImage({CQelButton::FaceKind::Flat, 0})
                  .convertToFormat(turbo.format()),
              turbo);
    const QImage hover(QString::fromStdString(SkinBitmapPath("P_QVGA_UP_TURBO_OVER").string()));
    EXPECT_EQ(window->SkinButton(55)
                  ->FaceImage({CQelButton::FaceKind::Focus, 0})
                  .convertToFormat(hover.format()),
              hover);
}

TEST_F(WindowTest, OldFirmwareLosesTheSearchKey) {
    ASSERT_EQ(Open("Q8A7", 30, 0, [](devicesim::DeviceProfile& p) { p.firmwareVersion = "1052"; }),
              1);
    EXPECT_EQ(SkinFlags(24, 25), SkinButtonTable[24].rows[25].wFlags);  // 24 is not named
    ASSERT_NE(SkinButtonTable[19].rows[25].wFlags, 0);
    EXPECT_EQ(SkinFlags(19, 25), 0);  // firmware 1052 is older than 1078
}

// ---- pictures ----------------------------------------------------------------------

// A test pattern of the picture rectangle of the current layout, bottom-up BGR.
std::vector<std::uint8_t> Pattern(int width, int height) {
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &picture[(static_cast<std::size_t>(y) * width + x) * 3];
            const int band = x * 8 / width;
            p[0] = static_cast<std::uint8_t>((band & 1) ? 220 : 40);
            p[1] = static_cast<std::uint8_t>((band & 2) ? 200 : 50);
            p[2] = static_cast<std::uint8_t>((band & 4) ? 210 : 60 + y * 100 / height);
        }
    }
    return picture;
}

void ShowSlot(CDravelinDlg& window, int group, int slot) {
    AppGlobalState& app = *g_lpApp;
    app.w_ViewMode = static_cast<std::uint16_t>(group + slot);
    app.b_VideoMode = slot >= 2 ? 1 : 0;
    app.CSettingINI.m_dwImageResolution = static_cast<std::uint32_t>(slot % 2);
    window.SetPanelShown(true);
    window.ChangeItemPositionForDeviceModified();
    window.ApplyButtonLayout();
    const ViewLayoutRow& v = ViewLayoutTable[app.w_ViewMode];
    const int width = v[kVlVideoRight] - v[kVlVideoLeft];
    const int height = v[kVlVideoBottom] - v[kVlVideoTop];
    std::vector<std::uint8_t> picture = Pattern(width, height);
    app.lp_CurrentImage = picture.data();
    app.w_ImageWidth = static_cast<std::uint16_t>(width);
    app.w_ImageHeight = static_cast<std::uint16_t>(height);
    app.f_VideoConnected = true;
    window.DrawVideoFrame();
    app.lp_CurrentImage = nullptr;
    platform::ProcessPostedMessages();
}

TEST_F(WindowTest, PictureOfEachProductFamilyAndSlot) {
    struct Family {
        const char* product;
        int group;
    };
    for (const Family& f :
         {Family{"Q8A7", 0}, Family{"Q3A2", 6}, Family{"Q7B7", 6}, Family{"Q9C0", 12}}) {
        window.reset();
        ASSERT_EQ(Open(f.product, 30), 1) << f.product;
        for (int slot = 0; slot < 4; ++slot) {
            ShowSlot(*window, f.group, slot);
            test_support::SaveWidgetPicture(*window, std::string("main_window_") + f.product +
                                                         "_slot" + std::to_string(slot) +
                                                         "_supervisor.png");
        }
    }
}

TEST_F(WindowTest, PictureOfEachSkinFamilyAndSlot) {
    ASSERT_EQ(Open("Q8A7", 30), 1);
    AppGlobalState& app = *g_lpApp;
    for (int family = 0; family < kDeviceFamilyCount; ++family) {
        app.C_ControlD.Reset();
        app.C_ControlD.AddDevice(0, 0, static_cast<std::uint8_t>(family), kDeviceMaster);
        app.C_ControlD.MakeCurrent(kDeviceMaster, 0);
        for (int slot = 0; slot < 4; ++slot) {
            ShowSlot(*window, 0, slot);
            const std::string name = "main_window_family" + std::string(family < 10 ? "0" : "") +
                                     std::to_string(family) + "_slot" + std::to_string(slot) +
                                     "_supervisor.png";
            test_support::SaveWidgetPicture(*window, name);
        }
    }
}

}  // namespace
