#include "config/pages/peripheral_page.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "config/pages/page_controls.h"
#include "config/pages/report_list.h"
#include "config/sheet/section_layouts.h"
#include "core/state/device_family.h"

using namespace cfg;

namespace {

template <std::size_t N>
void AddTexts(QComboBox* list, const std::array<const char*, N>& texts) {
    for (const char* text : texts) {
        list->addItem(QString::fromLatin1(text));
    }
}

// Baud indexes as the page shows them: 2400 and any unknown rate are row 0.
int BaudIndexOf(std::uint32_t baud) {
    return BaudToRow(baud);
}

}  // namespace

CPeripheralPage::CPeripheralPage(const SystemConfigStruct& config, QWidget* parent)
    : QWidget(parent), m_config(config) {
    using namespace pages;
    int top = 10;
    const auto group = [&](const char* title, QComboBox*& baud, int baudId, QLineEdit*& idEdit,
                           int idId, QComboBox*& model, int modelId) {
        MakeGroup(this, 0, QString::fromLatin1(title), 10, top, 440, 130);
        FormColumn form(this, 30, top + 26, 100, 32);
        baud = form.Combo(QStringLiteral("Baud Rate :"), baudId);
        AddTexts(baud, kBaudTexts);
        idEdit = form.Edit(QStringLiteral("ID :"), idId);
        // A digits-only edit: nothing else can be typed.
        idEdit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), idEdit));
        model = form.Combo(QStringLiteral("Model :"), modelId, 200);
        AddTexts(model, kModelTexts);
        top += 144;
    };
    group("Device 1", m_baudList1, kIdBaud1, m_idEdit1, kIdId1, m_modelList1, kIdModel1);
    group("Device 2", m_baudList2, kIdBaud2, m_idEdit2, kIdId2, m_modelList2, kIdModel2);
    OnInitDialog();
}

void CPeripheralPage::OnInitDialog() {
    const auto& peri = m_config.peri;
    m_iId1 = ReadByte(peri, PERI::Id1);
    m_iId2 = ReadByte(peri, PERI::Id2);
    m_iModel1 = PeripheralCodeToIndex(ReadByte(peri, PERI::Model1));
    m_iModel2 = PeripheralCodeToIndex(ReadByte(peri, PERI::Model2));
    m_iBaud1 = BaudIndexOf(ReadU32(peri, PERI::Baud1));
    m_iBaud2 = BaudIndexOf(ReadU32(peri, PERI::Baud2));
    MembersToControls();
}

void CPeripheralPage::MembersToControls() {
    m_baudList1->setCurrentIndex(m_iBaud1);
    m_modelList1->setCurrentIndex(m_iModel1);
    m_idEdit1->setText(QString::number(m_iId1));
    m_baudList2->setCurrentIndex(m_iBaud2);
    m_modelList2->setCurrentIndex(m_iModel2);
    m_idEdit2->setText(QString::number(m_iId2));
}

bool CPeripheralPage::UpdateData() {
    m_iBaud1 = m_baudList1->currentIndex();
    m_iModel1 = m_modelList1->currentIndex();
    m_iBaud2 = m_baudList2->currentIndex();
    m_iModel2 = m_modelList2->currentIndex();
    // An id that fails the check never becomes the member: the section
    // only ever takes an id the bus can carry.
    const auto id1 = ExchangeWholeNumber(m_idEdit1, 0, 255);
    if (!id1) {
        m_idEdit1->setFocus();
        return false;
    }
    m_iId1 = *id1;
    const auto id2 = ExchangeWholeNumber(m_idEdit2, 0, 255);
    if (!id2) {
        m_idEdit2->setFocus();
        return false;
    }
    m_iId2 = *id2;
    return true;
}

PeripheralPageValues CPeripheralPage::TakePageValues() {
    UpdateData();  // its result is not asked for: a refused id keeps its last good value
    PeripheralPageValues values;
    values.device1Id = m_iId1;
    values.device2Id = m_iId2;
    values.device1ModelIndex = m_iModel1;
    values.device2ModelIndex = m_iModel2;
    values.device1BaudIndex = m_iBaud1;
    values.device2BaudIndex = m_iBaud2;
    return values;
}
