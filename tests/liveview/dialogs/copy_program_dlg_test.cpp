// The copy-program dialog with real files in temporary folders: the table
// built from what the build puts beside the program, a whole copy of the
// built program, overwriting, failing copies reported by count and name,
// the percentage, the copy's Setting.ini, and a picture.

#include "liveview/dialogs/copy_program_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/dialogs/login_dialog_hooks.h"
#include "liveview/dialogs/dlg_get_path.h"
#include "liveview/dialogs/login_dialog_entries.h"
#include "platform/profile_file.h"
#include "platform/program_folder.h"
#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using liveview::CCopyProgramDlg;
using liveview::CopyProgramFile;

const fs::path kBuiltProgram = KESTRUNE_BUILT_PROGRAM_DIR;

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Files below `folder` whose names show an unfinished copy.
std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().find(".copying-") != std::string::npos) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

TEST(CopyProgram, PercentTextIsRightAlignedInThreePlaces) {
    struct Case {
        int percent;
        const char* text;
    };
    for (const Case& c : {Case{0, "  0%"}, Case{1, "  1%"}, Case{42, " 42%"}, Case{100, "100%"}}) {
        EXPECT_EQ(liveview::PercentText(c.percent), c.text);
    }
}

TEST(CopyProgram, TheTableListsWhatTheBuildPutsBesideTheProgram) {
    const auto table = liveview::CopyProgramFileTable();
    ASSERT_GE(table.size(), 5u);
    const std::vector<std::string> head{"AlarmData.dat", "alarm.wav", "CtrlFile.ini", "kestrune",
                                        "Setting.ini"};
    for (std::size_t i = 0; i < head.size(); ++i) {
        EXPECT_EQ(table[i].name, head[i]);
        EXPECT_EQ(table[i].writtenByProgram, i == 0 || i == 4) << head[i];
    }
    std::set<std::string> names;
    for (const CopyProgramFile& file : table) {
        EXPECT_TRUE(names.insert(std::string(file.name)).second) << "twice: " << file.name;
        EXPECT_EQ(file.runningProgram, file.name == "kestrune") << file.name;
        if (!file.writtenByProgram) {
            EXPECT_TRUE(fs::is_regular_file(kBuiltProgram / file.name)) << file.name;
        }
    }
    // Every skin file the build drew is in the table.
    for (const char* folder : {"BMP", "res"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kBuiltProgram / folder)) {
            if (entry.is_regular_file()) {
                const std::string relative = fs::relative(entry.path(), kBuiltProgram).string();
                EXPECT_TRUE(names.count(relative) == 1) << "not in the table: " << relative;
            }
        }
    }
    // The skin folder's own files before its subfolders.
    const auto login = std::find_if(table.begin(), table.end(), [](const CopyProgramFile& f) {
        return f.name.starts_with("BMP/LOGIN/");
    });
    ASSERT_NE(login, table.end());
    EXPECT_TRUE(std::none_of(login, table.end(), [](const CopyProgramFile& f) {
        return f.name.starts_with("BMP/") && f.name.find('/', 4) == std::string_view::npos;
    }));
}

class CopyProgramTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }

    static std::string Setting(const fs::path& folder, const char* key) {
        return platform::ProfileFile::Load(folder / "Setting.ini")
            .Find("Kestrune", key)
            .value_or("(missing)");
    }

    test_support::TempDir source;
    test_support::TempDir destination;
};

TEST_F(CopyProgramTest, CopiesTheBuiltProgramAndPointsItsSettingsAtTheCopy) {
    CCopyProgramDlg dialog(nullptr, kBuiltProgram, destination.path(),
                           liveview::CopyProgramFileTable(), CCopyProgramDlg::kStartDelay,
                           kBuiltProgram / "kestrune");
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    EXPECT_EQ(dialog.percentLabel()->text(), "  0%");
    dialog.CopyProgramFiles();
    const auto table = liveview::CopyProgramFileTable();
    EXPECT_TRUE(dialog.Outcome().Succeeded()) << dialog.reportLabel()->text().toStdString();
    EXPECT_TRUE(dialog.Outcome().failed.empty());
    EXPECT_EQ(dialog.Outcome().copied + dialog.Outcome().skipped, table.size());
    for (const CopyProgramFile& file : table) {
        if (fs::exists(kBuiltProgram / file.name) && file.name != "Setting.ini") {
            EXPECT_EQ(Read(destination.path() / file.name), Read(kBuiltProgram / file.name))
                << file.name;
        }
    }
    const auto perms = fs::status(destination.path() / "kestrune").permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
    const std::string folder = destination.path().string() + "/";
    EXPECT_EQ(Setting(destination.path(), "Record Path"), folder);
    EXPECT_EQ(Setting(destination.path(), "Snapshot Path"), folder);
    EXPECT_EQ(Setting(destination.path(), "Trigger Wav Path"), folder + "alarm.wav");
    EXPECT_EQ(dialog.percentLabel()->text(), "100%");
    EXPECT_EQ(dialog.progressBar()->value(), 100);
    EXPECT_EQ(dialog.PercentHistory().size(), table.size());
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_TRUE(dialog.reportLabel()->isHidden());
    EXPECT_TRUE(Leftovers(destination.path()).empty());
}

// The executable is taken from the running program, the other files from
// the program's folder, which holds no executable.
TEST_F(CopyProgramTest, TheExecutableComesFromTheRunningProgram) {
    Write(source / "CtrlFile.ini", "[CtrlFile]\r\n");
    Write(source / "kestrune", "not the program that runs");
    test_support::TempDir running;
    Write(running / "runner", "the program that runs");
    fs::permissions(running / "runner", fs::perms::owner_all);
    const CopyProgramFile table[] = {{"CtrlFile.ini", false}, {"kestrune", false, true}};
    CCopyProgramDlg dialog(nullptr, source.path(), destination.path(), table,
                           CCopyProgramDlg::kStartDelay, running / "runner");
    dialog.CopyProgramFiles();
    EXPECT_TRUE(dialog.Outcome().Succeeded()) << dialog.reportLabel()->text().toStdString();
    EXPECT_EQ(Read(destination / "kestrune"), "the program that runs");
    EXPECT_NE(fs::status(destination / "kestrune").permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_EQ(Read(destination / "CtrlFile.ini"), "[CtrlFile]\r\n");
}

TEST_F(CopyProgramTest, PercentagesFollowTheTable) {
    // 785 files, as many as the first skin set had: 1 file is 0 per cent,
    // 8 files 1 per cent.
    std::vector<std::string> names;
    for (int i = 0; i < 785; ++i) {
        names.push_back("f" + std::to_string(i));
        Write(source / names.back(), "x");
    }
    std::vector<CopyProgramFile> table;
    for (const std::string& name : names) {
        table.push_back({name, false});
    }
    CCopyProgramDlg dialog(nullptr, source.path(), destination.path(), table);
    dialog.CopyProgramFiles();
    const auto& history = dialog.PercentHistory();
    ASSERT_EQ(history.size(), 785u);
    EXPECT_EQ(history[0], "  0%");
    EXPECT_EQ(history[6], "  0%");
    EXPECT_EQ(history[7], "  1%");
    EXPECT_EQ(history[783], " 99%");
    EXPECT_EQ(history[784], "100%");
}

TEST_F(CopyProgramTest, OverwritesAndKeepsTheOtherSettings) {
    Write(source / "prog", "new program");
    Write(source / "Setting.ini", "[Kestrune]\r\nServer Name=10.0.0.9\r\nRecord Path=/old/\r\n");
    Write(destination / "prog", "old program, longer than the new one");
    const CopyProgramFile table[] = {
        {"AlarmData.dat", true}, {"prog", false}, {"Setting.ini", true}};
    for (const bool slash : {false, true}) {
        SCOPED_TRACE(slash);
        const fs::path from = slash ? fs::path(source.path().string() + "/") : source.path();
        CCopyProgramDlg dialog(nullptr, from, destination.path(), table);
        dialog.CopyProgramFiles();
        EXPECT_TRUE(dialog.Outcome().Succeeded());
        EXPECT_EQ(dialog.Outcome().skipped, 1u);  // no alarm list yet
        EXPECT_FALSE(fs::exists(destination / "AlarmData.dat"));
        EXPECT_EQ(Read(destination / "prog"), "new program");
        EXPECT_EQ(Setting(destination.path(), "Server Name"), "10.0.0.9");
        EXPECT_EQ(Setting(destination.path(), "Record Path"), destination.path().string() + "/");
        EXPECT_EQ(dialog.percentLabel()->text(), "100%");
    }
    // The source's own settings are not touched.
    EXPECT_EQ(Setting(source.path(), "Record Path"), "/old/");
}

TEST_F(CopyProgramTest, FailedCopiesAreReportedAndNeverShowAHundred) {
    Write(source / "prog", "program");
    Write(source / "BMP/a.bmp", "a");
    Write(source / "BMP/blocked.bmp", "b");
    // A folder where a file should go: the copy cannot be renamed into place.
    fs::create_directories(destination / "BMP/blocked.bmp/inside");
    const CopyProgramFile table[] = {{"prog", false},
                                     {"BMP/missing.bmp", false},
                                     {"BMP/a.bmp", false},
                                     {"BMP/blocked.bmp", false}};
    CCopyProgramDlg dialog(nullptr, source.path(), destination.path(), table);
    dialog.show();
    dialog.CopyProgramFiles();
    EXPECT_FALSE(dialog.Outcome().Succeeded());
    EXPECT_EQ(dialog.Outcome().failed,
              (std::vector<std::string>{"BMP/missing.bmp", "BMP/blocked.bmp"}));
    EXPECT_EQ(dialog.Outcome().copied, 2u);
    EXPECT_TRUE(dialog.Outcome().settingsWritten);
    EXPECT_EQ(dialog.percentLabel()->text(), " 50%");
    EXPECT_EQ(dialog.progressBar()->value(), 50);
    EXPECT_FALSE(dialog.reportLabel()->isHidden());
    EXPECT_EQ(dialog.reportLabel()->text().toStdString(),
              "2 files could not be copied: BMP/missing.bmp, BMP/blocked.bmp.");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(Read(destination / "BMP/a.bmp"), "a");
    EXPECT_TRUE(fs::is_directory(destination / "BMP/blocked.bmp/inside"));
    EXPECT_TRUE(Leftovers(destination.path()).empty());
    test_support::SaveWidgetPicture(dialog, "copy_program_failed.png");
    dialog.accept();
}

TEST_F(CopyProgramTest, ManyFailuresNameTheFirstFew) {
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back("missing" + std::to_string(i));
    }
    std::vector<CopyProgramFile> table;
    for (const std::string& name : names) {
        table.push_back({name, false});
    }
    CCopyProgramDlg dialog(nullptr, source.path(), destination.path(), table);
    dialog.CopyProgramFiles();
    EXPECT_EQ(dialog.Outcome().failed.size(), 8u);
    EXPECT_EQ(dialog.reportLabel()->text().toStdString(),
              "8 files could not be copied: missing0, missing1, missing2, missing3, missing4 "
              "and 3 more.");
    EXPECT_EQ(dialog.percentLabel()->text(), "  0%");
}

TEST_F(CopyProgramTest, SettingsThatCannotBeWrittenAreAFailure) {
    Write(source / "prog", "program");
    fs::create_directories(destination / "Setting.ini");  // not a file
    const CopyProgramFile table[] = {{"prog", false}};
    CCopyProgramDlg dialog(nullptr, source.path(), destination.path(), table);
    dialog.CopyProgramFiles();
    EXPECT_TRUE(dialog.Outcome().failed.empty());
    EXPECT_FALSE(dialog.Outcome().settingsWritten);
    EXPECT_EQ(dialog.percentLabel()->text(), " 99%");
    EXPECT_EQ(dialog.reportLabel()->text().toStdString(),
              "The paths in the copy's Setting.ini could not be set.");
}

TEST_F(CopyProgramTest, TheStartTimerRunsTheCopyOnce) {
    Write(source / "prog", "program");
    const CopyProgramFile table[] = {{"prog", false}};
    CCopyProgramDlg dialog(nullptr, source.path(), destination.path(), table,
                           std::chrono::milliseconds(0));
    for (int i = 0; i < 1000 && !dialog.Finished(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    ASSERT_TRUE(dialog.Finished());
    EXPECT_EQ(dialog.Outcome().copied, 1u);
    dialog.CopyProgramFiles();  // a second run does nothing
    EXPECT_EQ(dialog.Outcome().copied, 1u);
    EXPECT_EQ(dialog.PercentHistory().size(), 1u);
}

TEST_F(CopyProgramTest, Picture) {
    Write(source / "prog", "program");
    const CopyProgramFile table[] = {{"prog", false}};
    CCopyProgramDlg dialog(nullptr, source.path(), destination.path(), table);
    dialog.show();
    dialog.CopyProgramFiles();
    QApplication::processEvents();
    test_support::SaveWidgetPicture(dialog, "copy_program.png");
    dialog.accept();
}

// The login dialog reaches the folder picker and this dialog through its
// hooks once start-up has installed them.
TEST_F(CopyProgramTest, TheLoginDialogOpensThePickerAndTheCopy) {
    liveview::InstallLoginDialogEntries();
    const LoginDialogHooks hooks = GetLoginDialogHooks();
    bool pickerShown = false;
    QTimer::singleShot(0, [&pickerShown] {
        if (auto* picker =
                qobject_cast<liveview::CDlgGetPath*>(QApplication::activeModalWidget())) {
            pickerShown = true;
            picker->reject();
        }
    });
    EXPECT_FALSE(hooks.pickFolder(nullptr, "/").has_value());
    EXPECT_TRUE(pickerShown);

    Write(source / "AlarmData.dat", "alarms");
    std::size_t copied = 0;
    QTimer::singleShot(0, [&copied] {
        if (auto* copy = qobject_cast<CCopyProgramDlg*>(QApplication::activeModalWidget())) {
            copy->CopyProgramFiles();
            copied = copy->Outcome().copied;
            copy->accept();
        }
    });
    hooks.copyProgram(nullptr, source.path(), destination.path());
    // The alarm list, and the running program as the executable.
    EXPECT_EQ(copied, 2u);
    EXPECT_EQ(Read(destination / "AlarmData.dat"), "alarms");
    EXPECT_EQ(fs::file_size(destination / "kestrune"),
              fs::file_size(platform::RunningExecutable()));
    SetLoginDialogHooks({});
}

}  // namespace
