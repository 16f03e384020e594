#pragma once

// The "Device" page of the DVR family: the serial device attached to each
// video channel (camera or PTZ unit, its id, protocol and baud rate), from
// the RS485 section. One channel at a time is changed in the "Edit" dialog;
// the page keeps its own copy of the values, which APPLY writes back.

#include <QDialog>
#include <QWidget>

#include <array>
#include <cstdint>
#include <span>

#include "config/pages/dvr_channels.h"
#include "config/sheet/save_routines.h"
#include "config/sheet/sheet_pages.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

class CDeviceEditDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIdNumber = 1406;
    static constexpr int kIdType = 1195;
    static constexpr int kIdId = 1040;
    static constexpr int kIdProtocol = 1409;
    static constexpr int kIdRate = 1412;

    explicit CDeviceEditDlg(QWidget* parent = nullptr);

    // Members, in order.
    int m_iType = -1;
    int m_iProtocol = -1;
    int m_iRate = -1;
    int m_iId = 0;
    QString m_strNumber;

    // Members into controls (done when the dialog is run).
    void MembersToControls();
    // Controls into members; false when the id is refused (the dialog then
    // stays open).
    bool UpdateData();

    QComboBox* TypeList() const { return m_type; }
    QLineEdit* IdEdit() const { return m_id; }
    QComboBox* ProtocolList() const { return m_protocol; }
    QComboBox* RateList() const { return m_rate; }
    QLabel* NumberLabel() const { return m_number; }
    QPushButton* OkButton() const { return m_ok; }

    void accept() override;

private:
    QLabel* m_number = nullptr;
    QComboBox* m_type = nullptr;
    QLineEdit* m_id = nullptr;
    QComboBox* m_protocol = nullptr;
    QComboBox* m_rate = nullptr;
    QPushButton* m_ok = nullptr;
};

class DevicePage : public QWidget, public SheetPageValues<DevicePageValues> {
    Q_OBJECT
public:
    static constexpr int kIdList = 1404;
    static constexpr int kIdEdit = 1119;

    DevicePage(std::span<const std::uint8_t> rs485, int channelRows, QWidget* parent = nullptr);

    void OnInitDialog();
    // The Edit button (fromButton) and a double click on the list.
    void OnEdit(bool fromButton);

    DevicePageValues TakePageValues() override;

    QTreeWidget* List() const { return m_list; }
    QPushButton* EditButton() const { return m_edit; }
    bool Changed() const { return m_bChanged; }

private:
    void WriteRow(int row);

    std::span<const std::uint8_t> m_rs485;
    int m_channelRows = 0;

    QTreeWidget* m_list = nullptr;
    QPushButton* m_edit = nullptr;
    std::array<std::uint8_t, 16> m_byType{};
    std::array<std::uint8_t, 16> m_byId{};
    std::array<std::uint8_t, 16> m_byProtocol{};
    std::array<std::uint32_t, 16> m_dwBaud{};
    bool m_bChanged = false;
};
