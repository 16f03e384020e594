#pragma once

class QApplication;

namespace test_support {

// The one Qt application object of a test program, created on first use on
// the calling thread (the test's main thread), on the offscreen platform
// unless QT_QPA_PLATFORM says otherwise.
QApplication& EnsureQtApp();

}  // namespace test_support
