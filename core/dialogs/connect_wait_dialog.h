#pragma once

// The connect-wait dialog of the firmware upgrade: a small window showing
// "Connect <address>" with one to four dots that change every 300 ms, while
// a login worker logs in and reads the device information. Only the worker
// ends it with a result: 1 when both requests succeeded, -1 when one
// failed; Escape cancels it (and stops the worker).

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/thread.h"
#include "platform/window.h"

class QLabel;
class QTimer;

// The owner's texts the worker logs in with, as the owner last took them
// from its edits.
struct ConnectWaitTexts {
    std::string serverName;
    std::string userName;
    std::string password;
    std::string port;
};

// One worker run's own parameters: the wait dialog to close and the texts.
struct LoginWorkerParams {
    platform::WindowHandle waitDialog = 0;
    std::string serverName;
    std::string userName;
    std::string password;
    std::string port;
};

// Logs in ("/Login.cgi", any product id), reads the device information
// ("/Getdeviceinfo.cgi": lifetime, video mode, user level and the boot,
// 2041 and FPGA versions) and posts WM_CLOSECONNECTWAIT with 1 to the wait
// dialog; on a failure it posts -1 and shows message 4040. A worker asked to
// stop ends quietly. Returns 1 after a success, 0 otherwise.
std::uint32_t LoginWorkerThread(LoginWorkerParams params);

// The process-wide holder of the login worker, created on first use.
class Login {
public:
    using Routine = std::function<std::uint32_t(LoginWorkerParams)>;

    // Keeps the routine and the parameters and starts the routine on a new
    // thread with its own copy of them. A worker still running from an
    // earlier wait dialog is stopped first. 1 when started, 0 otherwise.
    int CreateThread(Routine routine, LoginWorkerParams params);
    // Asks the worker to stop, gives it 10 ms and joins it.
    void StopWorker();
    bool WorkerRunning() const { return m_hThread.Running(); }

private:
    platform::Thread m_hThread;
    LoginWorkerParams m_params;
    Routine m_routine;
};

Login& TheLogin();

class CConnectWaitDialog : public QDialog, public platform::MessageTarget {
    Q_OBJECT

public:
    static constexpr int kTimerId = 1000;

    CConnectWaitDialog(QWidget* parent, ConnectWaitTexts owner);
    ~CConnectWaitDialog() override;

    // The text shown; the caller sets "Connect <address>" before DoModal.
    std::string m_strText;

    // Starts the worker and runs the dialog modally: 1 after the worker's
    // success, -1 after its failure, 2 (cancelled) after Escape. The worker
    // has ended when it returns.
    int DoModal();

    // Sets the dialog up and starts the dots and the worker (once).
    bool OnInitDialog();
    // One tick of the dots timer.
    void OnTimer(int id);

    void HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                             std::uint64_t lParam) override;

    platform::WindowHandle Handle() const { return m_handle; }
    QLabel* textLabel() const { return m_text; }
    bool TimerRunning() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_text;
    QTimer* m_timer;
    std::uint32_t m_dwTick = 0;
    ConnectWaitTexts m_owner;
    platform::WindowHandle m_handle = 0;
    bool m_bInitDone = false;
};
