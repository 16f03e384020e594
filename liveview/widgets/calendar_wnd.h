#pragma once

// A month calendar popup: a header with the month and the year and buttons
// for today, the previous and next month and year, the weekday names from
// the locale's first day of the week, and six rows of seven day cells. A
// click on a day picks it and hands the date to the owning editor.

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QPointer>
#include <QWidget>
#include <array>

class QPushButton;

namespace liveview {

class CDateTimeEditor;

class CCalendarWnd : public QWidget {
    Q_OBJECT

public:
    enum CellState : int { kSelected = 0, kNormal = 1, kEmpty = 2 };
    struct DayCell {
        int day = 0;
        int state = kEmpty;
        bool today = false;
    };
    static constexpr int kTodayId = 8580;
    static constexpr int kPrevMonthId = 8581;
    static constexpr int kNextMonthId = 8582;
    static constexpr int kPrevYearId = 8583;
    static constexpr int kNextYearId = 8584;

    explicit CCalendarWnd(QLocale locale = QLocale());
    ~CCalendarWnd() override;

    // Shows the popup at (x, y) for `owner` (may be null).
    bool CreatePopup(int x, int y, CDateTimeEditor* owner);
    void SetBackColor(QColor color);
    void ShowDate(const QDateTime& date);
    void SetDay(int day);
    void NotifyOwner();
    void CloseUp();
    void FillDays();

    // The month and year steps of the header buttons.
    void GoToday();
    void StepMonth(int step);
    void StepYear(int step);

    // Today's date; tests fix it.
    void SetToday(QDate today) { m_today = today; }

    const QDateTime& Date() const { return m_date; }
    const std::array<DayCell, 42>& Cells() const { return m_cells; }
    int MonthLength() const { return m_monthLength; }
    int FirstWeekday() const { return m_firstWeekday; }
    QString WeekdayName(int column) const;
    QPushButton* Button(int id) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void MoveTo(QDateTime next);

    QLocale m_locale;
    QFont m_monthFont;
    QFont m_weekdayFont;
    QFont m_dayFont;
    QFont m_todayFont;
    QColor m_backColor = QColor(0, 0, 0);
    QPointer<CDateTimeEditor> m_owner;
    QDateTime m_date;
    std::array<DayCell, 42> m_cells{};
    int m_monthLength = 0;
    int m_firstWeekday = 0;  // 0 Sunday .. 6 Saturday
    QDate m_today;
    std::array<QPushButton*, 5> m_buttons{};
};

}  // namespace liveview
