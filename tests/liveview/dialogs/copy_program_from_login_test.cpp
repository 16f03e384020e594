// The copy of the program as the operator makes it: the login dialog run
// as the program runs it, its copy button clicked, a folder chosen in the
// folder picker, the copy dialog watched to its end and closed with OK. The
// program's folder is a data folder as an installed program has it (the
// files and skins, no executable): the executable comes from the running
// program. A copy that misses files says which, in full.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "core/dialogs/login_dialog.h"
#include "core/dialogs/login_dialog_hooks.h"
#include "core/state/app_global_state.h"
#include "core/widgets/qel_button.h"
#include "liveview/dialogs/copy_program_dlg.h"
#include "liveview/dialogs/dlg_get_path.h"
#include "liveview/dialogs/login_dialog_entries.h"
#include "platform/program_folder.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/qt_app.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/user_input.h"
#include "tests/support/wait.h"

namespace {

namespace fs = std::filesystem;
using liveview::CCopyProgramDlg;
using liveview::CDlgGetPath;
using test_support::ExpectReachable;
using test_support::ModalScript;
using test_support::UserClick;

const fs::path kBuiltProgram = KESTRUNE_BUILT_PROGRAM_DIR;

// What the copy dialog showed when it had finished.
struct CopySeen {
    bool succeeded = false;
    std::string report;
    bool reportWhole = false;  // every line of the report within the dialog
};

class CopyProgramFromLogin : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        platform::SetProgramFolder(data.path());
        g_lpApp = new AppGlobalState();
        g_lpApp->CSettingINI.m_strProgramDir = data.path().string() + "/";
        liveview::InstallLoginDialogEntries();
    }
    void TearDown() override {
        SetLoginDialogHooks({});
        platform::ProcessPostedMessages();
        delete g_lpApp;
        g_lpApp = nullptr;
        platform::ResetProgramFolder();
    }

    // The data folder of an installed program: every file of the built
    // program but the executable and the `missing` ones, and settings of
    // its own.
    void SeedDataFolder(const std::set<std::string>& missing = {}) {
        for (const liveview::CopyProgramFile& file : liveview::CopyProgramFileTable()) {
            const fs::path from = kBuiltProgram / file.name;
            if (file.runningProgram || missing.count(std::string(file.name)) != 0 ||
                !fs::is_regular_file(from)) {
                continue;
            }
            fs::create_directories((data / file.name).parent_path());
            fs::copy_file(from, data / file.name);
        }
        std::ofstream(data / "Setting.ini") << "[Kestrune]\r\nServer Name=10.1.2.3\r\n";
    }

    // Picks the user's home folder (the temporary one) in the picker.
    void ChooseHome(CDlgGetPath& picker) {
        QTreeWidget* tree = picker.tree();
        const std::string wanted = home.path().string() + "/";
        QTreeWidgetItem* item = nullptr;
        for (int i = 0; i < tree->topLevelItemCount() && item == nullptr; ++i) {
            if (picker.GetItemPath(tree->topLevelItem(i)) == wanted)
                item = tree->topLevelItem(i);
        }
        ASSERT_NE(item, nullptr) << "no node for the home folder";
        UserClick(tree->viewport(), tree->visualItemRect(item).center());
        ASSERT_TRUE(ExpectReachable(picker.okButton()));
        UserClick(picker.okButton());
    }

    // The whole road from the login dialog's copy button; what the copy
    // dialog showed.
    CopySeen CopyFromTheLoginDialog(const char* picture) {
        CopySeen seen;
        ModalScript<CDlgGetPath> picker([this](CDlgGetPath& dialog) {
            ChooseHome(dialog);
            test_support::RejectIfOpen(dialog);
        });
        ModalScript<CCopyProgramDlg> copy([&seen, picture](CCopyProgramDlg& dialog) {
            EXPECT_TRUE(test_support::PumpUntil([&] { return dialog.Finished(); }, "the copy"));
            seen.succeeded = dialog.Outcome().Succeeded();
            QLabel* report = dialog.reportLabel();
            if (!report->isHidden()) {
                seen.report = report->text().toStdString();
                seen.reportWhole = dialog.rect().contains(report->geometry()) &&
                                   report->height() >= report->heightForWidth(report->width());
            }
            test_support::SaveWidgetPicture(dialog, picture);
            if (ExpectReachable(dialog.okButton()))
                UserClick(dialog.okButton());
            test_support::RejectIfOpen(dialog);
        });
        ModalScript<LoginDialog> atLogin([](LoginDialog& login) {
            if (ExpectReachable(login.Button(LoginDialog::kIdCopy)))
                UserClick(login.Button(LoginDialog::kIdCopy));
            login.reject();
        });
        LoginDialog login;
        login.DoModal();
        EXPECT_EQ(atLogin.Runs(), 1);
        EXPECT_EQ(picker.Runs(), 1);
        EXPECT_EQ(copy.Runs(), 1);
        return seen;
    }

    test_support::TempDir data;
    test_support::TempDir home;
    test_support::ScopedEnv useHome{"HOME", home.path().string()};
};

TEST_F(CopyProgramFromLogin, TheCopyOfAnInstalledProgramRuns) {
    SeedDataFolder();
    const CopySeen seen = CopyFromTheLoginDialog("copy_program_from_login.png");
    EXPECT_TRUE(seen.succeeded) << seen.report;
    // The executable is the running program's, ready to run.
    const fs::path copy = home.path() / "kestrune";
    ASSERT_TRUE(fs::is_regular_file(copy));
    EXPECT_EQ(fs::file_size(copy), fs::file_size(platform::RunningExecutable()));
    EXPECT_NE(fs::status(copy).permissions() & fs::perms::owner_exec, fs::perms::none);
    // The data files come from the program's folder.
    EXPECT_TRUE(fs::is_regular_file(home.path() / "CtrlFile.ini"));
    EXPECT_TRUE(fs::is_regular_file(home.path() / "BMP/LOGIN/copy.bmp"));
}

// Files missing from the program's folder: the report names them, wrapped
// over as many lines as it needs, every line inside the dialog.
TEST_F(CopyProgramFromLogin, TheReportOfMissingFilesIsShownWhole) {
    std::set<std::string> missing;
    for (const liveview::CopyProgramFile& file : liveview::CopyProgramFileTable()) {
        if (file.name.starts_with("BMP/LOGIN/") && missing.size() < 7)
            missing.insert(std::string(file.name));
    }
    SeedDataFolder(missing);
    const CopySeen seen = CopyFromTheLoginDialog("copy_program_failed_from_login.png");
    EXPECT_FALSE(seen.succeeded);
    EXPECT_TRUE(seen.report.starts_with("7 files could not be copied: BMP/LOGIN/")) << seen.report;
    EXPECT_TRUE(seen.reportWhole) << seen.report;
}

}  // namespace
