#include "config/pages/device_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdio>

#include "config/pages/edit_dialog_grid.h"
#include "config/pages/page_controls.h"
#include "config/pages/report_list.h"
#include "config/sheet/section_layouts.h"
#include "core/application/string_table.h"
#include "platform/modal_dialog.h"

using namespace cfg;

namespace {

constexpr unsigned kNoItemEditedText = 4046;

constexpr std::array<std::uint32_t, 7> kRates{2400, 4800, 9600, 19200, 38400, 57600, 115200};

QString TwoDigits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%2d", number);
    return QString::fromLatin1(text);
}

QString TypeText(std::uint8_t type) {
    return type == 1 ? QStringLiteral("PTZ") : QStringLiteral("CAMERA");
}

QString ProtocolText(std::uint8_t protocol) {
    return protocol == 1 ? QStringLiteral("P-D") : QStringLiteral("NORMAL");
}

int RateIndex(std::uint32_t rate) {
    for (std::size_t i = 0; i < kRates.size(); ++i) {
        if (kRates[i] == rate) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

// ---- CDeviceEditDlg -------------------------------------------------------------

CDeviceEditDlg::CDeviceEditDlg(QWidget* parent) : QDialog(parent) {
    pages::EditDialogGrid grid(*this, {"NO.", "DEVICE", "ID", "PROTOCOL", "RATE"});
    m_number = grid.AddNumber(kIdNumber);
    m_type = grid.AddList(kIdType, {QStringLiteral("CAMERA"), QStringLiteral("PTZ")});
    m_id = grid.AddEdit(kIdId);
    m_protocol = grid.AddList(kIdProtocol, {QStringLiteral("NORMAL"), QStringLiteral("P-D")});
    m_rate = grid.AddList(
        kIdRate, {QStringLiteral("    2400"), QStringLiteral("    4800"),
                  QStringLiteral("    9600"), QStringLiteral("  19200"), QStringLiteral("  38400"),
                  QStringLiteral("  57600"), QStringLiteral("115200")});
    m_ok = grid.AddOk();
}

void CDeviceEditDlg::MembersToControls() {
    m_number->setText(m_strNumber);
    pages::SelectIndex(m_type, m_iType);
    m_id->setText(QString::number(m_iId));
    pages::SelectIndex(m_protocol, m_iProtocol);
    pages::SelectIndex(m_rate, m_iRate);
}

bool CDeviceEditDlg::UpdateData() {
    // The id is one byte on the bus: a number outside 0..255 is refused
    // rather than cut to its low byte.
    const auto id = ExchangeWholeNumber(m_id, 0, 255);
    if (!id) {
        m_id->setFocus();
        m_id->selectAll();
        return false;
    }
    m_iType = m_type->currentIndex();
    m_iId = *id;
    m_iProtocol = m_protocol->currentIndex();
    m_iRate = m_rate->currentIndex();
    return true;
}

void CDeviceEditDlg::accept() {
    if (UpdateData()) {
        QDialog::accept();
    }
}

// ---- DevicePage -------------------------------------------------------------------

DevicePage::DevicePage(std::span<const std::uint8_t> rs485, int channelRows, QWidget* parent)
    : QWidget(parent), m_rs485(rs485), m_channelRows(std::clamp(channelRows, 0, 16)) {
    const pages::EditableList made = pages::MakeEditableList(this, kIdList, kIdEdit);
    m_list = made.list;
    m_edit = made.edit;
    connect(m_edit, &QPushButton::clicked, this, [this] { OnEdit(true); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnEdit(false); });
    OnInitDialog();
}

void DevicePage::OnInitDialog() {
    const std::array<ReportColumn, 5> columns{{{QStringLiteral("NO."), 40},
                                               {PageText(8540), 70},
                                               {PageText(8541), 30},
                                               {PageText(8542), 80},
                                               {PageText(8543), 50}}};
    SetReportColumns(m_list, columns);
    // Every channel's values are kept, listed or not: APPLY writes all
    // sixteen back, and the channels a smaller recorder does not list must
    // go back as the device sent them.
    for (std::size_t ch = 0; ch < RS485::kChannels; ++ch) {
        m_byType[ch] = ReadByte(m_rs485, RS485::DeviceType.At(ch));
        m_byId[ch] = ReadByte(m_rs485, RS485::DeviceId.At(ch));
        m_byProtocol[ch] = ReadByte(m_rs485, RS485::Protocol.At(ch));
        m_dwBaud[ch] = ReadU32(m_rs485, RS485::BaudRate.At(ch));
    }
    for (int row = 0; row < m_channelRows; ++row) {
        new QTreeWidgetItem(m_list);
        WriteRow(row);
    }
}

void DevicePage::WriteRow(int row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    const auto ch = static_cast<std::size_t>(row);
    item->setText(0, TwoDigits(row + 1));
    item->setText(1, TypeText(m_byType[ch]));
    item->setText(2, QString::number(m_byId[ch]));
    item->setText(3, ProtocolText(m_byProtocol[ch]));
    item->setText(4, QString::number(m_dwBaud[ch]));
}

void DevicePage::OnEdit(bool fromButton) {
    const auto selected = FirstSelectedRow(m_list);
    if (!selected) {
        if (fromButton) {
            ShowMessage(kNoItemEditedText);
        }
        return;
    }
    const int row = *selected;
    const auto ch = static_cast<std::size_t>(row);
    CDeviceEditDlg dialog(this);
    dialog.m_strNumber = TwoDigits(row + 1);
    dialog.m_iType = m_byType[ch];
    dialog.m_iProtocol = m_byProtocol[ch];
    dialog.m_iId = m_byId[ch];
    dialog.m_iRate = RateIndex(m_dwBaud[ch]);
    dialog.MembersToControls();
    if (platform::RunModal(dialog) != QDialog::Accepted) {
        return;
    }
    // The dialog only accepts ids from 0 to 255.
    if (dialog.m_iId != m_byId[ch]) {
        m_byId[ch] = static_cast<std::uint8_t>(dialog.m_iId);
        m_bChanged = true;
    }
    // A list without a selection (-1) leaves its value.
    if (dialog.m_iType >= 0 && dialog.m_iType != m_byType[ch]) {
        m_byType[ch] = static_cast<std::uint8_t>(dialog.m_iType);
        m_bChanged = true;
    }
    if (dialog.m_iProtocol >= 0 && dialog.m_iProtocol != m_byProtocol[ch]) {
        m_byProtocol[ch] = static_cast<std::uint8_t>(dialog.m_iProtocol);
        m_bChanged = true;
    }
    if (dialog.m_iRate >= 0 && dialog.m_iRate < static_cast<int>(kRates.size())) {
        const std::uint32_t rate = kRates[static_cast<std::size_t>(dialog.m_iRate)];
        if (rate != m_dwBaud[ch]) {
            m_dwBaud[ch] = rate;
            m_bChanged = true;
        }
    }
    if (m_bChanged) {
        WriteRow(row);
    }
}

DevicePageValues DevicePage::TakePageValues() {
    DevicePageValues values;
    values.channelsChanged = m_bChanged;
    values.types = m_byType;
    values.ids = m_byId;
    values.protocols = m_byProtocol;
    values.bauds = m_dwBaud;
    return values;
}
