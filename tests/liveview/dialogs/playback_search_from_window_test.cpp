// The playback search as the operator reaches it: the main window run as
// the program runs it, the panel opened and its search button clicked, the
// dialog driven with the mouse and the keyboard while it runs modally. The
// recorder's disk map is shorter than the map, and the search goes to a
// date before 2000.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimeEdit>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "liveview/dialogs/playback_search_dlg.h"
#include "tests/liveview/window/run_window.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"

namespace {

using test_support::ExpectReachable;
using test_support::UserClick;
using test_support::UserKey;

class PlaybackSearchFromWindow : public window_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        // The long date format the keys below walk through.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override {
        QLocale::setDefault(previousLocale);
        WindowTest::TearDown();
    }

    // Clicks into a date or time picker, tabs to its section number `index`
    // and steps that section with the arrow keys by `steps` (down when
    // negative), as far as the picker lets it go.
    static void StepSection(QDateTimeEdit* edit, int index, int steps) {
        ASSERT_NE(edit, nullptr);
        ASSERT_LT(index, edit->sectionCount());
        UserClick(edit, QPoint(4, edit->height() / 2));
        for (int i = 0; i < index; ++i) UserKey(edit, Qt::Key_Tab);
        for (int i = 0; i < std::abs(steps); ++i)
            UserKey(edit, steps > 0 ? Qt::Key_Up : Qt::Key_Down);
    }
    // The number of the last section of `kind` in the picker's format.
    static int SectionIndex(const QDateTimeEdit* edit, QDateTimeEdit::Section kind) {
        int found = -1;
        for (int i = 0; i < edit->sectionCount(); ++i) {
            if (edit->sectionAt(i) == kind)
                found = i;
        }
        return found;
    }

    // What the operator does in the dialog while it runs.
    void Operate(liveview::CPlaybackSearchDlg& dialog) {
        QComboBox* disks = dialog.hddCombo();
        std::vector<std::string> listed;
        for (int i = 0; i < disks->count(); ++i) listed.push_back(disks->itemText(i).toStdString());
        ASSERT_EQ(listed, (std::vector<std::string>{"ALL", "MASTER1", "SLAVE1"}));

        // SLAVE1 from the disk list's popup.
        ASSERT_TRUE(ExpectReachable(disks));
        UserClick(disks);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr);
        UserKey(popup, Qt::Key_Down);
        UserKey(popup, Qt::Key_Down);
        UserKey(popup, Qt::Key_Return);
        ASSERT_EQ(disks->currentText().toStdString(), "SLAVE1");

        // The date picker's calendar opens from its button, and closes.
        auto* date = dialog.findChild<QDateEdit*>();
        ASSERT_NE(date, nullptr) << "no date picker";
        UserClick(date, QPoint(date->width() - 6, date->height() / 2));
        QWidget* calendar = QApplication::activePopupWidget();
        ASSERT_NE(calendar, nullptr) << "the calendar button opens nothing";
        EXPECT_NE(calendar->findChild<QCalendarWidget*>(), nullptr);
        test_support::SaveImagePicture(calendar->grab().toImage(), "playback_search_calendar.png");
        UserKey(calendar, Qt::Key_Escape);

        // 31 December 1999, 14:05:09, stepped to with the arrow keys from
        // today and now.
        StepSection(date, SectionIndex(date, QDateTimeEdit::YearSection),
                    1999 - date->date().year());
        StepSection(date, SectionIndex(date, QDateTimeEdit::MonthSection),
                    12 - date->date().month());
        StepSection(date, SectionIndex(date, QDateTimeEdit::DaySection), 31 - date->date().day());
        EXPECT_EQ(date->date(), QDate(1999, 12, 31));
        auto* time = dialog.findChild<QTimeEdit*>();
        ASSERT_NE(time, nullptr) << "no time picker";
        StepSection(time, SectionIndex(time, QDateTimeEdit::HourSection), 14 - time->time().hour());
        StepSection(time, SectionIndex(time, QDateTimeEdit::MinuteSection),
                    5 - time->time().minute());
        StepSection(time, SectionIndex(time, QDateTimeEdit::SecondSection),
                    9 - time->time().second());
        EXPECT_EQ(time->time().toString("HH:mm:ss"), "14:05:09");
        test_support::SaveImagePicture(dialog.grab().toImage(), "playback_search_from_window.png");

        ASSERT_TRUE(ExpectReachable(dialog.okButton()));
        UserClick(dialog.okButton());
    }

    QLocale previousLocale;
};

TEST_F(PlaybackSearchFromWindow, AShortDiskMapAndADateBefore2000) {
    // A recorder that stands for a linked DVR, whose panel has the search
    // button from firmware 1078 on.
    ASSERT_EQ(Open("Q8A7", 30, 0,
                   [](devicesim::DeviceProfile& p) {
                       p.masters = {{0, 19, 0}};
                       p.firmwareVersion = "1078";
                   }),
              1);
    // 16 bytes: MASTER1 and SLAVE1, and no more of the map.
    device.SetReply("/GetDvrHDD.cgi",
                    command_test::Reply::Ok(std::string("\x03", 1) + std::string(15, '\0')));
    window_test::RunWindow(*window, [&](CDravelinDlg& main) {
        ASSERT_TRUE(ExpectReachable(main.PanelUpButton()));
        UserClick(main.PanelUpButton());
        ASSERT_TRUE(main.IsPanelShown());
        test_support::ModalScript<liveview::CPlaybackSearchDlg> search(
            [this](liveview::CPlaybackSearchDlg& dialog) {
                Operate(dialog);
                test_support::RejectIfOpen(dialog);
            });
        ASSERT_TRUE(ExpectReachable(main.FindButton(8319)));
        UserClick(main.FindButton(8319));
        EXPECT_EQ(search.Runs(), 1) << "the search button ran no playback search";
    });

    const auto search = model->dialogCommands().LastSearch();
    ASSERT_TRUE(search.has_value());
    const devicesim::NameValueList want{{"Cookie", g_szSessionCookie.Get()},
                                        {"searchType", "event"},
                                        {"channelNum", "0"},
                                        {"eventType", "0"},
                                        {"year", "-1"},
                                        {"month", "12"},
                                        {"day", "31"},
                                        {"hour", "14"},
                                        {"min", "5"},
                                        {"sec", "9"},
                                        {"hddNum", "1"}};
    EXPECT_EQ(*search, want);
}

}  // namespace
