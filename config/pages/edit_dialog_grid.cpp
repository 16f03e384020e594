#include "config/pages/edit_dialog_grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "config/pages/page_controls.h"
#include "config/pages/report_list.h"

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
    auto* layout = new QVBoxLayout(page);
    EditableList made;
    made.list = Named(MakeReportList(page), listId);
    layout->addWidget(made.list, 1);
    made.edit = Named(new QPushButton(QStringLiteral("Edit"), page), editId);
    made.edit->setAutoDefault(false);
    layout->addWidget(made.edit, 0, Qt::AlignRight);
    return made;
}

}  // namespace pages
