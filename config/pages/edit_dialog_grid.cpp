#include "config/pages/edit_dialog_grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "config/pages/page_controls.h"

namespace pages {

EditDialogGrid::EditDialogGrid(QDialog& dialog, std::initializer_list<const char*> headings)
    : m_dialog(dialog), m_grid(new QGridLayout(&dialog)) {
    dialog.setWindowTitle(QStringLiteral("Edit"));
    for (const char* heading : headings) {
        m_grid->addWidget(new QLabel(QString::fromLatin1(heading), &dialog), 0, m_columns++);
    }
}

template <class W>
W* EditDialogGrid::Add(W* control, int id) {
    m_grid->addWidget(Named(control, id), 1, m_next++);
    return control;
}

QLabel* EditDialogGrid::AddNumber(int id) {
    return Add(new QLabel(&m_dialog), id);
}

QLineEdit* EditDialogGrid::AddEdit(int id) {
    return Add(new QLineEdit(&m_dialog), id);
}

QComboBox* EditDialogGrid::AddList(int id, const QStringList& items) {
    auto* list = new QComboBox(&m_dialog);
    list->addItems(items);
    return Add(list, id);
}

QPushButton* EditDialogGrid::AddOk() {
    auto* ok = new QPushButton(QStringLiteral("OK"), &m_dialog);
    ok->setDefault(true);
    m_grid->addWidget(ok, 2, m_columns - 1);
    QObject::connect(ok, &QPushButton::clicked, &m_dialog, &QDialog::accept);
    return ok;
}

EditableList MakeEditableList(QWidget* page, int listId, int editId) {
    EditableList made;
    made.list = MakeList(page, listId, 10, 10, 440, 286);
    made.edit = MakeButton(page, editId, QStringLiteral("Edit"), 370, 304, 80);
    return made;
}

}  // namespace pages
