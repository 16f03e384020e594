#include "config/pages/online_user_page.h"

#include <QPushButton>
#include <QTreeWidget>

#include <cstdio>

#include "config/pages/page_controls.h"
#include "config/pages/report_list.h"
#include "config/sheet/section_layouts.h"
#include "core/application/string_table.h"
#include "core/net/sys_config.h"

using namespace cfg;

namespace {

constexpr unsigned kGetConfigErrorText = 4029;

// Picture sizes by code 0..2: NTSC and PAL.
using SizeTexts = std::array<std::array<const char*, 3>, 2>;
constexpr SizeTexts kServerSizes{
    {{"704*480", "352*240", "176*120"}, {"704*576", "352*288", "176*144"}}};
constexpr SizeTexts kQ9C0Sizes{
    {{"640*480", "320*240", "160*120"}, {"640*480", "320*240", "160*120"}}};
constexpr SizeTexts kDvrSizes{
    {{"640*456", "320*228", "160*114"}, {"640*552", "320*276", "160*138"}}};

std::string LevelText(std::uint8_t level) {
    switch (level) {
        case 0:
            return std::string(LoadText(3013));
        case 10:
            return std::string(LoadText(3012));
        case 20:
            return std::string(LoadText(8332));
        case 30:
            return std::string(LoadText(3011));
        default:
            return {};
    }
}

std::string SizeText(const OnlineUserView& view, std::uint8_t code) {
    const SizeTexts* table = nullptr;
    switch (view.sizes) {
        case OnlineSizeTable::kServer:
            table = &kServerSizes;
            break;
        case OnlineSizeTable::kQ9C0:
            table = &kQ9C0Sizes;
            break;
        case OnlineSizeTable::kDvr:
            table = &kDvrSizes;
            break;
        case OnlineSizeTable::kNone:
            break;
    }
    // A standard other than PAL reads as NTSC, as the device's own does.
    if (table == nullptr || code > 2) {
        return {};
    }
    return (*table)[view.videoStandard == 1 ? 1 : 0][code];
}

std::string QualityText(std::uint8_t quality) {
    if (quality > 2) {
        return {};
    }
    return std::string(LoadText(2107 + quality));
}

}  // namespace

OnlineUserView OnlineUserView::For(const DeviceIdentity& device, std::uint8_t videoStandard,
                                   bool multiChannel) {
    OnlineUserView view;
    view.videoStandard = videoStandard;
    if (device.IsQ3A2() || device.IsQ7B()) {
        view.sizes = OnlineSizeTable::kServer;
    } else if (device.IsQ9C0()) {
        view.sizes = OnlineSizeTable::kQ9C0;
    } else if (device.IsDvr()) {
        view.sizes = OnlineSizeTable::kDvr;
    }
    view.channelColumn = device.IsDvr() && multiChannel;
    return view;
}

std::vector<OnlineUserRow> OnlineUserRows(std::span<const std::uint8_t> online,
                                          const OnlineUserView& view) {
    std::vector<OnlineUserRow> rows;
    for (std::size_t i = 0; i < kOnlineListedRecords; ++i) {
        const SectionField nameField = ONLINE::UserName.At(i);
        // A record cut short by the reply is not a record.
        if (!FieldFits(online, ONLINE::Quality.At(i))) {
            break;
        }
        const std::string name = ReadText(online, nameField);
        if (name.empty()) {
            continue;
        }
        const auto address = ReadIpv4(online, ONLINE::Address.At(i));
        char dotted[16];
        std::snprintf(dotted, sizeof dotted, "%d.%d.%d.%d", address[0], address[1], address[2],
                      address[3]);
        OnlineUserRow row{name, dotted, LevelText(ReadByte(online, ONLINE::Level.At(i))),
                          SizeText(view, ReadByte(online, ONLINE::Resolution.At(i))),
                          QualityText(ReadByte(online, ONLINE::Quality.At(i)))};
        if (view.channelColumn) {
            const std::uint8_t channel = ReadByte(online, ONLINE::Channel.At(i));
            char text[8];
            std::snprintf(text, sizeof text, "%2d", channel);
            row.emplace_back(channel != 0 ? text : "DVR");
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

COnlineUserPage::COnlineUserPage(std::span<std::uint8_t> online, OnlineUserView view,
                                 QWidget* parent)
    : QWidget(parent), m_online(online), m_view(view), m_reader([](std::span<std::uint8_t> area) {
          return ReadSysCfgSection(kSysCfgOnline, area);
      }) {
    using namespace pages;
    MakeLabel(this, 0, QStringLiteral("Online user information :"), 10, 8, 300);
    m_list = MakeList(this, kIdList, 10, 30, 440, 256);
    m_refresh = MakeButton(this, kIdRefresh, QStringLiteral("Info \nRefresh"), 370, 294, 80, 36);
    connect(m_refresh, &QPushButton::clicked, this, &COnlineUserPage::OnRefresh);
    OnInitDialog();
}

void COnlineUserPage::OnInitDialog() {
    const bool wide = !m_view.channelColumn;
    std::vector<ReportColumn> columns{{PageText(2100), 40},
                                      {PageText(2101), 80},
                                      {PageText(2102), wide ? 80 : 60},
                                      {PageText(2111), wide ? 80 : 60},
                                      {PageText(2112), wide ? 80 : 50}};
    if (m_view.channelColumn) {
        columns.push_back({PageText(8572), 40});
    }
    SetReportColumns(m_list, columns);
    m_wRowCount = 0;
    FillRows();
}

void COnlineUserPage::FillRows() {
    for (const OnlineUserRow& row : OnlineUserRows(m_online, m_view)) {
        std::vector<QString> cells;
        for (const std::string& cell : row) {
            cells.push_back(PageText(cell));
        }
        AppendReportRow(m_list, cells);
        ++m_wRowCount;
    }
}

void COnlineUserPage::OnRefresh() {
    // The section is replaced only by a whole, successful read: a failed
    // refresh leaves the list and the section as they were.
    std::array<std::uint8_t, SysCfgSize(kSysCfgOnline)> fresh{};
    if (!m_reader || m_reader(fresh) == 0) {
        ShowMessage(kGetConfigErrorText);
        return;
    }
    std::fill(m_online.begin(), m_online.end(), std::uint8_t{0});
    std::copy_n(fresh.begin(), std::min(fresh.size(), m_online.size()), m_online.begin());
    m_list->clear();
    m_wRowCount = 0;
    FillRows();
}
