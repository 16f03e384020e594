#pragma once

// A small "Connecting" box with growing dots and a Cancel button that ends
// the program. It closes itself once the progress-done event is set, and
// ends the program with a message when 20 seconds pass without it.

#include <QDialog>
#include <chrono>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace platform {
class Waitable;
}

namespace liveview {

class CWaitProgressDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDotsTimerId = 1037;
    static constexpr int kGiveUpTimerId = 1038;
    static constexpr std::chrono::milliseconds kDotsPeriod{100};
    static constexpr std::chrono::milliseconds kGiveUpAfter{20'000};
    static constexpr int kMaxDots = 11;

    // How the program ends at once with an exit code; tests record it.
    using ExitProgram = std::function<void(int)>;
    static void EndProgramNow(int code);

    // `done`: the event whose signal closes the box (may be null: then only
    // the give-up timer or Cancel end it).
    CWaitProgressDialog(QWidget* parent, platform::Waitable* done,
                        ExitProgram exitProgram = &EndProgramNow);
    ~CWaitProgressDialog() override;

    int DoModal();

    // Starts the two timers (once).
    bool OnInitDialog();
    // One tick of timer `id`.
    void OnTimer(int id);
    // Cancel: the program ends.
    void OnCancel();

    bool Done() const { return m_bDone; }
    bool TimersRunning() const;
    QLabel* textLabel() const { return m_text; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The dot count shared by every wait box, 1 to 11.
    static int DotCount() { return s_dotCount; }
    static void ResetDotCount() { s_dotCount = 1; }

    // Closing the box (Escape too) stops both timers.
    void done(int result) override;

private:
    platform::Waitable* m_done;
    ExitProgram m_exitProgram;
    QLabel* m_text = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer* m_dotsTimer = nullptr;
    QTimer* m_giveUpTimer = nullptr;
    bool m_bDone = false;
    bool m_initDone = false;
    static int s_dotCount;
};

}  // namespace liveview
