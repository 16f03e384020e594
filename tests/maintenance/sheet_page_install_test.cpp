// The program's one page installer: every page the sheet holds has one row
// in the factory tables, and every page a family's sheet lists is built
// through them as its own class.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "config/pages/page_factories.h"
#include "maintenance/sheet_page_install.h"
#include "tests/config/pages/page_test_fixture.h"

namespace {

TEST(SheetPageTables, HoldEveryPageOnce) {
    std::map<SheetPageId, int> rows;
    for (const auto table : {ConfigPageFactories(), RecordedDataPageFactories()}) {
        for (const SheetPageFactoryRow& row : table) {
            EXPECT_NE(row.build, nullptr);
            ++rows[row.id];
        }
    }
    for (const SheetPageEntry& entry : kSheetPages) {
        EXPECT_EQ(rows[entry.id], 1) << entry.className;
    }
    EXPECT_EQ(rows.size(), kSheetPages.size());
}

// The class name without its namespace.
std::string_view PlainName(const QWidget& page) {
    std::string_view name = page.metaObject()->className();
    const auto colons = name.rfind("::");
    return colons == std::string_view::npos ? name : name.substr(colons + 2);
}

class SheetPageInstall : public page_test::PageTest,
                         public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        PageTest::SetUp();
        InstallSheetPages();
    }
    void TearDown() override {
        PageTest::TearDown();
        SetSheetOpeningHook({});
        SetDetectionChannelSwitch({});
    }
};

TEST_P(SheetPageInstall, BuildsEveryListedPageThroughTheTables) {
    ASSERT_NE(Open(GetParam()), nullptr);
    ASSERT_FALSE(sheet->Pages().empty());
    for (const SheetPageId id : sheet->Pages()) {
        SCOPED_TRACE(std::string(PageEntry(id).className));
        ASSERT_TRUE(sheet->SetActivePage(sheet->PageIndexOf(id)));
        QApplication::processEvents();
        const QWidget* page = sheet->PageWindowOf(id);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(PlainName(*page), PageEntry(id).className);
    }
}

// The pages no family lists are built by their rows all the same.
TEST_F(SheetPageInstall, BuildsEveryRowAsItsPage) {
    ASSERT_NE(Open("Q8A7"), nullptr);
    for (const auto table : {ConfigPageFactories(), RecordedDataPageFactories()}) {
        for (const SheetPageFactoryRow& row : table) {
            SCOPED_TRACE(std::string(PageEntry(row.id).className));
            std::unique_ptr<QWidget> page(row.build(*sheet));
            ASSERT_NE(page, nullptr);
            EXPECT_EQ(PlainName(*page), PageEntry(row.id).className);
        }
    }
}

// One product of each family (the recorder's pages, the two single devices',
// the Q7B family's).
INSTANTIATE_TEST_SUITE_P(Families, SheetPageInstall,
                         ::testing::Values("Q8A7", "Q3A2", "Q9C0", "Q7B7"));

}  // namespace
