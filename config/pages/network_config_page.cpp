#include "config/pages/network_config_page.h"

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <algorithm>
#include <string>

#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "config/sheet/text_room.h"
#include "core/application/string_table.h"
#include "core/application/trace_log.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"

using namespace cfg;
using namespace pages;

std::atomic<std::uint8_t> g_bNetworkIpType{0};

namespace {

constexpr unsigned kTypePortText = 4090;  // "You should type the port number"

}  // namespace

NetworkConfigPage::~NetworkConfigPage() {
    WriteTraceLine("network page closed, web port " + std::to_string(m_iWeb_Port));
}

QFont NetworkConfigPage::CreatePageFont(QPainter& painter) {
    const float scale = g_lpApp != nullptr ? g_lpApp->fl_DpiScale : 1.0f;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, static_cast<int>(18.0f * scale)));
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif, static_cast<QFont::StyleStrategy>(QFont::PreferQuality |
                                                                          QFont::PreferOutline));
    font.setFixedPitch(false);
    painter.setFont(font);
    return font;
}

NetworkConfigPage::NetworkConfigPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("NetworkConfigPage"));
    m_addressLabels[0] = MakeLabel(this, 1397, QStringLiteral("Server IP :"), 20, 24, 90);
    m_serverIp = Named(new IpAddressControl(this), 1248);
    Place(m_serverIp, 120, 22, 150, 22);
    m_addressLabels[1] = MakeLabel(this, 1398, QStringLiteral("Gateway :"), 20, 56, 90);
    m_gateway = Named(new IpAddressControl(this), 1249);
    Place(m_gateway, 120, 54, 150, 22);
    m_addressLabels[2] = MakeLabel(this, 1399, QStringLiteral("Net Mask :"), 20, 88, 90);
    m_netMask = Named(new IpAddressControl(this), 1250);
    Place(m_netMask, 120, 86, 150, 22);
    MakeLabel(this, 1463, QStringLiteral("Web Port :"), 20, 120, 90);
    m_webPortEdit = MakeEdit(this, 1040, 120, 118, 70);

    MakeGroup(this, 1462, QStringLiteral("IP TYPE"), 290, 14, 150, 110);
    m_types[0] = MakeRadio(this, 1252, QStringLiteral("    Static IP"), 300, 36, 130);
    m_types[1] = MakeRadio(this, 1253, QStringLiteral("    PPPOE"), 300, 64, 130);
    m_types[2] = MakeRadio(this, 1254, QStringLiteral("    DHCP"), 300, 92, 130);

    m_pppoeGroup = MakeGroup(this, 1394, QStringLiteral("PPPOE"), 14, 160, 426, 96);
    m_pppoeLabels[0] = MakeLabel(this, 1395, QStringLiteral("User Name :"), 24, 186, 90);
    m_userEdit = MakeEdit(this, 1043, 120, 184, 300);
    m_pppoeLabels[1] = MakeLabel(this, 1396, QStringLiteral("Password :"), 24, 218, 90);
    m_passwordEdit = MakeEdit(this, 1044, 120, 216, 300);

    connect(m_types[0], &QRadioButton::clicked, this, &NetworkConfigPage::OnStaticIp);
    connect(m_types[1], &QRadioButton::clicked, this, &NetworkConfigPage::OnPppoe);
    connect(m_types[2], &QRadioButton::clicked, this, &NetworkConfigPage::OnDhcp);
    OnInitDialog();
    connect(m_webPortEdit, &QLineEdit::textChanged, this, &NetworkConfigPage::OnChangeWebPort);
}

void NetworkConfigPage::OnInitDialog() {
    const DeviceIdentity& device = m_sheet.Device();
    SystemConfigStruct& config = m_sheet.Sender().config();
    const bool older = UsesOlderPppoe(device);
    m_pppoeLimit = older ? 15 : 31;
    const auto pppoe = m_sheet.Sender().Area(kSysCfgPppoe);
    m_ipType = ReadByte(config.ip, IP::IpType);
    m_iWeb_Port = ReadU16(config.ip, IP::WebPort);
    m_userEdit->setText(Qs(FieldTextAsShown(pppoe, older ? PPPOE_OLD::UserName : PPPOE::UserName)));
    m_passwordEdit->setText(
        Qs(FieldTextAsShown(pppoe, older ? PPPOE_OLD::Password : PPPOE::Password)));
    LimitEditBytes(m_userEdit, static_cast<std::size_t>(m_pppoeLimit));
    LimitEditBytes(m_passwordEdit, static_cast<std::size_t>(m_pppoeLimit));
    m_webPortEdit->setText(QString::number(m_iWeb_Port));
    if (device.IsQ7B()) {
        // The Q7B family's network is not set from here: an empty page.
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            child->hide();
        }
        return;
    }
    g_bNetworkIpType = m_ipType;
    m_serverIp->SetAddress(ReadIpv4Number(config.ip, IP::ServerIp));
    m_gateway->SetAddress(ReadIpv4Number(config.ip, IP::Gateway));
    m_netMask->SetAddress(ReadIpv4Number(config.ip, IP::NetMask));
    ShowIpType();
}

void NetworkConfigPage::ShowIpType() {
    // An unknown type shows as PPPoE, as the device treats it.
    const int shown = m_ipType <= 2 ? m_ipType : 1;
    for (int i = 0; i < 3; ++i) {
        m_types[static_cast<std::size_t>(i)]->setChecked(i == shown);
    }
    const bool addresses = shown == 0;
    for (QLabel* label : m_addressLabels) {
        label->setEnabled(addresses);
    }
    for (QWidget* control : {static_cast<QWidget*>(m_serverIp), static_cast<QWidget*>(m_gateway),
                             static_cast<QWidget*>(m_netMask)}) {
        control->setEnabled(addresses);
    }
    const bool pppoe = shown == 1;
    for (QWidget* w :
         {static_cast<QWidget*>(m_pppoeGroup), static_cast<QWidget*>(m_userEdit),
          static_cast<QWidget*>(m_passwordEdit), static_cast<QWidget*>(m_pppoeLabels[0]),
          static_cast<QWidget*>(m_pppoeLabels[1])}) {
        w->setVisible(pppoe);
    }
}

void NetworkConfigPage::OnStaticIp() {
    m_ipType = 0;
    g_bNetworkIpType = 0;
    ShowIpType();
}

void NetworkConfigPage::OnPppoe() {
    m_ipType = 1;
    g_bNetworkIpType = 1;
    ShowIpType();
}

void NetworkConfigPage::OnDhcp() {
    m_ipType = 2;
    g_bNetworkIpType = 2;
    ShowIpType();
}

void NetworkConfigPage::OnChangeWebPort() {
    std::string text = Std(m_webPortEdit->text());
    if (text.empty()) {
        return;
    }
    FilterDigits(text, 1);
    if (text.empty()) {
        SetEditText(m_webPortEdit, QString());
        return;
    }
    // Any port a device can listen on is kept (a web port of 10080 must not
    // be moved); only 0 and numbers past 65535 are clamped.
    const long long value = text.size() > 6 ? 65536 : std::stoll(text);
    m_iWeb_Port = static_cast<int>(std::clamp<long long>(value, 1, 65535));
    SetEditText(m_webPortEdit, QString::number(m_iWeb_Port));
}

bool NetworkConfigPage::OnKillActive() {
    if (m_sheet.Device().IsQ7B()) {
        return true;
    }
    if (m_webPortEdit->text().isEmpty()) {
        ShowMessage(kTypePortText);
        return false;
    }
    return true;
}

NetworkPageValues NetworkConfigPage::TakePageValues() {
    NetworkPageValues values;
    values.serverAddress = m_serverIp->GetAddress();
    values.gateway = m_gateway->GetAddress();
    values.netMask = m_netMask->GetAddress();
    // An emptied port edit keeps the last number it held.
    values.webPort = m_iWeb_Port;
    values.ipType = m_ipType;
    values.user = Std(m_userEdit->text());
    values.password = Std(m_passwordEdit->text());
    return values;
}
