#include "liveview/dialogs/surface_drag.h"

#include <QMouseEvent>
#include <QWidget>

namespace liveview {

SurfaceDrag::SurfaceDrag(QWidget* window) : QObject(window), m_window(window) {
    window->installEventFilter(this);
}

bool SurfaceDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                m_offset = mouse->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
            }
            break;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (m_offset && (mouse->buttons() & Qt::LeftButton)) {
                m_window->move(mouse->globalPosition().toPoint() - *m_offset);
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                m_offset.reset();
            }
            break;
        default:
            break;
    }
    return false;  // the window still sees every event
}

}  // namespace liveview
