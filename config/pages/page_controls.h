#pragma once

// The kit every configuration page is built with: controls named by their
// dialog ids (so that tests and the pages find them the same way) and placed
// at fixed positions in the page area, scaled by the desktop's scale, with a
// few placing helpers (a form column, a report list); texts from the string
// table as Qt strings, the four-field address control, and the edit helpers
// the digit filters and length limits use.

#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class QLabel;
class QPushButton;
class QRadioButton;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QTreeWidget;

namespace pages {

// A text of the string table.
QString Text(unsigned id);
QString Qs(std::string_view text);
std::string Std(const QString& text);

// Gives `widget` its dialog id as object name and "controlId" property.
template <class W>
W* Named(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    widget->setProperty("controlId", id);
    return widget;
}

// Places a control in pixels scaled by the desktop's scale.
void Place(QWidget* widget, int x, int y, int width, int height);

// The least size of a page, scaled like its controls: a page shown on its
// own then keeps the size of the area it was laid out for.
void SetMinimumPageSize(QWidget* page, int width, int height);

QLabel* MakeLabel(QWidget* parent, int id, const QString& text, int x, int y, int width,
                  int height = 20);
QLineEdit* MakeEdit(QWidget* parent, int id, int x, int y, int width, int height = 22);
QPushButton* MakeButton(QWidget* parent, int id, const QString& text, int x, int y, int width,
                        int height = 24);
QRadioButton* MakeRadio(QWidget* parent, int id, const QString& text, int x, int y, int width,
                        int height = 20);
QCheckBox* MakeCheck(QWidget* parent, int id, const QString& text, int x, int y, int width,
                     int height = 20);
QComboBox* MakeCombo(QWidget* parent, int id, int x, int y, int width, int height = 22);
QGroupBox* MakeGroup(QWidget* parent, int id, const QString& text, int x, int y, int width,
                     int height);

// Any other control, named by its id and placed.
template <class W>
W* MakeControl(QWidget* parent, int id, int x, int y, int width, int height = 22) {
    auto* control = Named(new W(parent), id);
    Place(control, x, y, width, height);
    return control;
}

// A report list (see report_list.h) named by its id and placed.
QTreeWidget* MakeList(QWidget* parent, int id, int x, int y, int width, int height);

// Places labelled rows the way the pages' forms stand: each row's label at
// the column's left, its control `labelWidth` to the right, one row every
// `pitch` pixels down from `y`.
class FormColumn {
public:
    explicit FormColumn(QWidget* page, int x = 20, int y = 22, int labelWidth = 100,
                        int pitch = 34);

    // A row: the label (id 0) and a new control from `make(parent, id, x, y,
    // width)`; the row's label is Label() until the next row.
    template <class Make>
    auto Row(const QString& label, int id, int width, Make make) {
        m_label = MakeLabel(m_page, 0, label, m_x, m_y + 2, m_labelWidth - 4);
        auto* control = make(m_page, id, m_x + m_labelWidth, m_y, width);
        m_y += m_pitch;
        return control;
    }
    QLineEdit* Edit(const QString& label, int id, int width = 150);
    QComboBox* Combo(const QString& label, int id, int width = 150);
    // Leaves `pixels` of room below the last row.
    void Skip(int pixels) { m_y += pixels; }

    QLabel* Label() const { return m_label; }
    int X() const { return m_x; }
    int ControlX() const { return m_x + m_labelWidth; }
    int Y() const { return m_y; }

private:
    QWidget* m_page;
    int m_x;
    int m_y;
    int m_labelWidth;
    int m_pitch;
    QLabel* m_label = nullptr;
};

// Replaces an edit's text only when it differs (so the change handler does
// not run again for nothing) and puts the caret after its last character.
void SetEditText(QLineEdit* edit, const QString& text);

// Lets an edit take at most `room` bytes of UTF-8, the room its field keeps
// on the device: a key or a paste that would go beyond is refused whole. A
// longer text set from the device stays as it is until the operator edits it.
void LimitEditBytes(QLineEdit* edit, std::size_t room);

// Makes a date or time picker show nothing: one that the device did not
// fill must not show a default as if it were the device's value.
void ShowNoValue(QDateTimeEdit* picker);

// Selects row `index` of `list`, or nothing when the list has no such row
// (a stored value the list cannot show is then left as it is).
void SelectIndex(QComboBox* list, int index);

// Whether a text the operator typed can go into a request's query as it
// stands: no "&", "=", ";", "?", "#", "%", "+", no blank and no control
// character. The device takes such values unescaped, so nothing is escaped;
// a text it could not take is refused instead.
bool IsQuerySafe(std::string_view text);

// An IPv4 address control: four number fields of 0..255 with points
// between them. The address as a number has its first octet in the high
// byte.
class IpAddressControl : public QWidget {
    Q_OBJECT
public:
    explicit IpAddressControl(QWidget* parent = nullptr);

    std::uint32_t GetAddress() const;
    void SetAddress(std::uint32_t address);
    QLineEdit* Field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<QLineEdit*, 4> m_fields{};
    std::array<QLabel*, 3> m_dots{};
};

}  // namespace pages
