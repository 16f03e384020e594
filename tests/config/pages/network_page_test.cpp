// The Network page against the simulated device: the device's values shown
// per family, the web port's digit filter and range, the PPPoE text limits
// by layout, and APPLY: the IP and PPPOE bodies sent and where the client
// turns afterwards (new port, new address, or nowhere after a refusal).
// Also: every form page (Network to Server Time), visited and left alone,
// sends nothing.

#include "config/pages/network_config_page.h"

#include <QFont>
#include <QImage>
#include <QPainter>

#include "config/pages/page_controls.h"

#include "config/pages/account_property_page.h"
#include "config/pages/alarm_property_page.h"
#include "config/pages/dns_page.h"
#include "config/pages/ftp_property_page.h"
#include "config/pages/mail_property_page.h"
#include "config/pages/record_page.h"
#include "config/pages/sntp_page.h"
#include "config/pages/tool_box_property_page.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/core/global_state.h"
#include "tests/support/qt_app.h"

namespace {

using namespace page_test;
using namespace cfg;

constexpr std::array kFormPages{
    SheetPageId::kNetwork, SheetPageId::kAccount,  SheetPageId::kMail,
    SheetPageId::kFtp,     SheetPageId::kAlarm,    SheetPageId::kGeneral,
    SheetPageId::kDdns,    SheetPageId::kFilePath, SheetPageId::kSntp};

class UnchangedPages : public PageTest, public ::testing::WithParamInterface<const char*> {};

// Every page of the family is shown (a picture of each is saved); APPLY
// without an edit sends no section and closes the sheet.
TEST_P(UnchangedPages, SendNothing) {
    const std::string product = GetParam();
    Open(product.c_str());
    for (const SheetPageId id : kFormPages) {
        const int index = sheet->PageIndexOf(id);
        if (index < 0) {
            continue;
        }
        ASSERT_TRUE(sheet->SetActivePage(index)) << PageEntry(id).className;
        QWidget* page = sheet->PageWindowOf(id);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->objectName().toStdString(), PageEntry(id).className);
        std::string name = "page_" + std::string(PageEntry(id).className) + "_" + product + ".png";
        EXPECT_TRUE(test_support::SaveWidgetPicture(*sheet, name));
    }
    sheet->SetActivePage(0);
    Apply();
    EXPECT_TRUE(SentOptions().empty());
    EXPECT_TRUE(boxes.Ids().empty());
    EXPECT_EQ(sheet->EndResult(), 3);
}

INSTANTIATE_TEST_SUITE_P(Families, UnchangedPages,
                         ::testing::Values("Q8A7", "Q8A3", "Q3A2", "Q9C0", "Q7B5"),
                         [](const auto& instance) { return std::string(instance.param); });

// ---- shown values ---------------------------------------------------------------

TEST_F(PageTest, NetworkShowsTheDevicesValues) {
    Open("Q8A7");
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    const NetworkPageValues v = page->TakePageValues();
    EXPECT_EQ(v.serverAddress, 0xC0A8010Au);  // 192.168.1.10
    EXPECT_EQ(v.netMask, 0xFFFFFF00u);
    EXPECT_EQ(v.gateway, 0xC0A80101u);
    EXPECT_EQ(v.webPort, 80);
    EXPECT_EQ(v.ipType, 0);
    EXPECT_EQ(v.user, "dsl-subscriber@isp.example");
    EXPECT_EQ(g_bNetworkIpType.load(), 0);
    EXPECT_TRUE(Control<QRadioButton>(page, 1252)->isChecked());
    EXPECT_FALSE(Control<QWidget>(page, 1394)->isVisible());
}

TEST_F(PageTest, NetworkOnTheQ7BFamilyIsEmptyAndNeverSaved) {
    Open("Q7B5", "1010");
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    for (const QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_FALSE(child->isVisible()) << child->objectName().toStdString();
    }
    Type(page, 1040, "8080");
    Apply();
    EXPECT_TRUE(SentOptions().empty());
}

// ---- digit filter and text limits ----------------------------------------------

struct PortCase {
    const char* typed;
    const char* shown;
    int port;
};

TEST_F(PageTest, NetworkWebPortFilter) {
    Open("Q8A7");
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    // Ports beyond 9999 stay: a device may listen on 10080.
    const std::vector<PortCase> cases{{"12a3", "123", 123},
                                      {"10080", "10080", 10080},
                                      {"65535", "65535", 65535},
                                      {"70000", "65535", 65535},
                                      {"0", "1", 1},
                                      {"99999999999", "65535", 65535},
                                      {"x8080", "8080", 8080}};
    for (const PortCase& c : cases) {
        Type(page, 1040, c.typed);
        EXPECT_EQ(Edit(page, 1040)->text().toStdString(), c.shown) << c.typed;
        EXPECT_EQ(page->TakePageValues().webPort, c.port) << c.typed;
    }
    // An emptied port keeps the page from being left.
    Type(page, 1040, "");
    EXPECT_FALSE(sheet->SetActivePage(sheet->PageIndexOf(SheetPageId::kMail)));
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4090});
    EXPECT_EQ(sheet->ActivePageIndex(), sheet->PageIndexOf(SheetPageId::kNetwork));
}

struct PppoeLimitCase {
    const char* product;
    const char* firmware;
    int limit;
};

TEST_F(PageTest, NetworkPppoeTextsFollowTheLayout) {
    for (const PppoeLimitCase& c : {PppoeLimitCase{"Q8A7", "1050", 15},
                                    {"Q8A7", "1052", 31},
                                    {"Q3A2", "1006", 15},
                                    {"Q3A2", "1007", 31}}) {
        SCOPED_TRACE(std::string(c.product) + " " + c.firmware);
        opener.DeleteConfigSheet();
        Open(c.product, c.firmware);
        auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->PppoeLimit(), c.limit);
        const QString longText(40, QLatin1Char('u'));
        TypeKeys(page, 1043, longText);
        TypeKeys(page, 1044, longText);
        EXPECT_EQ(Edit(page, 1043)->text().size(), c.limit);
        EXPECT_EQ(Edit(page, 1044)->text().size(), c.limit);
    }
}

// ---- APPLY ------------------------------------------------------------------------

// Changing only the web port sends IP with the new port; once the device
// took it the client uses the new port, and the sheet waited 3 s.
TEST_F(PageTest, NetworkWebPortMovesTheClientAfterTheDevicesReply) {
    Open("Q8A7");
    const Bytes ipBefore = Section("IP");
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    Type(page, 1043, "typed-user");
    Type(page, 1040, "10080");
    EXPECT_EQ(Edit(page, 1043)->text(), "typed-user");  // the port's filter kept it
    Type(page, 1043, "dsl-subscriber@isp.example");
    Apply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"IP"});
    EXPECT_EQ(SentBody("IP"),
              Patched(ipBefore, [](SectionBytes s) { WriteU16(s, IP::WebPort, 10080); }));
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(), 10080);
    EXPECT_FALSE(g_bPendingWebPort.load());
    EXPECT_EQ(sleeps, std::vector<std::chrono::milliseconds>{std::chrono::seconds(3)});
}

TEST_F(PageTest, NetworkRefusedChangeLeavesTheClientWhereItWas) {
    Open("Q8A7");
    const std::uint16_t port = device.port();
    device.SetSectionReply("IP", test_support::Reply::Status(500, "Internal Server Error"));
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    Type(page, 1040, "10080");
    page->findChild<pages::IpAddressControl*>("1248")->SetAddress(0x0A000005);
    Apply();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4012});
    EXPECT_EQ(g_lpApp->CSettingINI.m_wWebPort.load(), port);
    EXPECT_EQ(g_lpApp->CSettingINI.m_strServerName.Get(), "127.0.0.1");
    EXPECT_FALSE(g_bPendingWebPort.load());
    EXPECT_FALSE(g_bPendingServerName.load());
    EXPECT_FALSE(sheet->EndResult().has_value());  // stays open for another APPLY
}

struct TypeCase {
    const char* name;
    int radio;                // 1252 static, 1253 PPPoE, 1254 DHCP
    const char* domain;       // SMTP.DdnsDomain on the device
    bool changeAddress;       // the server address edited too
    const char* serverAfter;  // where the client turns
};

class NetworkIpType : public PageTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(NetworkIpType, SendsTheTypeAndTurnsTheClient) {
    const TypeCase& c = GetParam();
    Open("Q8A7", "1052", {}, [&](devicesim::DeviceModel& m) {
        Bytes smtp = m.Section("SMTP").value_or("");
        smtp = Patched(smtp, [&](SectionBytes s) { WriteText(s, SMTP::DdnsDomain, c.domain); });
        m.SetSection("SMTP", smtp);
    });
    const Bytes ipBefore = Section("IP");
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    if (c.changeAddress) {
        page->findChild<pages::IpAddressControl*>("1248")->SetAddress(0x0A000005);
    }
    Click(page, c.radio);
    EXPECT_EQ(g_bNetworkIpType.load(), c.radio - 1252);
    EXPECT_EQ(Control<QWidget>(page, 1043)->isVisible(), c.radio == 1253);
    Apply();
    ASSERT_EQ(SentOptions(), std::vector<std::string>{"IP"});
    EXPECT_EQ(SentBody("IP"), Patched(ipBefore, [&](SectionBytes s) {
                  WriteByte(s, IP::IpType, static_cast<std::uint8_t>(c.radio - 1252));
                  if (c.changeAddress) {
                      WriteIpv4Number(s, IP::ServerIp, 0x0A000005);
                  }
              }));
    EXPECT_EQ(g_lpApp->CSettingINI.m_strServerName.Get(), c.serverAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Types, NetworkIpType,
    ::testing::Values(
        TypeCase{"PppoeTakesTheDomain", 1253, "site.dyndns.org", false, "site.dyndns.org"},
        TypeCase{"DhcpTakesTheDomain", 1254, "site.dyndns.org", true, "site.dyndns.org"},
        // An empty domain never becomes the address: the client
        // stays, even with a new server address in the same APPLY.
        TypeCase{"DhcpWithoutDomainStays", 1254, "", true, "127.0.0.1"}),
    [](const auto& instance) { return std::string(instance.param.name); });

// PPPoE while dynamic DNS is off is refused by the sheet before any send.
TEST_F(PageTest, NetworkPppoeNeedsDynamicDns) {
    Open("Q8A7", "1052", {}, [](devicesim::DeviceModel& m) {
        Bytes smtp = m.Section("SMTP").value_or("");
        m.SetSection("SMTP",
                     Patched(smtp, [](SectionBytes s) { WriteByte(s, SMTP::DdnsEnable, 0); }));
    });
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    Click(page, 1253);
    Apply();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4101});
    EXPECT_TRUE(SentOptions().empty());
}

TEST_F(PageTest, NetworkPppoeAccountSendsPppoeInTheDevicesLayout) {
    Open("Q8A7", "1050");
    const Bytes before = Section("PPPOE");
    auto* page = Show<NetworkConfigPage>(SheetPageId::kNetwork);
    ASSERT_NE(page, nullptr);
    Type(page, 1043, "new-user");
    Apply();
    EXPECT_EQ(SentOptions(), std::vector<std::string>{"PPPOE"});
    EXPECT_EQ(SentBody("PPPOE"), Patched(before, [](SectionBytes s) {
                  WriteText(s, PPPOE_OLD::UserName, "new-user");
              }));
    EXPECT_TRUE(sleeps.empty());
}

}  // namespace

namespace {

TEST(NetworkPageFont, IsArialScaledByTheDpiFactorAndSetOnThePainter) {
    test_support::EnsureQtApp();
    test_support::ScopedGlobalState state;
    state->fl_DpiScale = 1.5f;
    QImage image(8, 8, QImage::Format_RGB32);
    QPainter painter(&image);
    const QFont font = NetworkConfigPage::CreatePageFont(painter);
    EXPECT_EQ(font.family(), QStringLiteral("Arial"));
    EXPECT_EQ(font.pixelSize(), 27);
    EXPECT_EQ(font.weight(), QFont::Normal);
    EXPECT_FALSE(font.fixedPitch());
    EXPECT_EQ(painter.font().pixelSize(), 27);
}

}  // namespace
