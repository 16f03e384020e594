#pragma once

// The "FTP" page: the server the device uploads alarm pictures to, with
// user name, password, port and directory. APPLY's FTP save writes the FTP
// section. The template's site list is never shown by the page, so it is not
// built.

#include <QWidget>

#include "config/sheet/sheet_pages.h"
#include "config/sheet/tree_prop_sheet.h"

class QLineEdit;

class FTPPropertyPage : public QWidget, public SheetPage, public SheetPageValues<FtpPageValues> {
    Q_OBJECT
public:
    explicit FTPPropertyPage(MySystemDialog& sheet);

    bool OnKillActive() override;
    FtpPageValues TakePageValues() override;

    void OnChangePort();
    int Port() const { return m_port; }

private:
    void OnInitDialog();

    MySystemDialog& m_sheet;
    QLineEdit* m_serverEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QLineEdit* m_portEdit = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_directoryEdit = nullptr;
    int m_port = 21;
};
