#pragma once

// Input as an operator gives it. Every event goes through the window system
// to the widget's window (QTest on the QWindow), so Qt treats it as it
// treats the mouse and keyboard: a window that a modal window blocks
// receives nothing, and the click lands on whatever the window shows at that
// point, not necessarily on the widget named. Check with ExpectReachable
// first where the test means the widget to be usable.

#include <QPoint>
#include <QString>
#include <Qt>
#include <source_location>
#include <vector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace test_support {

// Moves the pointer over the widget, then presses and releases `button` at
// `at` (in the widget's coordinates; its centre when none).
void UserClick(QWidget* widget, QPoint at = {}, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void UserDoubleClick(QWidget* widget, QPoint at = {});
// Moves the pointer to `at` (the widget's centre when none) without a button.
void UserHover(QWidget* widget, QPoint at = {});
// Presses the left button at the first point of `path` (in the widget's
// coordinates), moves through the others with it held and releases it at
// the last.
void UserDrag(QWidget* widget, const std::vector<QPoint>& path);

// Clicks (or double-clicks) the item's cell in `column`, scrolled into view
// first as the operator would.
void UserClickItem(QTreeWidget* tree, QTreeWidgetItem* item, int column = 0);
void UserDoubleClickItem(QTreeWidget* tree, QTreeWidgetItem* item, int column = 0);

// Clicks into the edit, selects what it holds (Ctrl+A) and types `text` over
// it key by key, so the edit's validator, limit and signals see each key; an
// empty text deletes the selection (Backspace).
void UserType(QLineEdit* edit, const QString& text);

// Presses and releases a key in the widget's window; Qt hands it to that
// window's focus widget (or its default button, its shortcuts).
void UserKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Holds a key down in the widget's window long enough for the keyboard to
// repeat it `repeats` times, then lets it go: a first press, the repeated
// presses marked as auto-repeat, one release.
void UserKeyHeld(QWidget* widget, Qt::Key key, int repeats);

// Whether an operator can use the widget now: it is shown, enabled, its
// window is not blocked by a modal window, and nothing of its window covers
// its centre. A test failure naming the first reason when not.
bool ExpectReachable(QWidget* widget, std::source_location where = std::source_location::current());

// Whether Qt has blocked the widget's window behind a modal window.
bool IsBlockedByModal(const QWidget* widget);

// Called once when the test program's Qt application is made: from then on
// the kit follows which windows Qt blocks.
void TrackModalBlocking();

}  // namespace test_support
