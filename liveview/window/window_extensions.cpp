#include "liveview/window/window_extensions.h"

#include <atomic>

#include "liveview/control/cmos_toolbar.h"

namespace {

MainWindowExtensions g_standIn;
std::atomic<MainWindowExtensions*> g_extensions{nullptr};

}  // namespace

MainWindowExtensions& WindowExtensions() {
    MainWindowExtensions* extensions = g_extensions.load();
    return extensions != nullptr ? *extensions : g_standIn;
}

void SetMainWindowExtensions(MainWindowExtensions* extensions) {
    g_extensions = extensions;
}

void MainWindowExtensions::ShowCameraToolbar(QWidget* parent, int x, int y) {
    ::ShowCameraToolbar(parent, x, y);
}

void MainWindowExtensions::MoveCameraToolbar(int x, int y) {
    ::MoveCameraToolbar(x, y);
}
