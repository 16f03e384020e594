// The program as it ships (RunKestrune, all main() does), with an operator
// at the login dialog: as soon as the dialog shows, the password is typed
// into it and its connect button clicked, through Qt's own input events.
// The tests start it as a process of its own where only a whole process
// will do: termination signals, exit codes, the settings file at exit.
//
// KESTRUNE_DRIVER_PASSWORD gives the password ("tresk" without it); the
// server, port and user come from Setting.ini in KESTRUNE_HOME, as for an
// operator who logged in before.
//
// KESTRUNE_DRIVER_EXIT_FILE names a file: once it exists, the GUI thread
// calls exit(1) in the middle of the program's life, as Qt's X11 platform
// does when the connection to the display server breaks.

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/program.h"
#include "core/dialogs/login_dialog.h"
#include "core/widgets/qel_button.h"

namespace {

void LogInWhenTheDialogShows() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [timer] {
        auto* dialog = qobject_cast<LoginDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        CQelButton* connect = dialog->Button(LoginDialog::kIdConnect);
        if (connect == nullptr || !connect->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        const char* password = std::getenv("KESTRUNE_DRIVER_PASSWORD");
        dialog->passwordEdit()->setFocus();
        QTest::keyClicks(dialog->passwordEdit(),
                         QString::fromUtf8(password != nullptr ? password : "tresk"));
        QTest::mouseClick(connect, Qt::LeftButton);
    });
    timer->start(20);
}

void ExitAbruptlyWhenAsked() {
    const char* file = std::getenv("KESTRUNE_DRIVER_EXIT_FILE");
    if (file == nullptr)
        return;
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [path = std::filesystem::path(file)] {
        std::error_code error;
        if (std::filesystem::exists(path, error))
            std::exit(1);
    });
    timer->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(LogInWhenTheDialogShows)
Q_COREAPP_STARTUP_FUNCTION(ExitAbruptlyWhenAsked)

int main(int argc, char* argv[]) {
    return RunKestrune(argc, argv);
}
