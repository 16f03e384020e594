// The Alarm List page over AlarmData.dat in a temporary program folder:
// the records the alarm recorder added, damaged files, delete and clear,
// and the player started with a recording.

#include "config/pages/alarm_data_page.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include "config/pages/report_list.h"
#include "core/state/app_global_state.h"
#include "tests/config/pages/page_test_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/file_contents.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test_support::ReadBytes;
using test_support::WriteBytes;

class AlarmDataPageTest : public page_test::PageStateTest {
protected:
    void SetUp() override {
        PageStateTest::SetUp();
        settings().m_strProgramDir = folder.path().string() + "/";
        records = folder.path() / "Alarm Records";
        fs::create_directory(records);
    }

    fs::path File() const { return folder.path() / "AlarmData.dat"; }

    // Adds a record as the alarm recorder does; with `present` its file
    // exists.
    fs::path Record(const std::string& name, bool present = true, std::uint32_t frames = 25) {
        const fs::path path = records / name;
        if (present) {
            std::ofstream(path) << "kst";
        }
        EXPECT_EQ(store.AlarmDB_SetRecordFile(path.string()), 1);
        store.AlarmDB_SetRecordTime(SystemTime{2026, 12, 4, 11, 2, 41, 7, 0});
        EXPECT_EQ(store.AlarmDB_AppendRecord(frames, "192.168.0.40"), 1);
        return path;
    }
    std::vector<fs::path> Records(int count) {
        std::vector<fs::path> paths;
        for (int i = 0; i < count; ++i) {
            paths.push_back(Record("alarm " + std::to_string(i) + ".kst", true,
                                   static_cast<std::uint32_t>(100 + i)));
        }
        return paths;
    }
    // The record paths the file holds, in order.
    std::vector<std::string> FilePaths() {
        SystemConfig reader;
        reader.AlarmDB_Load();
        std::vector<std::string> paths;
        for (const auto& item : reader.AlarmDB_Items()) {
            paths.emplace_back(item.Path());
        }
        return paths;
    }
    static std::vector<std::string> Numbers(const QTreeWidget* list) {
        std::vector<std::string> numbers;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            numbers.push_back(list->topLevelItem(i)->text(0).toStdString());
        }
        return numbers;
    }

    test_support::TempDir folder;
    fs::path records;
    SystemConfig store;
};

TEST_F(AlarmDataPageTest, ListsTheRecorderRecords) {
    const auto paths = Records(2);
    Record("gone.kst", false, 7);
    AlarmDataPage page(store);
    QTreeWidget* list = page.List();
    ASSERT_EQ(list->columnCount(), 4);
    EXPECT_EQ(list->headerItem()->text(2), "Time");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    const QTreeWidgetItem* first = list->topLevelItem(0);
    EXPECT_EQ(first->text(0), "1");
    EXPECT_EQ(first->text(1), "192.168.0.40");
    EXPECT_EQ(first->text(2), "2026.12.11 02:41:07");
    EXPECT_EQ(first->text(3), "100");
    EXPECT_EQ(page.PathEdit()->text().toStdString(), paths[0].string());
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    test_support::SaveWidgetPicture(page, "alarm_list_page.png");

    // A record whose file is gone says so and cannot be played.
    SelectReportRow(list, 2);
    page.OnClickList();
    EXPECT_EQ(page.PathEdit()->text().toStdString(),
              (records / "gone.kst").string() + AlarmDataPage::kFileNotFound);
    EXPECT_TRUE(boxes.Ids().empty());
}

// Damaged or foreign files: set aside, never deleted; the count a header
// claims beyond the file's size is not believed.
struct DamageCase {
    const char* name;
    std::function<Bytes(const Bytes& good)> damage;
    std::size_t rows;
    bool setAside;
    std::vector<std::string> messages;
};

class AlarmDataDamageTest : public AlarmDataPageTest,
                            public ::testing::WithParamInterface<DamageCase> {};

TEST_P(AlarmDataDamageTest, DamagedFiles) {
    const DamageCase& c = GetParam();
    Records(3);
    const Bytes damaged = c.damage(ReadBytes(File()));
    WriteBytes(File(), damaged);
    AlarmDataPage page(store);
    EXPECT_EQ(static_cast<std::size_t>(page.List()->topLevelItemCount()), c.rows);
    std::vector<std::string> messages;
    for (const auto& entry : boxes.sink().Entries()) {
        messages.push_back(entry.text);
    }
    EXPECT_EQ(messages, c.messages);
    const fs::path aside = File().string() + ".bad";
    EXPECT_EQ(fs::exists(aside), c.setAside);
    if (c.setAside) {
        EXPECT_EQ(ReadBytes(aside), damaged);
        EXPECT_FALSE(fs::exists(File()));
    }
}

const DamageCase kDamageCases[] = {
    {"Intact", [](const Bytes& b) { return b; }, 3, false, {}},
    {"ForeignMagic",
     [](Bytes b) {
         b[0] = 0x12;
         return b;
     },
     0,
     true,
     {}},
    {"ShortHeader",
     [](const Bytes& b) { return Bytes(b.begin(), b.begin() + 3); },
     0,
     true,
     {"Read alarm database file is failed"}},
    {"CountBeyondSize",
     [](Bytes b) {
         b[2] = 200;
         return b;
     },
     3,
     false,
     {}},
    {"CutInsideARecord",
     [](const Bytes& b) { return Bytes(b.begin(), b.end() - 10); },
     2,
     false,
     {}},
    {"HeaderOnly", [](const Bytes& b) { return Bytes(b.begin(), b.begin() + 4); }, 0, false, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, AlarmDataDamageTest, ::testing::ValuesIn(kDamageCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST_F(AlarmDataPageTest, MissingFileIsCreatedEmpty) {
    AlarmDataPage page(store);
    EXPECT_EQ(page.List()->topLevelItemCount(), 0);
    EXPECT_EQ(ReadBytes(File()), (Bytes{0x87, 0x99, 0, 0}));
    EXPECT_TRUE(page.PathEdit()->text().isEmpty());
    // Nothing to delete, nothing to clear.
    page.Button(AlarmDataPage::kIdDelete)->click();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4045});
    page.Button(AlarmDataPage::kIdClearAll)->click();
    EXPECT_EQ(ReadBytes(File()), (Bytes{0x87, 0x99, 0, 0}));
}

// With five rows: deleting row 3 selects row 0, deleting row 1 selects row 1.
struct DeleteCase {
    int row;
    int selected;
};

class AlarmDataDeleteTest : public AlarmDataPageTest,
                            public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(AlarmDataDeleteTest, DeleteSelectsAndRewrites) {
    const auto paths = Records(5);
    AlarmDataPage page(store);
    SelectReportRow(page.List(), GetParam().row);
    page.Button(AlarmDataPage::kIdDelete)->click();
    EXPECT_EQ(Numbers(page.List()), (std::vector<std::string>{"1", "2", "3", "4"}));
    ASSERT_EQ(FirstSelectedRow(page.List()), GetParam().selected);
    std::vector<std::string> left;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (static_cast<int>(i) != GetParam().row) {
            left.push_back(paths[i].string());
        }
    }
    EXPECT_EQ(FilePaths(), left);
    EXPECT_EQ(page.PathEdit()->text().toStdString(),
              left[static_cast<std::size_t>(GetParam().selected)]);
    EXPECT_TRUE(fs::exists(paths[static_cast<std::size_t>(GetParam().row)]));  // file stays

    // A second delete works on what the first left.
    SelectReportRow(page.List(), 0);
    page.OnDelete();
    left.erase(left.begin());
    EXPECT_EQ(FilePaths(), left);
    EXPECT_EQ(page.List()->topLevelItemCount(), 3);
    EXPECT_TRUE(boxes.Ids().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, AlarmDataDeleteTest,
                         ::testing::Values(DeleteCase{3, 0}, DeleteCase{1, 1}, DeleteCase{4, 0},
                                           DeleteCase{0, 0}, DeleteCase{2, 2}));

TEST_F(AlarmDataPageTest, DeleteNeedsARowAndClearAllEmptiesTheList) {
    Records(3);
    AlarmDataPage page(store);
    page.List()->clearSelection();
    page.OnDelete();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4086});
    EXPECT_EQ(FilePaths().size(), 3u);

    // A record the recorder adds while the page is open stays after a delete.
    const fs::path later = Record("later.kst");
    SelectReportRow(page.List(), 0);
    page.OnDelete();
    EXPECT_EQ(FilePaths().size(), 3u);
    EXPECT_EQ(FilePaths().back(), later.string());

    // Clear All removes what the page lists; a record it has not listed yet
    // stays until a refresh shows it.
    const fs::path unseen = Record("unseen.kst");
    page.Button(AlarmDataPage::kIdClearAll)->click();
    EXPECT_EQ(page.List()->topLevelItemCount(), 0);
    EXPECT_EQ(FilePaths(), (std::vector<std::string>{later.string(), unseen.string()}));
    page.Button(AlarmDataPage::kIdRefresh)->click();
    EXPECT_EQ(page.List()->topLevelItemCount(), 2);
    page.Button(AlarmDataPage::kIdClearAll)->click();
    EXPECT_TRUE(page.PathEdit()->text().isEmpty());
    EXPECT_EQ(ReadBytes(File()), (Bytes{0x87, 0x99, 0, 0}));

    // Refresh lists what the file holds now.
    Record("after.kst");
    page.Button(AlarmDataPage::kIdRefresh)->click();
    EXPECT_EQ(page.List()->topLevelItemCount(), 1);
}

TEST_F(AlarmDataPageTest, PlayerGetsTheRecordingAsOneArgument) {
    // A stand-in player that writes down its arguments, one per line.
    const fs::path program = AlarmDataPage::PlayerProgram();
    const fs::path log = folder.path() / "player-arguments.txt";
    {
        std::ofstream script(program);
        script << "#!/bin/sh\n{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } > \""
               << log.string() << ".tmp\" && mv \"" << log.string() << ".tmp\" \"" << log.string()
               << "\"\n";
    }
    fs::permissions(program, fs::perms::owner_all);
    const auto paths = Records(2);
    Record("gone.kst", false);
    AlarmDataPage page(store);

    // Play starts the player on the path field's file.
    page.Button(AlarmDataPage::kIdPlay)->click();
    ASSERT_TRUE(test_support::PumpUntil([&] { return fs::exists(log); }));
    EXPECT_EQ(test_support::ReadAll(log), "1\n" + paths[0].string() + "\n");

    // A double click plays the row's recording.
    fs::remove(log);
    SelectReportRow(page.List(), 1);
    page.OnDoubleClickList();
    ASSERT_TRUE(test_support::PumpUntil([&] { return fs::exists(log); }));
    EXPECT_EQ(test_support::ReadAll(log), "1\n" + paths[1].string() + "\n");

    // A missing recording starts nothing, by either way.
    fs::remove(log);
    SelectReportRow(page.List(), 2);
    page.OnClickList();
    page.OnPlay();
    page.OnDoubleClickList();
    EXPECT_FALSE(fs::exists(log));
    EXPECT_TRUE(boxes.Ids().empty());

    // No player: the message says so.
    fs::remove(program);
    SelectReportRow(page.List(), 0);
    page.OnDoubleClickList();
    EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4108});
}

}  // namespace
