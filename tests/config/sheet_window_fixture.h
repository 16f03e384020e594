// The main window with the configuration sheet wired as the program wires
// it: the sheet's services, the window's sheet extensions, every page of the
// page table and the detection dialog's channel switch through the window.
// Tests that open the sheet from the window derive from it.

#pragma once

#include "config/pages/page_factories.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/sheet_window_extensions.h"
#include "liveview/window/window_extensions.h"
#include "tests/liveview/window/window_fixture.h"

namespace sheet_test {

class SheetWindowTest : public window_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SetMainWindowExtensions(&extensions);
        RegisterSheetPages(ConfigPageFactories());
        SetDetectionChannelSwitch(MainWindowChannelSwitch());
    }
    void TearDown() override {
        sheets.opener().DeleteConfigSheet();
        for (const SheetPageEntry& entry : kSheetPages) {
            SetSheetPageFactory(entry.id, {});
        }
        SetDetectionChannelSwitch({});
        SetMainWindowExtensions(nullptr);
        WindowTest::TearDown();
    }

    ScopedConfigSheetServices sheets;
    SheetWindowExtensions extensions;
};

}  // namespace sheet_test
