#include "config/pages/dns_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "config/pages/network_config_page.h"
#include "config/pages/page_controls.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"

using namespace cfg;
using namespace pages;

CDNSPage::CDNSPage(MySystemDialog& sheet) : m_sheet(sheet) {
    setObjectName(QStringLiteral("CDNSPage"));
    MakeLabel(this, 0, QStringLiteral("DNS:"), 20, 24, 90);
    m_dnsServer = Named(new IpAddressControl(this), 1251);
    Place(m_dnsServer, 120, 22, 150, 22);
    m_auto = MakeCheck(this, 1469, QStringLiteral("AUTO"), 290, 22, 80);
    m_auto->hide();
    MakeLabel(this, 0, QStringLiteral("DDNS:"), 20, 58, 90);
    m_enable = MakeRadio(this, 1380, QStringLiteral("Enable"), 120, 58, 80);
    m_disable = MakeRadio(this, 1381, QStringLiteral("Disable"), 210, 58, 80);
    MakeLabel(this, 0, QStringLiteral("System Name:"), 20, 92, 90);
    m_provider = MakeCombo(this, 1195, 120, 90, 150);
    MakeLabel(this, 0, QStringLiteral("User Name:"), 20, 124, 90);
    m_userEdit = MakeEdit(this, 1040, 120, 122, 150);
    MakeLabel(this, 0, QStringLiteral("Password:"), 20, 156, 90);
    m_passwordEdit = MakeEdit(this, 1041, 120, 154, 150);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    MakeLabel(this, 0, QStringLiteral("Domain:"), 20, 188, 90);
    m_domainEdit = MakeEdit(this, 1042, 120, 186, 300);
    LimitEditBytes(m_userEdit, 15);
    LimitEditBytes(m_passwordEdit, 15);
    LimitEditBytes(m_domainEdit, 47);

    connect(m_enable, &QRadioButton::clicked, this, &CDNSPage::OnEnable);
    connect(m_disable, &QRadioButton::clicked, this, &CDNSPage::OnDisable);
    connect(m_auto, &QCheckBox::clicked, this, &CDNSPage::OnAuto);
    OnInitDialog();
}

std::uint8_t CDNSPage::NetworkIpType() const {
    if (m_sheet.PageWindowOf(SheetPageId::kNetwork) != nullptr) {
        return g_bNetworkIpType.load();
    }
    return m_sheet.ReadValues().ipType;
}

void CDNSPage::OnInitDialog() {
    const SheetReadValues& read = m_sheet.ReadValues();
    const DeviceIdentity& device = m_sheet.Device();
    m_dnsServer->SetAddress(read.dnsServer);
    m_enabled = read.ddnsEnable != 0;
    m_userEdit->setText(Qs(read.ddnsUser));
    m_passwordEdit->setText(Qs(read.ddnsPassword));
    m_domainEdit->setText(Qs(read.ddnsDomain));
    if (device.HasFeature(kFeatureQuillmereOnly)) {
        m_provider->addItem(Qs(kDdnsProviders[3]));
    } else {
        for (std::size_t i = 0; i < 3; ++i) {
            m_provider->addItem(Qs(kDdnsProviders[i]));
        }
    }
    // The list's row of the stored keyword: "quillmere" is the only row of
    // a device that offers only it, and reads as "dyndns" elsewhere.
    const std::string keyword = ReadText(m_sheet.Sender().config().smtp, SMTP::DdnsProvider);
    int row = 0;
    if (keyword == "dyndns") {
        row = 1;
    } else if (keyword == "statdns") {
        row = 2;
    } else if (keyword == "quillmere") {
        row = device.HasFeature(kFeatureQuillmereOnly) ? 0 : 1;
    }
    if (row >= m_provider->count()) {
        row = -1;  // a keyword this device's list does not hold
    }
    m_provider->setCurrentIndex(row);
    m_autoDns = read.autoDns != 0;
    m_auto->setChecked(m_autoDns);
    ShowEnable();
    ShowAuto();
}

void CDNSPage::ShowEnable() {
    m_enable->setChecked(m_enabled);
    m_disable->setChecked(!m_enabled);
    for (QWidget* w : {static_cast<QWidget*>(m_userEdit), static_cast<QWidget*>(m_passwordEdit),
                       static_cast<QWidget*>(m_domainEdit), static_cast<QWidget*>(m_provider)}) {
        w->setEnabled(m_enabled);
    }
}

void CDNSPage::ShowAuto() {
    if (!m_sheet.Device().IsDvr()) {
        m_auto->hide();
        return;
    }
    if (NetworkIpType() == 2) {
        m_auto->show();
        m_dnsServer->setEnabled(!m_autoDns);
    } else {
        m_auto->hide();
        m_dnsServer->setEnabled(true);
    }
}

void CDNSPage::OnSetActive() {
    ShowAuto();
}

void CDNSPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    OnSetActive();
}

void CDNSPage::OnEnable() {
    m_enabled = true;
    ShowEnable();
}

void CDNSPage::OnDisable() {
    m_enabled = false;
    ShowEnable();
}

void CDNSPage::OnAuto() {
    m_autoDns = !m_autoDns;
    m_auto->setChecked(m_autoDns);
    if (m_sheet.Device().IsDvr()) {
        m_dnsServer->setEnabled(!m_autoDns);
    }
}

DdnsPageValues CDNSPage::TakePageValues() {
    DdnsPageValues values;
    values.dnsServer = m_dnsServer->GetAddress();
    values.autoDns = m_autoDns ? 1 : 0;
    values.enable = m_enabled ? 1 : 0;
    values.user = Std(m_userEdit->text());
    values.password = Std(m_passwordEdit->text());
    values.domain = Std(m_domainEdit->text());
    values.providerIndex = m_provider->currentIndex();
    return values;
}
