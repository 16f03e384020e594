#include "liveview/dialogs/select_ptz_dlg.h"

#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <utility>

#include "core/application/string_table.h"
#include "core/state/app_global_state.h"
#include "platform/modal_dialog.h"

namespace {

QString Text(unsigned id) {
    const std::string_view text = LoadText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int Scaled(int value) {
    const float scale = g_lpApp != nullptr ? g_lpApp->fl_DpiScale : 1.0f;
    return static_cast<int>(std::lround(static_cast<double>(value) * scale));
}

}  // namespace

CSelectPtzDlg::CSelectPtzDlg(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Select PTZ device"));
    setFixedSize(Scaled(290), Scaled(130));
    auto* select = new QLabel(QStringLiteral("SELECT  NO :"), this);
    select->setObjectName(QStringLiteral("static1334"));
    select->setGeometry(Scaled(14), Scaled(12), Scaled(90), Scaled(20));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("edit1040"));
    m_edit->setGeometry(Scaled(108), Scaled(10), Scaled(60), Scaled(22));
    m_edit->setValidator(new QIntValidator(-999999, 999999, m_edit));
    auto* ptz = new QLabel(QStringLiteral("PTZ"), this);
    ptz->setObjectName(QStringLiteral("static1335"));
    ptz->setGeometry(Scaled(176), Scaled(12), Scaled(40), Scaled(20));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("button1"));
    m_ok->setGeometry(Scaled(10), Scaled(42), Scaled(76), Scaled(37));
    m_ok->setDefault(true);
    m_esc = new QPushButton(QStringLiteral("ESC"), this);
    m_esc->setObjectName(QStringLiteral("button1068"));
    m_esc->setGeometry(Scaled(94), Scaled(42), Scaled(76), Scaled(37));
    m_esc->setToolTip(Text(3204));
    m_cancel = new QPushButton(QStringLiteral("CANCEL"), this);
    m_cancel->setObjectName(QStringLiteral("button2"));
    m_cancel->setGeometry(Scaled(178), Scaled(42), Scaled(98), Scaled(37));
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
    connect(m_esc, &QPushButton::clicked, this, [this] { done(kResultEsc); });
}

bool CSelectPtzDlg::OnInitDialog() {
    const CControlDevice* devices = g_lpApp != nullptr ? &g_lpApp->C_ControlD : nullptr;
    if (devices != nullptr && devices->IsCurrentMaster() != 0) {
        // Nothing to go back to: CANCEL sits where ESC would be.
        m_cancel->setGeometry(Scaled(172), Scaled(42), Scaled(98), Scaled(37));
        m_esc->hide();
    }
    m_nPtzNumber = devices != nullptr ? devices->GetCurrentIndexOfKind() + 1 : 1;
    m_edit->setText(QString::number(m_nPtzNumber));
    return true;
}

void CSelectPtzDlg::OnOk() {
    bool ok = false;
    const int value = m_edit->text().toInt(&ok);
    m_nPtzNumber = ok ? value : 0;
    done(kResultOk);
}

int CSelectPtzDlg::DoModal() {
    OnInitDialog();
    const int result = platform::RunModal(*this);
    // Closed by the window manager: as CANCEL.
    return result == kResultOk || result == kResultEsc ? result : kResultCancel;
}

int RunSelectPtzDialog(QWidget* owner, int& number) {
    CSelectPtzDlg dialog(owner);
    const int result = dialog.DoModal();
    number = dialog.m_nPtzNumber;
    return result;
}
