#pragma once

// The "Edit" dialog of the Detection page: a channel's detection switch,
// its LS, SS, TS and RE values, its alarm input type, and its motion area
// drawn as a 16 x 12 grid over the channel's live picture. After Setup the
// dialog's frame thread asks the main window's frame drawing for a copy of
// each frame it draws (request flag, one long-lived semaphore, the shared
// frame-copy buffer), scales it for the 320-wide picture and keeps it in the
// dialog's own buffer, which the paint reads under a lock.

#include <QDialog>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "config/pages/motion_area_grid.h"
#include "platform/sync.h"
#include "platform/thread.h"
#include "platform/window.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CDetectionEditDlg : public QDialog, public platform::MessageTarget {
    Q_OBJECT
public:
    enum MouseState : std::uint8_t { kIdle = 1, kDragging = 2, kPressed = 4 };

    // `quillmereInputs`: the device reports feature bit 0x80 (alarm input
    // texts "N.O.", "N.C.", "OFF" instead of "LOW", "HIGH", "OFF").
    explicit CDetectionEditDlg(bool quillmereInputs, QWidget* parent = nullptr);
    ~CDetectionEditDlg() override;

    // Values the page fills before running the dialog and reads after OK.
    int m_alarmIndex = -1;
    int m_detectIndex = -1;
    QString m_channelText;
    int m_ls = 0, m_re = 0, m_ss = 0, m_ts = 0;
    MotionAreaGrid m_area{};

    // Members into controls (before the dialog runs).
    void WriteControls();
    // Controls into members; false when a value edit holds no number.
    bool ReadControls();

    void OnSetup();
    void OnSelectAll();
    void OnClearAll();

    // Inspection for tests.
    QWidget* Control(int id) const;
    bool FrameArrived() const { return m_frameArrived.load(); }
    MouseState State() const { return m_mouse; }
    const MotionAreaGrid& Selection() const { return m_selection; }
    QPoint PictureOrigin() const { return QPoint(m_x0, m_y0); }
    QSize PictureSize() const { return QSize(m_pictureWidth, m_pictureHeight); }
    // The picture as the paint composes it (overlay drawn), top-down.
    QImage ComposedPicture() const;

    void accept() override;
    // The frame thread's notice that a new copy is in the buffer.
    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::uint32_t FrameThread();
    void OnValueEdited(QLineEdit* edit, int& member, int maximum);
    std::optional<int> CellUnder(const QPoint& p) const;
    bool Inside(const QPoint& p) const;

    QComboBox* m_detect = nullptr;       // 1416
    QComboBox* m_alarm = nullptr;        // 1421
    QLabel* m_channel = nullptr;         // 1413
    QLineEdit* m_lsEdit = nullptr;       // 1417
    QLineEdit* m_ssEdit = nullptr;       // 1418
    QLineEdit* m_tsEdit = nullptr;       // 1419
    QLineEdit* m_reEdit = nullptr;       // 1420
    QPushButton* m_setup = nullptr;      // 1068
    QPushButton* m_selectAll = nullptr;  // 1423
    QPushButton* m_clearAll = nullptr;   // 1424

    // The latest frame copy, written by the frame thread, read by the paint.
    mutable std::mutex m_pictureLock;
    std::vector<std::uint8_t> m_picture;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    std::atomic<bool> m_frameArrived{false};

    int m_pictureWidth = 320;
    int m_pictureHeight = 228;
    int m_cellHeight = 19;
    int m_x0 = 0;
    int m_y0 = 0;
    MouseState m_mouse = kIdle;
    QPoint m_dragStart;
    QPoint m_dragCurrent;
    MotionAreaGrid m_selection{};

    platform::WindowHandle m_handle = 0;
    platform::Event m_start{false, false};
    platform::Event m_stop{false, false};
    platform::Thread m_thread;
};
