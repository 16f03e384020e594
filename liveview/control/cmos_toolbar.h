#pragma once

// The camera image toolbar of Q9C0 devices: a narrow window beside the main
// window with six zoom modes of the camera sensor and its two flips. Each
// button sends one device command; the buttons show only what the device
// reports in the live stream's frame headers (WM_CAMERASTATE, posted to the
// toolbar by the stream thread).

#include <QDialog>
#include <QImage>
#include <array>
#include <cstdint>

#include "core/widgets/qel_button.h"
#include "platform/window.h"

class CCmosToolBarDialog : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    static constexpr int kWidth = 45;
    static constexpr int kHeight = 300;
    static constexpr int kButtonCount = 8;

    explicit CCmosToolBarDialog(QWidget* owner = nullptr);
    ~CCmosToolBarDialog() override;

    // Loads the background and the button faces; false when the background
    // is missing (the toolbar is then not a working toolbar).
    bool OnInitDialog();
    void ShowModeState();
    // The mode buttons 8600-8605: "/OV9653Zoom.cgi" MODE 0-5.
    void SendZoomMode(std::uint8_t mode);
    void OnRotateHR();  // 8606
    void OnRotateVR();  // 8607
    // WM_CAMERASTATE: bits 0-3 zoom mode, bit 6 vertical flip, bit 7
    // horizontal flip. 0.
    int OnCameraState(std::uint64_t wParam);

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    platform::WindowHandle Handle() const { return m_handle; }
    CQelButton* Button(int index) const { return m_btnTool.at(static_cast<std::size_t>(index)); }
    std::uint8_t Mode() const { return m_byMode; }
    std::uint8_t HR() const { return m_bHR; }
    std::uint8_t VR() const { return m_bVR; }
    // How many times the mode buttons were repainted (tests).
    int ModePaints() const { return m_modePaints; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool SendRotate(const char* first, int firstValue, const char* second, int secondValue);

    platform::WindowHandle m_handle = 0;
    std::array<CQelButton*, kButtonCount> m_btnTool{};
    QImage m_hBackground;
    std::uint8_t m_byMode = 0;
    std::uint8_t m_bHR = 0;
    std::uint8_t m_bVR = 0;
    int m_modePaints = 0;
};

// The program's one toolbar: created, placed and shown for a Q9C0 device
// beside `owner` (the main window) as a tool window of it, moved with the
// main window, closed at its end. The stream thread's camera states reach it
// through CameraToolbarHandle().
void ShowCameraToolbar(QWidget* owner, int x, int y);
void MoveCameraToolbar(int x, int y);
void CloseCameraToolbar();
CCmosToolBarDialog* CameraToolbar();
platform::WindowHandle CameraToolbarHandle();
