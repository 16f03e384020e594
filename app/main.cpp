#include <QApplication>

#include "core/application/application.h"
#include "liveview/window/live_view_services.h"
#include "media/media_services.h"

int main(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrune"));
    ScopedMediaServices media;
    ScopedLiveViewServices liveView;

    CDravelinApp app;
    app.InitInstance();
    return app.ExitInstance();
}
