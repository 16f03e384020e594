// The configuration sheet as an operator drives it: the main window run as
// the program runs it (modally), its SYSTEM CONFIG button pressed, a page
// chosen in the sheet's tree, an edit clicked and typed into, APPLY pressed,
// every event delivered through the window system; against the simulated
// device on 127.0.0.1, whose sections tell what reached it.

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>
#include <string>
#include <vector>

#include "config/pages/page_factories.h"
#include "config/sheet/config_sheet_opener.h"
#include "config/sheet/my_system_dialog.h"
#include "config/sheet/section_layouts.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/sheet_window_extensions.h"
#include "core/login/login_exchange.h"
#include "core/state/app_global_state.h"
#include "core/widgets/qel_button.h"
#include "liveview/window/live_view_services.h"
#include "liveview/window/main_window.h"
#include "liveview/window/window_extensions.h"
#include "tests/config/sheet_window_fixture.h"
#include "tests/liveview/window/window_fixture.h"
#include "tests/support/artifacts.h"
#include "tests/support/modal_script.h"
#include "tests/support/user_input.h"

namespace {

using test_support::Reply;

std::string Utf8(const char8_t* text) {
    return std::string(reinterpret_cast<const char*>(text));
}

using test_support::ExpectReachable;
using test_support::UserClick;
using test_support::UserType;

// ---- fixture --------------------------------------------------------------------

class SheetByOperator : public sheet_test::SheetWindowTest {
protected:
    // Logs in to a simulated device of the product (its sections changed by
    // `sections`) and runs the main window as the program runs it, modally;
    // `act` is the operator at the window. The operator leaves through the
    // window's exit button.
    void AtMainWindow(const char* product, const char* firmware,
                      const std::function<void(devicesim::DeviceModel&)>& sections,
                      const std::function<void()>& act) {
        devicesim::DeviceProfile profile = devicesim::ProfileForProduct(product).value();
        profile.firmwareVersion = firmware;
        model = &device.EnableDeviceModel("tresk", "tresk", profile);
        if (sections) {
            sections(*model);
        }
        ASSERT_EQ(LoginExchange("tresk", "tresk", LoginPath::kLoginDialog), kLoginOk);
        g_lpApp->f_VideoConnected = true;  // as the stream reports once it runs
        test_support::ModalScript<CDravelinDlg> operatorAtWindow([&](CDravelinDlg& main) {
            mainWindow = &main;
            // What the window's own set-up wrote (a Q3A2 sets its alarm source).
            receivedAtOpening = model->ReceivedSections().size();
            act();
            sheets.opener().DeleteConfigSheet();
            sheet = nullptr;
            if (ExpectReachable(main.FindButton(8202))) {
                UserClick(main.FindButton(8202));
            }
            if (main.isVisible()) {
                main.close();
            }
        });
        LiveViewServicesImpl services;
        services.RunMainWindow();
        mainWindow = nullptr;
        EXPECT_EQ(operatorAtWindow.Runs(), 1);
    }
    void AtMainWindow(const char* product, const char* firmware, const std::function<void()>& act) {
        AtMainWindow(product, firmware, {}, act);
    }

    // SYSTEM CONFIG on the main window.
    MySystemDialog* OpenSheet() {
        CQelButton* button = mainWindow->FindButton(1006);
        if (!ExpectReachable(button)) {
            return nullptr;
        }
        UserClick(button);
        sheet = sheets.opener().Sheet();
        EXPECT_NE(sheet, nullptr);
        EXPECT_TRUE(sheet != nullptr && sheet->isVisible());
        return sheet;
    }

    // SYSTEM CONFIG, then the page; the page's window.
    QWidget* OpenSheetAt(SheetPageId id) {
        return OpenSheet() != nullptr ? ChoosePage(id) : nullptr;
    }

    // A click on the page's item in the sheet's tree; the page's window.
    QWidget* ChoosePage(SheetPageId id) {
        QTreeWidget* tree = sheet->GetPageTree();
        const std::string_view caption = PageEntry(id).caption;
        const QList<QTreeWidgetItem*> items = tree->findItems(
            QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
            Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_FALSE(items.isEmpty()) << caption;
        if (items.isEmpty()) {
            return nullptr;
        }
        tree->scrollToItem(items.front());
        UserClick(tree->viewport(), tree->visualItemRect(items.front()).center());
        EXPECT_EQ(sheet->ActivePageIndex(), sheet->PageIndexOf(id));
        return sheet->PageWindowOf(id);
    }

    template <class W>
    static W* Control(QWidget* page, int id) {
        W* found = nullptr;
        for (W* w : page->findChildren<W*>()) {
            if (w->property("controlId").toInt() == id) {
                found = w;
            }
        }
        EXPECT_NE(found, nullptr) << "control " << id;
        return found;
    }
    static void TypeInto(QLineEdit* edit, const QString& text) {
        if (ExpectReachable(edit)) {
            UserType(edit, text);
        }
    }

    void PressApply() {
        if (ExpectReachable(sheet->ApplyButton())) {
            UserClick(sheet->ApplyButton());
        }
    }

    // APPLY that goes through: no message, the device received these
    // sections since the window opened, and the sheet ended.
    void ApplyGoesThrough(const std::vector<std::string>& sections) {
        PressApply();
        EXPECT_TRUE(boxes.Ids().empty());
        EXPECT_EQ(Received(), sections);
        EXPECT_EQ(sheet->EndResult(), 3);
    }

    bool SheetOpen() const { return sheet->isVisible() && !sheet->EndResult().has_value(); }

    // The sections the device received since the window opened.
    std::vector<std::string> Received() const {
        std::vector<std::string> options;
        const auto sections = model->ReceivedSections();
        for (std::size_t i = receivedAtOpening; i < sections.size(); ++i) {
            options.push_back(sections[i].option);
        }
        return options;
    }
    std::string Held(const std::string& option) const {
        return model->Section(option).value_or("");
    }
    static std::string FieldOf(const std::string& section, const SectionField& field) {
        return section.substr(field.offset, field.width);
    }
    static std::string Padded(const std::string& text, std::size_t width) {
        std::string bytes = text;
        bytes.resize(width, '\0');
        return bytes;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& entry : boxes.sink().Entries()) {
            texts.push_back(entry.textId != 0 ? std::to_string(entry.textId) : entry.text);
        }
        return texts;
    }

    CDravelinDlg* mainWindow = nullptr;
    MySystemDialog* sheet = nullptr;
    std::size_t receivedAtOpening = 0;
};

// ---- a refused send leaves the change to be sent again --------------------------

TEST_F(SheetByOperator, AccountChangeRefusedByTheDeviceIsSentOnTheNextApply) {
    AtMainWindow("Q8A7", "1052", [&] {
        QWidget* page = OpenSheetAt(SheetPageId::kAccount);
        ASSERT_NE(page, nullptr);
        TypeInto(Control<QLineEdit>(page, 1040), "2");
        device.SetSectionReply("SECURE", Reply::Status(500, "Internal Server Error"));

        PressApply();
        EXPECT_EQ(Texts(), std::vector<std::string>{"Set the system config is failed\n"});
        EXPECT_TRUE(SheetOpen());
        EXPECT_EQ(static_cast<unsigned char>(Held("SECURE")[2]), 5);
        test_support::SaveWidgetPicture(*sheet, "operator_account_send_refused.png");

        device.ClearSectionReply("SECURE");
        boxes.sink().Clear();
        ApplyGoesThrough({"SECURE"});
        EXPECT_EQ(static_cast<unsigned char>(Held("SECURE")[2]), 2);
    });
}

// ---- the title on firmware read section by section ------------------------------

TEST_F(SheetByOperator, TitleOnOlderRecorderFirmwareReachesTheDevice) {
    AtMainWindow("Q8A7", "1020", [&] {
        QWidget* page = OpenSheetAt(SheetPageId::kGeneral);
        ASSERT_NE(page, nullptr);
        TypeInto(Control<QLineEdit>(page, 1474), "Yard");
        ApplyGoesThrough({"SYSTEM"});
        EXPECT_EQ(FieldOf(Held("SYSTEM"), cfg::SYSTEM::Title), Padded("Yard", 16));
        EXPECT_EQ(g_lpApp->str_DeviceTitle.Get(), "Yard");
    });
}

// ---- a failed General page send says so -----------------------------------------

struct GeneralFailCase {
    const char* name;
    const char* product;
    const char* section;
    int edit;
    const char* typed;
    SectionField field;
};

class GeneralSendFails : public SheetByOperator,
                         public ::testing::WithParamInterface<GeneralFailCase> {};

TEST_P(GeneralSendFails, SaysSoKeepsTheSheetAndTheWindowsTitle) {
    const GeneralFailCase& c = GetParam();
    AtMainWindow(c.product, "1052", [&] {
        const std::string title = g_lpApp->str_DeviceTitle.Get();
        const std::string held = Held(c.section);
        QWidget* page = OpenSheetAt(SheetPageId::kGeneral);
        ASSERT_NE(page, nullptr);
        TypeInto(Control<QLineEdit>(page, c.edit), c.typed);
        device.SetSectionReply(c.section, Reply::Status(500, "Internal Server Error"));

        PressApply();
        EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4012});
        EXPECT_TRUE(SheetOpen());
        EXPECT_EQ(Held(c.section), held);
        EXPECT_EQ(g_lpApp->str_DeviceTitle.Get(), title);  // the device did not take it

        device.ClearSectionReply(c.section);
        boxes.sink().Clear();
        ApplyGoesThrough({c.section});
        EXPECT_EQ(FieldOf(Held(c.section), c.field), Padded(c.typed, c.field.width));
    });
}

INSTANTIATE_TEST_SUITE_P(Sends, GeneralSendFails,
                         ::testing::Values(GeneralFailCase{"Title", "Q8A7", "SYSTEM", 1474, "Yard",
                                                           cfg::SYSTEM::Title},
                                           GeneralFailCase{"ChannelName", "Q3A2", "RS485", 1475,
                                                           "NTH", cfg::RS485::Ch1Name}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- texts beyond plain ASCII ---------------------------------------------------

TEST_F(SheetByOperator, ChannelNameTakesWhatItsBytesHoldAndNothingIsErased) {
    AtMainWindow("Q3A2", "1010", [&] {
        const std::string rs485 = Held("RS485");
        QWidget* page = OpenSheetAt(SheetPageId::kGeneral);
        ASSERT_NE(page, nullptr);
        QLineEdit* name = Control<QLineEdit>(page, 1475);
        TypeInto(name, QString::fromUtf8(u8"\u00e9\u00e9"));
        EXPECT_EQ(name->text(), QString::fromUtf8(u8"\u00e9"));  // the second needs bytes 4, 5
        test_support::SaveWidgetPicture(*sheet, "operator_channel_name_two_byte.png");
        ApplyGoesThrough({"RS485"});
        const std::string held = Held("RS485");
        EXPECT_EQ(FieldOf(held, cfg::RS485::Ch1Name), Padded(Utf8(u8"\u00e9"), 8));
        EXPECT_EQ(FieldOf(held, cfg::RS485::Ch2Name), FieldOf(rs485, cfg::RS485::Ch2Name));
    });
}

TEST_F(SheetByOperator, DdnsUserOfTwoByteCharactersEndsInsideItsField) {
    AtMainWindow("Q8A7", "1052", [&] {
        QWidget* page = OpenSheetAt(SheetPageId::kDdns);
        ASSERT_NE(page, nullptr);
        QLineEdit* user = Control<QLineEdit>(page, 1040);
        TypeInto(user, QString(11, QChar(0xE9)));
        EXPECT_EQ(user->text(), QString(7, QChar(0xE9)));  // 14 bytes; an eighth would take 16
        ApplyGoesThrough({"SMTP"});
        std::string seven;
        for (int i = 0; i < 7; ++i) {
            seven += Utf8(u8"\u00e9");
        }
        EXPECT_EQ(FieldOf(Held("SMTP"), cfg::SMTP::DdnsUser), Padded(seven, 16));
    });
}

// ---- maximum users the page cannot show -----------------------------------------

struct MaxUsersCase {
    const char* name;
    std::uint8_t stored;
    const char* shown;
};

class StoredMaxUsers : public SheetByOperator,
                       public ::testing::WithParamInterface<MaxUsersCase> {};

TEST_P(StoredMaxUsers, IsSaidAndNotWrittenBackUnlessTyped) {
    const MaxUsersCase& c = GetParam();
    const auto stored = [&](devicesim::DeviceModel& m) {
        std::string secure = m.Section("SECURE").value_or("");
        secure[2] = static_cast<char>(c.stored);
        m.SetSection("SECURE", secure);
    };
    AtMainWindow("Q8A7", "1052", stored, [&] {
        QWidget* page = OpenSheetAt(SheetPageId::kAccount);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(boxes.Ids(), std::vector<unsigned>{4043});
        EXPECT_EQ(Control<QLineEdit>(page, 1040)->text().toStdString(), c.shown);
        ChoosePage(SheetPageId::kGeneral);
        boxes.sink().Clear();
        ApplyGoesThrough({});
        EXPECT_EQ(static_cast<unsigned char>(Held("SECURE")[2]), c.stored);
    });
}

INSTANTIATE_TEST_SUITE_P(Stored, StoredMaxUsers,
                         ::testing::Values(MaxUsersCase{"AboveFive", 9, "5"},
                                           MaxUsersCase{"Zero", 0, "3"}),
                         [](const auto& instance) { return std::string(instance.param.name); });

// ---- a peripheral id out of range -------------------------------------------------

TEST_F(SheetByOperator, PeripheralIdOutOfRangeKeepsTheSheetOpenOnItsPage) {
    AtMainWindow("Q3A2", "1052", [&] {
        QWidget* page = OpenSheetAt(SheetPageId::kPeripheral);
        ASSERT_NE(page, nullptr);
        QLineEdit* id = Control<QLineEdit>(page, 1040);
        TypeInto(id, "300");
        PressApply();
        EXPECT_EQ(Texts(), std::vector<std::string>{"Please enter an integer between 0 and 255."});
        EXPECT_TRUE(SheetOpen());
        EXPECT_EQ(sheet->ActivePageIndex(), sheet->PageIndexOf(SheetPageId::kPeripheral));
        EXPECT_TRUE(Received().empty());
        test_support::SaveWidgetPicture(*sheet, "operator_peripheral_id_refused.png");

        TypeInto(id, "30");
        boxes.sink().Clear();
        ApplyGoesThrough({"PERI"});
        EXPECT_EQ(static_cast<unsigned char>(Held("PERI")[cfg::PERI::Id1.offset]), 30);
    });
}

// ---- pickers the device did not fill ---------------------------------------------

TEST_F(SheetByOperator, DisabledDateAndTimePickersShowNothing) {
    AtMainWindow("Q8A7", "1052", [&] {  // the date and timer pages want "1058"
        ASSERT_NE(OpenSheet(), nullptr);
        struct Shown {
            SheetPageId page;
            std::vector<int> pickers;
            const char* picture;
        };
        for (const Shown& s : {Shown{SheetPageId::kDate,
                                     {1480, 1481, 1499, 1502, 1503},
                                     "operator_date_page_not_filled.png"},
                               Shown{SheetPageId::kTimerRecord,
                                     {1479, 1480, 1491, 1492},
                                     "operator_timer_page_not_filled.png"}}) {
            QWidget* page = ChoosePage(s.page);
            ASSERT_NE(page, nullptr);
            for (const int id : s.pickers) {
                auto* picker = Control<QAbstractSpinBox>(page, id);
                ASSERT_NE(picker, nullptr);
                EXPECT_FALSE(picker->isEnabled()) << id;
                EXPECT_TRUE(picker->text().trimmed().isEmpty())
                    << id << " shows " << picker->text().toStdString();
            }
            test_support::SaveWidgetPicture(*sheet, s.picture);
        }
    });
}

}  // namespace
