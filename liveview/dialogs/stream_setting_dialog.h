#pragma once

// "MPEG4 Stream Setting": four whole numbers with their ranges, checked
// when OK is pressed. Nothing is sent or stored.

#include <QDialog>
#include <array>
#include <cstdint>
#include <string_view>

class QLineEdit;

namespace liveview {

class CStreamSettingDialog : public QDialog {
    Q_OBJECT

public:
    struct Field {
        int editId;
        std::string_view label;
        std::string_view unit;
        std::int32_t minimum;
        std::int32_t maximum;
    };
    static constexpr std::array<Field, 4> kFields{{
        {1041, "Target Bit Rate :", "kbps", 50, 2000},
        {1266, "GOP :", "", 1, 65535},
        {1267, "Image Width :", "", 1, 720},
        {1268, "Image Height :", "", 1, 576},
    }};

    explicit CStreamSettingDialog(QWidget* parent = nullptr);
    ~CStreamSettingDialog() override;

    int DoModal();

    // Reads and checks the four numbers; the first that is not a whole
    // number in its range is reported, gets the focus, and the dialog stays.
    void OnOK();

    // The numbers (0 until an OK read them).
    std::array<std::int32_t, 4> m_nValues{};

    QLineEdit* edit(std::size_t field) const { return m_edits.at(field); }

private:
    std::array<QLineEdit*, 4> m_edits{};
};

}  // namespace liveview
