#include "liveview/widgets/date_time_editor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "liveview/widgets/calendar_math.h"
#include "liveview/widgets/calendar_wnd.h"
#include "liveview/widgets/icon_button.h"
#include "platform/program_folder.h"
#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"
#include "tools/skingen/widget_faces.h"

namespace fs = std::filesystem;
using liveview::CCalendarWnd;
using liveview::CDateTimeEditor;
using Field = CDateTimeEditor::Field;

namespace {

QDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

struct LocaleCase {
    const char* locale;
    std::vector<int> fields;
    const char* dateSeparator;
    const char* timeSeparator;
    bool is24Hour;
};

class EditorLocaleTest : public ::testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }
};

TEST_P(EditorLocaleTest, FieldOrderFollowsTheLocale) {
    const LocaleCase& c = GetParam();
    CDateTimeEditor editor(true, nullptr, QLocale(c.locale));
    std::vector<int> fields;
    for (int i = 0; i < editor.FieldCount(); ++i) {
        fields.push_back(editor.FieldAt(i));
    }
    EXPECT_EQ(fields, c.fields);
    EXPECT_EQ(editor.DateSeparator().toStdString(), c.dateSeparator);
    EXPECT_EQ(editor.TimeSeparator().toStdString(), c.timeSeparator);
    EXPECT_EQ(editor.Is24Hour(), c.is24Hour);
    EXPECT_EQ(editor.CurrentField(), c.fields.front());
    EXPECT_FALSE(editor.GetFieldRect(editor.FieldCount()).has_value());
    EXPECT_FALSE(editor.GetFieldRect(-1).has_value());

    // Fields sit side by side inside the text area; the buttons follow it.
    int x = editor.TextArea().left();
    for (int i = 0; i < editor.FieldCount(); ++i) {
        const auto r = editor.GetFieldRect(i);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->left(), x);
        x = r->right() + 1;
    }
    EXPECT_EQ(editor.width(), x + 35);
    EXPECT_EQ(editor.DropDownButton()->geometry(), QRect(x + 1, 2, 17, editor.height() - 4));
    EXPECT_EQ(editor.SpinButton()->geometry(), QRect(x + 18, 2, 15, editor.height() - 4));

    CDateTimeEditor dateOnly(false, nullptr, QLocale(c.locale));
    EXPECT_EQ(dateOnly.FieldCount(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, EditorLocaleTest,
    ::testing::Values(LocaleCase{"en_US", {2, 1, 3, 4, 5, 6, 7}, "/", ":", false},
                      LocaleCase{"de_DE", {1, 2, 3, 4, 5, 6}, ".", ":", true},
                      LocaleCase{"ja_JP", {3, 2, 1, 4, 5, 6}, "/", ":", true},
                      LocaleCase{"sv_SE", {3, 2, 1, 4, 5, 6}, "-", ":", true},
                      LocaleCase{"ko_KR", {3, 2, 1, 4, 5, 6, 7}, ". ", ":", false}));

struct DigitCase {
    const char* locale;
    QDateTime start;
    Field field;
    std::vector<int> digits;
    QDateTime expected;
};

class EditorDigitTest : public ::testing::TestWithParam<DigitCase> {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }
};

TEST_P(EditorDigitTest, DigitsEnterTheField) {
    const DigitCase& c = GetParam();
    CDateTimeEditor editor(true, nullptr, QLocale(c.locale));
    editor.SetDate(c.start);
    for (int i = 0; i < editor.FieldCount(); ++i) {
        if (editor.FieldAt(i) == c.field) {
            editor.SelectField(i);
        }
    }
    ASSERT_EQ(editor.CurrentField(), c.field);
    for (const int d : c.digits) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_0 + d, Qt::NoModifier, QString::number(d));
        QApplication::sendEvent(&editor, &key);
    }
    EXPECT_EQ(editor.Value(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EditorDigitTest,
    ::testing::Values(
        DigitCase{"de_DE", At(1998, 5, 6), Field::kYear, {0, 7}, At(1907, 5, 6)},
        DigitCase{"en_US", At(2024, 5, 6, 15, 0), Field::kHour, {1, 1}, At(2024, 5, 6, 23, 0)},
        DigitCase{"en_US", At(2024, 5, 6, 15, 0), Field::kHour, {1, 5}, At(2024, 5, 6, 17, 0)},
        DigitCase{"en_US", At(2024, 5, 6, 15, 0), Field::kHour, {1, 2}, At(2024, 5, 6, 12, 0)},
        DigitCase{"en_US", At(2024, 5, 6, 9, 0), Field::kHour, {1, 2}, At(2024, 5, 6, 0, 0)},
        DigitCase{"en_US", At(2024, 5, 6, 9, 0), Field::kHour, {4}, At(2024, 5, 6, 4, 0)},
        DigitCase{"de_DE", At(2024, 5, 6, 9, 0), Field::kHour, {3, 5}, At(2024, 5, 6, 23, 0)},
        DigitCase{"de_DE", At(2024, 2, 6), Field::kDay, {3, 1}, At(2024, 2, 29)},
        DigitCase{"de_DE", At(2024, 2, 6), Field::kDay, {0, 7}, At(2024, 2, 7)},
        DigitCase{
            "de_DE", At(2024, 2, 6, 1, 2, 3), Field::kMinute, {7, 7}, At(2024, 2, 6, 1, 59, 3)},
        DigitCase{"ja_JP", At(2024, 2, 6), Field::kMonth, {1, 1}, At(2024, 2, 6)},
        DigitCase{"de_DE", At(2000, 2, 29), Field::kYear, {0, 1}, At(2001, 2, 28)}));

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }

    static void Select(CDateTimeEditor& editor, Field field) {
        for (int i = 0; i < editor.FieldCount(); ++i) {
            if (editor.FieldAt(i) == field) {
                editor.SelectField(i);
            }
        }
        ASSERT_EQ(editor.CurrentField(), field);
    }
};

TEST_F(EditorTest, StepsKeepTheDateValid) {
    CDateTimeEditor editor(true, nullptr, QLocale("de_DE"));
    struct Case {
        QDateTime start;
        Field field;
        int step;
        QDateTime expected;
    };
    for (const Case& c :
         {Case{At(2023, 1, 31), Field::kMonth, +1, At(2023, 2, 28)},
          Case{At(2024, 1, 31), Field::kMonth, +1, At(2024, 2, 29)},
          Case{At(2024, 4, 30), Field::kMonth, +1, At(2024, 5, 31)},
          Case{At(2024, 12, 15), Field::kMonth, +1, At(2024, 1, 15)},
          Case{At(2024, 2, 29), Field::kDay, +1, At(2024, 2, 1)},
          Case{At(2024, 3, 1), Field::kDay, -1, At(2024, 3, 31)},
          Case{At(2000, 2, 29), Field::kYear, +1, At(2001, 2, 28)},
          Case{At(2024, 1, 1, 23, 59, 59), Field::kHour, +1, At(2024, 1, 1, 0, 59, 59)},
          Case{At(2024, 1, 1, 0, 0, 0), Field::kSecond, -1, At(2024, 1, 1, 0, 0, 59)}}) {
        editor.SetDate(c.start);
        Select(editor, c.field);
        editor.Increment(c.step);
        EXPECT_EQ(editor.Value(), c.expected) << c.start.toString().toStdString();
    }

    // The year stays within 2000..2099, by key and by spin; a step that
    // changes nothing beeps.
    editor.SetDate(At(2099, 6, 1));
    Select(editor, Field::kYear);
    const int beeps = editor.BeepCount();
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(&editor, &up);
    EXPECT_EQ(editor.Value().date().year(), 2099);
    EXPECT_EQ(editor.BeepCount(), beeps + 1);
    editor.SetDate(At(2000, 6, 1));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, editor.SpinButton()->height() - 2),
                      editor.SpinButton()->mapToGlobal(QPointF(5, 2)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.SpinButton(), &press);  // lower half: down
    EXPECT_EQ(editor.Value().date().year(), 2000);
    EXPECT_EQ(editor.BeepCount(), beeps + 2);
}

TEST_F(EditorTest, HomeEndLettersAndFieldMoves) {
    CDateTimeEditor editor(true, nullptr, QLocale("en_US"));
    editor.SetDate(At(2024, 2, 10, 14, 30, 45));
    Select(editor, Field::kDay);
    editor.SetFieldLimit(true);
    EXPECT_EQ(editor.Value(), At(2024, 2, 29, 14, 30, 0));
    Select(editor, Field::kYear);
    editor.SetDate(At(2024, 2, 10, 14, 30, 45));
    editor.SetFieldLimit(true);
    EXPECT_EQ(editor.Value(), At(2024, 2, 10, 14, 30, 45));
    Select(editor, Field::kSecond);
    editor.SetFieldLimit(false);
    EXPECT_EQ(editor.Value(), At(2024, 2, 10, 14, 30, 0));

    Select(editor, Field::kMonth);
    editor.TypeMonthLetter(u'm');  // after February: March
    EXPECT_EQ(editor.Value().date().month(), 3);
    editor.TypeMonthLetter(u'M');  // after March: May
    EXPECT_EQ(editor.Value().date().month(), 5);
    const int beeps = editor.BeepCount();
    editor.TypeMonthLetter(u'X');
    EXPECT_EQ(editor.BeepCount(), beeps + 1);

    Select(editor, Field::kAmPm);
    editor.TypeAmPmLetter(u'a');
    EXPECT_EQ(editor.Value().time().hour(), 2);
    editor.TypeAmPmLetter(u'p');
    EXPECT_EQ(editor.Value().time().hour(), 14);

    // Left and right wrap around the fields.
    editor.SelectField(0);
    editor.PrevField();
    EXPECT_EQ(editor.SelectedField(), editor.FieldCount() - 1);
    editor.NextField();
    EXPECT_EQ(editor.SelectedField(), 0);

    // Two digits move to the next field.
    editor.SelectField(1);  // day
    editor.TypeDigit(1);
    editor.TypeDigit(2);
    EXPECT_EQ(editor.Value().date().day(), 12);
    EXPECT_EQ(editor.SelectedField(), 2);
    EXPECT_EQ(editor.PendingDigit(), -1);

    // A click outside every field selects none.
    editor.SelectField(-1);
    EXPECT_EQ(editor.CurrentField(), Field::kNone);
    editor.SetFieldLimit(true);
    editor.TypeDigit(3);
}

TEST_F(EditorTest, EveryLocaleIsReadWithoutReachingOutsideItsTexts) {
    CDateTimeEditor editor;
    const auto locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 10);
    QImage canvas(600, 40, QImage::Format_RGB32);
    for (const QLocale& locale : locales) {
        editor.SetLocale(locale);
        editor.SetDate(At(2024, 2, 29, 12, 0, 0));
        for (int i = 0; i < editor.FieldCount(); ++i) {
            editor.SelectField(i);
            for (const char16_t letter : {u'A', u'P', u'M', u'J', u'Z'}) {
                if (editor.CurrentField() == Field::kMonth) {
                    editor.TypeMonthLetter(letter);
                } else if (editor.CurrentField() == Field::kAmPm) {
                    editor.TypeAmPmLetter(letter);
                }
            }
            editor.TypeDigit(9);
            editor.TypeDigit(9);
            ASSERT_TRUE(editor.Value().isValid()) << locale.name().toStdString();
        }
        editor.render(&canvas);
    }
}

TEST_F(EditorTest, Pictures) {
    // The drop-down button's face comes from the program folder.
    test_support::TempDir home;
    ASSERT_EQ(skingen::WriteWidgetFaces(home.path()), 1u);
    platform::SetProgramFolder(home.path());
    struct Reset {
        ~Reset() { platform::ResetProgramFolder(); }
    } reset;
    QWidget panel;
    panel.resize(380, 70);
    auto* us = new CDateTimeEditor(true, &panel, QLocale("en_US"));
    us->move(5, 5);
    us->SetDate(At(2026, 12, 10, 15, 4, 5));
    auto* de = new CDateTimeEditor(false, &panel, QLocale("de_DE"));
    de->move(5, 38);
    de->SetDate(At(2026, 12, 10));
    ASSERT_TRUE(us->DropDownButton()->HasBitmap());
    EXPECT_EQ(qAlpha(us->DropDownButton()->InImage().pixel(0, 0)), 0);  // red is transparent
    panel.show();
    us->setFocus();
    us->SelectField(0);
    QApplication::processEvents();
    test_support::SaveWidgetPicture(panel, "date_time_editor.png");
    // The face shows on the drop-down button: its dark frame at the centre row.
    const QImage face =
        us->DropDownButton()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = skingen::DrawCalendarFace();
    const QPoint origin((face.width() - picture.width()) / 2,
                        (face.height() - picture.height()) / 2);
    EXPECT_EQ(face.pixel(origin + QPoint(0, 6)), picture.pixel(0, 6));
}

TEST(Calendar, DaysAndWeekdays) {
    EXPECT_EQ(liveview::DaysInMonth(2, 2000), 29);
    EXPECT_EQ(liveview::DaysInMonth(2, 2400), 29);
    EXPECT_EQ(liveview::DaysInMonth(2, 2100), 28);
    EXPECT_EQ(liveview::DayOfWeek(2026, 12, 1), 2);  // a Tuesday
}

class CalendarTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }
};

TEST_F(CalendarTest, FirstColumnFollowsTheLocale) {
    struct Case {
        const char* locale;
        int firstCell;  // of 1 December 2026, a Tuesday
    };
    for (const Case& c : {Case{"de_DE", 1}, Case{"en_US", 2}}) {
        const QLocale locale(c.locale);
        CCalendarWnd calendar(locale);
        calendar.SetToday(QDate(2026, 12, 10));
        calendar.ShowDate(At(2026, 12, 10, 8, 30));
        ASSERT_TRUE(calendar.CreatePopup(10, 10, nullptr));
        EXPECT_EQ(calendar.WeekdayName(0),
                  locale.dayName(c.firstCell == 1 ? 1 : 7, QLocale::ShortFormat));
        const auto& cells = calendar.Cells();
        EXPECT_EQ(cells[static_cast<std::size_t>(c.firstCell)].day, 1);
        EXPECT_EQ(cells[static_cast<std::size_t>(c.firstCell - 1)].state, CCalendarWnd::kEmpty);
        const auto& tenth = cells[static_cast<std::size_t>(c.firstCell + 9)];
        EXPECT_EQ(tenth.state, CCalendarWnd::kSelected);
        EXPECT_TRUE(tenth.today);
        EXPECT_EQ(cells[static_cast<std::size_t>(c.firstCell + 31)].state, CCalendarWnd::kEmpty);
    }
}

TEST_F(CalendarTest, ButtonsAndClicksReachTheOwner) {
    CDateTimeEditor editor(true, nullptr, QLocale("de_DE"));
    CCalendarWnd calendar(QLocale("de_DE"));
    calendar.SetToday(QDate(2026, 12, 10));
    calendar.ShowDate(At(2024, 1, 31, 9, 15, 20));
    ASSERT_TRUE(calendar.CreatePopup(0, 0, &editor));
    EXPECT_EQ(calendar.size(), QSize(200, 180));

    calendar.Button(CCalendarWnd::kPrevMonthId)->click();
    EXPECT_EQ(calendar.Date(), At(2023, 12, 31, 9, 15));
    EXPECT_EQ(editor.Value(), At(2023, 12, 31, 9, 15));
    calendar.Button(CCalendarWnd::kNextMonthId)->click();
    calendar.Button(CCalendarWnd::kNextMonthId)->click();
    EXPECT_EQ(calendar.Date(), At(2024, 2, 29, 9, 15));
    calendar.Button(CCalendarWnd::kNextYearId)->click();
    EXPECT_EQ(calendar.Date(), At(2025, 2, 28, 9, 15));
    EXPECT_EQ(calendar.MonthLength(), 28);
    calendar.Button(CCalendarWnd::kTodayId)->click();
    EXPECT_EQ(calendar.Date(), At(2026, 12, 10, 9, 15));

    // 1 December 2026 is in column 1 (Monday first); the 17th is row 2, column 3.
    const QPointF inCell(8 + 3 * 26 + 10, 45 + 2 * 19 + 10);
    QMouseEvent click(QEvent::MouseButtonPress, inCell, calendar.mapToGlobal(inCell),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&calendar, &click);
    EXPECT_EQ(calendar.Date().date(), QDate(2026, 12, 17));
    EXPECT_EQ(editor.Value().date(), QDate(2026, 12, 17));
    EXPECT_EQ(calendar.Cells()[17].state, CCalendarWnd::kSelected);

    // A click between cells keeps the selection.
    const QPointF header(100, 30);
    QMouseEvent miss(QEvent::MouseButtonPress, header, calendar.mapToGlobal(header), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&calendar, &miss);
    EXPECT_EQ(calendar.Cells()[17].state, CCalendarWnd::kSelected);

    calendar.SetBackColor(QColor(235, 240, 240));
    calendar.update();
    QApplication::processEvents();
    test_support::SaveWidgetPicture(calendar, "calendar_popup.png");
}

}  // namespace
