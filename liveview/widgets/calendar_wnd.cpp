#include "liveview/widgets/calendar_wnd.h"

#include <qdrawutil.h>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "liveview/widgets/calendar_math.h"
#include "liveview/widgets/date_time_editor.h"

namespace liveview {

namespace {

constexpr int kCellsLeft = 9, kCellsTop = 46, kCellWidth = 27, kCellHeight = 20;
constexpr int kColumnStep = 26, kRowStep = 19;
constexpr int kHitLeft = 8, kHitTop = 45;

QDateTime WithDay(const QDateTime& base, int year, int month, int day) {
    day = std::clamp(day, 1, std::max(1, DaysInMonth(month, year)));
    return QDateTime(QDate(year, month, day), base.time());
}

}  // namespace

CCalendarWnd::CCalendarWnd(QLocale locale)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint),
      m_locale(std::move(locale)),
      m_date(QDateTime::currentDateTime()),
      m_today(QDate::currentDate()) {
    m_firstWeekday = static_cast<int>(m_locale.firstDayOfWeek()) % 7;  // Qt: Monday 1 .. Sunday 7
}

CCalendarWnd::~CCalendarWnd() = default;

bool CCalendarWnd::CreatePopup(int x, int y, CDateTimeEditor* owner) {
    m_owner = owner;
    setGeometry(x, y, 120, 120);
    resize(200, 180);

    m_monthFont = QFont("Arial", 9);
    m_weekdayFont = QFont("Arial", 9);
    m_weekdayFont.setStretch(80);
    m_dayFont = QFont("Arial", 8);
    m_dayFont.setItalic(true);
    m_todayFont = QFont("Arial", 8, 800, true);
    m_todayFont.setUnderline(true);

    const int r = width();
    struct ButtonDef {
        int id;
        const char* text;
        int left, right;
    };
    const ButtonDef buttons[] = {{kTodayId, "D", 5, 30},
                                 {kPrevMonthId, "<", 35, 50},
                                 {kNextMonthId, ">", r - 83, r - 68},
                                 {kPrevYearId, "<", r - 67, r - 52},
                                 {kNextYearId, ">", r - 20, r - 5}};
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        auto* b = new QPushButton(buttons[i].text, this);
        b->setObjectName(QString::number(buttons[i].id));
        b->setGeometry(buttons[i].left, 5, buttons[i].right - buttons[i].left, 15);
        b->setFocusPolicy(Qt::NoFocus);
        m_buttons[i] = b;
    }
    connect(m_buttons[0], &QPushButton::clicked, this, &CCalendarWnd::GoToday);
    connect(m_buttons[1], &QPushButton::clicked, this, [this] { StepMonth(-1); });
    connect(m_buttons[2], &QPushButton::clicked, this, [this] { StepMonth(+1); });
    connect(m_buttons[3], &QPushButton::clicked, this, [this] { StepYear(-1); });
    connect(m_buttons[4], &QPushButton::clicked, this, [this] { StepYear(+1); });

    m_monthLength = DaysInMonth(m_date.date().month(), m_date.date().year());
    FillDays();
    show();
    setFocus(Qt::PopupFocusReason);
    return true;
}

QPushButton* CCalendarWnd::Button(int id) const {
    const int index = id - kTodayId;
    return index >= 0 && index < static_cast<int>(m_buttons.size())
               ? m_buttons[static_cast<std::size_t>(index)]
               : nullptr;
}

void CCalendarWnd::SetBackColor(QColor color) {
    m_backColor = color;
}

void CCalendarWnd::ShowDate(const QDateTime& date) {
    if (!date.isValid()) {
        return;
    }
    m_date = date;
    m_monthLength = DaysInMonth(m_date.date().month(), m_date.date().year());
    FillDays();
    NotifyOwner();
}

void CCalendarWnd::SetDay(int day) {
    const QDate d = m_date.date();
    m_date = WithDay(m_date, d.year(), d.month(), day);
    NotifyOwner();
}

void CCalendarWnd::NotifyOwner() {
    if (m_owner) {
        m_owner->SetDate(m_date);
    }
}

void CCalendarWnd::CloseUp() {
    // The owner's close-up hook has nothing to do.
}

QString CCalendarWnd::WeekdayName(int column) const {
    const int weekday = (column + m_firstWeekday) % 7;  // 0 Sunday
    return m_locale.dayName(weekday == 0 ? 7 : weekday, QLocale::ShortFormat);
}

void CCalendarWnd::FillDays() {
    const QDate d = m_date.date();
    const int first = (DayOfWeek(d.year(), d.month(), 1) - m_firstWeekday + 7) % 7;
    const bool todayShown = m_today.year() == d.year() && m_today.month() == d.month();
    for (int i = 0; i < static_cast<int>(m_cells.size()); ++i) {
        DayCell& cell = m_cells[static_cast<std::size_t>(i)];
        const int day = i - first + 1;
        if (day < 1 || day > m_monthLength) {
            cell = {0, kEmpty, false};
        } else {
            cell = {day, day == d.day() ? kSelected : kNormal, todayShown && day == m_today.day()};
        }
    }
    update();
}

void CCalendarWnd::MoveTo(QDateTime next) {
    next.setTime(QTime(next.time().hour(), next.time().minute(), 0));
    m_monthLength = DaysInMonth(next.date().month(), next.date().year());
    if (next != m_date) {
        ShowDate(next);
        update();
    }
}

void CCalendarWnd::GoToday() {
    MoveTo(QDateTime(m_today, m_date.time()));
}

void CCalendarWnd::StepMonth(int step) {
    const QDate d = m_date.date();
    int month = d.month() + step;
    int year = d.year();
    if (month < 1) {
        month = 12, --year;
    } else if (month > 12) {
        month = 1, ++year;
    }
    MoveTo(WithDay(m_date, year, month, d.day()));
}

void CCalendarWnd::StepYear(int step) {
    const QDate d = m_date.date();
    MoveTo(WithDay(m_date, d.year() + step, d.month(), d.day()));
}

void CCalendarWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (!rect().contains(at)) {
        CloseUp();
        return;
    }
    int previous = -1;
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        if (m_cells[i].state == kSelected) {
            previous = static_cast<int>(i);
        }
        if (m_cells[i].state != kEmpty) {
            m_cells[i].state = kNormal;
        }
    }
    for (int i = 0; i < static_cast<int>(m_cells.size()); ++i) {
        DayCell& cell = m_cells[static_cast<std::size_t>(i)];
        const QRect box(kHitLeft + (i % 7) * kColumnStep, kHitTop + (i / 7) * kRowStep, kCellWidth,
                        kCellHeight);
        if (cell.state != kEmpty && box.contains(at)) {
            cell.state = kSelected;
            update();
            SetDay(cell.day);
            CloseUp();
            return;
        }
    }
    if (previous >= 0) {
        m_cells[static_cast<std::size_t>(previous)].state = kSelected;
    }
    update();
}

void CCalendarWnd::paintEvent(QPaintEvent* event) {
    // Drawn off screen, then copied over the clip box.
    QPixmap canvas(size());
    canvas.fill(m_backColor);
    {
        QPainter p(&canvas);
        const int r = width();
        const QColor frame(120, 160, 160);
        const QColor text(50, 50, 50);
        p.setPen(frame);
        p.setBrush(m_backColor);
        p.drawRect(QRect(0, 4, width() - 1, height() - 5));
        const QRect band(1, 1, width() - 2, 24);
        qDrawShadePanel(&p, band, palette(), false, 1, &palette().brush(QPalette::Button));

        p.setFont(m_monthFont);
        p.setPen(text);
        const QDate d = m_date.date();
        const QString month = m_locale.monthName(d.month(), QLocale::LongFormat);
        const int monthWidth = p.fontMetrics().horizontalAdvance(month);
        const int lineHeight = p.fontMetrics().height();
        p.drawText(QRect(83 - monthWidth / 2, 4, monthWidth, lineHeight), Qt::AlignCenter, month);
        p.drawText(QRect(0, 4, r - 20, lineHeight), Qt::AlignRight | Qt::AlignTop,
                   QString::number(d.year()));

        p.setFont(m_weekdayFont);
        p.setPen(frame);
        for (int c = 0; c < 7; ++c) {
            p.drawText(QRect(kCellsLeft + c * kColumnStep, 28, kColumnStep, 14),
                       Qt::AlignHCenter | Qt::AlignTop, WeekdayName(c));
        }
        p.drawLine(5, 42, r - 5, 42);

        for (int i = 0; i < static_cast<int>(m_cells.size()); ++i) {
            const DayCell& cell = m_cells[static_cast<std::size_t>(i)];
            const QRect box(kCellsLeft + (i % 7) * kColumnStep, kCellsTop + (i / 7) * kRowStep,
                            kCellWidth, kCellHeight);
            QColor color = text;
            if (cell.state == kSelected) {
                qDrawShadePanel(&p, box, palette(), true, 1);
                color = QColor(150, 150, 150);
            } else {
                qDrawShadeRect(&p, box, palette(), true, 1);
            }
            if (i % 7 == 0 && cell.state != kEmpty) {
                color = cell.state == kSelected ? QColor(200, 120, 120) : QColor(200, 0, 0);
            }
            if (cell.state == kEmpty) {
                continue;
            }
            p.setFont(cell.today ? m_todayFont : m_dayFont);
            p.setPen(color);
            p.drawText(box.adjusted(0, 3, 0, 0), Qt::AlignHCenter | Qt::AlignTop,
                       QString::number(cell.day));
        }
    }
    QPainter screen(this);
    const QRect clip = event->rect();
    screen.drawPixmap(clip, canvas, clip);
}

}  // namespace liveview
