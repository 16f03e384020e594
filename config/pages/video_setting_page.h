#pragma once

// The "Video Setting" page. The sheet builds it but no family shows it and
// nothing saves it. It shows the live picture's size, the video type and,
// by the type, the quality or the bit rate of the video-setting block.

#include <QWidget>

#include <cstdint>
#include <span>

class QComboBox;
class QLabel;
class QLineEdit;

class CSetTirelCmdPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdResolution = 1195;
    static constexpr int kIdVideoType = 1196;
    static constexpr int kIdQuality = 1197;
    static constexpr int kIdBitRate = 1198;

    // `block` is the 16-byte video-setting block; `videoMode` 1 PAL, else
    // NTSC; width and height the live picture's.
    CSetTirelCmdPage(std::span<const std::uint8_t> block, std::uint8_t videoMode,
                     std::uint16_t width, std::uint16_t height, QWidget* parent = nullptr);

    void OnInitDialog();
    // The video type list changed: quality for JPEG, bit rate for MPEG4.
    void OnVideoTypeChanged();

    // List rows of stored values; -1 where the value takes no row.
    static int ResolutionRow(std::uint16_t width, std::uint16_t height);
    static int QualityRow(std::uint8_t quality);
    static int BitRateRow(std::uint16_t rate);

    QComboBox* ResolutionList() const { return m_resolution; }
    QComboBox* VideoTypeList() const { return m_videoType; }
    QComboBox* QualityList() const { return m_quality; }
    QComboBox* BitRateList() const { return m_bitRate; }

private:
    void ShowTypeControls(int type);

    std::span<const std::uint8_t> m_block;
    std::uint8_t m_videoMode = 0;
    int m_iResolution = -1;
    int m_iVideoType = -1;
    int m_iQuality = -1;
    int m_iBitRate = -1;
    std::uint16_t m_wWidth = 0;
    std::uint16_t m_wHeight = 0;

    QComboBox* m_resolution = nullptr;
    QComboBox* m_videoType = nullptr;
    QLabel* m_qualityLabel = nullptr;
    QComboBox* m_quality = nullptr;
    QLabel* m_bitRateLabel = nullptr;
    QComboBox* m_bitRate = nullptr;
};
