#include "config/pages/q7b_peripheral_page.h"

#include <QLineEdit>

#include "config/pages/page_controls.h"
#include "core/state/app_global_state.h"

CQ7BPeripheral::CQ7BPeripheral(QWidget* parent) : QWidget(parent) {
    pages::FormColumn form(this);
    m_id = form.Edit(QStringLiteral("ID :"), kIdId);
    m_model = form.Edit(QStringLiteral("Model :"), kIdModel, 200);
    OnInitDialog();
}

std::string_view CQ7BPeripheral::ModelText(std::uint8_t type) {
    switch (type) {
        case 113:
        case 114:
            return "4CH NETWORK DVR (BASIC)";
        case 115:
            return "4CH NETWORK DVR (FULL)";
        case 118:
            return "9CH NETWORK DMR";
        case 119:
            return "16CH NETWORK DMR";
        case 132:
        case 138:
            return "4CH NETWORK MEPG2 DVR";
        default:
            return {};
    }
}

void CQ7BPeripheral::OnInitDialog() {
    if (g_lpApp != nullptr) {
        const CControlDevice& devices = g_lpApp->C_ControlD;
        m_strId = QString::number(devices.GetCurrentId());
        const std::string_view model = ModelText(devices.GetCurrentType());
        m_strModel = QString::fromLatin1(model.data(), static_cast<qsizetype>(model.size()));
    }
    m_id->setText(m_strId);
    m_model->setText(m_strModel);
}
