#pragma once

// The "Online User Info" page: the users connected to the device, read from
// the ONLINE section (records of 24 bytes: name, address, level, channel,
// picture size, quality). "Info \nRefresh" reads the section again. Nothing
// on the page is edited or saved.

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "config/sheet/read_values.h"

class QPushButton;
class QTreeWidget;

// How the device names its picture sizes.
enum class OnlineSizeTable : std::uint8_t {
    kNone,    // a product without a table: the cell stays empty
    kServer,  // Q3A2 and the Q7B family: 704/352/176 wide
    kQ9C0,    // 640/320/160 wide
    kDvr,     // the DVR family: 640/320/160 wide, shorter pictures
};

// What the rows depend on besides the section: the size table, the video
// standard (0 NTSC, 1 PAL) and whether the CH column is shown.
struct OnlineUserView {
    OnlineSizeTable sizes = OnlineSizeTable::kNone;
    std::uint8_t videoStandard = 0;
    bool channelColumn = false;

    static OnlineUserView For(const DeviceIdentity& device, std::uint8_t videoStandard,
                              bool multiChannel);
};

// The page lists the first five records at most.
inline constexpr std::size_t kOnlineListedRecords = 5;

// The cells of one listed user: name, address, level, picture size,
// quality and, with the CH column, the channel.
using OnlineUserRow = std::vector<std::string>;

// The rows of the section's first five records whose name is not empty, in
// record order. The section is what the device sent: any length, any bytes.
std::vector<OnlineUserRow> OnlineUserRows(std::span<const std::uint8_t> online,
                                          const OnlineUserView& view);

class COnlineUserPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdList = 1349;
    static constexpr int kIdRefresh = 1311;

    // Reads the ONLINE section into the area; 1 on success. The default is
    // the command client's section read.
    using SectionReader = std::function<int(std::span<std::uint8_t> area)>;

    // `online` is the block's ONLINE area, which a successful refresh
    // replaces.
    COnlineUserPage(std::span<std::uint8_t> online, OnlineUserView view, QWidget* parent = nullptr);

    void OnInitDialog();
    void OnRefresh();

    void SetSectionReader(SectionReader reader) { m_reader = std::move(reader); }

    QTreeWidget* List() const { return m_list; }
    QPushButton* RefreshButton() const { return m_refresh; }
    std::uint16_t RowCount() const { return m_wRowCount; }

private:
    void FillRows();

    std::span<std::uint8_t> m_online;
    OnlineUserView m_view;
    SectionReader m_reader;
    std::uint16_t m_wRowCount = 0;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_refresh = nullptr;
};
