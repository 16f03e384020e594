#include "liveview/control/channel_bar.h"

#include <QCoreApplication>
#include <QString>
#include <QThread>
#include <QWidget>
#include <string>
#include <vector>

#include "core/application/string_table.h"
#include "core/application/trace_log.h"
#include "core/application/window_messages.h"
#include "core/net/cgi_command.h"
#include "core/state/app_global_state.h"
#include "core/state/device_family.h"
#include "liveview/skin/skin_path.h"
#include "liveview/skin/skin_tables.h"

namespace {

constexpr std::uint16_t kChannelSeconds = 15;
constexpr int kBarTop = 32;
constexpr int kArrowTop = 37;

struct ModelLayout {
    CChannelBar::Model model;
    std::uint16_t originX;
    std::int16_t limitSmall;
    std::int16_t limitLarge;
    std::uint8_t channels;
};

// The DVR models' bars: where the first button sits, the right limits for a
// QVGA and a VGA picture, and the channel count.
constexpr std::array<ModelLayout, 3> kModelLayouts{{
    {CChannelBar::Model::kQ8A7, 21, 160, 340, 16},
    {CChannelBar::Model::kQ8A5, 21, 160, 350, 8},
    {CChannelBar::Model::kQ8A3, 1, 200, 350, 4},
}};

const ModelLayout* LayoutOf(CChannelBar::Model model) {
    for (const ModelLayout& layout : kModelLayouts) {
        if (layout.model == model) {
            return &layout;
        }
    }
    return nullptr;
}

std::span<const ChannelButtonRow> RowsOf(CChannelBar::Model model) {
    switch (model) {
        case CChannelBar::Model::kQ8A7:
            return kChannelRowsQ8A7;
        case CChannelBar::Model::kQ8A5:
            return kChannelRowsQ8A5;
        case CChannelBar::Model::kQ8A3:
            return kChannelRowsQ8A3;
        default:
            return {};
    }
}

bool IsMultiChannelDvr(CChannelBar::Model model) {
    return LayoutOf(model) != nullptr && IsMultiChannel() != 0;
}

std::atomic<std::uint8_t>& SelectedChannel() {
    return g_lpApp->CSettingINI.m_bySelectedChannel;
}

void LoadChannelFaces(CQelButton& button, const std::array<const char*, 4>& names) {
    std::vector<std::filesystem::path> files;
    for (const char* name : names) {
        files.push_back(SkinBitmapPath(name));
    }
    button.LoadButtonBitmap(2, files, CQelButton::kStyleOwnerStates);
}

}  // namespace

CChannelBar::CChannelBar() = default;

CChannelBar::~CChannelBar() = default;

CChannelBar::Model CChannelBar::CurrentModel() {
    if (g_lpApp == nullptr) {
        return Model::kOther;
    }
    const std::string product = g_lpApp->str_ProductID.Get();
    if (product == "Q8A7")
        return Model::kQ8A7;
    if (product == "Q8A5")
        return Model::kQ8A5;
    if (product == "Q8A3")
        return Model::kQ8A3;
    if (product == "Q3A2")
        return Model::kQ3A2;
    if (product == "Q9C0")
        return Model::kQ9C0;
    return Model::kOther;
}

bool CChannelBar::IsQvgaPicture() {
    const std::uint8_t size = g_lpApp->b_ViewSize.load();
    return size == 1 || size == 3;
}

int CChannelBar::CurrentSkinSlot() {
    return SkinSlot(LayoutSlot(g_lpApp->w_ViewMode.load()));
}

std::span<const ChannelButtonRow> CChannelBar::Rows() const {
    return pRows != nullptr ? std::span(pRows, m_rowCount) : std::span<const ChannelButtonRow>{};
}

CQelButton* CChannelBar::Button(int index) const {
    return index >= 0 && index < kChannelButtonMax ? m_btnChannel[index].data() : nullptr;
}

void CChannelBar::SetDeviceChangedHandler(std::function<void()> handler) {
    m_onDeviceChanged = std::move(handler);
}

void CChannelBar::SetCommandHandler(std::function<void(std::uint16_t)> handler) {
    m_onCommand = std::move(handler);
}

CChannelBar::GuiMailbox::GuiMailbox(CChannelBar& bar)
    : m_bar(bar), m_handle(platform::RegisterWindow(this)) {}

CChannelBar::GuiMailbox::~GuiMailbox() {
    platform::UnregisterWindow(m_handle);
}

void CChannelBar::GuiMailbox::HandleWindowMessage(std::uint32_t message, std::uint64_t wParam,
                                                  std::uint64_t lParam) {
    if (message == WM_SHOWCHANNEL) {
        m_bar.ShowCurrentChannel(static_cast<std::uint8_t>(wParam), static_cast<Model>(lParam));
    }
}

int CChannelBar::Create(QWidget* window) {
    m_guiContext = std::make_unique<QObject>();
    m_mailbox = std::make_unique<GuiMailbox>(*this);
    const Model model = CurrentModel();
    auto& selected = SelectedChannel();
    const auto makeButton = [this, window](std::uint16_t id) {
        auto* button = new CQelButton(window);
        button->setFocusPolicy(Qt::TabFocus);
        button->setProperty("controlId", id);
        button->setToolTip(
            QString::fromUtf8(LoadText(id).data(), static_cast<int>(LoadText(id).size())));
        QObject::connect(button, &CQelButton::clicked, m_guiContext.get(), [this, id] {
            if (m_onCommand) {
                m_onCommand(id);
            }
        });
        return button;
    };

    if (IsMultiChannelDvr(model)) {
        const ModelLayout& layout = *LayoutOf(model);
        bEnabled = true;
        const auto rows = RowsOf(model);
        pRows = rows.data();
        m_rowCount = rows.size();
        wOriginX = layout.originX;
        wLimitSmall = layout.limitSmall;
        wLimitLarge = layout.limitLarge;
        if (selected.load() > layout.channels) {
            selected = 0;
        }
        const std::uint8_t channel = selected.load();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const ChannelButtonRow& row = rows[i];
            CQelButton* button = makeButton(row.wCreateId);
            button->hide();
            button->setGeometry(wOriginX, kBarTop, row.wWidth, row.wHeight);
            LoadChannelFaces(*button, row.files);
            button->SetState(i == channel ? 0 : 1);
            m_btnChannel[i] = button;
        }
        byButtonCount = static_cast<std::uint8_t>(rows.size());
        byCurrentChannel = channel;
        byPageStart = channel;
        ArrangeButtons();
        return 1;
    }
    if (model == Model::kQ3A2) {
        bEnabled = true;
        if (selected.load() < 1 || selected.load() > 2) {
            selected = 1;
        }
        const std::uint8_t channel = selected.load();
        const int slot = CurrentSkinSlot();
        for (std::size_t i = 0; i < kChannelRowsQ3A2.size(); ++i) {
            const Q3A2ChannelRow& row = kChannelRowsQ3A2[i];
            CQelButton* button = makeButton(row.wCreateId);
            const SkinRect rect = row.rect[slot];
            button->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
            LoadChannelFaces(*button, {row.files[0], row.files[1], row.files[2], row.files[3]});
            button->SetState(i + 1 == channel ? 0 : 1);
            button->show();
            m_btnChannel[i] = button;
        }
        byButtonCount = static_cast<std::uint8_t>(kChannelRowsQ3A2.size());
        byCurrentChannel = channel;
        return 1;
    }
    // A DVR without channels, a Q9C0 or any other product: no bar.
    byButtonCount = 0;
    bEnabled = false;
    return 1;
}

std::uint8_t CChannelBar::GetPageStart(std::uint8_t start) const {
    const bool qvga = IsQvgaPicture();
    switch (CurrentModel()) {
        case Model::kQ8A7:
            if (qvga) {
                return static_cast<std::uint8_t>(start & ~3u);
            }
            return start <= 8 ? 0 : 9;
        case Model::kQ8A5:
            return qvga ? static_cast<std::uint8_t>(start & ~3u) : 0;
        default:
            return 0;
    }
}

std::uint8_t CChannelBar::GetPageSize() const {
    const bool qvga = IsQvgaPicture();
    switch (CurrentModel()) {
        case Model::kQ8A7:
            return qvga ? 4 : 9;
        case Model::kQ8A5:
        case Model::kQ8A3:
            return qvga ? 4 : 0;
        default:
            return 0;
    }
}

std::uint8_t CChannelBar::GetChannelCount() const {
    const ModelLayout* layout = LayoutOf(CurrentModel());
    return layout != nullptr ? layout->channels : 0;
}

int CChannelBar::ArrangeButtons() {
    if (!bEnabled.load()) {
        return 1;
    }
    if (pRows == nullptr) {
        // The Q3A2's two buttons keep their places, per skin.
        const int slot = CurrentSkinSlot();
        for (std::size_t i = 0; i < kChannelRowsQ3A2.size(); ++i) {
            if (CQelButton* button = Button(static_cast<int>(i))) {
                const SkinRect rect = kChannelRowsQ3A2[i].rect[slot];
                button->setGeometry(rect.left, rect.top, rect.Width(), rect.Height());
            }
        }
        return 1;
    }
    const auto rows = Rows();
    int x = wOriginX;
    const int limit = IsQvgaPicture() ? wLimitSmall : wLimitLarge;
    const std::uint8_t n = GetPageStart(byPageStart);
    std::size_t next = n;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        CQelButton* button = Button(static_cast<int>(j));
        if (button == nullptr) {
            continue;
        }
        const ChannelButtonRow& row = rows[j];
        if (row.dwRole == kChannelRoleChannel) {
            if (j >= n && x < limit) {
                button->setGeometry(x, kBarTop, row.wWidth, row.wHeight);
                button->show();
                x += row.wWidth;
                ++next;
            } else {
                button->hide();
            }
        } else if (row.dwRole == kChannelRoleLeft) {
            button->setGeometry(wOriginX - 12, kArrowTop, row.wWidth, row.wHeight);
            button->setVisible(n != 0);
        }
    }
    // The RIGHT arrow follows the last button shown, while channels remain.
    for (std::size_t j = 0; j < rows.size(); ++j) {
        if (rows[j].dwRole == kChannelRoleRight) {
            if (CQelButton* button = Button(static_cast<int>(j))) {
                button->setGeometry(x + 3, kArrowTop, rows[j].wWidth, rows[j].wHeight);
                button->setVisible(next < rows.size() && rows[next].dwRole == kChannelRoleChannel);
            }
        }
    }
    return 1;
}

int CChannelBar::PageLeft() {
    const std::uint8_t a = GetPageStart(byPageStart);
    const std::uint8_t size = GetPageSize();
    if (size != 0 && a >= size) {
        byPageStart = static_cast<std::uint8_t>(a - size);
        ArrangeButtons();
    }
    return 1;
}

int CChannelBar::PageRight() {
    const std::uint8_t a = GetPageStart(byPageStart);
    const std::uint8_t size = GetPageSize();
    if (size != 0 && GetChannelCount() >= a + size) {
        byPageStart = static_cast<std::uint8_t>(a + size);
        ArrangeButtons();
    }
    return 1;
}

int CChannelBar::RequestChannel(std::uint8_t channel) {
    const Model model = CurrentModel();
    if (!(IsMultiChannelDvr(model) || model == Model::kQ3A2) || !bEnabled.load() ||
        channel == byCurrentChannel.load()) {
        return 1;
    }
    CCgiUrl url(CgiCommand::kSetChannel);
    url.AddSessionCookie(g_szSessionCookie.Get());
    url.AddParamInt("CH", channel);
    if (TirelSendCommand(CgiCommand::kSetChannel, url.GetUrlBuffer(), {}, nullptr, {}, nullptr,
                         kChannelSeconds, kChannelSeconds, 0) != 1) {
        // Off the GUI thread the box is posted; this thread does not wait.
        ShowMessage(4064);
    }
    return 1;
}

int CChannelBar::SetCurrentChannel(std::uint8_t channel) {
    if (!bEnabled.load() || channel == byCurrentChannel.load()) {
        return 1;
    }
    // The device shows this channel now: the bar and the setting say so,
    // whatever the linked-device table holds for it.
    SelectedChannel() = channel;
    byCurrentChannel = channel;
    const Model model = CurrentModel();
    int n = -1;
    if (model == Model::kQ3A2) {
        n = channel == 1 ? 0 : 1;
    } else if (IsMultiChannelDvr(model)) {
        n = channel;
    } else {
        return 1;
    }
    // A channel without a linked device of its own keeps the current device
    // (its skin and key targets) as it is; that is traced once per channel,
    // not for every frame that reports it again.
    const std::uint32_t bit = channel < 32 ? 1u << channel : 0u;
    if (g_lpApp->C_ControlD.MakeCurrent(kDeviceMaster, n) < 0) {
        if ((m_tracedUnlinked.fetch_or(bit) & bit) == 0) {
            WriteTraceLine("Channel bar: no linked device for channel " + std::to_string(channel) +
                           "; the current device stays");
        }
    } else {
        m_tracedUnlinked.fetch_and(~bit);
    }
    if (m_guiContext != nullptr && QThread::currentThread() == m_guiContext->thread()) {
        ShowCurrentChannel(channel, model);
    } else if (m_mailbox != nullptr) {
        // The stream thread goes on at once; nothing waits for the GUI.
        platform::PostWindowMessage(m_mailbox->Handle(), WM_SHOWCHANNEL, channel,
                                    static_cast<std::uint64_t>(model));
    }
    return 1;
}

void CChannelBar::ShowCurrentChannel(std::uint8_t channel, Model model) {
    // A later report may have overtaken this one; show the newest.
    if (byCurrentChannel.load() != channel) {
        return;
    }
    const int count = byButtonCount.load();
    for (int i = 0; i < count; ++i) {
        CQelButton* button = Button(i);
        if (button == nullptr) {
            continue;
        }
        const bool current = model == Model::kQ3A2 ? i + 1 == channel : i == channel;
        button->SetState(current ? 0 : 1);
    }
    if (m_onDeviceChanged) {
        m_onDeviceChanged();
    }
}

int CChannelBar::ShowButtons(bool hide) {
    if (!bEnabled.load()) {
        return 1;
    }
    if (hide) {
        for (int i = 0; i < byButtonCount.load(); ++i) {
            if (CQelButton* button = Button(i)) {
                button->hide();
            }
        }
        return 1;
    }
    if (pRows != nullptr) {
        return ArrangeButtons();
    }
    for (int i = 0; i < byButtonCount.load(); ++i) {
        if (CQelButton* button = Button(i)) {
            button->show();
        }
    }
    return 1;
}
