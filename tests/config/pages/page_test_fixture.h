#pragma once

// The page tests' fixtures. `PageStateTest` is the state every page test
// starts from, on the shared state fixture: a fresh state record pointed at
// the simulated device on 127.0.0.1, the client's host address, no session
// and no pending address change, message boxes recorded, the configuration
// pages registered with the sheet; tear-down closes the sheet, forgets every
// page factory and hook and stops the device. `PageTest` adds the road of
// most page tests: log in to a device of a family, open the sheet as the
// main window's command does, show a page, edit it, press APPLY and read back
// the section bodies the device received.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <functional>
#include <string>
#include <vector>

#include "config/pages/page_factories.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "core/login/login_exchange.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "tests/support/artifacts.h"
#include "tests/support/core/global_state.h"
#include "tests/support/fake_device.h"
#include "tests/support/qt_app.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_dir.h"

namespace page_test {

using Bytes = std::string;

class PageStateTest : public test_support::GlobalStateTest {
public:  // case tables' lambdas reach the fixture
    void SetUp() override {
        GlobalStateTest::SetUp();
        settings().m_strServerName = "127.0.0.1";
        settings().m_wWebPort = device.port();
        g_strHostIP.Set("10.1.2.3");
        g_szSessionCookie.Clear();
        g_bPendingWebPort = false;
        g_bPendingServerName = false;
        RegisterSheetPages(ConfigPageFactories());
    }
    void TearDown() override {
        opener.DeleteConfigSheet();
        for (const SheetPageEntry& entry : kSheetPages) {
            SetSheetPageFactory(entry.id, {});
        }
        SetDetectionChannelSwitch({});
        device.Stop();
        GlobalStateTest::TearDown();
        g_strHostIP.Clear();
        g_bPendingWebPort = false;
        g_bPendingServerName = false;
    }

    static CSettingINI& settings() { return g_lpApp->CSettingINI; }

    test_support::FakeDevice device;
    devicesim::DeviceModel* model = nullptr;
    test_support::ScopedMessageBoxRecorder boxes;
    const bool m_qt = (test_support::EnsureQtApp(), true);
    QWidget mainWindow;
    ConfigSheetOpener opener;
};

class PageTest : public PageStateTest {
public:
    void SetUp() override {
        PageStateTest::SetUp();
        settings().m_strUserName = "tresk";
        settings().m_strPassword = "tresk";
    }

    // Logs in to a simulated device of the product (the profile adjusted by
    // `tweak`, its sections by `sections`) and opens the sheet.
    MySystemDialog* Open(const char* product, const char* firmware = "1052",
                         const std::function<void(devicesim::DeviceProfile&)>& tweak = {},
                         const std::function<void(devicesim::DeviceModel&)>& sections = {}) {
        auto profile = devicesim::ProfileForProduct(product);
        EXPECT_TRUE(profile.has_value()) << product;
        profile->firmwareVersion = firmware;
        if (tweak) {
            tweak(*profile);
        }
        model = &device.EnableDeviceModel("tresk", "tresk", *profile);
        if (sections) {
            sections(*model);
        }
        EXPECT_EQ(LoginExchange("tresk", "tresk", LoginPath::kSessionThread), kLoginOk);
        g_lpApp->f_VideoConnected = true;
        opener.OnConfigurationCommand(&mainWindow);
        sheet = opener.Sheet();
        EXPECT_NE(sheet, nullptr);
        return sheet;
    }

    // Shows the page (building it when first shown) and returns it.
    template <class Page>
    Page* Show(SheetPageId id) {
        const int index = sheet->PageIndexOf(id);
        EXPECT_GE(index, 0);
        EXPECT_TRUE(sheet->SetActivePage(index));
        QApplication::processEvents();
        auto* page = dynamic_cast<Page*>(sheet->PageWindowOf(id));
        EXPECT_NE(page, nullptr);
        return page;
    }

    template <class W>
    static W* Control(QWidget* page, int id) {
        auto* w = page->findChild<W*>(QString::number(id));
        EXPECT_NE(w, nullptr) << "control " << id;
        return w;
    }
    static QLineEdit* Edit(QWidget* page, int id) { return Control<QLineEdit>(page, id); }
    static void Type(QWidget* page, int id, const QString& text) { Edit(page, id)->setText(text); }
    // Clears the edit and enters the text one character at a time, as keys
    // do: the edit's own limits apply to each.
    static void TypeKeys(QWidget* page, int id, const QString& text) {
        QLineEdit* edit = Edit(page, id);
        edit->clear();
        for (const QChar c : text) {
            edit->insert(QString(c));
        }
    }
    static void Click(QWidget* page, int id) { Control<QAbstractButton>(page, id)->click(); }

    // APPLY with the 3 s network pause taken on an injected clock.
    void Apply() {
        platform::ManualClock clock;
        platform::ScopedClockSource useClock(clock);
        sheet->OnClickApply();
        sleeps = clock.Sleeps();
    }

    // The section bodies "/SetSysCfg.cgi" brought, in order.
    std::vector<std::string> SentOptions() const {
        std::vector<std::string> options;
        for (const auto& section : model->ReceivedSections()) {
            options.push_back(section.option);
        }
        return options;
    }
    Bytes SentBody(const std::string& option) const {
        Bytes body;
        for (const auto& section : model->ReceivedSections()) {
            if (section.option == option) {
                body = section.body;
            }
        }
        return body;
    }
    Bytes Section(const std::string& option) const { return model->Section(option).value_or(""); }
    // Changes fields of a section the device holds (before the sheet reads it).
    static void PatchSection(devicesim::DeviceModel& m, const std::string& option,
                             const std::function<void(SectionBytes)>& change) {
        std::string bytes = m.Section(option).value_or("");
        change({reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()});
        EXPECT_TRUE(m.SetSection(option, bytes)) << option;
    }
    // Selects a row of a list view.
    static void SelectRow(QTreeWidget* list, int row) {
        list->setCurrentItem(list->topLevelItem(row));
        list->topLevelItem(row)->setSelected(true);
    }
    static std::vector<std::string> Rows(QTreeWidget* list, int column = 0) {
        std::vector<std::string> rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            rows.push_back(list->topLevelItem(i)->text(column).toStdString());
        }
        return rows;
    }

    static std::span<const std::uint8_t> Span(const Bytes& bytes) {
        return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
    }

    MySystemDialog* sheet = nullptr;
    std::vector<std::chrono::milliseconds> sleeps;
};

// A section's bytes with some fields changed.
inline Bytes Patched(Bytes bytes, const std::function<void(SectionBytes)>& change) {
    change({reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()});
    return bytes;
}

}  // namespace page_test
