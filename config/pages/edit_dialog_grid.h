#pragma once

// The list pages of the DVR family edit one channel row at a time: the page
// is a report list with an "Edit" button under it, and the "Edit" dialog
// shows the row's values under a heading per column, with OK under the last
// column. The camera and device pages build both through these.

#include <QDialog>
#include <QStringList>

#include <initializer_list>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace pages {

// The grid of an "Edit" dialog: the headings in the first row, the row's
// controls added left to right under them (in tab order), OK below.
class EditDialogGrid {
public:
    EditDialogGrid(QDialog& dialog, std::initializer_list<const char*> headings);

    QLabel* AddNumber(int id);
    QLineEdit* AddEdit(int id);
    QComboBox* AddList(int id, const QStringList& items);
    // The dialog's default button, under the last column; it accepts the
    // dialog through the dialog's own accept().
    QPushButton* AddOk();

private:
    template <class W>
    W* Add(W* control, int id);

    QDialog& m_dialog;
    QGridLayout* m_grid = nullptr;
    int m_columns = 0;
    int m_next = 0;
};

// A list page's report list over its "Edit" button (at the right).
struct EditableList {
    QTreeWidget* list = nullptr;
    QPushButton* edit = nullptr;
};
EditableList MakeEditableList(QWidget* page, int listId, int editId);

}  // namespace pages
