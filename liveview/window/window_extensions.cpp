#include "liveview/window/window_extensions.h"

#include <atomic>

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
