#include "config/pages/page_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QValidator>

#include <algorithm>
#include <cmath>

#include "config/pages/report_list.h"
#include "core/application/string_table.h"
#include "core/state/app_global_state.h"

namespace pages {

QString Text(unsigned id) {
    return Qs(LoadText(id));
}

QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Std(const QString& text) {
    return text.toStdString();
}

namespace {

int Scaled(int pixels) {
    const double s = g_lpApp != nullptr ? static_cast<double>(g_lpApp->fl_DpiScale) : 1.0;
    return static_cast<int>(std::trunc(pixels * s));
}

}  // namespace

void Place(QWidget* widget, int x, int y, int width, int height) {
    widget->setGeometry(Scaled(x), Scaled(y), Scaled(width), Scaled(height));
}

void SetMinimumPageSize(QWidget* page, int width, int height) {
    page->setMinimumSize(Scaled(width), Scaled(height));
}

QLabel* MakeLabel(QWidget* parent, int id, const QString& text, int x, int y, int width,
                  int height) {
    auto* label = Named(new QLabel(text, parent), id);
    Place(label, x, y, width, height);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, int id, int x, int y, int width, int height) {
    auto* edit = Named(new QLineEdit(parent), id);
    Place(edit, x, y, width, height);
    return edit;
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& text, int x, int y, int width,
                        int height) {
    auto* button = Named(new QPushButton(text, parent), id);
    button->setAutoDefault(false);
    Place(button, x, y, width, height);
    return button;
}

QRadioButton* MakeRadio(QWidget* parent, int id, const QString& text, int x, int y, int width,
                        int height) {
    auto* radio = Named(new QRadioButton(text, parent), id);
    // The pages tick their radios themselves, as their handlers say.
    radio->setAutoExclusive(false);
    Place(radio, x, y, width, height);
    return radio;
}

QCheckBox* MakeCheck(QWidget* parent, int id, const QString& text, int x, int y, int width,
                     int height) {
    auto* check = Named(new QCheckBox(text, parent), id);
    Place(check, x, y, width, height);
    return check;
}

QTreeWidget* MakeList(QWidget* parent, int id, int x, int y, int width, int height) {
    auto* list = Named(MakeReportList(parent), id);
    Place(list, x, y, width, height);
    return list;
}

FormColumn::FormColumn(QWidget* page, int x, int y, int labelWidth, int pitch)
    : m_page(page), m_x(x), m_y(y), m_labelWidth(labelWidth), m_pitch(pitch) {}

QLineEdit* FormColumn::Edit(const QString& label, int id, int width) {
    return Row(label, id, width, [](QWidget* parent, int i, int x, int y, int w) {
        return MakeEdit(parent, i, x, y, w);
    });
}

QComboBox* FormColumn::Combo(const QString& label, int id, int width) {
    return Row(label, id, width, [](QWidget* parent, int i, int x, int y, int w) {
        return MakeCombo(parent, i, x, y, w);
    });
}

void SelectIndex(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

QComboBox* MakeCombo(QWidget* parent, int id, int x, int y, int width, int height) {
    auto* combo = Named(new QComboBox(parent), id);
    Place(combo, x, y, width, height);
    return combo;
}

QGroupBox* MakeGroup(QWidget* parent, int id, const QString& text, int x, int y, int width,
                     int height) {
    auto* group = Named(new QGroupBox(text, parent), id);
    Place(group, x, y, width, height);
    group->lower();
    return group;
}

void SetEditText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
    }
    edit->setCursorPosition(static_cast<int>(edit->text().size()));
}

namespace {

class ByteRoomValidator : public QValidator {
public:
    ByteRoomValidator(std::size_t room, QObject* parent) : QValidator(parent), m_room(room) {}

    State validate(QString& input, int& /*pos*/) const override {
        return static_cast<std::size_t>(input.toUtf8().size()) <= m_room ? Acceptable : Invalid;
    }

private:
    std::size_t m_room;
};

}  // namespace

void LimitEditBytes(QLineEdit* edit, std::size_t room) {
    edit->setValidator(new ByteRoomValidator(room, edit));
}

void ShowNoValue(QDateTimeEdit* picker) {
    // A picker shows its special text instead of its value at its minimum.
    picker->setSpecialValueText(QStringLiteral(" "));
    picker->setDateTime(picker->minimumDateTime());
}

bool IsQuerySafe(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == ' ' || c == '&' || c == '=' || c == ';' || c == '?' ||
            c == '#' || c == '%' || c == '+') {
            return false;
        }
    }
    return true;
}

IpAddressControl::IpAddressControl(QWidget* parent) : QWidget(parent) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("octet%1").arg(i));
        field->setValidator(new QIntValidator(0, 255, field));
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setFrame(false);
        m_fields[i] = field;
    }
    for (auto& dot : m_dots) {
        dot = new QLabel(QStringLiteral("."), this);
        dot->setAlignment(Qt::AlignCenter);
    }
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    SetAddress(0);
}

std::uint32_t IpAddressControl::GetAddress() const {
    std::uint32_t address = 0;
    for (const QLineEdit* field : m_fields) {
        const int octet = std::clamp(field->text().toInt(), 0, 255);
        address = (address << 8) | static_cast<std::uint32_t>(octet);
    }
    return address;
}

void IpAddressControl::SetAddress(std::uint32_t address) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const auto octet = (address >> (24 - 8 * i)) & 0xff;
        m_fields[i]->setText(QString::number(octet));
    }
}

void IpAddressControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width();
    const int h = height();
    const int dot = 6;
    const int field = (w - 3 * dot) / 4;
    int x = 0;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setGeometry(x, 0, field, h);
        x += field;
        if (i < m_dots.size()) {
            m_dots[i]->setGeometry(x, 0, dot, h);
            x += dot;
        }
    }
}

}  // namespace pages
