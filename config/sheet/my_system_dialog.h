#pragma once

// The remote-configuration window: a tree property sheet with the pages of
// the device's family and three buttons of its own. EXIT closes it; APPLY
// runs one save routine per shown page in a fixed order, sending only the
// sections that were read when the sheet opened and whose bytes changed,
// then stores the local settings edited on the pages; REBOOT (Q3A2, Q9C0)
// sends "/Reboot.cgi". When any section send failed the sheet stays open
// with the operator's edits, so APPLY can be pressed again.

#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/sheet/read_values.h"
#include "config/sheet/save_routines.h"
#include "config/sheet/section_sender.h"
#include "config/sheet/sheet_pages.h"
#include "config/sheet/tree_prop_sheet.h"
#include "core/application/window_messages.h"

class QPushButton;

// Control ids of the sheet's own buttons.
inline constexpr int kSheetExitId = 8000;
inline constexpr int kSheetApplyId = 8001;
inline constexpr int kSheetRebootId = 8002;

// The local settings the pages edit: prefilled by the opener from the
// settings, written back by APPLY whether or not their pages were shown.
struct SheetLocalValues {
    std::string recordPath;
    std::string snapshotPath;
    std::string triggerWavPath;
    std::uint8_t alarmTriggerRecord = 0;  // Alarm page
    std::uint8_t alarmAutoSwitch = 0;     // Alarm page, from its setting
    int turboIndex = 0;                   // General page: turbo repeat step − 1
    std::uint8_t retrAlarmRecord = 0;     // R.E.T.R. page
};

// Run as each sheet is built, before its pages are added, so that the pages
// of a higher layer can drop what an earlier sheet left for them. Empty (the
// default): nothing runs.
using SheetOpeningHook = std::function<void()>;
void SetSheetOpeningHook(SheetOpeningHook hook);

class MySystemDialog : public CTreePropSheet {
    Q_OBJECT
public:
    // `config` holds the sections just read (`read` names them); the sheet
    // remembers their bytes as the device's before anything changes them.
    MySystemDialog(const QString& caption, QWidget* parent, SystemConfigStruct& config,
                   DeviceIdentity device, SectionSet read, int firstPage = 0);
    ~MySystemDialog() override;

    // The window's set-up (OnInitDialog): tree sheet, progress block, read
    // values, buttons. `mainWindow` and `workArea` place the sheet.
    void OnInitDialog(const QRect& mainWindow = {}, const QRect& workArea = {});

    // The sheet's page of a kind; -1 when the family has none.
    int PageIndexOf(SheetPageId id) const;
    // The page's window when it has been shown, else none.
    QWidget* PageWindowOf(SheetPageId id) const;
    const std::vector<SheetPageId>& Pages() const { return m_pageIds; }

    // The buttons (none where the family has none).
    QPushButton* ExitButton() const { return m_exit; }
    QPushButton* ApplyButton() const { return m_apply; }
    QPushButton* RebootButton() const { return m_reboot; }
    int DisableButtons();
    int EnableButtons();

    // Button handlers.
    void OnClickOK();
    void OnClickApply();
    void OnClickReboot();
    // WM_SHOWBACKUPPAGE and WM_SAVESNTP.
    int OnShowBackupPage();
    int OnSaveSntp();

    SheetLocalValues& LocalValues() { return m_local; }
    SheetReadValues& ReadValues() { return m_read; }
    SectionSender& Sender() { return m_sender; }
    const DeviceIdentity& Device() const { return m_device; }
    // The result the sheet ended with (0 EXIT or close, 3 APPLY); none while
    // it is open or was never ended.
    std::optional<int> EndResult() const { return m_endResult; }

    void done(int result) override;
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int AddPagesForProduct();
    void CreateButtons();
    // The values of a shown page that offers them.
    template <class Values>
    std::optional<Values> TakeValues(SheetPageId id);
    // Whether every text a page's save would write fits its field; if not,
    // the page is shown and the text refused, naming its field.
    template <class Values>
    bool TextsFit(SheetPageId id, const std::optional<Values>& values);
    void StoreLocalSettings();
    void RebuildPeripheralDevices();
    void RebuildRs485Devices();

    DeviceIdentity m_device;
    SectionSender m_sender;
    SheetReadValues m_read;
    ConfigSaveRoutines m_routines;
    SheetLocalValues m_local;
    std::vector<SheetPageId> m_pageIds;
    QPushButton* m_exit = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_reboot = nullptr;
    std::optional<int> m_endResult;
    bool m_readTaken = false;
};
