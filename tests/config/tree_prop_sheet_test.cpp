// The tree property sheet: the tree by family, frame captions, keyboard
// paging, pages built when first shown, placement beside the main window,
// and a picture of the sheet with its title band and progress bar.

#include "config/sheet/tree_prop_sheet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QTabBar>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/qt_app.h"

namespace {

namespace fs = std::filesystem;

const std::vector<QString> kQ7BPages = {"Network",    "Mail",    "FTP",     "Alarm",
                                        "Alarm List", "General", "Account", "Online User Info",
                                        "File Path"};
const std::vector<QString> kDvrPages = {"Network",
                                        "DDNS",
                                        "Mail",
                                        "FTP",
                                        "DVR",
                                        "Device",
                                        "Detection",
                                        "Network Backup",
                                        "Search List",
                                        "Timer Record",
                                        "Date",
                                        "Record Setting",
                                        "Alarm",
                                        "Alarm List",
                                        "General",
                                        "Account",
                                        "Online User Info",
                                        "File Path"};

class RefusingPage : public QLabel, public SheetPage {
public:
    RefusingPage() : QLabel("refuses to be left") {}
    bool OnKillActive() override { return false; }
};

class TreeSheetTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }

    std::unique_ptr<CTreePropSheet> Sheet(const char* product, const std::vector<QString>& pages) {
        auto sheet = std::make_unique<CTreePropSheet>("System setting", nullptr, product);
        sheet->SetTreeMode(true);
        for (const QString& caption : pages) {
            sheet->AddPage(caption, [caption] { return new QLabel("Page " + caption); });
        }
        sheet->InitSheet();
        return sheet;
    }

    static std::string Shape(QTreeWidget* tree) {
        std::string shape;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* root = tree->topLevelItem(i);
            shape += root->text(0).toStdString();
            if (root->childCount() > 0) {
                shape += "(";
                for (int c = 0; c < root->childCount(); ++c) {
                    shape += (c > 0 ? "," : "") + root->child(c)->text(0).toStdString();
                }
                shape += ")";
            }
            shape += " ";
        }
        return shape;
    }

    static void CtrlTab(CTreePropSheet& sheet, bool shift) {
        QKeyEvent press(QEvent::KeyPress, shift ? Qt::Key_Backtab : Qt::Key_Tab,
                        shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
        QApplication::sendEvent(sheet.GetPageTree(), &press);
    }
};

TEST_F(TreeSheetTest, TreeFollowsTheFamilyTable) {
    auto q7b = Sheet("Q7B5", kQ7BPages);
    EXPECT_EQ(Shape(q7b->GetPageTree()),
              "Network(Mail,FTP) Alarm(Alarm List) General(Account,Online User Info,File Path) ");
    EXPECT_EQ(g_lpPageTreeTable.load(), &kQ7BPageTree);
    EXPECT_EQ(q7b->GetPageTree()->objectName(), "PageTree");

    // A tab without a row ends the tree there.
    auto odd = Sheet("Q3A2", {"Network", "Mystery", "Mail"});
    EXPECT_EQ(Shape(odd->GetPageTree()), "Network ");
    // A product of no family gets no tree items.
    auto none = Sheet("ABCD", kQ7BPages);
    EXPECT_EQ(none->GetPageTree()->topLevelItemCount(), 0);
    EXPECT_EQ(PageTreeTableFor("Q9C0"), &kQ9C0PageTree);
    EXPECT_EQ(PageTreeTableFor("Q8A3"), &kDvrPageTree);
}

TEST_F(TreeSheetTest, FrameCaptionAndPagesBuiltWhenShown) {
    auto dvr = Sheet("Q8A7", kDvrPages);
    EXPECT_EQ(dvr->ActivePageIndex(), 0);
    EXPECT_TRUE(dvr->PageWindowExists(0));
    EXPECT_FALSE(dvr->PageWindowExists(11));
    ASSERT_TRUE(dvr->SelectPageTreeItem(11));
    dvr->GetPageTree()->setCurrentItem(dvr->GetPageTree()->currentItem());
    ASSERT_TRUE(dvr->SetActivePage(11));
    EXPECT_TRUE(dvr->PageWindowExists(11));
    EXPECT_EQ(dvr->GetPageFrame()->CaptionText(), "DVR-Record");
    // Selecting a tree item activates its page.
    QTreeWidget* tree = dvr->GetPageTree();
    tree->setCurrentItem(tree->topLevelItem(3));  // "General"
    EXPECT_EQ(dvr->ActivePageIndex(), 14);
    EXPECT_EQ(dvr->GetPageFrame()->CaptionText(), "General");

    // A page's own icon shows on its item and in the frame's caption.
    QPixmap dot(16, 16);
    dot.fill(Qt::red);
    ASSERT_TRUE(dvr->SetPageIcon(14, QIcon(dot)));
    EXPECT_FALSE(dvr->GetPageTree()->topLevelItem(3)->icon(0).isNull());
    EXPECT_FALSE(dvr->GetPageFrame()->CaptionImage().isNull());
    ASSERT_TRUE(dvr->DestroyPageIcon(14));
    EXPECT_TRUE(dvr->GetPageFrame()->CaptionImage().isNull());
    EXPECT_FALSE(dvr->SetPageIcon(99, QIcon(dot)));
    EXPECT_FALSE(dvr->SetPageIcon(0, QList<QIcon>{QIcon(dot)}, 1));

    auto q3a2 = Sheet("Q3A2", {"Network", "Alarm", "General"});
    q3a2->SetActivePage(2);
    EXPECT_EQ(q3a2->GetPageFrame()->CaptionText(), "General");
    EXPECT_EQ(q3a2->SetTreeWidth(200), 0);  // too late once set up
}

TEST_F(TreeSheetTest, CtrlTabWalksTheTree) {
    auto sheet = Sheet("Q7B5", kQ7BPages);
    sheet->SetActivePage(8);  // "File Path", the last item
    CtrlTab(*sheet, false);
    EXPECT_EQ(sheet->ActivePageIndex(), 0);  // "Network"
    CtrlTab(*sheet, false);
    EXPECT_EQ(sheet->ActivePageIndex(), 1);  // "Mail", Network's first child
    CtrlTab(*sheet, true);
    EXPECT_EQ(sheet->ActivePageIndex(), 0);  // back to its parent
    CtrlTab(*sheet, true);
    EXPECT_EQ(sheet->ActivePageIndex(), 8);  // "File Path"
    CtrlTab(*sheet, true);
    EXPECT_EQ(sheet->ActivePageIndex(), 7);  // "Online User Info"
    sheet->SetActivePage(5);                 // "General"
    CtrlTab(*sheet, true);
    EXPECT_EQ(sheet->ActivePageIndex(), 4);  // "Alarm List", the previous root's last child
}

TEST_F(TreeSheetTest, PageThatRefusesToBeLeftKeepsTheSelection) {
    auto sheet = std::make_unique<CTreePropSheet>("System setting", nullptr, "Q9C0");
    sheet->AddPage("Network", [] { return new RefusingPage(); });
    sheet->AddPage("DDNS", [] { return new QLabel("DDNS"); });
    sheet->InitSheet();
    QTreeWidget* tree = sheet->GetPageTree();
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    EXPECT_EQ(sheet->ActivePageIndex(), 0);
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
    EXPECT_FALSE(sheet->PageWindowExists(1));
}

TEST_F(TreeSheetTest, WithoutTreeModeAnOrdinaryTabbedSheet) {
    CTreePropSheet sheet("System setting", nullptr, "Q7B5");
    ASSERT_EQ(sheet.SetTreeMode(false), 1);
    for (const QString& caption : kQ7BPages) {
        sheet.AddPage(caption, [caption] { return new QLabel(caption); });
    }
    sheet.InitSheet();
    EXPECT_EQ(sheet.GetPageTree(), nullptr);
    ASSERT_NE(sheet.GetTabBar(), nullptr);
    EXPECT_EQ(sheet.GetTabBar()->count(), 9);
    sheet.GetTabBar()->setCurrentIndex(3);
    EXPECT_EQ(sheet.ActivePageIndex(), 3);
    EXPECT_TRUE(sheet.PageWindowExists(3));
    sheet.SetActivePage(8);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
    QApplication::sendEvent(&sheet, &press);
    EXPECT_EQ(sheet.ActivePageIndex(), 0);  // after the last tab, the first
    EXPECT_EQ(sheet.GetTabBar()->currentIndex(), 0);
    EXPECT_EQ(sheet.SetTreeMode(true), 0);
}

TEST(SheetPlacement, BesideOrCentred) {
    const QRect work(0, 0, 1920, 1080);
    const QSize sheet(624, 494);
    // Room on the right: the main window keeps its place, the sheet sits
    // flush to it, overlapping by 2 pixels.
    auto p = PlaceBesideMainWindow(QRect(0, 100, 800, 600), sheet, work);
    ASSERT_TRUE(p.mainWindow);
    EXPECT_EQ(*p.mainWindow, QPoint(0, 100));
    EXPECT_EQ(p.sheet, QPoint(798, 100));
    // Room only when both move: the pair is centred.
    p = PlaceBesideMainWindow(QRect(1500, 100, 800, 600), sheet, work);
    ASSERT_TRUE(p.mainWindow);
    EXPECT_EQ(*p.mainWindow, QPoint((1920 - 800 - 624) >> 1, (1080 - 600) >> 1));
    EXPECT_EQ(p.sheet, QPoint(((1920 - 800 - 624) >> 1) + 798, (1080 - 600) >> 1));
    // No room at all: only the sheet moves, centred, never above the top.
    p = PlaceBesideMainWindow(QRect(0, 0, 1600, 900), QSize(624, 1200), work);
    EXPECT_FALSE(p.mainWindow);
    EXPECT_EQ(p.sheet, QPoint((1920 - 624) >> 1, 0));
}

TEST(SheetProgressLayout, FillAndPercentage) {
    // Commands 1, 2 (200), 3 (150): three quarters, 75 in blue on the fill.
    auto layout = LayoutProgressBar(100, 504, {true, 200, 150});
    EXPECT_TRUE(layout.filled);
    EXPECT_EQ(layout.fillWidth, 400 * 150 / 200);
    EXPECT_EQ(layout.percent, 75u);
    EXPECT_TRUE(layout.textInside);
    EXPECT_EQ(layout.textX, 100 + 300 - 43);
    // 50 of 200: 25 to the right of the fill.
    layout = LayoutProgressBar(100, 504, {true, 200, 50});
    EXPECT_EQ(layout.percent, 25u);
    EXPECT_FALSE(layout.textInside);
    EXPECT_EQ(layout.textX, 100 + 100 + 4);
    // Exactly 50 % is still drawn to the right.
    EXPECT_FALSE(LayoutProgressBar(100, 504, {true, 200, 100}).textInside);
    // No total: nothing filled, nothing divided.
    layout = LayoutProgressBar(100, 504, {true, 0, 150});
    EXPECT_FALSE(layout.filled);
    EXPECT_EQ(layout.percent, 0u);
    // A position past the total fills the bar and no more.
    EXPECT_EQ(LayoutProgressBar(100, 504, {true, 10, 99}).fillWidth, 400);
}

// Progress commands from other threads through the published block.
class SheetProgressThreadTest : public ::testing::Test {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }
};

TEST_F(SheetProgressThreadTest, CommandsFromWorkersReachTheState) {
    auto block = std::make_shared<SheetProgressBlock>(0);
    SheetProgressThread thread;
    ASSERT_TRUE(thread.Start(block));
    PublishSheetProgressBlock(block);
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([w] {
            EXPECT_TRUE(PostSheetProgress(kProgressStart, 0));
            EXPECT_TRUE(PostSheetProgress(kProgressSetTotal, 200));
            for (int i = 0; i < 50; ++i) {
                EXPECT_TRUE(PostSheetProgress(kProgressSetPosition, w * 50 + i));
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    // A no-op command waits for the one before it.
    EXPECT_TRUE(PostSheetProgress(kProgressNone, 0));
    EXPECT_TRUE(PostSheetProgress(kProgressSetTotal, 200));
    EXPECT_TRUE(PostSheetProgress(kProgressSetPosition, 150));
    EXPECT_TRUE(PostSheetProgress(kProgressNone, 0));
    const SheetProgressState state = block->State();
    EXPECT_TRUE(state.shown);
    EXPECT_EQ(state.total, 200);
    EXPECT_EQ(state.position, 150);
    EXPECT_TRUE(PostSheetProgress(kProgressHide, 0));
    EXPECT_TRUE(PostSheetProgress(kProgressNone, 0));
    EXPECT_FALSE(block->State().shown);

    thread.Stop();
    EXPECT_FALSE(thread.Running());
    // Once the sheet has closed the block a post fails at once.
    EXPECT_FALSE(PostSheetProgress(kProgressStart, 0, std::chrono::hours(1)));
    PublishSheetProgressBlock(nullptr);
    EXPECT_FALSE(PostSheetProgress(kProgressStart, 0));
}

TEST_F(SheetProgressThreadTest, ZeroTotalAndBoundedWait) {
    auto block = std::make_shared<SheetProgressBlock>(0);
    // No thread serves the block: the second post cannot be carried out and
    // gives up after its bound instead of waiting for ever.
    EXPECT_TRUE(block->Post(kProgressStart, 0, std::chrono::milliseconds(0)));
    EXPECT_FALSE(block->Post(kProgressStart, 0, std::chrono::milliseconds(1)));
    SheetProgressThread thread;
    ASSERT_TRUE(thread.Start(block));
    EXPECT_TRUE(block->Post(kProgressSetPosition, 7));  // no total: ignored
    EXPECT_TRUE(block->Post(kProgressNone, 0));
    EXPECT_EQ(block->State().position, 0);
    EXPECT_TRUE(block->State().shown);
    thread.Stop();
}

TEST_F(TreeSheetTest, PictureWithTitleBandAndProgress) {
    auto sheet = Sheet("Q8A7", kDvrPages);
    sheet->SetActivePage(11);
    PublishSheetProgressBlock(sheet->ProgressBlock());
    ASSERT_TRUE(PostSheetProgress(kProgressStart, 0));
    ASSERT_TRUE(PostSheetProgress(kProgressSetTotal, 200));
    ASSERT_TRUE(PostSheetProgress(kProgressSetPosition, 150));
    ASSERT_TRUE(PostSheetProgress(kProgressNone, 0));
    platform::ProcessPostedMessages();
    sheet->show();
    QApplication::processEvents();
    const QImage shot = sheet->grab().toImage();
    test_support::SaveImagePicture(shot, "tree_prop_sheet_dvr.png");
    const QRect band = sheet->TitleBandRect();
    EXPECT_EQ(shot.pixelColor(band.left() + 5, band.bottom() - 3), QColor(0, 50, 128));
    const QRect bar = sheet->ProgressRect();
    EXPECT_EQ(shot.pixelColor(bar.left() + 10, bar.top() + bar.height() / 2), QColor(196, 255, 0));
    EXPECT_EQ(shot.pixelColor(bar.right() - 5, bar.top() + bar.height() / 2), QColor(0, 100, 255));
    sheet->done(0);
    EXPECT_FALSE(PostSheetProgress(kProgressStart, 0));
}

// One picture per family, with the pages the configuration window adds for
// it, so a person can compare the trees.
struct FamilySheet {
    const char* product;
    std::vector<QString> pages;
    std::string shape;
};

class FamilySheetPicture : public ::testing::TestWithParam<FamilySheet> {
protected:
    void SetUp() override { test_support::EnsureQtApp(); }
};

TEST_P(FamilySheetPicture, TreeAndPicture) {
    const FamilySheet& family = GetParam();
    CTreePropSheet sheet("System setting", nullptr, family.product);
    for (const QString& caption : family.pages) {
        sheet.AddPage(caption, [caption] { return new QLabel("Page " + caption); });
    }
    sheet.InitSheet();
    std::string shape;
    QTreeWidget* tree = sheet.GetPageTree();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        shape += tree->topLevelItem(i)->text(0).toStdString() + ":" +
                 std::to_string(tree->topLevelItem(i)->childCount()) + " ";
    }
    EXPECT_EQ(shape, family.shape);
    sheet.show();
    QApplication::processEvents();
    test_support::SaveImagePicture(sheet.grab().toImage(),
                                   std::string("tree_prop_sheet_") + family.product + ".png");
}

INSTANTIATE_TEST_SUITE_P(
    Families, FamilySheetPicture,
    ::testing::Values(
        FamilySheet{"Q8A5", kDvrPages, "Network:3 DVR:7 Alarm:1 General:3 "},
        FamilySheet{"Q3A2",
                    {"Network", "DDNS", "Mail", "FTP", "Server Time Config", "Alarm", "Alarm List",
                     "General", "Account", "Peripheral", "Online User Info", "File Path"},
                    "Network:4 Alarm:1 General:4 "},
        FamilySheet{"Q9C0",
                    {"Network", "DDNS", "Mail", "FTP", "Server Time Config", "Alarm", "Alarm List",
                     "General", "Account", "Online User Info", "File Path"},
                    "Network:4 Alarm:1 General:3 "},
        FamilySheet{"Q7B3", kQ7BPages, "Network:2 Alarm:1 General:3 "}),
    [](const auto& instance) { return std::string(instance.param.product); });

}  // namespace
