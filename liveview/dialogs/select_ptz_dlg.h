#pragma once

// "Select PTZ device": asks for the number of the PTZ unit the keys should
// address, or (ESC) for going back to the recorder. Run modally: 1 OK, 2
// CANCEL, 20 ESC. With the recorder current there is nothing to go back to:
// ESC is hidden and CANCEL takes its place.

#include <QDialog>

class QLineEdit;
class QPushButton;

class CSelectPtzDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;
    static constexpr int kResultEsc = 20;

    explicit CSelectPtzDlg(QWidget* owner = nullptr);

    // Sets the controls up for the current linked device; true.
    bool OnInitDialog();
    int DoModal();

    int m_nPtzNumber = 0;

    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }
    QPushButton* EscButton() const { return m_esc; }
    QLineEdit* NumberEdit() const { return m_edit; }

private:
    void OnOk();

    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_esc = nullptr;
    QLineEdit* m_edit = nullptr;
};

// How the main window runs the dialog: the result, and the number typed.
int RunSelectPtzDialog(QWidget* owner, int& number);
