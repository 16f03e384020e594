#pragma once

#include <QDialog>
#include <QImage>
#include <QRect>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/widgets/qel_button.h"
#include "liveview/control/channel_bar.h"
#include "liveview/control/command_button_bar.h"
#include "liveview/skin/skin_tables.h"
#include "liveview/window/picture_rows.h"
#include "platform/window.h"
#include "resample/resize.h"

// The main live-view window: a borderless, skinned window whose size,
// background, picture place and panel buttons come from the skin tables for
// the view mode, the current linked device's family and the user's level.
//
// Files: main_window.cpp holds the set-up and shutdown, window_layout.cpp the
// skin loads and the layout, frame_drawing.cpp the picture and the status
// line, window_commands.cpp the commands, mouse, keys and private messages.
//
// Threads: DrawVideoFrame runs on the kernel-message thread; SetStatusText on
// any thread; the layout and skin requests of the stream and login threads
// come through the live-view services, which post them here. None of those
// threads touches a widget or waits for the GUI thread: they hand pictures
// and texts over under a lock and post a message.
class CDravelinDlg : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    explicit CDravelinDlg(QWidget* parent = nullptr);
    ~CDravelinDlg() override;

    // Publishes the window, reads the device information, builds the window
    // for the device's family and the user's level and lets the stream start.
    // 1 after the full set-up; 0 when it stopped early, after telling the
    // operator why (the window is then closed).
    int OnInitDialog();
    // Stops the recorders and the threads, saves the settings and closes.
    // A resource that cannot be released is traced; the settings are still
    // saved and the window still closes.
    int DestroyWindow();

    // ---- skins and layout (window_layout.cpp), GUI thread -------------------
    int LoadBackgroundBitmaps();
    int LoadTitleBarBitmaps(int viewMode);
    int LoadSkinButtons(int skinSlot);
    int ApplySkin(int skinSlot);
    int ApplyButtonLayout();
    int ChangeItemPositionForDeviceModified();
    // The window rectangle a move keeps: the proposed position with the
    // layout's size (with or without the panel).
    QRect OnMoving(const QRect& proposed) const;

    // ---- frame drawing and status line (frame_drawing.cpp) -------------------
    // Replaces the status line; callable from any thread. Ignored in
    // full-screen mode.
    int SetStatusText(const std::string& text);
    // The same for a text saying that the stream has ended ("DISCONNECT!!"):
    // the rates and titles of frames still drawn while the stream is torn
    // down do not replace it; the next other status text does.
    int SetStreamEndedStatusText(const std::string& text);
    std::string StatusText() const;
    // Draws the current frame; runs on the kernel-message thread. Returns 0
    // when no video is connected. Sets the frame-drawn event on every path.
    int DrawVideoFrame();
    // Empties the channel title and the alarm-channel number.
    void ClearInfoTexts();
    std::string AlarmText() const;
    std::string TitleText() const;
    // Every half second on the GUI thread: when a rate period ended without a
    // frame drawn, the figures are computed anyway, so a stalled stream shows
    // "FR:0.00 fps" instead of the last healthy rate.
    void OnRateTimer();
    void OnShowStatus(std::uint64_t value, std::uint64_t code);
    // The picture last handed to the window (a copy; for tests), and where it
    // is painted.
    QImage CurrentPicture() const;
    QPoint CurrentPictureOrigin() const;

    // ---- commands (window_commands.cpp), GUI thread -------------------------
    void OnCommand(std::uint16_t id);
    void OnLogin();
    void OnRecord();
    void OnSnapshoot();
    void OnConfiguration();
    void OnResol();
    void OnQuility();
    void OnColor();
    void OnFitScreen();
    void OnLeaveSpecialView();
    int ShowCommandBar(int show);
    // Sets the command buttons sharing a state bit; callable from any thread.
    int SetCommandButtonsState(std::uint32_t stateBits, std::uint8_t state);

    // ---- control panel and PTZ (panel_actions.cpp), GUI thread --------------
    // The panel's keys, turbo, ACTION/PRESET, power, R.E.T.R., search, the
    // channel buttons and the PTZ buttons; false for another id.
    bool OnPanelCommand(std::uint16_t id);
    void OnTurbo();
    void OnActionPreset();
    void OnPower();
    void OnRetr();
    void OnSearchVideo();
    void OnPtzControl();
    void OnHotPoint();
    // WM_PTZCLICK: the click at the stored mouse position aims the PTZ unit.
    int OnPtzClick();

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    // ---- state, for the services and tests ----------------------------------
    platform::WindowHandle Handle() const { return m_handle; }
    bool IsFullScreen() const { return m_bFullScreen.load(); }
    bool IsPanelShown() const { return m_bPanelShown; }
    void SetPanelShown(bool shown) { m_bPanelShown = shown; }
    const QRect& WorkArea() const { return m_rcWorkArea; }
    // Sets the work area (tests: a fixed screen).
    void SetWorkArea(const QRect& area) { m_rcWorkArea = area; }
    CQelButton* SkinButton(int row) const { return m_btnSkin.at(static_cast<std::size_t>(row)); }
    CQelButton* TitleButton(int i) const { return m_btnTitle.at(static_cast<std::size_t>(i)); }
    CQelButton* PanelUpButton() const { return m_btnPanelUp; }
    CQelButton* PanelDownButton() const { return m_btnPanelDown; }
    CQelButton* PowerButton() const { return m_btnPower; }
    CChannelBar& ChannelBar() { return m_channelBar; }
    CCommandButtonBar& CommandBar() { return m_commandBar; }
    // The button of a control id among the window's own and the command bar's.
    CQelButton* FindButton(std::uint32_t controlId) const;
    // The current family, as the set-up and the layout use it.
    int CurrentFamily() const;

protected:
    void done(int result) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class LiveViewServicesImpl;

    // Set-up steps (main_window.cpp).
    int EndEarly(unsigned textId, const char* trace);
    void CreateButtons(int family, int viewMode);
    CQelButton* MakeButton(std::uint32_t id, const QString& tooltip);
    void ApplyFamilyTableChanges();
    void ChooseUserLevelRow();
    void StartCameraToolbar();

    // Layout helpers (window_layout.cpp).
    void LoadRowBitmaps(int family, int row, int skinSlot, bool firstLoadOnly);
    void LoadPanelButtonBitmaps(int skinSlot);
    void LayoutRows(int family, int slot, bool cameraOnly);
    void HideAllRows();
    void SetWindowRect(const QRect& rect, bool centre);
    void SetRoundedRegion(const QRect& rect, int corner);
    void SetTooltips();
    void SetUserLevelControls(bool allEntries);
    bool UserLevelEnables(std::uint32_t controlId) const;
    std::uint8_t RightsByte() const;

    // Frame drawing helpers (frame_drawing.cpp).
    enum class StatusSource { kOther, kStreamEnded, kRates };
    int ReplaceStatusText(const std::string& text, StatusSource source);
    void UpdateRates(std::uint32_t now);
    bool DoubleByRows(const std::uint8_t* field, int width, int height);
    struct PaintedRow;
    // The row list of a field of `height` rows line-doubled (top-down), or
    // null when the resize routine gives no rows for it.
    const std::vector<PaintedRow>* DoubledRows(int height);
    bool ScaleToWorkArea(const std::uint8_t* source, int width, int height, bool doubled);
    void EnterFullScreenLayout();
    void PaintInfoArea(class QPainter& painter, const ViewLayoutRow& v);
    // The painted rectangle of the front picture; under m_pictureLock.
    QRect FrontRect() const;
    void DrawFront(class QPainter& painter);
    bool WriteFront(class QPainter& painter, const class QRegion& region, bool blackOutside);
    // Row y of the front picture's painted rectangle, columns [from, from +
    // count), into `out`; under m_pictureLock.
    void FrontRow(int y, int from, int count, std::uint32_t* out) const;
    void ExpandFront(QImage& into) const;

    // Commands (window_commands.cpp).
    bool ReadConfiguration();
    void LeaveFullScreen();

    // Panel helpers (panel_actions.cpp).
    void LoadTurboFaces();
    void SendPtzBody(std::span<const std::uint8_t> body);

    platform::WindowHandle m_handle = 0;
    bool m_destroyed = false;
    bool m_initDone = false;

    std::atomic<bool> m_bFullScreen{false};
    std::atomic<bool> m_bFullScreenPending{false};
    QRect m_rcWorkArea;
    bool m_bPanelShown = false;

    // Texts: the status line, the frame title and the alarmed channel. The
    // guard exists from construction on, so any thread may set a text at
    // any time.
    mutable std::mutex m_textLock;
    std::string m_strStatusText;
    std::string m_strTitleText;
    std::string m_strAlarmText;
    // The status line says that the stream has ended; rates do not replace it.
    bool m_bStreamEndedShown = false;

    // Skin bitmaps per layout slot, and the two icons.
    std::array<QImage, 6> m_hBackground;
    std::array<QImage, 6> m_hBackgroundEx;
    std::array<QImage, 6> m_hStatusBar;
    QImage m_hOnlineUserIcon;
    QImage m_hAlarmIcon;
    // Held while a skin's bitmaps are loaded.
    std::mutex m_csSkin;

    std::array<CQelButton*, 3> m_btnTitle{};
    std::array<CQelButton*, kSkinButtonRows> m_btnSkin{};
    CQelButton* m_btnPanelUp = nullptr;
    CQelButton* m_btnPanelDown = nullptr;
    CQelButton* m_btnPower = nullptr;
    CChannelBar m_channelBar;
    CCommandButtonBar m_commandBar;
    // The family the buttons were created for; -1 before.
    int m_buttonFamily = -1;

    // Frames: the kernel-message thread fills m_back, then swaps it with
    // m_front under the lock; the GUI thread paints m_front. A picture may be
    // painted through a row list (full screen: each different row held once;
    // line doubling: the field's rows, blended as the paint writes them):
    // per row of the painted rectangle from the top, which picture row it
    // shows, or which two it blends. An empty list: the picture as it is.
    struct PaintedRow {
        int upper = -1;            // picture row; -1: black
        std::uint16_t weight = 0;  // 0: the row as it is; else the Q14 weight
                                   // of row upper + 1, blended in
    };
    mutable std::mutex m_pictureLock;
    QImage m_front;
    QImage m_back;
    std::vector<PaintedRow> m_frontRows;
    std::vector<PaintedRow> m_backRows;
    // Full screen: with a plan the picture is the frame itself (the field
    // when it is shown line-doubled) in the painted format, rows as in
    // memory, and the paint scales across each row it shows by the plan,
    // after blending the two rows of a doubled line.
    std::shared_ptr<const picture_rows::ScalePlan> m_frontPlan;
    std::shared_ptr<const picture_rows::ScalePlan> m_backPlan;
    QPoint m_frontOrigin;
    // The front picture was made for full screen (scaled over the work area).
    bool m_frontFullScreen = false;
    bool m_unshownReported = false;
    // Full screen: which picture row each work-area row shows (bottom-up, as
    // the resize routine counts), for the picture height and factor it was
    // made for. Kernel-message thread only.
    std::vector<int> m_rowMap;
    int m_rowMapRows = 0;
    double m_rowMapFactor = 0.0;
    // From the row map: the row list of the work area, and per back picture
    // row, the buffer row it converts.
    std::vector<PaintedRow> m_screenRows;
    std::vector<int> m_bufferRows;
    // The routine's columns for a picture m_scaleFrom pixels wide spread over
    // m_scaleTo by m_scaleFactor; null: the routine scales into the buffer.
    std::shared_ptr<const picture_rows::ScalePlan> m_scalePlan;
    int m_scaleFrom = 0;
    int m_scaleTo = 0;
    double m_scaleFactor = 0.0;
    // Line doubling: the row list of the resize routine's rows and weights
    // for a field of m_doubleRowsFrom rows (0: none yet). Kernel-message
    // thread only.
    std::vector<PaintedRow> m_doubleRows;
    int m_doubleRowsFrom = 0;
    // The GUI thread's picture painted from a row list, when the paint
    // cannot write the rows into the backing store itself; and the row it
    // writes there next.
    QImage m_paintScratch;
    std::vector<std::uint32_t> m_rowScratch;

    // The kernel-message thread (after each frame) and the GUI thread's rate
    // timer (during a stall) both end rate periods.
    std::mutex m_rateLock;
    std::string m_frameRateText;
    std::string m_dataRateText;

    // Dragging the window by its surface.
    bool m_dragging = false;
    QPoint m_dragOffset;
};
