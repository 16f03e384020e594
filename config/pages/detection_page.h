#pragma once

// The "Detection" page of a recorder: per channel the detection switch, the
// LS, SS, TS and RE values and the alarm input type, from DVRLIVE and ALARM.
// "Edit" (or a double click) opens the edit dialog for the selected channel
// after switching the live view to it; accepted changes go straight into the
// sections and mark them changed, and the sheet's APPLY sends them.

#include <QWidget>

#include <array>
#include <functional>

#include "config/pages/motion_area_grid.h"
#include "config/sheet/save_routines.h"
#include "config/sheet/sheet_pages.h"

class CDetectionEditDlg;
class QPushButton;
class QTreeWidget;

// How the page switches the live view to a channel. The main window's
// channel bar and the device key sender provide these; until they are
// connected the view is not switched.
struct DetectionChannelSwitch {
    std::function<bool()> isCurrentMaster;  // the current linked device is a master
    std::function<bool()> isMultiChannel;   // MULTICH; empty: the login's value
    std::function<int()> currentChannel;    // the channel bar's current channel (0: own view)
    std::function<void(int keyIndex)> sendChannelKey;  // the CH1..CH16 key of index 0..15
    std::function<void(int channel)> requestChannel;   // 1-based
};
void SetDetectionChannelSwitch(DetectionChannelSwitch hooks);

class DetectionPage : public QWidget, public SheetPageValues<InPlacePageValues> {
    Q_OBJECT
public:
    // `dvrLive` and `alarm` are the sheet's sections, edited in place.
    DetectionPage(const DeviceIdentity& device, std::span<std::uint8_t> dvrLive,
                  std::span<std::uint8_t> alarm, QWidget* parent = nullptr);

    InPlacePageValues TakePageValues() override;

    // The Edit button (fromButton) or a double click.
    void OnEdit(bool fromButton = true);

    QTreeWidget* List() const { return m_list; }
    QPushButton* EditButton() const { return m_edit; }
    int Channels() const { return m_channels; }
    bool DvrLiveChanged() const { return m_dvrLiveChanged; }
    bool AlarmChanged() const { return m_alarmChanged; }

    QString AlarmText(std::uint8_t type) const;

private:
    void FillRow(int row);
    void SwitchLiveView(int row) const;

    DeviceIdentity m_device;
    std::span<std::uint8_t> m_dvrLive;
    std::span<std::uint8_t> m_alarmSection;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_edit = nullptr;
    bool m_dvrLiveChanged = false;
    bool m_alarmChanged = false;
    std::array<std::uint8_t, 16> m_detect{}, m_ls{}, m_ss{}, m_ts{}, m_re{}, m_alarm{};
    std::array<MotionAreaGrid, 16> m_area{};
    int m_channels = 0;
};
