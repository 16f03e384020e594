#include "config/pages/camera_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <string>

#include "config/pages/edit_dialog_grid.h"
#include "config/pages/page_controls.h"
#include "config/pages/report_list.h"
#include "config/sheet/section_layouts.h"
#include "core/application/string_table.h"
#include "core/state/device_family.h"
#include "platform/modal_dialog.h"

using namespace cfg;

namespace {

constexpr unsigned kNoItemEditedText = 4046;
constexpr unsigned kTitleTooLongText = 4112;
constexpr int kTitleChars = 6;

QString YesNo(std::uint8_t value) {
    return value == 1 ? QStringLiteral("YES") : QStringLiteral("NO");
}

// A title's bytes as text: up to its first zero byte or all six.
QString TitleText(const std::array<char, 6>& title) {
    const auto length = static_cast<qsizetype>(strnlen(title.data(), title.size()));
    return QString::fromLatin1(title.data(), length);
}

}  // namespace

// ---- CCameraEditDlg -------------------------------------------------------------

CCameraEditDlg::CCameraEditDlg(QWidget* parent) : QDialog(parent) {
    pages::EditDialogGrid grid(*this, {"NO.", "TITLE", "BR", "CT", "ST", "HUE", "COV", "REC"});
    m_number = grid.AddNumber(kIdNumber);
    m_title = grid.AddEdit(kIdTitle);
    m_title->setMaxLength(kTitleChars);
    const std::array<int, 4> ids{kIdBrightness, kIdContrast, kIdSaturation, kIdHue};
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        QLineEdit* edit = grid.AddEdit(ids[i]);
        m_values[i] = edit;
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { OnValueChanged(edit); });
    }
    const QStringList noYes{QStringLiteral("NO"), QStringLiteral("YES")};
    m_covert = grid.AddList(kIdCovert, noYes);
    m_record = grid.AddList(kIdRecord, noYes);
    m_ok = grid.AddOk();
    connect(m_title, &QLineEdit::textChanged, this, &CCameraEditDlg::OnTitleChanged);
}

void CCameraEditDlg::OnInitDialog() {
    m_strTitle = m_strInitialTitle;
    MembersToControls();
}

void CCameraEditDlg::MembersToControls() {
    m_writing = true;
    m_number->setText(m_strNumber);
    m_title->setText(m_strTitle);
    const std::array<int, 4> values{m_iBR, m_iCT, m_iST, m_iHUE};
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const QString text = QString::number(values[i]);
        if (m_values[i]->text() != text) {
            m_values[i]->setText(text);
        }
    }
    pages::SelectIndex(m_covert, m_iCovert);
    pages::SelectIndex(m_record, m_iRecord);
    m_writing = false;
}

void CCameraEditDlg::ReadControlsQuietly() {
    std::array<int*, 4> members{&m_iBR, &m_iCT, &m_iST, &m_iHUE};
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        bool ok = false;
        const int value = m_values[i]->text().toInt(&ok);
        if (ok) {
            *members[i] = value;
        }
    }
    m_strTitle = m_title->text();
    m_iCovert = m_covert->currentIndex();
    m_iRecord = m_record->currentIndex();
}

bool CCameraEditDlg::UpdateData() {
    std::array<int*, 4> members{&m_iBR, &m_iCT, &m_iST, &m_iHUE};
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const auto value = ExchangeWholeNumber(m_values[i], 0, 255);
        if (!value) {
            m_values[i]->setFocus();
            return false;
        }
        *members[i] = *value;
    }
    m_strTitle = m_title->text();
    m_iCovert = m_covert->currentIndex();
    m_iRecord = m_record->currentIndex();
    return true;
}

void CCameraEditDlg::OnValueChanged(QLineEdit* edit) {
    if (m_writing) {
        return;
    }
    ReadControlsQuietly();
    std::string digits = edit->text().toStdString();
    FilterDigits(digits, 1);
    if (digits.empty()) {
        return;
    }
    // Long digit strings saturate instead of overflowing.
    const std::size_t first = digits.find_first_not_of('0');
    const int value = first == std::string::npos  ? 0
                      : digits.size() - first > 3 ? 255
                                                  : std::min(std::stoi(digits), 255);
    const std::size_t index = static_cast<std::size_t>(
        std::find(m_values.begin(), m_values.end(), edit) - m_values.begin());
    std::array<int*, 4> members{&m_iBR, &m_iCT, &m_iST, &m_iHUE};
    if (index < members.size()) {
        *members[index] = value;
    }
    MembersToControls();
}

void CCameraEditDlg::OnTitleChanged() {
    if (m_writing) {
        return;
    }
    ReadControlsQuietly();
    const QString text = m_title->text();
    if (text.size() <= kTitleChars) {
        QString title;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= u'a' && u <= u'z') {
                title += QChar(static_cast<char16_t>(u - u'a' + u'A'));
            } else if ((u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')) {
                title += c;
            }
        }
        m_strTitle = title;
    } else {
        m_strTitle = text.left(kTitleChars);
        ShowMessage(kTitleTooLongText);
    }
    m_writing = true;
    if (m_title->text() != m_strTitle) {
        m_title->setText(m_strTitle);
    }
    m_title->setCursorPosition(static_cast<int>(m_strTitle.size()));
    m_writing = false;
}

void CCameraEditDlg::accept() {
    if (UpdateData()) {
        QDialog::accept();
    }
}

// ---- CameraPage ---------------------------------------------------------------------

CameraPage::CameraPage(std::span<std::uint8_t> dvrLive, std::span<std::uint8_t> dvrRec,
                       int channelRows, QWidget* parent)
    : QWidget(parent),
      m_dvrLive(dvrLive),
      m_dvrRec(dvrRec),
      m_channelRows(std::clamp(channelRows, 0, 16)) {
    const pages::EditableList made = pages::MakeEditableList(this, kIdList, kIdEdit);
    m_list = made.list;
    m_edit = made.edit;
    connect(m_edit, &QPushButton::clicked, this, &CameraPage::OnEdit);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CameraPage::OnEdit);
    OnInitDialog();
}

void CameraPage::OnInitDialog() {
    const std::array<ReportColumn, 8> columns{{{QStringLiteral("NO."), 35},
                                               {PageText(8560), 65},
                                               {PageText(8561), 30},
                                               {PageText(8562), 30},
                                               {PageText(8563), 30},
                                               {PageText(8564), 30},
                                               {PageText(8565), 40},
                                               {PageText(8566), 35}}};
    SetReportColumns(m_list, columns);
    for (int row = 0; row < m_channelRows; ++row) {
        const auto ch = static_cast<std::size_t>(row);
        const ConstSectionBytes title = FieldBytes(m_dvrLive, DVRLIVE::Title.At(ch));
        m_title[ch].fill(0);
        std::copy(title.begin(), title.end(), m_title[ch].begin());
        m_byBrightness[ch] = ReadByte(m_dvrLive, DVRLIVE::Brightness.At(ch));
        m_byContrast[ch] = ReadByte(m_dvrLive, DVRLIVE::Contrast.At(ch));
        m_bySaturation[ch] = ReadByte(m_dvrLive, DVRLIVE::Saturation.At(ch));
        m_byHue[ch] = ReadByte(m_dvrLive, DVRLIVE::Hue.At(ch));
        m_byCovert[ch] = ReadByte(m_dvrLive, DVRLIVE::Covert.At(ch));
        m_byRecord[ch] = ReadByte(m_dvrRec, DVRREC::Record.At(ch));
        new QTreeWidgetItem(m_list);
        WriteRowTexts(row);
    }
}

void CameraPage::WriteRowTexts(int row) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    const auto ch = static_cast<std::size_t>(row);
    char number[16];
    std::snprintf(number, sizeof number, "%2d", row + 1);
    item->setText(0, QString::fromLatin1(number));
    item->setText(1, TitleText(m_title[ch]));
    item->setText(2, QString::number(m_byBrightness[ch]));
    item->setText(3, QString::number(m_byContrast[ch]));
    item->setText(4, QString::number(m_bySaturation[ch]));
    item->setText(5, QString::number(m_byHue[ch]));
    item->setText(6, YesNo(m_byCovert[ch]));
    item->setText(7, YesNo(m_byRecord[ch]));
}

void CameraPage::WriteRowToSections(int row) {
    const auto ch = static_cast<std::size_t>(row);
    const SectionField title = DVRLIVE::Title.At(ch);
    if (FieldFits(m_dvrLive, title)) {
        std::copy(m_title[ch].begin(), m_title[ch].end(),
                  m_dvrLive.begin() + static_cast<std::ptrdiff_t>(title.offset));
    }
    WriteByte(m_dvrLive, DVRLIVE::Brightness.At(ch), m_byBrightness[ch]);
    WriteByte(m_dvrLive, DVRLIVE::Contrast.At(ch), m_byContrast[ch]);
    WriteByte(m_dvrLive, DVRLIVE::Saturation.At(ch), m_bySaturation[ch]);
    WriteByte(m_dvrLive, DVRLIVE::Hue.At(ch), m_byHue[ch]);
    WriteByte(m_dvrLive, DVRLIVE::Covert.At(ch), m_byCovert[ch]);
    WriteByte(m_dvrRec, DVRREC::Record.At(ch), m_byRecord[ch]);
}

void CameraPage::OnEdit() {
    const auto selected = FirstSelectedRow(m_list);
    if (!selected) {
        ShowMessage(kNoItemEditedText);
        return;
    }
    const int row = *selected;
    const auto ch = static_cast<std::size_t>(row);
    CCameraEditDlg dialog(this);
    dialog.m_strNumber = QString::number(row + 1);
    dialog.m_iBR = m_byBrightness[ch];
    dialog.m_iCT = m_byContrast[ch];
    dialog.m_iST = m_bySaturation[ch];
    dialog.m_iHUE = m_byHue[ch];
    dialog.m_strInitialTitle = TitleText(m_title[ch]);
    dialog.m_iCovert = m_byCovert[ch];
    dialog.m_iRecord = m_byRecord[ch];
    dialog.OnInitDialog();
    if (platform::RunModal(dialog) != QDialog::Accepted) {
        return;
    }
    const auto store = [&](std::uint8_t& member, int value, bool& flag) {
        // A list left without a selection (-1) keeps the stored value.
        if (value >= 0 && value <= 255 && value != member) {
            member = static_cast<std::uint8_t>(value);
            flag = true;
        }
    };
    store(m_byBrightness[ch], dialog.m_iBR, m_bLiveChanged);
    store(m_byContrast[ch], dialog.m_iCT, m_bLiveChanged);
    store(m_bySaturation[ch], dialog.m_iST, m_bLiveChanged);
    store(m_byHue[ch], dialog.m_iHUE, m_bLiveChanged);
    const QByteArray title = dialog.m_strTitle.toLatin1().left(kTitleChars);
    if (QString::fromLatin1(title) != TitleText(m_title[ch])) {
        m_title[ch].fill(0);
        std::copy(title.begin(), title.end(), m_title[ch].begin());
        m_bLiveChanged = true;
    }
    store(m_byCovert[ch], dialog.m_iCovert, m_bLiveChanged);
    store(m_byRecord[ch], dialog.m_iRecord, m_bRecChanged);
    if (m_bLiveChanged || m_bRecChanged) {
        WriteRowToSections(row);
        WriteRowTexts(row);
    }
}

InPlacePageValues CameraPage::TakePageValues() {
    return InPlacePageValues{m_bLiveChanged, m_bRecChanged};
}
