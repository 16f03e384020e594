#pragma once

// The channel bar of multi-channel devices: the DVR button, channels 1..16
// and the LEFT/RIGHT paging arrows (two channel buttons on a Q3A2). The bar
// creates its buttons as children of the main window, pages and places
// them, asks the device for another channel and follows the channel the
// stream reports.
//
// Threads: RequestChannel runs on the GUI thread and on the stream header
// parsers (a blocking device command, bounded by its time-outs);
// SetCurrentChannel runs on the compose thread. Neither touches a widget off
// the GUI thread: the button states and the window's re-skin are posted to
// it, and nothing waits for them. Everything else is GUI-thread only.

#include <QObject>
#include <QPointer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "core/widgets/qel_button.h"
#include "liveview/control/bar_tables.h"
#include "platform/window.h"

class QWidget;

class CChannelBar {
public:
    // The products the bar knows.
    enum class Model { kOther, kQ8A7, kQ8A5, kQ8A3, kQ3A2, kQ9C0 };

    CChannelBar();
    ~CChannelBar();
    CChannelBar(const CChannelBar&) = delete;
    CChannelBar& operator=(const CChannelBar&) = delete;

    // Builds the buttons as children of `window` for the product of the
    // login; 1.
    int Create(QWidget* window);
    // Places and shows the page; 1.
    int ArrangeButtons();
    std::uint8_t GetPageStart(std::uint8_t start) const;
    std::uint8_t GetPageSize() const;
    // 16, 8 or 4 for Q8A7, Q8A5, Q8A3, else 0.
    std::uint8_t GetChannelCount() const;
    int PageLeft();
    int PageRight();
    // Asks the device for `channel` ("/SetChannel.cgi"); the current channel
    // changes only when the stream reports it. 1.
    int RequestChannel(std::uint8_t channel);
    // Follows the channel of a frame header; 1.
    int SetCurrentChannel(std::uint8_t channel);
    // hide: hides every button; otherwise shows the bar again. 1.
    int ShowButtons(bool hide);

    // Run on the GUI thread after a new current device was chosen: the main
    // window's re-skin for it.
    void SetDeviceChangedHandler(std::function<void()> handler);
    // Run on the GUI thread with a button's control id when it is clicked.
    void SetCommandHandler(std::function<void(std::uint16_t)> handler);

    // For the main window and tests.
    static Model CurrentModel();
    std::uint8_t ButtonCount() const { return byButtonCount.load(); }
    CQelButton* Button(int index) const;
    std::uint8_t CurrentChannel() const { return byCurrentChannel.load(); }
    std::uint8_t PageStart() const { return byPageStart; }
    bool Enabled() const { return bEnabled.load(); }

private:
    static bool IsQvgaPicture();
    static int CurrentSkinSlot();
    std::span<const ChannelButtonRow> Rows() const;
    // Widget work of a new current channel, on the GUI thread.
    void ShowCurrentChannel(std::uint8_t channel, Model model);

    // Where the stream threads post the widget work: a window handle of
    // the bar's own, so the work travels through the program's message
    // queue to the GUI thread and is dropped once the bar is gone.
    class GuiMailbox final : public platform::MessageTarget {
    public:
        explicit GuiMailbox(CChannelBar& bar);
        ~GuiMailbox() override;
        GuiMailbox(const GuiMailbox&) = delete;
        GuiMailbox& operator=(const GuiMailbox&) = delete;
        platform::WindowHandle Handle() const { return m_handle; }
        void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                 std::uint64_t lParam) override;

    private:
        CChannelBar& m_bar;
        platform::WindowHandle m_handle = 0;
    };

    std::atomic<std::uint8_t> byCurrentChannel{0};
    // Bit n: channel n was reported without a linked device and traced.
    std::atomic<std::uint32_t> m_tracedUnlinked{0};
    std::atomic<bool> bEnabled{false};
    std::atomic<std::uint8_t> byButtonCount{0};
    std::uint8_t byPageStart = 0;
    std::uint16_t wOriginX = 0;
    std::int16_t wLimitSmall = 0;
    std::int16_t wLimitLarge = 0;
    const ChannelButtonRow* pRows = nullptr;
    std::size_t m_rowCount = 0;

    // Children of the main window: they may go with it before the bar.
    std::array<QPointer<CQelButton>, kChannelButtonMax> m_btnChannel{};
    // Lives on the GUI thread: the context of the buttons' clicks.
    std::unique_ptr<QObject> m_guiContext;
    std::unique_ptr<GuiMailbox> m_mailbox;
    std::function<void()> m_onDeviceChanged;
    std::function<void(std::uint16_t)> m_onCommand;
};
