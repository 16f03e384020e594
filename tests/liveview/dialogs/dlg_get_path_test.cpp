#include "liveview/dialogs/dlg_get_path.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "liveview/dialogs/mount_table.h"
#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using liveview::CDlgGetPath;

namespace {

TEST(MountTable, ParsesFieldsEscapesAndSkipsBrokenLines) {
    const auto entries = liveview::ParseMountTable(
        "proc /proc proc rw 0 0\n"
        "/dev/sdb1 /media/u/USB\\040STICK vfat rw 0 0\n"
        "//nas/Data /mnt/a\\134b cifs rw 0 0\n"
        "short /only\n"
        "dev relative ext4 rw\n"
        "\n"
        "/dev/x /tab\\011ok\tbtrfs rw\r\n");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].mountPoint, "/media/u/USB STICK");
    EXPECT_EQ(entries[2].mountPoint, "/mnt/a\\b");
    EXPECT_EQ(entries[2].type, "cifs");
    EXPECT_EQ(entries[3].mountPoint, "/tab\tok");
    EXPECT_EQ(entries[3].type, "btrfs");
}

TEST(MountTable, KnowsNetworkAndServers) {
    struct Case {
        const char* device;
        const char* server;
    };
    for (const Case& c :
         {Case{"//nas/Data", "nas"}, Case{"\\\\nas\\Data", "nas"}, Case{"nas:/export", "nas"},
          Case{"me@host.lan:/home/me", "host.lan"}, Case{"/dev/sda1", ""}, Case{":/x", ""},
          Case{"//", ""}, Case{"a\\b:/x", ""}, Case{"me@a\\b:/x", ""}, Case{"\\:/x", ""},
          Case{"dir/x:y", ""}, Case{"host\\", ""}}) {
        EXPECT_EQ(liveview::NetworkServerOf(c.device), c.server) << c.device;
    }
    EXPECT_TRUE(liveview::IsNetworkFileSystem("cifs"));
    EXPECT_TRUE(liveview::IsNetworkFileSystem("nfs4"));
    EXPECT_TRUE(liveview::IsNetworkFileSystem("fuse.sshfs"));
    EXPECT_FALSE(liveview::IsNetworkFileSystem("ext4"));
    EXPECT_TRUE(liveview::IsPseudoFileSystem("proc"));
}

TEST(MountTable, RefusesAMissingTable) {
    EXPECT_FALSE(liveview::ReadMountTable("/nonexistent/mounts").has_value());
}

TEST(FolderPicker, NormalisesAllCapitalNamesOnly) {
    struct Case {
        const char* name;
        const char* shown;
    };
    for (const Case& c : {Case{"WINDOWS", "Windows"}, Case{"PROGRAM FILES", "Program files"},
                          Case{"SYSTEM32", "System32"}, Case{"Mixed CASE", "Mixed CASE"},
                          Case{"123", "123"}, Case{"", ""}, Case{"X", "X"}}) {
        EXPECT_EQ(CDlgGetPath::NormalizedName(c.name).toStdString(), c.shown) << c.name;
    }
}

TEST(FolderPicker, PathPartsBetweenSeparators) {
    std::string part;
    EXPECT_TRUE(CDlgGetPath::GetPathPart("/home/me/", 0, part));
    EXPECT_EQ(part, "");
    EXPECT_TRUE(CDlgGetPath::GetPathPart("/home/me/", 2, part));
    EXPECT_EQ(part, "me");
    EXPECT_TRUE(CDlgGetPath::GetPathPart("/home/me", 2, part));
    EXPECT_EQ(part, "me");
    EXPECT_FALSE(CDlgGetPath::GetPathPart("/home/me", 3, part));
}

class FolderPickerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test_support::EnsureQtApp();
        fs::create_directories(dir / "home/SYSTEM32/inner");
        fs::create_directories(dir / "home/Empty");
        fs::create_directories(dir / "home/.hidden");
        std::ofstream(dir / "home/file.txt") << "not a folder";
        fs::create_directories(dir / "usb");
        fs::create_directories(dir / "nas");
        fs::create_directories(dir / "video");
        std::ofstream(dir / "mounts")
            << "proc /proc proc rw 0 0\n"
            << "/dev/sdb1 " << (dir / "usb").string() << " vfat rw 0 0\n"
            << "/dev/sda1 /etc/hostname-is-a-file-" << ::getpid() << " ext4 rw 0 0\n"
            << "//nas/Data " << (dir / "nas").string() << " cifs rw 0 0\n"
            << "nas:/video " << (dir / "video").string() << " nfs4 rw 0 0\n";
        sources.mountTable = dir / "mounts";
        sources.home = dir / "home";
    }

    static QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
        for (int i = 0; i < parent->childCount(); ++i) {
            if (parent->child(i)->text(0) == text) {
                return parent->child(i);
            }
        }
        return nullptr;
    }

    static void Select(CDlgGetPath& dialog, QTreeWidgetItem* item) {
        dialog.tree()->setCurrentItem(item);
        ASSERT_TRUE(item->isSelected());
    }

    test_support::TempDir dir;
    liveview::FolderPickerSources sources;
};

TEST_F(FolderPickerTest, RootsAreRootHomeMountsAndTheNetwork) {
    CDlgGetPath dialog(nullptr, sources);
    QTreeWidget* tree = dialog.tree();
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    EXPECT_EQ(dialog.GetItemPath(tree->topLevelItem(0)), "/");
    EXPECT_EQ(dialog.GetItemPath(tree->topLevelItem(1)), (dir / "home").string() + "/");
    EXPECT_EQ(dialog.GetItemPath(tree->topLevelItem(2)), (dir / "usb").string() + "/");
    EXPECT_EQ(tree->topLevelItem(3), dialog.networkRoot());
    EXPECT_EQ(dialog.networkRoot()->text(0), "Network Neighborhood");
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(tree->topLevelItem(i)->isExpanded());
        EXPECT_EQ(tree->topLevelItem(i)->childCount(), 0);  // nothing read yet
    }
    EXPECT_TRUE(tree->selectedItems().isEmpty());
}

TEST_F(FolderPickerTest, ExpandsLazilyOnceAndReturnsTheRealName) {
    CDlgGetPath dialog(nullptr, sources);
    dialog.SetPath("/start/");
    QTreeWidgetItem* home = dialog.tree()->topLevelItem(1);
    EXPECT_EQ(home->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    home->setExpanded(true);
    ASSERT_EQ(home->childCount(), 3);  // .hidden, Empty, System32; not the file
    EXPECT_EQ(dialog.folderReads(), 1);
    EXPECT_EQ(dialog.tree()->currentItem(), home);
    home->setExpanded(false);
    home->setExpanded(true);
    EXPECT_EQ(dialog.folderReads(), 1);
    EXPECT_EQ(home->childCount(), 3);

    QTreeWidgetItem* empty = Child(home, "Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    empty->setExpanded(true);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    // Shown tidied, returned as on disk: on this file system "System32" is
    // another folder.
    QTreeWidgetItem* system = Child(home, "System32");
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(Child(home, "SYSTEM32"), nullptr);
    system->setExpanded(true);
    QTreeWidgetItem* inner = Child(system, "inner");
    ASSERT_NE(inner, nullptr);
    Select(dialog, inner);
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetPath(), (dir / "home/SYSTEM32/inner").string() + "/");
    EXPECT_TRUE(fs::is_directory(dialog.GetPath()));
}

TEST_F(FolderPickerTest, OkWithoutChoosingKeepsTheStartPath) {
    CDlgGetPath dialog(nullptr, sources);
    dialog.SetPath("/some/start/");
    dialog.okButton()->click();
    EXPECT_EQ(dialog.GetPath(), "/some/start/");
}

TEST_F(FolderPickerTest, NetworkMountsStandUnderTheirServer) {
    CDlgGetPath dialog(nullptr, sources);
    QTreeWidgetItem* network = dialog.networkRoot();
    network->setExpanded(true);
    ASSERT_EQ(network->childCount(), 1);
    QTreeWidgetItem* server = network->child(0);
    EXPECT_EQ(server->text(0), "nas");
    ASSERT_EQ(server->childCount(), 2);

    Select(dialog, network);
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    Select(dialog, server);
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    Select(dialog, server->child(0));
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    EXPECT_EQ(server->child(0)->toolTip(0), "//nas/Data");
    dialog.okButton()->click();
    EXPECT_EQ(dialog.GetPath(), (dir / "nas").string() + "/");
}

TEST_F(FolderPickerTest, NoMountTableLeavesRootHomeAndNetwork) {
    sources.mountTable = dir / "missing";
    CDlgGetPath dialog(nullptr, sources);
    EXPECT_EQ(dialog.tree()->topLevelItemCount(), 3);
    dialog.networkRoot()->setExpanded(true);
    EXPECT_EQ(dialog.networkRoot()->childCount(), 0);
}

TEST_F(FolderPickerTest, Screenshot) {
    CDlgGetPath dialog(nullptr, sources);
    dialog.tree()->topLevelItem(1)->setExpanded(true);
    dialog.networkRoot()->setExpanded(true);
    dialog.networkRoot()->child(0)->setExpanded(true);
    dialog.show();
    QApplication::processEvents();
    const QImage shot = dialog.grab().toImage();
    test_support::SaveImagePicture(shot, "folder_picker.png");
    dialog.reject();
}

}  // namespace
