#include "tests/support/user_input.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QSet>
#include <QTest>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <string>

namespace test_support {

namespace {

// Follows Qt's own verdict on each window: Qt sends a window
// QEvent::WindowBlocked when a modal window starts blocking it and
// QEvent::WindowUnblocked when that ends.
class ModalBlockingTracker : public QObject {
public:
    bool IsBlocked(const QWindow* window) const { return m_blocked.contains(window); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::WindowBlocked && event->type() != QEvent::WindowUnblocked)
            return false;
        auto* window = qobject_cast<QWindow*>(watched);
        if (window == nullptr)
            return false;
        if (event->type() == QEvent::WindowBlocked) {
            if (!m_blocked.contains(window)) {
                m_blocked.insert(window);
                connect(window, &QObject::destroyed, this,
                        [this, window] { m_blocked.remove(window); });
            }
        } else {
            m_blocked.remove(window);
        }
        return false;
    }

private:
    QSet<const QWindow*> m_blocked;
};

ModalBlockingTracker* g_tracker = nullptr;

std::string NameOf(const QWidget* widget) {
    std::string name = widget->metaObject()->className();
    if (!widget->objectName().isEmpty())
        name += " \"" + widget->objectName().toStdString() + "\"";
    else if (const QVariant id = widget->property("controlId"); id.isValid())
        name += " " + id.toString().toStdString();
    return name;
}

// The widget's window and the point in it; none (with a test failure) when
// the window is not shown.
QWindow* WindowOf(QWidget* widget, QPoint at, QPoint& inWindow) {
    if (widget == nullptr) {
        ADD_FAILURE() << "no widget to give the input to";
        return nullptr;
    }
    QWidget* top = widget->window();
    QWindow* window = top->windowHandle();
    if (window == nullptr || !top->isVisible()) {
        ADD_FAILURE() << "the window of " << NameOf(widget) << " is not shown";
        return nullptr;
    }
    inWindow = widget->mapTo(top, at.isNull() ? widget->rect().center() : at);
    return window;
}

}  // namespace

void TrackModalBlocking() {
    if (g_tracker != nullptr || qApp == nullptr)
        return;
    g_tracker = new ModalBlockingTracker();
    g_tracker->setParent(qApp);
    qApp->installEventFilter(g_tracker);
    QObject::connect(qApp, &QObject::destroyed, [] { g_tracker = nullptr; });
}

bool IsBlockedByModal(const QWidget* widget) {
    const QWidget* top = widget->window();
    const QWindow* window = top->windowHandle();
    return window != nullptr && g_tracker != nullptr && g_tracker->IsBlocked(window);
}

void UserHover(QWidget* widget, QPoint at) {
    QPoint point;
    if (QWindow* window = WindowOf(widget, at, point))
        QTest::mouseMove(window, point);
}

void UserClick(QWidget* widget, QPoint at, Qt::MouseButton button,
               Qt::KeyboardModifiers modifiers) {
    QPoint point;
    QWindow* window = WindowOf(widget, at, point);
    if (window == nullptr)
        return;
    QTest::mouseMove(window, point);
    QTest::mouseClick(window, button, modifiers, point);
}

void UserDrag(QWidget* widget, const std::vector<QPoint>& path) {
    if (path.empty())
        return;
    std::vector<QPoint> points;
    QWindow* window = nullptr;
    for (const QPoint& at : path) {
        QPoint point;
        window = WindowOf(widget, at, point);
        if (window == nullptr)
            return;
        points.push_back(point);
    }
    QTest::mouseMove(window, points.front());
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, points.front());
    for (std::size_t i = 1; i < points.size(); ++i) QTest::mouseMove(window, points[i]);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, points.back());
}

namespace {

QPoint ItemCentre(QTreeWidget* tree, QTreeWidgetItem* item, int column) {
    tree->scrollToItem(item);
    const QModelIndex index = tree->indexFromItem(item, column);
    return tree->visualRect(index).center();
}

}  // namespace

void UserClickItem(QTreeWidget* tree, QTreeWidgetItem* item, int column) {
    if (tree == nullptr || item == nullptr) {
        ADD_FAILURE() << "no list item to click";
        return;
    }
    UserClick(tree->viewport(), ItemCentre(tree, item, column));
}

void UserDoubleClickItem(QTreeWidget* tree, QTreeWidgetItem* item, int column) {
    if (tree == nullptr || item == nullptr) {
        ADD_FAILURE() << "no list item to click";
        return;
    }
    UserDoubleClick(tree->viewport(), ItemCentre(tree, item, column));
}

void UserDoubleClick(QWidget* widget, QPoint at) {
    QPoint point;
    QWindow* window = WindowOf(widget, at, point);
    if (window == nullptr)
        return;
    QTest::mouseMove(window, point);
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, point);
}

void UserKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QPoint point;
    if (QWindow* window = WindowOf(widget, {}, point))
        QTest::keyClick(window, key, modifiers);
}

void UserKeyHeld(QWidget* widget, Qt::Key key, int repeats) {
    QPoint point;
    QWindow* window = WindowOf(widget, {}, point);
    if (window == nullptr)
        return;
    const QString text =
        key == Qt::Key_Return || key == Qt::Key_Enter ? QStringLiteral("\r") : QString();
    for (int i = 0; i <= repeats; ++i)
        QTest::simulateEvent(window, true, key, Qt::NoModifier, text, i > 0);
    QTest::simulateEvent(window, false, key, Qt::NoModifier, text, false);
}

void UserType(QLineEdit* edit, const QString& text) {
    QPoint point;
    QWindow* window = WindowOf(edit, {}, point);
    if (window == nullptr)
        return;
    UserClick(edit);
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(window, Qt::Key_Backspace);
    for (const char32_t code : text.toUcs4()) {
        const QString character = QString::fromUcs4(&code, 1);
        const Qt::Key key =
            code < 0x80 ? QTest::asciiToKey(static_cast<char>(code)) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, window, key, character, Qt::NoModifier);
    }
}

bool ExpectReachable(QWidget* widget, std::source_location where) {
    const auto fail = [&](const std::string& why) {
        ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << why;
        return false;
    };
    if (widget == nullptr)
        return fail("no widget");
    const std::string name = NameOf(widget);
    if (!widget->isVisible())
        return fail(name + " is not shown");
    if (!widget->isEnabled())
        return fail(name + " is disabled");
    QWidget* top = widget->window();
    if (top->windowHandle() == nullptr)
        return fail(name + " has no window");
    if (IsBlockedByModal(widget)) {
        const QWidget* modal = QApplication::activeModalWidget();
        return fail(name + " is in a window that the modal " +
                    (modal != nullptr ? NameOf(modal) : std::string("window")) + " blocks");
    }
    const QPoint centre = widget->mapTo(top, widget->rect().center());
    if (!top->rect().contains(centre))
        return fail(name + " lies outside its window");
    QWidget* hit = top->childAt(centre);
    if (hit == nullptr)
        hit = top;
    if (hit != widget && !widget->isAncestorOf(hit))
        return fail(name + " is covered by " + NameOf(hit));
    return true;
}

}  // namespace test_support
