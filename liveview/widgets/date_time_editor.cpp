#include "liveview/widgets/date_time_editor.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <functional>

#include "liveview/widgets/calendar_math.h"
#include "liveview/widgets/icon_button.h"
#include "platform/program_folder.h"

namespace liveview {

// The up-down arrows beside the editor: a press on the upper half steps up,
// on the lower half down.
class SpinArrows : public QWidget {
public:
    explicit SpinArrows(CDateTimeEditor* editor, std::function<void(int)> onStep)
        : QWidget(editor), m_onStep(std::move(onStep)) {
        setFocusPolicy(Qt::NoFocus);
    }
    void Press(bool up) { m_onStep(up ? +1 : -1); }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        Press(event->position().y() < height() / 2.0);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOption opt;
        opt.initFrom(this);
        const int half = height() / 2;
        for (const bool up : {true, false}) {
            const QRect r =
                up ? QRect(0, 0, width(), half) : QRect(0, half, width(), height() - half);
            qDrawShadePanel(&p, r, palette(), false, 1, &palette().brush(QPalette::Button));
            opt.rect = r.adjusted(2, 1, -2, -1);
            style()->drawPrimitive(up ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                                   &opt, &p, this);
        }
    }

private:
    std::function<void(int)> m_onStep;
};

namespace {

bool IsDateField(int code) {
    return code >= CDateTimeEditor::kDay && code <= CDateTimeEditor::kYear;
}
bool IsTimeField(int code) {
    return code >= CDateTimeEditor::kHour && code <= CDateTimeEditor::kSecond;
}

// The same moment with the date's day limited to its month.
QDateTime WithDate(const QDateTime& base, int year, int month, int day) {
    day = std::clamp(day, 1, std::max(1, DaysInMonth(month, year)));
    return QDateTime(QDate(year, month, day), base.time());
}

QDateTime WithTime(const QDateTime& base, int hour, int minute, int second) {
    return QDateTime(base.date(), QTime(hour, minute, second));
}

QDateTime WithMonth(const QDateTime& v, int month) {
    // A day that was the month's last, or does not exist in the new month,
    // becomes the new month's last day.
    const QDate d = v.date();
    const bool wasLast = d.day() == DaysInMonth(d.month(), d.year());
    const int last = DaysInMonth(month, d.year());
    return WithDate(v, d.year(), month, wasLast || d.day() > last ? last : d.day());
}

// The separator between the first two of `letters` in a locale format
// ("dd/MM/yyyy" gives "/"); empty when they follow each other directly.
QString SeparatorIn(const QString& format, const QString& letters) {
    int i = 0;
    while (i < format.size() && !letters.contains(format[i])) {
        ++i;
    }
    while (i < format.size() && letters.contains(format[i])) {
        ++i;
    }
    const int start = i;
    while (i < format.size() && !letters.contains(format[i])) {
        if (format[i] == u'\'') {
            return format.mid(start, i - start);  // quoted text ends the search
        }
        ++i;
    }
    return i < format.size() ? format.mid(start, i - start) : QString();
}

}  // namespace

CDateTimeEditor::CDateTimeEditor(QWidget* parent) : CDateTimeEditor(true, parent) {}

CDateTimeEditor::CDateTimeEditor(bool showTime, QWidget* parent, QLocale locale)
    : QWidget(parent),
      m_locale(std::move(locale)),
      m_value(QDateTime::currentDateTime()),
      m_bShowTime(showTime) {
    setFocusPolicy(Qt::StrongFocus);
    Create();
}

CDateTimeEditor::~CDateTimeEditor() = default;

void CDateTimeEditor::Create() {
    m_dropDown = new CIconButton(this);
    m_dropDown->setObjectName(QString::number(kDropDownId));
    m_dropDown->setFocusPolicy(Qt::NoFocus);
    const auto face = platform::ProgramFolder() / "res" / "mybutton" / "calendar.bmp";
    m_dropDown->SetBitmaps(QString::fromStdString(face.string()), QColor(255, 0, 0));
    m_dropDown->DrawTransparent(false);
    connect(m_dropDown, &QPushButton::clicked, this, &CDateTimeEditor::OnDropDown);
    m_spin = new SpinArrows(this, [this](int delta) { OnSpin(delta); });
    m_spin->setObjectName(QString::number(kSpinId));

    m_font = QFont("Arial");
    m_font.setPointSize(10);
    ReadLocale();
    Layout();
}

QWidget* CDateTimeEditor::SpinButton() const {
    return m_spin;
}

void CDateTimeEditor::SetLocale(const QLocale& locale) {
    m_locale = locale;
    ReadLocale();
    Layout();
    update();
}

void CDateTimeEditor::ReadLocale() {
    const QString date = m_locale.dateFormat(QLocale::ShortFormat);
    const QString time = m_locale.timeFormat(QLocale::ShortFormat);
    m_dateSeparator = SeparatorIn(date, "dMy");
    m_timeSeparator = SeparatorIn(time, "hHms");

    // Short-date order: month first, day first or year first.
    const auto position = [&date](QChar c) {
        const qsizetype at = date.indexOf(c);
        return at < 0 ? date.size() : at;
    };
    const qsizetype d = position(u'd');
    const qsizetype m = position(u'M');
    const qsizetype y = position(u'y');
    std::array<int, 3> order{kDay, kMonth, kYear};
    if (y < d && y < m) {
        order = {kYear, kMonth, kDay};
    } else if (m < d) {
        order = {kMonth, kDay, kYear};
    }
    m_fieldCount = 0;
    m_fieldOrder = {};
    for (const int code : order) {
        m_fieldOrder[static_cast<std::size_t>(m_fieldCount++)] = code;
    }
    m_b24Hour = !time.contains(u'a', Qt::CaseInsensitive);
    if (m_bShowTime) {
        for (const int code : {kHour, kMinute, kSecond}) {
            m_fieldOrder[static_cast<std::size_t>(m_fieldCount++)] = code;
        }
        if (!m_b24Hour) {
            m_fieldOrder[static_cast<std::size_t>(m_fieldCount++)] = kAmPm;
        }
    }
    m_amText = m_locale.amText().toUpper();
    m_pmText = m_locale.pmText().toUpper();
}

int CDateTimeEditor::FieldAt(int index) const {
    return index >= 0 && index < m_fieldCount ? m_fieldOrder[static_cast<std::size_t>(index)]
                                              : kNone;
}

QString CDateTimeEditor::FieldText(int index) const {
    const QDate d = m_value.date();
    const QTime t = m_value.time();
    const auto two = [](int v) { return QString::number(v).rightJustified(2, u'0'); };
    switch (FieldAt(index)) {
        case kDay:
            return two(d.day());
        case kMonth:
            return m_locale.monthName(d.month(), QLocale::LongFormat);
        case kYear:
            return QString::number(d.year()).rightJustified(4, u'0');
        case kHour:
            return two(m_b24Hour ? t.hour() : (t.hour() % 12 == 0 ? 12 : t.hour() % 12));
        case kMinute:
            return two(t.minute());
        case kSecond:
            return two(t.second());
        case kAmPm:
            return t.hour() < 12 ? m_locale.amText() : m_locale.pmText();
        default:
            return {};
    }
}

QString CDateTimeEditor::SeparatorAfter(int index) const {
    const int code = FieldAt(index);
    const int next = FieldAt(index + 1);
    if (code == kNone || next == kNone) {
        return {};
    }
    if (IsDateField(code) && IsDateField(next)) {
        return m_dateSeparator;
    }
    if (IsTimeField(code) && IsTimeField(next)) {
        return m_timeSeparator;
    }
    return " ";
}

std::optional<QRect> CDateTimeEditor::GetFieldRect(int index) const {
    if (index < 0 || index >= m_fieldCount) {
        return std::nullopt;
    }
    const QFontMetrics metrics(m_font);
    int x = m_textArea.left();
    for (int i = 0; i < index; ++i) {
        x += metrics.horizontalAdvance(FieldText(i) + SeparatorAfter(i));
    }
    const int w = metrics.horizontalAdvance(FieldText(index) + SeparatorAfter(index));
    return QRect(x, m_textArea.top(), w, std::max(1, m_textArea.height()));
}

void CDateTimeEditor::Layout() {
    m_currentField = FieldAt(0);
    m_height = QFontMetrics(QApplication::font()).height() + 8;
    m_textArea = QRect(QPoint(5, 2), QPoint(5, m_height - 2 - 1));
    int end = 5;
    if (const auto last = GetFieldRect(m_fieldCount - 1)) {
        end = last->right() + 1;
    }
    m_textArea.setRight(end - 1);
    m_width = end + 35;
    resize(m_width, m_height);
    m_dropDown->setGeometry(m_width - 34, 2, 17, m_height - 4);
    m_spin->setGeometry(m_width - 17, 2, 15, m_height - 4);
    m_buttonArea = QRect(m_width - 34, 2, 32, m_height - 4);
    m_dropDown->show();
    m_spin->show();
    m_spin->setEnabled(true);
}

QDateTime CDateTimeEditor::GetValue() const {
    const QDate d = m_value.date();
    const QTime t =
        m_bShowTime ? QTime(m_value.time().hour(), m_value.time().minute(), 0) : QTime(0, 0, 0);
    return QDateTime(d, t);
}

void CDateTimeEditor::SetDate(const QDateTime& date) {
    if (date.isValid()) {
        m_value = date;
    }
    m_spin->setEnabled(true);
    update();
}

void CDateTimeEditor::Beep() {
    ++m_beeps;
    QApplication::beep();
}

void CDateTimeEditor::Store(const QDateTime& value) {
    m_value = value;
    update();
}

void CDateTimeEditor::Increment(int step) {
    const QDate d = m_value.date();
    const QTime t = m_value.time();
    QDateTime next = m_value;
    switch (m_currentField) {
        case kDay: {
            const int last = DaysInMonth(d.month(), d.year());
            int day = d.day() + step;
            day = day < 1 ? last : day > last ? 1 : day;
            next = WithDate(m_value, d.year(), d.month(), day);
            break;
        }
        case kMonth:
            next = WithMonth(m_value, (d.month() - 1 + step + 12) % 12 + 1);
            break;
        case kYear:
            next = WithDate(m_value, std::clamp(d.year() + step, 2000, 2099), d.month(), d.day());
            break;
        case kHour:
            next = WithTime(m_value, (t.hour() + step + 24) % 24, t.minute(), t.second());
            break;
        case kMinute:
            next = WithTime(m_value, t.hour(), (t.minute() + step + 60) % 60, t.second());
            break;
        case kSecond:
            next = WithTime(m_value, t.hour(), t.minute(), (t.second() + step + 60) % 60);
            break;
        case kAmPm:
            next = WithTime(m_value, t.hour() < 12 ? t.hour() + 12 : t.hour() - 12, t.minute(),
                            t.second());
            break;
        default:
            break;
    }
    if (next == m_value) {
        Beep();
    } else {
        Store(next);
    }
}

void CDateTimeEditor::SetFieldLimit(bool maximum) {
    const QDate d = m_value.date();
    const QTime t = m_value.time();
    QDateTime next = m_value;
    switch (m_currentField) {
        case kDay:
            next = WithDate(m_value, d.year(), d.month(),
                            maximum ? DaysInMonth(d.month(), d.year()) : 1);
            break;
        case kMonth:
            next = WithDate(m_value, d.year(), maximum ? 12 : 1, d.day());
            break;
        case kHour:
            next = WithTime(m_value, maximum ? 23 : 0, t.minute(), t.second());
            break;
        case kMinute:
            next = WithTime(m_value, t.hour(), maximum ? 59 : 0, t.second());
            break;
        case kYear:
        case kAmPm:
        case kNone:
            return;
        default:
            break;
    }
    next.setTime(QTime(next.time().hour(), next.time().minute(), 0));
    if (next != m_value) {
        Store(next);
    }
}

void CDateTimeEditor::TypeDigit(int digit) {
    if (m_currentField == kMonth || m_currentField == kAmPm || m_currentField == kNone) {
        return;
    }
    const bool wasPending = m_pendingDigit >= 0;
    const int value = wasPending ? m_pendingDigit * 10 + digit : digit;
    const QDate d = m_value.date();
    const QTime t = m_value.time();
    bool keepPending = true;
    QDateTime next = m_value;
    switch (m_currentField) {
        case kDay:
            // Limited to the month; a lone 0 stands for day 1 until the second digit.
            next = WithDate(m_value, d.year(), d.month(), std::max(1, value));
            break;
        case kYear:
            next = WithDate(m_value, d.year() / 100 * 100 + value, d.month(), d.day());
            break;
        case kMinute:
            next = WithTime(m_value, t.hour(), std::min(value, 59), t.second());
            break;
        case kSecond:
            next = WithTime(m_value, t.hour(), t.minute(), std::min(value, 59));
            break;
        case kHour:
            if (m_b24Hour) {
                next = WithTime(m_value, std::min(value, 23), t.minute(), t.second());
            } else {
                // The half of the day stays; 12 is the first hour of that half.
                const int hour = value > 12 ? digit : value;
                next = WithTime(m_value, hour % 12 + (t.hour() >= 12 ? 12 : 0), t.minute(),
                                t.second());
                keepPending = wasPending || digit == 1;
            }
            break;
        default:
            break;
    }
    if (next != m_value) {
        Store(next);
    }
    if (wasPending) {
        if (m_selected >= 0 && m_selected < m_fieldCount - 1) {
            SelectField(m_selected + 1);
        }
        m_pendingDigit = -1;
    } else {
        m_pendingDigit = keepPending ? digit : -1;
    }
}

void CDateTimeEditor::TypeMonthLetter(QChar letter) {
    const int current = m_value.date().month();
    const QChar wanted = letter.toUpper();
    for (int i = 1; i < 12; ++i) {
        const int month = (current - 1 + i) % 12 + 1;
        const QString name = m_locale.monthName(month, QLocale::LongFormat);
        if (name.size() > 1 && name.front().toUpper() == wanted) {
            QDateTime next = WithMonth(m_value, month);
            next.setTime(QTime(next.time().hour(), next.time().minute(), 0));
            Store(next);
            return;
        }
    }
    Beep();
}

void CDateTimeEditor::TypeAmPmLetter(QChar letter) {
    const QChar wanted = letter.toUpper();
    const QTime t = m_value.time();
    int hour = t.hour();
    if (!m_pmText.isEmpty() && wanted == m_pmText.front() && hour < 12) {
        hour += 12;
    } else if (!m_amText.isEmpty() && wanted == m_amText.front() && hour >= 12) {
        hour -= 12;
    }
    const QDateTime next = WithTime(m_value, hour, t.minute(), 0);
    if (next != m_value) {
        Store(next);
    }
}

void CDateTimeEditor::SelectField(int index) {
    m_selected = index >= 0 && index < m_fieldCount ? index : -1;
    m_currentField = FieldAt(m_selected);
    update();
}

void CDateTimeEditor::PrevField() {
    if (m_selected >= 0 && m_fieldCount > 0) {
        SelectField((m_selected - 1 + m_fieldCount) % m_fieldCount);
    }
}

void CDateTimeEditor::NextField() {
    if (m_selected >= 0 && m_fieldCount > 0) {
        SelectField((m_selected + 1) % m_fieldCount);
    }
}

void CDateTimeEditor::OnSpin(int delta) {
    Increment(delta > 0 ? +1 : -1);
    setFocus(Qt::OtherFocusReason);
}

bool CDateTimeEditor::event(QEvent* event) {
    // These keys belong to the editor, not to a dialog's navigation.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_End || key == Qt::Key_Home || key == Qt::Key_Left || key == Qt::Key_Up ||
            key == Qt::Key_Right || key == Qt::Key_Down) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QWidget::event(event);
}

void CDateTimeEditor::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        TypeDigit(key - Qt::Key_0);
        return;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        const QChar letter(u'A' + (key - Qt::Key_A));
        if (m_currentField == kMonth) {
            TypeMonthLetter(letter);
        } else if (m_currentField == kAmPm) {
            TypeAmPmLetter(letter);
        } else {
            Beep();
        }
        return;
    }
    m_pendingDigit = -1;
    switch (key) {
        case Qt::Key_Up:
            Increment(+1);
            break;
        case Qt::Key_Space:
            if (m_currentField == kAmPm) {
                Increment(+1);
            }
            break;
        case Qt::Key_Down:
            Increment(-1);
            break;
        case Qt::Key_Home:
            SetFieldLimit(false);
            break;
        case Qt::Key_End:
            SetFieldLimit(true);
            break;
        case Qt::Key_Left:
            PrevField();
            break;
        case Qt::Key_Right:
            NextField();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
}

void CDateTimeEditor::mousePressEvent(QMouseEvent* event) {
    m_pendingDigit = -1;
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    for (int i = 0; i < m_fieldCount; ++i) {
        if (const auto r = GetFieldRect(i); r && r->contains(at)) {
            SelectField(i);
            return;
        }
    }
    SelectField(-1);
}

void CDateTimeEditor::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    m_bFocus = true;
    if (m_selected >= 0) {
        SelectField(m_selected);
    }
    update();
}

void CDateTimeEditor::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    m_bFocus = false;
    m_pendingDigit = -1;
    update();
}

void CDateTimeEditor::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(Qt::black);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setFont(m_font);
    const QFontMetrics metrics(m_font);
    const QPalette pal = palette();
    for (int i = 0; i < m_fieldCount; ++i) {
        const auto r = GetFieldRect(i);
        if (!r) {
            continue;
        }
        const QString text = FieldText(i);
        const int textWidth = metrics.horizontalAdvance(text);
        QRect textRect(r->left(), m_textArea.top(), textWidth, m_textArea.height());
        if (i == m_selected && m_bFocus) {
            const int h = metrics.height();
            const QRect box(r->left(), m_textArea.top() + (m_textArea.height() - h) / 2, textWidth,
                            h);
            p.fillRect(box, pal.color(QPalette::Highlight));
            p.setPen(pal.color(QPalette::HighlightedText));
        } else {
            p.setPen(pal.color(QPalette::WindowText));
        }
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(QRect(r->left() + textWidth, m_textArea.top(), r->width() - textWidth,
                         m_textArea.height()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, SeparatorAfter(i));
    }
}

}  // namespace liveview
