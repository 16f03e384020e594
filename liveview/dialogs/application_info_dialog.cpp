#include "liveview/dialogs/application_info_dialog.h"

#include <QBitmap>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <filesystem>

#include "core/widgets/qel_button.h"
#include "liveview/dialogs/surface_drag.h"
#include "platform/modal_dialog.h"
#include "platform/program_folder.h"

namespace liveview {

namespace {

constexpr QRect kLogoPlace(12, 38, 71, 74);
constexpr QRect kOkPlace(250, 200, 49, 25);
constexpr QPoint kVersionPlace(160, 50);
constexpr const char* kVersion = "Version : 0.0.1.8";

std::filesystem::path InProgramFolder(const char* relative) {
    return platform::ProgramFolder() / relative;
}

QImage LoadBitmap(const char* relative) {
    QImage image;
    if (!image.load(QFile::decodeName(InProgramFolder(relative).c_str()), "BMP")) {
        return QImage();
    }
    return image;
}

}  // namespace

CApplicationInfoDialog::CApplicationInfoDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setFixedSize(kWidth, kHeight);
    m_ok = new CQelButton(this);
    m_ok->setAutoDefault(false);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    new SurfaceDrag(this);
}

CApplicationInfoDialog::~CApplicationInfoDialog() = default;

int CApplicationInfoDialog::DoModal() {
    OnInitDialog();
    return platform::RunModal(*this);
}

void CApplicationInfoDialog::showEvent(QShowEvent* event) {
    OnInitDialog();
    QDialog::showEvent(event);
}

bool CApplicationInfoDialog::OnInitDialog() {
    if (m_initDone) {
        return PicturesLoaded();
    }
    m_initDone = true;
    // Rounded corners of 10 x 10 ellipses.
    QBitmap mask(kWidth, kHeight);
    mask.fill(Qt::color0);
    {
        QPainter p(&mask);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::color1);
        p.drawRoundedRect(QRect(0, 0, kWidth, kHeight), 5, 5);
    }
    setMask(mask);

    m_background = LoadBitmap("BMP/login_background.bmp");
    m_logo = LoadBitmap("BMP/KORVIX_LOGO.bmp");
    m_ok->setGeometry(kOkPlace);
    m_ok->LoadButtonBitmap(InProgramFolder("BMP/login_ok.bmp"),
                           InProgramFolder("BMP/login_ok_over.bmp"),
                           InProgramFolder("BMP/login_ok_over.bmp"), CQelButton::kStylePush);

    const QScreen* screen =
        parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect work = screen->availableGeometry();
        move(work.left() + (work.width() - kWidth) / 2, work.top() + (work.height() - kHeight) / 2);
    }
    m_strVersion = kVersion;
    return PicturesLoaded();
}

void CApplicationInfoDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_background.isNull()) {
        p.drawImage(QRect(0, 0, kWidth, kHeight), m_background);
    } else {
        p.fillRect(rect(), palette().window());
    }
    if (!m_logo.isNull()) {
        p.drawImage(kLogoPlace, m_logo);
    }
    p.setPen(Qt::black);
    p.drawText(QRect(kVersionPlace, QSize(kWidth - kVersionPlace.x(), 20)),
               Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(m_strVersion));
}

}  // namespace liveview
