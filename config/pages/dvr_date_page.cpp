#include "config/pages/dvr_date_page.h"

#include <QComboBox>
#include <QDateEdit>
#include <QRadioButton>
#include <QTimeEdit>

#include "config/pages/page_controls.h"
#include "core/state/app_global_state.h"

namespace {

const QStringList kWeeks{"1ST", "2ND", "3RD", "4TH", "LAST"};
const QStringList kMonths{"JAN", "FEB", "MAR", "APR", "MAY", "JUE",
                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Every control of the page is placed by the kit; lists start without a
// row chosen.
QComboBox* List(QWidget* parent, int id, const QStringList& items, int x, int y) {
    auto* list = pages::MakeCombo(parent, id, x, y, 80);
    list->addItems(items);
    list->setCurrentIndex(-1);
    return list;
}

QTimeEdit* ShortTime(QWidget* parent, int id, int x, int y) {
    auto* edit = pages::MakeControl<QTimeEdit>(parent, id, x, y, 80);
    edit->setDisplayFormat("HH : mm");
    return edit;
}

QTime TimeOf(int hour, int minute, int second = 0) {
    return QTime(hour, minute, second);
}

}  // namespace

DVRDatePage::DVRDatePage(DeviceIdentity device, QWidget* parent)
    : QWidget(parent), m_device(std::move(device)) {
    using namespace pages;
    // The rule's rows: START, END and ADJUST.
    constexpr int kStartY = 122;
    constexpr int kEndY = 152;
    constexpr int kAdjustY = 182;
    m_start = ShortTime(this, 1499, 362, kStartY);
    m_end = ShortTime(this, 1502, 362, kEndY);
    m_adjust = ShortTime(this, 1503, 362, kAdjustY);
    m_time = MakeControl<QTimeEdit>(this, 1481, 280, 10, 170);
    m_time->setDisplayFormat("HH : mm : ss");
    m_date = MakeControl<QDateEdit>(this, 1480, 100, 10, 170);
    m_date->setDisplayFormat(DateFormatFor(0));
    m_format = MakeCombo(this, 1195, 100, 38, 170);
    m_format->addItems({"Y-M-D", "M-D-Y", "D-M-Y"});
    m_format->setCurrentIndex(-1);
    m_startWeek = List(this, 1497, kWeeks, 104, kStartY);
    m_endWeek = List(this, 1500, kWeeks, 104, kEndY);
    m_startWeekday =
        List(this, 1504, {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"}, 190, kStartY);
    m_endWeekday = List(this, 1506, {"SUN", "MON", "TUE", "WEK", "THU", "FRI", "SAT"}, 190, kEndY);
    m_startMonth = List(this, 1505, kMonths, 276, kStartY);
    m_endMonth = List(this, 1507, kMonths, 276, kEndY);
    m_on = MakeRadio(this, 1482, "ON", 104, 94, 80);
    m_off = MakeRadio(this, 1483, "OFF", 190, 94, 80);
    MakeLabel(this, 0, "DATE", 10, 11, 80);
    MakeLabel(this, 0, "FORMAT", 10, 39, 80);
    MakeGroup(this, 0, "DAYLIGHT SAVING", 10, 66, 440, 146);
    MakeLabel(this, 0, "START :", 20, kStartY + 1, 80);
    MakeLabel(this, 0, "END :", 20, kEndY + 1, 80);
    MakeLabel(this, 0, "ADJUST :", 20, kAdjustY + 1, 80);
    connect(m_on, &QRadioButton::clicked, this, [this] { SetDaylight(1); });
    connect(m_off, &QRadioButton::clicked, this, [this] { SetDaylight(0); });
    connect(m_format, &QComboBox::currentIndexChanged, this, &DVRDatePage::OnFormatChanged);
    OnInitDialog();
}

QString DVRDatePage::DateFormatFor(int formatIndex) {
    switch (formatIndex) {
        case 1:
            return "MMM - dd - yyyy";
        case 2:
            return "dd - MMM - yyyy";
        default:
            return "yyyy - MMM - dd";
    }
}

int DVRDatePage::ReadDeviceDate() {
    const auto reply = QueryDvrSetting(CgiCommand::kGetDvrDate);
    if (!reply) {
        return 0;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply->data());
    ParseDvrDateReply(std::span(bytes, reply->size()), m_values);
    return 1;
}

void DVRDatePage::OnInitDialog() {
    if (!m_device.IsDvr() || !m_device.Meets("1058") || ReadDeviceDate() == 0) {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 m_date, m_time, m_format, m_on, m_off, m_startWeek, m_start, m_endWeek, m_end,
                 m_adjust, m_startWeekday, m_startMonth, m_endWeekday, m_endMonth}) {
            w->setEnabled(false);
        }
        for (QDateTimeEdit* picker :
             std::initializer_list<QDateTimeEdit*>{m_date, m_time, m_start, m_end, m_adjust}) {
            pages::ShowNoValue(picker);
        }
        return;
    }
    m_filled = true;
    const QSignalBlocker block(m_format);
    m_format->setCurrentIndex(m_values.format < m_format->count() ? m_values.format : -1);
    m_date->setDisplayFormat(DateFormatFor(m_values.format));
    SetDaylight(m_values.daylightSaving != 0 ? 1 : 0);
    m_daylight = m_values.daylightSaving;
    m_date->setDate(QDate(m_values.year, m_values.month, m_values.day));
    m_time->setTime(TimeOf(m_values.hour, m_values.minute, m_values.second));
    m_start->setTime(TimeOf(m_values.startHour, m_values.startMinute));
    m_end->setTime(TimeOf(m_values.endHour, m_values.endMinute));
    m_adjust->setTime(TimeOf(m_values.adjustHour, m_values.adjustMinute));
    m_shown = {m_date->date(), m_time->time(), m_start->time(), m_end->time(), m_adjust->time()};
    const auto select = [](QComboBox* list, std::uint8_t index) {
        list->setCurrentIndex(index < list->count() ? index : -1);
    };
    select(m_startWeek, m_values.startWeek);
    select(m_endWeek, m_values.endWeek);
    select(m_endWeekday, m_values.endWeekday);
    select(m_endMonth, m_values.endMonth);
    select(m_startWeekday, m_values.startWeekday);
    select(m_startMonth, m_values.startMonth);
}

void DVRDatePage::SetDaylight(std::uint8_t flag) {
    m_daylight = flag;
    m_on->setChecked(flag != 0);
    m_off->setChecked(flag == 0);
}

void DVRDatePage::OnFormatChanged(int index) {
    m_date->setDisplayFormat(DateFormatFor(index));
}

DvrDateEdits DVRDatePage::Edits() const {
    DvrDateEdits e;
    const QDate date = m_date->date();
    const QTime time = m_time->time();
    e.year = date.year();
    e.month = date.month();
    e.day = date.day();
    e.dayOfWeek = date.dayOfWeek() % 7;  // Sunday is 7 in the picker, 0 on the device
    e.hour = time.hour();
    e.minute = time.minute();
    e.second = time.second();
    // A list left without a selection (the device reported a value beyond
    // it) keeps the device's value instead of sending -1.
    const auto index = [](const QComboBox* list, std::uint8_t device) {
        return list->currentIndex() < 0 ? static_cast<int>(device) : list->currentIndex();
    };
    e.formatIndex = index(m_format, m_values.format);
    e.daylight = m_daylight;
    e.startWeekIndex = index(m_startWeek, m_values.startWeek);
    e.startWeekdayIndex = index(m_startWeekday, m_values.startWeekday);
    e.startMonthIndex = index(m_startMonth, m_values.startMonth);
    e.endWeekIndex = index(m_endWeek, m_values.endWeek);
    e.endWeekdayIndex = index(m_endWeekday, m_values.endWeekday);
    e.endMonthIndex = index(m_endMonth, m_values.endMonth);
    e.startHour = m_start->time().hour();
    e.startMinute = m_start->time().minute();
    e.endHour = m_end->time().hour();
    e.endMinute = m_end->time().minute();
    e.adjustHour = m_adjust->time().hour();
    e.adjustMinute = m_adjust->time().minute();
    // A picker still showing what the page put into it stands for the
    // device's value, even one it could not show (a month 0, an hour 25):
    // only the operator's own edits count as changes.
    if (date == m_shown.date && time == m_shown.time) {
        e.year = m_values.year;
        e.month = m_values.month;
        e.day = m_values.day;
        e.hour = m_values.hour;
        e.minute = m_values.minute;
        e.second = m_values.second;
    }
    const auto keep = [](const QTimeEdit* picker, const QTime& shown, int& hour, int& minute,
                         std::uint8_t deviceHour, std::uint8_t deviceMinute) {
        if (picker->time() == shown) {
            hour = deviceHour;
            minute = deviceMinute;
        }
    };
    keep(m_start, m_shown.start, e.startHour, e.startMinute, m_values.startHour,
         m_values.startMinute);
    keep(m_end, m_shown.end, e.endHour, e.endMinute, m_values.endHour, m_values.endMinute);
    keep(m_adjust, m_shown.adjust, e.adjustHour, e.adjustMinute, m_values.adjustHour,
         m_values.adjustMinute);
    return e;
}

int DVRDatePage::SaveToDevice() {
    // A page the device never filled holds nothing of the device's: sending
    // it would set the recorder's clock to whatever the pickers show.
    if (!m_filled) {
        return 1;
    }
    const auto target = BuildSetDvrDate(m_values, Edits(), g_szSessionCookie.Get());
    if (!target) {
        return 1;
    }
    return SendDvrSettingCommand(CgiCommand::kSetDvrDate, *target);
}

QWidget* DVRDatePage::Control(int id) const {
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id) {
            return w;
        }
    }
    return nullptr;
}
