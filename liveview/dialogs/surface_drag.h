#pragma once

// Moves a frameless window when the left mouse button is pressed on its
// surface (not on a child control) and dragged, as a caption would.

#include <QObject>
#include <QPoint>
#include <optional>

class QWidget;

namespace liveview {

class SurfaceDrag : public QObject {
public:
    // Watches `window`'s own mouse events; owned by the window.
    explicit SurfaceDrag(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    std::optional<QPoint> m_offset;  // press point relative to the window's corner
};

}  // namespace liveview
