#pragma once

// The "DDNS" page: the device's DNS server (with "AUTO" for a DVR-family
// device on DHCP) and its dynamic-DNS registration: on or off, provider,
// user name, password and domain. APPLY's DDNS save writes DNS, then SMTP.

#include <QWidget>

#include <cstdint>

#include "config/sheet/sheet_pages.h"
#include "config/sheet/tree_prop_sheet.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace pages {
class IpAddressControl;
}

class CDNSPage : public QWidget, public SheetPage, public SheetPageValues<DdnsPageValues> {
    Q_OBJECT
public:
    explicit CDNSPage(MySystemDialog& sheet);

    DdnsPageValues TakePageValues() override;

    // Run each time the page becomes the active one.
    void OnSetActive();
    void OnEnable();
    void OnDisable();
    void OnAuto();

    // The network type the page goes by: the Network page's choice once that
    // page exists, else the IP section as read.
    std::uint8_t NetworkIpType() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void ShowEnable();
    void ShowAuto();

    MySystemDialog& m_sheet;
    pages::IpAddressControl* m_dnsServer = nullptr;
    QCheckBox* m_auto = nullptr;
    QRadioButton* m_enable = nullptr;
    QRadioButton* m_disable = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QLineEdit* m_domainEdit = nullptr;
    QComboBox* m_provider = nullptr;

    bool m_autoDns = false;
    bool m_enabled = false;
};
