// The unshown Schedule Record page over a schedule recorder of its own:
// adding, editing and deleting slots, and the span checks.

#include "config/pages/schedule_record_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <ctime>

#include "config/pages/report_list.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/scoped_env.h"

namespace {

using Clock = CTimeSettingDlg::Clock;

Clock::time_point Local(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return Clock::from_time_t(std::mktime(&t));
}

// A span typed into the dialog: start and end day and time in December 2026.
struct Span {
    int startDay, startHour, startMinute, endDay, endHour, endMinute;
};

class ScheduleRecordPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        tzset();
        page.SetNow([] { return Local(2026, 12, 11, 3, 0); });
    }

    void Type(const Span& s) {
        dialog.Set([s](CTimeSettingDlg& d) {
            d.StartDate()->setDate(QDate(2026, 12, s.startDay));
            d.StartHour()->setCurrentIndex(s.startHour);
            d.StartMinute()->setCurrentIndex(s.startMinute);
            d.EndDate()->setDate(QDate(2026, 12, s.endDay));
            d.EndHour()->setCurrentIndex(s.endHour);
            d.EndMinute()->setCurrentIndex(s.endMinute);
            d.OkButton()->click();
            test_support::RejectIfOpen(d);
        });
    }
    void Add(const Span& s) {
        Type(s);
        page.OnAdd();
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < page.List()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = page.List()->topLevelItem(i);
            rows.push_back(
                (item->text(0) + " " + item->text(1) + " - " + item->text(2)).toStdString());
        }
        return rows;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& entry : boxes.sink().Entries()) {
            texts.push_back(entry.text);
        }
        return texts;
    }

    // Local time is UTC for the test; the zone is read again after it.
    struct ZoneReread {
        ~ZoneReread() { tzset(); }
    } reread;
    test_support::ScopedEnv zone{"TZ", "UTC"};
    test_support::ScopedMessageBoxRecorder boxes;
    CSchRecord schedule;
    const bool m_qt = (test_support::EnsureQtApp(), true);  // before the first widget
    CScheduleRecordPage page{schedule};
    test_support::ModalScript<CTimeSettingDlg> dialog{nullptr};
};

TEST_F(ScheduleRecordPageTest, AddKeepsSpansApartAndSorted) {
    Add({12, 10, 0, 12, 11, 30});
    Add({12, 8, 0, 12, 9, 0});
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 2026.12.12 08:00:00 - 2026.12.12 09:00:00",
                                                "2 2026.12.12 10:00:00 - 2026.12.12 11:30:00"}));
    EXPECT_EQ(page.SlotCount(), 2);
    EXPECT_TRUE(schedule.GetScheduleSlot(0).enabled);
    EXPECT_EQ(schedule.GetScheduleSlot(0).start, Local(2026, 12, 12, 8, 0));
    test_support::SaveWidgetPicture(page, "schedule_record_page.png");

    const struct {
        Span span;
        const char* message;
    } refused[] = {
        {{12, 9, 0, 12, 9, 0}, "Time setting is wrong"},
        {{13, 9, 0, 12, 9, 0}, "Time setting is wrong"},
        {{12, 8, 30, 12, 9, 30}, "Time setting is covered with other setting"},
        {{12, 7, 0, 12, 12, 0}, "Time setting is covered with other setting"},
        {{12, 9, 0, 12, 9, 30}, "Time setting is covered with other setting"},  // touches
    };
    for (const auto& r : refused) {
        boxes.sink().Clear();
        Add(r.span);
        EXPECT_EQ(Texts(), std::vector<std::string>{r.message});
    }
    EXPECT_EQ(page.SlotCount(), 2);

    boxes.sink().Clear();
    for (int day = 14; day < 22; ++day) {
        Add({day, 1, 0, day, 2, 0});
    }
    EXPECT_EQ(page.SlotCount(), 10);
    EXPECT_TRUE(Texts().empty());
    Add({25, 1, 0, 25, 2, 0});
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "Schedule record setting is too many,you could not add any more."});
}

TEST_F(ScheduleRecordPageTest, DialogStartsFiveMinutesAhead) {
    dialog.Set([](CTimeSettingDlg& d) {
        EXPECT_EQ(d.StartDate()->date(), QDate(2026, 12, 11));
        EXPECT_EQ(d.StartHour()->currentText(), "03");
        EXPECT_EQ(d.StartMinute()->currentText(), "05");
        EXPECT_EQ(d.EndMinute()->currentText(), "05");
        EXPECT_EQ(d.EndHour()->count(), 24);
        test_support::SaveWidgetPicture(d, "time_setting_dialog.png");
        d.reject();
    });
    page.OnAdd();
    EXPECT_EQ(page.SlotCount(), 0);
}

TEST_F(ScheduleRecordPageTest, EditAndDelete) {
    page.OnEdit();
    page.OnDelete();
    EXPECT_EQ(boxes.Ids(), (std::vector<unsigned>{4086, 4086}));

    Add({12, 8, 0, 12, 9, 0});
    Add({12, 10, 0, 12, 11, 0});
    Add({12, 12, 0, 12, 13, 0});
    // Editing a slot does not collide with itself; a collision with another
    // is refused and leaves the slot.
    SelectReportRow(page.List(), 1);
    dialog.Set([](CTimeSettingDlg& d) {
        EXPECT_EQ(d.StartHour()->currentText(), "10");
        EXPECT_EQ(d.EndHour()->currentText(), "11");
        d.EndMinute()->setCurrentIndex(30);
        d.OkButton()->click();
        test_support::RejectIfOpen(d);
    });
    page.OnEdit();
    EXPECT_EQ(schedule.GetScheduleSlot(1).end, Local(2026, 12, 12, 11, 30));
    SelectReportRow(page.List(), 1);
    Type({12, 8, 30, 12, 9, 30});
    page.OnEdit();
    EXPECT_EQ(schedule.GetScheduleSlot(1).start, Local(2026, 12, 12, 10, 0));

    // Deleting the middle row moves the later slots down.
    boxes.sink().Clear();
    SelectReportRow(page.List(), 1);
    page.OnDelete();
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 2026.12.12 08:00:00 - 2026.12.12 09:00:00",
                                                "2 2026.12.12 12:00:00 - 2026.12.12 13:00:00"}));
    EXPECT_EQ(FirstSelectedRow(page.List()), 1);
    EXPECT_FALSE(schedule.GetScheduleSlot(2).enabled);
    SelectReportRow(page.List(), 1);
    page.OnDelete();
    EXPECT_EQ(FirstSelectedRow(page.List()), 0);
    EXPECT_EQ(page.SlotCount(), 1);
    EXPECT_TRUE(boxes.Ids().empty());
}

}  // namespace
