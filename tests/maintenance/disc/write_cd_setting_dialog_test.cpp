#include "maintenance/disc/write_cd_setting_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "config/sheet/sheet_progress.h"
#include "maintenance/disc/disc_writer.h"
#include "tests/maintenance/disc/fake_engine_fixture.h"
#include "tests/support/artifacts.h"

namespace {

using disc_test::FakeEngineTest;

class WriteCdSettingDialogTest : public FakeEngineTest {
protected:
    void SetUp() override {
        FakeEngineTest::SetUp();
        source = (folder.path() / "CH02_0007.dvr").string();
        std::ofstream(source) << "backup";
    }

    // A dialog set up as the backup page does, initialised.
    std::unique_ptr<WriteCdSettingDialog> Open(std::uint32_t media = kMediumCd) {
        auto dialog = std::make_unique<WriteCdSettingDialog>(nullptr, &writer);
        EXPECT_TRUE(dialog->SetSource(source, &drives, 2, media, std::uint64_t{3} << 20));
        dialog->OnInitDialog();
        return dialog;
    }

    template <typename T>
    T* Get(WriteCdSettingDialog& dialog, int id) {
        return qobject_cast<T*>(dialog.Control(id));
    }

    std::string source;
    std::vector<std::string> drives{"Fake DVD-RW", "Image Recorder"};
    CDiscWriter writer;
};

TEST_F(WriteCdSettingDialogTest, ShowsTheSourceTheNameAndTheDrives) {
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Write CD Setting");
    EXPECT_EQ(Get<QLineEdit>(*dialog, WriteCdSettingDialog::kIdSourceFile)->text().toStdString(),
              source);
    EXPECT_TRUE(Get<QLineEdit>(*dialog, WriteCdSettingDialog::kIdSourceFile)->isReadOnly());
    EXPECT_EQ(Get<QLineEdit>(*dialog, WriteCdSettingDialog::kIdFileName)->text(), "CH02_0007.dvr");
    EXPECT_EQ(dialog->m_strSourceFolder, folder.path().string() + "/");
    EXPECT_EQ(writer.m_dwSourceSize, std::uint64_t{3} << 20);
    auto* list = Get<QComboBox>(*dialog, WriteCdSettingDialog::kIdDrives);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), "Image Recorder");
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(dialog->m_nDriveIndex, 0);
    for (int id : {WriteCdSettingDialog::kIdImportLastSession, WriteCdSettingDialog::kIdCd,
                   WriteCdSettingDialog::kIdDvd}) {
        EXPECT_FALSE(dialog->Control(id)->isVisibleTo(dialog.get()));
        EXPECT_FALSE(dialog->Control(id)->isEnabled());
    }
    EXPECT_EQ(Get<QCheckBox>(*dialog, WriteCdSettingDialog::kIdAppendPlayer)->text(),
              "Append Player ");
    EXPECT_EQ(Get<QPushButton>(*dialog, WriteCdSettingDialog::kIdCancelWriting)->text(),
              "CANCEL WRITING CD");
    test_support::SaveWidgetPicture(*dialog, "write_cd_setting_dialog.png");
}

TEST_F(WriteCdSettingDialogTest, WithoutDrivesTheSourceIsRefused) {
    WriteCdSettingDialog dialog(nullptr, &writer);
    EXPECT_FALSE(dialog.SetSource(source, &drives, 0, kMediumCd, 1));
    EXPECT_FALSE(dialog.SetSource(source, nullptr, 2, kMediumCd, 1));
}

TEST_F(WriteCdSettingDialogTest, TheMediumSelectsCdOrDvd) {
    for (const std::uint32_t media : {kMediumCd, kMediumDvd, kMediumNone}) {
        SCOPED_TRACE(media);
        auto dialog = Open(media);
        EXPECT_EQ(Get<QRadioButton>(*dialog, WriteCdSettingDialog::kIdCd)->isChecked(),
                  media == kMediumCd);
        EXPECT_EQ(Get<QRadioButton>(*dialog, WriteCdSettingDialog::kIdDvd)->isChecked(),
                  media != kMediumCd);
    }
}

TEST_F(WriteCdSettingDialogTest, CloseDiscIsKeptAndAppendPlayerStartsClearedEachTime) {
    settings().m_dwWriteCdCloseOption = 1;
    settings().m_bAppendPlayer = true;
    auto first = Open();
    EXPECT_TRUE(Get<QCheckBox>(*first, WriteCdSettingDialog::kIdCloseDisc)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(*first, WriteCdSettingDialog::kIdAppendPlayer)->isChecked());
    EXPECT_FALSE(settings().m_bAppendPlayer.load());

    Get<QCheckBox>(*first, WriteCdSettingDialog::kIdCloseDisc)->click();
    Get<QCheckBox>(*first, WriteCdSettingDialog::kIdAppendPlayer)->click();
    EXPECT_FALSE(first->m_bCloseDisc);
    EXPECT_EQ(settings().m_dwWriteCdCloseOption.load(), 0u);
    EXPECT_TRUE(first->m_bAppendPlayer);
    EXPECT_TRUE(settings().m_bAppendPlayer.load());

    auto second = Open();
    EXPECT_FALSE(Get<QCheckBox>(*second, WriteCdSettingDialog::kIdCloseDisc)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(*second, WriteCdSettingDialog::kIdAppendPlayer)->isChecked());
    EXPECT_FALSE(settings().m_bAppendPlayer.load());
}

TEST_F(WriteCdSettingDialogTest, TheDriveAndTheNameAreTakenAsChosen) {
    auto dialog = Open();
    Get<QComboBox>(*dialog, WriteCdSettingDialog::kIdDrives)->setCurrentIndex(1);
    EXPECT_EQ(dialog->m_nDriveIndex, 1);
    auto* name = Get<QLineEdit>(*dialog, WriteCdSettingDialog::kIdFileName);
    name->setText("Renamed.txt");
    EXPECT_EQ(dialog->m_strFileName, "Renamed.txt");
    Get<QPushButton>(*dialog, WriteCdSettingDialog::kIdOk)->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(WriteCdSettingDialogTest, TheBurnPhasesDriveTheSheetsBar) {
    auto block = std::make_shared<SheetProgressBlock>(0);
    SheetProgressThread thread;
    ASSERT_TRUE(thread.Start(block));
    PublishSheetProgressBlock(block);
    const auto settle = [] { EXPECT_TRUE(PostSheetProgress(kProgressNone, 0)); };

    WriteCdProgressHook(kDiscBurnStarts, 0);
    settle();
    EXPECT_TRUE(block->State().shown);
    EXPECT_EQ(block->State().total, 100);
    EXPECT_EQ(block->State().position, 0);
    WriteCdProgressHook(kDiscBurnProgress, 40);
    settle();
    EXPECT_EQ(block->State().position, 40);
    WriteCdProgressHook(7, 90);  // no command
    settle();
    EXPECT_EQ(block->State().position, 40);
    WriteCdProgressHook(kDiscBurnEnded, 0);
    settle();
    EXPECT_FALSE(block->State().shown);

    thread.Stop();
    PublishSheetProgressBlock(nullptr);
    // Without an open sheet the hook does nothing and never waits.
    WriteCdProgressHook(kDiscBurnStarts, 0);
}

TEST_F(WriteCdSettingDialogTest, ThePreparationRepeatsUntilTheDiscSuitsOrItIsCancelled) {
    Configure({{"drives", "Fake DVD-RW|Image Recorder"}, {"entries", "CH02_0007.DVR@1000"}});
    int shown = 0;
    // First showing: OK with the clashing name; the second comes back with the
    // source's name and is answered on the image recorder under a new name.
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<WriteCdSettingDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            QTimer::singleShot(0, answer);
            return;
        }
        ++shown;
        EXPECT_EQ(dialog->m_strFileName, "CH02_0007.dvr");
        if (shown == 2) {
            dialog->findChild<QComboBox*>()->setCurrentIndex(1);
            Get<QLineEdit>(*dialog, WriteCdSettingDialog::kIdFileName)->setText("CH02_0008.dvr");
        }
        dialog->OnOk();
        if (shown == 1) {
            QTimer::singleShot(0, answer);
        }
    };
    QTimer::singleShot(0, answer);
    // The program's writer, as the backup page uses it.
    ASSERT_EQ(PrepareBackupBurn(nullptr, source, 3), maintenance::BurnPreparation::kBurn);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "FileName is tha same as other existed file,please modify it"});
    EXPECT_EQ(AppDiscWriter().m_nDriveIndex, 1);
    EXPECT_EQ(AppDiscWriter().m_strDiscFile, folder.path().string() + "/CH02_0008.dvr");
    EXPECT_EQ(AppDiscWriter().m_dwSourceSize, std::uint64_t{3} << 20);

    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<WriteCdSettingDialog*>(QApplication::activeModalWidget())) {
            dialog->reject();
        }
    });
    EXPECT_EQ(PrepareBackupBurn(nullptr, source, 3), maintenance::BurnPreparation::kNoBurn);
    ReleaseAppDiscWriter();
}

}  // namespace
