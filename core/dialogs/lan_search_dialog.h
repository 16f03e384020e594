#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/application/window_messages.h"
#include "core/net/lan_search.h"
#include "platform/thread.h"
#include "platform/window.h"

class QKeyEvent;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

// Asks for the device's user name and password before a change or a reset.
// It checks nothing itself: the device does.
class CConfirmAuthorityDialog : public QDialog {
    Q_OBJECT

public:
    explicit CConfirmAuthorityDialog(QWidget* parent = nullptr);

    // After OK.
    std::string UserName() const;
    std::string Password() const;

    QLineEdit* userEdit() const { return m_user; }
    QLineEdit* passwordEdit() const { return m_password; }

private:
    QLineEdit* m_user;
    QLineEdit* m_password;
};

// The LAN device search: broadcasts a search when it opens (and on SEARCH
// AGAIN), lists every device that answers, shows the chosen device's network
// settings, changes them on the device (APPLY) or resets it (RESET DEFAULT)
// after asking for its credentials, and hands the chosen device's address
// and web port back to the login dialog.
//
// Hand-back: after the dialog has run, whatever it returned, Taken() tells
// whether a device was handed back; HandedBackIP() and HandedBackPort() are
// then its address and web port. A device is handed back by OK with an entry
// selected, and by an APPLY the device confirmed (its new address and port);
// nothing else changes the hand-back.
//
// The search runs on its own thread, which never touches a widget: it posts
// each reply and its end to the dialog.
class CDeviceSearchDialog : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    struct Options {
        LanSearchEndpoints endpoints;
        LanSearchTimings timings;
        // Take the client's own address anew (g_strHostIP) when the dialog
        // opens.
        bool refreshHostIp = true;
    };

    explicit CDeviceSearchDialog(QWidget* parent = nullptr);
    explicit CDeviceSearchDialog(Options options, QWidget* parent = nullptr);
    // Stops the search thread before anything it uses goes away.
    ~CDeviceSearchDialog() override;

    // Starts the search and runs the dialog modally.
    int DoModal();

    // Takes the client's address, disables the controls, starts the title
    // animation and the search thread.
    void OnInitDialog();

    void OnSearchAgain();
    void OnApply();
    void OnResetDefault();
    void OnOK();

    bool Taken() const { return m_nTaken == 1; }
    const std::string& HandedBackIP() const { return m_strHandedBackIP; }
    std::uint16_t HandedBackPort() const { return m_wHandedBackPort; }

    bool Searching() const { return m_bSearching; }
    const std::vector<DeviceEntry>& Entries() const { return m_Entries; }
    int SelectedIndex() const { return m_iSelectedIndex; }

    QTreeWidget* deviceList() const { return m_list; }
    QLineEdit* serverIpEdit() const { return m_serverIp; }
    QLineEdit* macEdit() const { return m_mac; }
    QLineEdit* maskEdit() const { return m_mask; }
    QLineEdit* gatewayEdit() const { return m_gateway; }
    QLineEdit* dnsEdit() const { return m_dns; }
    QLineEdit* webPortEdit() const { return m_webPort; }
    QPushButton* searchAgainButton() const { return m_searchAgain; }
    QPushButton* applyButton() const { return m_apply; }
    QPushButton* resetButton() const { return m_reset; }
    QPushButton* okButton() const { return m_ok; }

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Replies waiting for the dialog, tagged with their search's number.
    struct Mailbox {
        std::mutex lock;
        std::vector<std::pair<std::uint64_t, DeviceEntry>> entries;
    };

    static std::uint32_t SearchThread(std::shared_ptr<Mailbox> mailbox,
                                      platform::WindowHandle dialog, std::uint64_t search,
                                      LanSearchEndpoints endpoints, LanSearchTimings timings,
                                      std::string hostIp);

    void StartSearch();
    void StopSearchThread();
    void SetControlsEnabled(bool enabled);
    void SetFieldsEnabled(bool enabled);
    void AddEntry(DeviceEntry entry);
    void ShowSettings(const DeviceNetworkText& settings);
    void OnSelectionChanged();
    void OnSearchEnd(SearchEnd end);
    void OnTitleTimer();
    // Moves the fields into the members.
    void UpdateData();
    DeviceNetworkText FieldSettings() const;
    const DeviceEntry* SelectedEntry() const;
    // The shared steps of APPLY and RESET DEFAULT up to the request: the
    // selection, the settings check, the device type and the credentials.
    // False (after any message) when the operation ends there.
    bool PrepareDeviceRequest(const DeviceEntry*& entry);
    // Shows the box for a failed exchange; nothing for a reply.
    void ReportExchangeFailure(const ExchangeResult& result);

    Options m_options;
    platform::WindowHandle m_handle = 0;

    std::unique_ptr<platform::Thread> m_hReceiveThread;
    std::shared_ptr<Mailbox> m_mailbox = std::make_shared<Mailbox>();
    std::uint64_t m_searchNumber = 0;
    bool m_bSearching = false;

    std::vector<DeviceEntry> m_Entries;
    int m_iSelectedIndex = -1;
    std::string m_strUserName;
    std::string m_strPassword;

    // The fields as last moved into the members.
    std::string m_strMacAddress;
    std::string m_strServerIP;
    std::uint32_t m_dwWebPort = 0;
    std::string m_strNetMask;
    std::string m_strGateway;
    std::string m_strDNSServer;

    int m_nTaken = 0;
    std::string m_strHandedBackIP;
    std::uint16_t m_wHandedBackPort = 0;

    unsigned m_nTitleTicks = 0;
    std::string m_strSearchingWord;
    std::string m_strStoppedWord;

    QTreeWidget* m_list;
    QLineEdit* m_serverIp;
    QLineEdit* m_mac;
    QLineEdit* m_mask;
    QLineEdit* m_gateway;
    QLineEdit* m_dns;
    QLineEdit* m_webPort;
    QPushButton* m_searchAgain;
    QPushButton* m_apply;
    QPushButton* m_reset;
    QPushButton* m_ok;
    QTimer* m_titleTimer;
};
