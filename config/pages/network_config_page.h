#pragma once

// The "Network" page: how the device joins the network (static address,
// PPPoE account or DHCP) and its web port. APPLY's network save writes PPPOE
// and IP from these values and makes the new address and port pending for
// the command client.

#include <QFont>
#include <QWidget>

#include <atomic>
#include <cstdint>

#include "config/sheet/sheet_pages.h"
#include "config/sheet/tree_prop_sheet.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QGroupBox;

namespace pages {
class IpAddressControl;
}

// The IP type chosen on the Network page (0 static, 1 PPPoE, 2 DHCP); the
// DDNS page shows its "AUTO" box only for DHCP.
extern std::atomic<std::uint8_t> g_bNetworkIpType;

class QPainter;

class NetworkConfigPage : public QWidget,
                          public SheetPage,
                          public SheetPageValues<NetworkPageValues> {
    Q_OBJECT
public:
    explicit NetworkConfigPage(MySystemDialog& sheet);
    // Writes a trace line with the web port the page held.
    ~NetworkConfigPage() override;

    bool OnKillActive() override;
    NetworkPageValues TakePageValues() override;

    void OnStaticIp();
    void OnPppoe();
    void OnDhcp();
    void OnChangeWebPort();

    // The page's heading font: Arial, 18 pixels scaled by the display's DPI
    // factor (truncated), normal weight, an outline font of the sans-serif
    // family, variable pitch; set on `painter` and returned. Nothing draws
    // with it yet.
    static QFont CreatePageFont(QPainter& painter);

    // The PPPoE texts' room in bytes: 31, or 15 with the older layout.
    int PppoeLimit() const { return m_pppoeLimit; }

private:
    void OnInitDialog();
    void ShowIpType();

    MySystemDialog& m_sheet;
    pages::IpAddressControl* m_netMask = nullptr;
    pages::IpAddressControl* m_serverIp = nullptr;
    pages::IpAddressControl* m_gateway = nullptr;
    QLineEdit* m_webPortEdit = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    std::array<QRadioButton*, 3> m_types{};
    std::array<QLabel*, 3> m_addressLabels{};
    QGroupBox* m_pppoeGroup = nullptr;
    std::array<QLabel*, 2> m_pppoeLabels{};

    int m_iWeb_Port = 0;
    std::uint8_t m_ipType = 0;
    int m_pppoeLimit = 31;
};
