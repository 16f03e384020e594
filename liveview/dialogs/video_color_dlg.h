#pragma once

// The picture colour dialog: brightness, contrast and hue of the device's
// picture on three sliders with number boxes, sent with "/SetColor.cgi".
// It is skinned: no system frame, a frame painted from bitmaps, a
// round-cornered outline, its own close button and bitmap labels with
// tooltips, and it can be dragged by any point of its surface.
//
// The cameras and video servers (Q3A2, Q7B7/Q7B5/Q7B3, Q9C0) keep
// brightness and hue in an offset form: their mid-scale 128 is 0, so the
// dialog shifts those two values by half the scale both ways. Recorders of
// the DVR family with the multi-channel flag use the values as they are.

#include <QDialog>
#include <QImage>
#include <QRect>
#include <array>
#include <optional>
#include <string_view>

class CQelButton;
class QLineEdit;
class QSlider;

namespace liveview {

// How a device family scales its colour values.
enum class ColourFamily {
    kOffset,  // Q3A2, Q7B7, Q7B5, Q7B3, Q9C0: brightness and hue shifted by 128
    kDirect,  // DVR family with the multi-channel flag: values as they are
    kOther,   // no colour command; values are shown and sent as they are
};

ColourFamily ColourFamilyOf(std::string_view productId, bool multiChannel);
// The family of the connected device.
ColourFamily CurrentColourFamily();

// The half-scale shift: v - 128 from 128 on, else v + 128; its own inverse
// over 0 to 255.
int ColourOffset(int v);

// One value per slider row: brightness, contrast, hue.
struct ColourValues {
    int brightness = 0;
    int contrast = 0;
    int hue = 0;
    friend bool operator==(const ColourValues&, const ColourValues&) = default;
};

// Slider positions for the values the device reported. Device values are
// clamped to the scale 0 to 255 first.
ColourValues ColourRowsFromDevice(ColourFamily family, ColourValues device);
// The values "/SetColor.cgi" carries for the slider positions.
ColourValues ColourValuesToSend(ColourFamily family, ColourValues rows);
// The factory picture of a family, as slider positions; nothing for kOther.
std::optional<ColourValues> ColourDefaults(ColourFamily family);

// What "/GetColor.cgi" reported: nothing when the request failed.
std::optional<ColourValues> ReadDeviceColour();

class CVideoColorDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 304;
    static constexpr int kHeight = 196;
    static constexpr int kRows = 4;  // the fourth row is hidden and never sent
    static constexpr int kMaxValue = 255;

    explicit CVideoColorDlg(QWidget* parent = nullptr);
    ~CVideoColorDlg() override;

    // Set by the opener before the dialog runs: the device's reply items
    // "BRI", "CON" and "HUE".
    int m_nBrightnessIn = 0;
    int m_nContrastIn = 0;
    int m_nHueIn = 0;

    // Runs the set-up (once) and the dialog modally.
    int DoModal();

    // The set-up; also run by the first show. Returns true when every skin
    // bitmap was found (a missing one leaves its piece plain).
    bool OnInitDialog();
    // The defaults button: the family's factory values, nothing sent.
    void OnDefaults();
    // Apply (also Enter): sends the values; the dialog stays open.
    void OnOK();
    // Close (OK, the title-bar close button, Escape): nothing is sent.
    void OnCancel();

    // A row's value (0 brightness, 1 contrast, 2 hue, 3 the hidden row).
    int RowValue(int row) const;
    ColourValues Rows() const;

    QSlider* slider(int row) const { return m_sliders.at(static_cast<std::size_t>(row)); }
    QLineEdit* edit(int row) const { return m_edits.at(static_cast<std::size_t>(row)); }
    CQelButton* applyButton() const { return m_apply; }
    CQelButton* okButton() const { return m_ok; }
    CQelButton* defaultButton() const { return m_default; }
    CQelButton* closeButton() const { return m_close; }
    CQelButton* labelButton(int row) const { return m_labels.at(static_cast<std::size_t>(row)); }
    bool SkinComplete() const { return m_skinComplete; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct SkinPiece {
        QImage image;
        QRect place;
    };

    void OnHScroll(int row, int position);
    void OnEditChange(int row);
    void WriteValuesToControls();
    void PlaceWindow();
    bool LoadSkin();

    std::array<int, kRows> m_values{};
    std::array<QSlider*, kRows> m_sliders{};
    std::array<QLineEdit*, kRows> m_edits{};
    std::array<CQelButton*, 3> m_labels{};
    std::array<SkinPiece, 9> m_skin{};
    CQelButton* m_apply = nullptr;
    CQelButton* m_ok = nullptr;
    CQelButton* m_default = nullptr;
    CQelButton* m_close = nullptr;
    bool m_initDone = false;
    bool m_skinComplete = false;
    bool m_updating = false;
};

// The colour command of the main window: with a connected picture, reads
// the device's values, then runs the dialog with them. Shows 4085 without a
// picture and 4064 when the values cannot be read.
void RunVideoColourCommand(QWidget* parent);

}  // namespace liveview
