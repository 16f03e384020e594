#include "config/pages/schedule_record_page.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <vector>

#include "config/pages/page_controls.h"
#include "config/pages/report_list.h"
#include "core/application/string_table.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"

namespace {

using Clock = CTimeSettingDlg::Clock;

constexpr unsigned kSelectFirstText = 4086;
constexpr const char* kWrongText = "Time setting is wrong";
constexpr const char* kCoveredText = "Time setting is covered with other setting";
constexpr const char* kTooManyText =
    "Schedule record setting is too many,you could not add any more.";

std::tm LocalTime(Clock::time_point time) {
    const std::time_t t = Clock::to_time_t(time);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

// A local date, hour and minute (seconds 0) as a time point.
Clock::time_point FromLocal(const QDate& date, int hour, int minute) {
    std::tm local{};
    local.tm_year = date.year() - 1900;
    local.tm_mon = date.month() - 1;
    local.tm_mday = date.day();
    local.tm_hour = std::max(hour, 0);
    local.tm_min = std::max(minute, 0);
    local.tm_isdst = -1;
    return Clock::from_time_t(std::mktime(&local));
}

QDate DateOf(Clock::time_point time) {
    const std::tm local = LocalTime(time);
    return QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

QComboBox* NumberList(int count, int id, QWidget* parent) {
    auto* list = new QComboBox(parent);
    for (int i = 0; i < count; ++i) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2d", i);
        list->addItem(QString::fromLatin1(text));
    }
    return pages::Named(list, id);
}

}  // namespace

// ---- CTimeSettingDlg --------------------------------------------------------------

CTimeSettingDlg::CTimeSettingDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Time Setting"));
    auto* layout = new QVBoxLayout(this);
    const auto group = [&](const char* title, QDateEdit*& date, int dateId, QComboBox*& hour,
                           int hourId, QComboBox*& minute, int minuteId) {
        auto* box = new QGroupBox(QString::fromLatin1(title), this);
        auto* grid = new QGridLayout(box);
        date = new QDateEdit(box);
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        pages::Named(date, dateId);
        hour = NumberList(24, hourId, box);
        minute = NumberList(60, minuteId, box);
        grid->addWidget(new QLabel(QStringLiteral("Date :"), box), 0, 0);
        grid->addWidget(date, 0, 1);
        grid->addWidget(new QLabel(QStringLiteral("Hour :"), box), 1, 0);
        grid->addWidget(hour, 1, 1);
        grid->addWidget(new QLabel(QStringLiteral("Minute :"), box), 1, 2);
        grid->addWidget(minute, 1, 3);
        layout->addWidget(box);
    };
    group("Start", m_startDate, kIdStartDate, m_startHour, kIdStartHour, m_startMinute,
          kIdStartMinute);
    group("End", m_endDate, kIdEndDate, m_endHour, kIdEndHour, m_endMinute, kIdEndMinute);
    auto* buttons = new QHBoxLayout();
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &CTimeSettingDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CTimeSettingDlg::reject);
}

void CTimeSettingDlg::OnInitDialog(bool editMode, Clock::time_point now) {
    if (!editMode) {
        m_tStart = m_tEnd = now + std::chrono::minutes(5);
        const std::tm start = LocalTime(m_tStart);
        m_iStartHour = m_iEndHour = start.tm_hour;
        m_iStartMinute = m_iEndMinute = start.tm_min;
    }
    m_startDate->setDate(DateOf(m_tStart));
    m_endDate->setDate(DateOf(m_tEnd));
    m_startHour->setCurrentIndex(m_iStartHour);
    m_startMinute->setCurrentIndex(m_iStartMinute);
    m_endHour->setCurrentIndex(m_iEndHour);
    m_endMinute->setCurrentIndex(m_iEndMinute);
}

void CTimeSettingDlg::UpdateData() {
    m_iStartHour = m_startHour->currentIndex();
    m_iStartMinute = m_startMinute->currentIndex();
    m_iEndHour = m_endHour->currentIndex();
    m_iEndMinute = m_endMinute->currentIndex();
    m_tStart = FromLocal(m_startDate->date(), m_iStartHour, m_iStartMinute);
    m_tEnd = FromLocal(m_endDate->date(), m_iEndHour, m_iEndMinute);
}

void CTimeSettingDlg::accept() {
    UpdateData();
    QDialog::accept();
}

// ---- CScheduleRecordPage ----------------------------------------------------------

CScheduleRecordPage::CScheduleRecordPage(CSchRecord& schedule, QWidget* parent)
    : QWidget(parent), m_schedule(schedule), m_now([] { return Clock::now(); }) {
    using namespace pages;
    m_list = MakeList(this, kIdList, 10, 10, 440, 286);
    int x = 202;
    const auto button = [&](const char* text, int id, void (CScheduleRecordPage::*slot)()) {
        auto* b = MakeButton(this, id, QString::fromLatin1(text), x, 304, 80);
        x += 84;
        connect(b, &QPushButton::clicked, this, slot);
    };
    button("Add", kIdAdd, &CScheduleRecordPage::OnAdd);
    button("Delete", kIdDelete, &CScheduleRecordPage::OnDelete);
    button("Edit", kIdEdit, &CScheduleRecordPage::OnEdit);
    OnInitDialog();
}

std::string CScheduleRecordPage::TimeText(Clock::time_point time) {
    const std::tm t = LocalTime(time);
    char text[64];
    std::snprintf(text, sizeof text, "%.4d.%.2d.%.2d %.2d:%.2d:%.2d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

void CScheduleRecordPage::OnInitDialog() {
    const std::array<ReportColumn, 3> columns{{{QStringLiteral("NO."), 50},
                                               {QStringLiteral("Start"), 130},
                                               {QStringLiteral("End"), 130}}};
    SetReportColumns(m_list, columns);
    m_iSlotCount = 0;
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) {
        m_iSlotCount += m_schedule.GetScheduleSlot(i).enabled ? 1 : 0;
    }
    Rebuild();
}

void CScheduleRecordPage::Rebuild() {
    m_list->clear();
    int number = 0;
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) {
        const ScheduleSlot slot = m_schedule.GetScheduleSlot(i);
        if (!slot.enabled) {
            continue;
        }
        const std::array<QString, 3> cells{QString::number(++number),
                                           QString::fromStdString(TimeText(slot.start)),
                                           QString::fromStdString(TimeText(slot.end))};
        AppendReportRow(m_list, cells);
    }
}

int CScheduleRecordPage::SlotOfRow(int row) const {
    int used = 0;
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) {
        if (m_schedule.GetScheduleSlot(i).enabled && used++ == row) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool CScheduleRecordPage::SpanFits(const ScheduleSlot& span, int except) const {
    if (span.start >= span.end) {
        platform::ShowMessageBox(0, kWrongText);
        return false;
    }
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) {
        const ScheduleSlot slot = m_schedule.GetScheduleSlot(i);
        // The slot being edited is not in the new span's way.
        if (!slot.enabled || static_cast<int>(i) == except) {
            continue;
        }
        const bool after = span.start > slot.end && span.end > slot.end;
        const bool before = span.start < slot.start && span.end < slot.start;
        if (!after && !before) {
            platform::ShowMessageBox(0, kCoveredText);
            return false;
        }
    }
    return true;
}

void CScheduleRecordPage::SortSlots() {
    std::vector<ScheduleSlot> used;
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) {
        const ScheduleSlot slot = m_schedule.GetScheduleSlot(i);
        if (slot.enabled) {
            used.push_back(slot);
        }
    }
    std::stable_sort(used.begin(), used.end(), [](const ScheduleSlot& a, const ScheduleSlot& b) {
        return a.start < b.start;
    });
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) {
        m_schedule.SetScheduleSlot(i, i < used.size() ? used[i] : ScheduleSlot{});
    }
}

void CScheduleRecordPage::OnAdd() {
    CTimeSettingDlg dialog(this);
    m_bEditMode = false;
    dialog.OnInitDialog(m_bEditMode, m_now());
    if (platform::RunModal(dialog) != QDialog::Accepted) {
        return;
    }
    const ScheduleSlot span{dialog.m_tStart, dialog.m_tEnd, true};
    if (!SpanFits(span, -1)) {
        return;
    }
    for (std::size_t i = 0; i < CSchRecord::kSlots; ++i) {
        if (!m_schedule.GetScheduleSlot(i).enabled) {
            m_schedule.SetScheduleSlot(i, span);
            ++m_iSlotCount;
            SortSlots();
            Rebuild();
            return;
        }
    }
    platform::ShowMessageBox(0, kTooManyText);
}

void CScheduleRecordPage::OnEdit() {
    const auto row = FirstSelectedRow(m_list);
    const int index = row ? SlotOfRow(*row) : -1;
    if (index < 0) {
        ShowMessage(kSelectFirstText);
        return;
    }
    const ScheduleSlot slot = m_schedule.GetScheduleSlot(static_cast<std::size_t>(index));
    CTimeSettingDlg dialog(this);
    dialog.m_tStart = slot.start;
    dialog.m_tEnd = slot.end;
    const std::tm start = LocalTime(slot.start);
    const std::tm end = LocalTime(slot.end);
    dialog.m_iStartHour = start.tm_hour;
    dialog.m_iStartMinute = start.tm_min;
    dialog.m_iEndHour = end.tm_hour;
    dialog.m_iEndMinute = end.tm_min;
    m_bEditMode = true;
    dialog.OnInitDialog(m_bEditMode, m_now());
    if (platform::RunModal(dialog) != QDialog::Accepted) {
        return;
    }
    const ScheduleSlot span{dialog.m_tStart, dialog.m_tEnd, true};
    if (!SpanFits(span, index)) {
        return;
    }
    m_schedule.SetScheduleSlot(static_cast<std::size_t>(index), span);
    SortSlots();
    Rebuild();
}

void CScheduleRecordPage::OnDelete() {
    const auto row = FirstSelectedRow(m_list);
    const int index = row ? SlotOfRow(*row) : -1;
    if (index < 0) {
        ShowMessage(kSelectFirstText);
        return;
    }
    for (std::size_t i = static_cast<std::size_t>(index); i + 1 < CSchRecord::kSlots; ++i) {
        m_schedule.SetScheduleSlot(i, m_schedule.GetScheduleSlot(i + 1));
    }
    m_schedule.SetScheduleSlot(CSchRecord::kSlots - 1, ScheduleSlot{});
    --m_iSlotCount;
    Rebuild();
    const int rows = m_list->topLevelItemCount();
    if (rows > 0) {
        SelectReportRow(m_list, *row < rows ? *row : 0);
    }
}
