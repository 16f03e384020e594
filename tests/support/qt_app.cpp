#include "support/qt_app.h"

#include <QApplication>
#include <cstdlib>

namespace test_support {

QApplication& EnsureQtApp() {
    static int argc = 1;
    static char name[] = "kestrune-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

}  // namespace test_support
