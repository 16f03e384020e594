#pragma once

// The command bar: the model's command buttons (connect, resolution,
// quality, colour, snapshot, record, settings) in a row right-aligned on the
// title strip of the main window. The buttons are children of the main
// window; the bar creates, skins, places and shows them and sets their state
// for the connection.
//
// Threads: SetButtonsState is called from the GUI thread, the session login
// thread and the kernel-message thread; the button's SetState is safe from
// any thread (it posts its paint). Everything else is GUI-thread only.

#include <QObject>
#include <QPointer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "core/widgets/qel_button.h"
#include "liveview/control/bar_tables.h"

class QWidget;

class CCommandButtonBar {
public:
    CCommandButtonBar();
    ~CCommandButtonBar();
    CCommandButtonBar(const CCommandButtonBar&) = delete;
    CCommandButtonBar& operator=(const CCommandButtonBar&) = delete;

    // Creates the product's buttons as children of `window`: 1, or 0 for a
    // product the bar does not know (no buttons).
    int Create(std::string_view productId, QWidget* window);
    // Loads the faces for the user level: normal faces where the level may
    // use the button, else the disabled faces on a disabled button. 1.
    int LoadBitmaps();
    // Right-aligns the buttons at the rectangle of the current skin. 1.
    int ArrangeButtons();
    // 1 shows all, 0 hides all, other values do nothing. 1.
    int ShowButtons(int show);
    // Sets `state` on the first button whose state bit is in `mask`. 1.
    int SetButtonsState(std::uint32_t mask, std::uint8_t state);
    std::uint8_t GetGroup() const { return byGroup; }

    // The user-level row (0..3) whose rights LoadBitmaps applies; the main
    // window sets it from the login before the skin loads.
    void SetUserLevelRow(std::uint8_t row) { m_byUserLevelRow = row; }
    // Run on the GUI thread with a button's control id when it is clicked.
    void SetCommandHandler(std::function<void(std::uint16_t)> handler);

    std::uint8_t Count() const { return byCount; }
    CQelButton* Button(int index) const;
    // The table row of a button, or null.
    const CommandButtonRow* Row(int index) const;

private:
    std::uint8_t byCount = 0;
    std::uint8_t byGroup = 0;
    std::uint8_t m_byUserLevelRow = 0;
    std::array<QPointer<CQelButton>, kCommandButtonMax> m_btnCommand{};
    std::array<const CommandButtonRow*, kCommandButtonMax> m_rows{};
    std::unique_ptr<QObject> m_guiContext;
    std::function<void(std::uint16_t)> m_onCommand;
};
