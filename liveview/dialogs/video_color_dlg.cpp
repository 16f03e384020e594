#include "liveview/dialogs/video_color_dlg.h"

#include <QBitmap>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/application/string_table.h"
#include "core/net/cgi_command.h"
#include "core/net/text_parse.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "core/widgets/qel_button.h"
#include "liveview/dialogs/surface_drag.h"
#include "platform/modal_dialog.h"
#include "platform/program_folder.h"

namespace liveview {

namespace {

constexpr std::uint16_t kSeconds = 15;
constexpr std::size_t kReplyBytes = 1024;

// The frame, each bitmap stretched into its rectangle (left, top, right,
// bottom), in the order they are loaded.
struct SkinPlace {
    std::string_view file;
    QRect place;
};
constexpr QRect Edges(int l, int t, int r, int b) {
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}
const std::array<SkinPlace, 9> kSkinPlaces{{
    {"BMP/TitleLeft.bmp", Edges(0, 0, 10, 32)},
    {"BMP/TitleRight.bmp", Edges(294, 0, 304, 32)},
    {"BMP/TilteBar_ess.bmp", Edges(10, 0, 294, 32)},
    {"BMP/LeftSide_ess.bmp", Edges(0, 32, 10, 183)},
    {"BMP/RightSide_ess.bmp", Edges(294, 32, 304, 183)},
    {"BMP/BottomLeft.bmp", Edges(0, 183, 10, 196)},
    {"BMP/BottomRight.bmp", Edges(294, 183, 304, 196)},
    {"BMP/Bottom_ess.bmp", Edges(10, 183, 294, 196)},
    {"BMP/Player_Logo.bmp", Edges(10, 7, 31, 22)},
}};
constexpr QColor kInner(221, 221, 221);
constexpr QRect kInnerArea(10, 32, 284, 151);

// The three push buttons: place, flat face, hover and pressed face.
struct FaceButton {
    QRect place;
    std::string_view flat;
    std::string_view over;
};
constexpr FaceButton kApplyButton{QRect(125, 160, 88, 25), "BMP/Dialog_apply.bmp",
                                  "BMP/Dialog_apply_over.bmp"};
constexpr FaceButton kOkButton{QRect(216, 160, 44, 25), "BMP/Dialog_ok.bmp",
                               "BMP/Dialog_ok_over.bmp"};
constexpr FaceButton kDefaultButton{QRect(34, 160, 88, 25), "BMP/Dialog_default.bmp",
                                    "BMP/Dialog_default_over.bmp"};
constexpr FaceButton kCloseButton{QRect(280, 8, 13, 13), "BMP/Title_Bar_Close.bmp",
                                  "BMP/Title_Bar_Close_a.bmp"};

// The rows: label bitmap with its tooltip text, slider, number box. The
// fourth row (saturation) has no label and stays hidden.
struct RowPlace {
    unsigned labelId;
    std::string_view label;
    int top;
};
constexpr std::array<RowPlace, 3> kRowPlaces{{
    {8523, "BMP/Dialog_Brightness.bmp", 47},
    {8524, "BMP/Dialog_Contrast.bmp", 87},
    {8525, "BMP/Dialog_Hue.bmp", 127},
}};
constexpr int kLabelLeft = 15;
constexpr int kLabelSize = 20;
constexpr int kSliderLeft = 60;
constexpr int kSliderWidth = 150;
constexpr int kEditLeft = 240;
constexpr int kEditWidth = 40;
constexpr int kRowHeight = 20;
constexpr int kMinusLeft = 50;
constexpr int kPlusLeft = 215;

constexpr int kFourthDefault = 128;

std::filesystem::path InProgramFolder(std::string_view relative) {
    return platform::ProgramFolder() / std::filesystem::path(relative);
}

QString QtText(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

int Clamp(int v) {
    return std::clamp(v, 0, CVideoColorDlg::kMaxValue);
}

}  // namespace

ColourFamily ColourFamilyOf(std::string_view productId, bool multiChannel) {
    if (productId == "Q3A2" || productId == "Q9C0" || IsQ7BFamilyId(productId)) {
        return ColourFamily::kOffset;
    }
    if (IsDvrFamilyId(productId) && multiChannel) {
        return ColourFamily::kDirect;
    }
    return ColourFamily::kOther;
}

ColourFamily CurrentColourFamily() {
    if (g_lpApp == nullptr) {
        return ColourFamily::kOther;
    }
    return ColourFamilyOf(g_lpApp->str_ProductID.Get(), IsMultiChannel() != 0);
}

int ColourOffset(int v) {
    return v >= 128 ? v - 128 : v + 128;
}

ColourValues ColourRowsFromDevice(ColourFamily family, ColourValues device) {
    ColourValues rows{Clamp(device.brightness), Clamp(device.contrast), Clamp(device.hue)};
    if (family == ColourFamily::kOffset) {
        rows.brightness = ColourOffset(rows.brightness);
        rows.hue = ColourOffset(rows.hue);
    }
    return rows;
}

ColourValues ColourValuesToSend(ColourFamily family, ColourValues rows) {
    ColourValues sent{Clamp(rows.brightness), Clamp(rows.contrast), Clamp(rows.hue)};
    if (family == ColourFamily::kOffset) {
        sent.brightness = ColourOffset(sent.brightness);
        sent.hue = ColourOffset(sent.hue);
    }
    return sent;
}

std::optional<ColourValues> ColourDefaults(ColourFamily family) {
    switch (family) {
        case ColourFamily::kOffset:
            return ColourValues{175, 150, 130};
        case ColourFamily::kDirect:
            return ColourValues{128, 128, 128};
        case ColourFamily::kOther:
            break;
    }
    return std::nullopt;
}

std::optional<ColourValues> ReadDeviceColour() {
    CCgiUrl url(CgiCommand::kGetColor);
    url.AddSessionCookie(g_szSessionCookie.Get());
    std::vector<std::uint8_t> reply(kReplyBytes, 0);
    std::uint32_t length = 0;
    if (TirelSendCommand(CgiCommand::kGetColor, url.GetUrlBuffer(), {}, nullptr, reply, &length,
                         kSeconds, kSeconds, 0) != 1) {
        return std::nullopt;
    }
    const ReplyItems items(
        std::span<const std::uint8_t>(reply).first(std::min<std::size_t>(length, reply.size())));
    return ColourValues{items.Number("BRI").value_or(0), items.Number("CON").value_or(128),
                        items.Number("HUE").value_or(0)};
}

CVideoColorDlg::CVideoColorDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(QtText(LoadText(999)));
    setFixedSize(kWidth, kHeight);
    new SurfaceDrag(this);
    m_apply = new CQelButton(this);
    m_ok = new CQelButton(this);
    m_default = new CQelButton(this);
    m_close = new CQelButton(this);
    for (int row = 0; row < kRows; ++row) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        auto* edit = new QLineEdit(this);
        m_sliders[static_cast<std::size_t>(row)] = slider;
        m_edits[static_cast<std::size_t>(row)] = edit;
        connect(slider, &QSlider::valueChanged, this,
                [this, row](int position) { OnHScroll(row, position); });
        connect(edit, &QLineEdit::textEdited, this, [this, row] { OnEditChange(row); });
    }
    for (std::size_t row = 0; row < m_labels.size(); ++row) {
        m_labels[row] = new CQelButton(this);
        m_labels[row]->setFocusPolicy(Qt::NoFocus);
    }
    for (CQelButton* button : {m_apply, m_ok, m_default, m_close}) {
        button->setAutoDefault(false);
    }
    m_apply->setDefault(true);
    connect(m_apply, &QPushButton::clicked, this, &CVideoColorDlg::OnOK);
    connect(m_ok, &QPushButton::clicked, this, &CVideoColorDlg::OnCancel);
    connect(m_close, &QPushButton::clicked, this, &CVideoColorDlg::OnCancel);
    connect(m_default, &QPushButton::clicked, this, &CVideoColorDlg::OnDefaults);
}

CVideoColorDlg::~CVideoColorDlg() = default;

int CVideoColorDlg::DoModal() {
    OnInitDialog();
    return platform::RunModal(*this);
}

void CVideoColorDlg::showEvent(QShowEvent* event) {
    OnInitDialog();
    QDialog::showEvent(event);
}

bool CVideoColorDlg::OnInitDialog() {
    if (m_initDone) {
        return m_skinComplete;
    }
    m_initDone = true;

    // A frameless window with rounded corners (5 x 5 corner ellipses).
    QBitmap mask(kWidth, kHeight);
    mask.fill(Qt::color0);
    {
        QPainter p(&mask);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::color1);
        p.drawRoundedRect(QRect(0, 0, kWidth, kHeight), 2.5, 2.5);
    }
    setMask(mask);
    PlaceWindow();

    // A missing skin bitmap leaves its piece plain; the controls and the
    // values are set up all the same, so Apply never sends values the
    // dialog did not show.
    m_skinComplete = LoadSkin();

    const auto load = [](CQelButton* button, const FaceButton& face, std::uint16_t style) {
        button->LoadButtonBitmap(InProgramFolder(face.flat), InProgramFolder(face.over),
                                 InProgramFolder(face.over), style);
        button->setGeometry(face.place);
    };
    load(m_apply, kApplyButton, CQelButton::kStylePush);
    for (int row = 0; row < kRows; ++row) {
        const int top = row < 3 ? kRowPlaces[static_cast<std::size_t>(row)].top : 167;
        slider(row)->setGeometry(kSliderLeft, top, kSliderWidth, kRowHeight);
        edit(row)->setGeometry(kEditLeft, top, kEditWidth, kRowHeight);
        slider(row)->setRange(0, kMaxValue);
        slider(row)->setPageStep(10);
        slider(row)->setSingleStep(1);
        slider(row)->setTickInterval(1);
    }
    slider(3)->hide();
    edit(3)->hide();
    load(m_ok, kOkButton, CQelButton::kStylePush);
    load(m_default, kDefaultButton, CQelButton::kStylePush);
    load(m_close, kCloseButton, CQelButton::kStyleHover);

    const ColourValues rows = ColourRowsFromDevice(
        CurrentColourFamily(), ColourValues{m_nBrightnessIn, m_nContrastIn, m_nHueIn});
    m_values = {rows.brightness, rows.contrast, rows.hue, m_values[3]};

    for (std::size_t row = 0; row < kRowPlaces.size(); ++row) {
        const RowPlace& place = kRowPlaces[row];
        CQelButton* label = m_labels[row];
        label->setGeometry(kLabelLeft, place.top, kLabelSize, kLabelSize);
        label->setToolTip(QtText(LoadText(place.labelId)));
        label->LoadButtonBitmap(InProgramFolder(place.label), CQelButton::kStyleSingle);
    }
    WriteValuesToControls();
    return m_skinComplete;
}

bool CVideoColorDlg::LoadSkin() {
    bool complete = true;
    for (std::size_t i = 0; i < kSkinPlaces.size(); ++i) {
        SkinPiece& piece = m_skin[i];
        piece.place = kSkinPlaces[i].place;
        if (!piece.image.load(QFile::decodeName(InProgramFolder(kSkinPlaces[i].file).c_str()),
                              "BMP")) {
            piece.image = QImage();
            complete = false;
        }
    }
    return complete;
}

void CVideoColorDlg::PlaceWindow() {
    const QScreen* screen =
        parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // Centred in the work area, wherever that area starts.
    const QRect work = screen->availableGeometry();
    move(work.left() + (work.width() - kWidth) / 2, work.top() + (work.height() - kHeight) / 2);
}

int CVideoColorDlg::RowValue(int row) const {
    return m_values.at(static_cast<std::size_t>(row));
}

ColourValues CVideoColorDlg::Rows() const {
    return ColourValues{m_values[0], m_values[1], m_values[2]};
}

void CVideoColorDlg::WriteValuesToControls() {
    m_updating = true;
    for (int row = 0; row < kRows; ++row) {
        const QSignalBlocker sliderBlock(slider(row));
        slider(row)->setValue(RowValue(row));
        const QString text = QString::number(RowValue(row));
        if (edit(row)->text() != text) {
            edit(row)->setText(text);
        }
    }
    m_updating = false;
}

void CVideoColorDlg::OnHScroll(int row, int position) {
    if (m_updating) {
        return;
    }
    m_values[static_cast<std::size_t>(row)] = Clamp(position);
    WriteValuesToControls();
}

void CVideoColorDlg::OnEditChange(int row) {
    if (m_updating) {
        return;
    }
    std::string text = edit(row)->text().toStdString();
    // A text too long to filter, or one without a digit, keeps the value.
    if (FilterDigits(text, 1) == 1 && !text.empty()) {
        m_values[static_cast<std::size_t>(row)] = Clamp(DecimalValue(text));
    }
    WriteValuesToControls();
}

void CVideoColorDlg::OnDefaults() {
    const auto defaults = ColourDefaults(CurrentColourFamily());
    if (!defaults) {
        return;
    }
    m_values = {defaults->brightness, defaults->contrast, defaults->hue, kFourthDefault};
    WriteValuesToControls();
}

void CVideoColorDlg::OnOK() {
    const ColourValues sent = ColourValuesToSend(CurrentColourFamily(), Rows());
    CCgiUrl url(CgiCommand::kSetColor);
    url.AddSessionCookie(g_szSessionCookie.Get());
    url.AddParamInt("CON", sent.contrast);
    url.AddParamInt("BRI", sent.brightness);
    url.AddParamInt("HUE", sent.hue);
    if (TirelSendCommand(CgiCommand::kSetColor, url.GetUrlBuffer(), {}, nullptr, {}, nullptr,
                         kSeconds, kSeconds, 0) != 1) {
        ShowMessage(4064);
    }
}

void CVideoColorDlg::OnCancel() {
    reject();
}

void CVideoColorDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kInner);
    for (const SkinPiece& piece : m_skin) {
        if (!piece.image.isNull()) {
            p.drawImage(piece.place, piece.image);
        }
    }
    p.fillRect(kInnerArea, kInner);
    p.setPen(Qt::black);
    for (const RowPlace& row : kRowPlaces) {
        p.drawText(QRect(kMinusLeft, row.top, 10, kRowHeight), Qt::AlignLeft | Qt::AlignTop, "-");
        p.drawText(QRect(kPlusLeft, row.top, 10, kRowHeight), Qt::AlignLeft | Qt::AlignTop, "+");
    }
}

void RunVideoColourCommand(QWidget* parent) {
    if (g_lpApp == nullptr || !g_lpApp->f_VideoConnected.load()) {
        ShowMessage(4085);
        return;
    }
    const auto colour = ReadDeviceColour();
    if (!colour) {
        ShowMessage(4064);
        return;
    }
    CVideoColorDlg dialog(parent);
    dialog.m_nBrightnessIn = colour->brightness;
    dialog.m_nContrastIn = colour->contrast;
    dialog.m_nHueIn = colour->hue;
    dialog.DoModal();
}

}  // namespace liveview
