#pragma once

// The Q7B family's "Peripheral" page. The sheet builds it but no family
// shows it and nothing saves it: it only shows the current linked device's
// id and model.

#include <QWidget>

#include <cstdint>
#include <string_view>

class QLineEdit;

class CQ7BPeripheral : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdId = 1040;
    static constexpr int kIdModel = 1041;

    explicit CQ7BPeripheral(QWidget* parent = nullptr);

    // The model text of a linked device type; empty for other types.
    static std::string_view ModelText(std::uint8_t type);

    void OnInitDialog();

    QLineEdit* IdEdit() const { return m_id; }
    QLineEdit* ModelEdit() const { return m_model; }

private:
    QString m_strModel;
    QString m_strId;
    QLineEdit* m_id = nullptr;
    QLineEdit* m_model = nullptr;
};
