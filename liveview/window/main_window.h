#pragma once

#include <QDialog>
#include <QImage>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/window.h"

class QLabel;
class QPushButton;

// The main window. This plain form stands in for the skinned live view: it
// shows the live picture, the status line with the frame-rate and data-rate
// figures, and closes through the same destruction steps.
//
// Frames are prepared on the kernel-message thread (DrawVideoFrame) and
// handed to the GUI thread by a posted message; that thread never waits for
// the GUI thread, which may itself be waiting for it to stop.
class CDravelinDlg : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    explicit CDravelinDlg(QWidget* parent = nullptr);
    ~CDravelinDlg() override;

    // Stores the window in the shared state, reads the device information
    // and lets the stream start.
    void OnInitDialog();
    // Stops the recorders and the threads, saves the settings and closes.
    // A resource that cannot be released is traced; the settings are still
    // saved and the window still closes, so the operator is never left with a
    // window that cannot be shut.
    int DestroyWindow();

    // Replaces the status line; callable from any thread.
    int SetStatusText(const std::string& text);
    std::string StatusText() const;

    // Draws the current frame; runs on the kernel-message thread. Returns 0
    // when no video is connected. Sets the frame-drawn event on every path.
    int DrawVideoFrame();

    // The record button: starts or stops the user recording.
    void OnRecord();
    // Sets the command buttons sharing a state bit (the record button has
    // 0x20); callable from any thread.
    int SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state);

    // Empties the channel title and the alarm-channel number.
    void ClearInfoTexts();
    std::string AlarmText() const;
    std::string TitleText() const;

    // Every half second on the GUI thread: when a rate period ended without a
    // frame drawn, the figures are computed anyway, so a stalled stream shows
    // "FR:0.00 fps" instead of the last healthy rate.
    void OnRateTimer();

    // The picture last handed to the window (a copy; for tests).
    QImage CurrentPicture() const;

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    platform::WindowHandle Handle() const { return m_handle; }

protected:
    void done(int result) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnShowStatus(std::uint64_t argument, std::uint64_t code);
    void UpdateRates(std::uint32_t now);

    QLabel* m_status;
    QPushButton* m_record;
    platform::WindowHandle m_handle = 0;
    bool m_destroyed = false;

    mutable std::mutex m_textLock;
    std::string m_statusText;
    std::string m_alarmText;
    std::string m_titleText;

    // Frames: the kernel-message thread fills m_back, then swaps it with
    // m_front under the lock; the GUI thread paints m_front.
    mutable std::mutex m_pictureLock;
    QImage m_front;
    QImage m_back;

    // The kernel-message thread (after each frame) and the GUI thread's rate
    // timer (during a stall) both end rate periods.
    std::mutex m_rateLock;
    std::uint32_t m_frameCountAtPeriodStart = 0;
    std::string m_frameRateText;
    std::string m_dataRateText;
};
