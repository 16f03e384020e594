#include "config/pages/detection_page.h"

#include <QPushButton>
#include <QTreeWidget>

#include <mutex>

#include "config/pages/detection_edit_dlg.h"
#include "config/pages/dvr_record_page.h"
#include "config/pages/edit_dialog_grid.h"
#include "config/sheet/section_layouts.h"
#include "core/application/string_table.h"
#include "core/state/device_family.h"
#include "platform/modal_dialog.h"

using namespace cfg;

namespace {

constexpr unsigned kNoItemText = 4046;

std::mutex g_hookLock;
DetectionChannelSwitch g_switch;

QString Text(unsigned id) {
    const std::string_view text = LoadText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void SetDetectionChannelSwitch(DetectionChannelSwitch hooks) {
    std::lock_guard lock(g_hookLock);
    g_switch = std::move(hooks);
}

DetectionPage::DetectionPage(const DeviceIdentity& device, std::span<std::uint8_t> dvrLive,
                             std::span<std::uint8_t> alarm, QWidget* parent)
    : QWidget(parent),
      m_device(device),
      m_dvrLive(dvrLive),
      m_alarmSection(alarm),
      m_channels(DvrChannelCount(device.productId)) {
    const pages::EditableList made = pages::MakeEditableList(this, 1413, 1068);
    m_list = made.list;
    m_edit = made.edit;
    // Return on the focused button opens the dialog, as a sheet's button does.
    m_edit->setAutoDefault(true);
    m_list->setHeaderLabels(
        {"NO.", Text(8550), Text(8552), Text(8553), Text(8554), Text(8555), Text(8556)});
    const int widths[] = {35, 60, 30, 30, 30, 30, 60};
    for (int c = 0; c < 7; ++c) {
        m_list->setColumnWidth(c, widths[c]);
    }
    connect(m_edit, &QPushButton::clicked, this, [this] { OnEdit(true); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { OnEdit(false); });

    for (int row = 0; row < m_channels; ++row) {
        const auto n = static_cast<std::size_t>(row);
        m_detect[n] = ReadByte(m_dvrLive, DVRLIVE::Detect.At(n));
        m_ls[n] = ReadByte(m_dvrLive, DVRLIVE::Ls.At(n));
        m_ss[n] = ReadByte(m_dvrLive, DVRLIVE::Ss.At(n));
        m_ts[n] = ReadByte(m_dvrLive, DVRLIVE::Ts.At(n));
        m_re[n] = ReadByte(m_dvrLive, DVRLIVE::Re.At(n));
        const SectionField area = DVRLIVE::Area.At(n);
        if (area.end() <= m_dvrLive.size()) {
            std::copy_n(m_dvrLive.begin() + static_cast<std::ptrdiff_t>(area.offset), 24,
                        m_area[n].begin());
        }
        m_alarm[n] = ReadByte(m_alarmSection, ALARM::AlarmInput.At(n));
        m_list->addTopLevelItem(new QTreeWidgetItem(m_list));
        FillRow(row);
    }
}

QString DetectionPage::AlarmText(std::uint8_t type) const {
    static const char* const kQuillmere[] = {"N.O.", "N.C.", "OFF"};
    static const char* const kLevels[] = {"LOW", "HIGH", "OFF"};
    if (type > 2) {
        return "OFF";
    }
    return m_device.HasFeature(kFeatureQuillmereOnly) ? kQuillmere[type] : kLevels[type];
}

void DetectionPage::FillRow(int row) {
    const auto n = static_cast<std::size_t>(row);
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    item->setText(0, QString::asprintf("%2d", row + 1));
    item->setText(1, m_detect[n] == 1 ? "ON" : "OFF");
    item->setText(2, QString::number(m_ls[n]));
    item->setText(3, QString::number(m_ss[n]));
    item->setText(4, QString::number(m_ts[n]));
    item->setText(5, QString::number(m_re[n]));
    item->setText(6, AlarmText(m_alarm[n]));
}

void DetectionPage::SwitchLiveView(int row) const {
    DetectionChannelSwitch hooks;
    {
        std::lock_guard lock(g_hookLock);
        hooks = g_switch;
    }
    if (!m_device.IsDvr() || !hooks.isCurrentMaster || !hooks.isCurrentMaster()) {
        return;
    }
    const bool multi = hooks.isMultiChannel ? hooks.isMultiChannel() : IsMultiChannel() != 0;
    const int current = hooks.currentChannel ? hooks.currentChannel() : 0;
    if (!multi || current == 0) {
        if (hooks.sendChannelKey) {
            hooks.sendChannelKey(row);
        }
    } else if (hooks.requestChannel) {
        hooks.requestChannel(row + 1);
    }
}

void DetectionPage::OnEdit(bool fromButton) {
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty()) {
        if (fromButton) {
            ShowMessage(kNoItemText);
        }
        return;
    }
    const int row = m_list->indexOfTopLevelItem(selected.front());
    if (row < 0 || row >= m_channels) {
        return;
    }
    const auto n = static_cast<std::size_t>(row);
    CDetectionEditDlg dialog(m_device.HasFeature(kFeatureQuillmereOnly), this);
    SwitchLiveView(row);
    dialog.m_alarmIndex = m_alarm[n] <= 2 ? m_alarm[n] : 2;
    dialog.m_detectIndex = m_detect[n] == 1 ? 1 : 0;
    dialog.m_channelText = QString::asprintf("%2d", row + 1);
    dialog.m_ls = m_ls[n];
    dialog.m_ss = m_ss[n];
    dialog.m_ts = m_ts[n];
    dialog.m_re = m_re[n];
    dialog.m_area = m_area[n];
    dialog.WriteControls();

    const int result = platform::RunModal(dialog);
    if (result != QDialog::Accepted) {
        return;
    }
    const auto byte = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    // The alarm list offers three types; a type the device reported beyond
    // them is shown "OFF" and kept unless the operator picks one.
    if (dialog.m_alarmIndex >= 0 && byte(dialog.m_alarmIndex) != m_alarm[n] &&
        !(m_alarm[n] > 2 && dialog.m_alarmIndex == 2)) {
        m_alarm[n] = byte(dialog.m_alarmIndex);
        m_alarmChanged = true;
    }
    const auto store = [&](std::uint8_t& member, int value) {
        if (byte(value) != member) {
            member = byte(value);
            m_dvrLiveChanged = true;
        }
    };
    if (dialog.m_detectIndex >= 0 && !(m_detect[n] > 1 && dialog.m_detectIndex == 0)) {
        store(m_detect[n], dialog.m_detectIndex);
    }
    store(m_ls[n], dialog.m_ls);
    store(m_ss[n], dialog.m_ss);
    store(m_ts[n], dialog.m_ts);
    store(m_re[n], dialog.m_re);
    if (dialog.m_area != m_area[n]) {
        m_area[n] = dialog.m_area;
        m_dvrLiveChanged = true;
    }
    if (m_dvrLiveChanged) {
        WriteByte(m_dvrLive, DVRLIVE::Detect.At(n), m_detect[n]);
        WriteByte(m_dvrLive, DVRLIVE::Ls.At(n), m_ls[n]);
        WriteByte(m_dvrLive, DVRLIVE::Ss.At(n), m_ss[n]);
        WriteByte(m_dvrLive, DVRLIVE::Ts.At(n), m_ts[n]);
        WriteByte(m_dvrLive, DVRLIVE::Re.At(n), m_re[n]);
        const SectionField area = DVRLIVE::Area.At(n);
        if (area.end() <= m_dvrLive.size()) {
            std::copy(m_area[n].begin(), m_area[n].end(),
                      m_dvrLive.begin() + static_cast<std::ptrdiff_t>(area.offset));
        }
    }
    if (m_alarmChanged) {
        WriteByte(m_alarmSection, ALARM::AlarmInput.At(n), m_alarm[n]);
    }
    FillRow(row);
}

InPlacePageValues DetectionPage::TakePageValues() {
    return InPlacePageValues{m_dvrLiveChanged, m_alarmChanged};
}
