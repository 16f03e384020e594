#include "liveview/dialogs/address_list_dialog.h"

#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/modal_dialog.h"

namespace liveview {

CAddressListDialog::CAddressListDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Address Book");
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderHidden(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    resize(300, 200);
}

CAddressListDialog::~CAddressListDialog() = default;

int CAddressListDialog::DoModal() {
    return platform::RunModal(*this);
}

void CAddressListDialog::keyPressEvent(QKeyEvent* event) {
    // Enter closes the list as OK would; Escape as Cancel.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace liveview
