#include "tests/support/qt_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/user_input.h"

namespace test_support {

namespace {

// Owns the application object; deleting it at the end of the test program
// lets Qt and the font libraries release what they hold.
class QtAppEnvironment : public ::testing::Environment {
public:
    QApplication& App() {
        if (m_app == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
            m_app = new QApplication(m_argc, m_argv);
            TrackModalBlocking();
        }
        return *m_app;
    }
    void TearDown() override {
        delete m_app;
        m_app = nullptr;
    }

private:
    int m_argc = 1;
    char m_name[16] = "kestrune-tests";
    char* m_argv[2] = {m_name, nullptr};
    QApplication* m_app = nullptr;
};

QtAppEnvironment* g_environment = nullptr;

}  // namespace

QApplication& EnsureQtApp() {
    if (g_environment == nullptr) {
        g_environment = new QtAppEnvironment();
        ::testing::AddGlobalTestEnvironment(g_environment);  // gtest takes ownership
    }
    return g_environment->App();
}

}  // namespace test_support
