#pragma once

// The "Schedule Record" page and its "Time Setting" dialog. The sheet builds
// the page but no family shows it. It edits the ten time slots of the
// schedule recorder: add, edit and delete, each span checked against the
// others.

#include <QDialog>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "media/sch_record.h"

class QComboBox;
class QDateEdit;
class QPushButton;
class QTreeWidget;

class CTimeSettingDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kIdStartDate = 1360;
    static constexpr int kIdEndDate = 1361;
    static constexpr int kIdStartHour = 1195;
    static constexpr int kIdStartMinute = 1196;
    static constexpr int kIdEndHour = 1197;
    static constexpr int kIdEndMinute = 1198;

    using Clock = std::chrono::system_clock;

    explicit CTimeSettingDlg(QWidget* parent = nullptr);

    // Members, in order.
    Clock::time_point m_tEnd{};
    Clock::time_point m_tStart{};
    int m_iEndHour = -1;
    int m_iEndMinute = -1;
    int m_iStartHour = -1;
    int m_iStartMinute = -1;

    // The set-up: outside edit mode both dates start five minutes from
    // `now`; the lists are set from the start and end times.
    void OnInitDialog(bool editMode, Clock::time_point now);
    // Start and end from the dates, hours and minutes (seconds 0).
    void UpdateData();

    QDateEdit* StartDate() const { return m_startDate; }
    QDateEdit* EndDate() const { return m_endDate; }
    QComboBox* StartHour() const { return m_startHour; }
    QComboBox* StartMinute() const { return m_startMinute; }
    QComboBox* EndHour() const { return m_endHour; }
    QComboBox* EndMinute() const { return m_endMinute; }
    QPushButton* OkButton() const { return m_ok; }

    void accept() override;

private:
    QDateEdit* m_startDate = nullptr;
    QDateEdit* m_endDate = nullptr;
    QComboBox* m_startHour = nullptr;
    QComboBox* m_startMinute = nullptr;
    QComboBox* m_endHour = nullptr;
    QComboBox* m_endMinute = nullptr;
    QPushButton* m_ok = nullptr;
};

class CScheduleRecordPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdList = 1356;
    static constexpr int kIdAdd = 1068;
    static constexpr int kIdDelete = 1069;
    static constexpr int kIdEdit = 1119;

    explicit CScheduleRecordPage(CSchRecord& schedule, QWidget* parent = nullptr);

    void OnInitDialog();
    void OnAdd();
    void OnEdit();
    void OnDelete();

    // The time the dialog's dates start from (tests fix it).
    void SetNow(std::function<CTimeSettingDlg::Clock::time_point()> now) { m_now = std::move(now); }

    QTreeWidget* List() const { return m_list; }
    int SlotCount() const { return m_iSlotCount; }

    // "%.4d.%.2d.%.2d %.2d:%.2d:%.2d" in local time.
    static std::string TimeText(CTimeSettingDlg::Clock::time_point time);

private:
    void Rebuild();
    // The slot index of a list row; -1 when none.
    int SlotOfRow(int row) const;
    // Whether the span may take a slot: start before end and no overlap
    // with another used slot (`except` is the slot being edited). Shows the
    // message when not.
    bool SpanFits(const ScheduleSlot& span, int except) const;
    void SortSlots();

    CSchRecord& m_schedule;
    std::function<CTimeSettingDlg::Clock::time_point()> m_now;
    int m_iSlotCount = 0;
    bool m_bEditMode = false;
    QTreeWidget* m_list = nullptr;
};
