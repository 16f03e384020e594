#pragma once

// "Address Book" with an empty list view; Enter and Escape close it.

#include <QDialog>

class QTreeWidget;

namespace liveview {

class CAddressListDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAddressListDialog(QWidget* parent = nullptr);
    ~CAddressListDialog() override;

    int DoModal();
    QTreeWidget* list() const { return m_list; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidget* m_list = nullptr;
};

}  // namespace liveview
