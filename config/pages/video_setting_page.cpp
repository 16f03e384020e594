#include "config/pages/video_setting_page.h"

#include <QComboBox>
#include <QLabel>

#include "config/pages/page_controls.h"
#include "config/sheet/section_layouts.h"

using namespace cfg;

CSetTirelCmdPage::CSetTirelCmdPage(std::span<const std::uint8_t> block, std::uint8_t videoMode,
                                   std::uint16_t width, std::uint16_t height, QWidget* parent)
    : QWidget(parent), m_block(block), m_videoMode(videoMode), m_wWidth(width), m_wHeight(height) {
    pages::FormColumn form(this);
    m_resolution = form.Combo(QStringLiteral("Resolution :"), kIdResolution, 120);
    m_videoType = form.Combo(QStringLiteral("Video Type :"), kIdVideoType, 120);
    m_videoType->addItems({QStringLiteral("JPEG"), QStringLiteral("MPEG4")});
    m_quality = form.Combo(QStringLiteral("Quality :"), kIdQuality, 120);
    m_qualityLabel = form.Label();
    m_quality->addItems({QStringLiteral("Low"), QStringLiteral("Middle"), QStringLiteral("High")});
    m_bitRate = form.Combo(QStringLiteral("BitRate :"), kIdBitRate, 120);
    m_bitRateLabel = form.Label();
    m_bitRate->addItems({QStringLiteral("512K"), QStringLiteral("640K"), QStringLiteral("1M"),
                         QStringLiteral("1.5M"), QStringLiteral("2M"), QStringLiteral("3M"),
                         QStringLiteral("Local")});
    // The group of pictures: created hidden.
    form.Edit(QStringLiteral("Gop :"), 0, 120)->hide();
    form.Label()->hide();
    connect(m_videoType, &QComboBox::activated, this, &CSetTirelCmdPage::OnVideoTypeChanged);
    OnInitDialog();
}

int CSetTirelCmdPage::ResolutionRow(std::uint16_t width, std::uint16_t height) {
    if (width == 704 && (height == 480 || height == 576)) {
        return 0;
    }
    if (width == 352 && (height == 240 || height == 288)) {
        return 1;
    }
    if (width == 176 && (height == 112 || height == 144)) {
        return 2;
    }
    return -1;
}

int CSetTirelCmdPage::QualityRow(std::uint8_t quality) {
    if (quality >= 1 && quality <= 49) {
        return 0;
    }
    if (quality >= 50 && quality <= 69) {
        return 1;
    }
    if (quality >= 70 && quality <= 100) {
        return 2;
    }
    return -1;
}

int CSetTirelCmdPage::BitRateRow(std::uint16_t rate) {
    constexpr std::uint16_t kUpTo[] = {20, 33, 50, 67, 101, 152};
    for (int row = 0; row < 6; ++row) {
        if (rate <= kUpTo[row]) {
            return row;
        }
    }
    return 6;
}

void CSetTirelCmdPage::OnInitDialog() {
    if (m_videoMode == 1) {
        m_resolution->addItems({QStringLiteral("704 x 576"), QStringLiteral("352 x 288"),
                                QStringLiteral("176 x 144")});
    } else {
        m_resolution->addItems({QStringLiteral("704 x 480"), QStringLiteral("352 x 240"),
                                QStringLiteral("176 x 112")});
    }
    m_iResolution = ResolutionRow(m_wWidth, m_wHeight);
    m_iQuality = QualityRow(ReadByte(m_block, VIDEO::Quality));
    m_iBitRate = BitRateRow(ReadU16(m_block, VIDEO::FrameRate));
    const std::uint8_t type = ReadByte(m_block, VIDEO::TwoWay);
    m_iVideoType = type == 0 ? 0 : type == 4 ? 1 : -1;
    m_resolution->setCurrentIndex(m_iResolution);
    m_videoType->setCurrentIndex(m_iVideoType);
    m_quality->setCurrentIndex(m_iQuality);
    m_bitRate->setCurrentIndex(m_iBitRate);
    ShowTypeControls(m_iVideoType);
}

void CSetTirelCmdPage::OnVideoTypeChanged() {
    m_iVideoType = m_videoType->currentIndex();
    m_iQuality = m_quality->currentIndex();
    m_iBitRate = m_bitRate->currentIndex();
    m_iResolution = m_resolution->currentIndex();
    ShowTypeControls(m_iVideoType);
}

void CSetTirelCmdPage::ShowTypeControls(int type) {
    // Another type leaves the lists as they are.
    if (type != 0 && type != 1) {
        return;
    }
    const bool jpeg = type == 0;
    m_qualityLabel->setVisible(jpeg);
    m_quality->setVisible(jpeg);
    m_bitRateLabel->setVisible(!jpeg);
    m_bitRate->setVisible(!jpeg);
}
