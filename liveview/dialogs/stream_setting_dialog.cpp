#include "liveview/dialogs/stream_setting_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <charconv>
#include <string>

#include "platform/message_box.h"
#include "platform/modal_dialog.h"

namespace liveview {

namespace {

QString QtText(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A whole number as an edit holds one: optional blanks around an optional
// sign and digits, nothing else; nothing when it is not one or does not fit.
std::optional<std::int32_t> WholeNumber(const QString& text) {
    const std::string trimmed = text.trimmed().toStdString();
    std::string_view digits = trimmed;
    if (digits.starts_with('+')) {
        digits.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

CStreamSettingDialog::CStreamSettingDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("MPEG4 Stream Setting");
    auto* form = new QFormLayout;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        m_edits[i] = new QLineEdit(QString::number(m_nValues[i]), this);
        auto* row = new QHBoxLayout;
        row->addWidget(m_edits[i]);
        if (!kFields[i].unit.empty()) {
            row->addWidget(new QLabel(QtText(kFields[i].unit), this));
        }
        form->addRow(QtText(kFields[i].label), row);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CStreamSettingDialog::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CStreamSettingDialog::~CStreamSettingDialog() = default;

int CStreamSettingDialog::DoModal() {
    return platform::RunModal(*this);
}

void CStreamSettingDialog::OnOK() {
    std::array<std::int32_t, 4> values{};
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        const Field& field = kFields[i];
        const auto value = WholeNumber(m_edits[i]->text());
        if (!value || *value < field.minimum || *value > field.maximum) {
            const std::string text = !value ? std::string("Please enter an integer.")
                                            : "Please enter an integer between " +
                                                  std::to_string(field.minimum) + " and " +
                                                  std::to_string(field.maximum) + ".";
            platform::ShowMessageBox(0, text, platform::kMbOk | platform::kMbIconWarning);
            m_edits[i]->setFocus();
            m_edits[i]->selectAll();
            return;
        }
        values[i] = *value;
    }
    m_nValues = values;
    accept();
}

}  // namespace liveview
