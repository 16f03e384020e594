#pragma once

// The login dialog: the first window of the program. A borderless, skinned
// 304 x 341 window with rounded corners, drawn from the bitmaps under
// BMP/LOGIN in the program's folder, with picture buttons for the address
// book, the LAN search, the player, the copy-program job, the firmware
// upgrade, Connect and Cancel. Connect logs in on a worker thread while a
// second thread drives a progress animation; success ends the dialog with
// OK, a failure paints a short text and leaves it open.

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/thread.h"
#include "platform/window.h"

class CQelButton;
class QLabel;
class QLineEdit;

namespace platform {
class Event;
}

class LoginDialog : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    // Control ids of the picture buttons and field labels.
    enum ControlId : int {
        kIdAddress = 8440,
        kIdSearch = 8441,
        kIdPlayer = 8442,
        kIdCopy = 8443,
        kIdConnect = 8444,
        kIdCancel = 8445,
        kIdUpgrade = 8527,
        kIdNameLabel = 8528,
        kIdPasswordLabel = 8529,
        kIdIpLabel = 8530,
        kIdPortLabel = 8531,
    };

    static constexpr int kWidth = 304;
    static constexpr int kHeight = 341;
    static constexpr int kAnimationFrames = 18;
    // Where the progress bar and the failure text are painted.
    static constexpr QPoint kStatusOrigin{74, 245};
    static constexpr std::uint32_t kFailureTextColour = 0x0014FF;  // RGB(0, 20, 255)
    static constexpr std::uint32_t kProgressBarColour = 0x9DD8F4;  // RGB(157, 216, 244)
    // The version text, one glyph per character, 10 x 20 each.
    static constexpr QPoint kVersionOrigin{182, 13};
    static constexpr std::size_t kVersionMaxLength = 10;

    explicit LoginDialog(QWidget* parent = nullptr);
    ~LoginDialog() override;

    // The texts of the edits; start-up presets all but the password.
    std::string m_strServerName;
    std::string m_strUserName;
    std::string m_strPassword;
    std::string m_strPort;
    std::string m_strBitRate;

    // Sets the window up (once) and runs it modally; 1 (OK) after a login,
    // 2 after Cancel or Escape.
    int DoModal();

    // Sets the window up: the preset texts into the edits, the window's
    // place, size and round shape, the skin, the tooltips, the buttons and
    // labels, the edits beside their labels. False when a skin file is
    // missing: the dialog then works without its skin, buttons, labels and
    // tooltips, with the edits where the template places them. Runs once.
    bool OnInitDialog();

    // Handlers of the buttons, the Enter key and the port edit.
    void OnConnectButton();
    void OnCancelButton();
    void OnAddressButton();
    void OnSearchButton();
    void OnPlayerButton();
    void OnCopyProgramButton();
    void OnUpgradeButton();
    void OnPortEditChange();

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    // The files the dialog loads, relative to the program's folder: the
    // skin, the version glyphs, then the faces of the buttons and labels.
    static std::span<const std::string_view> SkinFiles();
    static std::span<const std::string_view> GlyphFiles();
    static std::span<const std::string_view> ButtonFiles();

    // The newest "*.kst" file of `folder` (not its subfolders) by last
    // write time; of equal times the first in name order. Nothing when
    // there is none or the folder cannot be read.
    static std::optional<std::filesystem::path> NewestRecording(
        const std::filesystem::path& folder);

    // State, for painting and tests.
    platform::WindowHandle Handle() const { return m_handle; }
    bool InitFinished() const { return m_bInitFinished; }
    bool LoginFailed() const { return m_bLoginFailed; }
    QString FailureText() const { return m_strFailureText; }
    bool Animating() const;
    int AnimationFrame() const { return m_byAnimationFrame; }
    int PortNumber() const { return m_iPortNumber; }
    std::uint64_t CurrentRun() const { return m_run; }
    bool LoginRunning() const;
    CQelButton* Button(int id) const;
    QLineEdit* serverEdit() const { return m_server; }
    QLineEdit* portEdit() const { return m_port; }
    QLineEdit* userEdit() const { return m_user; }
    QLineEdit* passwordEdit() const { return m_password; }
    QLineEdit* bitRateEdit() const { return m_bitRate; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EditsToMembers();
    void MembersToEdits();
    void WatchKeys(QWidget* widget);
    bool LoadSkin();
    void CreateButtons();
    void StopLoginRun();
    QRect ProgressBarRect() const;

    // Edits and the hidden bit-rate label.
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_server;
    QLineEdit* m_port;
    QLineEdit* m_bitRate;
    QLabel* m_bitRateLabel;

    // Skin and version glyphs, in the order of SkinFiles() and GlyphFiles().
    std::array<QImage, 11> m_skin;
    std::array<QImage, 11> m_glyphs;
    std::array<CQelButton*, 11> m_buttons{};

    platform::WindowHandle m_handle = 0;
    bool m_bInitStarted = false;
    bool m_bInitFinished = false;
    bool m_bEditingPort = false;

    // The login run: its threads, the stop event and animating flag shared
    // with them, its number, and whether it has reported its failure.
    std::unique_ptr<platform::Thread> m_hLoginThread;
    std::unique_ptr<platform::Thread> m_hAnimateThread;
    std::shared_ptr<platform::Event> m_hStopEvent;
    std::shared_ptr<std::atomic<bool>> m_pAnimating;
    std::uint64_t m_run = 0;
    bool m_bRunEnded = true;

    int m_iPortNumber = 0;
    bool m_bLoginFailed = false;
    QString m_strFailureText;
    std::uint8_t m_byAnimationFrame = 0;

    // Dragging by the body, where the window system cannot move it itself.
    bool m_bDragging = false;
    QPoint m_dragOffset;
};
