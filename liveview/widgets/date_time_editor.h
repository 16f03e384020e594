#pragma once

// An edit-like control for a date and time: the value is shown as separate
// fields in the locale's order (day, month name, year, then hour, minute,
// second and AM/PM) and changed field by field with digits, letters (month
// names, AM/PM), the arrow keys, Home and End, and a spin button. A
// drop-down button carrying a calendar face sits beside the spin button.
//
// The locale's texts are used only through bounds-checked access: an empty
// or one-character separator, designator or month name is handled like any
// other.

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>

namespace liveview {

class CIconButton;
class SpinArrows;

class CDateTimeEditor : public QWidget {
    Q_OBJECT

public:
    enum Field : int {
        kNone = 0,
        kDay = 1,
        kMonth = 2,
        kYear = 3,
        kHour = 4,
        kMinute = 5,
        kSecond = 6,
        kAmPm = 7,
    };
    static constexpr int kDropDownId = 8585;
    static constexpr int kSpinId = 8586;

    explicit CDateTimeEditor(QWidget* parent = nullptr);
    CDateTimeEditor(bool showTime, QWidget* parent = nullptr, QLocale locale = QLocale());
    ~CDateTimeEditor() override;

    // Year, month and day, with hour and minute when time is shown; seconds 0.
    QDateTime GetValue() const;
    void SetDate(const QDateTime& date);

    // Reads the field order, separators and designators of the locale and
    // lays the control out again.
    void SetLocale(const QLocale& locale);
    void ReadLocale();
    void Layout();
    std::optional<QRect> GetFieldRect(int index) const;

    void Increment(int step);
    void SetFieldLimit(bool maximum);
    void TypeDigit(int digit);
    void TypeMonthLetter(QChar letter);
    void TypeAmPmLetter(QChar letter);
    void PrevField();
    void NextField();
    // The drop-down button's click; it opens nothing.
    void OnDropDown() {}

    // State, for the owner and tests.
    const QDateTime& Value() const { return m_value; }
    int FieldCount() const { return m_fieldCount; }
    int FieldAt(int index) const;
    int SelectedField() const { return m_selected; }
    int CurrentField() const { return m_currentField; }
    int PendingDigit() const { return m_pendingDigit; }
    bool Is24Hour() const { return m_b24Hour; }
    const QString& DateSeparator() const { return m_dateSeparator; }
    const QString& TimeSeparator() const { return m_timeSeparator; }
    const QString& AmText() const { return m_amText; }
    const QString& PmText() const { return m_pmText; }
    QString FieldText(int index) const;
    QString SeparatorAfter(int index) const;
    QRect TextArea() const { return m_textArea; }
    int BeepCount() const { return m_beeps; }
    CIconButton* DropDownButton() const { return m_dropDown; }
    QWidget* SpinButton() const;
    void SelectField(int index);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Create();
    void Beep();
    void Store(const QDateTime& value);
    void OnSpin(int delta);

    QLocale m_locale;
    QDateTime m_value;
    CIconButton* m_dropDown = nullptr;
    SpinArrows* m_spin = nullptr;
    QString m_dateSeparator;
    QString m_timeSeparator;
    std::array<int, 7> m_fieldOrder{};
    int m_currentField = kNone;
    bool m_b24Hour = true;
    int m_fieldCount = 0;
    QString m_amText;
    QString m_pmText;
    int m_width = 0;
    int m_height = 0;
    QRect m_textArea;
    QRect m_buttonArea;
    QFont m_font;
    bool m_bFocus = false;
    int m_selected = 0;
    int m_pendingDigit = -1;
    bool m_bShowTime = true;
    int m_beeps = 0;
};

}  // namespace liveview
