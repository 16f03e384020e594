#pragma once

// Buttons that sound the device's buzzer, long or short, with
// "/SetBuzzer.cgi"; a sounding buzzer is stopped before the next one
// starts. A check box, hidden at first, is shown and hidden by private
// messages.

#include <QDialog>
#include <chrono>
#include <cstdint>

#include "core/application/window_messages.h"
#include "platform/window.h"

class QCheckBox;
class QPushButton;
class QTimer;

namespace liveview {

class CBuzzerTestDialog : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    static constexpr int kTimerId = 1;
    static constexpr std::chrono::milliseconds kTimerPeriod{5000};
    // Private messages: the tick is posted by the timer while the picture is
    // connected and does nothing; the others show and hide the check box.
    static constexpr std::uint32_t kMsgShowCheck = WM_BUZZERSHOWCHECK;
    static constexpr std::uint32_t kMsgHideCheck = WM_BUZZERHIDECHECK;
    static constexpr std::uint32_t kMsgTick = WM_BUZZERTICK;

    enum State : std::uint8_t { kIdle = 0, kLongSounding = 1, kShortSounding = 2 };

    explicit CBuzzerTestDialog(QWidget* parent = nullptr);
    ~CBuzzerTestDialog() override;

    int DoModal();

    void OnLongBuzzer();
    void OnShortBuzzer();
    void OnCheckMultiChannel();
    // One tick of the timer.
    void OnTimer();

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    platform::WindowHandle Handle() const { return m_handle; }
    std::uint8_t BuzzerState() const { return m_byState; }
    std::uint32_t StartTick() const { return m_dwStartTick; }
    bool CheckFlag() const { return m_bCheck; }
    bool TimerRunning() const;
    int TicksPosted() const { return m_ticksPosted; }
    QPushButton* longButton() const { return m_long; }
    QPushButton* shortButton() const { return m_short; }
    QCheckBox* checkBox() const { return m_check; }

    void done(int result) override;

private:
    static void SendBuzzer(const char* time, bool cookieFirst);

    QPushButton* m_long = nullptr;
    QPushButton* m_short = nullptr;
    QCheckBox* m_check = nullptr;
    QTimer* m_timer = nullptr;
    std::uint8_t m_byState = kIdle;
    std::uint32_t m_dwStartTick = 0;
    bool m_bCheck = false;
    int m_ticksPosted = 0;
    platform::WindowHandle m_handle = 0;
};

}  // namespace liveview
